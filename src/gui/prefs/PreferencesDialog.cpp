#include "gui/prefs/PreferencesDialog.h"

#include "base/Workspace.h"
#include "gui/setup/SetupWizard.h"

#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "core/config/ConfigLoader.h"
#include "core/config/PreferencesApply.h"
#include "core/entry/EntryBuilder.h"
#include "core/entry/WorkFiles.h"
#include "core/rss/FeedWriter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>

#include <cmath>
#include <utility>

namespace {

const QString kModeHelp = QStringLiteral(
    "Automatic Retrieve Mode downloads your html files off the server everytime you use the "
    "program.  This allows you to use pagewick from any computer and allows multiple people to "
    "use this program to update a single web site.  SSIs will not work with this mode.\r\n\r\n"
    "FTP Retrieve Mode downloads and uploads your files via FTP.  If you have FTP access, this is "
    "the best!  Multi-user and SSI use possible.  FTP required.\r\n\r\n"
    "Manual Retrieve Mode assumes the local copy of the html file is the most recent.  Files will "
    "still be FTPed to the server as usual.  SSIs work correctly but multi-user use not "
    "possible.");

// A configuration number typed into the chooser: 1 to 9, or 0 for anything
// else.
int configNumber(const QString& text)
{
    const double v = numericValue(text.trimmed());
    return v >= 1 && v <= 9 && v == std::floor(v) ? static_cast<int>(v) : 0;
}

} // namespace

PreferencesDialog::PreferencesDialog(Workspace& ws, MainView& view, ApplyTarget& target,
                                     QWidget* parent)
    : QDialog(parent), m_view(view), m_target(target), m_ws(ws)
{
    setObjectName(QStringLiteral("frmPrefs"));
    setWindowTitle(tr("Preferences..."));
    buildTabs();
    connectHandlers();

    int number = configNumber(m_ws.settings().activeSection);
    if (number == 0)
        number = 1;
    m_saved = m_ws.settings();
    loadConfigurationNumber(number, [this] {
        m_saved = m_ws.settings();
        m_loadedAnother = false;
    });
    showTab(1);
    resize(620, 430);
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::connectHandlers()
{
    connect(m_tabs, &QTabWidget::currentChanged, this,
            [this](int index) { m_currentTab = index + 1; });
    connect(m_ok, &QPushButton::clicked, this, &PreferencesDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &PreferencesDialog::reject);
    connect(m_apply, &QPushButton::clicked, this, &PreferencesDialog::apply);

    connect(m_configScroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_configNumber->setText(QString::number(value));
        enableApply();
    });
    connect(m_load, &QPushButton::clicked, this, &PreferencesDialog::loadChosenConfiguration);

    connect(m_autoFtp, &QCheckBox::toggled, this, [this](bool on) {
        setFtpFieldsEnabled(on);
        enableApply();
    });
    connect(m_autoDelete, &QCheckBox::toggled, this, [this] {
        enableApply();
        updateMaintainEnabled();
    });
    connect(m_archive, &QCheckBox::toggled, this, &PreferencesDialog::archiveToggled);
    connect(m_backend, &QCheckBox::toggled, this, [this](bool on) {
        setBackendFieldsEnabled(on);
        enableApply();
    });
    for (QCheckBox* feed : {m_feedRss2, m_feedAtom})
        connect(feed, &QCheckBox::toggled, this, [this] {
            setBackendFieldsEnabled(m_backend->isChecked());
            enableApply();
        });
    connect(m_image, &QCheckBox::toggled, this, [this](bool on) {
        setImageFieldsEnabled(on);
        enableApply();
    });
    for (QRadioButton* mode : {m_modeAuto, m_modeFtp, m_modeNone})
        connect(mode, &QRadioButton::clicked, this, &PreferencesDialog::retrieveModeChosen);
    for (QRadioButton* connection : {m_direct, m_modem})
        connect(connection, &QRadioButton::clicked, this, &PreferencesDialog::enableApply);
    for (QLineEdit* edit :
         {m_amount, m_archiveFtp, m_archiveUrl, m_configNumber, m_email, m_ftpRemote, m_ftpSite,
          m_password, m_sig, m_description, m_imageAlt, m_imageDescription, m_imageUrl, m_timeout,
          m_title, m_userName, m_webSite, m_feedItems})
        connect(edit, &QLineEdit::textChanged, this, &PreferencesDialog::enableApply);
    for (QComboBox* list : {m_dateFormat, m_timeFormat})
        connect(list, &QComboBox::activated, this, &PreferencesDialog::enableApply);
    connect(m_selectLocal, &QPushButton::clicked, this, &PreferencesDialog::selectLocalFile);
    connect(m_wizard, &QPushButton::clicked, this, &PreferencesDialog::startWizard);
}

