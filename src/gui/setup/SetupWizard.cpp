#include "gui/setup/SetupWizard.h"

#include "base/Workspace.h"

#include "gui/WidgetHelpers.h"

#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/TextCodec.h"
#include "core/entry/WorkFiles.h"
#include "gui/setup/MarkerTool.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

using Widgets::named;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kWorkFile = QStringLiteral("wizardtemp.html");

QLabel* wrapped(QLabel* label)
{
    label->setWordWrap(true);
    return label;
}

QString browseDirections()
{
    return QCoreApplication::translate("SetupWizard",
                                       "Please select the html file you wish to use.") +
           kCrLf +
           QCoreApplication::translate("SetupWizard",
                                       "Change directories by double-clicking on them.");
}

QString numbered(const TransferError& e)
{
    return QString::number(e.number()) + QLatin1Char(' ') + e.description();
}

} // namespace

SetupWizard::SetupWizard(Workspace& ws, QWidget* preferences, QWidget* parent)
    : QDialog(parent), m_preferences(preferences), m_ws(ws), m_browser(ws.prompt())
{
    setObjectName(QStringLiteral("frmWizard"));
    setWindowTitle(tr("Pagewick Wizard"));

    m_pages = named(new QStackedWidget(this), "Holder");
    m_pages->addWidget(buildWelcome());
    m_pages->addWidget(buildAccount());
    m_pages->addWidget(buildServerFiles());
    m_pages->addWidget(buildSummary());

    m_backButton = named(new QPushButton(tr("<-- Back"), this), "buttBack");
    m_nextButton = named(new QPushButton(tr("Next -->"), this), "buttNext");
    m_cancelButton = named(new QPushButton(tr("Cancel"), this), "buttCancel");
    for (QPushButton* b : {m_backButton, m_nextButton, m_cancelButton, m_okButton, m_selectButton})
        b->setAutoDefault(false);
    m_nextButton->setDefault(true); // Enter in a field means Next
    m_commandLog = named(new QPlainTextEdit(this), "txtcommand");
    m_commandLog->setReadOnly(true);
    m_commandLog->setAccessibleName(tr("FTP commands"));
    m_commandLog->setMaximumHeight(90);
    connect(m_backButton, &QPushButton::clicked, this, &SetupWizard::back);
    connect(m_nextButton, &QPushButton::clicked, this, &SetupWizard::next);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_commandLog);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_backButton);
    buttons->addWidget(m_nextButton);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);

    connect(&m_browser, &FtpBrowser::logged, this, &SetupWizard::logLine);
    connect(&m_browser, &FtpBrowser::statusChanged, m_status, &QLabel::setText);
    connect(&m_browser, &FtpBrowser::listingChanged, this, &SetupWizard::showListing);

    // What the preferences hold already is offered again.
    if (m_preferences) {
        const std::pair<QLineEdit*, const char*> prefill[] = {{m_pageAddress, "txtWebSite"},
                                                              {m_ftpSite, "txtFTPsite"},
                                                              {m_userName, "txtUsername"},
                                                              {m_password, "txtPassword"}};
        for (const auto& [field, name] : prefill)
            if (auto* source = m_preferences->findChild<QLineEdit*>(QString::fromLatin1(name)))
                field->setText(source->text());
    }
    changePage(0);
    resize(600, 520);
}

