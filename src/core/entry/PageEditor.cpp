#include "core/entry/PageEditor.h"

#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/entry/EntryBuilder.h"
#include "core/entry/PageText.h"
#include "core/entry/WorkFiles.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

const QString kEndMarkerMissing = QStringLiteral(
    "This program looks for <!--**END**--> at the end of the last weblog entry.  This marker "
    "has not been found; therefore, this operation can not be continued.");

void noHtmlMessage(Prompt& prompt, const QString& name)
{
    prompt.message(QStringLiteral("The page %1 holds no HTML: there is no \"<\" in it.  "
                                  "Nothing was changed.")
                       .arg(name),
                   Buttons::Ok, Icon::Exclamation);
}

} // namespace

PageEditor::PageEditor(Workspace& ws, MainView& view, PageEditorHooks& hooks)
    : m_ws(ws), m_view(view), m_hooks(hooks)
{
}

QString PageEditor::editedPageName() const
{
    return m_ws.workFileName(QStringLiteral("webbie"));
}

QString PageEditor::entryHtml() const
{
    return m_entryCore.isEmpty() ? QString() : m_entryCore + m_endMarker + kCrLf;
}

void PageEditor::preview()
{
    composeEntry();
    m_view.setResendEnabled(false);
    m_view.setResendVisible(false);
}

void PageEditor::composeEntry()
{
    Settings& s = m_ws.settings();
    const EntryFields before = m_view.fields();
    const EntryBuild build = buildEntry(before, s, entryNow(), m_endMarker);
    if (!build.ok()) {
        m_ws.prompt().message(build.failure);
        return;
    }
    m_ws.run().entryDate = build.date;
    m_ws.run().entryTime = build.time;
    m_view.setBusy(true);
    if (build.fields.sig != before.sig || build.fields.urlTitle != before.urlTitle)
        m_hooks.showFields(build.fields);
    m_entryCore = build.core;
    if (!holdsPlaceholder(s.templateText))
        m_view.appendStatus(
            QStringLiteral("Warning: the template holds none of %title, %body, %sig, "
                           "%date, %time, %url, %newurl, so the entry will not show "
                           "what you typed."));

    m_view.appendStatus(QStringLiteral("Creating Preview..."));
    m_view.setPublishingEnabled(false);
    if (!m_ws.run().pageRetrieved)
        m_hooks.retrievePage(true, {});
    else
        createPreview();
}

void PageEditor::readRetrievedPage(bool insertAfter)
{
    Settings& s = m_ws.settings();
    const QString baseName = m_ws.workFileName(QStringLiteral("indexbackup"));
    QByteArray raw;
    if (!readWorkFile(baseName, raw)) {
        m_view.setBusy(false);
        commandsOnFinishOff();
        return;
    }
    PageText::MarkerReading reading = PageText::readMarkers(raw, s.autoFtp(), s.Date, s.Time);
    // Without any "<" there is nothing to clean; the file stays as it is
    // rather than shrink to a lone "<".
    bool baseInMemory = reading.cleaned.hasHtml;
    if (reading.cleaned.hasHtml && reading.cleaned.text != raw)
        baseInMemory = writeWorkFile(baseName, reading.cleaned.text);
    raw = QByteArray();
    // The cleaned text is the base copy as createPreview would read it back:
    // kept for the entry waiting to be placed, dropped otherwise.
    QByteArray cleaned;
    if (baseInMemory && insertAfter && !m_entryCore.isEmpty())
        cleaned = std::move(reading.cleaned.text);
    reading.cleaned = {};

    if (reading.firstEntry) {
        m_ws.prompt().message(
            QStringLiteral("Time/Date Markers Not Found.  Assuming this is 1st weblog entry."));
        m_ws.run().pageRetrieved = true;
        m_endMarker = kEndMarker;
        commandsOnFinishOff();
        m_view.setBusy(false);
        // An entry waiting for the page is placed now, as the page's first.
        if (insertAfter) {
            if (!m_entryCore.isEmpty())
                placePreview(cleaned.isEmpty() ? nullptr : &cleaned);
        }
        return;
    }

    m_endMarker.clear();
    if (reading.askLocalOrServer) {
        const QString choice = m_hooks.choosePageSource();
        if (choice == QLatin1String("Config")) {
            m_hooks.showPreferences();
        } else if (choice == QLatin1String("Local")) {
            cleaned = QByteArray();
            QString error;
            const QString backup = m_ws.workFileName(QStringLiteral("backup"));
            if (!WorkFiles::copy(m_ws.file(backup), m_ws.file(baseName), &error))
                m_ws.prompt().message(
                    QStringLiteral("Could not copy %1 over %2: %3").arg(backup, baseName, error),
                    Buttons::Ok, Icon::Exclamation);
            commandsOnFinishOff();
        } else {
            commandsOnFinishOff();
        }
    }

    m_ws.run().pageRetrieved = true;
    commandsOnFinishOff();
    m_view.setBusy(false);
    if (insertAfter) {
        const bool written =
            !m_entryCore.isEmpty() && placePreview(cleaned.isEmpty() ? nullptr : &cleaned);
        m_view.setPublishingEnabled(true);
        // Finish stays on for a page that was just previewed.
        if (!written)
            m_view.setFinishEnabled(false);
    }
}

