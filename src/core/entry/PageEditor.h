#pragma once

// The entry commands of the main window: Preview (preview, Main,
// readRetrievedPage, createPreview, deleteEntries with and without archive), Restore
// Backup (restoreBackup) and Delete Last Entry (deleteNewestEntry). They
// drive a MainView (status lines, setPublishingEnabled, Finish), ask through the
// workspace's prompt, read its configuration and work on the working files of
// the program directory. The window and the command line both run them.

#include "base/MainView.h"
#include "base/Workspace.h"
#include "core/entry/PageText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// What the flows need beyond the main view: the retrieval and publishing
// routines and the windows they open. The window plugs in the real ones;
// tests plug in small local versions.
class PageEditorHooks
{
public:
    virtual ~PageEditorHooks() = default;
    // Obtains the base copy "indexbackup" and, through readRetrievedPage, reads it,
    // placing the waiting entry with `insertAfter`. May end later, from the
    // event loop: `then` (when given) is called once it has ended, whether
    // or not it succeeded (the run state's pageRetrieved tells).
    virtual void retrievePage(bool insertAfter, std::function<void()> then) = 0;
    // Publishes "webbie" (and "archivewebbie" with archive "true"); may end
    // later, from the event loop.
    virtual void publish() = 0;
    // The local-or-server choice (PageSourceDialog), shown modally: "Config",
    // "Local" or "Server".
    virtual QString choosePageSource() = 0;
    // Shows the preferences dialog.
    virtual void showPreferences() = 0;
    // Enables or disables the Preview button (butt_Preview) alone.
    virtual void setPreviewEnabled(bool enabled) = 0;
    // Puts the boxes back as Main left them: an empty signature became
    // "Unknown", an empty link text took the link address.
    virtual void showFields(const EntryFields& fields) = 0;
};

class PageEditor
{
public:
    PageEditor(Workspace& ws, MainView& view, PageEditorHooks& hooks);

    // Preview: Main, then the Resend button is disabled and hidden.
    void preview();
    // Builds the entry from the boxes and places it (fetching the page first
    // when it has not been retrieved in this run).
    void composeEntry();
    // Reads and cleans the base copy after retrieval; decides whether the
    // next entry ends with the end marker and, with `insertAfter`, places
    // the waiting entry. The caller has ended its transfer before.
    void readRetrievedPage(bool insertAfter);
    // Places the entry after the insertion marker of the base copy, writes
    // "webbie" + section + ".html" (trimmed with auto-delete) and opens it.
    // Returns true when a preview was shown.
    bool createPreview();
    // keepCount entries minus one stay. With lastEntry set: auto-delete of the
    // edited page (with archive when archive is "true"); with lastEntry clear:
    // Delete Last Entry on the base copy (exactly the newest entry goes).
    // Both fetch the page first when this run has not yet.
    void deleteEntries(int keepCount, bool lastEntry);
    // File > Restore Backup.
    void restoreBackup();
    // Edit > Delete Last Entry.
    void deleteNewestEntry();

    // The entry of the last build, as placed: time/date marker, filled
    // template, end-marker text, CR LF.
    QString entryHtml() const;
    // "<!--**END**-->" when the next entry is the page's first, else empty.
    const QString& endMarkerText() const { return m_endMarker; }
    void setEndMarkerText(const QString& text) { m_endMarker = text; }
    // "webbie" + section + ".html" of the active section.
    QString editedPageName() const;
    // The edited page is still the one a Preview of the entry above wrote
    // (no edit, deletion or restore has written it since): the entry can be
    // placed again in another copy of the page.
    bool editedPageIsPreview() const;
    void forgetPreview() { m_previewStamp.clear(); }

private:
    bool placePreview(QByteArray* cleanedBase);
    bool autoDelete(const PageText::Pieces& page, int keepCount);
    void deleteLast();
    void deleteLastRetrieved();
    void trimEditedPage(int keepCount);
    void archiveCutEntries(const PageText::Pieces& block);
    QString archiveUnavailable();
    // "archivewebbie" = "archive"; false (after a message) when it failed.
    bool refreshArchiveCopy();
    bool readWorkFile(const QString& name, QByteArray& bytes);
    bool writeWorkFile(const QString& name, QByteArrayView bytes);
    bool writeWorkFile(const QString& name, const PageText::Pieces& pieces);
    void finishPreview();
    void commandsOnFinishOff();

    Workspace& m_ws;
    MainView& m_view;
    PageEditorHooks& m_hooks;
    QString m_entryCore; // marker and filled template, before the end-marker text
    QString m_endMarker;
    QString m_previewStamp; // of the edited page the last Preview wrote
};
