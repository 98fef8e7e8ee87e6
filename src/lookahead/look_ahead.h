#pragma once

#include "core/picture.h"
#include "core/prepared_images.h"
#include "core/stop_request.h"
#include "lookahead/box_image_cache.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zelvia::rt {
class ReadOnlyFile;
}

namespace zelvia::rt::lookahead {

// How the display will draw a picture: the rectangle (in the box's units, at `pixelRatio`
// device pixels per unit) that a picture of the given natural size in twips is drawn into,
// or an empty one when such a picture needs no preparing. Called on the worker thread, so it
// must only compute.
struct Placement {
    std::function<QRectF(QSizeF naturalTwips)> target;
    double twipsPerPixelX = 15.0;
    double twipsPerPixelY = 15.0;
    double pixelRatio = 1.0;
};

// Decodes the neighbours of the picture on show, one at a time on its own worker thread, into
// images of exactly the size the display will draw them, so that choosing one next needs no
// decoding. Only bitmap-like pictures are prepared. The worker reads files and decodes; it
// never touches a control. A file that fails is simply left out.
class LookAhead : public PreparedImages {
public:
    LookAhead();
    ~LookAhead() override;
    LookAhead(const LookAhead&) = delete;
    LookAhead& operator=(const LookAhead&) = delete;

    // After entry `index` was shown: keeps the image it was drawn with and prepares the entries
    // ahead in the direction of the last move, the nearest first, then the one behind.
    // `entry(i)` names entry i (empty past either end) and is called only here. While the moves
    // go on one entry at a time in one direction, more entries ahead are prepared, up to
    // kMostAhead; a jump prepares just the two neighbours. Work waiting for other entries is
    // dropped, and a decode running for a file no longer wanted is asked to stop.
    void prepareAround(int index, const std::function<QString(int)>& entry,
                       const Placement& placement);
    // The same with only the two neighbours known.
    void prepareNeighbours(int index, const QString& previous, const QString& next,
                           const Placement& placement);

    // How far ahead a steady walk is prepared: the box images are small, but a decode that
    // the user turns away from is wasted.
    static constexpr int kMostAhead = 6;

    // Gives `picture`, just loaded from `file`, the image prepared for the same file content,
    // if there is one, and notes it as the picture about to be shown. Called on
    // every load: cheap, except that a file the worker is decoding right now is waited for,
    // as decoding it here as well would take longer.
    void adopt(const PicturePtr& picture, const ReadOnlyFile& file) override;

    // Blocks until nothing is waiting or being decoded.
    void waitIdle();

    // Drops every prepared image.
    void clear();

    // Drops waiting work, asks the current decode to stop and ends the worker; a later request
    // starts it again. Called when the window goes away: decoding uses Qt's shared thread pool,
    // which must not be waited on while the application object is being destroyed.
    void stop();

    // As stop(), waiting at most `patience`. False when the worker has not ended by then (a
    // read on a mount that no longer answers never returns): it is left running and nothing
    // more is prepared. Destroying this object waits for it, so the program should then end
    // without destroying it.
    bool stopWithin(std::chrono::milliseconds patience);

private:
    struct Job {
        QString path;
        Placement placement;
    };

    void run();
    void prepare(const Job& job);
    void keepShown();
    bool stopUntil(std::optional<std::chrono::steady_clock::time_point> deadline);

    BoxImageCache cache_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::condition_variable jobDone_;
    std::deque<Job> pending_;
    bool busy_ = false;
    bool stopping_ = false;
    bool workerEnded_ = false;
    bool abandoned_ = false; // a worker that did not end in time is still out there
    // The decode under way and its stop request; the request is shared with the worker.
    QString runningPath_;
    std::shared_ptr<StopRequest> running_;
    int lastIndex_ = -1;
    int run_ = 0; // moves of one entry in one direction in a row
    // The file being decoded on the worker, once opened.
    std::optional<FileIdentity> inFlight_;
    // The last picture loaded, and the identity of the file it was loaded from.
    std::weak_ptr<const Picture> loaded_;
    FileIdentity loadedFile_;
    std::thread worker_; // started on first use: start-up stays single-threaded
};

// The program's look-ahead; nullptr when switched off. It is on unless switched off before its
// first use (the walk benchmark compares both).
LookAhead* shared();
void switchOff();

} // namespace zelvia::rt::lookahead
