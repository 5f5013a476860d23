#pragma once

#include "base/MainView.h"
#include "core/config/PreferencesApply.h"
#include "core/editing/MarkupCommands.h"
#include "core/entry/PageEditor.h"
#include "gui/CommandLock.h"
#include "gui/editing/EditCommands.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class Workspace;
class QAction;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class EntryDraftKeeper;
class Publisher;
class SpellCommand;
class SplashScreen;
struct StartupOutcome;
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
    explicit MainWindow(Workspace& ws, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: splash for at least `splashMs`, settings, the loaders, the
    // resend offer, then the window and the page retrieval.
    void start(int splashMs = 1000);
    // A retrieval, publish or update check is running.
    bool jobRunning() const { return m_jobs > 0; }
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

    // The Edit and markup commands on the focused entry box.
    EditCommands* editCommands() const { return m_edit; }
    SpellCommand* spellCheck() const { return m_spell; }
    void insertAtCursor(const Markup::Tag& tag) { m_edit->insert(tag); }

    // PageEditorHooks
    void retrievePage(bool insertAfter, std::function<void()> then = {}) override;
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
    Workspace& workspace() const { return m_ws; }
    UpdateCheck* updateCheck() const { return m_updates.get(); }
    // MainView: Stop and the command lock while a job runs.
    void setJobRunning(bool running) override;
    // Stops every running job (the Stop button, Escape).
    void stopJobs();

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
    void createFlows();
    void startedUp(const StartupOutcome& outcome, QPointer<SplashScreen> splash, qint64 left);
    void showMainWindow();
    void preferencesClosed(bool applied);
    void setUpDraft();
    void offerDraft();
    void discardDraftIfPublished();

    void newEntry();
    void exitProgram();
    void showAbout();
    void onToolbarButton(const QString& key);
    void entryTextChanged();

    // The entry boxes, the status box and the publishing buttons (the
    // controls keep the program's object names: txtHead, butt_Fin, ...).
    QLineEdit* m_title = nullptr;
    QPlainTextEdit* m_body = nullptr;
    QLineEdit* m_sig = nullptr;
    QLineEdit* m_email = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_urlTitle = nullptr;
    QPlainTextEdit* m_status = nullptr;
    QPushButton* m_previewButton = nullptr;
    QPushButton* m_finishButton = nullptr;
    QPushButton* m_resendButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_stopButton = nullptr;
    QAction* m_stopAction = nullptr; // Escape
    CommandLock m_lock;
    int m_jobs = 0;               // jobs running now
    bool m_closeWhenIdle = false; // the user chose to stop and close
    // The commands switched off while a transfer runs.
    QAction* m_restoreBackup = nullptr;
    QAction* m_deleteLastEntry = nullptr;
    QAction* m_entries = nullptr; // Edit > Entries
    QAction* m_preferencesAction = nullptr;

    EditCommands* m_edit = nullptr;
    SpellCommand* m_spell = nullptr;
    std::unique_ptr<PageEditor> m_flows;
    std::unique_ptr<Publisher> m_publisher;
    std::unique_ptr<UpdateCheck> m_updates;
    QPointer<QDialog> m_preferences; // open while the user edits the configuration
    bool m_configured = false;       // weblog.ini names an active configuration
    bool m_resendOffered = false;    // Resend shown for a failed upload, no Preview since
    std::unique_ptr<EntryDraftKeeper> m_draft;
    Workspace& m_ws;
};
