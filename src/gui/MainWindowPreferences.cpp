// The main window's side of the preferences dialog and the field style
// editor: opening them, and what Apply and closing change on the window.

#include "gui/MainWindow.h"

#include "base/Settings.h"
#include "gui/prefs/PreferencesDialog.h"
#include "gui/prefs/StyleEditorDialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

// The dialog opens modal to the window and returns at once; what follows
// its closing runs in preferencesClosed(). A second request while it is
// open brings it to the front.
void MainWindow::showPreferences()
{
    if (m_preferences && m_preferences->isVisible()) {
        m_preferences->raise();
        m_preferences->activateWindow();
        return;
    }
    auto* dialog = new PreferencesDialog(m_ws, *this, *this, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_preferences = dialog;
    connect(dialog, &QDialog::finished, this,
            [this, dialog] { preferencesClosed(dialog->settingsApplied()); });
    dialog->open();
}

// OK and Cancel give Preview back, unless no configuration has ever been
// applied; after an Apply the page is fetched with the new settings.
void MainWindow::preferencesClosed(bool applied)
{
    m_preferences = nullptr;
    activate(); // the window is active again: Finish's caption follows autoftp
    if (applied)
        m_configured = true;
    if (m_configured)
        m_previewButton->setEnabled(true);
    if (applied)
        retrievePage(false);
}

void MainWindow::showStyleEditor()
{
    auto* dialog = new StyleEditorDialog(m_ws, *this, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void MainWindow::replaceStatus(const QString& text)
{
    m_status->setPlainText(text);
    m_status->moveCursor(QTextCursor::End);
    m_status->verticalScrollBar()->setValue(m_status->verticalScrollBar()->maximum());
}

void MainWindow::disableEntryCommands()
{
    m_previewButton->setEnabled(false);
    m_finishButton->setEnabled(false);
}
