#include "gui/setup/SetupWizard.h"

#include <QAbstractButton>
#include <QLineEdit>

void fillPreferences(QWidget* preferences, const Setup::WizardResult& r)
{
    if (!preferences)
        return;
    auto setText = [preferences](const char* name, const QString& text) {
        if (auto* field = preferences->findChild<QLineEdit*>(QString::fromLatin1(name)))
            field->setText(text);
    };
    auto box = [preferences](const char* name) {
        return preferences->findChild<QAbstractButton*>(QString::fromLatin1(name));
    };
    auto setChecked = [&](const char* name, bool on) {
        if (QAbstractButton* b = box(name))
            b->setChecked(on);
    };
    setText("txtFTPsite", r.account.ftpSite);
    setText("txtUsername", r.account.userName);
    setText("txtFTPremote", r.mainLocation);
    setText("txtPassword", r.account.password);
    setText("txtWebSite", r.account.webSite);
    setChecked("chkFTP", true);
    if (!r.archiveMode) {
        setChecked("chkArchive", false);
        return;
    }
    // Archiving moves the entries that auto-delete cuts: it needs it on.
    QAbstractButton* autoDelete = box("chkAutoDeletes");
    if (autoDelete && !autoDelete->isChecked()) {
        autoDelete->setChecked(true);
        setText("txtAmount", QStringLiteral("10"));
    }
    setText("txtArchiveFTP", r.archiveLocation);
    setText("txtarchiveURL", r.archiveAddress);
    setChecked("chkArchive", true);
}