void PreferencesDialog::enableApply()
{
    if (m_filling)
        return;
    if (m_waiting) // a change made while Apply waits is for the next one
        m_applyWasOn = true;
    else
        m_apply->setEnabled(true);
}

void PreferencesDialog::showTab(int tab)
{
    if (tab < 1 || tab > m_tabs->count())
        return;
    m_tabs->setCurrentIndex(tab - 1);
    m_currentTab = tab;
}

void PreferencesDialog::loadConfigurationNumber(int number, const std::function<void()>& then)
{
    setWaiting(true);
    loadConfiguration(number, m_ws.settings(), m_ws.prompt(), m_view, this,
                      [this, then](const ConfigLoadResult& loaded) {
                          setWaiting(false);
                          showLoaded(loaded);
                          then();
                      });
}

// The controls show what the loader put into the record.
void PreferencesDialog::showLoaded(const ConfigLoadResult& loaded)
{
    const Settings& s = m_ws.settings();
    m_filling = true;
    m_configScroll->setValue(loaded.number);
    m_configNumber->setText(QString::number(loaded.number));

    m_timeout->setText(s.timeout);
    m_webSite->setText(s.website);
    m_ftpSite->setText(s.ftpsite);
    m_userName->setText(s.username);
    m_ftpRemote->setText(s.ftpremote);
    m_password->setText(s.password);
    m_passwordPlace->setText(PasswordStore::placeText(loaded.passwordPlace));
    (s.dialUp() ? m_modem : m_direct)->setChecked(true);

    m_autoFtp->setChecked(s.autoFtp());
    setFtpFieldsEnabled(m_autoFtp->isChecked());

    m_loadedConfig = loaded.number;
    m_configLabel->setText(tr("Config %1 Loaded").arg(loaded.number));

    switch (s.retrieveMode()) {
    case Settings::RetrieveMode::None:
        m_modeNone->setChecked(true);
        break;
    case Settings::RetrieveMode::Ftp:
        m_modeFtp->setChecked(true);
        break;
    case Settings::RetrieveMode::Auto:
        m_modeAuto->setChecked(true);
        break;
    }
    m_selectLocal->setEnabled(m_modeNone->isChecked());

    m_backend->setChecked(s.rssEnabled());
    m_image->setChecked(s.rssImageEnabled());
    m_title->setText(s.backendtitle);
    m_description->setText(s.backenddescript);
    m_imageUrl->setText(s.backendimageurl);
    m_imageDescription->setText(s.backendimagedescript);
    m_imageAlt->setText(s.backendimagealt);
    m_feedRss2->setChecked(feedChosen(s.feeds, "rss2"));
    m_feedAtom->setChecked(feedChosen(s.feeds, "atom"));
    m_feedItems->setText(s.feeditems.isEmpty() ? QStringLiteral("20") : s.feeditems);
    setBackendFieldsEnabled(m_backend->isChecked());

    // The lists show today's date and the time in each format; the key
    // stores the format's name.
    const QDateTime now = entryNow();
    m_dateFormat->clear();
    m_timeFormat->clear();
    for (const char* size : {"long", "medium", "short"}) {
        m_dateFormat->addItem(namedDate(now, QLatin1String(size) + QStringLiteral(" date")));
        m_timeFormat->addItem(namedTime(now, QLatin1String(size) + QStringLiteral(" time")));
    }
    m_dateFormat->setCurrentIndex(loaded.dateIndex);
    m_timeFormat->setCurrentIndex(loaded.timeIndex);

    m_autoDelete->setChecked(s.autoDeleteEnabled());
    m_amount->setText(s.deleteamount);
    m_modeHelp->setText(kModeHelp);

    m_archive->setChecked(s.archiveEnabled());
    setArchiveFieldsEnabled(m_archive->isChecked());
    m_archiveUrl->setText(s.archiveurl);
    m_archiveFtp->setText(s.archiveftp);
    updateMaintainEnabled();

    m_sig->setText(s.defaultsig);
    m_email->setText(s.defaultemail);
    m_filling = false;
    m_apply->setEnabled(true);
}