bool PageEditor::createPreview()
{
    return placePreview(nullptr);
}

// createPreview on the base copy file, or on `cleanedBase` when readRetrievedPage
// has just cleaned and written it (the same bytes, not read again).
bool PageEditor::placePreview(QByteArray* cleanedBase)
{
    Settings& s = m_ws.settings();
    m_view.setBusy(true);

    const bool trimming = s.autoDeleteEnabled();
    const int keepCount = trimming ? s.autoDeleteKeepCount() : 0;
    if (trimming && keepCount < 0) {
        m_ws.prompt().message(
            QStringLiteral("Auto-delete is on, but the number of entries to keep (\"%1\") is not "
                           "a whole number from 1 to 32766.  Please correct it under Config in "
                           "the SETUP menu.  No preview was made.")
                .arg(s.deleteamount),
            Buttons::Ok, Icon::Exclamation);
        m_view.setBusy(false);
        commandsOnFinishOff();
        return false;
    }

    PageText::Lines base;
    if (cleanedBase) {
        base.text = std::move(*cleanedBase);
        *cleanedBase = QByteArray();
    } else {
        QByteArray raw;
        if (!readWorkFile(m_ws.workFileName(QStringLiteral("indexbackup")), raw)) {
            m_view.setBusy(false);
            commandsOnFinishOff();
            return false;
        }
        base = PageText::readLines(std::move(raw), PageText::EmptyLines::Keep);
    }
    const PageText::Placement placement = PageText::placeEntry(base.text, entryHtml());
    if (!placement.placed) {
        m_ws.prompt().message(QStringLiteral(
            "Neither insert symbols were found in the web page downloaded from server; "
            "therefore, pagewick entry could not be added."));
        m_view.appendStatus(QStringLiteral("Entry Placement failed."));
        m_view.setBusy(false);
        commandsOnFinishOff();
        return false;
    }

    // The edited page is the base copy and the entry, in pieces: it is
    // searched and written without being copied whole.
    const PageText::Pieces page = placement.pieces(base.text);
    // Publishing sends the edited archive page whenever archiving is on: it
    // starts as the archive as it is, and trimming below adds the entries it
    // cuts. So what goes out always belongs to this preview.
    if (s.archiveEnabled() && !refreshArchiveCopy()) {
        m_view.setBusy(false);
        commandsOnFinishOff();
        return false;
    }
    if (trimming)
        return autoDelete(page, keepCount);
    if (!writeWorkFile(editedPageName(), page)) {
        m_view.setBusy(false);
        commandsOnFinishOff();
        return false;
    }
    m_view.setBusy(false);
    finishPreview();
    return true;
}

void PageEditor::deleteEntries(int keepCount, bool lastEntry)
{
    if (!lastEntry) {
        deleteLast();
        return;
    }
    m_view.setPublishingEnabled(false);
    if (!m_ws.run().pageRetrieved)
        m_hooks.retrievePage(false, [this, keepCount] { trimEditedPage(keepCount); });
    else
        trimEditedPage(keepCount);
}

