#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// A spelling dictionary: answers whether a word is spelt right, offers
// suggestions and keeps the user's own words.
class SpellDictionary
{
public:
    enum class Verdict
    {
        Correct,
        Misspelt,
        Failed
    };

    virtual ~SpellDictionary() = default;

    virtual Verdict check(const QString& word) = 0;
    virtual QStringList suggest(const QString& word) = 0;
    // Adds the word to the user's personal word list, for good.
    virtual void addToPersonal(const QString& word) = 0;
    // The language tag of the dictionary ("en_US").
    virtual QString language() const = 0;
    // Why the last call failed.
    virtual QString lastError() const = 0;
};

// The languages tried, in order: the user's locale, then US English.
QStringList defaultSpellLanguages();

struct EnchantHandles;

// The dictionaries of the enchant library (hunspell, aspell, ...). The
// personal word list lives in the user's configuration folder
// ($XDG_CONFIG_HOME/enchant).
class EnchantDictionary final : public SpellDictionary
{
public:
    // Opens the dictionary of the first language that has one. On failure
    // returns nullptr and puts the reason into `error`.
    static std::unique_ptr<EnchantDictionary> open(const QStringList& languages, QString* error);
    ~EnchantDictionary() override;

    Verdict check(const QString& word) override;
    QStringList suggest(const QString& word) override;
    void addToPersonal(const QString& word) override;
    QString language() const override { return m_language; }
    QString lastError() const override { return m_error; }

private:
    EnchantDictionary(std::unique_ptr<EnchantHandles> handles, const QString& language);

    std::unique_ptr<EnchantHandles> m_handles;
    QString m_language;
    QString m_error;
};