void PreferencesDialog::loadChosenConfiguration()
{
    const int number = configNumber(m_configNumber->text());
    if (number == 0) {
        m_ws.prompt().message(tr("Please choose a configuration number from 1 to 9."));
        return;
    }
    m_view.setBusy(true);
    loadConfigurationNumber(number, [this] {
        m_loadedAnother = true;
        m_apply->setEnabled(true);
        m_view.setBusy(false);
    });
}

PreferencesForm PreferencesDialog::form() const
{
    PreferencesForm f;
    f.configNumber = m_configNumber->text();
    f.loadedConfig = m_loadedConfig;
    f.website = m_webSite->text();
    f.direct = m_direct->isChecked();
    f.autoFtp = m_autoFtp->isChecked();
    f.ftpSite = m_ftpSite->text();
    f.userName = m_userName->text();
    f.password = m_password->text();
    f.ftpRemote = m_ftpRemote->text();
    f.timeout = m_timeout->text();
    f.autoDelete = m_autoDelete->isChecked();
    f.deleteAmount = m_amount->text();
    f.archiveUrl = m_archiveUrl->text();
    f.archiveFtp = m_archiveFtp->text();
    f.sig = m_sig->text();
    f.email = m_email->text();
    f.dateIndex = m_dateFormat->currentIndex();
    f.timeIndex = m_timeFormat->currentIndex();
    f.backend = m_backend->isChecked();
    f.backendTitle = m_title->text();
    f.backendDescription = m_description->text();
    f.image = m_image->isChecked();
    f.imageUrl = m_imageUrl->text();
    f.imageDescription = m_imageDescription->text();
    f.imageAlt = m_imageAlt->text();
    f.feedRss2 = m_feedRss2->isChecked();
    f.feedAtom = m_feedAtom->isChecked();
    f.feedItems = m_feedItems->text();
    f.mode = m_modeNone->isChecked()  ? RetrieveChoice::None
             : m_modeFtp->isChecked() ? RetrieveChoice::Ftp
                                      : RetrieveChoice::Auto;
    return f;
}

void PreferencesDialog::apply()
{
    if (m_waiting)
        return;
    setWaiting(true);
    const QPointer<PreferencesDialog> self(this);
    applyPreferences(form(), m_ws.settings(), m_ws.prompt(), m_view, m_target,
                     [self](const ApplyOutcome& out) {
                         if (self)
                             self->applied(out);
                     });
}

void PreferencesDialog::applied(const ApplyOutcome& out)
{
    setWaiting(false);
    if (out.completed)
        m_ws.run().pageRetrieved = false; // the page of the new configuration
    if (out.archiveUnticked) {
        m_filling = true;
        m_archive->setChecked(false);
        setArchiveFieldsEnabled(false);
        m_filling = false;
    }
    if (out.completed)
        m_apply->setEnabled(false);
    if (out.completed)
        m_passwordPlace->setText(PasswordStore::placeText(out.passwordPlace));
    if (out.showTab != PrefsTab::None)
        showTab(static_cast<int>(out.showTab));
    if (out.completed) {
        m_settingsApplied = true;
        m_saved = m_ws.settings();
        m_loadedAnother = false;
    }
    const bool close = std::exchange(m_closeWhenApplied, false) && out.completed;
    emit applyEnded(out.completed);
    if (close)
        QDialog::accept();
}

void PreferencesDialog::setWaiting(bool waiting)
{
    m_waiting = waiting;
    for (QPushButton* b : {m_ok, m_cancel, m_load})
        b->setEnabled(!waiting);
    if (waiting)
        m_applyWasOn = m_apply->isEnabled();
    m_apply->setEnabled(!waiting && m_applyWasOn); // a stopped Apply leaves it as it was
}

void PreferencesDialog::accept()
{
    m_closeWhenApplied = true;
    apply();
}

void PreferencesDialog::reject()
{
    if (m_waiting) // the record is being loaded or saved: it closes after that
        return;
    restoreConfiguration(m_ws.settings(), m_saved);
    if (m_loadedAnother)
        m_view.setSignature(m_saved.defaultsig, m_saved.defaultemail);
    QDialog::reject();
}

