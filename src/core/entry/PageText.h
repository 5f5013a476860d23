#pragma once

// The weblog page as bytes: reading it the way the program always has (line
// ends, empty lines, nothing before the first "<"), finding its markers,
// placing an entry, cutting old entries, and the archive page. A page is
// never transcoded: only the new entry's text is encoded, in the page's own
// encoding. Every routine makes a fixed number of passes over the page.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <initializer_list>

namespace PageText {

// Marker bytes. The insertion marker "<!--Ñ-->" is one byte 0xD1 in a
// Windows-1252 page and C3 91 in a UTF-8 page.
inline constexpr QByteArrayView kInsertMarker1252{"<!--\xD1-->"};
inline constexpr QByteArrayView kInsertMarkerUtf8{"<!--\xC3\x91-->"};
inline constexpr QByteArrayView kPagewickMarker{"<!--pagewick-->"};
inline constexpr QByteArrayView kEntryOpen{"<!--|"};
inline constexpr QByteArrayView kEntryClose{"|-->"};
inline constexpr QByteArrayView kEndMarker{"<!--**END**-->"};
inline constexpr QByteArrayView kArchiveStart{"<!--PagewickArchiveStart-->"};
inline constexpr QByteArrayView kCrLf{"\r\n"};

// ---- Pages in pieces ---------------------------------------------------------

// A page made of views into other buffers, in order (the base copy before the
// marker, the entry, the rest), so that a 10 MB page with one new entry is
// searched, cut and written without being copied. The buffers must outlive
// it. Searches find matches across piece boundaries too.
class Pieces
{
public:
    Pieces() = default;
    Pieces(std::initializer_list<QByteArrayView> parts);
    void append(QByteArrayView part);

    qsizetype size() const { return m_size; }
    const QList<QByteArrayView>& parts() const { return m_parts; }
    // First exact / case-free (ASCII letters) match at or after `from`; -1.
    qsizetype find(QByteArrayView needle, qsizetype from = 0) const;
    qsizetype findNoCase(QByteArrayView needle, qsizetype from = 0) const;
    // The bytes [from, to) as views, and appended to `out`.
    Pieces slice(qsizetype from, qsizetype to) const;
    void appendTo(QByteArray& out, qsizetype from, qsizetype to) const;
    QByteArray join() const;

private:
    template <typename Search>
    qsizetype search(QByteArrayView needle, qsizetype from, Search inPiece) const;

