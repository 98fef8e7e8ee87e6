#include "forms/menu_item.h"

#include "forms/control.h"

#include <QAction>
#include <QMenu>
#include <QSignalBlocker>

namespace zelvia::rt {

MenuItem::MenuItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut, Raise raise) {
    if (caption == QLatin1String("-")) {
        action_ = menu->addSeparator();
        return;
    }
    action_ = menu->addAction(caption);
    if (!shortcut.isEmpty()) {
        action_->setShortcut(shortcut);
        action_->setShortcutContext(Qt::WindowShortcut);
    }
    if (raise == Raise::OnTrigger) {
        QObject::connect(action_, &QAction::triggered, action_, [this](bool checked) {
            // Qt flips a checkable item before it reports the choice; the check mark here
            // belongs to the program, which sets it in the Click handler.
            if (action_->isCheckable()) {
                const QSignalBlocker block(action_);
                action_->setChecked(!checked);
            }
            choose();
        });
    }
}

QString MenuItem::Caption() const {
    return action_->isSeparator() ? QStringLiteral("-") : action_->text();
}

Boolean MenuItem::Checked() const {
    return toBoolean(action_->isChecked());
}

void MenuItem::setChecked(Boolean checked) {
    // A check mark once set keeps room for itself; the item toggles only through code.
    action_->setCheckable(true);
    action_->setChecked(checked != False);
}

Boolean MenuItem::Visible() const {
    return toBoolean(action_->isVisible());
}

void MenuItem::setVisible(Boolean visible) {
    action_->setVisible(visible != False);
}

void MenuItem::choose() const {
    runGuarded([this] { Click.raise(); });
}

} // namespace zelvia::rt
