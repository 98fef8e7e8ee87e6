// What a print job's state and its queue's state mean for the page just sent. The states a
// private scheduler produces on purpose (refused, stopped queue, gone) are driven end to end
// in tests/e2e; here the ones it does not produce on demand.
#include "platform/cups_job.h"

#include <gtest/gtest.h>

using namespace zelvia::rt;

namespace {

JobVerdict judge(std::optional<int> job, int queue = 3, bool submitted = true) {
    return judgeJob({submitted, job, queue});
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
    EXPECT_EQ(judge(ipp::JobProcessing, 3, false), JobVerdict::Failed);
}
