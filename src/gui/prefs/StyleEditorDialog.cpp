#include "gui/prefs/StyleEditorDialog.h"

#include "base/Workspace.h"

#include "gui/WidgetHelpers.h"

#include "base/MainView.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/config/ConfigLoader.h"
#include "core/config/StyleEditing.h"
#include "core/entry/EntryBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

using Widgets::named;

namespace {

QColor colorOf(const QString& number)
{
    const auto v = static_cast<quint32>(static_cast<qint64>(std::nearbyint(numericValue(number))));
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

QString sampleText(const QString& field)
{
    const QDateTime now = entryNow();
    if (field == QLatin1String("Title"))
        return QCoreApplication::translate("StyleEditorDialog", "The title of an entry");
    if (field == QLatin1String("Body"))
        return QCoreApplication::translate("StyleEditorDialog",
                                           "The text of an entry, as the page shows it.");
    if (field == QLatin1String("Date"))
        return entryDateText(now);
    if (field == QLatin1String("Time"))
        return entryTimeText(now);
    if (field == QLatin1String("Sig"))
        return QCoreApplication::translate("StyleEditorDialog", "Your signature");
    return QCoreApplication::translate("StyleEditorDialog", "A link to another page");
}

} // namespace

StyleEditorDialog::StyleEditorDialog(Workspace& ws, MainView& view, QWidget* parent)
    : QDialog(parent), m_view(view), m_ws(ws)
{
    setObjectName(QStringLiteral("frmAll"));
    setWindowTitle(tr("Customize Your Entry"));
    build();

    for (StyleField f : kStyleFields)
        m_field->addItem(styleFieldName(f));
    m_field->setCurrentIndex(0);
    m_currentField = m_field->currentText();
    loadStyles(m_ws.settings());
    showFieldStyle();
    m_fieldChanged = false;
    m_apply->setEnabled(false);
    m_view.setFinishEnabled(false);
}

StyleEditorDialog::~StyleEditorDialog() = default;

void StyleEditorDialog::build()
{
    QLabel* fieldLabel = named(new QLabel(tr("Field to edit:")), "Label1");
    m_field = named(new QComboBox, "Combo1");
    fieldLabel->setBuddy(m_field);

    m_font = named(new QPushButton(tr("Font")), "buttFont");
    m_fontDefault = named(new QPushButton(tr("Default")), "buttFontDefault");
    m_fontDefault->setAccessibleName(tr("Default font"));
    m_fontSample = named(new QLabel, "lblFontSample");
    m_fontSample->setAccessibleName(tr("Font face"));

    QLabel* sizeLabel = named(new QLabel(tr("Font Size:")), "Label2");
    m_size = named(new QLineEdit(QStringLiteral("Default")), "txtFontSize");
    m_size->setMaximumWidth(70);
    sizeLabel->setBuddy(m_size);
    m_sizeScroll = Widgets::stepScrollBar("VScroll1", tr("Font size steps"), 0, 12, m_size);

    m_color = named(new QPushButton(tr("Color")), "buttColor");
    m_colorDefault = named(new QPushButton(tr("Default")), "buttColorDefault");
    m_colorDefault->setAccessibleName(tr("Default colour"));
    m_colorText = named(new QLabel, "lblColor");
    m_colorText->setAccessibleName(tr("Colour"));
    m_colorSample = named(new QLabel, "lblColorSample");
    m_colorSample->setAccessibleName(tr("Colour sample"));
    m_colorSample->setAutoFillBackground(true);
    m_colorSample->setFrameShape(QFrame::Box);
    m_colorSample->setFixedSize(40, 20);

    m_bold = named(new QCheckBox(tr("Bold")), "chkbold");
    m_italic = named(new QCheckBox(tr("Italics")), "chkitalics");
    m_strikeout = named(new QCheckBox(tr("Strikeout")), "chkStrikeout");
    m_underline = named(new QCheckBox(tr("Underline")), "chkUnderline");

    auto* sampleBox = named(new QGroupBox(tr("Sample")), "fraSample");
    m_sample = named(new QLabel, "lblSample");
    m_sample->setTextFormat(Qt::RichText);
    m_sample->setAccessibleName(tr("Sample of the styled field"));
    m_sample->setMinimumHeight(48);
    m_sample->setWordWrap(true);
    auto* sampleLayout = new QVBoxLayout(sampleBox);
    sampleLayout->addWidget(m_sample);

    m_apply = named(new QPushButton(tr("Apply")), "buttApply");
    m_ok = named(new QPushButton(tr("OK")), "buttOK");
    m_cancel = named(new QPushButton(tr("Cancel")), "buttCancel");
    m_ok->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(fieldLabel, 0, 0);
    grid->addWidget(m_field, 0, 1, 1, 3);
    grid->addWidget(m_font, 1, 0);
    grid->addWidget(m_fontDefault, 1, 1);
    grid->addWidget(m_fontSample, 1, 2, 1, 2);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_size);
    sizeRow->addWidget(m_sizeScroll);
    sizeRow->addStretch();
    grid->addWidget(sizeLabel, 2, 0);
    grid->addLayout(sizeRow, 2, 1, 1, 3);
    grid->addWidget(m_color, 3, 0);
    grid->addWidget(m_colorDefault, 3, 1);
    grid->addWidget(m_colorText, 3, 2);
    grid->addWidget(m_colorSample, 3, 3, Qt::AlignLeft);
    auto* effects = new QHBoxLayout;
    for (QCheckBox* c : {m_bold, m_italic, m_strikeout, m_underline})
        effects->addWidget(c);
    effects->addStretch();
    grid->addLayout(effects, 4, 0, 1, 4);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_apply);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addWidget(sampleBox, 1);
    outer->addLayout(buttons);

    connect(m_field, &QComboBox::activated, this, &StyleEditorDialog::fieldChosen);
    connect(m_sizeScroll, &QScrollBar::valueChanged, this, &StyleEditorDialog::sizeScrolled);
    connect(m_size, &QLineEdit::textEdited, this, &StyleEditorDialog::markChanged);
    connect(m_font, &QPushButton::clicked, this, &StyleEditorDialog::chooseFont);
    connect(m_fontDefault, &QPushButton::clicked, this, [this] {
        showFace(
            storeStyleValue(m_ws.settings(), m_field->currentText(), QStringLiteral("fontname"), {})
                .value_or(QString()));
        markChanged();
    });
    connect(m_color, &QPushButton::clicked, this, &StyleEditorDialog::chooseColor);
    connect(m_colorDefault, &QPushButton::clicked, this, [this] {
        markChanged();
        showColor(storeStyleValue(m_ws.settings(), m_field->currentText(),
                                  QStringLiteral("fontcolor"), {})
                      .value_or(QString()));
        updateSample();
    });
    for (QCheckBox* c : {m_bold, m_italic, m_strikeout, m_underline})
        connect(c, &QCheckBox::toggled, this, [this] {
            if (!m_filling)
                markChanged();
        });
    connect(m_apply, &QPushButton::clicked, this, &StyleEditorDialog::apply);
    connect(m_ok, &QPushButton::clicked, this, &StyleEditorDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &StyleEditorDialog::reject);
}