void PageEditor::trimEditedPage(int keepCount)
{
    QByteArray raw;
    if (!readWorkFile(editedPageName(), raw)) {
        m_view.setBusy(false);
        m_view.setPublishingEnabled(true);
        return;
    }
    PageText::Lines source = PageText::deleteSource(std::move(raw));
    if (!source.hasHtml) {
        noHtmlMessage(m_ws.prompt(), editedPageName());
        m_view.setBusy(false);
        m_view.setPublishingEnabled(true);
        return;
    }
    autoDelete(PageText::Pieces{source.text}, keepCount);
}

// Auto-delete of the edited page held in `page`: the page keeps keepCount - 1
// entries, the cut ones go to the top of the archive page. The edited page is
// written once, trimmed or (when nothing can be cut) as it is. Returns true
// when the edited page was written.
bool PageEditor::autoDelete(const PageText::Pieces& page, int keepCount)
{
    m_view.setPublishingEnabled(false);
    const PageText::Trim trim = PageText::trimEntries(page, keepCount);

    if (trim.status != PageText::Trim::Trimmed) {
        if (!writeWorkFile(editedPageName(), page)) {
            m_view.setBusy(false);
            commandsOnFinishOff();
            return false;
        }
        if (trim.status == PageText::Trim::NothingToCut) {
            finishPreview();
            return true;
        }
        if (m_ws.settings().archiveEnabled())
            m_ws.prompt().message(
                QStringLiteral("Archive Unable to be performed.  <!--**END**--> not found."));
        m_ws.prompt().message(kEndMarkerMissing);
        m_view.setBusy(false);
        m_view.setPublishingEnabled(true);
        m_view.appendStatus(QStringLiteral("End Marker Not Found"));
        return true;
    }

    if (m_ws.settings().archiveEnabled()) {
        if (const QString why = archiveUnavailable(); !why.isEmpty()) {
            // Entries that cannot go to the archive page stay on the page,
            // or they would be on neither.
            if (!writeWorkFile(editedPageName(), page)) {
                m_view.setBusy(false);
                commandsOnFinishOff();
                return false;
            }
            finishPreview();
            m_view.appendStatus(why + QStringLiteral(", so no entries were cut from the page.  "
                                                     "The next publish trims it once the archive "
                                                     "page can be read."));
            return true;
        }
    }
    if (!writeWorkFile(m_ws.workFileName(QStringLiteral("delete")), trim.page) ||
        !writeWorkFile(editedPageName(), trim.page)) {
        m_view.setBusy(false);
        commandsOnFinishOff();
        return false;
    }
    finishPreview();
    if (m_ws.settings().archiveEnabled())
        archiveCutEntries(page.slice(trim.cutFrom, trim.cutTo));
    return true;
}

// Why the entries cut from the page could not be archived; empty when they
// can.
QString PageEditor::archiveUnavailable()
{
    if (m_ws.run().archiveRetrievalFailed)
        return QStringLiteral("The archive page could not be retrieved");
    const QString archiveName = m_ws.workFileName(QStringLiteral("archive"));
    if (!WorkFiles::exists(m_ws.file(archiveName))) {
        m_ws.prompt().message(QStringLiteral("Archive Page Not Found"));
        return QStringLiteral("The archive page was not found");
    }
    QByteArray raw;
    if (!readWorkFile(archiveName, raw))
        return QStringLiteral("The archive page could not be read");
    if (PageText::Pieces{raw}.findNoCase(PageText::kArchiveStart) < 0) {
        m_ws.prompt().message(
            QStringLiteral("The archive page %1 has no <!--PagewickArchiveStart--> "
                           "marker, so the entries that would be cut from the page "
                           "could not be added to it.  The archive page is left "
                           "unchanged.")
                .arg(archiveName),
            Buttons::Ok, Icon::Exclamation);
        return QStringLiteral("The archive page has no <!--PagewickArchiveStart--> marker");
    }
    return {};
}

