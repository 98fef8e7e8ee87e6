#include "lookahead/look_ahead.h"

#include "core/native_path.h"
#include "formats/imaging/raster_base.h"
#include "formats/imaging/raster_picture.h"
#include "lookahead/file_identity.h"
#include "lookahead/isolated_read.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace zelvia::rt::lookahead {

namespace {

// The shown picture, the entries prepared ahead and a few steps back.
constexpr std::size_t kCachedImages = LookAhead::kMostAhead + 4;
// Larger files are decoded when chosen: reading them whole ahead of time costs too much memory.
constexpr qint64 kLargestPrepared = 32LL << 20;

} // namespace

LookAhead::LookAhead() : cache_(kCachedImages) {}

LookAhead::~LookAhead() {
    stop();
}

void LookAhead::stop() {
    stopUntil(std::nullopt);
}

bool LookAhead::stopWithin(std::chrono::milliseconds patience) {
    return stopUntil(std::chrono::steady_clock::now() + patience);
}

bool LookAhead::stopUntil(std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    pending_.clear();
    if (running_) {
        running_->request();
    }
    wake_.notify_all();
    if (worker_.joinable() || abandoned_) {
        const auto ended = [this] { return workerEnded_; };
        if (!deadline) {
            idle_.wait(lock, ended);
        } else if (!idle_.wait_until(lock, *deadline, ended)) {
            if (worker_.joinable()) {
                worker_.detach();
            }
            abandoned_ = true;
            return false;
        }
        if (worker_.joinable()) {
            lock.unlock();
            worker_.join();
            lock.lock();
        }
    }
    abandoned_ = false;
    workerEnded_ = false;
    stopping_ = false;
    return true;
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
        if (abandoned_) {
            return;
        }
        const int ahead = std::min(kMostAhead, 1 + std::abs(run_));
        for (int k = 1; k <= ahead; ++k) {
            if (QString path = entry(index + k * direction); !path.isEmpty()) {
                pending_.push_back(Job{std::move(path), placement});
            }
        }
        if (QString path = entry(index - direction); !path.isEmpty()) {
            pending_.push_back(Job{std::move(path), placement});
        }
        const bool stillWanted =
            std::any_of(pending_.begin(), pending_.end(),
                        [this](const Job& j) { return j.path == runningPath_; });
        if (running_ && !stillWanted) {
            running_->request();
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

void LookAhead::adopt(const PicturePtr& picture, const ReadOnlyFile& file) {
    const auto* raster = dynamic_cast<const imaging::RasterPictureBase*>(picture.get());
    if (raster == nullptr) {
        return;
    }
    const FileIdentity identity = identityOf(file);
    {
        std::unique_lock lock(mutex_);
        jobDone_.wait(lock, [&] { return inFlight_ != identity; });
    }
    QImage image = cache_.findAnySize(identity);
    if (!image.isNull()) {
        raster->adoptRendered(std::move(image));
    }
    const std::lock_guard lock(mutex_);
    loaded_ = picture;
    loadedFile_ = identity;
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
            workerEnded_ = true;
            idle_.notify_all();
            return;
        }
        const Job job = std::move(pending_.front());
        pending_.pop_front();
        busy_ = true;
        runningPath_ = job.path;
        running_ = std::make_shared<StopRequest>();
        const std::shared_ptr<StopRequest> request = running_;
        lock.unlock();
        {
            const StopScope scope(*request);
            prepare(job);
        }
        lock.lock();
        running_.reset();
        runningPath_.clear();
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
        // Read in a process of its own: a mount that stopped answering must not hold this
        // thread, which ends with the program.
        const std::optional<ReadFile> file = readInOwnProcess(job.path, kLargestPrepared);
        if (!file) {
            return;
        }
        const FileIdentity identity = identityOf(file->status);
        {
            const std::lock_guard lock(mutex_);
            inFlight_ = identity;
        }
        const PicturePtr picture = loadRasterPictureFromBytes(file->bytes);
        const auto* raster = dynamic_cast<const imaging::RasterPictureBase*>(picture.get());
        if (raster == nullptr || !job.placement.target) {
            return;
        }
        const QRectF target = job.placement.target(
            picture->naturalSizeTwips(job.placement.twipsPerPixelX, job.placement.twipsPerPixelY));
        const QSize needed = imaging::neededPixels(target, job.placement.pixelRatio);
        if (needed.isEmpty() || !cache_.find(identity, needed).isNull()) {
            return;
        }
        cache_.put(identity, raster->renderFor(needed));
    } catch (const std::exception&) {
        // Not kept: choosing the file loads it as usual and reports what is wrong.
    } catch (const Stopped&) {
        // No neighbour any more, or the program ends: nothing of it is kept.
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
