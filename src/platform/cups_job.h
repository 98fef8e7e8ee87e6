#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

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
inline constexpr int QueueIdle = 3;
inline constexpr int QueueStopped = 5;
} // namespace ipp

// What the scheduler says of a submission shortly after it was sent.
struct JobReport {
    bool answered = false;         // the scheduler could be asked this time
    std::optional<int> jobState;   // the new job's state; none once the scheduler forgot it
    std::optional<int> queueState; // the queue's state; none when the scheduler did not say
};

enum class JobVerdict {
    Taken,   // printing, printed, or waiting its turn on a queue that runs
    Waiting, // not started yet, or the scheduler did not answer: ask again shortly
    Failed,  // refused, stopped or ended without printing
};

JobVerdict judgeJob(const JobReport& report);

// A job as the scheduler lists it.
struct ListedJob {
    int id = 0;
    int state = 0;
    QByteArray title;
};

// Our job among this user's `jobs` on the queue: the one whose title carries `token`, and,
// when the newest job id before sending is known (`baseline`), newer than that. None when there
// is no such job.
std::optional<ListedJob> ownJob(const std::vector<ListedJob>& jobs, std::optional<int> baseline,
                                const QByteArray& token);

// The job to cancel for a page that cannot print: our own, and only when a baseline was taken
// before sending; otherwise none, since what is listed may belong to another program.
std::optional<int> jobToCancel(const std::vector<ListedJob>& jobs, std::optional<int> baseline,
                               const QByteArray& token);

// One page sent to a CUPS queue. Qt's print engine hands the document to the scheduler at the
// end of the painter but never says whether it was taken, so the job is looked up here.
class CupsSubmission {
public:
    // Before the document is produced: notes this user's newest job on `queue` (a queue name,
    // optionally with "/instance") as the baseline. Throws RuntimeError 75 when the scheduler
    // cannot be reached.
    explicit CupsSubmission(const QString& queue);

    // The job name to send the document under: it carries a token of this submission only.
    [[nodiscard]] QString jobName(const QString& title) const;

    // After the painter ended: throws RuntimeError 75 unless the new job is printing, printed
    // or waiting on a queue that runs. A job that cannot print is cancelled, so that nothing
    // is left queued to come out later. The job is followed from a thread of its own while the
    // window keeps painting; keys and clicks wait until the verdict.
    void confirm() const;

    // Cancels whatever this submission left queued; for a page that failed part-way.
    void abandon() const noexcept;

private:
    QByteArray queue_;
    QByteArray token_;
    std::optional<int> baseline_; // this user's newest job id on the queue before sending
};

// The CUPS queue `printer` prints to, or empty when it writes a file instead.
QString cupsQueueOf(const QPrinter& printer);

} // namespace zelvia::rt
