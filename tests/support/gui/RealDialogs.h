#pragma once

// Answering the real dialogs a command opens, as a user does: a timer started
// before the command finds the active modal window once it is shown, types
// into it and clicks its buttons. Run these tests on a desktop
// (with-desktop.sh) where focus matters.

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <memory>

// What became of one expected dialog: `seen` once it was shown and answered,
// `title` its window title. A dialog that never comes within the time leaves
// seen false; a modal window of another kind met at that time, or the
// expected one still open long after it was answered, is rejected with a
// warning, so a failing test ends instead of waiting on it.
struct ModalAnswer
{
    bool seen = false;
    QString title;
};

// Runs `answer` on the next modal window of type T once it is shown on the
// screen and active (mapped and given the focus by the window manager, so
// clicks and keys reach it as they reach a user).
template <typename T = QWidget>
std::shared_ptr<ModalAnswer> answerModal(std::function<void(T*)> answer, int timeoutMs = 10000)
{
    auto result = std::make_shared<ModalAnswer>();
    auto* timer = new QTimer;
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, elapsed, answer, result, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        T* dialog = qobject_cast<T*>(modal);
        if (dialog && dialog->isVisible() && dialog->windowHandle() &&
            dialog->windowHandle()->isExposed() && dialog->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            delete elapsed;
            result->seen = true;
            result->title = dialog->windowTitle();
            const QPointer<QWidget> answered(dialog);
            answer(dialog);
            QTimer::singleShot(timeoutMs, [answered, title = result->title] {
                if (answered && answered->isVisible() && answered->isModal() &&
                    QApplication::activeModalWidget() == answered) {
                    qWarning("The dialog \"%s\" is still open long after it was answered",
                             qPrintable(title));
                    QMetaObject::invokeMethod(answered, "reject", Qt::QueuedConnection);
                }
            });
            return;
        }
        if (elapsed->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete elapsed;
            if (modal) { // not the one expected: close it rather than hang
                qWarning("An unexpected dialog \"%s\" was open", qPrintable(modal->windowTitle()));
                QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
            }
        }
    });
    timer->start(20);
    return result;
}

// The button of `box` with the standard role `which` (OK, Cancel, Yes...),
// found in whichever button box the dialog holds.
inline QAbstractButton* dialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    for (auto* box : dialog->findChildren<QDialogButtonBox*>())
        if (QAbstractButton* b = box->button(which))
            return b;
    return nullptr;
}

// Clicks the standard button `which` of `dialog` with the mouse.
inline void clickDialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    QAbstractButton* b = dialogButton(dialog, which);
    QTEST_ASSERT(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Types `text` into the focused line edit of `dialog` (or its first one),
// replacing what it held.
inline void typeIntoDialog(QWidget* dialog, const QString& text)
{
    auto* edit = qobject_cast<QLineEdit*>(dialog->focusWidget());
    if (!edit)
        edit = dialog->findChild<QLineEdit*>();
    QTEST_ASSERT(edit);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Clicks the upper (or lower) arrow of a vertical scroll bar with the mouse,
// where the style draws it.
inline void clickScrollArrow(QScrollBar* bar, bool upper)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.upsideDown = bar->invertedAppearance();
    opt.subControls = QStyle::SC_All;
    const auto rect = [&](QStyle::SubControl part) {
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar);
    };
    const QRect sub = rect(QStyle::SC_ScrollBarSubLine), add = rect(QStyle::SC_ScrollBarAddLine);
    QTEST_ASSERT(sub.isValid() && add.isValid() && sub.top() != add.top());
    const bool subIsUpper = sub.top() < add.top();
    QTest::mouseClick(bar, Qt::LeftButton, {}, (upper == subIsUpper ? sub : add).center());
}
