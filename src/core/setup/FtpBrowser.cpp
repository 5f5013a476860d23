#include "core/setup/FtpBrowser.h"

#include "base/Prompt.h"
#include "core/setup/WizardSteps.h"
#include "net/TransferClient.h"

#include <QCoreApplication>
#include <QFile>

FtpBrowser::FtpBrowser(QObject* parent) : QObject(parent)
{
    connect(&m_client, &TransferClient::stateChanged, this, &FtpBrowser::onStateChanged);
}

void FtpBrowser::setAccount(const QString& site, const QString& userName, const QString& password)
{
    m_client.setUrl(site);
    m_client.setUserName(userName);
    m_client.setPassword(password);
}

void FtpBrowser::abandon()
{
    m_abandoned = true;
    m_client.cancel();
}

TransferError FtpBrowser::run(const QString& command, Reading reading, bool log)
{
    if (m_abandoned)
        return TransferError(TransferError::Cancelled,
                             QStringLiteral("The request was cancelled."));
    if (log)
        emit logged(command);
    m_reading = reading;
    TransferError error;
    try {
        m_client.execute(QString(), command);
        // The client wakes the event loop with its states and its end.
        while (m_client.isBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
        error = m_client.lastError();
    } catch (const TransferError& refused) {
        error = refused;
    }
    m_reading = Reading::None;
    return error;
}

TransferError FtpBrowser::listing(TransferError first, Reading list)
{
    const bool logPwd = list != Reading::FirstListing;
    const TransferError pwd = run(QStringLiteral("PWD"), Reading::Directory, logPwd);
    if (first.number() == 0)
        first = pwd;
    // Without a log-on there is nothing to list.
    if (list == Reading::FirstListing && pwd.number() != 0)
        return pwd;
    const TransferError ls = run(QStringLiteral("LS"), list);
    if (pwd.number() == 0 && ls.number() == 0) {
        m_directory = m_newDirectory;
        m_items = m_newItems;
        emit listingChanged();
    }
    return first.number() != 0 ? first : ls;
}

TransferError FtpBrowser::connectAndList()
{
    return listing({}, Reading::FirstListing);
}

TransferError FtpBrowser::openFolder(const QString& item)
{
    if (Setup::itemKind(item) == Setup::ItemKind::Parent) {
        emit statusChanged(QStringLiteral("Moving to the root directory"));
        m_command = QStringLiteral("CD ..");
    } else {
        emit statusChanged(QStringLiteral("Moving to ") + item);
        m_command =
            QStringLiteral("CD ") + quoteCommandPath(Setup::folderTarget(m_directory, item));
    }
    return listing(run(m_command, Reading::None));
}

TransferError FtpBrowser::download(const QString& remotePath, const QString& localFile)
{
    QFile::remove(localFile);
    m_command = QStringLiteral("GET ") + quoteCommandPath(remotePath) + QLatin1Char(' ') +
                quoteCommandPath(localFile);
    const TransferError error = run(m_command, Reading::None);
    emit statusChanged(QStringLiteral("Done Downloading"));
    return error;
}

TransferError FtpBrowser::refresh()
{
    return listing();
}

TransferError FtpBrowser::upload(const QString& localFile, const QString& remotePath)
{
    emit statusChanged(QStringLiteral("Uploading File To Server"));
    m_command = QStringLiteral("PUT ") + quoteCommandPath(localFile) + QLatin1Char(' ') +
                quoteCommandPath(remotePath);
    const TransferError error = run(m_command, Reading::None);
    listing();
    emit statusChanged(error.number() == 0 ? QStringLiteral("Done Uploading")
                                           : QStringLiteral("Upload Failed"));
    return error;
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
            prompt().message(QStringLiteral("Error Code ") + QString::number(code) +
                                 QStringLiteral("\r\n") + m_client.responseText(),
                             Buttons::Ok, Icon::None, QStringLiteral("Error Response Received"));
        }
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
    if (state == TransferState::ResponseCompleted && m_reading != Reading::None)
        collect();
}
