#include "gui/AboutDialog.h"

#include "base/ProgramDir.h"
#include "base/Prompt.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

AboutDialog::AboutDialog(Prompt& prompt, QWidget* parent) : QDialog(parent), m_prompt(prompt)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About ") + Prompt::AppTitle);
    auto* title = new QLabel(Prompt::AppTitle, this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSize(titleFont.pointSize() + 8);
    titleFont.setBold(true);
    title->setFont(titleFont);
    auto* version = new QLabel(tr("Version ") + versionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* description = new QLabel(
        tr("A weblog publisher for hand-made web sites, by the Pagewick developers."), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setWordWrap(true);
    const QString crlf = QStringLiteral("\r\n");
    QString disclaimer =
        tr("Disclaimer:") + crlf + crlf +
        tr("This is a beta version of this program.  By using this program you accept any "
           "potential risks that come with using any experimental software.  Many people "
           "have and will continue to test this software to insure its safety.") +
        crlf;
    disclaimer += crlf +
                  tr("By its very nature this program edits your web page.  Please make "
                     "backup copies of your html files before using this program.") +
                  crlf + crlf +
                  tr("Thanks for testing this program.  I welcome all comments, "
                     "suggestions, and questions... please contact me, I beg you!  :)");
    auto* disclaimerLabel = new QLabel(disclaimer, this);
    disclaimerLabel->setObjectName(QStringLiteral("lblDisclaimer"));
    disclaimerLabel->setWordWrap(true);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName(QStringLiteral("cmdOK"));
    okButton->setDefault(true);
    auto* systemInfoButton = new QPushButton(tr("&System Info..."), this);
    systemInfoButton->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(systemInfoButton, &QPushButton::clicked, this, &AboutDialog::showSystemInfo);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(description);
    layout->addWidget(line);
    layout->addWidget(disclaimerLabel, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(systemInfoButton);
    layout->addLayout(buttons);
    setMinimumWidth(460);
}

QStringList AboutDialog::sysInfoPrograms()
{
    return {QStringLiteral("kinfocenter"), QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
            QStringLiteral("gnome-system-monitor"), QStringLiteral("xfce4-taskmanager")};
}

bool AboutDialog::startSystemInfo()
{
    for (const QString& name : sysInfoPrograms()) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty() && QProcess::startDetached(path, {}))
            return true;
    }
    return false;
}

void AboutDialog::showSystemInfo()
{
    if (!startSystemInfo())
        m_prompt.message(tr("System Information Is Unavailable At This Time"));
}
