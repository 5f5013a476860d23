#include "core/setup/FtpBrowser.h"

#include "base/Prompt.h"
#include "core/setup/WizardSteps.h"
#include "net/TransferClient.h"

#include <QFile>

FtpBrowser::FtpBrowser(Prompt& prompt, QObject* parent) : QObject(parent), m_prompt(prompt)
{
    m_client.setPrompt(&prompt);
    connect(&m_client, &TransferClient::stateChanged, this, &FtpBrowser::onStateChanged);
}

void FtpBrowser::setAccount(const QString& site, const QString& userName, const QString& password)
{
    m_client.setUrl(site);
    m_client.setUserName(userName);
    m_client.setPassword(password);
}

namespace {

TransferError cancelled()
{
    return TransferError(TransferError::Cancelled, QStringLiteral("The request was cancelled."));
}

} // namespace

// The end of the command sent: the client's last state (or abandon()) resumes the step.
struct FtpBrowser::Reply
{
    FtpBrowser* browser;
    bool await_ready() const noexcept { return !browser->m_client.isBusy(); }
    void await_suspend(std::coroutine_handle<> step) noexcept { browser->m_waiting = step; }
    TransferError await_resume() const
    {
        return browser->m_abandoned ? cancelled() : browser->m_client.lastError();
    }
};

void FtpBrowser::abandon()
{
    m_abandoned = true;
    m_client.cancel();
    if (const std::coroutine_handle<> step = std::exchange(m_waiting, {}))
        step.resume();
}

void FtpBrowser::begin(Step step, Done done)
{
    if (isBusy()) {
        QMetaObject::invokeMethod(
            this,
            [done = std::move(done)] {
                done(TransferError(TransferError::isBusy,
                                   QStringLiteral("Still executing last request")));
            },
            Qt::QueuedConnection);
        return;
    }
    m_step = std::move(step);
    m_done = std::move(done);
    // Reported from the event loop: the step may end on the client's stack.
    m_step.start(
        [this] { QMetaObject::invokeMethod(this, &FtpBrowser::end, Qt::QueuedConnection); });
}

void FtpBrowser::end()
{
    const TransferError error = Step(std::move(m_step)).result();
    if (const Done done = std::exchange(m_done, {}))
        done(error);
}

FtpBrowser::Step FtpBrowser::run(QString line, Request request, Reading reading, bool log)
{
    if (m_abandoned)
        co_return cancelled();
    if (log)
        emit logged(line);
    m_reading = reading;
    TransferError error;
    try {
        request();
        error = co_await Reply{this};
    } catch (const TransferError& refused) {
        error = refused;
    }
    m_reading = Reading::None;
    co_return error;
}

FtpBrowser::Step FtpBrowser::listing(TransferError first, Reading list)
{
    const bool logPwd = list != Reading::FirstListing;
    const QString pwdLine = QStringLiteral("PWD"), lsLine = QStringLiteral("LS");
    const Request currentFolder = [this] { m_client.currentFolder(); };
    const Request listFolder = [this] { m_client.list(); };
    const TransferError pwd = co_await run(pwdLine, currentFolder, Reading::Directory, logPwd);
    if (first.number() == 0)
        first = pwd;
    // Without a log-on there is nothing to list.
    if (list == Reading::FirstListing && pwd.number() != 0)
        co_return pwd;
    const TransferError ls = co_await run(lsLine, listFolder, list);
    if (pwd.number() == 0 && ls.number() == 0) {
        m_directory = m_newDirectory;
        m_items = m_newItems;
        emit listingChanged();
    }
    co_return first.number() != 0 ? first : ls;
}

void FtpBrowser::connectAndList(Done done)
{
    begin(listing({}, Reading::FirstListing), std::move(done));
}

void FtpBrowser::openFolder(const QString& item, Done done)
{
    begin(enterFolder(item), std::move(done));
}

