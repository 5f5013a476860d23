#include "gui/entries/EntriesWindow.h"

#include "gui/WidgetHelpers.h"

#include "base/Settings.h"
#include "core/editing/MarkupCommands.h"
#include "core/publish/Publisher.h"
#include "gui/MainWindow.h"
#include "gui/editing/EditCommands.h"
#include "gui/spell/SpellCommand.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using Widgets::named;

// The main window's hooks, except that publishing goes straight to its
// publisher: a changed entry is no reason to drop the draft of a new one.
class EntriesWindow::Hooks final : public PageEditorHooks
{
public:
    explicit Hooks(MainWindow& main) : m_main(main) {}
    void retrievePage(bool insertAfter, std::function<void()> then) override
    {
        m_main.retrievePage(insertAfter, std::move(then));
    }
    void publish() override
    {
        if (!m_main.publisher())
            return;
        publishing = true;
        m_main.publisher()->publish(published);
    }
    bool publishing = false;         // a publish has started
    std::function<void()> published; // called once it has ended
    QString choosePageSource() override { return m_main.choosePageSource(); }
    void showPreferences() override { m_main.showPreferences(); }
    void setPreviewEnabled(bool enabled) override { m_main.setPreviewEnabled(enabled); }
    void showFields(const EntryFields&) override {}

private:
    MainWindow& m_main;
};

EntriesWindow::EntriesWindow(MainWindow& main)
    : QDialog(&main), m_main(main), m_hooks(std::make_unique<Hooks>(main)),
      m_changes(std::make_unique<EntryChanges>(main.workspace(), main, *m_hooks))
{
    m_hooks->published = [self = QPointer<EntriesWindow>(this)] {
        if (self)
            self->published();
    };
    if (main.publisher())
        connect(main.publisher(), &Publisher::jobsEnded, this, &EntriesWindow::updateButtons);
    setObjectName(QStringLiteral("frmEntries"));
    setWindowTitle(tr("Entries"));
    setModal(true);
    m_edit = new EditCommands(m_main.workspace().prompt(), this);

    m_archive = named(new QCheckBox(tr("List the &archive page"), this), "chkArchive");
    m_archive->setAccessibleName(tr("List the archive page"));
    m_list = named(new QTreeWidget(this), "lstEntries");
    m_list->setAccessibleName(tr("Entries"));
    m_list->setHeaderLabels({tr("Date"), tr("Time"), tr("Title")});
    m_list->setRootIsDecorated(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    auto* listLabel = named(new QLabel(tr("E&ntries:"), this), "lblEntries");
    listLabel->setBuddy(m_list);
    m_text = named(new QPlainTextEdit(this), "txtEntry");
    m_text->setAccessibleName(tr("Entry HTML"));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->addShortcutKeys(m_text);
    auto* textLabel = named(new QLabel(tr("Entry &HTML:"), this), "lblEntry");
    textLabel->setBuddy(m_text);

    const auto button = [this](const char* name, const QString& text, const QString& accessible,
                               void (EntriesWindow::*slot)()) {
        auto* b = named(new QPushButton(text, this), name);
        b->setAccessibleName(accessible);
        b->setAutoDefault(false);
        if (slot)
            connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    m_editButton =
        button("buttEdit", tr("Ed&it Entry"), tr("Edit Entry"), &EntriesWindow::editChosen);
    m_deleteButton =
        button("buttDelete", tr("&Delete Entry"), tr("Delete Entry"), &EntriesWindow::deleteChosen);
    m_previewButton =
        button("butt_Preview", tr("&Preview"), tr("Preview"), &EntriesWindow::preview);
    m_finishButton = button("butt_Fin", tr("&Finish"), tr("Finish"), &EntriesWindow::finish);
    auto* close = button("buttClose", tr("&Close"), tr("Close"), nullptr);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    auto* bar = named(new QMenuBar(this), "menuBar");
    layout->setMenuBar(bar);
    buildMenus(bar);
    layout->addWidget(m_archive);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(m_editButton);
    listButtons->addWidget(m_deleteButton);
    listButtons->addStretch(1);
    layout->addLayout(listButtons);
    layout->addWidget(textLabel);
    layout->addWidget(m_text, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {m_previewButton, m_finishButton, close})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(m_archive, &QCheckBox::toggled, this, &EntriesWindow::reload);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &EntriesWindow::updateButtons);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] {
        if (m_editButton->isEnabled())
            editChosen();
    });
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
        m_previewed = false;
        updateButtons();
    });
    resize(720, 560);
    setEditing(false);
}

EntriesWindow::~EntriesWindow() = default;

