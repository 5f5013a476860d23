#pragma once

// The commands that could change what a running job works on (a retrieval,
// a publish, the update check) are off while it runs. What the flows switch
// meanwhile is remembered and takes effect once the last job has ended.

#include <QAction>
#include <QPointer>
#include <QWidget>

#include <vector>

class CommandLock
{
public:
    void add(QWidget* widget) { m_items.push_back({widget, nullptr, widget->isEnabled()}); }
    void add(QAction* action) { m_items.push_back({nullptr, action, action->isEnabled()}); }

    // What the command should be once no job runs.
    void setEnabled(const QObject* control, bool enabled)
    {
        for (Item& item : m_items) {
            if (item.widget == control || item.action == control) {
                item.wanted = enabled;
                apply(item);
            }
        }
    }
    void setLocked(bool locked)
    {
        m_locked = locked;
        for (Item& item : m_items)
            apply(item);
    }
    bool isLocked() const { return m_locked; }

private:
    struct Item
    {
        QPointer<QWidget> widget;
        QPointer<QAction> action;
        bool wanted = true;
    };
    void apply(const Item& item) const
    {
        const bool on = item.wanted && !m_locked;
        if (item.widget)
            item.widget->setEnabled(on);
        if (item.action)
            item.action->setEnabled(on);
    }

    std::vector<Item> m_items;
    bool m_locked = false;
};