void StyleEditorDialog::markChanged()
{
    m_fieldChanged = true;
    m_apply->setEnabled(true);
    updateSample();
}

// Shows the values of the field chosen in the list.
void StyleEditorDialog::showFieldStyle()
{
    const std::optional<StyleField> field = styleFieldNamed(m_field->currentText());
    if (!field)
        return;
    const FieldStyle& style = m_ws.settings().style(*field);
    m_filling = true;
    m_fontSample->setText(style.fontname.isEmpty() ? QStringLiteral("Default") : style.fontname);
    // A stored size is shown as stored, also one the scroll bar cannot reach;
    // moving the scroll bar replaces it.
    m_size->setText(style.fontsize.isEmpty() ? QStringLiteral("Default") : style.fontsize);
    m_sizeScroll->setValue(sizeScrollPosition(style.fontsize));
    showColor(style.fontcolor);
    m_bold->setChecked(style.fontbold == QLatin1String("1"));
    m_italic->setChecked(style.fontitalic == QLatin1String("1"));
    m_strikeout->setChecked(style.strikethru == QLatin1String("1"));
    m_underline->setChecked(style.underline == QLatin1String("1"));
    m_filling = false;
    m_fieldChanged = false;
    updateSample();
}

void StyleEditorDialog::showFace(const QString& face)
{
    m_fontSample->setText(face);
    updateSample();
}

