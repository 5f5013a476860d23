#include "core/publish/UpdateCheck.h"

#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "base/TextCodec.h"
#include "base/Workspace.h"

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

UpdateCheck::UpdateCheck(Workspace& ws, MainView& view, QObject* parent)
    : QObject(parent), m_ws(ws), m_view(view)
{
    connect(&newsClient, &TransferClient::stateChanged, this, &UpdateCheck::onNewsStateChanged);
}

QString UpdateCheck::homePage()
{
    return makerSite() + QStringLiteral("/pagewick/");
}

QString UpdateCheck::newsAddress()
{
    return makerSite() + QStringLiteral("/pagewick/version.txt");
}

void UpdateCheck::checkForUpdate()
{
    if (m_running)
        return;
    const int timeout = m_ws.settings().timeoutSeconds();
    newsClient.setRequestTimeout(timeout > 0 ? timeout : 60);
    if (!newsClient.fetch(newsAddress())) {
        report(newsClient.lastError().description());
        return;
    }
    m_running = true;
    m_view.setJobRunning(true);
}

void UpdateCheck::stop()
{
    if (!m_running)
        return;
    newsClient.cancel();
    m_running = false;
    m_view.setJobRunning(false);
    m_view.appendStatus(QStringLiteral("Check for update news stopped."));
}

void UpdateCheck::report(const QString& failure)
{
    m_ws.prompt().message(QStringLiteral("The update news could not be fetched from ") +
                              newsAddress() + QStringLiteral(":\r\n") + failure +
                              QStringLiteral("\r\n\r\nPlease try again later."),
                          Buttons::Ok, Icon::Exclamation, QStringLiteral("Checking for Update"));
    m_view.appendStatus(QStringLiteral("Check for update news failed."));
}

// The fetch has ended (ResponseCompleted or Error).
void UpdateCheck::finishCheck()
{
    if (!m_running)
        return;
    m_running = false;
    m_view.setJobRunning(false);
    QString failure;
    if (newsClient.lastError().number() != 0)
        failure = newsClient.lastError().description();
    else if (const int status = newsClient.httpStatus(); status != 0 && status != 200)
        failure = QStringLiteral("the server answered ") +
                  newsClient.responseHeader().section(kCrLf, 0, 0);
    if (!failure.isEmpty()) {
        report(failure);
        return;
    }
    QByteArray news;
    for (QByteArray chunk; !(chunk = newsClient.readChunk(1 << 20)).isEmpty();)
        news += chunk;
    const QString text = QStringLiteral("Your version: Version ") + versionText() + kCrLf + kCrLf +
                         TextCodec::decode(news) + kCrLf + kCrLf +
                         QStringLiteral("Would you like to visit the Pagewick Home Page?");
    if (m_ws.prompt().message(text, Buttons::YesNo, Icon::None,
                              QStringLiteral("Checking for Update")) == Answer::Yes)
        m_ws.prompt().openDocument(homePage());
    m_view.appendStatus(QStringLiteral("Check for update news completed."));
}

void UpdateCheck::visitWebSite()
{
    m_ws.prompt().openDocument(homePage());
}

void UpdateCheck::openHelp()
{
    m_ws.prompt().openDocument(m_ws.file(QStringLiteral("pagewick.html")));
}

void UpdateCheck::onNewsStateChanged(TransferState state)
{
    switch (state) {
    case TransferState::ResolvingHost:
    case TransferState::HostResolved:
    case TransferState::Connecting:
    case TransferState::Connected:
        m_view.appendStatus(transferStateText(state));
        break;
    case TransferState::ResponseReceived:
    case TransferState::ResponseCompleted:
        if (newsClient.responseCode() != 0)
            m_ws.prompt().message(QString::number(newsClient.responseCode()) +
                                  QStringLiteral(": ") + newsClient.responseText());
        if (state == TransferState::ResponseCompleted)
            finishCheck();
        break;
    case TransferState::Error: {
        // Failures without a server reply are reported by the update command.
        const int code = newsClient.responseCode();
        if (TransferError::isServerReply(code))
            m_ws.prompt().message(QStringLiteral("Error Code ") + QString::number(code) + kCrLf +
                                      newsClient.responseText(),
                                  Buttons::Ok, Icon::None,
                                  QStringLiteral("Error Response Received"));
        finishCheck();
        break;
    }
    default:
        break;
    }
}
