#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class QPrinter;

namespace zelvia::rt {

// Job and queue states as the print scheduler reports them (IPP values).
namespace ipp {
inline constexpr int JobPending = 3;
inline constexpr int JobHeld = 4;
inline constexpr int JobProcessing = 5;
inline constexpr int JobStopped = 6;
inline constexpr int JobCanceled = 7;
inline constexpr int JobAborted = 8;
inline constexpr int JobCompleted = 9;
inline constexpr int QueueStopped = 5;
} // namespace ipp

// What the scheduler says of a submission shortly after it was sent.
struct JobReport {
    bool submitted = false;      // the scheduler took the document
    std::optional<int> jobState; // the new job's state; none once the scheduler forgot it
    int queueState = 3;          // the queue's state
};

enum class JobVerdict {
    Taken,   // printing, printed, or waiting its turn on a queue that runs
    Waiting, // not started yet: ask again shortly
    Failed,  // refused, stopped or ended without printing
};

JobVerdict judgeJob(const JobReport& report);

// One page sent to a CUPS queue. Qt's print engine hands the document to the scheduler at the
// end of the painter but never says whether it was taken, so the job is looked up here.
class CupsSubmission {
public:
    // Before the document is produced: notes this user's newest job on `queue` (a queue name,
    // optionally with "/instance"). Throws RuntimeError 75 when the scheduler cannot be reached.
    explicit CupsSubmission(const QString& queue);

    // After the painter ended: throws RuntimeError 75 unless the new job is printing, printed
    // or waiting on a queue that runs. A job that cannot print is cancelled, so that nothing
    // is left queued to come out later.
    void confirm() const;

    // Cancels whatever this submission left queued; for a page that failed part-way.
    void abandon() const noexcept;

private:
    [[nodiscard]] JobReport report(int* newJob) const;

    QByteArray queue_;
    int newestBefore_ = 0;
};

// The CUPS queue `printer` prints to, or empty when it writes a file instead.
QString cupsQueueOf(const QPrinter& printer);

} // namespace zelvia::rt
