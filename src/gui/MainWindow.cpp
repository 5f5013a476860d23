#include "gui/MainWindow.h"

#include "base/Workspace.h"

#include "gui/WidgetHelpers.h"

#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/Startup.h"
#include "core/editing/MarkupCommands.h"
#include "core/entry/EntryDraft.h"
#include "core/publish/Publisher.h"
#include "core/publish/UpdateCheck.h"
#include "gui/AboutDialog.h"
#include "gui/EntryDraftKeeper.h"
#include "gui/Icons.h"
#include "gui/PageSourceDialog.h"
#include "gui/SplashScreen.h"
#include "gui/editing/EditCommands.h"
#include "gui/editing/PictureDialog.h"
#include "gui/entries/EntriesWindow.h"
#include "gui/setup/TemplateEditor.h"
#include "gui/spell/SpellCommand.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>

using Widgets::named;

MainWindow::MainWindow(Workspace& ws, QWidget* parent) : QMainWindow(parent), m_ws(ws)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(tr("PageWick: %1").arg(versionText()));
    m_edit = new EditCommands(m_ws.prompt(), this);
    buildMenus();
    buildToolbar();
    buildCentral();
    m_spell = new SpellCommand(this, *m_edit, {m_title, m_body, m_urlTitle}, *this, m_ws.prompt());
    setUpDraft();
    setSettingsNotice([this](const QString& message) {
        QMetaObject::invokeMethod(this, [this, message] { appendStatus(message); });
    });
    resize(760, 620);
}

MainWindow::~MainWindow()
{
    setSettingsNotice({});
}

QAction* MainWindow::addItem(QMenu* menu, const char* name, const QString& caption,
                             void (MainWindow::*slot)())
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (slot)
        connect(a, &QAction::triggered, this, slot);
    return a;
}

