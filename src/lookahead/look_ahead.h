#pragma once

#include "core/picture.h"
#include "core/prepared_images.h"
#include "lookahead/box_image_cache.h"

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

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

    // After entry `index` was shown: keeps the image it was drawn with and prepares its
    // neighbours, the one in the direction of the last move first (an empty path is no
    // neighbour). Work still waiting for other entries is dropped.
    void prepareNeighbours(int index, const QString& previous, const QString& next,
                           const Placement& placement);

    // Gives `picture`, just loaded from the open file `fd`, the image prepared for the same
    // file content, if there is one, and notes it as the picture about to be shown. Cheap;
    // called on every load.
    void adopt(const PicturePtr& picture, int fd) override;

    // Blocks until nothing is waiting or being decoded.
    void waitIdle();

    // Drops every prepared image.
    void clear();

    // Drops waiting work and ends the worker once its current decode is done; a later request
    // starts it again. Called when the window goes away: decoding uses Qt's shared thread pool,
    // which must not be waited on while the application object is being destroyed.
    void stop();

private:
    struct Job {
        QString path;
        Placement placement;
    };

    void run();
    void prepare(const Job& job);
    void keepShown();

    BoxImageCache cache_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> pending_;
    bool busy_ = false;
    bool stopping_ = false;
    int lastIndex_ = -1;
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
