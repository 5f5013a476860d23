#include "gui/PageSourceDialog.h"

#include "base/Workspace.h"

#include "base/ProgramDir.h"
#include "base/Prompt.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

PageSourceDialog::PageSourceDialog(Workspace& ws, QWidget* parent) : QDialog(parent), m_ws(ws)
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(tr("Update Options"));
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setWordWrap(true);
        return l;
    };
    QLabel* question = label("Label1", tr("The version of your web page on the server is different "
                                          "that the last version created by this weblog program."));
    QLabel* reason =
        label("Label2", tr("This commonly occurs when the last entry is not manually uploaded to "
                           "the web page server. However, this may occur if you have updated the "
                           "page since your last weblog entry."));
    QLabel* advice =
        label("Label3", tr("Preview the pages in question if you wish, and then please "
                           "select one of the two options below."));
    auto option = [this](const char* name, const QString& text) {
        auto* o = new QRadioButton(text, this);
        o->setObjectName(QString::fromLatin1(name));
        return o;
    };
    m_localCopy = option("optlocal", tr("Use the last version of the web page created by this "
                                        "program. (local version)"));
    m_serverCopy = option("optserver", tr("Use the version currently on the internet server."));
    m_otherConfig =
        option("optConfig", tr("Actually, I would like to use a different configuration."));
    auto* group = new QButtonGroup(this);
    group->addButton(m_localCopy);
    group->addButton(m_serverCopy);
    group->addButton(m_otherConfig);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* previewLocalButton = button("buttPreviewLocal", tr("Preview Local Version"));
    QPushButton* previewServerButton = button("buttPreviewServer", tr("Preview Server Version"));
    QPushButton* okButton = button("buttOkay", tr("OK"));
    connect(previewLocalButton, &QPushButton::clicked, this, &PageSourceDialog::previewLocal);
    connect(previewServerButton, &QPushButton::clicked, this, &PageSourceDialog::previewServer);
    connect(okButton, &QPushButton::clicked, this, &PageSourceDialog::confirmChoice);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(reason);
    layout->addWidget(advice);
    auto* previews = new QHBoxLayout;
    previews->addWidget(previewLocalButton);
    previews->addWidget(previewServerButton);
    layout->addLayout(previews);
    layout->addWidget(m_localCopy);
    layout->addWidget(m_serverCopy);
    layout->addWidget(m_otherConfig);
    auto* ok = new QHBoxLayout;
    ok->addStretch();
    ok->addWidget(okButton);
    layout->addLayout(ok);
    setMinimumWidth(480);
    // Start-up waits for the answer: the main window's menus must not start
    // anything meanwhile.
    setModal(true);
}

QString PageSourceDialog::choose()
{
    m_tag.clear();
    while (m_tag.isEmpty())
        exec();
    return m_tag;
}

void PageSourceDialog::confirmChoice()
{
    if (m_otherConfig->isChecked())
        m_tag = QStringLiteral("Config");
    else if (m_localCopy->isChecked())
        m_tag = QStringLiteral("Local");
    else if (m_serverCopy->isChecked())
        m_tag = QStringLiteral("Server");
    // Without a choice the window stays up: hiding it would leave the caller
    // waiting for an answer nobody can give any more.
    if (!m_tag.isEmpty())
        accept();
}

void PageSourceDialog::previewLocal()
{
    m_ws.prompt().openDocument(m_ws.workFile(QStringLiteral("backup")));
}

void PageSourceDialog::previewServer()
{
    m_ws.prompt().openDocument(m_ws.workFile(QStringLiteral("indexbackup")));
}

// The window answers only through OK: closing it by its frame or Escape
// keeps the question open, since the caller cannot go on without a choice.
void PageSourceDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void PageSourceDialog::reject() {}
