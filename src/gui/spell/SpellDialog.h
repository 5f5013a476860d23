#pragma once

#include "core/spell/SpellChecker.h"

#include <QDialog>

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

    // Shows the question; the buttons answer it to `session`.
    void ask(const SpellQuestion& question, SpellSession& session) override;
    void checkEnded() override { hide(); }
    // Shows a question that nothing waits for (for pictures of the dialog).
    void showQuestion(const SpellQuestion& question);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void answer(SpellReply::Action action);
    void reject() override;

    QTextEdit* m_sentence = nullptr; // the sentence, the unknown word marked
    QLineEdit* m_changeTo = nullptr;
    QListWidget* m_suggestions = nullptr;
    SpellSession* m_session = nullptr; // the check waiting for an answer
};