QWidget* SetupWizard::buildWelcome()
{
    auto* page = named(new QWidget, "Holder0");
    auto* heading = named(new QLabel(tr("PageWick Configuration Wizard")), "Label1");
    QFont big = heading->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    heading->setFont(big);
    auto* intro = wrapped(named(
        new QLabel(tr(
            "This program allows the user to perform a wide variety of different activities in a "
            "multitude of different ways. Hopefully, this configuration wizard will help make your "
            "setup as painless as possible.")),
        "Label2"));
    auto* menuNote =
        wrapped(named(new QLabel(tr("This wizard places information into the SETUP menu. You may "
                                    "manually adjust your configuration there.")),
                      "Label3"));
    auto* prefillNote = wrapped(named(
        new QLabel(tr(
            "As you use the configuration wizard, you may notice that the program fills in some "
            "information for you. This is because the wizard attempts to use the information that "
            "is currently in configuration slot you selected.")),
        "Label9"));
    auto* saveNote = wrapped(named(
        new QLabel(tr(
            "The last step of the wizard will ask if you wish to save and overwrite your current "
            "configuration slot. Until that point, no information is saved.")),
        "Label10"));
    auto* v = new QVBoxLayout(page);
    for (QLabel* l : {heading, intro, menuNote, prefillNote, saveNote})
        v->addWidget(l);
    v->addStretch(1);
    return page;
}

