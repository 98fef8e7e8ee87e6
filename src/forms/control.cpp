#include "forms/control.h"

#include "core/basic_types.h"
#include "core/runtime_error.h"
#include "forms/app_object.h"
#include "platform/screen.h"

#include <QEvent>
#include <QMouseEvent>
#include <cmath>
#include <new>

namespace zelvia::rt {

void runGuarded(const std::function<void()>& handler) {
    // The message names the number only: the exception's own text is for developers and in
    // English, in a window that speaks Japanese throughout.
    const auto report = [](int number) {
        MsgBox(QStringLiteral("実行時エラー '%1':").arg(number), style::Critical);
    };
    try {
        handler();
    } catch (const RuntimeError& e) {
        report(e.number());
    } catch (const std::bad_alloc&) {
        report(err::OutOfMemory);
    } catch (const std::exception&) {
        report(err::Internal);
    }
}

namespace {

std::int16_t buttonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return button::Left;
    case Qt::RightButton:
        return button::Right;
    case Qt::MiddleButton:
        return button::Middle;
    default:
        return 0;
    }
}

std::int16_t shiftOf(Qt::KeyboardModifiers m) {
    std::int16_t s = 0;
    if (m.testFlag(Qt::ShiftModifier)) {
        s = static_cast<std::int16_t>(s | shift::Shift);
    }
    if (m.testFlag(Qt::ControlModifier)) {
        s = static_cast<std::int16_t>(s | shift::Ctrl);
    }
    if (m.testFlag(Qt::AltModifier)) {
        s = static_cast<std::int16_t>(s | shift::Alt);
    }
    return s;
}

class MouseFilter final : public QObject {
public:
    enum class RightPress { Deliver, Swallow };

    MouseFilter(QObject* parent, std::function<void(const MouseArgs&)> onUp, RightPress rightPress,
                Control::Release release)
        : QObject(parent), onUp_(std::move(onUp)),
          eatRightPress_(rightPress == RightPress::Swallow),
          consumeRelease_(release == Control::Release::Consume) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::MouseButtonRelease && onUp_) {
            const auto* me = static_cast<QMouseEvent*>(event);
            MouseArgs args{buttonOf(me->button()), shiftOf(me->modifiers()),
                           static_cast<float>(me->position().x()),
                           static_cast<float>(me->position().y())};
            runGuarded([&] { onUp_(args); });
            // Handled here: a label's release must not reach the frame around it as well.
            return consumeRelease_;
        }
        if (eatRightPress_ &&
            (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(const MouseArgs&)> onUp_;
    bool eatRightPress_;
    bool consumeRelease_;
};

} // namespace

Control::Control(QWidget* widget) : widget_(widget) {}

void Control::place(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    setSize(width, height);
    if (widget_ != nullptr) {
        const double tx = Screen::TwipsPerPixelX();
        const double ty = Screen::TwipsPerPixelY();
        widget_->setGeometry(
            static_cast<int>(std::lround(left / tx)), static_cast<int>(std::lround(top / ty)),
            static_cast<int>(std::lround(width / tx)), static_cast<int>(std::lround(height / ty)));
    }
}

void Control::setSize(double width, double height) {
    width_ = width;
    height_ = height;
}

QString Control::ToolTipText() const {
    return widget_ != nullptr ? widget_->toolTip() : QString();
}

void Control::setToolTipText(const QString& text) {
    if (widget_ != nullptr) {
        widget_->setToolTip(text);
    }
}

void Control::watchMouse(QWidget* target, double twipsPerUnitX, double twipsPerUnitY,
                         Release release) {
    const double sx = Screen::TwipsPerPixelX() / twipsPerUnitX;
    const double sy = Screen::TwipsPerPixelY() / twipsPerUnitY;
    target->installEventFilter(new MouseFilter(
        target,
        [this, sx, sy](const MouseArgs& a) {
            MouseUp.raise(
                {a.button, a.shift, static_cast<float>(a.x * sx), static_cast<float>(a.y * sy)});
        },
        MouseFilter::RightPress::Deliver, release));
}

void Control::ignoreRightPress(QWidget* target) {
    target->installEventFilter(
        new MouseFilter(target, {}, MouseFilter::RightPress::Swallow, Release::PassOn));
}

} // namespace zelvia::rt
