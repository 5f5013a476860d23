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

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About ") + Prompt::AppTitle);
    lblTitle = new QLabel(Prompt::AppTitle, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 8);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = new QLabel(tr("Version ") + versionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(
        tr("A weblog publisher for hand-made web sites, by the Pagewick developers."), this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
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
    lblDisclaimer = new QLabel(disclaimer, this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(tr("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutDialog::showSystemInfo);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(lblVersion);
    layout->addWidget(lblDescription);
    layout->addWidget(line);
    layout->addWidget(lblDisclaimer, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
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
        prompt().message(tr("System Information Is Unavailable At This Time"));
}
