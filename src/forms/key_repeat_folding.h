#pragma once

#include <QObject>
#include <memory>

class QKeyEvent;
class QWidget;

namespace zelvia::rt {

// Folds the auto-repeats of a held key while the widget is busy handling keys. A repeat is not
// handled at once but at the end of the event queue; one that arrives while another of the same
// key waits takes its place, so a list whose every move runs a long procedure moves one entry
// per turn of the event loop instead of working off a backlog. Letting go of the key drops the
// repeat still waiting, so the list stops with the release. Separate presses and other keys are
// never folded, and keep their order with a waiting repeat.
class KeyRepeatFolding final : public QObject {
public:
    explicit KeyRepeatFolding(QWidget* target);
    ~KeyRepeatFolding() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Handles the waiting repeat now, if there is one.
    void deliverWaiting();

    QWidget* target_;
    std::unique_ptr<QKeyEvent> waiting_;
    bool delivering_ = false;
    bool posted_ = false;
};

// Installs the folding on `target`; it lives as long as the widget.
KeyRepeatFolding* foldKeyRepeats(QWidget* target);

} // namespace zelvia::rt
