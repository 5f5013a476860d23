#pragma once

// The entry boxes a test types into: a line edit or a plain text box.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QtTest>

// Gives `box` the focus; the test stops when it does not get it.
inline QWidget* focusBox(QWidget* box)
{
    box->setFocus();
    QTEST_ASSERT(QTest::qWaitFor([box] { return box->hasFocus(); }));
    return box;
}

inline QString textOf(QWidget* box)
{
    auto* line = qobject_cast<QLineEdit*>(box);
    return line ? line->text() : qobject_cast<QPlainTextEdit*>(box)->toPlainText();
}

// Puts `marked` into `box` and focuses it; what stands between '[' and ']' is
// selected, the caret at its end.
inline QWidget* selectMarked(QWidget* box, QString marked)
{
    const int from = int(marked.indexOf(u'['));
    const int to = int(marked.indexOf(u']')) - 1;
    marked.remove(u'[').remove(u']');
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(marked);
        line->setSelection(from, to - from);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        edit->setPlainText(marked);
        QTextCursor c = edit->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        edit->setTextCursor(c);
    }
    return focusBox(box);
}
