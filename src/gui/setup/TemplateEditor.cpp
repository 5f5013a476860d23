#include "gui/setup/TemplateEditor.h"

#include "base/Workspace.h"

#include "gui/WidgetHelpers.h"

#include "base/AtomicFile.h"
#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "base/StringHelpers.h"
#include "core/config/ConfigLoader.h"
#include "gui/AboutDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using Widgets::named;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The placeholders the entry builder fills, so that nobody has to remember
// them.
QString legend()
{
    return kCrLf + QStringLiteral("%title = Title") + kCrLf + QStringLiteral("%body = Body") +
           kCrLf + QStringLiteral("%sig = Sig") + kCrLf + QStringLiteral("%date = Date") + kCrLf +
           QStringLiteral("%time = Time") + kCrLf + QStringLiteral("%url = URL") + kCrLf + kCrLf +
           QStringLiteral("%newurl = URL") + kCrLf + QStringLiteral("(will open in new window)") +
           kCrLf;
}

FileRequest templateFileRequest(FileRequest::Kind kind, const QString& dir)
{
    FileRequest r;
    r.kind = kind;
    r.initialDir = dir;
    r.filter = QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt");
    r.filterIndex = 2;
    r.defaultExt = QStringLiteral("txt");
    return r;
}

} // namespace

