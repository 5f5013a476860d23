#include "gui/setup/MarkerTool.h"

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

MarkerTool::MarkerTool(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmZip"));
    setWindowTitle(tr("Edit File for Pagewick"));

    Label1 = named(new QLabel(tr("Editing:"), this), "Label1");
    lblFile = named(new QLabel(this), "lblFile");
    txtEdit = named(new QPlainTextEdit(this), "txtEdit");
    txtEdit->setAccessibleName(tr("Page source"));
    txtEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtEdit->setReadOnly(true);
    // Read-only, but with a caret the keyboard moves.
    txtEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblInstructions = named(
        new QLabel(QStringLiteral(
                       "The text above is from the web page you selected. Place the cursor where "
                       "you would like pagewick to place your web page updates. After you hit the "
                       "INSERT CODE button, your web page will appear with a generic pagewick "
                       "entry. When you are happy with the POSITION, we will move on. There will "
                       "options for customizing your pagewick entries later."),
                   this),
        "lblInstructions");
    lblInstructions->setWordWrap(true);
    buttInsertCode = named(new QPushButton(tr("Insert Code!"), this), "buttInsertCode");
    buttarchivecode = named(new QPushButton(tr("Insert Archive Code"), this), "buttarchivecode");
    buttCancel = named(new QPushButton(tr("Cancel"), this), "buttCancel");
    for (QPushButton* b : {buttInsertCode, buttarchivecode, buttCancel})
        b->setAutoDefault(false);
    connect(buttInsertCode, &QPushButton::clicked, this,
            [this] { insert(Setup::MarkerKind::Main); });
    connect(buttarchivecode, &QPushButton::clicked, this,
            [this] { insert(Setup::MarkerKind::Archive); });
    connect(buttCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(Label1);
    fileRow->addWidget(lblFile, 1);
    layout->addLayout(fileRow);
    layout->addWidget(txtEdit, 1);
    layout->addWidget(lblInstructions);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(buttInsertCode);
    buttons->addWidget(buttarchivecode);
    buttons->addWidget(buttCancel);
    layout->addLayout(buttons);
    resize(720, 520);
    setMainInsertion(true);
}

void MarkerTool::setMainInsertion(bool main)
{
    buttInsertCode->setVisible(main);
    buttInsertCode->setEnabled(main);
    buttarchivecode->setVisible(!main);
    buttarchivecode->setEnabled(!main);
}

void MarkerTool::setPage(const QByteArray& page, const QString& remotePath)
{
    m_source = Setup::PageSource(page);
    m_remotePath = remotePath;
    lblFile->setText(remotePath);
    txtEdit->setPlainText(m_source.text());
}

bool MarkerTool::writeWorkFile(const QByteArray& bytes)
{
    QString error;
    if (AtomicFile::save(programFile(kWorkFile), {bytes}, FileAccess::Ordinary, &error))
        return true;
    prompt().message(tr("The file ") + QDir::toNativeSeparators(programFile(kWorkFile)) +
                         tr(" could not be written: ") + error,
                     Buttons::Ok, Icon::Exclamation);
    return false;
}

void MarkerTool::insert(Setup::MarkerKind kind)
{
    txtEdit->setFocus();
    // Plain numbers: a cursor would move with the text replaced below.
    const int anchor = txtEdit->textCursor().anchor();
    const int position = txtEdit->textCursor().position();
    const Setup::MarkedPage marked =
        Setup::placeMarkers(m_source, qMin(anchor, position), qMax(anchor, position), kind);

    // The box shows the markers at the caret while the question is open.
    txtEdit->setPlainText(Setup::PageSource(marked.page).text());
    QTextCursor after = txtEdit->textCursor();
    after.setPosition(static_cast<int>(marked.textCaret));
    txtEdit->setTextCursor(after);

    auto restore = [&] {
        txtEdit->setPlainText(m_source.text());
        QTextCursor c = txtEdit->textCursor();
        c.setPosition(anchor);
        c.setPosition(position, QTextCursor::KeepAnchor);
        txtEdit->setTextCursor(c);
    };

    if (!writeWorkFile(Setup::previewFile(marked, kind))) {
        restore();
        return;
    }
    prompt().openDocument(programDir() + QLatin1Char('/') + kWorkFile);
    if (prompt().message(Setup::positionQuestion(kind), Buttons::YesNo, Icon::Question,
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
        m_uploader(programDir() + QLatin1Char('/') + kWorkFile, m_remotePath);
    accept();
}
