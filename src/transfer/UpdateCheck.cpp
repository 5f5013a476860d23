#include "transfer/UpdateCheck.h"

#include "app/MainView.h"
#include "app/ProgramDir.h"
#include "app/Prompt.h"
#include "app/Settings.h"
#include "app/TextCodec.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

UpdateCheck::UpdateCheck(MainView& view, QObject* parent) : QObject(parent), m_view(view)
{
    connect(&Inet3, &Inet::StateChanged, this, &UpdateCheck::Inet3_StateChanged);
}

QString UpdateCheck::homePage()
{
    return makerSite() + QStringLiteral("/pagewick/");
}

QString UpdateCheck::newsAddress()
{
    return makerSite() + QStringLiteral("/pagewick/version.txt");
}

void UpdateCheck::mnuUpdateCheck_Click()
{
    const int timeout = static_cast<int>(numericValue(settings().timeout));
    Inet3.setRequestTimeout(timeout > 0 ? timeout : 60);
    QByteArray news;
    QString failure;
    try {
        news = Inet3.OpenURL(newsAddress());
        if (Inet3.lastError().number() != 0)
            failure = Inet3.lastError().description();
        else if (const QString status = Inet3.GetHeader().mid(9, 3);
                 !status.isEmpty() && status != QLatin1String("200"))
            failure = QStringLiteral("the server answered ") + Inet3.GetHeader().section(kCrLf, 0, 0);
    } catch (const InetError& e) {
        failure = e.description();
    }
    if (!failure.isEmpty()) {
        prompt().message(QStringLiteral("The update news could not be fetched from ") + newsAddress() +
                             QStringLiteral(":\r\n") + failure +
                             QStringLiteral("\r\n\r\nPlease try again later."),
                         Buttons::Ok, Icon::Exclamation, QStringLiteral("Checking for Update"));
        m_view.textStatus(QStringLiteral("Check for update news failed."));
        return;
    }
    const QString text = QStringLiteral("Your version: Version ") + versionText() + kCrLf + kCrLf +
                         TextCodec::decode(news) + kCrLf + kCrLf +
                         QStringLiteral("Would you like to visit the Pagewick Home Page?");
    if (prompt().message(text, Buttons::YesNo, Icon::None, QStringLiteral("Checking for Update")) ==
        Answer::Yes)
        prompt().openDocument(homePage());
    m_view.textStatus(QStringLiteral("Check for update news completed."));
}

void UpdateCheck::mnuVisitWeb_Click()
{
    prompt().openDocument(homePage());
}

void UpdateCheck::mnuHelp_Click()
{
    prompt().openDocument(programDir() + QStringLiteral("/pagewick.html"));
}

void UpdateCheck::Inet3_StateChanged(int state)
{
    switch (state) {
    case 1:
        m_view.textStatus(QStringLiteral("Resolving Host"));
        break;
    case 2:
        m_view.textStatus(QStringLiteral("Host Resolved"));
        break;
    case 3:
        m_view.textStatus(QStringLiteral("Connecting"));
        break;
    case 4:
        m_view.textStatus(QStringLiteral("Connected"));
        break;
    case 8:
    case 12:
        if (Inet3.ResponseCode() != 0)
            prompt().message(QString::number(Inet3.ResponseCode()) + QStringLiteral(": ") +
                             Inet3.ResponseInfo());
        break;
    case 11: {
        // Failures without a server reply are reported by the update command.
        const int code = Inet3.ResponseCode();
        if (code != 0 && code != 80 && code != 87 && code != 12007)
            prompt().message(QStringLiteral("Error Code ") + QString::number(code) + kCrLf +
                                 Inet3.ResponseInfo(),
                             Buttons::Ok, Icon::None, QStringLiteral("Error Response Received"));
        break;
    }
    default:
        break;
    }
}
