#include "gui/editing/FontPicker.h"

#include "base/Prompt.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

FontPicker::FontPicker(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFont"));
    setWindowTitle(tr("Font Face"));

    cboFonts = new QComboBox(this);
    cboFonts->setObjectName(QStringLiteral("cboFonts"));
    cboFonts->setAccessibleName(tr("Font"));
    cboFonts->setPlaceholderText(tr("Select Font Here..."));
    QStringList installed = QFontDatabase::families();
    installed.removeIf([](const QString& f) { return QFontDatabase::isPrivateFamily(f); });
    cboFonts->addItems(offeredFamilies(installed));
    cboFonts->setCurrentIndex(-1);
    cboFonts->setMaxVisibleItems(20);
    cboFonts->setMinimumContentsLength(28);

    Label2 = new QLabel(tr("(Remember to only use common fonts. If the person does not "
                           "have the font installed, it will not display correctly.)"),
                        this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);

    lblFont = new QLabel(tr("This is an example of your font selection."), this);
    lblFont->setObjectName(QStringLiteral("lblFont"));
    lblFont->setFrameShape(QFrame::StyledPanel);
    lblFont->setFrameShadow(QFrame::Sunken);
    lblFont->setAlignment(Qt::AlignCenter);
    lblFont->setMinimumHeight(64);
    lblFont->setWordWrap(true);
    lblFont->setBackgroundRole(QPalette::Base);
    lblFont->setAutoFillBackground(true);

    auto* box = new QDialogButtonBox(this);
    buttGo = box->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    buttGo->setObjectName(QStringLiteral("buttGo"));
    buttCancel = box->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    buttCancel->setObjectName(QStringLiteral("buttCancel"));
    connect(buttGo, &QPushButton::clicked, this, &FontPicker::confirm);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cboFonts, &QComboBox::currentIndexChanged, this, &FontPicker::showSample);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cboFonts);
    layout->addWidget(Label2);
    layout->addWidget(lblFont, 1);
    layout->addWidget(box);
    setMinimumWidth(380);
    showSample();
}

QStringList FontPicker::offeredFamilies(const QStringList& installed)
{
    QStringList out = {QStringLiteral("Arial"),    QStringLiteral("Helvetica"),
                       QStringLiteral("Georgia"),  QStringLiteral("Times New Roman"),
                       QStringLiteral("Verdana"),  QStringLiteral("Courier New"),
                       QStringLiteral("serif"),    QStringLiteral("sans-serif"),
                       QStringLiteral("monospace")};
    static const QRegularExpression foundry(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    for (const QString& family : installed) {
        const QString name = QString(family).remove(foundry).trimmed();
        if (!name.isEmpty() && !out.contains(name, Qt::CaseInsensitive))
            out << name;
    }
    return out;
}

std::optional<QString> FontPicker::choose(QWidget* parent)
{
    // Reading the font list can take a moment on a system with many fonts.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FontPicker picker(parent);
    QApplication::restoreOverrideCursor();
    picker.exec();
    return picker.chosenFont();
}

void FontPicker::showSample()
{
    QFont sample = font();
    if (cboFonts->currentIndex() >= 0)
        sample.setFamilies({cboFonts->currentText()});
    sample.setPointSize(14);
    lblFont->setFont(sample);
}

void FontPicker::confirm()
{
    if (cboFonts->currentIndex() < 0) {
        prompt().message(tr("Please either select a font or CANCEL."));
        return;
    }
    m_chosen = cboFonts->currentText();
    accept();
}
