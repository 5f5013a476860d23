// The pictures of the newest entry in a publish: which of them the server
// still needs and under which names, the page and the local copies renamed
// to match, and the pictures folder made on the server.

#include "core/publish/Publisher.h"

#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/entry/PageEntries.h"
#include "core/entry/WorkFiles.h"
#include "core/picture/PictureStore.h"
#include "core/publish/PublishFiles.h"
#include "core/rss/FeedWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace PublishFiles;

namespace {

// The whole answer of the last command.
QByteArray answerOf(TransferClient& client)
{
    QByteArray all;
    for (QByteArray chunk; !(chunk = client.readChunk(1 << 20)).isEmpty();)
        all += chunk;
    return all;
}

} // namespace

// The pictures of the newest entry of the edited page the server does not
// have yet, with the names they go as. A picture whose name the server uses
// for another one gets a free name, in the page ("webbie" and "backup", and
// the feeds made from it) and in the local pictures folder alike. The
// pictures folder is made when something goes into it. A failure sets
// m_ftpAborted, and the publish ends with nothing changed on the server.
NetTask<QList<Publisher::SiteFile>> Publisher::pictureFiles()
{
    Settings& s = m_ws.settings();
    const std::optional<Picture::Options> options = Picture::readOptions(s, nullptr);
    std::optional<QByteArray> page = WorkFiles::read(filePath("webbie"));
    if (!options || !page || m_ftpAborted)
        co_return {};
    const PageEntries::Listing listing = PageEntries::findEntries(*page);
    if (listing.entries.isEmpty())
        co_return {};
    const PageEntries::Entry& newest = listing.entries.first();
    const qsizetype entryEnd = newest.end < 0 ? page->size() : newest.end;
    QByteArray entry = page->mid(newest.markerAt, entryEnd - newest.markerAt);
    const QStringList names = Picture::entryPictures(QString::fromLatin1(entry), *options);
    if (names.isEmpty())
        co_return {};

    if (m_stopped) // a stop between two commands ends it as one during a command does
        m_ftpAborted = true;
    const QString folder = Picture::remoteFolder(s.ftpremote, *options);
    const Request list = [this, folder] { ftpClient.list(folder); };
    if (m_ftpAborted || !co_await runUploadRequest(list))
        co_return {};
    QSet<QString> onServer;
    for (const QString& line : QString::fromUtf8(answerOf(ftpClient)).split(kCrLf)) {
        if (!line.isEmpty() && !line.endsWith(QLatin1Char('/')))
            onServer.insert(line);
    }
    // The plan asks which of the server's pictures are the same as a local
    // copy; each question is answered from the server, and the plan made
    // again with the answers, until it asks nothing new.
    QMap<QPair<QString, QString>, bool> same; // (server name, local file)
    QList<Picture::Upload> uploads;
    for (;;) {
        QList<QPair<QString, QString>> asked;
        uploads = Picture::planUploads(names, *options, s.ftpremote, onServer,
                                       [&](const QString& name, const QString& local) {
                                           const auto question = qMakePair(name, local);
                                           if (!same.contains(question))
                                               asked << question;
                                           return same.value(question);
                                       });
        if (asked.isEmpty())
            break;
        for (const auto& question : std::as_const(asked)) {
            const QString remote = folder + QLatin1Char('/') + question.first;
            const bool sameBytes = co_await sameOnServer(remote, question.second);
            same.insert(question, sameBytes);
            if (m_ftpAborted)
                co_return {};
        }
    }

    // The new names: copies first, then the page, and only then the old
    // copies go, so that the page always finds its pictures.
    const QDir local(Picture::localFolder(*options));
    QStringList renamed;
    QString error;
    for (const Picture::Upload& u : uploads) {
        if (u.sentAs == u.name)
            continue;
        if (!WorkFiles::copy(u.local, local.filePath(u.sentAs), &error))
            break;
        renamed << u.name;
        entry = Picture::renameInPage(entry, *options, u.name, u.sentAs);
        m_view.appendStatus(tr("The server has another picture called %1: this one goes as %2.")
                                .arg(u.name, u.sentAs));
    }
    if (!renamed.isEmpty() && error.isEmpty()) {
        page->replace(newest.markerAt, entryEnd - newest.markerAt, entry);
        if (WorkFiles::write(filePath("webbie"), *page, &error))
            WorkFiles::copy(filePath("webbie"), filePath("backup"), &error);
    }
    if (!error.isEmpty()) {
        for (const Picture::Upload& u : uploads) {
            if (renamed.contains(u.name))
                QFile::remove(local.filePath(u.sentAs));
        }
        m_ws.prompt().message(tr("The pictures could not be renamed: %1").arg(error), Buttons::Ok,
                              Icon::Critical);
        m_ftpAborted = true;
        co_return {};
    }
    for (const QString& name : std::as_const(renamed))
        QFile::remove(local.filePath(name));
    // The feeds show the entry with its pictures' new names.
    if (!renamed.isEmpty() && !writeFeedFiles(s, m_view, m_ws.prompt())) {
        m_ftpAborted = true;
        co_return {};
    }

    QList<SiteFile> files;
    for (const Picture::Upload& u : uploads) {
        if (u.send)
            files.append(
                {local.filePath(u.sentAs), u.remote, QStringLiteral("the picture ") + u.sentAs});
        else
            m_view.appendStatus(tr("The server has the picture %1 already.").arg(u.sentAs));
    }
    if (m_stopped)
        m_ftpAborted = true;
    const Request makeFolder = [this, folder] { ftpClient.makeFolder(folder); };
    if (!files.isEmpty() && onServer.isEmpty() &&
        (m_ftpAborted || !co_await runUploadRequest(makeFolder)))
        co_return {};
    co_return files;
}

// Whether the server's picture `remote` has the bytes of the local file: its
// size is asked first, and it is fetched only when that could be the copy's.
NetTask<bool> Publisher::sameOnServer(QString remote, QString local)
{
    if (m_stopped)
        m_ftpAborted = true;
    const Request askFacts = [this, remote] { ftpClient.facts(remote); };
    if (m_ftpAborted || !co_await runUploadRequest(askFacts))
        co_return false;
    const FileFacts facts = ftpClient.lastFacts();
    if (!facts.exists || (facts.size >= 0 && facts.size != QFileInfo(local).size()))
        co_return false;
    const Request get = [this, remote] { ftpClient.download(remote); };
    if (!co_await runUploadRequest(get))
        co_return false;
    co_return answerOf(ftpClient) == WorkFiles::read(local);
}