QAction* MainWindow::addTagItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    const std::optional<Markup::Tag> tag = Markup::fixedTag(a->objectName());
    Q_ASSERT(tag);
    connect(a, &QAction::triggered, m_edit, [this, t = *tag] { m_edit->insert(t); });
    return a;
}

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto menu = [bar](const char* name, const QString& caption) {
        QMenu* m = bar->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto separator = [](QMenu* m, const char* name) {
        m->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    QMenu* file = menu("mnuFile", tr("&File"));
    m_lock.add(addItem(file, "mnuNew", tr("&New Entry"), &MainWindow::newEntry));
    m_restoreBackup = addItem(file, "mnuBackup", tr("&Restore Backup"), nullptr);
    connect(m_restoreBackup, &QAction::triggered, this, [this] {
        if (m_flows)
            m_flows->restoreBackup();
    });
    addItem(file, "mnuExit", tr("E&xit"), &MainWindow::exitProgram);

    QMenu* edit = menu("mnuEdit", tr("&Edit"));
    using Markup::EditCommand;
    m_edit->bind(EditCommand::Undo, addItem(edit, "mnuUndo", tr("&Undo"), nullptr));
    separator(edit, "mnusep");
    m_edit->bind(EditCommand::Cut, addItem(edit, "mnuCut", tr("Cu&t"), nullptr));
    m_edit->bind(EditCommand::Copy, addItem(edit, "mnuCopy", tr("&Copy"), nullptr));
    m_edit->bind(EditCommand::Paste, addItem(edit, "mnuPaste", tr("&Paste"), nullptr));
    m_edit->bind(EditCommand::Delete, addItem(edit, "mnuDelete", tr("&Delete"), nullptr));
    separator(edit, "seperate2");
    connect(addItem(edit, "mnuSpell", tr("Spell Check"), nullptr), &QAction::triggered, this,
            [this] { m_spell->run(); });
    m_deleteLastEntry = addItem(edit, "mnuDeleteLast", tr("Delete Last Entry"), nullptr);
    connect(m_deleteLastEntry, &QAction::triggered, this, [this] {
        if (m_flows)
            m_flows->deleteNewestEntry();
    });
    m_entries = addItem(edit, "mnuEntries", tr("E&ntries..."), nullptr);
    connect(m_entries, &QAction::triggered, this, [this] {
        auto* window = new EntriesWindow(*this);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        window->reload();
    });

    QMenu* html = menu("mnuHTML", tr("F&ormat"));
    QMenu* align = html->addMenu(tr("<P> Align"));
    align->setObjectName(QStringLiteral("mnualign"));
    addTagItem(align, "mnualigncenter", tr("Center"));
    addTagItem(align, "mnualignleft", tr("Left"));
    addTagItem(align, "mnualignright", tr("Right"));
    addTagItem(align, "mnualignjustify", tr("Justify"));
    addTagItem(html, "mnuP", QStringLiteral("<P></P>"));
    addTagItem(html, "mnuCenter", tr("Center"));
    addTagItem(html, "mnuBR", tr("<BR> Ctrl+Enter"));
    addTagItem(html, "mnuBlockQuote", tr("BlockQuote"));
    connect(addItem(html, "mnuLink", tr("Link"), nullptr), &QAction::triggered, m_edit,
            &EditCommands::insertLink);
    connect(addItem(html, "mnuPicture", tr("&Picture..."), nullptr), &QAction::triggered,
            new PictureCommand(m_ws, this, *m_edit, *this), &PictureCommand::run);
    addTagItem(html, "mnunbsp", tr("Hard Space Ctrl+Space"));

    QMenu* fonts = menu("mnuFontsTop", tr("F&onts"));
    QMenu* size = fonts->addMenu(tr("Font Size"));
    size->setObjectName(QStringLiteral("mnuFonts"));
    const char* sizeNames[] = {"mnuFontUp1", "mnuFontUp2", "mnuFontDown1", "mnuFontDown2"};
    const char* sizeSteps[] = {"+1", "+2", "-1", "-2"};
    for (int i = 0; i < 4; ++i) {
        const QString step = QString::fromLatin1(sizeSteps[i]);
        addTagItem(size, sizeNames[i], step);
    }
    connect(addItem(fonts, "mnufontface", tr("Font Face"), nullptr), &QAction::triggered, m_edit,
            &EditCommands::insertFontFace);
    connect(addItem(fonts, "mnuFontColor", tr("Font Color"), nullptr), &QAction::triggered, m_edit,
            &EditCommands::insertFontColor);
    fonts->addSeparator();
    QMenu* headers = fonts->addMenu(tr("Headers"));
    headers->setObjectName(QStringLiteral("mnuHeaders"));
    for (int i = 1; i <= 6; ++i) {
        const QByteArray name = "mnuh" + QByteArray::number(i);
        addTagItem(headers, name.constData(), QStringLiteral("H%1").arg(i));
    }
    fonts->addSeparator();
    addTagItem(fonts, "mnuBold", tr("Bold"));
    addTagItem(fonts, "mnuItalics", tr("Italics"));
    addTagItem(fonts, "mnuUnder", tr("Underline"));
    addTagItem(fonts, "mnuStrike", tr("StrikeOut"));
    addTagItem(fonts, "mnuTT", tr("Teletype"));
    addTagItem(fonts, "mnuSuper", tr("SuperScript"));
    addTagItem(fonts, "mnuSub", tr("SubScript"));

    QMenu* setup = menu("mnuSetUpTop", tr("&SetUp"));
    m_preferencesAction = addItem(setup, "mnuPreferences", tr("Config"), nullptr);
    connect(m_preferencesAction, &QAction::triggered, this, &MainWindow::showPreferences);
    m_lock.add(addItem(setup, "mnuOptions", tr("Auto Customize"), &MainWindow::showStyleEditor));
    QAction* templates = addItem(setup, "mnuDragnDrop", tr("Template Customize"), nullptr);
    m_lock.add(templates);
    connect(templates, &QAction::triggered, this, [this] {
        TemplateEditor editor(m_ws, this, this);
        editor.exec();
    });

    QMenu* help = menu("mnuhelptop", tr("&Help"));
    m_updates = std::make_unique<UpdateCheck>(m_ws, *this);
    connect(addItem(help, "mnuHelp", tr("Help Files"), nullptr), &QAction::triggered,
            m_updates.get(), &UpdateCheck::openHelp);
    connect(addItem(help, "mnuVisitWeb", tr("Web Site"), nullptr), &QAction::triggered,
            m_updates.get(), &UpdateCheck::visitWebSite);
    QAction* updates = addItem(help, "mnuUpdateCheck", tr("Check For Updates"), nullptr);
    m_lock.add(updates);
    connect(updates, &QAction::triggered, m_updates.get(), &UpdateCheck::checkForUpdate);
    addItem(help, "mnuAbout", tr("About Pagewick"), &MainWindow::showAbout);

    // The usual keys; EditCommands keeps the entry boxes from taking them.
    const std::pair<const char*, QKeySequence> keys[] = {{"mnuNew", Qt::CTRL | Qt::Key_N},
                                                         {"mnuSpell", Qt::Key_F7},
                                                         {"mnuBold", Qt::CTRL | Qt::Key_B},
                                                         {"mnuItalics", Qt::CTRL | Qt::Key_I},
                                                         {"mnuUnder", Qt::CTRL | Qt::Key_U}};
    for (const auto& [name, key] : keys)
        findChild<QAction*>(QString::fromLatin1(name))->setShortcut(key);
}

void MainWindow::buildToolbar()
{
    QToolBar* toolbar = named(addToolBar(QStringLiteral("Toolbar1")), "Toolbar1");
    toolbar->setMovable(false);
    // The desktop theme's icon where there is one, the program's own drawing
    // otherwise. The text is the command's name (what a screen reader says);
    // the tip says what the button does.
    struct Button
    {
        const char* key;
        const char* text;
        const char* tip;
        const char* icon;
        const char* fallback;
    };
    const Button buttons[] = {
        {"Undo", QT_TR_NOOP("Undo"), QT_TR_NOOP("Undo the last change in the box"), "edit-undo",
         "undo"},
        {"Cut", QT_TR_NOOP("Cut"), QT_TR_NOOP("Cut the selected text to the clipboard"), "edit-cut",
         "cut"},
        {"Copy", QT_TR_NOOP("Copy"), QT_TR_NOOP("Copy the selected text to the clipboard"),
         "edit-copy", "copy"},
        {"Paste", QT_TR_NOOP("Paste"), QT_TR_NOOP("Paste the clipboard's text"), "edit-paste",
         "paste"},
        {"Delete", QT_TR_NOOP("Delete"), QT_TR_NOOP("Delete the selected text"), "edit-delete",
         "delete"},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Bold", QT_TR_NOOP("Bold"), QT_TR_NOOP("Make the selected text bold (<B>)"),
         "format-text-bold", "bold"},
        {"Italics", QT_TR_NOOP("Italic"), QT_TR_NOOP("Make the selected text italic (<I>)"),
         "format-text-italic", "italic"},
        {"Underline", QT_TR_NOOP("Underline"), QT_TR_NOOP("Underline the selected text (<U>)"),
         "format-text-underline", "underline"},
        {"Strikethru", QT_TR_NOOP("Strikeout"), QT_TR_NOOP("Strike out the selected text (<S>)"),
         "format-text-strikethrough", "strikeout"},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Left", QT_TR_NOOP("Align Left"), QT_TR_NOOP("Align the paragraph to the left"),
         "format-justify-left", "align-left"},
        {"Center", QT_TR_NOOP("Center"), QT_TR_NOOP("Center the paragraph"),
         "format-justify-center", "align-center"},
        {"Right", QT_TR_NOOP("Align Right"), QT_TR_NOOP("Align the paragraph to the right"),
         "format-justify-right", "align-right"},
        {"Justify", QT_TR_NOOP("Justify"), QT_TR_NOOP("Justify the paragraph on both sides"),
         "format-justify-fill", "justify"},
        {"Picture", QT_TR_NOOP("Picture"), QT_TR_NOOP("Put a picture into the entry"),
         "insert-image", "picture"},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Spell", QT_TR_NOOP("Spell Check"), QT_TR_NOOP("Check the spelling of the entry"),
         "tools-check-spelling", "spell"},
        {"Help", QT_TR_NOOP("Help"), QT_TR_NOOP("Open the help files"), "help-contents", "help"},
    };
    for (const Button& b : buttons) {
        if (!b.key) {
            toolbar->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(b.key);
        QAction* a = toolbar->addAction(Icons::themed(b.icon, b.fallback), tr(b.text));
        a->setObjectName(QStringLiteral("Toolbar1_") + key);
        a->setData(key);
        a->setToolTip(tr(b.tip));
        if (const std::optional<Markup::EditCommand> edit = Markup::editCommandForKey(key))
            m_edit->bind(*edit, a);
        else
            connect(a, &QAction::triggered, this, [this, key] { onToolbarButton(key); });
    }
}

