#pragma once

#include "base/MainView.h"
#include "core/config/PreferencesApply.h"
#include "core/editing/MarkupCommands.h"
#include "core/entry/PageEditor.h"
#include "gui/editing/EditCommands.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolBar;
class EntryDraftKeeper;
class Publisher;
class SpellCommand;
class UpdateCheck;

// The main window: the entry boxes, the status box, the publishing buttons,
// the menus and the markup toolbar. It reads its controls and hands the work
// to the program's flows; it implements MainView and PageEditorHooks for them.
class MainWindow final : public QMainWindow,
                         public MainView,
                         public PageEditorHooks,
                         public ApplyTarget
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: splash for at least `splashMs`, settings, the loaders, the
    // resend offer, then the window and the page retrieval.
    void start(int splashMs = 1000);
    void activate();

    // MainView
    void appendStatus(const QString& message) override;
    void setPublishingEnabled(bool enable) override;
    void setFinishEnabled(bool enabled) override;
    void setResendEnabled(bool enabled) override;
    void setResendVisible(bool visible) override;
    void setPreferencesEnabled(bool enabled) override;
    void setBusy(bool busy) override;
    void showProgress(int minimum, int maximum, int value) override;
    void hideProgress() override;
    int progressValue() const override;
    EntryFields fields() const override;
    void setSignature(const QString& sig, const QString& email) override;
    void yield() override;

    // The Edit and markup commands on the focused entry box.
    EditCommands* editCommands() const { return m_edit; }
    SpellCommand* spellCheck() const { return m_spell; }
    void insertAtCursor(const Markup::Tag& tag) { m_edit->insert(tag); }

    // PageEditorHooks
    void retrievePage(bool insertAfter) override;
    void publish() override;
    QString choosePageSource() override;
    void showPreferences() override;
    void setPreviewEnabled(bool enabled) override;
    void showFields(const EntryFields& fields) override;

    // ApplyTarget: what the preferences' Apply resets (MainWindowPreferences.cpp).
    void replaceStatus(const QString& text) override;
    void disableEntryCommands() override;
    // SetUp > Auto Customize: the field style editor.
    void showStyleEditor();

    // The flows behind the commands; they exist once start-up has chosen the
    // configuration.
    PageEditor* flows() const { return m_flows.get(); }
    Publisher* publisher() const { return m_publisher.get(); }
    UpdateCheck* updateCheck() const { return m_updates.get(); }
    // Keeps the entry being typed in the draft file.
    EntryDraftKeeper* draftKeeper() const { return m_draft.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildCentral();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption,
                     void (MainWindow::*slot)());
    QAction* addTagItem(QMenu* menu, const char* name, const QString& caption);
    void notYet(const QString& command);
    void createFlows();
    void preferencesClosed(bool applied);
    void setUpDraft();
    void offerDraft();
    void discardDraftIfPublished();

    void newEntry();
    void exitProgram();
    void showAbout();
    void onToolbarButton(const QString& key);
    void entryTextChanged();

public:
    // Controls, named as the program names them.
    QLineEdit* txtHead = nullptr;
    QPlainTextEdit* txtMain = nullptr;
    QLineEdit* txtSig = nullptr;
    QLineEdit* txtEmail = nullptr;
    QLineEdit* txtURL = nullptr;
    QLineEdit* txtURLtitle = nullptr;
    QPlainTextEdit* txtStatus = nullptr;
    QLabel* Title = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* butt_Preview = nullptr;
    QPushButton* butt_Fin = nullptr;
    QPushButton* butt_resend = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QToolBar* Toolbar1 = nullptr;

    QAction* mnuNew = nullptr;
    QAction* mnuBackup = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuCut = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QAction* mnuDelete = nullptr;
    QAction* mnuSpell = nullptr;
    QAction* mnuDeleteLast = nullptr;
    QAction* mnuPreferences = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnuDragnDrop = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuVisitWeb = nullptr;
    QAction* mnuUpdateCheck = nullptr;
    QAction* mnuAbout = nullptr;

private:
    EditCommands* m_edit = nullptr;
    SpellCommand* m_spell = nullptr;
    std::unique_ptr<PageEditor> m_flows;
    std::unique_ptr<Publisher> m_publisher;
    std::unique_ptr<UpdateCheck> m_updates;
    QPointer<QDialog> m_preferences; // open while the user edits the configuration
    bool m_configured = false;       // weblog.ini names an active configuration
    bool m_resendOffered = false;    // Resend shown for a failed upload, no Preview since
    std::unique_ptr<EntryDraftKeeper> m_draft;
};
