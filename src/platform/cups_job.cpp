#include "platform/cups_job.h"

#include "core/runtime_error.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPrinter>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cups/cups.h>
#include <memory>
#include <thread>

namespace zelvia::rt {

namespace {

// How long a job that has not started yet is watched before it is taken as queued: long
// enough for a scheduler to pass it to an idle queue, short enough not to keep the user waiting.
constexpr qint64 kWatchMs = 3000;
constexpr std::chrono::milliseconds kPoll(100);
// A scheduler that stops answering mid-call is given this long beyond the watch; the job is
// then taken as queued.
constexpr qint64 kGiveUpMs = kWatchMs + 2000;
constexpr int kCheckMs = 20;

// This user's jobs on `queue` (all, or only those not finished yet); nullopt when the
// scheduler cannot be asked.
struct Jobs {
    cups_job_t* list = nullptr;
    int count = 0;
    Jobs() = default;
    Jobs(const Jobs&) = delete;
    Jobs& operator=(const Jobs&) = delete;
    ~Jobs() { cupsFreeJobs(count, list); }
};

bool fetchJobs(const QByteArray& queue, int which, Jobs& jobs) {
    jobs.count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs.list, queue.constData(), 1, which);
    if (jobs.count < 0) {
        jobs.count = 0;
        return false;
    }
    return true;
}

std::vector<ListedJob> listed(const Jobs& jobs) {
    std::vector<ListedJob> out;
    out.reserve(static_cast<std::size_t>(jobs.count));
    for (int i = 0; i < jobs.count; ++i) {
        const cups_job_t& job = jobs.list[i];
        out.push_back({job.id, static_cast<int>(job.state), QByteArray(job.title)});
    }
    return out;
}

// One look at the queue and our job on it; not answered when either cannot be asked.
JobReport reportOn(const QByteArray& queue, std::optional<int> baseline, const QByteArray& token) {
    JobReport r;
    Jobs jobs;
    if (!fetchJobs(queue, CUPS_WHICHJOBS_ALL, jobs)) {
        return r;
    }
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.constData(), nullptr);
    if (dest == nullptr) {
        return r;
    }
    r.answered = true;
    if (const char* state = cupsGetOption("printer-state", dest->num_options, dest->options)) {
        r.queueState = QByteArray(state).toInt();
    }
    cupsFreeDests(1, dest);
    if (const std::optional<ListedJob> own = ownJob(listed(jobs), baseline, token)) {
        r.jobState = own->state;
    }
    return r;
}

// What the watch found, shared with its thread, which may outlive the wait for it.
struct Watch {
    std::atomic<bool> done{false};
    std::atomic<bool> abandoned{false};
    std::atomic<JobVerdict> verdict{JobVerdict::Taken};
};

[[noreturn]] void fail(const char* what) {
    throw RuntimeError(err::PathAccess, std::string(what) + ": " + cupsLastErrorString());
}

} // namespace

JobVerdict judgeJob(const JobReport& report) {
    if (!report.answered) {
        return JobVerdict::Waiting; // asked again: a scheduler busy for a moment is no failure
    }
    if (report.jobState) {
        switch (*report.jobState) {
        case ipp::JobCompleted:
            return JobVerdict::Taken;
        case ipp::JobStopped:
        case ipp::JobCanceled:
        case ipp::JobAborted:
            return JobVerdict::Failed;
        default:
            break;
        }
    }
    if (report.queueState == ipp::QueueStopped) {
        return JobVerdict::Failed;
    }
    if (!report.jobState || *report.jobState == ipp::JobProcessing) {
        // A job the scheduler no longer lists has finished: it keeps no history of it.
        return JobVerdict::Taken;
    }
    return JobVerdict::Waiting;
}

std::optional<ListedJob> ownJob(const std::vector<ListedJob>& jobs, std::optional<int> baseline,
                                const QByteArray& token) {
    std::optional<ListedJob> own;
    for (const ListedJob& job : jobs) {
        const bool newer = !baseline || job.id > *baseline;
        if (newer && !token.isEmpty() && job.title.contains(token) && (!own || job.id > own->id)) {
            own = job;
        }
    }
    return own;
}

std::optional<int> jobToCancel(const std::vector<ListedJob>& jobs, std::optional<int> baseline,
                               const QByteArray& token) {
    if (!baseline) {
        return std::nullopt;
    }
    const std::optional<ListedJob> own = ownJob(jobs, baseline, token);
    return own ? std::optional<int>(own->id) : std::nullopt;
}

CupsSubmission::CupsSubmission(const QString& queue)
    : queue_(queue.section(QLatin1Char('/'), 0, 0).toLocal8Bit()),
      token_(QUuid::createUuid().toByteArray(QUuid::WithoutBraces)) {
    Jobs jobs;
    if (!fetchJobs(queue_, CUPS_WHICHJOBS_ALL, jobs)) {
        if (cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) {
            fail("the print scheduler cannot be reached");
        }
        // A queue the scheduler sets up only for the job, as for a printer found on the
        // network: no baseline, so nothing will be cancelled on it.
        return;
    }
    int newest = 0;
    for (int i = 0; i < jobs.count; ++i) {
        newest = std::max(newest, jobs.list[i].id);
    }
    baseline_ = newest;
}

QString CupsSubmission::jobName(const QString& title) const {
    return title + QStringLiteral(" [") + QString::fromLatin1(token_) + QLatin1Char(']');
}

void CupsSubmission::confirm() const {
    // The engine's submission was the last call into the library on this thread.
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        const QByteArray why = cupsLastErrorString();
        abandon();
        throw RuntimeError(err::PathAccess, "the print job was refused: " + why.toStdString());
    }
    // The library keeps a connection per thread, so the watch's calls are its own.
    const auto watch = std::make_shared<Watch>();
    std::thread([watch, queue = queue_, baseline = baseline_, token = token_] {
        QElapsedTimer clock;
        clock.start();
        JobVerdict verdict = JobVerdict::Waiting;
        while (verdict == JobVerdict::Waiting && !watch->abandoned) {
            verdict = judgeJob(reportOn(queue, baseline, token));
            if (verdict == JobVerdict::Waiting) {
                if (clock.elapsed() >= kWatchMs) {
                    verdict = JobVerdict::Taken; // queued behind others on a queue that runs
                } else {
                    std::this_thread::sleep_for(kPoll);
                }
            }
        }
        watch->verdict = verdict;
        watch->done = true;
    }).detach();

    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (watch->done || clock.elapsed() >= kGiveUpMs) {
            loop.quit();
        }
    });
    check.start(kCheckMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    watch->abandoned = true;
    if (watch->done && watch->verdict == JobVerdict::Failed) {
        abandon();
        throw RuntimeError(err::PathAccess, "the print job cannot be printed");
    }
}

void CupsSubmission::abandon() const noexcept {
    Jobs jobs;
    if (!baseline_ || !fetchJobs(queue_, CUPS_WHICHJOBS_ACTIVE, jobs)) {
        return;
    }
    if (const std::optional<int> job = jobToCancel(listed(jobs), baseline_, token_)) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, queue_.constData(), *job, 0);
    }
}

QString cupsQueueOf(const QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::NativeFormat || !printer.outputFileName().isEmpty()) {
        return {};
    }
    return printer.printerName();
}

} // namespace zelvia::rt