FtpBrowser::Step FtpBrowser::enterFolder(QString item)
{
    QString target = QStringLiteral("..");
    if (Setup::itemKind(item) == Setup::ItemKind::Parent) {
        emit statusChanged(QStringLiteral("Moving to the root directory"));
        m_command = QStringLiteral("CD ..");
    } else {
        emit statusChanged(QStringLiteral("Moving to ") + item);
        target = Setup::folderTarget(m_directory, item);
        m_command = QStringLiteral("CD ") + quoteCommandPath(target);
    }
    const Request changeFolder = [this, target] { m_client.changeFolder(target); };
    const TransferError cd = co_await run(m_command, changeFolder, Reading::None);
    co_return co_await listing(cd);
}

void FtpBrowser::download(const QString& remotePath, const QString& localFile, Done done)
{
    begin(fetch(remotePath, localFile), std::move(done));
}

FtpBrowser::Step FtpBrowser::fetch(QString remotePath, QString localFile)
{
    QFile::remove(localFile);
    m_command = QStringLiteral("GET ") + quoteCommandPath(remotePath) + QLatin1Char(' ') +
                quoteCommandPath(localFile);
    const Request download = [this, remotePath, localFile] {
        m_client.download(remotePath, localFile);
    };
    const TransferError error = co_await run(m_command, download, Reading::None);
    emit statusChanged(QStringLiteral("Done Downloading"));
    co_return error;
}

void FtpBrowser::refresh(Done done)
{
    begin(listing(), std::move(done));
}

void FtpBrowser::upload(const QString& localFile, const QString& remotePath, Done done)
{
    begin(send(localFile, remotePath), std::move(done));
}

FtpBrowser::Step FtpBrowser::send(QString localFile, QString remotePath)
{
    emit statusChanged(QStringLiteral("Uploading File To Server"));
    m_command = QStringLiteral("PUT ") + quoteCommandPath(localFile) + QLatin1Char(' ') +
                quoteCommandPath(remotePath);
    const Request upload = [this, localFile, remotePath] {
        m_client.upload(localFile, remotePath);
    };
    const TransferError error = co_await run(m_command, upload, Reading::None);
    co_await listing();
    emit statusChanged(error.number() == 0 ? QStringLiteral("Done Uploading")
                                           : QStringLiteral("Upload Failed"));
    co_return error;
}

void FtpBrowser::collect()
{
    QByteArray data;
    for (QByteArray chunk = m_client.readChunk(1024, 0); !chunk.isEmpty();
         chunk = m_client.readChunk(1024, 0))
        data += chunk;
    if (m_reading == Reading::Directory) {
        m_newDirectory = QString::fromUtf8(data);
    } else {
        m_newItems.clear();
        if (m_reading == Reading::Listing)
            m_newItems << Setup::parentItem();
        m_newItems << Setup::listingItems(data);
    }
    emit statusChanged(QStringLiteral("Directory Done"));
}

void FtpBrowser::onStateChanged(TransferState state)
{
    if (state == TransferState::Error) {
        const int code = m_client.responseCode();
        // Code 0: no server reply (no connection, time-out); the step
        // reports those by number.
        if (TransferError::isServerReply(code)) {
            const QString reply =
                QString::number(code) + QStringLiteral(": ") + m_client.responseText();
            emit logged(reply);
            m_prompt.message(QStringLiteral("Error Code ") + QString::number(code) +
                                 QStringLiteral("\r\n") + m_client.responseText(),
                             Buttons::Ok, Icon::None, QStringLiteral("Error Response Received"));
        }
        resume();
        return;
    }
    const QString text = transferStateText(state);
    if (!text.isEmpty())
        emit statusChanged(text);
    else
        emit statusChanged(QStringLiteral("Unknown State Received"));
    if ((state == TransferState::ResponseReceived || state == TransferState::ResponseCompleted) &&
        m_client.responseCode() != 0)
        emit logged(QString::number(m_client.responseCode()) + QStringLiteral(": ") +
                    m_client.responseText());
    if (state == TransferState::ResponseCompleted) {
        if (m_reading != Reading::None)
            collect();
        resume();
    }
}

// Error and ResponseCompleted end a command: the step goes on.
void FtpBrowser::resume()
{
    if (!m_client.isBusy())
        if (const std::coroutine_handle<> step = std::exchange(m_waiting, {}))
            step.resume();
}