void EntriesWindow::buildMenus(QMenuBar* bar)
{
    const auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        return named(menu->addAction(caption), name);
    };
    QMenu* edit = named(bar->addMenu(tr("&Edit")), "mnuEdit");
    using Markup::EditCommand;
    m_edit->bind(EditCommand::Undo, item(edit, "mnuUndo", tr("&Undo")));
    edit->addSeparator();
    m_edit->bind(EditCommand::Cut, item(edit, "mnuCut", tr("Cu&t")));
    m_edit->bind(EditCommand::Copy, item(edit, "mnuCopy", tr("&Copy")));
    m_edit->bind(EditCommand::Paste, item(edit, "mnuPaste", tr("&Paste")));
    m_edit->bind(EditCommand::Delete, item(edit, "mnuDelete", tr("&Delete")));
    edit->addSeparator();
    QAction* spell = item(edit, "mnuSpell", tr("&Spell Check"));
    spell->setShortcut(Qt::Key_F7);
    m_spell = new SpellCommand(this, *m_edit, {nullptr, m_text, nullptr}, m_main,
                               m_main.workspace().prompt());
    connect(spell, &QAction::triggered, m_spell, &SpellCommand::run);

    QMenu* format = named(bar->addMenu(tr("F&ormat")), "mnuHTML");
    const std::pair<const char*, const char*> tags[] = {
        {"mnuP", QT_TR_NOOP("<P></P>")},        {"mnuCenter", QT_TR_NOOP("Center")},
        {"mnuBR", QT_TR_NOOP("<BR>")},          {"mnuBlockQuote", QT_TR_NOOP("BlockQuote")},
        {"mnunbsp", QT_TR_NOOP("Hard Space")},  {"mnuBold", QT_TR_NOOP("&Bold")},
        {"mnuItalics", QT_TR_NOOP("&Italics")}, {"mnuUnder", QT_TR_NOOP("&Underline")},
        {"mnuStrike", QT_TR_NOOP("StrikeOut")}, {"mnuh2", QT_TR_NOOP("Header H2")}};
    for (const auto& [name, caption] : tags) {
        const std::optional<Markup::Tag> tag = Markup::fixedTag(QString::fromLatin1(name));
        Q_ASSERT(tag);
        connect(item(format, name, tr(caption)), &QAction::triggered, m_edit,
                [this, t = *tag] { m_edit->insert(t); });
    }
    format->addSeparator();
    connect(item(format, "mnuLink", tr("&Link")), &QAction::triggered, m_edit,
            &EditCommands::insertLink);
    connect(item(format, "mnufontface", tr("Font &Face")), &QAction::triggered, m_edit,
            &EditCommands::insertFontFace);
    connect(item(format, "mnuFontColor", tr("Font C&olor")), &QAction::triggered, m_edit,
            &EditCommands::insertFontColor);
    for (const auto& [name, key] : {std::pair("mnuBold", QKeySequence(Qt::CTRL | Qt::Key_B)),
                                    std::pair("mnuItalics", QKeySequence(Qt::CTRL | Qt::Key_I)),
                                    std::pair("mnuUnder", QKeySequence(Qt::CTRL | Qt::Key_U))})
        findChild<QAction*>(QLatin1String(name))->setShortcut(key);
}

void EntriesWindow::reload()
{
    setEditing(false);
    m_list->clear();
    if (!m_main.workspace().run().pageRetrieved) {
        // Fetched first; listed once it has come.
        updateButtons();
        m_main.retrievePage(false, [self = QPointer<EntriesWindow>(this)] {
            if (self && self->m_main.workspace().run().pageRetrieved)
                self->reload();
        });
        return;
    }
    if (!m_changes->load(m_archive->isChecked())) {
        updateButtons();
        return;
    }
    for (const PageEntries::Entry& e : m_changes->listing().entries) {
        auto* row = new QTreeWidgetItem(m_list, {e.date, e.time, e.title});
        row->setToolTip(2, QString::fromUtf8(e.anchor));
    }
    for (int column : {0, 1})
        m_list->resizeColumnToContents(column);
    m_list->setCurrentItem(m_list->topLevelItem(0));
    updateButtons();
}

void EntriesWindow::setEditing(bool editing)
{
    if (!editing)
        m_editing = -1;
    {
        const QSignalBlocker quiet(m_text);
        m_text->setPlainText(editing ? m_changes->text(m_editing) : QString());
    }
    m_text->setEnabled(editing);
    m_previewed = false;
    updateButtons();
}

void EntriesWindow::updateButtons()
{
    const int chosen =
        m_list->currentItem() ? m_list->indexOfTopLevelItem(m_list->currentItem()) : -1;
    // Nothing is changed while the page is fetched or published.
    const bool idle = !m_main.jobRunning();
    const bool page = !m_changes->showsArchive() && idle;
    m_editButton->setEnabled(page && chosen >= 0);
    m_deleteButton->setEnabled(page && chosen >= 0 && m_editing < 0);
    m_previewButton->setEnabled(idle && m_editing >= 0);
    m_finishButton->setEnabled(idle && m_editing >= 0 && m_previewed);
}

void EntriesWindow::editChosen()
{
    m_editing = m_list->indexOfTopLevelItem(m_list->currentItem());
    setEditing(m_editing >= 0);
    m_text->setFocus();
}

void EntriesWindow::preview()
{
    if (m_editing < 0)
        return;
    m_previewed = m_changes->previewEdit(m_editing, m_text->toPlainText());
    updateButtons();
}

void EntriesWindow::finish()
{
    if (!m_previewed)
        return;
    m_hooks->publishing = false;
    m_reloadAfterPublish = false;
    m_changes->publish();
    updateButtons();
}

// A publish this window started has ended: the list shows the published page;
// after a failed Finish the edit stays for Resend or another try.
void EntriesWindow::published()
{
    m_hooks->publishing = false;
    const Publisher::Outcome outcome =
        m_main.publisher() ? m_main.publisher()->lastOutcome() : Publisher::Outcome::None;
    if (m_reloadAfterPublish || outcome == Publisher::Outcome::Published ||
        outcome == Publisher::Outcome::Saved)
        reload();
    else
        updateButtons();
}

void EntriesWindow::deleteChosen()
{
    const int chosen = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (chosen < 0)
        return;
    m_hooks->publishing = false;
    m_reloadAfterPublish = true;
    m_changes->deleteEntry(chosen);
    if (!m_hooks->publishing)
        reload(); // the base copy as it was; after a publish, the published page
    else
        updateButtons();
}
