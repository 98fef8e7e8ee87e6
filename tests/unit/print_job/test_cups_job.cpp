// What a print job's state and its queue's state mean for the page just sent. The states a
// private scheduler produces on purpose (refused, stopped queue, gone) are driven end to end
// in tests/e2e; here the ones it does not produce on demand.
#include "platform/cups_job.h"

#include <gtest/gtest.h>

using namespace zelvia::rt;

namespace {

JobVerdict judge(std::optional<int> job, std::optional<int> queue = 3, bool answered = true) {
    return judgeJob({answered, job, queue});
}

} // namespace

TEST(CupsJob, AJobThatPrintsOrPrintedIsTakenWhateverTheQueueDoesNext) {
    EXPECT_EQ(judge(ipp::JobProcessing), JobVerdict::Taken);
    EXPECT_EQ(judge(ipp::JobCompleted, ipp::QueueStopped), JobVerdict::Taken);
    // Finished and forgotten by a scheduler that keeps no history.
    EXPECT_EQ(judge(std::nullopt), JobVerdict::Taken);
}

TEST(CupsJob, AJobThatWaitsIsWatchedUnlessItsQueueIsStopped) {
    EXPECT_EQ(judge(ipp::JobPending), JobVerdict::Waiting);
    EXPECT_EQ(judge(ipp::JobHeld, 4), JobVerdict::Waiting);
    EXPECT_EQ(judge(ipp::JobPending, ipp::QueueStopped), JobVerdict::Failed);
    EXPECT_EQ(judge(ipp::JobProcessing, ipp::QueueStopped), JobVerdict::Failed);
}

TEST(CupsJob, AJobThatEndedWithoutPrintingOrWasNeverTakenFails) {
    EXPECT_EQ(judge(ipp::JobStopped), JobVerdict::Failed);
    EXPECT_EQ(judge(ipp::JobCanceled), JobVerdict::Failed);
    EXPECT_EQ(judge(ipp::JobAborted), JobVerdict::Failed);
}

TEST(CupsJob, ASchedulerThatDoesNotAnswerOnceOrLeavesOutTheQueueStateFailsNothing) {
    EXPECT_EQ(judge(ipp::JobProcessing, 3, false), JobVerdict::Waiting);
    EXPECT_EQ(judge(std::nullopt, std::nullopt, false), JobVerdict::Waiting);
    EXPECT_EQ(judge(ipp::JobPending, std::nullopt), JobVerdict::Waiting);
    EXPECT_EQ(judge(ipp::JobProcessing, std::nullopt), JobVerdict::Taken);
}

// Another program of the same user prints on the queue too: its jobs are never ours.
TEST(CupsJob, OnlyOurOwnJobIsFollowedAndCancelledOnlyAgainstABaseline) {
    const QByteArray token = "3b1e-77";
    const std::vector<ListedJob> jobs = {{7, ipp::JobPending, "ours from before [3b1e-77]"},
                                         {9, ipp::JobPending, "Zelvia [3b1e-77]"},
                                         {12, ipp::JobHeld, "another program's"}};
    struct Case {
        const char* what;
        std::optional<int> baseline;
        std::optional<int> followed;
        std::optional<int> cancelled;
    };
    for (const Case& c :
         {Case{"baseline before ours", 8, 9, 9},
          Case{"no baseline: followed by its token, never cancelled", std::nullopt, 9,
               std::nullopt},
          Case{"ours is not newer than the baseline", 9, std::nullopt, std::nullopt}}) {
        SCOPED_TRACE(c.what);
        const std::optional<ListedJob> own = ownJob(jobs, c.baseline, token);
        EXPECT_EQ(own ? std::optional<int>(own->id) : std::nullopt, c.followed);
        EXPECT_EQ(jobToCancel(jobs, c.baseline, token), c.cancelled);
    }
    EXPECT_EQ(jobToCancel({jobs[2]}, 0, token), std::nullopt);
}