void StyleEditorDialog::showColor(const QString& color)
{
    QPalette p = m_colorSample->palette();
    if (color.isEmpty() || !isUsableFontColor(color)) {
        // A value from a hand-edited file that is no colour is shown as it is.
        m_colorText->setText(color.isEmpty() ? QStringLiteral("Default") : color);
        p.setColor(QPalette::Window, palette().color(QPalette::Button));
    } else {
        const auto number = static_cast<qint64>(std::nearbyint(numericValue(color)));
        m_colorText->setText(colorToHex(number));
        p.setColor(QPalette::Window, colorOf(color));
    }
    m_colorSample->setPalette(p);
}

void StyleEditorDialog::sizeScrolled(int position)
{
    if (m_filling)
        return;
    m_size->setText(sizeStepText(position - 3));
    markChanged();
}

void StyleEditorDialog::chooseFont()
{
    const std::optional<QString> face = m_ws.prompt().chooseFont();
    if (!face)
        return;
    showFace(
        storeStyleValue(m_ws.settings(), m_field->currentText(), QStringLiteral("fontname"), *face)
            .value_or(QString()));
    markChanged();
}

void StyleEditorDialog::chooseColor()
{
    markChanged();
    const std::optional<StyleField> field = styleFieldNamed(m_field->currentText());
    const QString current = field ? m_ws.settings().style(*field).fontcolor : QString();
    const quint32 start =
        current.isEmpty()
            ? 0
            : static_cast<quint32>(static_cast<qint64>(numericValue(current)) & 0xFFFFFF);
    const std::optional<quint32> color = m_ws.prompt().chooseColor(start);
    if (!color)
        return;
    showColor(storeStyleValue(m_ws.settings(), m_field->currentText(), QStringLiteral("fontcolor"),
                              QString::number(*color))
                  .value_or(QString()));
    updateSample();
}

