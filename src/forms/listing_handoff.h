#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace zelvia::rt {

// A folder change writes the folder list's and then the file list's Path. Both lists are read
// again later, before they are next read or painted; this hands the subfolders found by the
// file list's pass over the folder to the folder list, so the folder is read once, not twice.
class ListingHandoff {
public:
    static ListingHandoff& instance();

    // The folder list: it is waiting for the subfolders of `folder`.
    void awaitSubfolders(const void* owner, const QString& folder);
    // The folder list: the subfolders of the folder it waits for, by the file list's pass
    // (made now when the file list is out of date on that folder), or nothing. Ends the wait.
    std::optional<std::vector<QString>> takeSubfolders(const void* owner, const QString& folder);

    // The file list: it is out of date on `folder`; `listNow` brings it up to date.
    void fileListPending(const void* owner, const QString& folder, std::function<void()> listNow);
    void fileListDone(const void* owner);
    // The file list: whether the folder list waits for the subfolders of `folder`; then they
    // are handed over with deliver().
    [[nodiscard]] bool wantsSubfolders(const QString& folder) const;
    void deliver(const QString& folder, std::vector<QString> subfolders);

    // Either list going away.
    void forget(const void* owner);

private:
    const void* waiter_ = nullptr;
    QString waitFolder_;
    bool hasDelivered_ = false;
    std::vector<QString> delivered_;
    const void* fileList_ = nullptr;
    QString fileListFolder_;
    std::function<void()> listNow_;
};

// Runs a function before each paint of the widget it watches.
class BeforePaint final : public QObject {
public:
    BeforePaint(QObject* parent, std::function<void()> run)
        : QObject(parent), run_(std::move(run)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            run_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> run_;
};

} // namespace zelvia::rt