void MainWindow::buildCentral()
{
    auto* central = new QWidget(this);
    QFont arial(QStringLiteral("Arial"));
    auto label = [&](const char* name, const QString& text) {
        auto* l = named(new QLabel(text, central), name);
        l->setFont(arial);
        return l;
    };
    auto line = [&](const char* name) {
        auto* e = named(new QLineEdit(central), name);
        e->setFont(arial);
        m_edit->addShortcutKeys(e);
        return e;
    };

    // Alt with the underlined letter goes to the box; the letters differ
    // from the menus' (F, E, O, S, H).
    QLabel* titleLabel = label("Title", tr("&Title:"));
    QLabel* bodyLabel = label("Label1", tr("&Main:"));
    QLabel* sigLabel = label("Label3", tr("Si&g:"));
    QLabel* emailLabel = label("Label5", tr("Em&ail:"));
    QLabel* urlLabel = label("Label2", tr("&URL:"));
    QLabel* urlTitleLabel = label("Label4", tr("URL Tit&le:"));
    m_title = line("txtHead");
    m_body = named(new QPlainTextEdit(central), "txtMain");
    m_body->setFont(arial);
    m_edit->addShortcutKeys(m_body);
    m_sig = line("txtSig");
    m_email = line("txtEmail");
    m_url = line("txtURL");
    m_url->setText(QStringLiteral("http://"));
    m_urlTitle = line("txtURLtitle");
    m_status = named(new QPlainTextEdit(central), "txtStatus");
    m_status->setReadOnly(true);
    m_status->setFont(arial);
    m_status->setMaximumHeight(90);
    m_status->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_status->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Screen readers (and tests) find every box by its label.
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {titleLabel, m_title}, {bodyLabel, m_body}, {sigLabel, m_sig},
        {emailLabel, m_email}, {urlLabel, m_url},   {urlTitleLabel, m_urlTitle}};
    for (const auto& [l, box] : labelled) {
        l->setBuddy(box);
        box->setAccessibleName(QString(l->text()).remove(QLatin1Char('&')));
    }
    m_status->setAccessibleName(tr("Status"));

    m_previewButton = named(new QPushButton(tr("Preview"), central), "butt_Preview");
    m_finishButton = named(new QPushButton(tr("Finish/FTP"), central), "butt_Fin");
    m_resendButton = named(new QPushButton(tr("Resend"), central), "butt_resend");
    m_resendButton->hide();
    for (QWidget* button : {m_previewButton, m_finishButton, m_resendButton})
        m_lock.add(button);
    for (QAction* command : {m_restoreBackup, m_deleteLastEntry, m_preferencesAction, m_entries})
        m_lock.add(command);
    connect(m_previewButton, &QPushButton::clicked, this, [this] {
        if (m_flows)
            m_flows->preview();
    });
    connect(m_finishButton, &QPushButton::clicked, this, [this] {
        if (m_publisher)
            m_publisher->finish();
        discardDraftIfPublished();
    });
    connect(m_resendButton, &QPushButton::clicked, this, [this] {
        if (m_publisher)
            m_publisher->resend();
    });
    m_progress = named(new QProgressBar(central), "ProgressBar1");
    m_progress->hide();
    m_stopButton = named(new QPushButton(tr("S&top"), central), "butt_Stop");
    m_stopButton->setToolTip(tr("Stop the transfer (Esc)"));
    m_stopButton->hide();
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopJobs);
    m_stopAction = named(new QAction(tr("Stop"), this), "mnuStop");
    m_stopAction->setShortcut(Qt::Key_Escape);
    m_stopAction->setEnabled(false);
    addAction(m_stopAction);
    connect(m_stopAction, &QAction::triggered, this, &MainWindow::stopJobs);

    // A changed entry must be previewed again before it can be published
    // (the e-mail address is not part of that).
    for (QLineEdit* e : {m_title, m_sig, m_url, m_urlTitle})
        connect(e, &QLineEdit::textChanged, this, &MainWindow::entryTextChanged);
    connect(m_body, &QPlainTextEdit::textChanged, this, &MainWindow::entryTextChanged);

    // Entry boxes stretch to the right margin; Sig takes the left half and
    // Email the right half; the body takes every spare pixel of height; the
    // status box ends left of the buttons.
    auto* grid = new QGridLayout;
    grid->addWidget(titleLabel, 0, 0);
    grid->addWidget(m_title, 0, 1, 1, 3);
    grid->addWidget(bodyLabel, 1, 0, Qt::AlignTop);
    grid->addWidget(m_body, 1, 1, 1, 3);
    grid->addWidget(sigLabel, 2, 0);
    grid->addWidget(m_sig, 2, 1);
    grid->addWidget(emailLabel, 2, 2);
    grid->addWidget(m_email, 2, 3);
    grid->addWidget(urlLabel, 3, 0);
    grid->addWidget(m_url, 3, 1, 1, 3);
    grid->addWidget(urlTitleLabel, 4, 0);
    grid->addWidget(m_urlTitle, 4, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    auto* buttonColumn = new QVBoxLayout;
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_previewButton);
    buttonRow->addWidget(m_resendButton);
    buttonRow->addWidget(m_finishButton);
    buttonRow->addWidget(m_stopButton);
    buttonColumn->addLayout(buttonRow);
    buttonColumn->addWidget(m_progress);
    buttonColumn->addStretch();
    buttons->addLayout(buttonColumn);

    auto* outer = new QVBoxLayout(central);
    outer->addLayout(grid, 1);
    outer->addLayout(buttons);
    setCentralWidget(central);
}