// The effects and the size of the shown field go into the record (face and
// colour are stored as soon as they are chosen).
void StyleEditorDialog::storeShownField(const QString& field)
{
    Settings& s = m_ws.settings();
    const std::pair<const char*, QCheckBox*> effects[] = {{"fontbold", m_bold},
                                                          {"fontstrikethru", m_strikeout},
                                                          {"fontunderline", m_underline},
                                                          {"fontitalic", m_italic}};
    for (const auto& [attribute, box] : effects)
        storeStyleValue(s, field, QLatin1String(attribute),
                        box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    storeStyleValue(s, field, QStringLiteral("fontsize"), m_size->text());
}

// A face, size or colour no font tag can carry is named, and its field
// shown; nothing is written then. Only `only` is looked at when given.
bool StyleEditorDialog::refuseUnusable(std::optional<StyleField> only)
{
    for (const UnusableStyle& u : unusableStyles(m_ws.settings())) {
        if (only && u.field != *only)
            continue;
        const QString field = styleFieldName(u.field);
        QString text;
        if (u.suffix == QLatin1String("fontname"))
            text = tr("The %1 font face \"%2\" cannot be used: a face name cannot hold \", < or "
                      ">.  Please choose another font, or Default.");
        else if (u.suffix == QLatin1String("fontsize"))
            text = tr("The %1 font size \"%2\" cannot be used.  Please choose a size from -3 to "
                      "+9 with the arrows, or type Default.");
        else
            text = tr("The %1 colour \"%2\" cannot be used: it is not a colour number from 0 to "
                      "16777215.  Please choose a colour, or Default.");
        m_ws.prompt().message(text.arg(field, u.value), Buttons::Ok, Icon::Exclamation);
        if (field != m_field->currentText()) {
            m_field->setCurrentText(field);
            showFieldStyle();
            m_currentField = field;
        }
        m_fieldChanged = true;
        m_apply->setEnabled(true);
        return true;
    }
    return false;
}

bool StyleEditorDialog::apply()
{
    storeShownField(m_field->currentText());
    if (refuseUnusable())
        return false;
    writeAllStyles(m_ws.settings(), m_ws.prompt());
    m_fieldChanged = false;
    m_apply->setEnabled(false);
    m_field->setCurrentText(m_currentField);
    return true;
}

void StyleEditorDialog::fieldChosen()
{
    if (m_fieldChanged) {
        const Answer save = m_ws.prompt().message(
            tr("You have made settings changes to this field.  Would you like to save "
               "them?"),
            Buttons::YesNo, Icon::None, tr("Save Changes?"));
        if (save == Answer::Yes) {
            storeShownField(m_currentField);
            const std::optional<StyleField> left = styleFieldNamed(m_currentField);
            if (left && refuseUnusable(left))
                return; // the field left stays shown, to be corrected
            if (left)
                writeFieldStyle(m_ws.settings(), *left, m_ws.prompt());
        }
    }
    showFieldStyle();
    m_currentField = m_field->currentText();
    m_apply->setEnabled(false);
}

void StyleEditorDialog::accept()
{
    if (apply())
        QDialog::accept();
}

void StyleEditorDialog::reject()
{
    loadStyles(m_ws.settings());
    QDialog::reject();
}

// The sample shows the field as the page will: the stored face and colour
// and the effects and size as the controls show them now.
void StyleEditorDialog::updateSample()
{
    if (m_filling || !m_sample)
        return;
    const QString field = m_field->currentText();
    const std::optional<StyleField> f = styleFieldNamed(field);
    if (!f)
        return;
    Settings preview;
    preview.style(*f) = m_ws.settings().style(*f);
    FieldStyle& style = preview.style(*f);
    style.fontbold = m_bold->isChecked() ? QStringLiteral("1") : QString();
    style.fontitalic = m_italic->isChecked() ? QStringLiteral("1") : QString();
    style.strikethru = m_strikeout->isChecked() ? QStringLiteral("1") : QString();
    style.underline = m_underline->isChecked() ? QStringLiteral("1") : QString();
    style.fontsize = m_size->text().compare(QLatin1String("default"), Qt::CaseInsensitive) == 0
                         ? QString()
                         : m_size->text();
    const QString text = sampleText(field).toHtmlEscaped();
    m_sample->setText(styleField(preview, stylePrefix(*f), text));
    describeForScreenReaders(style);
}

// What the sample shows in colour and type, said in words: the face and
// colour labels and the swatch are named with their values, and the sample
// describes the whole style.
void StyleEditorDialog::describeForScreenReaders(const FieldStyle& style)
{
    const QString none = tr("Default");
    const QString face = style.fontname.isEmpty() ? none : style.fontname;
    QString colour = none;
    if (!style.fontcolor.isEmpty() && isUsableFontColor(style.fontcolor)) {
        const QColor c = colorOf(style.fontcolor);
        colour = tr("%1 (red %2, green %3, blue %4)")
                     .arg(colorToHex(style.fontcolor.toLongLong()))
                     .arg(c.red())
                     .arg(c.green())
                     .arg(c.blue());
    } else if (!style.fontcolor.isEmpty()) {
        colour = style.fontcolor;
    }
    m_fontSample->setAccessibleName(tr("Font face: %1").arg(face));
    m_colorText->setAccessibleName(tr("Colour: %1").arg(colour));
    m_colorSample->setAccessibleName(tr("Colour sample: %1").arg(colour));
    QStringList parts = {tr("face %1").arg(face),
                         tr("size %1").arg(style.fontsize.isEmpty() ? none : style.fontsize),
                         tr("colour %1").arg(colour)};
    const std::pair<const QString*, QString> effects[] = {{&style.fontbold, tr("bold")},
                                                          {&style.fontitalic, tr("italics")},
                                                          {&style.strikethru, tr("strikeout")},
                                                          {&style.underline, tr("underline")}};
    for (const auto& [value, name] : effects)
        if (*value == QLatin1String("1"))
            parts << name;
    m_sample->setAccessibleDescription(parts.join(QStringLiteral(", ")));
}
