#include "gui/setup/MarkerTool.h"

#include "base/Workspace.h"

#include "gui/WidgetHelpers.h"

#include "base/AtomicFile.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

using Widgets::named;

namespace {

const QString kWorkFile = QStringLiteral("wizardtemp.html");

} // namespace

MarkerTool::MarkerTool(Workspace& ws, QWidget* parent) : QDialog(parent), m_ws(ws)
{
    setObjectName(QStringLiteral("frmZip"));
    setWindowTitle(tr("Edit File for Pagewick"));

    auto* fileLabel = named(new QLabel(tr("Editing:"), this), "Label1");
    m_fileName = named(new QLabel(this), "lblFile");
    m_pageText = named(new QPlainTextEdit(this), "txtEdit");
    m_pageText->setAccessibleName(tr("Page source"));
    m_pageText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pageText->setReadOnly(true);
    // Read-only, but with a caret the keyboard moves.
    m_pageText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* instructions = named(
        new QLabel(QStringLiteral(
                       "The text above is from the web page you selected. Place the cursor where "
                       "you would like pagewick to place your web page updates. After you hit the "
                       "INSERT CODE button, your web page will appear with a generic pagewick "
                       "entry. When you are happy with the POSITION, we will move on. There will "
                       "options for customizing your pagewick entries later."),
                   this),
        "lblInstructions");
    instructions->setWordWrap(true);
    m_insertButton = named(new QPushButton(tr("Insert Code!"), this), "buttInsertCode");
    m_archiveButton = named(new QPushButton(tr("Insert Archive Code"), this), "buttarchivecode");
    auto* cancelButton = named(new QPushButton(tr("Cancel"), this), "buttCancel");
    for (QPushButton* b : {m_insertButton, m_archiveButton, cancelButton})
        b->setAutoDefault(false);
    connect(m_insertButton, &QPushButton::clicked, this,
            [this] { insert(Setup::MarkerKind::Main); });
    connect(m_archiveButton, &QPushButton::clicked, this,
            [this] { insert(Setup::MarkerKind::Archive); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(m_fileName, 1);
    layout->addLayout(fileRow);
    layout->addWidget(m_pageText, 1);
    layout->addWidget(instructions);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_insertButton);
    buttons->addWidget(m_archiveButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    resize(720, 520);
    setMainInsertion(true);
}

void MarkerTool::setMainInsertion(bool main)
{
    m_insertButton->setVisible(main);
    m_insertButton->setEnabled(main);
    m_archiveButton->setVisible(!main);
    m_archiveButton->setEnabled(!main);
}

void MarkerTool::setPage(const QByteArray& page, const QString& remotePath)
{
    m_source = Setup::PageSource(page);
    m_remotePath = remotePath;
    m_fileName->setText(remotePath);
    m_pageText->setPlainText(m_source.text());
}

bool MarkerTool::writeWorkFile(const QByteArray& bytes)
{
    QString error;
    if (AtomicFile::save(m_ws.file(kWorkFile), {bytes}, FileAccess::Ordinary, &error))
        return true;
    m_ws.prompt().message(tr("The file ") + QDir::toNativeSeparators(m_ws.file(kWorkFile)) +
                              tr(" could not be written: ") + error,
                          Buttons::Ok, Icon::Exclamation);
    return false;
}

void MarkerTool::insert(Setup::MarkerKind kind)
{
    m_pageText->setFocus();
    // Plain numbers: a cursor would move with the text replaced below.
    const int anchor = m_pageText->textCursor().anchor();
    const int position = m_pageText->textCursor().position();
    const Setup::MarkedPage marked =
        Setup::placeMarkers(m_source, qMin(anchor, position), qMax(anchor, position), kind);

    // The box shows the markers at the caret while the question is open.
    m_pageText->setPlainText(Setup::PageSource(marked.page).text());
    QTextCursor after = m_pageText->textCursor();
    after.setPosition(static_cast<int>(marked.textCaret));
    m_pageText->setTextCursor(after);

    auto restore = [&] {
        m_pageText->setPlainText(m_source.text());
        QTextCursor c = m_pageText->textCursor();
        c.setPosition(anchor);
        c.setPosition(position, QTextCursor::KeepAnchor);
        m_pageText->setTextCursor(c);
    };

    if (!writeWorkFile(Setup::previewFile(marked, kind))) {
        restore();
        return;
    }
    m_ws.prompt().openDocument(m_ws.file(kWorkFile));
    if (m_ws.prompt().message(Setup::positionQuestion(kind), Buttons::YesNo, Icon::Question,
                              tr("Correct Position?")) != Answer::Yes) {
        restore();
        return;
    }
    // The page the server gets: the markers, never the samples.
    if (!writeWorkFile(Setup::markedFile(marked))) {
        restore();
        return;
    }
    m_source = Setup::PageSource(marked.page);
    hide();
    if (m_uploader)
        m_uploader(m_ws.file(kWorkFile), m_remotePath);
    accept();
}