void PageEditor::archiveCutEntries(const PageText::Pieces& block)
{
    m_view.appendStatus(QStringLiteral("Creating Archive"));
    const QString archiveName = m_ws.workFileName(QStringLiteral("archive"));
    if (!WorkFiles::exists(m_ws.file(archiveName))) {
        m_ws.prompt().message(QStringLiteral("Archive Page Not Found"));
        return;
    }
    QByteArray raw;
    if (!readWorkFile(archiveName, raw))
        return;
    PageText::Lines archive =
        PageText::readLines(std::move(raw), PageText::EmptyLines::Keep, PageText::Start::Whole);
    const PageText::Pieces edited =
        PageText::insertAfterMarker(archive.text, PageText::kArchiveStart, block);
    const QString target = m_ws.workFileName(QStringLiteral("archivewebbie"));
    if (edited.size() == 0) {
        m_ws.prompt().message(
            QStringLiteral("The archive page %1 has no <!--PagewickArchiveStart--> marker, so the "
                           "entries cut from the page could not be added to it.  The archive "
                           "page is left unchanged.")
                .arg(archiveName),
            Buttons::Ok, Icon::Exclamation);
        // The archive goes out as it was, never an older edited copy.
        writeWorkFile(target, archive.text);
        return;
    }
    if (writeWorkFile(target, edited))
        m_view.appendStatus(QStringLiteral("Archive Created Successfully"));
}

void PageEditor::deleteLast()
{
    m_view.setPublishingEnabled(false);
    if (m_ws.run().pageRetrieved) {
        deleteLastRetrieved();
        return;
    }
    m_hooks.retrievePage(false, [this] {
        // A failed retrieval has said why and set the commands. Cutting the
        // older base copy instead could publish a page older than the
        // server's, losing what was posted since.
        if (m_ws.run().pageRetrieved)
            deleteLastRetrieved();
    });
}

void PageEditor::deleteLastRetrieved()
{
    const QString baseName = m_ws.workFileName(QStringLiteral("indexbackup"));
    QByteArray raw;
    if (!readWorkFile(baseName, raw)) {
        m_view.setBusy(false);
        m_view.setPublishingEnabled(true);
        return;
    }
    const PageText::Lines source = PageText::deleteSource(std::move(raw));
    if (!source.hasHtml) {
        noHtmlMessage(m_ws.prompt(), baseName);
        m_view.setBusy(false);
        m_view.setPublishingEnabled(true);
        return;
    }
    const PageText::DeleteLast cut = PageText::deleteNewestEntry(source.text);
    switch (cut.status) {
    case PageText::DeleteLast::NoEntry:
        finishPreview();
        m_previewStamp.clear(); // no entry of its own in the edited page
        return;
    case PageText::DeleteLast::EndMarkerMissing:
        m_ws.prompt().message(kEndMarkerMissing);
        m_view.setBusy(false);
        m_view.setPublishingEnabled(true);
        m_view.appendStatus(QStringLiteral("End Marker Not Found"));
        return;
    case PageText::DeleteLast::Deleted:
        break;
    }

    const QString deleteName = m_ws.workFileName(QStringLiteral("delete"));
    if (!writeWorkFile(deleteName, cut.page)) {
        m_view.setBusy(false);
        m_view.setPublishingEnabled(true);
        return;
    }
    m_view.setBusy(false);
    m_ws.prompt().openDocument(m_ws.file(deleteName));
    m_hooks.setPreviewEnabled(true);
    const Answer answer = m_ws.prompt().message(
        QStringLiteral("Please view the preview.  If it appears correct, then press \"OK\" to "
                       "delete the old pagewick entry.  If not, then you may CANCEL."),
        Buttons::OkCancel, Icon::None, QStringLiteral("Deletion of PageWick Entry"));
    if (answer != Answer::Ok) {
        m_view.setPublishingEnabled(true);
        return;
    }
    if (!writeWorkFile(editedPageName(), cut.page)) {
        m_view.setPublishingEnabled(true);
        return;
    }
    // Nothing goes to the archive here: what is published as the archive is
    // the archive as it is, not an edited copy left by an earlier preview.
    if (m_ws.settings().archiveEnabled() && !refreshArchiveCopy()) {
        m_view.setPublishingEnabled(true);
        return;
    }
    m_hooks.publish();
}