QWidget* SetupWizard::buildAccount()
{
    auto* page = named(new QWidget, "Holder1");
    auto* heading = named(new QLabel(tr("Basic Configuration")), "Label4");
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 3);
    heading->setFont(bold);
    auto* ftpSiteLabel = named(new QLabel(tr("FTP site: (ftp.example.com)")), "Label5");
    auto* userNameLabel = named(new QLabel(tr("Username:")), "Label6");
    auto* passwordLabel = named(new QLabel(tr("Password:")), "Label7");
    auto* pageAddressLabel = named(new QLabel(Setup::pageAddressCaption()), "Label13");
    m_ftpSite = named(new QLineEdit, "txtFTP");
    m_userName = named(new QLineEdit, "txtUsername");
    m_password = named(new QLineEdit, "txtPassword");
    m_password->setEchoMode(QLineEdit::Password);
    m_pageAddress = named(new QLineEdit, "txtURL");
    auto* grid = new QGridLayout(page);
    grid->addWidget(heading, 0, 0, 1, 2);
    const std::pair<QLabel*, QLineEdit*> rows[] = {{ftpSiteLabel, m_ftpSite},
                                                   {userNameLabel, m_userName},
                                                   {passwordLabel, m_password},
                                                   {pageAddressLabel, m_pageAddress}};
    int row = 1;
    for (const auto& [label, field] : rows) {
        label->setBuddy(field);
        field->setMinimumWidth(280);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* SetupWizard::buildServerFiles()
{
    auto* page = named(new QWidget, "Holder2");
    auto* serverFiles = named(new QGroupBox(tr("Server Files")), "fraServerFiles");
    m_directions = named(new QPlainTextEdit, "txtDirections");
    m_directions->setReadOnly(true);
    m_directions->setAccessibleName(tr("Directions"));
    m_directions->setMaximumHeight(56);
    auto* directoryLabel = named(new QLabel(tr("Directory:")), "Label8");
    m_directory = named(new QLineEdit, "txtDirectory");
    m_directory->setReadOnly(true);
    directoryLabel->setBuddy(m_directory);
    m_files = named(new QListWidget, "lstdir");
    m_files->setAccessibleName(tr("Server files"));
    m_files->setUniformItemSizes(true);
    m_selectButton = named(new QPushButton(tr("Select Pagewick File")), "buttSelect");
    connect(m_selectButton, &QPushButton::clicked, this, &SetupWizard::select);
    // Asked once an archive page is chosen.
    m_archiveAddressLabel = named(new QLabel(tr("Archive web address:")), "lblArchiveURL");
    m_archiveAddress = named(new QLineEdit, "txtArchiveURL");
    m_archiveAddressLabel->setBuddy(m_archiveAddress);
    m_archiveAddress->setAccessibleName(tr("Archive web address"));
    m_archiveAddressLabel->hide();
    m_archiveAddress->hide();
    connect(m_files, &QListWidget::itemDoubleClicked, this, &SetupWizard::openItem);
    auto* files = new QGridLayout(serverFiles);
    files->addWidget(m_directions, 0, 0, 1, 2);
    files->addWidget(directoryLabel, 1, 0);
    files->addWidget(m_directory, 1, 1);
    files->addWidget(m_files, 2, 0, 1, 2);
    files->addWidget(m_selectButton, 3, 1, Qt::AlignRight);
    files->addWidget(m_archiveAddressLabel, 4, 0);
    files->addWidget(m_archiveAddress, 4, 1);
    files->setRowStretch(2, 1);

    auto* statusBox = named(new QGroupBox(tr("Status")), "fraStatus");
    m_status = named(new QLabel, "lblStatus");
    (new QVBoxLayout(statusBox))->addWidget(m_status);
    auto* v = new QVBoxLayout(page);
    v->addWidget(serverFiles, 1);
    v->addWidget(statusBox);
    return page;
}

QWidget* SetupWizard::buildSummary()
{
    auto* page = named(new QWidget, "Holder3");
    auto* completed = wrapped(
        named(new QLabel(tr("You have completed the FTP Configuration Wizard.")), "Label11"));
    auto* savedLabel = wrapped(named(new QLabel(tr("The following information will be saved in "
                                                   "the current pagewick configuration slot:")),
                                     "lbl12"));
    m_summary = named(new QPlainTextEdit, "txtconfig");
    m_summary->setReadOnly(true);
    savedLabel->setBuddy(m_summary);
    auto* checkNote = wrapped(
        named(new QLabel(tr("If information is correct, press OK. If not, then press CANCEL "
                            "and try again. Further adjustments may be required in the main "
                            "Setup menu.")),
              "Label12"));
    m_okButton = named(new QPushButton(tr("OK")), "buttOkay");
    connect(m_okButton, &QPushButton::clicked, this, &SetupWizard::okay);
    auto* v = new QVBoxLayout(page);
    v->addWidget(completed);
    v->addWidget(savedLabel);
    v->addWidget(m_summary, 1);
    v->addWidget(checkNote);
    v->addWidget(m_okButton, 0, Qt::AlignRight);
    return page;
}

void SetupWizard::changePage(int step)
{
    m_page = qBound(0, m_page + step, m_pages->count() - 1);
    m_pages->setCurrentIndex(m_page);
    m_backButton->setEnabled(m_page > 0);
    m_nextButton->setEnabled(m_page < m_pages->count() - 1);
}

void SetupWizard::back()
{
    changePage(-1);
}

void SetupWizard::next()
{
    if (m_browser.isBusy())
        return;
    if (m_page == 2) { // the archive page's address has been asked for
        const QString problem = Setup::archiveAddressProblem(m_archiveAddress->text());
        if (!problem.isEmpty()) {
            m_ws.prompt().message(problem, Buttons::Ok, Icon::Critical, QStringLiteral("Error"));
            return;
        }
        wrapUp();
        return;
    }
    if (m_page != 1) {
        changePage(1);
        return;
    }
    const QString problem = Setup::accountProblem(wizardResult().account);
    if (!problem.isEmpty()) {
        m_ws.prompt().message(problem, Buttons::Ok, Icon::Critical, tr("Error"));
        return;
    }
    changePage(1);
    connectToServer();
}

void SetupWizard::setDirections(const QString& text)
{
    m_directions->setPlainText(text);
}

void SetupWizard::logLine(const QString& line)
{
    m_commandLog->appendPlainText(line);
    m_commandLog->verticalScrollBar()->setValue(m_commandLog->verticalScrollBar()->maximum());
}

void SetupWizard::showListing()
{
    m_directory->setText(m_browser.directory());
    m_files->clear();
    m_files->addItems(m_browser.items());
}

void SetupWizard::setBrowsing(bool enabled)
{
    m_files->setEnabled(enabled);
    m_selectButton->setEnabled(enabled);
    // Next goes on with an archive page chosen, never during a transfer.
    m_nextButton->setEnabled(enabled && m_page == 2 && !m_archiveLocation.isEmpty());
}

void SetupWizard::setWorking(bool on)
{
    if (on == m_working)
        return;
    m_working = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void SetupWizard::beginStep()
{
    setBrowsing(false);
    setWorking(true);
}

bool SetupWizard::endStep()
{
    setWorking(false);
    return !m_browser.abandoned();
}

void SetupWizard::connectToServer()
{
    setDirections(browseDirections());
    m_backButton->setEnabled(false);
    beginStep();
    m_browser.setAccount(m_ftpSite->text(), m_userName->text(), m_password->text());
    m_browser.connectAndList([this](const TransferError& error) {
        if (!endStep())
            return;
        setBrowsing(true);
        if (error.number() != 0)
            connectionFailed(error);
    });
}

void SetupWizard::connectionFailed(const TransferError& error)
{
    m_status->setText(error.description());
    m_browser.client().cancel();
    switch (error.number()) {
    case TransferError::CannotConnect:
        m_ws.prompt().message(tr("Pagewick was unable to connect to the FTP site.  Please "
                                 "check your configuration and try again."));
        break;
    case TransferError::RequestFailed: // the server's answer has been shown
    case TransferError::Cancelled:
    case TransferError::ConnectionLost:
        break;
    case TransferError::TimedOut:
        m_ws.prompt().message(
            tr("The FTP site did not answer within %1 seconds.  Please check your "
               "configuration and your connection, and try again.")
                .arg(m_browser.client().requestTimeout()),
            Buttons::Ok, Icon::Exclamation, tr("Time-out"));
        break;
    default:
        m_ws.prompt().message(tr("Error ") + QString::number(error.number()) + tr(": ") +
                              error.description() + kCrLf + kCrLf +
                              tr("This error was not expected.  Please report it to the "
                                 "makers of Pagewick at ") +
                              makerSite() + tr("/pagewick/ so that it can be mended."));
        break;
    }
    // Without a listing there is nothing to pick: back to the account.
    changePage(-1);
}

void SetupWizard::openItem(QListWidgetItem* item)
{
    if (m_browser.isBusy())
        return;
    if (!item) {
        m_ws.prompt().message(tr("No directory selected."), Buttons::Ok, Icon::None, tr("Note:"));
        return;
    }
    m_files->setCurrentItem(item);
    const QString name = item->text();
    if (Setup::itemKind(name) == Setup::ItemKind::File) {
        select();
        return;
    }
    beginStep();
    m_browser.openFolder(name, [this](const TransferError& error) {
        if (!endStep())
            return;
        if (error.number() != 0 && error.number() != TransferError::RequestFailed)
            m_ws.prompt().message(numbered(error), Buttons::Ok, Icon::None, tr("Directory Error"));
        if (error.number() == TransferError::TimedOut)
            m_browser.client().cancel();
        setBrowsing(true);
    });
}

void SetupWizard::select()
{
    if (m_browser.isBusy())
        return;
    QListWidgetItem* item = m_files->currentItem();
    if (!item || !item->isSelected()) {
        m_ws.prompt().message(tr("No file selected."), Buttons::Ok, Icon::None, tr("Note:"));
        return;
    }
    const QString name = item->text();
    if (Setup::itemKind(name) != Setup::ItemKind::File) {
        m_ws.prompt().message(tr("Directory selected."), Buttons::Ok, Icon::None, tr("Note:"));
        return;
    }
    const QString remote = Setup::remotePath(m_browser.directory(), name);
    beginStep();
    m_status->setText(tr("Downloading ") + name);
    // Whatever the name, the page only ever lands in the wizard's file.
    m_browser.download(remote, m_ws.file(kWorkFile), [this, remote](const TransferError& error) {
        if (!endStep())
            return;
        setBrowsing(true);
        setDirections(tr("Selected: ") + remote);
        if (error.number() != 0) {
            if (error.number() != TransferError::RequestFailed)
                m_ws.prompt().message(numbered(error), Buttons::Ok, Icon::None,
                                      tr("Download Error"));
            if (error.number() == TransferError::TimedOut)
                m_browser.client().cancel();
            return; // no page to check
        }
        checkPage(remote);
    });
}

void SetupWizard::checkPage(const QString& remote)
{
    beginStep();
    m_browser.refresh([this, remote](const TransferError&) {
        if (!endStep())
            return;
        QByteArray page;
        QFile file(m_ws.file(kWorkFile));
        if (file.open(QIODevice::ReadOnly))
            page = Setup::readDownloadedPage(file.readAll());
        setBrowsing(true);
        if (m_archiveMode)
            checkArchivePage(page, remote);
        else
            checkMainPage(page, remote);
    });
}

void SetupWizard::checkMainPage(const QByteArray& page, const QString& remote)
{
    if (Setup::hasInsertionMarker(page)) {
        takeMainPage(remote);
        return;
    }
    offerMarkerTool(page, remote, true,
                    tr("Neither pagewick insertion markers found.") + kCrLf +
                        tr("Please select a valid pagewick-enabled file."),
                    tr("Neither pagewick insertion markers found in ") + remote + kCrLf + kCrLf +
                        tr("Would you like to add the pagewick insertion "
                           "codes into this webpage?"),
                    [this, remote] { takeMainPage(remote); });
}

// The page lacks its marker: `directions` say so until the marker tool (after
// a Yes to `question`) or the mended letter case has put one in, and then
// `taken` runs.
void SetupWizard::offerMarkerTool(const QByteArray& page, const QString& remote, bool main,
                                  const QString& directions, const QString& question,
                                  const std::function<void()>& taken)
{
    m_editDone = false;
    setDirections(directions);
    const auto edited = [this, directions, taken] {
        if (m_editDone)
            taken();
        else
            setDirections(directions);
    };
    if (main && mendMarkerCase(page, remote, edited))
        return;
    if (m_ws.prompt().message(question, Buttons::YesNo, Icon::Question,
                              tr("Insertion Codes Not Found")) == Answer::Yes)
        runMarkerTool(page, remote, main, edited);
    else
        edited();
}

void SetupWizard::takeMainPage(const QString& remote)
{
    m_mainLocation = remote;
    if (m_ws.prompt().message(tr("Success!  Valid insert marker found!") + kCrLf + kCrLf +
                                  tr("Would you like to pick an archive file as well?"),
                              Buttons::YesNo, Icon::Question, tr("Success!")) != Answer::Yes) {
        wrapUp();
        return;
    }
    m_selectButton->setText(tr("Select Archive File"));
    m_status->setText(tr("Select Archive File"));
    m_archiveMode = true;
    setDirections(browseDirections());
}

void SetupWizard::checkArchivePage(const QByteArray& page, const QString& remote)
{
    m_archiveLocation.clear(); // until this page has passed
    m_nextButton->setEnabled(false);
    const auto taken = [this, remote] {
        m_ws.prompt().message(tr("Success!  Valid archive insertion marker found!"), Buttons::Ok,
                              Icon::Information, tr("Success!"));
        m_archiveLocation = remote;
        askArchiveAddress(remote);
    };
    if (Setup::hasArchiveMarker(page)) {
        taken();
        return;
    }
    offerMarkerTool(page, remote, false,
                    tr("Pagewick Archive Insertion Marker was NOT found.") +
                        tr("  Please select a valid pagewick archive enabled file."),
                    tr("Pagewick Archive Insertion Marker was not found in ") + remote + kCrLf +
                        kCrLf +
                        tr("Would you like to add the archive pagewick "
                           "insertion codes into this webpage?"),
                    taken);
}

void SetupWizard::askArchiveAddress(const QString& remote)
{
    m_archiveAddress->setText(Setup::proposedArchiveAddress(m_pageAddress->text(), remote));
    m_archiveAddressLabel->show();
    m_archiveAddress->show();
    setDirections(QStringLiteral("Selected: ") + remote + kCrLf +
                  tr("Check the web address of the archive page, then press Next."));
    m_nextButton->setEnabled(true);
    m_archiveAddress->setFocus();
    m_archiveAddress->selectAll();
}

bool SetupWizard::mendMarkerCase(const QByteArray& page, const QString& remote,
                                 const std::function<void()>& then)
{
    const QByteArray found = Setup::insertionMarkerInOtherCase(page);
    if (found.isEmpty())
        return false;
    const QString text =
        tr("The page %1 has the insertion marker written %2, but entries are placed only after "
           "%3 written exactly so.")
            .arg(remote, TextCodec::decode(found),
                 TextCodec::decode(Setup::withInsertionMarkersMended(found))) +
        kCrLf + kCrLf + tr("Would you like the wizard to write it so and upload the page?");
    if (m_ws.prompt().message(text, Buttons::YesNo, Icon::Question, tr("Insertion Marker")) !=
        Answer::Yes)
        return false;
    QString error;
    if (!WorkFiles::write(m_ws.file(kWorkFile), Setup::withInsertionMarkersMended(page), &error)) {
        m_ws.prompt().message(error, Buttons::Ok, Icon::Critical);
        then(); // m_editDone stays false: the page is not taken
        return true;
    }
    upload(m_ws.file(kWorkFile), remote, then);
    return true;
}

void SetupWizard::runMarkerTool(const QByteArray& page, const QString& remote, bool main,
                                const std::function<void()>& then)
{
    QString local, target;
    {
        MarkerTool tool(m_ws, this);
        tool.setMainInsertion(main);
        tool.setPage(page, remote);
        tool.setUploader([&](const QString& file, const QString& path) {
            local = file;
            target = path;
        });
        tool.exec();
    }
    if (local.isEmpty())
        then(); // cancelled: nothing to send
    else
        upload(local, target, then);
}

void SetupWizard::upload(const QString& localFile, const QString& remotePath,
                         const std::function<void()>& then)
{
    if (m_browser.isBusy())
        return;
    beginStep();
    setDirections(tr("Uploading the edited file to server!") + kCrLf + tr("Please wait..."));
    m_editDone = false;
    m_browser.upload(localFile, remotePath, [this, then](const TransferError& error) {
        if (!endStep())
            return;
        setBrowsing(true);
        if (!m_browser.lastNotice().isEmpty())
            m_status->setText(m_browser.lastNotice());
        // On failure the page on the server is as it was: the upload goes to
        // a temporary name and replaces the page only when complete.
        if (error.number() != 0 && error.number() != TransferError::RequestFailed)
            m_ws.prompt().message(numbered(error), Buttons::Ok, Icon::None, tr("Transfer Error"));
        if (error.number() == TransferError::TimedOut)
            m_browser.client().cancel();
        m_editDone = error.number() == 0;
        if (then)
            then();
    });
}

void SetupWizard::wrapUp()
{
    changePage(1);
    m_summary->setPlainText(Setup::summaryText(wizardResult()));
    m_nextButton->setEnabled(false);
    m_backButton->setEnabled(false);
}

Setup::WizardResult SetupWizard::wizardResult() const
{
    Setup::WizardResult r;
    r.account = {m_ftpSite->text(), m_userName->text(), m_password->text(), m_pageAddress->text()};
    r.mainLocation = m_mainLocation;
    r.archiveMode = m_archiveMode;
    r.archiveLocation = m_archiveLocation;
    r.archiveAddress = m_archiveAddress->text();
    return r;
}

SetupWizard::~SetupWizard()
{
    setWorking(false);
}

void SetupWizard::reject()
{
    m_browser.abandon();
    setWorking(false);
    QDialog::reject();
}

void SetupWizard::okay()
{
    const Setup::WizardResult r = wizardResult();
    fillPreferences(m_preferences, r);
    // The preferences dialog runs its Apply once the wizard has closed.
    accept();
}