void MainWindow::start(int splashMs)
{
    auto* splash = new SplashScreen;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QElapsedTimer clock;
    clock.start();
    hide();

    startUp(m_ws, *this, 0, this,
            [this, splash = QPointer<SplashScreen>(splash), splashMs,
             clock](const StartupOutcome& outcome) {
                startedUp(outcome, splash, splashMs - clock.elapsed());
            });
}

// The configuration is loaded (its password read from the keyring, which
// may have taken a while).
void MainWindow::startedUp(const StartupOutcome& outcome, QPointer<SplashScreen> splash,
                           qint64 left)
{
    m_configured = outcome.configured;
    createFlows();

    // The splash stays up at least splashMs (a steady clock, so a start just
    // before midnight waits no longer than any other), or until a key closes
    // it; the window then takes over.
    if (left <= 0 || !splash) {
        if (splash)
            splash->close();
        showMainWindow();
        return;
    }
    auto shown = std::make_shared<bool>(false);
    const auto go = [this, shown, splash] {
        if (std::exchange(*shown, true))
            return;
        if (splash)
            splash->close();
        showMainWindow();
    };
    QTimer::singleShot(left, this, go);
    connect(splash, &QObject::destroyed, this, go);
}

void MainWindow::showMainWindow()
{
    show();
    offerDraft();
    // Without a configuration there is no page to fetch: the preferences
    // dialog opens instead, and the page is fetched once it has been applied.
    if (m_configured)
        retrievePage(false);
    else
        showPreferences();
    m_status->moveCursor(QTextCursor::End);
}

