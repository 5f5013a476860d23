// Never publishing over a change made on the server: what Pagewick last saw
// of the live page and archive page, the comparison before the files are
// put in place, and the question when one changed.

#include "core/publish/LiveCheck.h"

#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/entry/WorkFiles.h"
#include "core/publish/PublishFiles.h"
#include "core/publish/Publisher.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLocale>

namespace LiveCheck {

Verdict compare(const Seen& seen, const FileFacts& now)
{
    if (!now.exists)
        return Verdict::Same;
    if (seen.size >= 0 && now.size >= 0 && seen.size != now.size)
        return Verdict::Changed;
    if (seen.modified >= 0 && now.modified >= 0)
        return seen.modified == now.modified ? Verdict::Same : Verdict::Changed;
    return seen.sha1.isEmpty() ? Verdict::Same : Verdict::NeedBytes;
}

QByteArray sha1(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

QString key(bool archive)
{
    return archive ? QStringLiteral("livearchive") : QStringLiteral("livepage");
}

Seen parse(const QString& value)
{
    const QStringList words = value.split(u' ', Qt::SkipEmptyParts);
    if (words.size() != 3)
        return {};
    bool sized = false, timed = false;
    Seen seen{words[0].toLongLong(&sized), words[1].toLongLong(&timed),
              words[2] == u"-" ? QByteArray() : words[2].toLatin1()};
    return sized && timed ? seen : Seen();
}

QString text(const Seen& seen)
{
    return QStringLiteral("%1 %2 %3")
        .arg(seen.size)
        .arg(seen.modified)
        .arg(seen.sha1.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(seen.sha1));
}

Seen read(const Settings& s, bool archive)
{
    return parse(readSetting(s.settingsPath, s.activeSection, key(archive)));
}

void remember(const Settings& s, bool archive, const Seen& seen)
{
    if (read(s, archive) == seen)
        return;
    IniText ini(s.settingsPath);
    ini.set(s.activeSection, key(archive), text(seen));
    ini.commit();
}

void rememberBytes(const Settings& s, bool archive, const QByteArray& bytes)
{
    Seen seen{bytes.size(), -1, sha1(bytes)};
    const Seen kept = read(s, archive);
    if (kept.size == seen.size && kept.sha1 == seen.sha1)
        seen.modified = kept.modified;
    remember(s, archive, seen);
}

} // namespace LiveCheck

using namespace PublishFiles;

namespace {

bool isArchive(const QString& name)
{
    return name == QLatin1String("the archive page");
}

bool isChecked(const QString& name)
{
    return isArchive(name) || name == QLatin1String("the page");
}

QString stagedName(const QString& remote)
{
    return remote + QStringLiteral(".pagewick-upload"); // where stage() puts it
}

} // namespace

NetTask<std::optional<FileFacts>> Publisher::quietFacts(QString remote)
{
    // A file that cannot be asked about is not recorded; that is no reason
    // to fail what succeeded. Its states are not shown.
    m_quiet = true;
    bool answered = false;
    try {
        const Request facts = [this, remote] { ftpClient.facts(remote); };
        answered = co_await execute(ftpClient, facts);
    } catch (const TransferError&) {
    }
    m_quiet = false;
    if (answered)
        co_return ftpClient.lastFacts();
    co_return std::nullopt;
}

void Publisher::rememberRetrieved(bool archive, const std::optional<FileFacts>& facts,
                                  const QString& localFile)
{
    const std::optional<QByteArray> bytes = WorkFiles::read(m_ws.file(localFile));
    if (!bytes)
        return;
    LiveCheck::Seen seen{bytes->size(), -1, LiveCheck::sha1(*bytes)};
    if (facts && facts->exists && facts->size == seen.size)
        seen.modified = facts->modified;
    LiveCheck::remember(m_ws.settings(), archive, seen);
}

Publisher::Step Publisher::liveFilesUnchanged(QList<SiteFile> staged)
{
    const Settings& s = m_ws.settings();
    m_stagedFacts.clear();
    QString changedName, changedRemote;
    qint64 changedAt = -1;
    for (const SiteFile& file : staged) {
        if (!isChecked(file.name))
            continue;
        // Its upload copy: once renamed, it is the live file with this time.
        const Request stagedFacts = [this, file] { ftpClient.facts(stagedName(file.remote)); };
        if (!co_await runUploadRequest(stagedFacts))
            break;
        m_stagedFacts.insert(file.remote, ftpClient.lastFacts());
        const LiveCheck::Seen seen = LiveCheck::read(s, isArchive(file.name));
        if (!seen.known() || !changedName.isEmpty())
            continue;
        m_view.appendStatus(tr("Checking %1 on the server").arg(file.remote));
        const Request liveFacts = [this, file] { ftpClient.facts(file.remote); };
        if (!co_await runUploadRequest(liveFacts))
            break;
        const FileFacts now = ftpClient.lastFacts();
        LiveCheck::Verdict verdict = LiveCheck::compare(seen, now);
        if (verdict == LiveCheck::Verdict::NeedBytes) {
            const Request get = [this, file] { ftpClient.download(file.remote); };
            if (!co_await runUploadRequest(get))
                break;
            QByteArray bytes;
            for (QByteArray chunk = ftpClient.readChunk(1 << 20); !chunk.isEmpty();
                 chunk = ftpClient.readChunk(1 << 20))
                bytes += chunk;
            verdict = LiveCheck::sha1(bytes) == seen.sha1 ? LiveCheck::Verdict::Same
                                                          : LiveCheck::Verdict::Changed;
        }
        if (verdict == LiveCheck::Verdict::Changed) {
            changedName = file.name;
            changedRemote = file.remote;
            changedAt = now.modified;
        }
    }
    if (m_ftpAborted) {
        co_await discardStaged(staged);
        const QString failed = placementFailureText({}, {});
        co_await closeAfterFailedUpload(failed);
        co_return false;
    }
    if (changedName.isEmpty())
        co_return true;

    const QString what = isArchive(changedName) ? tr("The archive page") : tr("The page");
    const QString change =
        changedAt >= 0
            ? tr("%1 %2 on the server was changed on %3, after Pagewick last retrieved or "
                 "published it.")
                  .arg(what, changedRemote,
                       QLocale().toString(QDateTime::fromSecsSinceEpoch(changedAt).toLocalTime(),
                                          QLocale::ShortFormat))
            : tr("%1 %2 on the server has changed since Pagewick last retrieved or published it.")
                  .arg(what, changedRemote);
    const QString title = tr("Changed on the Server");
    const bool mergeable = m_entries.editedPageIsPreview();
    LiveChange choice = m_liveChange;
    if (choice == LiveChange::Merge && !mergeable)
        choice = LiveChange::Stop;
    if (choice == LiveChange::Ask && mergeable) {
        const Answer answer = m_ws.prompt().ask(
            {change + tr("  Publishing now would replace that change.\r\n\r\nYes: fetch the "
                         "server's version and put the entry into it (the change is kept).\r\n"
                         "No: publish over the server's version anyway.\r\nCancel: publish "
                         "nothing now."),
             title, Buttons::YesNoCancel, Icon::Exclamation,
             QStringList{tr("Fetch and Put the Entry In"), tr("Publish Over It"), tr("Cancel")}});
        choice = answer == Answer::Yes  ? LiveChange::Merge
                 : answer == Answer::No ? LiveChange::Overwrite
                                        : LiveChange::Stop;
    } else if (choice == LiveChange::Ask) {
        const Answer answer = m_ws.prompt().ask(
            {change + tr("  Publishing now would replace that change.\r\n\r\nYes: publish over "
                         "the server's version anyway.\r\nNo: publish nothing now."),
             title, Buttons::YesNo, Icon::Exclamation,
             QStringList{tr("Publish Over It"), tr("Cancel")}});
        choice = answer == Answer::Yes ? LiveChange::Overwrite : LiveChange::Stop;
    } else if (choice == LiveChange::Stop) {
        m_ws.prompt().message(change + (mergeable
                                            ? tr("  Nothing was sent: give --merge to put the "
                                                 "entry into the server's version, or "
                                                 "--overwrite to publish over it.")
                                            : tr("  Nothing was sent: give --overwrite to "
                                                 "publish over it.")),
                              Buttons::Ok, Icon::Exclamation, title);
    }
    if (choice == LiveChange::Overwrite) {
        m_view.appendStatus(tr("Publishing over the changed %1").arg(changedRemote));
        co_return true;
    }
    co_await discardStaged(staged);
    co_await closeConnection();
    m_view.setPublishingEnabled(true);
    m_view.hideProgress();
    m_view.appendStatus(
        tr("Nothing was published; %1 on the server was left as it is.").arg(changedRemote));
    m_outcome = Outcome::Stopped;
    m_mergeWanted = choice == LiveChange::Merge;
    co_return false;
}

void Publisher::rememberPublished(const QList<SiteFile>& placed)
{
    for (const SiteFile& file : placed) {
        if (!isChecked(file.name))
            continue;
        const std::optional<QByteArray> bytes = WorkFiles::read(m_ws.file(file.local));
        if (!bytes)
            continue;
        LiveCheck::Seen seen{bytes->size(), -1, LiveCheck::sha1(*bytes)};
        const FileFacts facts = m_stagedFacts.value(file.remote);
        if (facts.exists && facts.size == seen.size)
            seen.modified = facts.modified;
        LiveCheck::remember(m_ws.settings(), isArchive(file.name), seen);
    }
}

Publisher::Step Publisher::mergeServerCopy()
{
    m_mergeWanted = false;
    m_view.appendStatus(tr("Fetching the server's version to put the entry into it"));
    m_entries.forgetPreview();
    m_insertAfter = true;
    co_await ftpFetch();
    m_insertAfter = false;
    co_return !m_ftpAborted && !m_stopped && m_entries.editedPageIsPreview();
}
