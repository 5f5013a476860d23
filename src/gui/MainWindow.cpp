#include "gui/MainWindow.h"

#include "gui/WidgetHelpers.h"

#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/Startup.h"
#include "core/editing/MarkupCommands.h"
#include "core/publish/Publisher.h"
#include "core/publish/UpdateCheck.h"
#include "gui/AboutDialog.h"
#include "gui/EntryDraftKeeper.h"
#include "gui/Icons.h"
#include "gui/PageSourceDialog.h"
#include "gui/SplashScreen.h"
#include "gui/editing/EditCommands.h"
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
#include <QToolBar>
#include <QVBoxLayout>

using Widgets::named;

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("PageWick: ") + versionText());
    m_edit = new EditCommands(this);
    buildMenus();
    buildToolbar();
    buildCentral();
    m_spell = new SpellCommand(this, *m_edit, {txtHead, txtMain, txtURLtitle}, *this);
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

    QMenu* file = menu("mnuFile", QStringLiteral("&File"));
    mnuNew = addItem(file, "mnuNew", QStringLiteral("&New Entry"), &MainWindow::newEntry);
    mnuBackup = addItem(file, "mnuBackup", QStringLiteral("&Restore Backup"), nullptr);
    connect(mnuBackup, &QAction::triggered, this, [this] {
        if (m_flows)
            m_flows->restoreBackup();
    });
    mnuExit = addItem(file, "mnuExit", QStringLiteral("E&xit"), &MainWindow::exitProgram);

    QMenu* edit = menu("mnuEdit", QStringLiteral("&Edit"));
    using Markup::EditCommand;
    mnuUndo = addItem(edit, "mnuUndo", QStringLiteral("&Undo"), nullptr);
    m_edit->bind(EditCommand::Undo, mnuUndo);
    separator(edit, "mnusep");
    mnuCut = addItem(edit, "mnuCut", QStringLiteral("Cu&t"), nullptr);
    m_edit->bind(EditCommand::Cut, mnuCut);
    mnuCopy = addItem(edit, "mnuCopy", QStringLiteral("&Copy"), nullptr);
    m_edit->bind(EditCommand::Copy, mnuCopy);
    mnuPaste = addItem(edit, "mnuPaste", QStringLiteral("&Paste"), nullptr);
    m_edit->bind(EditCommand::Paste, mnuPaste);
    mnuDelete = addItem(edit, "mnuDelete", QStringLiteral("&Delete"), nullptr);
    m_edit->bind(EditCommand::Delete, mnuDelete);
    separator(edit, "seperate2");
    mnuSpell = addItem(edit, "mnuSpell", QStringLiteral("Spell Check"), nullptr);
    connect(mnuSpell, &QAction::triggered, this, [this] { m_spell->run(); });
    mnuDeleteLast = addItem(edit, "mnuDeleteLast", QStringLiteral("Delete Last Entry"), nullptr);
    connect(mnuDeleteLast, &QAction::triggered, this, [this] {
        if (m_flows)
            m_flows->deleteNewestEntry();
    });

    QMenu* html = menu("mnuHTML", QStringLiteral("F&ormat"));
    QMenu* align = html->addMenu(QStringLiteral("<P> Align"));
    align->setObjectName(QStringLiteral("mnualign"));
    addTagItem(align, "mnualigncenter", QStringLiteral("Center"));
    addTagItem(align, "mnualignleft", QStringLiteral("Left"));
    addTagItem(align, "mnualignright", QStringLiteral("Right"));
    addTagItem(align, "mnualignjustify", QStringLiteral("Justify"));
    addTagItem(html, "mnuP", QStringLiteral("<P></P>"));
    addTagItem(html, "mnuCenter", QStringLiteral("Center"));
    addTagItem(html, "mnuBR", QStringLiteral("<BR> Ctrl+Enter"));
    addTagItem(html, "mnuBlockQuote", QStringLiteral("BlockQuote"));
    connect(addItem(html, "mnuLink", QStringLiteral("Link"), nullptr), &QAction::triggered, m_edit,
            &EditCommands::insertLink);
    addTagItem(html, "mnunbsp", QStringLiteral("Hard Space Ctrl+Space"));

    QMenu* fonts = menu("mnuFontsTop", QStringLiteral("F&onts"));
    QMenu* size = fonts->addMenu(QStringLiteral("Font Size"));
    size->setObjectName(QStringLiteral("mnuFonts"));
    const char* sizeNames[] = {"mnuFontUp1", "mnuFontUp2", "mnuFontDown1", "mnuFontDown2"};
    const char* sizeSteps[] = {"+1", "+2", "-1", "-2"};
    for (int i = 0; i < 4; ++i) {
        const QString step = QString::fromLatin1(sizeSteps[i]);
        addTagItem(size, sizeNames[i], step);
    }
    connect(addItem(fonts, "mnufontface", QStringLiteral("Font Face"), nullptr),
            &QAction::triggered, m_edit, &EditCommands::insertFontFace);
    connect(addItem(fonts, "mnuFontColor", QStringLiteral("Font Color"), nullptr),
            &QAction::triggered, m_edit, &EditCommands::insertFontColor);
    fonts->addSeparator();
    QMenu* headers = fonts->addMenu(QStringLiteral("Headers"));
    headers->setObjectName(QStringLiteral("mnuHeaders"));
    for (int i = 1; i <= 6; ++i) {
        const QByteArray name = "mnuh" + QByteArray::number(i);
        addTagItem(headers, name.constData(), QStringLiteral("H%1").arg(i));
    }
    fonts->addSeparator();
    addTagItem(fonts, "mnuBold", QStringLiteral("Bold"));
    addTagItem(fonts, "mnuItalics", QStringLiteral("Italics"));
    addTagItem(fonts, "mnuUnder", QStringLiteral("Underline"));
    addTagItem(fonts, "mnuStrike", QStringLiteral("StrikeOut"));
    addTagItem(fonts, "mnuTT", QStringLiteral("Teletype"));
    addTagItem(fonts, "mnuSuper", QStringLiteral("SuperScript"));
    addTagItem(fonts, "mnuSub", QStringLiteral("SubScript"));

    QMenu* setup = menu("mnuSetUpTop", QStringLiteral("&SetUp"));
    mnuPreferences = addItem(setup, "mnuPreferences", QStringLiteral("Config"), nullptr);
    connect(mnuPreferences, &QAction::triggered, this, &MainWindow::showPreferences);
    mnuOptions = addItem(setup, "mnuOptions", QStringLiteral("Auto Customize"),
                         &MainWindow::showStyleEditor);
    mnuDragnDrop = addItem(setup, "mnuDragnDrop", QStringLiteral("Template Customize"), nullptr);
    connect(mnuDragnDrop, &QAction::triggered, this, [this] {
        TemplateEditor editor(this, this);
        editor.exec();
    });

    QMenu* help = menu("mnuhelptop", QStringLiteral("&Help"));
    m_updates = std::make_unique<UpdateCheck>(*this);
    mnuHelp = addItem(help, "mnuHelp", QStringLiteral("Help Files"), nullptr);
    connect(mnuHelp, &QAction::triggered, m_updates.get(), &UpdateCheck::openHelp);
    mnuVisitWeb = addItem(help, "mnuVisitWeb", QStringLiteral("Web Site"), nullptr);
    connect(mnuVisitWeb, &QAction::triggered, m_updates.get(), &UpdateCheck::visitWebSite);
    mnuUpdateCheck = addItem(help, "mnuUpdateCheck", QStringLiteral("Check For Updates"), nullptr);
    connect(mnuUpdateCheck, &QAction::triggered, m_updates.get(), &UpdateCheck::checkForUpdate);
    mnuAbout = addItem(help, "mnuAbout", QStringLiteral("About Pagewick"), &MainWindow::showAbout);

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
    Toolbar1 = named(addToolBar(QStringLiteral("Toolbar1")), "Toolbar1");
    Toolbar1->setMovable(false);
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
        {nullptr, nullptr, nullptr, nullptr, nullptr},
        {"Spell", QT_TR_NOOP("Spell Check"), QT_TR_NOOP("Check the spelling of the entry"),
         "tools-check-spelling", "spell"},
        {"Help", QT_TR_NOOP("Help"), QT_TR_NOOP("Open the help files"), "help-contents", "help"},
    };
    for (const Button& b : buttons) {
        if (!b.key) {
            Toolbar1->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(b.key);
        QAction* a = Toolbar1->addAction(Icons::themed(b.icon, b.fallback), tr(b.text));
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
    Title = label("Title", tr("&Title:"));
    Label1 = label("Label1", tr("&Main:"));
    Label3 = label("Label3", tr("Si&g:"));
    Label5 = label("Label5", tr("Em&ail:"));
    Label2 = label("Label2", tr("&URL:"));
    Label4 = label("Label4", tr("URL Tit&le:"));
    txtHead = line("txtHead");
    txtMain = named(new QPlainTextEdit(central), "txtMain");
    txtMain->setFont(arial);
    m_edit->addShortcutKeys(txtMain);
    txtSig = line("txtSig");
    txtEmail = line("txtEmail");
    txtURL = line("txtURL");
    txtURL->setText(QStringLiteral("http://"));
    txtURLtitle = line("txtURLtitle");
    txtStatus = named(new QPlainTextEdit(central), "txtStatus");
    txtStatus->setReadOnly(true);
    txtStatus->setFont(arial);
    txtStatus->setMaximumHeight(90);
    txtStatus->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Screen readers (and tests) find every box by its label.
    const std::pair<QLabel*, QWidget*> labelled[] = {{Title, txtHead}, {Label1, txtMain},
                                                     {Label3, txtSig}, {Label5, txtEmail},
                                                     {Label2, txtURL}, {Label4, txtURLtitle}};
    for (const auto& [l, box] : labelled) {
        l->setBuddy(box);
        box->setAccessibleName(QString(l->text()).remove(QLatin1Char('&')));
    }
    txtStatus->setAccessibleName(QStringLiteral("Status"));

    butt_Preview = named(new QPushButton(QStringLiteral("Preview"), central), "butt_Preview");
    butt_Fin = named(new QPushButton(QStringLiteral("Finish/FTP"), central), "butt_Fin");
    butt_resend = named(new QPushButton(QStringLiteral("Resend"), central), "butt_resend");
    butt_resend->hide();
    connect(butt_Preview, &QPushButton::clicked, this, [this] {
        if (m_flows)
            m_flows->preview();
    });
    connect(butt_Fin, &QPushButton::clicked, this, [this] {
        if (m_publisher)
            m_publisher->finish();
        discardDraftIfPublished();
    });
    connect(butt_resend, &QPushButton::clicked, this, [this] {
        if (m_publisher)
            m_publisher->resend();
    });
    ProgressBar1 = named(new QProgressBar(central), "ProgressBar1");
    ProgressBar1->hide();

    // A changed entry must be previewed again before it can be published
    // (the e-mail address is not part of that).
    for (QLineEdit* e : {txtHead, txtSig, txtURL, txtURLtitle})
        connect(e, &QLineEdit::textChanged, this, &MainWindow::entryTextChanged);
    connect(txtMain, &QPlainTextEdit::textChanged, this, &MainWindow::entryTextChanged);

    // Entry boxes stretch to the right margin; Sig takes the left half and
    // Email the right half; the body takes every spare pixel of height; the
    // status box ends left of the buttons.
    auto* grid = new QGridLayout;
    grid->addWidget(Title, 0, 0);
    grid->addWidget(txtHead, 0, 1, 1, 3);
    grid->addWidget(Label1, 1, 0, Qt::AlignTop);
    grid->addWidget(txtMain, 1, 1, 1, 3);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(txtSig, 2, 1);
    grid->addWidget(Label5, 2, 2);
    grid->addWidget(txtEmail, 2, 3);
    grid->addWidget(Label2, 3, 0);
    grid->addWidget(txtURL, 3, 1, 1, 3);
    grid->addWidget(Label4, 4, 0);
    grid->addWidget(txtURLtitle, 4, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(txtStatus, 1);
    auto* buttonColumn = new QVBoxLayout;
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(butt_Preview);
    buttonRow->addWidget(butt_resend);
    buttonRow->addWidget(butt_Fin);
    buttonColumn->addLayout(buttonRow);
    buttonColumn->addWidget(ProgressBar1);
    buttonColumn->addStretch();
    buttons->addLayout(buttonColumn);

    auto* outer = new QVBoxLayout(central);
    outer->addLayout(grid, 1);
    outer->addLayout(buttons);
    setCentralWidget(central);
}

void MainWindow::start(int splashMs)
{
    SplashScreen splash;
    splash.show();
    QElapsedTimer started;
    started.start();
    hide();

    Settings& s = settings();
    const StartupOutcome outcome = startUp(s, prompt(), *this);
    m_configured = outcome.configured;
    createFlows();

    // The splash stays up at least splashMs (a steady clock, so a start just
    // before midnight waits no longer than any other).
    while (started.elapsed() < splashMs && splash.isVisible())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    splash.close();
    show();
    offerDraft();
    // Without a configuration there is no page to fetch: the preferences
    // dialog opens instead, and the page is fetched once it has been applied.
    if (m_configured)
        retrievePage(false);
    else
        showPreferences();
    txtStatus->moveCursor(QTextCursor::End);
}

void MainWindow::activate()
{
    if (!settings().autoFtp()) {
        butt_Fin->setText(QStringLiteral("Finish"));
        butt_resend->hide();
    } else {
        butt_Fin->setText(QStringLiteral("Finish/FTP"));
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
    m_flows = std::make_unique<PageEditor>(*this, *this);
    m_publisher = std::make_unique<Publisher>(*this, *m_flows, *this);
}

// The window cannot go while a transfer runs: the code waiting for it would
// come back to a window that is gone. Closing stops the transfer instead; a
// second close then ends the program.
void MainWindow::closeEvent(QCloseEvent* event)
{
    const bool busy =
        m_publisher && (m_publisher->ftpClient.isBusy() || m_publisher->httpClient.isBusy());
    const bool checking = m_updates && m_updates->newsClient.isBusy();
    if (!busy && !checking) {
        m_draft->saveNow();
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    if (m_publisher) {
        m_publisher->ftpClient.cancel();
        m_publisher->httpClient.cancel();
    }
    if (m_updates)
        m_updates->newsClient.cancel();
    appendStatus(QStringLiteral("Transfer cancelled."));
}

void MainWindow::retrievePage(bool insertAfter)
{
    if (m_publisher)
        m_publisher->retrievePage(insertAfter);
}

void MainWindow::publish()
{
    if (m_publisher)
        m_publisher->publish();
    discardDraftIfPublished();
}

// The six entry boxes go to the draft file a few seconds after the last
// change; start-up offers a draft left behind, and a published or cleared
// entry removes it.
void MainWindow::setUpDraft()
{
    m_draft = std::make_unique<EntryDraftKeeper>([this] { return fields(); }, *this);
    for (QLineEdit* box : {txtHead, txtSig, txtEmail, txtURL, txtURLtitle})
        m_draft->watch(box);
    m_draft->watch(txtMain);
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
    ::PageSourceDialog choice(this);
    const QString tag = choice.choose();
    choice.close();
    return tag;
}

void MainWindow::setPreviewEnabled(bool enabled)
{
    butt_Preview->setEnabled(enabled);
}

void MainWindow::showFields(const EntryFields& f)
{
    const QSignalBlocker blockHead(txtHead), blockMain(txtMain), blockSig(txtSig), blockUrl(txtURL),
        blockTitle(txtURLtitle);
    if (txtHead->text() != f.head)
        txtHead->setText(f.head);
    if (fields().main != f.main)
        txtMain->setPlainText(
            QString(f.main).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (txtSig->text() != f.sig)
        txtSig->setText(f.sig);
    if (txtEmail->text() != f.email)
        txtEmail->setText(f.email);
    if (txtURL->text() != f.url)
        txtURL->setText(f.url);
    if (txtURLtitle->text() != f.urlTitle)
        txtURLtitle->setText(f.urlTitle);
}

void MainWindow::notYet(const QString& command)
{
    appendStatus(command + QStringLiteral(" is not available in this version yet."));
}

void MainWindow::appendStatus(const QString& message)
{
    QString m = message;
    const QString current =
        txtStatus->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QString next = appendStatusLine(current, m);
    if (next == current)
        return;
    txtStatus->setPlainText(next);
    txtStatus->moveCursor(QTextCursor::End);
    txtStatus->verticalScrollBar()->setValue(txtStatus->verticalScrollBar()->maximum());
}

void MainWindow::setPublishingEnabled(bool enable)
{
    butt_Fin->setEnabled(enable);
    butt_Preview->setEnabled(enable);
    mnuPreferences->setEnabled(enable);
    mnuBackup->setEnabled(enable);
    mnuDeleteLast->setEnabled(enable);
    if (!enable) {
        butt_resend->setEnabled(false);
        butt_resend->hide();
    } else if (m_resendOffered && settings().lastUploadFailed() && settings().autoFtp()) {
        // A failed upload stays offered for resending through whatever work
        // switched the commands off meanwhile (the start-up retrieval, a
        // publish that stopped), until a Preview makes a new edited page.
        butt_resend->setEnabled(true);
        butt_resend->show();
    }
    ProgressBar1->hide();
}

void MainWindow::setFinishEnabled(bool enabled)
{
    butt_Fin->setEnabled(enabled);
}

void MainWindow::setResendEnabled(bool enabled)
{
    butt_resend->setEnabled(enabled);
}

void MainWindow::setResendVisible(bool visible)
{
    m_resendOffered = visible;
    butt_resend->setVisible(visible);
}

void MainWindow::setPreferencesEnabled(bool enabled)
{
    mnuPreferences->setEnabled(enabled);
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
    ProgressBar1->setRange(minimum, maximum);
    ProgressBar1->setValue(value);
    ProgressBar1->show();
}

void MainWindow::hideProgress()
{
    ProgressBar1->hide();
}

int MainWindow::progressValue() const
{
    return ProgressBar1->value();
}

EntryFields MainWindow::fields() const
{
    return {
        txtHead->text(), txtMain->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")),
        txtSig->text(),  txtEmail->text(),
        txtURL->text(),  txtURLtitle->text()};
}

void MainWindow::setSignature(const QString& sig, const QString& email)
{
    txtSig->setText(sig);
    txtEmail->setText(email);
}

void MainWindow::yield()
{
    QApplication::processEvents();
}

void MainWindow::newEntry()
{
    if (prompt().message(
            QStringLiteral("This will erase all current text on this form.  Continue?"),
            Buttons::OkCancel, Icon::None, QStringLiteral("Clear all fields?")) != Answer::Ok)
        return;
    txtHead->clear();
    txtMain->clear();
    txtURL->clear();
    txtURLtitle->clear();
    m_draft->discard();
}

void MainWindow::exitProgram()
{
    close();
}

void MainWindow::showAbout()
{
    AboutDialog about(this);
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
    butt_Fin->setEnabled(false);
}
