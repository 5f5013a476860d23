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

FontPicker::FontPicker(Prompt& prompt, QWidget* parent) : QDialog(parent), m_prompt(prompt)
{
    setObjectName(QStringLiteral("frmFont"));
    setWindowTitle(tr("Font Face"));

    m_fontList = new QComboBox(this);
    m_fontList->setObjectName(QStringLiteral("cboFonts"));
    m_fontList->setAccessibleName(tr("Font"));
    m_fontList->setPlaceholderText(tr("Select Font Here..."));
    QStringList installed = QFontDatabase::families();
    installed.removeIf([](const QString& f) { return QFontDatabase::isPrivateFamily(f); });
    m_fontList->addItems(offeredFamilies(installed));
    m_fontList->setCurrentIndex(-1);
    m_fontList->setMaxVisibleItems(20);
    m_fontList->setMinimumContentsLength(28);

    auto* advice = new QLabel(tr("(Remember to only use common fonts. If the person does not "
                                 "have the font installed, it will not display correctly.)"),
                              this);
    advice->setObjectName(QStringLiteral("Label2"));
    advice->setWordWrap(true);

    m_sample = new QLabel(tr("This is an example of your font selection."), this);
    m_sample->setObjectName(QStringLiteral("lblFont"));
    m_sample->setFrameShape(QFrame::StyledPanel);
    m_sample->setFrameShadow(QFrame::Sunken);
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setMinimumHeight(64);
    m_sample->setWordWrap(true);
    m_sample->setBackgroundRole(QPalette::Base);
    m_sample->setAutoFillBackground(true);

    auto* box = new QDialogButtonBox(this);
    QPushButton* okButton = box->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    okButton->setObjectName(QStringLiteral("buttGo"));
    QPushButton* cancelButton = box->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancelButton->setObjectName(QStringLiteral("buttCancel"));
    connect(okButton, &QPushButton::clicked, this, &FontPicker::confirm);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_fontList, &QComboBox::currentIndexChanged, this, &FontPicker::showSample);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fontList);
    layout->addWidget(advice);
    layout->addWidget(m_sample, 1);
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

std::optional<QString> FontPicker::choose(Prompt& prompt, QWidget* parent)
{
    // Reading the font list can take a moment on a system with many fonts.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FontPicker picker(prompt, parent);
    QApplication::restoreOverrideCursor();
    picker.exec();
    return picker.chosenFont();
}

void FontPicker::showSample()
{
    QFont sample = font();
    if (m_fontList->currentIndex() >= 0)
        sample.setFamilies({m_fontList->currentText()});
    sample.setPointSize(14);
    m_sample->setFont(sample);
}

void FontPicker::confirm()
{
    if (m_fontList->currentIndex() < 0) {
        m_prompt.message(tr("Please either select a font or CANCEL."));
        return;
    }
    m_chosen = m_fontList->currentText();
    accept();
}
