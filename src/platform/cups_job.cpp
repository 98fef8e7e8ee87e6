#include "platform/cups_job.h"

#include "core/runtime_error.h"

#include <QElapsedTimer>
#include <QPrinter>
#include <QThread>
#include <algorithm>
#include <cups/cups.h>

namespace zelvia::rt {

namespace {

// How long a job that has not started yet is watched before it is taken as queued: long
// enough for a scheduler to pass it to an idle queue, short enough not to stall the window.
constexpr qint64 kWatchMs = 3000;
constexpr unsigned long kPollMs = 100;

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

[[noreturn]] void fail(const char* what) {
    throw RuntimeError(err::PathAccess, std::string(what) + ": " + cupsLastErrorString());
}

} // namespace

JobVerdict judgeJob(const JobReport& report) {
    if (!report.submitted) {
        return JobVerdict::Failed;
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

CupsSubmission::CupsSubmission(const QString& queue)
    : queue_(queue.section(QLatin1Char('/'), 0, 0).toLocal8Bit()) {
    Jobs jobs;
    if (!fetchJobs(queue_, CUPS_WHICHJOBS_ALL, jobs)) {
        if (cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE) {
            fail("the print scheduler cannot be reached");
        }
        // A queue the scheduler sets up only for the job, as for a printer found on the
        // network: it has no jobs yet.
        return;
    }
    for (int i = 0; i < jobs.count; ++i) {
        newestBefore_ = std::max(newestBefore_, jobs.list[i].id);
    }
}

JobReport CupsSubmission::report(int* newJob) const {
    JobReport r;
    Jobs jobs;
    cups_dest_t* dest = nullptr;
    if (!fetchJobs(queue_, CUPS_WHICHJOBS_ALL, jobs) ||
        (dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue_.constData(), nullptr)) == nullptr) {
        return r;
    }
    r.submitted = true;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    r.queueState = state != nullptr ? QByteArray(state).toInt() : ipp::QueueStopped;
    cupsFreeDests(1, dest);
    for (int i = 0; i < jobs.count; ++i) {
        const cups_job_t& job = jobs.list[i];
        if (job.id > newestBefore_ && job.id > *newJob) {
            *newJob = job.id;
            r.jobState = static_cast<int>(job.state);
        }
    }
    return r;
}

void CupsSubmission::confirm() const {
    // The engine's submission was the last call into the library on this thread.
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        const QByteArray why = cupsLastErrorString();
        abandon();
        throw RuntimeError(err::PathAccess, "the print job was refused: " + why.toStdString());
    }
    QElapsedTimer watch;
    watch.start();
    for (;;) {
        int job = 0;
        switch (judgeJob(report(&job))) {
        case JobVerdict::Taken:
            return;
        case JobVerdict::Failed:
            abandon();
            throw RuntimeError(err::PathAccess, "the print job cannot be printed");
        case JobVerdict::Waiting:
            break;
        }
        if (watch.elapsed() >= kWatchMs) {
            return; // queued behind others on a queue that runs
        }
        QThread::msleep(kPollMs);
    }
}

void CupsSubmission::abandon() const noexcept {
    // The page is one job: the newest of this user's since the start, and no other.
    Jobs jobs;
    if (!fetchJobs(queue_, CUPS_WHICHJOBS_ACTIVE, jobs)) {
        return;
    }
    int newest = 0;
    for (int i = 0; i < jobs.count; ++i) {
        if (jobs.list[i].id > newestBefore_) {
            newest = std::max(newest, jobs.list[i].id);
        }
    }
    if (newest != 0) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, queue_.constData(), newest, 0);
    }
}

QString cupsQueueOf(const QPrinter& printer) {
    if (printer.outputFormat() != QPrinter::NativeFormat || !printer.outputFileName().isEmpty()) {
        return {};
    }
    return printer.printerName();
}

} // namespace zelvia::rt
