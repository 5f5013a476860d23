#pragma once

#include "core/entry/EntryChanges.h"

#include <QDialog>

#include <memory>

class EditCommands;
class MainWindow;
class QCheckBox;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class SpellCommand;

// Edit > Entries: the entries of the page (or of the archive page) with
// their date, time and title. Edit opens the chosen entry's HTML in a box
// with the Edit, markup and spelling commands; Preview shows the page with
// the change and Finish publishes it as the window's Finish does. Delete
// removes the chosen entry after the preview and question of Delete Last
// Entry. The window stays over the main window until it is closed.
class EntriesWindow final : public QDialog
{
    Q_OBJECT
public:
    explicit EntriesWindow(MainWindow& main);
    ~EntriesWindow() override;

    // Lists the page's entries (the archive page's when its box is ticked).
    void reload();

private:
    void published();
    class Hooks;
    void buildMenus(QMenuBar* bar);
    void editChosen();
    void preview();
    void finish();
    void deleteChosen();
    void setEditing(bool editing);
    void updateButtons();

    MainWindow& m_main;
    std::unique_ptr<Hooks> m_hooks;
    std::unique_ptr<EntryChanges> m_changes;
    EditCommands* m_edit = nullptr;
    SpellCommand* m_spell = nullptr;
    QCheckBox* m_archive = nullptr;
    QTreeWidget* m_list = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QPushButton *m_editButton = nullptr, *m_deleteButton = nullptr, *m_previewButton = nullptr,
                *m_finishButton = nullptr;
    int m_editing = -1;                // the entry in the box, by index; -1: none
    bool m_previewed = false;          // the box's text is what the edited page shows
    bool m_reloadAfterPublish = false; // a deletion: the list follows whatever the publish did
};