void PreferencesDialog::setFtpFieldsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ftpRemote, m_ftpSite, m_userName, m_password, m_ftpSiteLabel, m_ftpRemoteLabel,
             m_userNameLabel, m_passwordLabel, m_timeoutLabel, m_secondsLabel, m_timeout})
        w->setEnabled(enabled);
}

void PreferencesDialog::setArchiveFieldsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{m_archiveUrlLabel, m_archiveFtpLabel,
                                                      m_archiveUrl, m_archiveFtp})
        w->setEnabled(enabled);
}

void PreferencesDialog::updateMaintainEnabled()
{
    if (!m_autoDelete->isChecked()) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_amountLabel, m_amount, m_archive})
            w->setEnabled(false);
        setArchiveFieldsEnabled(false);
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_amountLabel, m_amount, m_archive})
        w->setEnabled(true);
    if (m_ws.settings().archiveEnabled())
        setArchiveFieldsEnabled(true);
}

// The archive box sets the archive setting at once; archiving needs the
// automatic upload.
void PreferencesDialog::archiveToggled(bool on)
{
    if (m_filling)
        return;
    Settings& s = m_ws.settings();
    if (on && !m_autoFtp->isChecked()) {
        m_ws.prompt().message(tr("To use the archive utility, you must have your FTP "
                                 "configured.  The archive function has been disabled."));
        m_archive->setChecked(false); // runs the unticked case
        return;
    }
    s.archive = on ? QStringLiteral("true") : QStringLiteral("false");
    setArchiveFieldsEnabled(on);
    enableApply();
}

void PreferencesDialog::setBackendFieldsEnabled(bool enabled)
{
    // The feeds take their title and description from here too.
    const bool feeds = m_feedRss2->isChecked() || m_feedAtom->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_feedItems, m_feedItemsLabel})
        w->setEnabled(feeds);
    if (!enabled) {
        for (QWidget* w : std::initializer_list<QWidget*>{m_image, m_imageUrl, m_imageDescription,
                                                          m_imageAlt, m_imageUrlLabel,
                                                          m_imageAltLabel, m_imageDescriptionLabel})
            w->setEnabled(false);
        for (QWidget* w : std::initializer_list<QWidget*>{m_title, m_description,
                                                          m_descriptionLabel, m_titleLabel})
            w->setEnabled(feeds);
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_title, m_description, m_image,
                                                      m_descriptionLabel, m_titleLabel})
        w->setEnabled(true);
    setImageFieldsEnabled(m_image->isChecked());
}

void PreferencesDialog::setImageFieldsEnabled(bool enabled)
{
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_imageUrl, m_imageDescription, m_imageAlt,
                                         m_imageUrlLabel, m_imageAltLabel, m_imageDescriptionLabel})
        w->setEnabled(enabled);
    if (enabled) {
        m_descriptionLabel->setEnabled(true);
        m_titleLabel->setEnabled(true);
    }
}

// Any choice of mode is a change to apply; Select Local File belongs to the
// mode without retrieval.
void PreferencesDialog::retrieveModeChosen()
{
    m_selectLocal->setEnabled(m_modeNone->isChecked());
    enableApply();
}

// The chosen file becomes the base copy of the active configuration, used
// by the next preview without retrieving.
void PreferencesDialog::selectLocalFile()
{
    FileRequest request;
    request.kind = FileRequest::Open;
    request.initialDir = m_ws.dir();
    request.filter = QStringLiteral("All Files (*.*)|*.*|HTML Files") +
                     QStringLiteral("(*.html)|*.html|HTM Files (*.htm)|*.htm|SHTML Files "
                                    "(*.shtml)|*.shtml");
    request.filterIndex = 2;
    request.defaultExt = QStringLiteral("html");
    const std::optional<QString> chosen = m_ws.prompt().chooseFile(request);
    if (!chosen)
        return;
    const QString base = m_ws.workFileName(QStringLiteral("indexbackup"));
    QString error;
    if (!WorkFiles::copy(*chosen, m_ws.file(base), &error)) {
        m_ws.prompt().message(tr("Could not copy %1 over %2: %3").arg(*chosen, base, error),
                              Buttons::Ok, Icon::Exclamation);
        return;
    }
    m_view.appendStatus(tr("Local file updated"));
    m_ws.run().pageRetrieved = true;
}

void PreferencesDialog::startWizard()
{
    // On OK the wizard has filled this dialog's fields; Apply stores them.
    SetupWizard wizard(m_ws, this, this);
    if (wizard.exec() == QDialog::Accepted)
        apply();
}
