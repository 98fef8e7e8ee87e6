#include "forms/key_repeat_folding.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace zelvia::rt {

namespace {

const QEvent::Type kDeliver = static_cast<QEvent::Type>(QEvent::registerEventType());

bool sameKey(const QKeyEvent& a, const QKeyEvent& b) {
    return a.key() == b.key() && a.modifiers() == b.modifiers();
}

} // namespace

KeyRepeatFolding::KeyRepeatFolding(QWidget* target) : QObject(target), target_(target) {
    target_->installEventFilter(this);
}

KeyRepeatFolding::~KeyRepeatFolding() = default;

bool KeyRepeatFolding::eventFilter(QObject* watched, QEvent* event) {
    if (watched != target_ || delivering_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            deliverWaiting();
            return false;
        }
        if (!waiting_ || !sameKey(*waiting_, *key)) {
            deliverWaiting();
            if (!posted_) {
                // The turn of the event loop that handles it comes after the events already
                // queued, among them any further repeats that piled up while the list was busy.
                posted_ = true;
                QCoreApplication::postEvent(this, new QEvent(kDeliver));
            }
        }
        waiting_.reset(key->clone());
        return true;
    }
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Without detectable auto-repeat the server sends a release before each repeat; only
        // the real one ends the held key.
        if (waiting_ && !key->isAutoRepeat() && key->key() == waiting_->key()) {
            waiting_.reset();
        }
        return false;
    }
    case QEvent::FocusOut:
    case QEvent::Hide:
        // The key no longer goes to this widget.
        waiting_.reset();
        return false;
    default:
        return false;
    }
}

bool KeyRepeatFolding::event(QEvent* event) {
    if (event->type() == kDeliver) {
        posted_ = false;
        deliverWaiting();
        return true;
    }
    return QObject::event(event);
}

void KeyRepeatFolding::deliverWaiting() {
    if (!waiting_) {
        return;
    }
    const std::unique_ptr<QKeyEvent> key = std::move(waiting_);
    delivering_ = true;
    QCoreApplication::sendEvent(target_, key.get());
    delivering_ = false;
}

KeyRepeatFolding* foldKeyRepeats(QWidget* target) {
    return new KeyRepeatFolding(target);
}

} // namespace zelvia::rt
