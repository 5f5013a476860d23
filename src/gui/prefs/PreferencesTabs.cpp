// The controls of the preferences dialog, tab by tab, with the object names
// the program gives them.

#include "gui/prefs/PreferencesDialog.h"

#include "gui/WidgetHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

using Widgets::named;

namespace {

QLabel* label(const char* name, const QString& text)
{
    return named(new QLabel(text), name);
}

QLineEdit* lineEdit(const char* name, QLabel* caption, const QString& text = {})
{
    auto* edit = named(new QLineEdit(text), name);
    if (caption)
        caption->setBuddy(edit);
    return edit;
}

QLabel* note(const char* name, const QString& text)
{
    QLabel* l = label(name, text);
    l->setWordWrap(true);
    return l;
}

QWidget* page(const char* name)
{
    return named(new QWidget, name);
}

} // namespace

void PreferencesDialog::buildTabs()
{
    m_tabs = named(new QTabWidget, "TabStrip1");
    m_tabs->addTab(buildConfigTab(), tr("&Config"));
    m_tabs->addTab(buildFtpTab(), tr("&FTP"));
    m_tabs->addTab(buildMaintainTab(), tr("&Maintain"));
    m_tabs->addTab(buildSigTab(), tr("&Sig/Email"));
    m_tabs->addTab(buildDateTab(), tr("&Date/Time"));
    m_tabs->addTab(buildBackendTab(), tr("&Backend"));
    m_tabs->addTab(buildImagingTab(), tr("&Imaging"));
    m_tabs->addTab(buildRetrieveTab(), tr("&Retrieve"));

    m_ok = named(new QPushButton(tr("OK")), "buttOK");
    m_cancel = named(new QPushButton(tr("Cancel")), "buttCancel");
    m_apply = named(new QPushButton(tr("Apply")), "buttApply");
    m_ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_apply);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_tabs, 1);
    outer->addLayout(buttons);
}

QWidget* PreferencesDialog::buildConfigTab()
{
    QWidget* tab = page("ChoiceFrame0");
    m_webSiteLabel = label("Label10", tr("WebSite:"));
    m_webSite = lineEdit("txtWebSite", m_webSiteLabel, QStringLiteral("http://"));
    QLabel* forms =
        note("lblWebSiteForms", tr("The full address of your weblog page, beginning with "
                                   "http://, https:// or file://"));

    auto* connection = named(new QGroupBox(tr("Connection")), "Frame2");
    m_direct =
        named(new QRadioButton(tr("I have a direct connection to the internet.")), "optDirect");
    m_modem = named(new QRadioButton(tr("I use a modem to connect to the internet.")), "optmodem");
    auto* connectionLayout = new QVBoxLayout(connection);
    connectionLayout->addWidget(m_direct);
    connectionLayout->addWidget(m_modem);

    auto* chooser = named(new QGroupBox(tr("Configuration (1 to 9)")), "fraConfig");
    m_configNumber = named(new QLineEdit(QStringLiteral("1")), "txtConfigNumber");
    m_configNumber->setAccessibleName(tr("Configuration number"));
    m_configNumber->setMaximumWidth(40);
    m_configNumber->setAlignment(Qt::AlignCenter);
    m_configScroll = Widgets::stepScrollBar("VScroll1", tr("Choose the configuration number"), 1, 9,
                                            m_configNumber);
    m_load = named(new QPushButton(tr("Load")), "buttLoad");
    m_configLabel = label("lblConfig", QString());
    auto* chooserLayout = new QHBoxLayout(chooser);
    chooserLayout->addWidget(m_configNumber);
    chooserLayout->addWidget(m_configScroll);
    chooserLayout->addWidget(m_load);
    chooserLayout->addSpacing(12);
    chooserLayout->addWidget(m_configLabel, 1);

    auto* layout = new QGridLayout(tab);
    layout->addWidget(m_webSiteLabel, 0, 0);
    layout->addWidget(m_webSite, 0, 1);
    layout->addWidget(forms, 1, 1);
    layout->addWidget(connection, 2, 0, 1, 2);
    layout->addWidget(chooser, 3, 0, 1, 2);
    layout->setRowStretch(4, 1);
    return tab;
}