TemplateEditor::TemplateEditor(Workspace& ws, MainView* view, QWidget* parent)
    : QDialog(parent), m_view(view), m_ws(ws)
{
    setObjectName(QStringLiteral("frmTemplate"));
    setWindowTitle(tr("Template"));

    m_text = named(new QPlainTextEdit(this), "Text1");
    m_text->setAccessibleName(tr("Template"));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->installEventFilter(this);
    auto* legendLabel = named(new QLabel(legend(), this), "Label1");
    legendLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* fileLabel = named(new QLabel(tr("Using template file:"), this), "Label2");
    m_fileName = named(new QLabel(tr("Template FileName:"), this), "lblFileName");
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* okButton = named(new QPushButton(tr("OK"), this), "buttOK");
    auto* cancelButton = named(new QPushButton(tr("Cancel"), this), "buttCancel");
    okButton->setAutoDefault(false);
    cancelButton->setAutoDefault(false);
    connect(okButton, &QPushButton::clicked, this, &TemplateEditor::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &TemplateEditor::cancel);

    auto* layout = new QVBoxLayout(this);
    m_menuBar = named(new QMenuBar(this), "menuBar");
    layout->setMenuBar(m_menuBar);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(m_fileName, 1);
    layout->addLayout(fileRow);
    auto* body = new QHBoxLayout;
    body->addWidget(m_text, 1);
    body->addWidget(legendLabel);
    layout->addLayout(body, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    buildMenus();
    resize(640, 420);

    // The load step: the configured file, or the default template.
    const TemplateLoad load = loadTemplate(m_ws.settings(), m_ws.prompt());
    setFile(load.fileName);
    m_text->setPlainText(load.editorText);
    connect(m_text, &QPlainTextEdit::textChanged, this, [this] { m_changed = true; });
    m_changed = false;
}

QAction* TemplateEditor::addTagItem(QMenu* menu, const char* name, const QString& caption,
                                    const char* command)
{
    QAction* a = named(menu->addAction(caption), name);
    const std::optional<Markup::Tag> tag =
        Markup::templateEditorTag(QString::fromLatin1(command ? command : name));
    Q_ASSERT(tag);
    connect(a, &QAction::triggered, this, [this, t = *tag] { applyMarkup(t); });
    return a;
}

void TemplateEditor::buildMenus()
{
    auto menu = [this](QMenu* parent, const char* name, const QString& caption) {
        QMenu* m = parent ? parent->addMenu(caption) : m_menuBar->addMenu(caption);
        return named(m, name);
    };
    auto item = [this](QMenu* m, const char* name, const QString& caption, auto slot) {
        QAction* a = named(m->addAction(caption), name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };

    QMenu* file = menu(nullptr, "mnuFile", tr("&File"));
    item(file, "mnuLoad", tr("Load Template"), [this] { loadFile(); });
    item(file, "mnuSave", tr("Save Template"), [this] { saveFile(); });

    QMenu* edit = menu(nullptr, "mnuEdit", tr("&Edit"));
    connect(edit, &QMenu::aboutToShow, this, &TemplateEditor::refreshEditMenu);
    const std::pair<const char*, const char*> edits[] = {{"mnuUndo", QT_TR_NOOP("&Undo")},
                                                         {"mnuCut", QT_TR_NOOP("Cu&t")},
                                                         {"mnuCopy", QT_TR_NOOP("&Copy")},
                                                         {"mnuPaste", QT_TR_NOOP("&Paste")},
                                                         {"mnuDelete", QT_TR_NOOP("&Delete")}};
    const Markup::EditCommand commands[] = {Markup::EditCommand::Undo, Markup::EditCommand::Cut,
                                            Markup::EditCommand::Copy, Markup::EditCommand::Paste,
                                            Markup::EditCommand::Delete};
    for (int i = 0; i < 5; ++i)
        m_editActions[i] = item(edit, edits[i].first, tr(edits[i].second),
                                [this, c = commands[i]] { runEditCommand(c); });

    QMenu* html = menu(nullptr, "mnuHTML", tr("F&ormat"));
    QMenu* align = menu(html, "mnualign", tr("<P> Align"));
    addTagItem(align, "mnualigncenter", tr("Center"));
    addTagItem(align, "mnualignleft", tr("Left"));
    addTagItem(align, "mnualignright", tr("Right"));
    addTagItem(align, "mnualignjustify", tr("Justify"));
    addTagItem(html, "mnuP", QStringLiteral("<P></P>"));
    addTagItem(html, "mnuCenter", tr("Center"));
    addTagItem(html, "mnuBR", tr("<BR>\tCtrl+Enter"));
    addTagItem(html, "mnuBlockQuote", tr("BlockQuote"));
    addTagItem(html, "mnunbsp", tr("Hard Space\tCtrl+Space"));
    QMenu* fonts = menu(html, "mnuFontS", tr("Fonts"));
    QMenu* size = menu(fonts, "mnuFontSize", tr("Font Size"));
    addTagItem(size, "mnuFontUp1", QStringLiteral("+1"));
    addTagItem(size, "mnuFontUp2", QStringLiteral("+2"));
    addTagItem(size, "mnuFontDown1", QStringLiteral("-1"));
    addTagItem(size, "mnuFontdown2", QStringLiteral("-2"), "mnuFontDown2");
    item(fonts, "mnuFontFace", tr("Font Face"), [this] { insertFontFace(); });
    item(fonts, "mnuFontColor", tr("Font Color"), [this] { insertFontColor(); });
    QMenu* headers = menu(html, "mnuheaders", tr("Headers"));
    for (int i = 1; i <= 6; ++i) {
        const QByteArray name = "mnuh" + QByteArray::number(i);
        addTagItem(headers, name.constData(), QStringLiteral("H%1").arg(i));
    }
    addTagItem(html, "mnuBold", tr("Bold"))->setShortcut(Qt::CTRL | Qt::Key_B);
    addTagItem(html, "mnuItalics", tr("Italics"))->setShortcut(Qt::CTRL | Qt::Key_I);
    addTagItem(html, "mnuUnder", tr("Underline"))->setShortcut(Qt::CTRL | Qt::Key_U);
    addTagItem(html, "mnuStrike", tr("StrikeOut"));
    addTagItem(html, "mnuTT", tr("Teletype"));
    addTagItem(html, "mnuSuper", tr("SuperScript"));
    addTagItem(html, "mnuSub", tr("SubScript"));

    QMenu* help = menu(nullptr, "mnuHelp", tr("&Help"));
    item(help, "mnuHelpfiles", tr("Help Files"),
         [this] { m_ws.prompt().openDocument(m_ws.file(QStringLiteral("pagewick.html"))); });
    item(help, "mnuWebsite", tr("Template Web Site"), [this] {
        m_ws.prompt().openDocument(makerSite() + QStringLiteral("/pagewick/templates.html"));
    });
    item(help, "mnuAbout", tr("About PageWick"), [this] {
        AboutDialog about(m_ws.prompt(), this);
        about.exec();
    });
}

void TemplateEditor::setFile(const QString& file)
{
    m_file = file;
    m_fileName->setText(file);
}

QString TemplateEditor::editorText() const
{
    return m_text->toPlainText().replace(QLatin1Char('\n'), kCrLf);
}

bool TemplateEditor::askToSave()
{
    if (!m_changed)
        return true;
    const QString q = tr("Save Changes?");
    switch (m_ws.prompt().message(q, Buttons::YesNoCancel, Icon::Question, q)) {
    case Answer::Yes:
        // A save the user called off (or one that failed) keeps the text
        // and ends the command, so nothing typed is lost unasked.
        return saveFile();
    case Answer::No:
        return true;
    default:
        return false;
    }
}

void TemplateEditor::confirm()
{
    // In use at once, even when the question below is answered Cancel.
    m_ws.settings().templateText = trimBlanks(editorText());
    if (!askToSave())
        return;
    const Settings& s = m_ws.settings();
    writeSetting(s.activeSection, QStringLiteral("templatefilename"), m_file, s.settingsPath);
    // An entry previewed with the old template must be previewed again.
    if (m_view)
        m_view->setFinishEnabled(false);
    accept();
}

void TemplateEditor::cancel()
{
    if (!askToSave())
        return;
    if (m_ws.settings().templateText.isEmpty())
        m_ws.settings().templateText = defaultTemplate();
    QDialog::reject();
}

void TemplateEditor::reject()
{
    QDialog::reject();
}

void TemplateEditor::keyPressEvent(QKeyEvent* event)
{
    // Escape is the Cancel button: changes are not dropped unasked.
    if (event->matches(QKeySequence::Cancel)) {
        cancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TemplateEditor::loadFile()
{
    if (!askToSave())
        return;
    const std::optional<QString> chosen =
        m_ws.prompt().chooseFile(templateFileRequest(FileRequest::Open, m_ws.dir()));
    if (!chosen)
        return;
    setFile(*chosen);
    m_text->clear();
    QString text;
    if (!readTemplateFile(*chosen, &text))
        return; // empty, named after the new file, and counted as changed
    m_text->setPlainText(text);
    m_changed = false;
}

bool TemplateEditor::saveFile()
{
    const std::optional<QString> chosen =
        m_ws.prompt().chooseFile(templateFileRequest(FileRequest::Save, m_ws.dir()));
    if (!chosen)
        return false;
    const QString path = QDir::isAbsolutePath(*chosen) ? *chosen : m_ws.file(*chosen);
    const QByteArray bytes = (trimBlanks(editorText()) + kCrLf).toUtf8();
    QString error;
    if (!AtomicFile::save(path, {bytes}, FileAccess::Ordinary, &error)) {
        m_ws.prompt().message(tr("The template could not be saved to ") +
                                  QDir::toNativeSeparators(path) + tr(": ") + error,
                              Buttons::Ok, Icon::Exclamation);
        return false;
    }
    setFile(*chosen);
    m_changed = false;
    return true;
}

void TemplateEditor::applyMarkup(const Markup::Tag& tag)
{
    if (const std::optional<QTextCursor> at = markupTarget())
        wrapSelection(*at, tag);
}

std::optional<QTextCursor> TemplateEditor::markupTarget() const
{
    if (QApplication::focusWidget() != m_text || m_text->isReadOnly())
        return std::nullopt;
    return m_text->textCursor();
}

void TemplateEditor::wrapSelection(QTextCursor c, const Markup::Tag& tag)
{
    const QString selected = c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    const Markup::Insertion ins = Markup::wrap(selected, tag, Markup::CaretRule::AfterInsertion);
    c.insertText(ins.text);
    m_text->setTextCursor(c);
    m_text->setFocus();
}

// The font and colour dialogs take the focus: the selection to wrap is the
// one the command started with.
void TemplateEditor::insertFontFace()
{
    const std::optional<QTextCursor> at = markupTarget();
    if (!at)
        return;
    if (const std::optional<QString> face = m_ws.prompt().chooseFont())
        wrapSelection(*at, Markup::fontFaceTag(*face));
}

void TemplateEditor::insertFontColor()
{
    const std::optional<QTextCursor> at = markupTarget();
    if (!at)
        return;
    if (const std::optional<quint32> color = m_ws.prompt().chooseColor(m_color)) {
        m_color = *color;
        wrapSelection(*at, Markup::fontColorTag(*color));
    }
}

void TemplateEditor::refreshEditMenu()
{
    const bool onText = QApplication::focusWidget() == m_text;
    const bool selection = onText && m_text->textCursor().hasSelection();
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    m_editActions[0]->setEnabled(onText && m_text->document()->isUndoAvailable());
    m_editActions[1]->setEnabled(selection);
    m_editActions[2]->setEnabled(selection);
    m_editActions[3]->setEnabled(onText && clip && clip->hasText());
    m_editActions[4]->setEnabled(selection);
}

void TemplateEditor::runEditCommand(Markup::EditCommand command)
{
    if (QApplication::focusWidget() != m_text) {
        m_ws.prompt().beep();
        return;
    }
    switch (command) {
    case Markup::EditCommand::Undo:
        m_text->undo();
        break;
    case Markup::EditCommand::Cut:
        m_text->cut();
        break;
    case Markup::EditCommand::Copy:
        m_text->copy();
        break;
    case Markup::EditCommand::Paste:
        m_text->paste();
        break;
    case Markup::EditCommand::Delete:
        m_text->textCursor().removeSelectedText();
        break;
    }
}

bool TemplateEditor::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+U would clear the line (X11): the Underline command takes it.
    if (watched == m_text && event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        const auto actions = m_menuBar->findChildren<QAction*>();
        if (std::any_of(actions.begin(), actions.end(),
                        [&](const QAction* a) { return a->shortcut() == pressed; })) {
            event->ignore();
            return true;
        }
    }
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier) {
            if (key->key() == Qt::Key_Space) {
                applyMarkup(*Markup::templateEditorTag(u"mnunbsp"));
                return true;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                applyMarkup(*Markup::templateEditorTag(u"mnuBR"));
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
