#pragma once

#include "base/Settings.h"

#include <QDialog>

#include <functional>

class Workspace;
class ApplyTarget;
class MainView;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;
struct ApplyOutcome;
struct ConfigLoadResult;
struct PreferencesForm;

// The preferences dialog: every key of one configuration on eight tabs, the
// chooser of the nine configurations, and Apply. Opening it loads the active
// configuration into the settings record and the controls; Load shows
// another one; Apply checks the fields, writes weblog.ini and makes the
// shown configuration the active one. Every control keeps the object name
// the program gives it (txtWebSite, chkFTP, buttApply ...), so the setup
// wizard and the tests can fill the fields and run apply().
class PreferencesDialog final : public QDialog
{
    Q_OBJECT
public:
    // `view` and `target` are the main window: its status box, signature
    // boxes and commands.
    PreferencesDialog(Workspace& ws, MainView& view, ApplyTarget& target,
                      QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    // Apply: ends in applyEnded(), true when every step ran and the
    // configuration is active. A check that stops shows its message, and the
    // tab of its field. OK, Cancel, Apply and Load wait while the keyring
    // is asked (on Apply, and on loading a configuration).
    void apply();
    // An Apply completed since the dialog opened: the page must be fetched
    // again once it closes.
    bool settingsApplied() const { return m_settingsApplied; }
    // The tab shown, 1 to 8, and the configuration the fields come from.
    int currentTab() const { return m_currentTab; }
    int loadedConfig() const { return m_loadedConfig; }
    void showTab(int tab);

    // OK: Apply, and close when it completed (a stopped Apply leaves the
    // dialog open on the field to correct).
    void accept() override;
    // Cancel, Escape and the window frame: the record goes back to the
    // configuration that was active (or last applied); nothing is written.
    void reject() override;

signals:
    void applyEnded(bool completed);

private:
    void applied(const ApplyOutcome& out);
    void setWaiting(bool waiting);

    // PreferencesTabs.cpp: the controls of each tab.
    void buildTabs();
    QWidget* buildConfigTab();
    QWidget* buildFtpTab();
    QWidget* buildMaintainTab();
    QWidget* buildSigTab();
    QWidget* buildDateTab();
    QWidget* buildBackendTab();
    QWidget* buildImagingTab();
    QWidget* buildRetrieveTab();
    void connectHandlers();

    // Loads configuration `number` into the record and the controls, then
    // runs `then` (once the keyring has answered, when it is asked).
    void loadConfigurationNumber(int number, const std::function<void()>& then);
    void showLoaded(const ConfigLoadResult& loaded);
    void loadChosenConfiguration();
    PreferencesForm form() const;

    void setFtpFieldsEnabled(bool enabled);
    void updateMaintainEnabled();
    void setArchiveFieldsEnabled(bool enabled);
    void setBackendFieldsEnabled(bool enabled);
    void setImageFieldsEnabled(bool enabled);
    void archiveToggled(bool on);
    void retrieveModeChosen();
    void selectLocalFile();
    void startWizard();
    void enableApply();

    MainView& m_view;
    ApplyTarget& m_target;
    Settings m_saved; // the configuration Cancel goes back to
    bool m_loadedAnother = false;
    bool m_settingsApplied = false;
    bool m_filling = false; // the controls are being set from the record
    bool m_waiting = false;
    bool m_applyWasOn = false;       // Apply's button before Apply ran
    bool m_closeWhenApplied = false; // OK: close once Apply completed
    int m_currentTab = 1;
    int m_loadedConfig = 0;

    QTabWidget* m_tabs = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_apply = nullptr;

    // Config
    QLabel* m_webSiteLabel = nullptr;
    QLineEdit* m_webSite = nullptr;
    QRadioButton* m_direct = nullptr;
    QRadioButton* m_modem = nullptr;
    QLineEdit* m_configNumber = nullptr;
    QScrollBar* m_configScroll = nullptr;
    QPushButton* m_load = nullptr;
    QLabel* m_configLabel = nullptr;
    // FTP
    QCheckBox* m_autoFtp = nullptr;
    QLabel* m_ftpSiteLabel = nullptr;
    QLineEdit* m_ftpSite = nullptr;
    QLabel* m_userNameLabel = nullptr;
    QLineEdit* m_userName = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_passwordPlace = nullptr;
    QLabel* m_ftpRemoteLabel = nullptr;
    QLineEdit* m_ftpRemote = nullptr;
    QLabel* m_timeoutLabel = nullptr;
    QLineEdit* m_timeout = nullptr;
    QLabel* m_secondsLabel = nullptr;
    QPushButton* m_wizard = nullptr;
    // Maintain
    QCheckBox* m_autoDelete = nullptr;
    QLabel* m_amountLabel = nullptr;
    QLineEdit* m_amount = nullptr;
    QCheckBox* m_archive = nullptr;
    QLabel* m_archiveUrlLabel = nullptr;
    QLineEdit* m_archiveUrl = nullptr;
    QLabel* m_archiveFtpLabel = nullptr;
    QLineEdit* m_archiveFtp = nullptr;
    // Sig/Email
    QLineEdit* m_sig = nullptr;
    QLineEdit* m_email = nullptr;
    // Date/Time
    QComboBox* m_dateFormat = nullptr;
    QComboBox* m_timeFormat = nullptr;
    // Backend and Imaging
    QCheckBox* m_backend = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLineEdit* m_title = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    QLineEdit* m_description = nullptr;
    QCheckBox* m_feedRss2 = nullptr;
    QCheckBox* m_feedAtom = nullptr;
    QLabel* m_feedItemsLabel = nullptr;
    QLineEdit* m_feedItems = nullptr;
    QCheckBox* m_image = nullptr;
    QLabel* m_imageUrlLabel = nullptr;
    QLineEdit* m_imageUrl = nullptr;
    QLabel* m_imageAltLabel = nullptr;
    QLineEdit* m_imageAlt = nullptr;
    QLabel* m_imageDescriptionLabel = nullptr;
    QLineEdit* m_imageDescription = nullptr;
    // Retrieve
    QRadioButton* m_modeAuto = nullptr;
    QRadioButton* m_modeFtp = nullptr;
    QRadioButton* m_modeNone = nullptr;
    QPushButton* m_selectLocal = nullptr;
    QLabel* m_modeHelp = nullptr;
    Workspace& m_ws;
};
