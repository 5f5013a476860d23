#pragma once

// Finding the windows and controls a test drives: by type and object name,
// and from inside the event loop of whatever modal window runs.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <initializer_list>

// The visible top-level window of type T, named `name` when one is given.
template <typename T = QWidget> T* shownWindow(const char* name = nullptr)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* t = qobject_cast<T*>(w);
        if (t && t->isVisible() && (!name || w->objectName() == QLatin1String(name)))
            return t;
    }
    return nullptr;
}

// Runs `action` on the window of type T once it is shown.
template <typename T> void whenShown(std::function<void(T*)> action)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        if (T* window = shownWindow<T>()) {
            timer->deleteLater();
            timer->stop();
            action(window);
        }
    });
    timer->start(20);
}

// The control (widget or action) `name` of type T under `root`; the test
// stops when there is none.
template <typename T> T* child(const QObject* root, const char* name)
{
    T* c = root->findChild<T*>(QString::fromLatin1(name));
    QTEST_ASSERT(c);
    return c;
}
inline QObject* control(const QObject* root, const char* name)
{
    return child<QObject>(root, name);
}

// The names among `names` whose control under `root` is enabled, in the
// order given: one comparison checks a whole enabling rule.
inline QStringList enabledAmong(QObject* root, std::initializer_list<const char*> names)
{
    QStringList on;
    for (const char* name : names)
        if (control(root, name)->property("enabled").toBool())
            on << QString::fromLatin1(name);
    return on;
}

// What the named controls show: the text of a line edit, label or button, the
// plain text of a text box, "checked"/"unchecked" for a check or option box.
inline QStringList shownTexts(const QObject* root, std::initializer_list<const char*> names)
{
    QStringList shown;
    for (const char* name : names) {
        const QObject* o = control(root, name);
        if (o->property("checkable").toBool())
            shown << QLatin1String(o->property("checked").toBool() ? "checked" : "unchecked");
        else
            shown << o->property(o->property("plainText").isValid() ? "plainText" : "text")
                         .toString();
    }
    return shown;
}

// What the one control `name` shows (as shownTexts()).
// Waits until the main window `w` is shown and runs no job: what a command
// started (a retrieval, a publish) has ended. False after half a minute.
template <typename Window> bool settled(Window& w)
{
    return QTest::qWaitFor([&w] { return w.isVisible() && !w.jobRunning(); }, 30000);
}

inline QString shownText(const QObject* root, const char* name)
{
    return shownTexts(root, {name}).constFirst();
}

// The titles of the messages a ScriptedPrompt recorded, in order.
template <typename ScriptedPrompt> QStringList titlesOf(const ScriptedPrompt& p)
{
    QStringList titles;
    for (const auto& m : p.messages)
        titles << m.title;
    return titles;
}
