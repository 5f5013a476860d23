#include "core/entry/EntryChanges.h"

#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "base/TextCodec.h"
#include "core/entry/PageText.h"
#include "core/entry/WorkFiles.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(EntryChanges)
};

void warn(Prompt& prompt, const QString& text)
{
    prompt.message(text + u"  "_s + Texts::tr("Nothing was changed."), Buttons::Ok,
                   Icon::Exclamation);
}

QString decode(QByteArrayView bytes, PageText::Encoding encoding)
{
    return encoding == PageText::Encoding::Utf8 ? QString::fromUtf8(bytes)
                                                : TextCodec::fromCp1252(bytes);
}

} // namespace

EntryChanges::EntryChanges(Workspace& ws, MainView& view, PageEditorHooks& hooks)
    : m_ws(ws), m_view(view), m_hooks(hooks)
{
}

bool EntryChanges::load(bool archive)
{
    m_page.clear();
    m_listing = {};
    m_archive = archive;
    if (!m_ws.run().pageRetrieved)
        return false; // the retrieval has said why
    if (archive && !m_ws.settings().archiveEnabled()) {
        m_ws.prompt().message(Texts::tr("This configuration keeps no archive page."));
        return false;
    }
    const QString name =
        m_ws.workFileName(archive ? QStringLiteral("archive") : QStringLiteral("indexbackup"));
    QString error;
    std::optional<QByteArray> bytes = WorkFiles::read(m_ws.file(name), &error);
    if (!bytes) {
        m_ws.prompt().message(Texts::tr("Could not read %1: %2").arg(name, error), Buttons::Ok,
                              Icon::Exclamation);
        return false;
    }
    m_page = std::move(*bytes);
    m_listing = PageEntries::findEntries(m_page, archive);
    if (archive && PageText::indexOfNoCase(m_page, PageText::kArchiveStart) < 0) {
        m_ws.prompt().message(
            Texts::tr("The archive page %1 has no <!--PagewickArchiveStart--> marker.").arg(name));
        return false;
    }
    return true;
}

QString EntryChanges::text(int index) const
{
    const QByteArray bytes = PageEntries::entryText(m_page, m_listing.entries[index]);
    return decode(bytes, PageText::pageEncoding(m_page)).replace(u"\r\n"_s, u"\n"_s);
}

int EntryChanges::indexOfAnchor(const QString& anchor)
{
    if (m_listing.entries.isEmpty()) {
        warn(m_ws.prompt(),
             Texts::tr("The page has no time/date markers (<!--|date|time|-->), so it holds no "
                       "entries."));
        return -1;
    }
    const QList<int> found = PageEntries::entriesWithAnchor(m_listing, anchor.toUtf8());
    if (found.size() == 1)
        return found.first();
    if (found.size() > 1) {
        warn(m_ws.prompt(),
             Texts::tr("The anchor \"%1\" is on %2 entries of the page, so it does not tell "
                       "which one is meant.")
                 .arg(anchor)
                 .arg(found.size()));
        return -1;
    }
    const QStringList nearest = PageEntries::nearestAnchors(m_listing, anchor);
    warn(m_ws.prompt(),
         Texts::tr("No entry of the page has the anchor \"%1\".").arg(anchor) +
             (nearest.isEmpty()
                  ? QString()
                  : QStringLiteral("  ") +
                        Texts::tr("The nearest anchors: %1.").arg(nearest.join(u", "_s))));
    return -1;
}

// Only entries of the page (not of the archive page) whose extent is known
// can change.
bool EntryChanges::changeable(int index)
{
    if (m_archive || index < 0 || index >= m_listing.entries.size())
        return false;
    const PageEntries::Entry& entry = m_listing.entries[index];
    PageEntries::Change unknownEnd;
    unknownEnd.status = PageEntries::Change::NoEnd;
    return entry.complete() || usable(unknownEnd, entry);
}

// True for a change made; false after saying why it could not be.
bool EntryChanges::usable(const PageEntries::Change& change, const PageEntries::Entry& entry)
{
    switch (change.status) {
    case PageEntries::Change::Changed:
        return true;
    case PageEntries::Change::MarkerInText:
        warn(m_ws.prompt(),
             Texts::tr("The new text holds a time/date marker (<!--|) or the end marker "
                       "<!--**END**-->, either of which would split the page."));
        return false;
    case PageEntries::Change::AnchorTwice:
        warn(m_ws.prompt(),
             Texts::tr("The new text holds the entry's anchor \"%1\" more than once.")
                 .arg(QString::fromUtf8(entry.anchor)));
        return false;
    case PageEntries::Change::TitleLost:
        warn(m_ws.prompt(),
             Texts::tr("The new text lacks the title marker <!--Title-->, which ends the "
                       "entry's title in the list of entries and in the RSS file."));
        return false;
    case PageEntries::Change::NoEnd:
        break;
    }
    if (entry.textFrom < 0) {
        warn(m_ws.prompt(),
             Texts::tr("The time/date marker of the entry at byte %1 of the page is not closed "
                       "with |-->, so where the entry begins is not known.")
                 .arg(entry.markerAt));
        return false;
    }
    m_ws.prompt().message(QStringLiteral(
        "This program looks for <!--**END**--> at the end of the last weblog entry.  This "
        "marker has not been found; therefore, this operation can not be continued."));
    m_view.appendStatus(QStringLiteral("End Marker Not Found"));
    return false;
}

