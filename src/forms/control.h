#pragma once

#include "forms/event.h"

#include <QPointer>
#include <QString>
#include <QWidget>

namespace zelvia::rt {

// Runs a handler that Qt called for a user action. A runtime error that no error trap caught
// is reported in a message box instead of unwinding through Qt's event loop.
void runGuarded(const std::function<void()>& handler);

// What every visible control has: a widget placed in twips inside its container, a tooltip and
// a MouseUp event.
class Control {
public:
    // Whether a watched widget's mouse release goes on to its parent (see watchMouse).
    enum class Release { Consume, PassOn };

    explicit Control(QWidget* widget);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    [[nodiscard]] QWidget* widget() const { return widget_; }

    // Position and size in twips, relative to the container's inner area.
    void place(double left, double top, double width, double height);
    [[nodiscard]] double Left() const { return left_; }
    [[nodiscard]] double Top() const { return top_; }
    [[nodiscard]] double Width() const { return width_; }
    [[nodiscard]] double Height() const { return height_; }

    [[nodiscard]] QString ToolTipText() const;
    void setToolTipText(const QString& text);

    Event<MouseArgs> MouseUp;

protected:
    // Reports mouse releases on `target` (the widget itself or a view's viewport) as MouseUp,
    // with the position in the control's scale units (twips per unit given).
    // A consumed release does not travel on to the parent widget (labels inside a frame); list
    // views pass it on, as their own selection handling needs it.
    void watchMouse(QWidget* target, double twipsPerUnitX, double twipsPerUnitY,
                    Release release = Release::Consume);
    // Swallows right-button presses on `target`, so a right-click never changes a selection.
    void ignoreRightPress(QWidget* target);

    void setSize(double width, double height);

private:
    QPointer<QWidget> widget_;
    double left_ = 0;
    double top_ = 0;
    double width_ = 0;
    double height_ = 0;
};

} // namespace zelvia::rt
