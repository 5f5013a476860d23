#include "gui/editing/PictureDialog.h"

#include "base/Workspace.h"

#include "base/MainView.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/picture/PictureStore.h"
#include "gui/editing/EditCommands.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr QSize kShownSize(360, 270);

QImage shownPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid() &&
        (size.width() > kShownSize.width() || size.height() > kShownSize.height()))
        reader.setScaledSize(size.scaled(kShownSize, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace

PictureDialog::PictureDialog(const QImage& shown, const QString& description, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPicture"));
    setWindowTitle(tr("Picture"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("lblPicture"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setMinimumSize(kShownSize);
    picture->setPixmap(QPixmap::fromImage(shown));
    picture->setAccessibleName(tr("The picture"));
    auto* info = new QLabel(description, this);
    info->setObjectName(QStringLiteral("lblPictureInfo"));

    auto* altLabel = new QLabel(tr("&Alternative text (what the picture shows):"), this);
    m_alt = new QLineEdit(this);
    m_alt->setObjectName(QStringLiteral("txtAlt"));
    m_alt->setAccessibleName(tr("Alternative text (what the picture shows):"));
    altLabel->setBuddy(m_alt);
    m_decorative =
        new QCheckBox(tr("&Decorative: it shows nothing a reader needs (no text)"), this);
    m_decorative->setObjectName(QStringLiteral("chkDecorative"));

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = box->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("buttOK"));
    box->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("buttCancel"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_alt, &QLineEdit::textChanged, this, &PictureDialog::updateOk);
    connect(m_decorative, &QCheckBox::toggled, this, [this](bool on) {
        m_alt->setEnabled(!on);
        updateOk();
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture, 1);
    layout->addWidget(info);
    layout->addWidget(altLabel);
    layout->addWidget(m_alt);
    layout->addWidget(m_decorative);
    layout->addWidget(box);
    m_alt->setFocus();
    updateOk();
}

QString PictureDialog::altText() const
{
    return m_decorative->isChecked() ? QString() : m_alt->text().simplified();
}

void PictureDialog::updateOk()
{
    m_ok->setEnabled(m_decorative->isChecked() || !m_alt->text().trimmed().isEmpty());
}

PictureCommand::PictureCommand(Workspace& ws, QWidget* window, EditCommands& edit, MainView& view)
    : QObject(window), m_window(window), m_edit(edit), m_view(view), m_ws(ws)
{
}

void PictureCommand::run()
{
    const EditCommands::Target target = m_edit.target();
    if (!target.box) {
        m_ws.prompt().beep();
        return;
    }
    const auto refuse = [this](const QString& text) {
        m_ws.prompt().message(text, Buttons::Ok, Icon::Exclamation, tr("Picture"));
    };
    QString error;
    const std::optional<Picture::Options> options = Picture::readOptions(m_ws.settings(), &error);
    if (!options)
        return refuse(error);
    FileRequest request;
    request.initialDir = m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder;
    request.filter = tr("Pictures") + QStringLiteral("|*.png *.jpg *.jpeg *.gif *.webp *.svg|") +
                     tr("All Files") + QStringLiteral("|*");
    const std::optional<QString> path = m_ws.prompt().chooseFile(request);
    if (!path)
        return;
    m_lastFolder = QFileInfo(*path).absolutePath();
    const std::optional<Picture::Header> header = Picture::inspect(*path, &error);
    if (!header)
        return refuse(error);

    auto* dialog = new PictureDialog(shownPicture(*path),
                                     tr("%1, %2 x %3 pixels")
                                         .arg(QFileInfo(*path).fileName())
                                         .arg(header->size.width())
                                         .arg(header->size.height()),
                                     m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, target, file = *path, o = *options] {
        QString why;
        const std::optional<Picture::Placed> placed =
            Picture::place(file, dialog->altText(), o, &why);
        if (!placed) {
            m_ws.prompt().message(why, Buttons::Ok, Icon::Exclamation, tr("Picture"));
            return;
        }
        for (const QString& note : placed->notes)
            m_view.appendStatus(note);
        EditCommands::insertInto(target, {placed->tag, QString()});
    });
    dialog->open();
}
