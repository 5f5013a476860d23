#include "core/config/StyleEditing.h"

#include "base/IniFile.h"
#include "base/Prompt.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const kEditorNames[] = {"Title", "Body", "Date", "Time", "Sig", "URL"};

// Suffix indexes (see kStyleSuffixes) in the order the editor writes them.
constexpr int kWriteOrder[] = {0, 3, 2, 4, 1, 5, 6};

} // namespace

QString styleFieldName(StyleField field)
{
    return QString::fromLatin1(kEditorNames[static_cast<int>(field)]);
}

std::optional<StyleField> styleFieldNamed(const QString& name)
{
    for (StyleField f : kStyleFields)
        if (name == styleFieldName(f))
            return f;
    return std::nullopt;
}

std::optional<QString> storeStyleValue(Settings& s, const QString& fieldName,
                                       const QString& attribute, const QString& value)
{
    static const char* const attributes[] = {"fontname",     "fontsize",   "fontcolor",
                                             "fontbold",     "fontitalic", "fontstrikethru",
                                             "fontunderline"};
    const std::optional<StyleField> field = styleFieldNamed(fieldName);
    if (!field)
        return std::nullopt;
    for (int i = 0; i < 7; ++i) {
        if (attribute != QLatin1String(attributes[i]))
            continue;
        const QString stored = value.toLower() == QLatin1String("default") ? QString() : value;
        styleValue(s.style(*field), i) = stored;
        return stored;
    }
    return std::nullopt;
}

QString sizeStepText(int step)
{
    if (step == 0)
        return QStringLiteral("Default");
    return step < 1 ? QString::number(step) : QStringLiteral("+") + QString::number(step);
}

int sizeScrollPosition(const QString& size)
{
    if (size.isEmpty())
        return 3;
    const double step = std::round(numericValue(size));
    return static_cast<int>(std::clamp(step, -3.0, 9.0)) + 3;
}

namespace {

void setFieldStyle(IniText& ini, const Settings& s, StyleField field)
{
    FieldStyle style = s.style(field);
    for (int i : kWriteOrder)
        ini.set(s.activeSection, stylePrefix(field) + QString::fromLatin1(kStyleSuffixes[i]),
                styleValue(style, i));
}

bool commitStyles(IniText& ini, const Settings& s, Prompt& prompt)
{
    if (ini.commit())
        return true;
    prompt.message(
        QStringLiteral("The styles could not be saved: %1 cannot be written.").arg(s.settingsPath),
        Buttons::Ok, Icon::Critical);
    return false;
}

} // namespace

bool writeFieldStyle(const Settings& s, StyleField field, Prompt& prompt)
{
    IniText ini(s.settingsPath);
    setFieldStyle(ini, s, field);
    return commitStyles(ini, s, prompt);
}

bool writeAllStyles(const Settings& s, Prompt& prompt)
{
    IniText ini(s.settingsPath);
    for (StyleField f : {StyleField::Title, StyleField::Body, StyleField::Sig, StyleField::Time,
                         StyleField::Date, StyleField::Url})
        setFieldStyle(ini, s, f);
    return commitStyles(ini, s, prompt);
}
