#include "cli/EntryCommands.h"

#include "core/entry/EntryChanges.h"

#include <cstdio>

int runEntryCommand(const CommandOptions& o, const QString& html, Workspace& ws, MainView& view,
                    PageEditorHooks& hooks)
{
    const bool list = o.command == QLatin1String("entries");
    const bool edit = o.command == QLatin1String("edit");
    if (!list && !edit && o.command != QLatin1String("delete"))
        return -1;
    EntryChanges changes(ws, view, hooks);
    if (!changes.load(o.archive))
        return 1;
    if (list) {
        for (const PageEntries::Entry& e : changes.listing().entries) {
            const QString anchor =
                e.anchor.isEmpty() ? QStringLiteral("-") : QString::fromUtf8(e.anchor);
            const QString line = QStringList{anchor, e.date, e.time, e.title}.join(u' ');
            std::printf("%s\n", line.simplified().toLocal8Bit().constData());
        }
        return 0;
    }
    const int index = changes.indexOfAnchor(o.entry);
    if (index < 0)
        return 1;
    if (edit)
        changes.editEntry(index, html);
    else
        changes.deleteEntry(index);
    return 0;
}
