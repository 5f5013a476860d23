#pragma once

// Placing the insertion markers into a page that has none: the user picks a
// position in the page's text, the markers go in there in the page's own
// encoding, a preview shows two sample entries at that place, and only the
// marked page (never the samples) is uploaded. The page stays bytes
// throughout; the text the user sees is only used to find the position.

#include "core/entry/PageText.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace Setup {

enum class MarkerKind
{
    Main,   // the weblog page: insertion marker and end marker
    Archive // the archive page: archive start marker
};

// The text inserted at the caret, and the marker the preview follows.
QString markerText(MarkerKind kind);
QString previewMarker(MarkerKind kind);

// A page's bytes and the text shown for them, with every position of the
// text tied to the byte where its character starts. Line ends (CR LF, CR or
// LF) show as one "\n" each, as a text box counts them.
class PageSource
{
public:
    explicit PageSource(QByteArray page = {});

    const QByteArray& bytes() const { return m_bytes; }
    PageText::Encoding encoding() const { return m_encoding; }
    const QString& text() const { return m_text; }
    // The byte where the character at text position `position` starts; the
    // page's size at (or past) the end of the text.
    qsizetype byteOffset(qsizetype position) const;

private:
    QByteArray m_bytes;
    PageText::Encoding m_encoding = PageText::Encoding::Utf8;
    QString m_text;
    QList<qsizetype> m_offsets; // one per character of m_text, and the end
};

struct MarkedPage
{
    QByteArray page;         // the page with the markers in place of the selection
    qsizetype markerEnd = 0; // byte just after the preview marker
    qsizetype textCaret = 0; // text position just after the inserted text
};

// The markers of `kind` put in place of the text between the positions
// `selectionStart` and `selectionEnd` (equal for a bare caret), written in the
// page's encoding.
MarkedPage placeMarkers(const PageSource& source, qsizetype selectionStart, qsizetype selectionEnd,
                        MarkerKind kind);

// One sample entry of the preview, one line of HTML.
QByteArray sampleEntry(const QString& text, const QString& time);
// The example entry of the kind followed by the welcome entry.
QByteArray previewBlock(MarkerKind kind);

// The preview file: the marked page with the sample block after the marker.
QByteArray previewFile(const MarkedPage& marked, MarkerKind kind);
// The file uploaded after the user accepted the position: the marked page
// alone.
QByteArray markedFile(const MarkedPage& marked);

// The question asked while the browser shows the preview.
QString positionQuestion(MarkerKind kind);

} // namespace Setup
