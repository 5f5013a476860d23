#include "gui/spell/SpellDialog.h"

#include "gui/WidgetHelpers.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

using Widgets::named;

SpellDialog::SpellDialog(QWidget* parent, const QString& language) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSpell"));
    setWindowTitle(tr("Spell Check"));
    setWindowModality(Qt::ApplicationModal);

    lblNotInDictionary = named(new QLabel(tr("&Not in Dictionary:"), this), "lblNotInDictionary");
    txtNotInDictionary = named(new QTextEdit(this), "txtNotInDictionary");
    txtNotInDictionary->setReadOnly(true);
    txtNotInDictionary->setFixedHeight(txtNotInDictionary->fontMetrics().lineSpacing() * 4 + 12);
    lblChangeTo = named(new QLabel(tr("C&hange To:"), this), "lblChangeTo");
    txtChangeTo = named(new QLineEdit(this), "txtChangeTo");
    lblSuggestions = named(new QLabel(tr("Suggestio&ns:"), this), "lblSuggestions");
    lstSuggestions = named(new QListWidget(this), "lstSuggestions");
    const QLocale locale(language);
    lblLanguage =
        named(new QLabel(tr("Dictionary language: ") +
                             QLocale::languageToString(locale.language()) + QStringLiteral(" (") +
                             QLocale::territoryToString(locale.territory()) + QLatin1Char(')'),
                         this),
              "lblLanguage");
    lblNotInDictionary->setBuddy(txtNotInDictionary);
    lblChangeTo->setBuddy(txtChangeTo);
    lblSuggestions->setBuddy(lstSuggestions);
    txtNotInDictionary->setAccessibleName(tr("Not in Dictionary:"));
    txtChangeTo->setAccessibleName(tr("Change To:"));
    lstSuggestions->setAccessibleName(tr("Suggestions:"));

    buttIgnore = named(new QPushButton(tr("&Ignore"), this), "buttIgnore");
    buttIgnoreAll = named(new QPushButton(tr("I&gnore All"), this), "buttIgnoreAll");
    buttAdd = named(new QPushButton(tr("&Add to Dictionary"), this), "buttAdd");
    buttChange = named(new QPushButton(tr("&Change"), this), "buttChange");
    buttChangeAll = named(new QPushButton(tr("Change A&ll"), this), "buttChangeAll");
    buttCancel = named(new QPushButton(tr("Cancel"), this), "buttCancel");
    buttChange->setDefault(true);

    const std::pair<QPushButton*, SpellReply::Action> actions[] = {
        {buttIgnore, SpellReply::Ignore},       {buttIgnoreAll, SpellReply::IgnoreAll},
        {buttAdd, SpellReply::AddToDictionary}, {buttChange, SpellReply::Change},
        {buttChangeAll, SpellReply::ChangeAll}, {buttCancel, SpellReply::Cancel}};
    for (const auto& [button, action] : actions)
        connect(button, &QPushButton::clicked, this, [this, a = action] { answer(a); });
    connect(lstSuggestions, &QListWidget::currentTextChanged, txtChangeTo, &QLineEdit::setText);
    connect(lstSuggestions, &QListWidget::itemDoubleClicked, this,
            [this] { answer(SpellReply::Change); });

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblNotInDictionary, 0, 0);
    grid->addWidget(txtNotInDictionary, 1, 0, 3, 1);
    grid->addWidget(buttIgnore, 1, 1);
    grid->addWidget(buttIgnoreAll, 2, 1);
    grid->addWidget(buttAdd, 3, 1, Qt::AlignTop);
    grid->addWidget(lblChangeTo, 4, 0);
    grid->addWidget(txtChangeTo, 5, 0);
    grid->addWidget(lblSuggestions, 6, 0);
    grid->addWidget(lstSuggestions, 7, 0, 3, 1);
    grid->addWidget(buttChange, 5, 1);
    grid->addWidget(buttChangeAll, 6, 1);
    grid->addWidget(buttCancel, 9, 1, Qt::AlignBottom);
    grid->addWidget(lblLanguage, 10, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(8, 1);
    resize(520, 380);
}

void SpellDialog::showQuestion(const SpellQuestion& q)
{
    const QString& s = q.context.sentence;
    const qsizetype at = q.context.wordStart;
    txtNotInDictionary->setHtml(QStringLiteral("<p>") + s.left(at).toHtmlEscaped() +
                                QStringLiteral("<span style=\"color:#c00000; font-weight:bold; "
                                               "text-decoration:underline\">") +
                                s.mid(at, q.word.size()).toHtmlEscaped() +
                                QStringLiteral("</span>") +
                                s.mid(at + q.word.size()).toHtmlEscaped() + QStringLiteral("</p>"));
    lstSuggestions->clear();
    lstSuggestions->addItems(q.suggestions);
    if (q.suggestions.isEmpty()) {
        lstSuggestions->addItem(tr("(no suggestions)"));
        lstSuggestions->setEnabled(false);
        txtChangeTo->setText(q.word);
    } else {
        lstSuggestions->setEnabled(true);
        lstSuggestions->setCurrentRow(0);
    }
    txtChangeTo->selectAll();
    txtChangeTo->setFocus();
}

SpellReply SpellDialog::ask(const SpellQuestion& question)
{
    m_reply.reset();
    showQuestion(question);
    if (!isVisible())
        show();
    if (!m_reply) {
        QEventLoop loop;
        connect(this, &SpellDialog::answered, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return *m_reply;
}

void SpellDialog::answer(SpellReply::Action action)
{
    m_reply = SpellReply{action, txtChangeTo->text()};
    emit answered();
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
