#pragma once

#include "core/setup/MarkerPlacement.h"

#include <QDialog>

#include <functional>

class Workspace;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The marker placement tool: shows the source of a page without markers; the
// user puts the caret where new entries belong and presses the insert button;
// the page is previewed in the browser with two sample entries there, and on
// Yes the marked page (without the samples) is written to wizardtemp.html and
// handed to the uploader. The source is shown read-only: the page goes back
// to the server byte for byte, with only the markers added.
class MarkerTool final : public QDialog
{
    Q_OBJECT
public:
    // Sends a local file to the remote path (the wizard's upload).
    using Uploader = std::function<void(const QString& localFile, const QString& remotePath)>;

    explicit MarkerTool(Workspace& ws, QWidget* parent = nullptr);

    // true: the weblog page (Insert Code); false: the archive page.
    void setMainInsertion(bool main);
    void setPage(const QByteArray& page, const QString& remotePath);
    void setUploader(Uploader uploader) { m_uploader = std::move(uploader); }

    void insert(Setup::MarkerKind kind);
    // The page's bytes as the source box stands now.
    QByteArray page() const { return m_source.bytes(); }

private:
    bool writeWorkFile(const QByteArray& bytes);

    QLabel* m_fileName = nullptr;
    QPlainTextEdit* m_pageText = nullptr;
    QPushButton* m_insertButton = nullptr;
    QPushButton* m_archiveButton = nullptr;
    Setup::PageSource m_source;
    QString m_remotePath;
    Uploader m_uploader;
    Workspace& m_ws;
};