void MainWindow::activate()
{
    if (!m_ws.settings().autoFtp()) {
        m_finishButton->setText(tr("Finish"));
        m_resendButton->hide();
    } else {
        m_finishButton->setText(tr("Finish/FTP"));
    }
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    activate();
}

void MainWindow::createFlows()
{
    m_publisher.reset();
    m_flows = std::make_unique<PageEditor>(m_ws, *this, *this);
    m_publisher = std::make_unique<Publisher>(m_ws, *this, *m_flows, *this);
}

void MainWindow::retrievePage(bool insertAfter, std::function<void()> then)
{
    if (m_publisher)
        m_publisher->retrievePage(insertAfter, std::move(then));
    else if (then)
        then();
}

void MainWindow::publish()
{
    if (m_publisher)
        m_publisher->publish([this] { discardDraftIfPublished(); });
}

// The six entry boxes go to the draft file a few seconds after the last
// change; start-up offers a draft left behind, and a published or cleared
// entry removes it.
void MainWindow::setUpDraft()
{
    m_draft = std::make_unique<EntryDraftKeeper>(
        m_ws.file(EntryDraft::fileName()), [this] { return fields(); }, *this, m_ws.prompt());
    for (QLineEdit* box : {m_title, m_sig, m_email, m_url, m_urlTitle})
        m_draft->watch(box);
    m_draft->watch(m_body);
}

void MainWindow::offerDraft()
{
    if (const std::optional<EntryFields> entry = m_draft->offer())
        showFields(*entry);
}

void MainWindow::discardDraftIfPublished()
{
    if (m_publisher && (m_publisher->lastOutcome() == Publisher::Outcome::Published ||
                        m_publisher->lastOutcome() == Publisher::Outcome::Saved))
        m_draft->discard();
}

