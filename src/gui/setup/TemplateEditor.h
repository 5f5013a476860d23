#pragma once

#include "core/editing/MarkupCommands.h"

#include <QDialog>
#include <QTextCursor>

#include <optional>

class Workspace;
class MainView;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;

// The template editor: the entry template of the active configuration in a
// text box, with the markup commands, an Edit menu, and loading and saving of
// template files. OK puts the text into use for the next preview (and asks
// whether to save it first); Cancel leaves the template in use as it was.
class TemplateEditor final : public QDialog
{
    Q_OBJECT
public:
    // Loads the configured template file (see loadTemplate()). `view` is told
    // when OK makes an earlier preview stale; it may be null.
    explicit TemplateEditor(Workspace& ws, MainView* view = nullptr, QWidget* parent = nullptr);

    QString templateFile() const { return m_file; }
    bool isChanged() const { return m_changed; }

    void confirm();  // OK
    void cancel();   // Cancel
    void loadFile(); // File > Load Template
    bool saveFile(); // File > Save Template; false when cancelled or not written
    // Wraps the selection of the focused text box in the command's tags.
    void applyMarkup(const Markup::Tag& tag);

    // Closing by the frame leaves without any question; Escape is Cancel.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenus();
    QAction* addTagItem(QMenu* menu, const char* name, const QString& caption,
                        const char* command = nullptr);
    // "Save Changes?": false when the calling command must end.
    bool askToSave();
    void setFile(const QString& file);
    QString editorText() const;
    void refreshEditMenu();
    void runEditCommand(Markup::EditCommand command);
    // The selection of the focused text box, or nullopt when it has no focus.
    std::optional<QTextCursor> markupTarget() const;
    void wrapSelection(QTextCursor at, const Markup::Tag& tag);
    void insertFontFace();
    void insertFontColor();

    QPlainTextEdit* m_text = nullptr;
    QLabel* m_fileName = nullptr;
    QMenuBar* m_menuBar = nullptr;
    MainView* m_view = nullptr;
    QString m_file;
    bool m_changed = false;
    quint32 m_color = 0;
    QAction* m_editActions[5] = {};
    Workspace& m_ws;
};
