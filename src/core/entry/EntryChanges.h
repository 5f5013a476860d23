#pragma once

// Changing published entries: Edit > Entries in the window, `pagewick
// entries|edit|delete` on the command line. The page is obtained as for a new
// entry (once per run), listed from its base copy "indexbackup", and the
// page with one entry changed or removed becomes the edited page "webbie"
// that publishing uploads, as Delete Last Entry does. Only the chosen entry's
// bytes change; its time/date marker and anchor stay, so links and feed
// items keep pointing at it.

#include "core/entry/PageEditor.h"
#include "core/entry/PageEntries.h"

#include <QByteArray>
#include <QString>

class EntryChanges
{
public:
    EntryChanges(Workspace& ws, MainView& view, PageEditorHooks& hooks);

    // Lists the base copy of the page, or with `archive` that of the
    // archive page, once this run has obtained the page. False (after a
    // message) when there is nothing to list.
    bool load(bool archive = false);
    const PageEntries::Listing& listing() const { return m_listing; }
    bool showsArchive() const { return m_archive; }

    // The text of an entry after its time/date marker, line breaks "\n".
    QString text(int index) const;
    // The index of the entry named `anchor`; -1 after a message saying that
    // no entry has it (with the nearest anchors) or that several do.
    int indexOfAnchor(const QString& anchor);

    // Writes the edited page with the entry's text replaced (line breaks
    // "\n" or "\r\n") and opens it. False after a message.
    bool previewEdit(int index, const QString& text);
    // Publishes what previewEdit wrote, with the archive page as it is.
    void publish();
    // previewEdit, then the question, then publish on OK.
    void editEntry(int index, const QString& text);
    // Removes the entry after the preview and the question of Delete Last
    // Entry, then publishes.
    void deleteEntry(int index);

private:
    bool usable(const PageEntries::Change& change, const PageEntries::Entry& entry);
    bool changeable(int index);
    bool write(const QString& name, const QByteArray& bytes);
    bool refreshArchiveCopy();
    void done();

    Workspace& m_ws;
    MainView& m_view;
    PageEditorHooks& m_hooks;
    QByteArray m_page;
    PageEntries::Listing m_listing;
    bool m_archive = false;
};
