#include "core/spell/SpellDictionary.h"

#include <QLocale>

#include <enchant.h>

struct EnchantHandles
{
    EnchantBroker* broker = nullptr;
    EnchantDict* dict = nullptr;

    ~EnchantHandles()
    {
        if (dict)
            enchant_broker_free_dict(broker, dict);
        if (broker)
            enchant_broker_free(broker);
    }
};

namespace {

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

QStringList defaultSpellLanguages()
{
    QStringList languages{QLocale::system().name()};
    if (!languages.contains(QStringLiteral("en_US")))
        languages << QStringLiteral("en_US");
    return languages;
}

std::unique_ptr<EnchantDictionary> EnchantDictionary::open(const QStringList& languages,
                                                           QString* error)
{
    auto handles = std::make_unique<EnchantHandles>();
    handles->broker = enchant_broker_init();
    if (!handles->broker) {
        if (error)
            *error = QStringLiteral("The spelling library could not be started.");
        return nullptr;
    }
    for (const QString& language : languages) {
        const QByteArray tag = language.toUtf8();
        if (tag.isEmpty() || !enchant_broker_dict_exists(handles->broker, tag.constData()))
            continue;
        handles->dict = enchant_broker_request_dict(handles->broker, tag.constData());
        if (handles->dict)
            return std::unique_ptr<EnchantDictionary>(
                new EnchantDictionary(std::move(handles), language));
    }
    if (error)
        *error = QStringLiteral("No spelling dictionary is installed for ") +
                 languages.join(QStringLiteral(" or ")) + QLatin1Char('.');
    return nullptr;
}

EnchantDictionary::EnchantDictionary(std::unique_ptr<EnchantHandles> handles,
                                     const QString& language)
    : m_handles(std::move(handles)), m_language(language)
{
}

EnchantDictionary::~EnchantDictionary() = default;

SpellDictionary::Verdict EnchantDictionary::check(const QString& word)
{
    const QByteArray utf8 = word.toUtf8();
    const int result = enchant_dict_check(m_handles->dict, utf8.constData(), utf8.size());
    if (result == 0)
        return Verdict::Correct;
    if (result > 0)
        return Verdict::Misspelt;
    m_error = fromUtf8(enchant_dict_get_error(m_handles->dict));
    if (m_error.isEmpty())
        m_error = QStringLiteral("The dictionary could not check \"") + word + QLatin1Char('"');
    return Verdict::Failed;
}

QStringList EnchantDictionary::suggest(const QString& word)
{
    const QByteArray utf8 = word.toUtf8();
    size_t count = 0;
    char** list = enchant_dict_suggest(m_handles->dict, utf8.constData(), utf8.size(), &count);
    QStringList out;
    for (size_t i = 0; list && i < count; ++i)
        out << QString::fromUtf8(list[i]);
    if (list)
        enchant_dict_free_string_list(m_handles->dict, list);
    return out;
}

void EnchantDictionary::addToPersonal(const QString& word)
{
    const QByteArray utf8 = word.toUtf8();
    enchant_dict_add(m_handles->dict, utf8.constData(), utf8.size());
}
