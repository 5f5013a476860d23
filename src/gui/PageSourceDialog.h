#pragma once

#include <QDialog>

class Workspace;
class QRadioButton;

// "Update Options": asks whether to build on the copy of the page this
// program produced last or on the copy now on the server. The answer is the
// tag: empty until OK with a choice, then "Config", "Local" or "Server".
class PageSourceDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit PageSourceDialog(Workspace& ws, QWidget* parent = nullptr);

    QString tag() const { return m_tag; }
    // Shows the window modally and waits (events keep running) until a
    // choice is made; the window is then hidden and the tag returned.
    QString choose();

    void confirmChoice();
    void previewLocal();
    void previewServer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QRadioButton* m_localCopy = nullptr;
    QRadioButton* m_serverCopy = nullptr;
    QRadioButton* m_otherConfig = nullptr;
    QString m_tag;
    Workspace& m_ws;
};
