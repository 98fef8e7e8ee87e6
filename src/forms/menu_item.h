#pragma once

#include "core/basic_types.h"
#include "forms/event.h"

#include <QKeySequence>
#include <QString>

class QAction;
class QMenu;
class QObject;

namespace zelvia::rt {

// A menu item: caption with its access key, an optional shortcut, a check mark and a Click
// event raised when the user chooses it. A separator is an item with the caption "-".
class MenuItem {
public:
    // An item of a popup run by the host raises Click only through choose(): the host reports
    // the chosen item instead of triggering it.
    enum class Raise { OnTrigger, OnChooseOnly };
    MenuItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {},
             Raise raise = Raise::OnTrigger);
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    [[nodiscard]] QAction* action() const { return action_; }
    [[nodiscard]] QString Caption() const;

    [[nodiscard]] Boolean Checked() const;
    void setChecked(Boolean checked);
    [[nodiscard]] Boolean Visible() const;
    void setVisible(Boolean visible);

    // Raises Click as a choice by the user does (used by popups that report the chosen item).
    void choose() const;

    Event<> Click;

private:
    QAction* action_;
};

} // namespace zelvia::rt
