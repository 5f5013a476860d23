#pragma once

#include "core/setup/FtpBrowser.h"
#include "core/setup/WizardSteps.h"

#include <QDialog>

#include <functional>

class Workspace;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

// The FTP set-up wizard: welcome, account, the server's folders and the
// summary. It logs on, lets the user walk the folders, downloads the chosen
// page to wizardtemp.html, checks its markers (offering the marker tool and
// uploading the marked page), optionally does the same for the archive page,
// and on OK fills the preferences dialog's fields and closes accepted, upon
// which that dialog runs its Apply. Nothing is stored before OK.
class SetupWizard final : public QDialog
{
    Q_OBJECT
public:
    // `preferences` is the preferences dialog the wizard prefills from and
    // hands its result to (by the objectNames of its fields); may be null.
    explicit SetupWizard(Workspace& ws, QWidget* preferences = nullptr, QWidget* parent = nullptr);
    ~SetupWizard() override;

    int currentPage() const { return m_page; }
    Setup::WizardResult wizardResult() const;
    FtpBrowser& browser() { return m_browser; }

    void next();
    void back();
    // Select: download and check the selected file.
    void select();
    // A double click in the list: into a folder, up, or select a file.
    void openItem(QListWidgetItem* item);
    // Sends a local file over a remote path (the marker tool's Yes); once
    // it has gone (m_editDone) or failed, `then` goes on with the page.
    void upload(const QString& localFile, const QString& remotePath,
                const std::function<void()>& then = {});
    void okay();
    // Cancel, Escape or closing: a transfer under way is abandoned, not
    // waited for, and the wizard ends at once.
    void reject() override;

private:
    QWidget* buildWelcome();
    QWidget* buildAccount();
    QWidget* buildServerFiles();
    QWidget* buildSummary();
    void changePage(int step);
    void connectToServer();
    // Each step of the browser runs with the hourglass and the controls that
    // would start another off (the Cancel button stays on); endStep() is
    // false when the step was abandoned: the wizard is closing.
    void beginStep();
    bool endStep();
    void setWorking(bool on);
    // The page downloaded: refreshed listing, then its markers checked. The
    // user's edits (the marker tool, a mended marker) are uploaded, and
    // `then` of those goes on once the upload has ended (see m_editDone).
    void checkPage(const QString& remote);
    void checkMainPage(const QByteArray& page, const QString& remote);
    void takeMainPage(const QString& remote);
    void checkArchivePage(const QByteArray& page, const QString& remote);
    void runMarkerTool(const QByteArray& page, const QString& remote, bool main,
                       const std::function<void()>& then);
    // A marker in another letter case: with the user's consent it is
    // written as the entries need it and the page uploaded (sets m_editDone),
    // then `then`. False when the user declines (`then` is not called).
    void offerMarkerTool(const QByteArray& page, const QString& remote, bool main,
                         const QString& directions, const QString& question,
                         const std::function<void()>& taken);
    bool mendMarkerCase(const QByteArray& page, const QString& remote,
                        const std::function<void()>& then);
    void askArchiveAddress(const QString& remote);
    void connectionFailed(const TransferError& error);
    void wrapUp();
    void setBrowsing(bool enabled);
    void showListing();
    void logLine(const QString& line);
    void setDirections(const QString& text);

    QStackedWidget* m_pages = nullptr;
    // Account
    QLineEdit* m_ftpSite = nullptr;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_pageAddress = nullptr;
    // Server files
    QPlainTextEdit* m_directions = nullptr;
    QLineEdit* m_directory = nullptr;
    QListWidget* m_files = nullptr;
    QPushButton* m_selectButton = nullptr;
    QLabel* m_archiveAddressLabel = nullptr;
    QLineEdit* m_archiveAddress = nullptr;
    QLabel* m_status = nullptr;
    // Summary, and the buttons and command log under every page
    QPlainTextEdit* m_summary = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_backButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPlainTextEdit* m_commandLog = nullptr;

    QWidget* m_preferences = nullptr;
    Workspace& m_ws;
    FtpBrowser m_browser;
    int m_page = 0;
    QString m_mainLocation;
    QString m_archiveLocation;
    bool m_archiveMode = false;
    bool m_editDone = false;
    bool m_working = false; // the hourglass is shown
};

// Hands the wizard's result to the preferences dialog: fills its fields
// (found by objectName: txtFTPsite, txtUsername, txtPassword, txtFTPremote,
// txtWebSite, chkFTP, chkAutoDeletes, txtAmount, chkArchive, txtArchiveFTP)
// the way the user would. Fields the dialog lacks are skipped.
void fillPreferences(QWidget* preferences, const Setup::WizardResult& result);
