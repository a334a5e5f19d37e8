// The second thread that rewrites half of each big block: jobs handed over and taken back in quick turns.
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class CountingJob : public WorkerThread::Job {
  public:
    void Run() override {
        if (++runs == throw_at) {
            throw std::runtime_error("job failed");
        }
    }
    int runs = 0;  // the worker's, read after Wait
    int throw_at = -1;
};

TEST(WorkerThread, EveryJobRunsOnceOrIsTakenBack) {
    constexpr int kJobs = 20000;
    WorkerThread worker;
    CountingJob job;
    int taken_back = 0;
    for (int i = 0; i < kJobs; ++i) {
        ASSERT_TRUE(worker.Start(job));
        // Taken back at once, after a little work, or never: each way races the thread's start.
        for (volatile int spin = 0; spin < i % 3 * 200; ++spin) {
        }
        taken_back += i % 3 != 2 && worker.TakeBack() ? 1 : 0;
        worker.Wait();
    }
    EXPECT_EQ(job.runs + taken_back, kJobs);
    EXPECT_GT(job.runs, 0);
}

TEST(WorkerThread, WhatAJobThrowsIsThrownByWaitAndTheThreadGoesOn) {
    WorkerThread worker;
    CountingJob job;
    job.throw_at = 2;
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(worker.Start(job));
        if (i == 2) {
            EXPECT_THROW(worker.Wait(), std::runtime_error);
        } else {
            EXPECT_NO_THROW(worker.Wait());
        }
    }
    EXPECT_EQ(job.runs, 3);
}

}  // namespace
