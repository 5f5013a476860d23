#pragma once

#include "core/spell/SpellChecker.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextEdit;

// The spelling dialog: the word the dictionary does not know, shown in its
// sentence, the suggestions, a box for the replacement, and Ignore,
// Ignore All, Add to Dictionary, Change, Change All and Cancel. It stays open
// from one question to the next; closing it cancels the check.
class SpellDialog final : public QDialog, public SpellAnswerer
{
    Q_OBJECT
public:
    // `language` is the dictionary's tag ("en_US"), shown to the user.
    explicit SpellDialog(QWidget* parent, const QString& language);

    // Shows the question and waits for the user's answer.
    SpellReply ask(const SpellQuestion& question) override;
    // Shows a question without waiting (for pictures of the dialog).
    void showQuestion(const SpellQuestion& question);

    QLabel* lblNotInDictionary = nullptr;
    QTextEdit* txtNotInDictionary = nullptr;
    QLabel* lblChangeTo = nullptr;
    QLineEdit* txtChangeTo = nullptr;
    QLabel* lblSuggestions = nullptr;
    QListWidget* lstSuggestions = nullptr;
    QLabel* lblLanguage = nullptr;
    QPushButton* buttIgnore = nullptr;
    QPushButton* buttIgnoreAll = nullptr;
    QPushButton* buttAdd = nullptr;
    QPushButton* buttChange = nullptr;
    QPushButton* buttChangeAll = nullptr;
    QPushButton* buttCancel = nullptr;

signals:
    void answered();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void answer(SpellReply::Action action);
    void reject() override;

    std::optional<SpellReply> m_reply;
};