bool EntryChanges::previewEdit(int index, const QString& text)
{
    if (!changeable(index))
        return false;
    const PageEntries::Entry& entry = m_listing.entries[index];
    QString lines = text;
    lines.replace(u"\r\n"_s, u"\n"_s).replace(u'\n', u"\r\n"_s);
    const PageText::Encoding encoding = PageText::pageEncoding(m_page);
    // Text shown and given back unchanged keeps its bytes as they were.
    const QByteArray old = PageEntries::entryText(m_page, entry);
    const QString oldText = decode(old, encoding);
    const QByteArray bytes = lines == oldText ? old : PageText::encodeText(lines, encoding);
    const PageEntries::Change change = PageEntries::replaceText(m_page, entry, bytes);
    if (!usable(change, entry))
        return false;
    m_view.setPublishingEnabled(false);
    if (!write(m_ws.workFileName(QStringLiteral("webbie")), change.page)) {
        done();
        return false;
    }
    if (change.anchorRestored)
        m_view.appendStatus(Texts::tr("The new text lacked the entry's anchor \"%1\": it was "
                                      "put back at the start.")
                                .arg(QString::fromUtf8(entry.anchor)));
    m_view.appendStatus(QStringLiteral("Preview Finished"));
    m_ws.prompt().openDocument(m_ws.workFile(QStringLiteral("webbie")));
    done();
    return true;
}

void EntryChanges::publish()
{
    m_view.setPublishingEnabled(false);
    if (m_ws.settings().archiveEnabled() && !refreshArchiveCopy()) {
        done();
        return;
    }
    // No new entry goes out: the date and time recorded as the last
    // published entry's stay.
    m_ws.run().entryDate.clear();
    m_ws.run().entryTime.clear();
    m_hooks.publish();
}

void EntryChanges::editEntry(int index, const QString& text)
{
    if (!previewEdit(index, text))
        return;
    const Answer answer = m_ws.prompt().message(
        Texts::tr("Please view the preview.  If it appears correct, then press \"OK\" to publish "
                  "the changed entry.  If not, then you may CANCEL."),
        Buttons::OkCancel, Icon::None, Texts::tr("Change of PageWick Entry"));
    if (answer == Answer::Ok)
        publish();
}

void EntryChanges::deleteEntry(int index)
{
    if (!changeable(index))
        return;
    const PageEntries::Change change = PageEntries::removeEntry(m_page, m_listing, index);
    if (!usable(change, m_listing.entries[index]))
        return;
    m_view.setPublishingEnabled(false);
    const QString deleteName = m_ws.workFileName(QStringLiteral("delete"));
    if (!write(deleteName, change.page)) {
        done();
        return;
    }
    m_ws.prompt().openDocument(m_ws.file(deleteName));
    m_hooks.setPreviewEnabled(true);
    const Answer answer = m_ws.prompt().message(
        QStringLiteral("Please view the preview.  If it appears correct, then press \"OK\" to "
                       "delete the old pagewick entry.  If not, then you may CANCEL."),
        Buttons::OkCancel, Icon::None, QStringLiteral("Deletion of PageWick Entry"));
    if (answer != Answer::Ok || !write(m_ws.workFileName(QStringLiteral("webbie")), change.page)) {
        done();
        return;
    }
    publish();
}

bool EntryChanges::write(const QString& name, const QByteArray& bytes)
{
    QString error;
    if (WorkFiles::write(m_ws.file(name), bytes, &error))
        return true;
    m_ws.prompt().message(Texts::tr("Could not write %1: %2").arg(name, error), Buttons::Ok,
                          Icon::Exclamation);
    return false;
}

// The archive page goes out as it is, never an edited copy an earlier
// preview left.
bool EntryChanges::refreshArchiveCopy()
{
    const QString archive = m_ws.workFileName(QStringLiteral("archive"));
    if (!WorkFiles::exists(m_ws.file(archive)))
        return true;
    QString error;
    const QString target = m_ws.workFileName(QStringLiteral("archivewebbie"));
    if (WorkFiles::copy(m_ws.file(archive), m_ws.file(target), &error))
        return true;
    m_ws.prompt().message(Texts::tr("Could not copy %1 over %2: %3").arg(archive, target, error),
                          Buttons::Ok, Icon::Exclamation);
    return false;
}

// The commands on again; Finish waits for the next Preview of an entry.
void EntryChanges::done()
{
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
}