QString MainWindow::choosePageSource()
{
    ::PageSourceDialog choice(m_ws, this);
    const QString tag = choice.choose();
    choice.close();
    return tag;
}

void MainWindow::setPreviewEnabled(bool enabled)
{
    m_lock.setEnabled(m_previewButton, enabled);
}

void MainWindow::showFields(const EntryFields& f)
{
    const QSignalBlocker blockHead(m_title), blockMain(m_body), blockSig(m_sig), blockUrl(m_url),
        blockTitle(m_urlTitle);
    if (m_title->text() != f.head)
        m_title->setText(f.head);
    if (fields().main != f.main)
        m_body->setPlainText(QString(f.main).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (m_sig->text() != f.sig)
        m_sig->setText(f.sig);
    if (m_email->text() != f.email)
        m_email->setText(f.email);
    if (m_url->text() != f.url)
        m_url->setText(f.url);
    if (m_urlTitle->text() != f.urlTitle)
        m_urlTitle->setText(f.urlTitle);
}

void MainWindow::appendStatus(const QString& message)
{
    QString m = message;
    const QString current =
        m_status->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QString next = appendStatusLine(current, m);
    if (next == current)
        return;
    m_status->setPlainText(next);
    m_status->moveCursor(QTextCursor::End);
    m_status->verticalScrollBar()->setValue(m_status->verticalScrollBar()->maximum());
}

void MainWindow::setPublishingEnabled(bool enable)
{
    for (const QObject* command :
         std::initializer_list<const QObject*>{m_finishButton, m_previewButton, m_preferencesAction,
                                               m_restoreBackup, m_deleteLastEntry, m_entries})
        m_lock.setEnabled(command, enable);
    if (!enable) {
        m_lock.setEnabled(m_resendButton, false);
        m_resendButton->hide();
    } else if (m_resendOffered && m_ws.settings().lastUploadFailed() && m_ws.settings().autoFtp()) {
        // A failed upload stays offered for resending through whatever work
        // switched the commands off meanwhile (the start-up retrieval, a
        // publish that stopped), until a Preview makes a new edited page.
        m_lock.setEnabled(m_resendButton, true);
        m_resendButton->show();
    }
    m_progress->hide();
}

void MainWindow::setFinishEnabled(bool enabled)
{
    m_lock.setEnabled(m_finishButton, enabled);
}

void MainWindow::setResendEnabled(bool enabled)
{
    m_lock.setEnabled(m_resendButton, enabled);
}

void MainWindow::setResendVisible(bool visible)
{
    m_resendOffered = visible;
    m_resendButton->setVisible(visible);
}

void MainWindow::setPreferencesEnabled(bool enabled)
{
    m_lock.setEnabled(m_preferencesAction, enabled);
}

void MainWindow::setBusy(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
}

void MainWindow::showProgress(int minimum, int maximum, int value)
{
    m_progress->setRange(minimum, maximum);
    m_progress->setValue(value);
    m_progress->show();
}

void MainWindow::hideProgress()
{
    m_progress->hide();
}

int MainWindow::progressValue() const
{
    return m_progress->value();
}

EntryFields MainWindow::fields() const
{
    return {
        m_title->text(), m_body->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")),
        m_sig->text(),   m_email->text(),
        m_url->text(),   m_urlTitle->text()};
}

void MainWindow::setSignature(const QString& sig, const QString& email)
{
    m_sig->setText(sig);
    m_email->setText(email);
}

void MainWindow::newEntry()
{
    if (m_ws.prompt().message(tr("This will erase all current text on this form.  Continue?"),
                              Buttons::OkCancel, Icon::None, tr("Clear all fields?")) != Answer::Ok)
        return;
    m_title->clear();
    m_body->clear();
    m_url->clear();
    m_urlTitle->clear();
    m_draft->discard();
}

void MainWindow::exitProgram()
{
    close();
}

void MainWindow::showAbout()
{
    AboutDialog about(m_ws.prompt(), this);
    about.exec();
}

void MainWindow::onToolbarButton(const QString& key)
{
    if (const std::optional<Markup::EditCommand> edit = Markup::editCommandForKey(key)) {
        m_edit->run(*edit);
        return;
    }
    const QString action = Markup::actionForKey(key);
    if (!action.isEmpty())
        if (QAction* a = menuBar()->findChild<QAction*>(action))
            a->trigger();
}

void MainWindow::entryTextChanged()
{
    m_lock.setEnabled(m_finishButton, false);
}