QWidget* PreferencesDialog::buildFtpTab()
{
    QWidget* tab = page("ChoiceFrame1");
    m_autoFtp = named(new QCheckBox(tr("Update to FTP Site Automatically")), "chkFTP");

    auto* account = named(new QGroupBox(tr("FTP Account")), "Frame3");
    m_ftpSiteLabel = label("lblFTP1", tr("FTP Site:"));
    m_ftpSite = lineEdit("txtFTPsite", m_ftpSiteLabel);
    m_userNameLabel = label("lblUsername", tr("UserName:"));
    m_userName = lineEdit("txtUsername", m_userNameLabel);
    m_passwordLabel = label("lblPassword", tr("PassWord:"));
    m_password = lineEdit("txtPassword", m_passwordLabel);
    m_password->setEchoMode(QLineEdit::Password);
    m_ftpRemoteLabel = label("lblFTP2", tr("Location of File on FTP server:"));
    m_ftpRemote = lineEdit("txtFTPremote", m_ftpRemoteLabel);
    m_timeoutLabel = label("lbltimeout", tr("FTP Timeout:"));
    m_timeout = lineEdit("txttimeout", m_timeoutLabel);
    m_timeout->setMaximumWidth(60);
    m_secondsLabel = label("lblsecs", tr("Seconds"));
    auto* timeoutRow = new QHBoxLayout;
    timeoutRow->addWidget(m_timeout);
    timeoutRow->addWidget(m_secondsLabel);
    timeoutRow->addStretch();
    auto* form = new QFormLayout(account);
    form->addRow(m_ftpSiteLabel, m_ftpSite);
    form->addRow(m_userNameLabel, m_userName);
    form->addRow(m_passwordLabel, m_password);
    // Where the password is kept: the desktop keyring or weblog.ini.
    m_passwordPlace = note("lblPasswordPlace", QString());
    form->addRow(QString(), m_passwordPlace);
    form->addRow(m_ftpRemoteLabel, m_ftpRemote);
    form->addRow(m_timeoutLabel, timeoutRow);

    QLabel* forms =
        note("lblFTPForms",
             tr("FTP Site: a server name such as ftp.example.com, or an address beginning "
                "with ftp://, ftps://, sftp:// or file://.  Location: the folder and the "
                "file name, such as public_html/index.html."));
    QLabel* hint = label("Label12", tr("HINT:"));
    QLabel* hintText = note("Label11", tr("The fastest and easiest way to configure your FTP and "
                                          "archive settings is to use the FTP wizard."));
    m_wizard = named(new QPushButton(tr("FTP Config Wizard!")), "buttWizard");
    auto* hintRow = new QHBoxLayout;
    hintRow->addWidget(hint, 0, Qt::AlignTop);
    hintRow->addWidget(hintText, 1);
    hintRow->addWidget(m_wizard, 0, Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(m_autoFtp);
    layout->addWidget(account);
    layout->addWidget(forms);
    layout->addStretch();
    layout->addLayout(hintRow);
    return tab;
}

QWidget* PreferencesDialog::buildMaintainTab()
{
    QWidget* tab = page("ChoiceFrame2");
    m_autoDelete =
        named(new QCheckBox(tr("Remove old pagewick entries automatically")), "chkAutoDeletes");
    m_amountLabel = label("Label1", tr("How many entries should be left on the page?"));
    m_amount = lineEdit("txtAmount", m_amountLabel);
    m_amount->setMaximumWidth(60);
    auto* amountRow = new QHBoxLayout;
    amountRow->addSpacing(20);
    amountRow->addWidget(m_amountLabel);
    amountRow->addWidget(m_amount);
    amountRow->addStretch();

    m_archive = named(new QCheckBox(tr("Archive Old Entries")), "chkArchive");
    auto* archive = named(new QGroupBox(tr("Archive")), "Frame1");
    m_archiveUrlLabel = label("alabel", tr("Archive Web Page:"));
    m_archiveUrl = lineEdit("txtarchiveURL", m_archiveUrlLabel, QStringLiteral("http://"));
    m_archiveFtpLabel = label("blabel", tr("FTP Location of Archive Page:"));
    m_archiveFtp = lineEdit("txtArchiveFTP", m_archiveFtpLabel);
    auto* form = new QFormLayout(archive);
    form->addRow(m_archiveUrlLabel, m_archiveUrl);
    form->addRow(m_archiveFtpLabel, m_archiveFtp);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(m_autoDelete);
    layout->addLayout(amountRow);
    layout->addSpacing(8);
    layout->addWidget(m_archive);
    layout->addWidget(archive);
    layout->addStretch();
    layout->addWidget(note("Label13", tr("HINT: The best way to setup your archive "
                                         "page is by using the Config Wizard.")));
    return tab;
}

QWidget* PreferencesDialog::buildSigTab()
{
    QWidget* tab = page("ChoiceFrame3");
    QLabel* sigLabel = label("lblname", tr("Default Signature:"));
    m_sig = lineEdit("txtSig", sigLabel);
    QLabel* emailLabel = label("lblEmail", tr("Default Email Address:"));
    m_email = lineEdit("txtEmail", emailLabel);
    auto* layout = new QFormLayout(tab);
    layout->addRow(sigLabel, m_sig);
    layout->addRow(emailLabel, m_email);
    return tab;
}

QWidget* PreferencesDialog::buildDateTab()
{
    QWidget* tab = page("ChoiceFrame4");
    QLabel* dateLabel = label("Label2", tr("Choose a Date Format:"));
    m_dateFormat = named(new QComboBox, "cbodate");
    dateLabel->setBuddy(m_dateFormat);
    QLabel* timeLabel = label("Label3", tr("Choose a Time Format:"));
    m_timeFormat = named(new QComboBox, "cboTime");
    timeLabel->setBuddy(m_timeFormat);
    auto* layout = new QFormLayout(tab);
    layout->addRow(dateLabel, m_dateFormat);
    layout->addRow(timeLabel, m_timeFormat);
    return tab;
}

QWidget* PreferencesDialog::buildBackendTab()
{
    QWidget* tab = page("ChoiceFrame5");
    m_backend = named(new QCheckBox(tr("Enable RSS/XML BackEnd Creation")), "chkEnabled");
    m_titleLabel = label("Label5", tr("Title:"));
    m_title = lineEdit("txtTitle", m_titleLabel);
    m_descriptionLabel = label("Label4", tr("Description:"));
    m_description = lineEdit("txtDescript", m_descriptionLabel);
    auto* form = new QFormLayout;
    form->addRow(m_titleLabel, m_title);
    form->addRow(m_descriptionLabel, m_description);

    // The feeds beside the classic file: they share its title and description.
    auto* feeds = named(new QGroupBox(tr("Feeds")), "FrameFeeds");
    m_feedRss2 = named(new QCheckBox(tr("RSS 2.0 feed (rss.xml)")), "chkFeedRss2");
    m_feedRss2->setAccessibleName(tr("RSS 2.0 feed"));
    m_feedAtom = named(new QCheckBox(tr("Atom feed (atom.xml)")), "chkFeedAtom");
    m_feedAtom->setAccessibleName(tr("Atom feed"));
    m_feedItemsLabel = label("lblFeedItems", tr("&Entries in the feeds:"));
    m_feedItems = lineEdit("txtFeedItems", m_feedItemsLabel);
    m_feedItems->setAccessibleName(tr("Entries in the feeds"));
    m_feedItems->setMaximumWidth(60);
    auto* itemsRow = new QHBoxLayout;
    itemsRow->addWidget(m_feedItemsLabel);
    itemsRow->addWidget(m_feedItems);
    itemsRow->addStretch();
    auto* feedLayout = new QVBoxLayout(feeds);
    feedLayout->addWidget(m_feedRss2);
    feedLayout->addWidget(m_feedAtom);
    feedLayout->addLayout(itemsRow);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(m_backend);
    layout->addLayout(form);
    layout->addWidget(feeds);
    layout->addStretch();
    return tab;
}

QWidget* PreferencesDialog::buildImagingTab()
{
    QWidget* tab = page("ChoiceFrame6");
    m_image = named(new QCheckBox(tr("Enable Backend Image Support")), "chkImage");
    m_imageUrlLabel = label("Label6", tr("URL to BackEnd Image:"));
    m_imageUrl = lineEdit("txtImageURL", m_imageUrlLabel, QStringLiteral("http://"));
    m_imageAltLabel = label("Label7", tr("ALT Text for Image:"));
    m_imageAlt = lineEdit("txtImageAlt", m_imageAltLabel);
    m_imageDescriptionLabel = label("Label8", tr("Image Description:"));
    m_imageDescription = lineEdit("txtimagedescript", m_imageDescriptionLabel);
    auto* form = new QFormLayout;
    form->addRow(m_imageUrlLabel, m_imageUrl);
    form->addRow(m_imageAltLabel, m_imageAlt);
    form->addRow(m_imageDescriptionLabel, m_imageDescription);
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(m_image);
    layout->addLayout(form);
    layout->addStretch();
    return tab;
}

QWidget* PreferencesDialog::buildRetrieveTab()
{
    QWidget* tab = page("ChoiceFrame7");
    m_modeAuto = named(new QRadioButton(tr("Automatic Retrieve Mode (Default)")), "optmodeauto");
    m_modeFtp = named(new QRadioButton(tr("FTP Retrieve (Recommended)")), "optmodeFTP");
    m_modeNone = named(new QRadioButton(tr("No Retrieve Mode")), "optmodenone");
    m_selectLocal = named(new QPushButton(tr("Select Local File to Edit")), "buttSelectLocal");
    m_modeHelp = note("Label9", QString());
    m_modeHelp->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    auto* modes = new QVBoxLayout;
    modes->addWidget(m_modeAuto);
    modes->addWidget(m_modeFtp);
    modes->addWidget(m_modeNone);
    modes->addSpacing(8);
    modes->addWidget(m_selectLocal, 0, Qt::AlignLeft);
    modes->addStretch();
    auto* layout = new QHBoxLayout(tab);
    layout->addLayout(modes);
    layout->addWidget(m_modeHelp, 1);
    return tab;
}