    QList<QByteArrayView> m_parts;
    QList<qsizetype> m_starts;
    qsizetype m_size = 0;
};

// ---- Searching -------------------------------------------------------------

// First / last occurrence of `needle` at or after `from`, ASCII letters
// compared without regard to case; -1 when absent.
qsizetype indexOfNoCase(QByteArrayView text, QByteArrayView needle, qsizetype from = 0);
qsizetype lastIndexOfNoCase(QByteArrayView text, QByteArrayView needle, qsizetype from = 0);

// The insertion point: "<!--Ñ-->" in either byte form (the first one found),
// else "<!--pagewick-->" (exact, lower case). `at` is -1 when neither is there.
struct MarkerHit
{
    qsizetype at = -1;
    qsizetype length = 0;
    bool found() const { return at >= 0; }
    qsizetype end() const { return at + length; }
};
MarkerHit findInsertionMarker(QByteArrayView text);

// Where the page may be cut after its last "</HTML>" (any case) found at or
// after `from`: the position just after it, or -1 when the page keeps all its
// text. A "</HTML>" followed by an end marker is not the page's end (it sits in
// an entry) and is never cut at, so no entry can be cut off.
qsizetype htmlCutPoint(QByteArrayView text, qsizetype from = 0);

// ---- Reading ---------------------------------------------------------------

enum class EmptyLines
{
    Keep,
    FirstThree
};

// A page file read line by line: a line ends at CR LF or at a lone CR; a
// bare LF is part of its line. Every line is written back followed by CR LF.
// With FirstThree (the cleaning of a fetched page) every LF inside a line
// becomes CR LF too, and of the empty lines of the whole file the first
// three stay and later ones are dropped; with Keep the LFs stay as they are.
// With FromFirstLt everything before the first "<" is dropped; `hasHtml`
// tells whether there was one (without it the text is the single character
// "<").
enum class Start
{
    FromFirstLt,
    Whole
};
struct Lines
{
    QByteArray text;
    bool hasHtml = false;
};
// The bytes are taken over: with Keep a page usually stays in its buffer.
Lines readLines(QByteArray raw, EmptyLines rule, Start start = Start::FromFirstLt);

// ---- Encoding --------------------------------------------------------------

enum class Encoding
{
    Utf8,
    Windows1252
};
// UTF-8 when the bytes are valid UTF-8 (pure ASCII included), else Windows-1252.
Encoding pageEncoding(QByteArrayView page);
// The text in the encoding; a character the encoding cannot hold becomes a
// numeric character reference "&#NNNN;".
QByteArray encodeText(QStringView text, Encoding encoding);
// The bytes as text (the reverse), with "&#NNNN;" references read back.
QString decodeText(QByteArrayView bytes, Encoding encoding);

// ---- readRetrievedPage -----------------------------------------------------------

struct MarkerReading
{
    Lines cleaned;           // the cleaned base copy (written back when hasHtml)
    bool firstEntry = false; // no time/date marker: the next entry ends the list
    QString newestDate;      // from the first time/date marker
    QString newestTime;
    // Automatic FTP is off and the newest entry has the last published date
    // but another time: the user must choose between the local and the
    // server copy.
    bool askLocalOrServer = false;
};
// `autoFtp` is whether automatic FTP is on; `lastDate` and `lastTime` are the
// settings keys Date and Time.
MarkerReading readMarkers(QByteArrayView raw, bool autoFtp, const QString& lastDate,
                          const QString& lastTime);

// ---- createPreview ---------------------------------------------------------

// The base copy as createPreview reads it (lines, from the first "<") with the
// entry placed after the insertion marker, CR LF between them, and the page
// cut after its last "</HTML>" (see htmlCutPoint; the entry never counts).
// The entry is written in the base copy's encoding. `placed` is false when
// the page has no insertion marker (and `page` is empty).
struct Placement
{
    bool placed = false;
    QByteArray entry;        // the entry's bytes
    qsizetype markerEnd = 0; // the page is base[0, markerEnd), CR LF, entry,
    qsizetype restEnd = 0;   //   base[markerEnd, restEnd)
    Pieces pieces(QByteArrayView base) const;
    QByteArray page(QByteArrayView base) const
    {
        return placed ? pieces(base).join() : QByteArray();
    }
};
Placement placeEntry(QByteArrayView base, QStringView entryHtml);

// ---- deleteEntries -----------------------------------------------------------

// The text deleteEntries works on: the bytes from the first "<" on, as they
// are, cut at htmlCutPoint.
Lines deleteSource(QByteArray raw);

// Keeping the newest keepCount - 1 entries: the keepCount-th entry (counted
// from the top, each starting at its time/date marker) down to the end
// marker is cut away; the end marker follows the last kept entry.
struct Trim
{
    enum Status
    {
        NothingToCut,
        Trimmed,
        EndMarkerMissing
    };
    Status status = NothingToCut;
    QByteArray page;        // Trimmed: the page without the cut entries
    qsizetype cutFrom = -1; // the cut entries are text[cutFrom, cutTo):
    qsizetype cutTo = -1;   //   the archive block (end marker excluded)
    bool lastEntry = false; // no entry follows the keepCount-th one
};
Trim trimEntries(const Pieces& text, int keepCount);
inline Trim trimEntries(QByteArrayView text, int keepCount)
{
    return trimEntries(Pieces{text}, keepCount);
}

// Delete Last Entry: exactly the newest entry goes, from its time/date marker
// to the next one. When it is the only entry the end marker goes with it and
// the page is as it was before its first entry.
struct DeleteLast
{
    enum Status
    {
        NoEntry,
        Deleted,
        EndMarkerMissing
    };
    Status status = NoEntry;
    QByteArray page;
};
DeleteLast deleteNewestEntry(QByteArrayView text);

// The text with `insertion` placed right after the first occurrence of
// `marker` (found without regard to case). When the marker is absent the text
// comes back unchanged and `found` is false.
QByteArray insertAfterMarkerBytes(QByteArrayView text, QByteArrayView marker,
                                  QByteArrayView insertion, bool* found = nullptr);
// The same as pieces to be written: `insertion` placed after the marker.
// Empty when the marker is absent.
Pieces insertAfterMarker(QByteArrayView text, QByteArrayView marker, const Pieces& insertion);

} // namespace PageText
