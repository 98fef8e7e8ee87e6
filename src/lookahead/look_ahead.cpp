#include "lookahead/look_ahead.h"

#include "core/native_path.h"
#include "formats/imaging/raster_base.h"
#include "formats/imaging/raster_picture.h"
#include "lookahead/file_identity.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace zelvia::rt::lookahead {

namespace {

// The shown picture, the entries prepared ahead and a few steps back.
constexpr std::size_t kCachedImages = LookAhead::kMostAhead + 4;

} // namespace

LookAhead::LookAhead() : cache_(kCachedImages) {}

LookAhead::~LookAhead() {
    stop();
}

void LookAhead::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
    const std::lock_guard lock(mutex_);
    stopping_ = false;
}

void LookAhead::prepareNeighbours(int index, const QString& previous, const QString& next,
                                  const Placement& placement) {
    prepareAround(
        index, [&](int i) { return i == index - 1   ? previous
                                   : i == index + 1 ? next
                                                    : QString(); },
        placement);
}

void LookAhead::prepareAround(int index, const std::function<QString(int)>& entry,
                              const Placement& placement) {
    {
        const std::lock_guard lock(mutex_);
        keepShown();
        const int step = index - lastIndex_;
        const int direction = step < 0 ? -1 : 1;
        run_ = std::abs(step) == 1 && run_ * direction >= 0 ? run_ + direction : 0;
        lastIndex_ = index;
        pending_.clear();
        const int ahead = std::min(kMostAhead, 1 + std::abs(run_));
        for (int k = 1; k <= ahead; ++k) {
            if (QString path = entry(index + k * direction); !path.isEmpty()) {
                pending_.push_back(Job{std::move(path), placement});
            }
        }
        if (QString path = entry(index - direction); !path.isEmpty()) {
            pending_.push_back(Job{std::move(path), placement});
        }
        if (pending_.empty()) {
            return;
        }
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { run(); });
        }
    }
    wake_.notify_one();
}

void LookAhead::adopt(const PicturePtr& picture, int fd) {
    const auto* raster = dynamic_cast<const imaging::RasterPictureBase*>(picture.get());
    const std::optional<FileIdentity> file = identityOf(fd);
    if (raster == nullptr || !file) {
        return;
    }
    {
        std::unique_lock lock(mutex_);
        jobDone_.wait(lock, [&] { return inFlight_ != file; });
    }
    QImage image = cache_.findAnySize(*file);
    if (!image.isNull()) {
        raster->adoptRendered(std::move(image));
    }
    const std::lock_guard lock(mutex_);
    loaded_ = picture;
    loadedFile_ = *file;
}

// The picture on show goes into the cache as drawn, so that stepping back needs no decoding
// and the worker need not prepare it again.
void LookAhead::keepShown() {
    const PicturePtr shown = loaded_.lock();
    const auto* raster = dynamic_cast<const imaging::RasterPictureBase*>(shown.get());
    if (raster == nullptr) {
        return;
    }
    QImage image = raster->rendered();
    if (!image.isNull()) {
        cache_.put(loadedFile_, std::move(image));
    }
}

void LookAhead::waitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return pending_.empty() && !busy_; });
}

void LookAhead::clear() {
    cache_.clear();
}

void LookAhead::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (stopping_) {
            return;
        }
        const Job job = std::move(pending_.front());
        pending_.pop_front();
        busy_ = true;
        lock.unlock();
        prepare(job);
        lock.lock();
        busy_ = false;
        inFlight_.reset();
        jobDone_.notify_all();
        if (pending_.empty()) {
            idle_.notify_all();
        }
    }
}

void LookAhead::prepare(const Job& job) {
    try {
        const ReadOnlyFile file(job.path);
        const std::optional<FileIdentity> before = identityOf(file.fd());
        if (!before) {
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            inFlight_ = before;
        }
        const PicturePtr picture = loadRasterPicture(file);
        const auto* raster = dynamic_cast<const imaging::RasterPictureBase*>(picture.get());
        if (raster == nullptr || !job.placement.target) {
            return;
        }
        const QRectF target = job.placement.target(
            picture->naturalSizeTwips(job.placement.twipsPerPixelX, job.placement.twipsPerPixelY));
        const QSize needed = imaging::neededPixels(target, job.placement.pixelRatio);
        if (needed.isEmpty() || !cache_.find(*before, needed).isNull()) {
            return;
        }
        QImage image = raster->renderFor(needed);
        // Written to while being read: the image may mix old and new, so it is not kept.
        if (identityOf(file.fd()) == before) {
            cache_.put(*before, std::move(image));
        }
    } catch (const std::exception&) {
        // Not kept: choosing the file loads it as usual and reports what is wrong.
    }
}

namespace {
bool g_off = false;
} // namespace

void switchOff() {
    g_off = true;
}

LookAhead* shared() {
    if (g_off) {
        return nullptr;
    }
    static LookAhead instance;
    return &instance;
}

} // namespace zelvia::rt::lookahead