void PageEditor::restoreBackup()
{
    const QString name = m_ws.workFileName(QStringLiteral("backup"));
    if (!WorkFiles::exists(m_ws.file(name))) {
        m_ws.prompt().message(QStringLiteral("Error opening ") + name +
                              QStringLiteral(".  Can't restore website."));
        return;
    }
    m_ws.prompt().openDocument(m_ws.file(name));
    m_hooks.setPreviewEnabled(true);
    const Answer answer = m_ws.prompt().message(
        QStringLiteral("Please view the preview.  If it appears correct, then press \"OK\" to "
                       "restore from the last backup  If not, then you may CANCEL."),
        Buttons::OkCancel, Icon::None, QStringLiteral("Restore Web Site?"));
    if (answer != Answer::Ok)
        return;

    QString error;
    if (!WorkFiles::copy(m_ws.file(name), m_ws.file(editedPageName()), &error)) {
        m_ws.prompt().message(
            QStringLiteral("Could not copy %1 over %2: %3").arg(name, editedPageName(), error),
            Buttons::Ok, Icon::Exclamation);
        return;
    }
    const QString archiveBackup = m_ws.workFileName(QStringLiteral("archivebackup"));
    if (m_ws.settings().archiveEnabled() && WorkFiles::exists(m_ws.file(archiveBackup))) {
        const QString target = m_ws.workFileName(QStringLiteral("archivewebbie"));
        if (!WorkFiles::copy(m_ws.file(archiveBackup), m_ws.file(target), &error)) {
            m_ws.prompt().message(
                QStringLiteral("Could not copy %1 over %2: %3").arg(archiveBackup, target, error),
                Buttons::Ok, Icon::Exclamation);
            return;
        }
    }
    m_view.setPublishingEnabled(true);
    m_hooks.publish();
}

void PageEditor::deleteNewestEntry()
{
    m_view.setPublishingEnabled(false);
    deleteEntries(1, false);
}

bool PageEditor::refreshArchiveCopy()
{
    const QString archiveName = m_ws.workFileName(QStringLiteral("archive"));
    if (!WorkFiles::exists(m_ws.file(archiveName)))
        return true; // reported where the archive is needed
    QString error;
    const QString target = m_ws.workFileName(QStringLiteral("archivewebbie"));
    if (WorkFiles::copy(m_ws.file(archiveName), m_ws.file(target), &error))
        return true;
    m_ws.prompt().message(
        QStringLiteral("Could not copy %1 over %2: %3").arg(archiveName, target, error),
        Buttons::Ok, Icon::Exclamation);
    return false;
}

bool PageEditor::readWorkFile(const QString& name, QByteArray& bytes)
{
    QString error;
    std::optional<QByteArray> read = WorkFiles::read(m_ws.file(name), &error);
    if (!read) {
        m_ws.prompt().message(QStringLiteral("Could not read %1: %2").arg(name, error), Buttons::Ok,
                              Icon::Exclamation);
        return false;
    }
    bytes = std::move(*read);
    return true;
}

bool PageEditor::writeWorkFile(const QString& name, QByteArrayView bytes)
{
    return writeWorkFile(name, PageText::Pieces{bytes});
}

bool PageEditor::writeWorkFile(const QString& name, const PageText::Pieces& pieces)
{
    QString error;
    if (!WorkFiles::write(m_ws.file(name), pieces.parts(), &error)) {
        m_ws.prompt().message(QStringLiteral("Could not write %1: %2").arg(name, error),
                              Buttons::Ok, Icon::Exclamation);
        return false;
    }
    return true;
}

namespace {

QString fileStamp(const QString& path)
{
    const QFileInfo info(path);
    return info.exists()
               ? QStringLiteral("%1 %2 %3")
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch())
                     .arg(info.fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch())
               : QString();
}

} // namespace

bool PageEditor::editedPageIsPreview() const
{
    return !m_entryCore.isEmpty() && !m_previewStamp.isEmpty() &&
           m_previewStamp == fileStamp(m_ws.file(editedPageName()));
}

void PageEditor::finishPreview()
{
    m_previewStamp = fileStamp(m_ws.file(editedPageName()));
    m_view.appendStatus(QStringLiteral("Preview Finished"));
    m_view.setBusy(false);
    m_ws.prompt().openDocument(m_ws.file(editedPageName()));
    m_view.setPublishingEnabled(true);
}

void PageEditor::commandsOnFinishOff()
{
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
}
