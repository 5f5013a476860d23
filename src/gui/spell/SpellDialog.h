#pragma once

#include "core/spell/SpellChecker.h"

#include <QDialog>

#include <optional>

class QLineEdit;
class QListWidget;
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

signals:
    void answered();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void answer(SpellReply::Action action);
    void reject() override;

    QTextEdit* m_sentence = nullptr; // the sentence, the unknown word marked
    QLineEdit* m_changeTo = nullptr;
    QListWidget* m_suggestions = nullptr;
    std::optional<SpellReply> m_reply;
};
