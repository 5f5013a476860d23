#include "gui/spell/SpellDialog.h"

#include "gui/WidgetHelpers.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include <utility>

using Widgets::named;

SpellDialog::SpellDialog(QWidget* parent, const QString& language) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSpell"));
    setWindowTitle(tr("Spell Check"));
    setWindowModality(Qt::ApplicationModal);

    auto* wordLabel = named(new QLabel(tr("&Not in Dictionary:"), this), "lblNotInDictionary");
    m_sentence = named(new QTextEdit(this), "txtNotInDictionary");
    m_sentence->setReadOnly(true);
    m_sentence->setFixedHeight(m_sentence->fontMetrics().lineSpacing() * 4 + 12);
    auto* changeToLabel = named(new QLabel(tr("C&hange To:"), this), "lblChangeTo");
    m_changeTo = named(new QLineEdit(this), "txtChangeTo");
    auto* suggestionsLabel = named(new QLabel(tr("Suggestio&ns:"), this), "lblSuggestions");
    m_suggestions = named(new QListWidget(this), "lstSuggestions");
    const QLocale locale(language);
    auto* languageLabel =
        named(new QLabel(tr("Dictionary language: ") +
                             QLocale::languageToString(locale.language()) + QStringLiteral(" (") +
                             QLocale::territoryToString(locale.territory()) + QLatin1Char(')'),
                         this),
              "lblLanguage");
    wordLabel->setBuddy(m_sentence);
    changeToLabel->setBuddy(m_changeTo);
    suggestionsLabel->setBuddy(m_suggestions);
    m_sentence->setAccessibleName(tr("Not in Dictionary:"));
    m_changeTo->setAccessibleName(tr("Change To:"));
    m_suggestions->setAccessibleName(tr("Suggestions:"));

    auto* ignore = named(new QPushButton(tr("&Ignore"), this), "buttIgnore");
    auto* ignoreAll = named(new QPushButton(tr("I&gnore All"), this), "buttIgnoreAll");
    auto* add = named(new QPushButton(tr("&Add to Dictionary"), this), "buttAdd");
    auto* change = named(new QPushButton(tr("&Change"), this), "buttChange");
    auto* changeAll = named(new QPushButton(tr("Change A&ll"), this), "buttChangeAll");
    auto* cancel = named(new QPushButton(tr("Cancel"), this), "buttCancel");
    change->setDefault(true);

    const std::pair<QPushButton*, SpellReply::Action> actions[] = {
        {ignore, SpellReply::Ignore},       {ignoreAll, SpellReply::IgnoreAll},
        {add, SpellReply::AddToDictionary}, {change, SpellReply::Change},
        {changeAll, SpellReply::ChangeAll}, {cancel, SpellReply::Cancel}};
    for (const auto& [button, action] : actions)
        connect(button, &QPushButton::clicked, this, [this, a = action] { answer(a); });
    connect(m_suggestions, &QListWidget::currentTextChanged, m_changeTo, &QLineEdit::setText);
    connect(m_suggestions, &QListWidget::itemDoubleClicked, this,
            [this] { answer(SpellReply::Change); });

    auto* grid = new QGridLayout(this);
    grid->addWidget(wordLabel, 0, 0);
    grid->addWidget(m_sentence, 1, 0, 3, 1);
    grid->addWidget(ignore, 1, 1);
    grid->addWidget(ignoreAll, 2, 1);
    grid->addWidget(add, 3, 1, Qt::AlignTop);
    grid->addWidget(changeToLabel, 4, 0);
    grid->addWidget(m_changeTo, 5, 0);
    grid->addWidget(suggestionsLabel, 6, 0);
    grid->addWidget(m_suggestions, 7, 0, 3, 1);
    grid->addWidget(change, 5, 1);
    grid->addWidget(changeAll, 6, 1);
    grid->addWidget(cancel, 9, 1, Qt::AlignBottom);
    grid->addWidget(languageLabel, 10, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(8, 1);
    resize(520, 380);
}

void SpellDialog::showQuestion(const SpellQuestion& q)
{
    const QString& s = q.context.sentence;
    const qsizetype at = q.context.wordStart;
    m_sentence->setHtml(QStringLiteral("<p>") + s.left(at).toHtmlEscaped() +
                        QStringLiteral("<span style=\"color:#c00000; font-weight:bold; "
                                       "text-decoration:underline\">") +
                        s.mid(at, q.word.size()).toHtmlEscaped() + QStringLiteral("</span>") +
                        s.mid(at + q.word.size()).toHtmlEscaped() + QStringLiteral("</p>"));
    m_suggestions->clear();
    m_suggestions->addItems(q.suggestions);
    if (q.suggestions.isEmpty()) {
        m_suggestions->addItem(tr("(no suggestions)"));
        m_suggestions->setEnabled(false);
        m_changeTo->setText(q.word);
    } else {
        m_suggestions->setEnabled(true);
        m_suggestions->setCurrentRow(0);
    }
    m_changeTo->selectAll();
    m_changeTo->setFocus();
}

void SpellDialog::ask(const SpellQuestion& question, SpellSession& session)
{
    m_session = &session;
    showQuestion(question);
    if (!isVisible())
        show();
}

void SpellDialog::answer(SpellReply::Action action)
{
    // The session may put the next question, or end, from here.
    if (SpellSession* session = std::exchange(m_session, nullptr))
        session->answer({action, m_changeTo->text()});
}

void SpellDialog::reject()
{
    answer(SpellReply::Cancel);
}

void SpellDialog::closeEvent(QCloseEvent* event)
{
    answer(SpellReply::Cancel);
    QDialog::closeEvent(event);
}
