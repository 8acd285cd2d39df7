// The batch runner with conversions that only record what happens to them.
#include "engine/batch_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

std::vector<Conversion> planFor(const std::vector<std::string>& outputs) {
    std::vector<Conversion> plan;
    for (const std::string& output : outputs) plan.push_back({"in/" + output, output, "name"});
    return plan;
}

struct Written : WrittenConversion {};

}  // namespace

TEST(BatchRunner, PicturesSharingADatabasePathFormOneGroupInTheOrderGiven) {
    const auto plan = planFor({"out/a.pdb", "out/b.pdb", "out/./a.pdb", "c.pdb", "out/sub/../a.pdb"});
    EXPECT_EQ(groupBySharedOutput(plan), (std::vector<std::vector<std::size_t>>{{0, 2, 4}, {1}, {3}}));
}

TEST(BatchRunner, WorkersAreLimitedByJobsCoresAndGroups) {
    const struct {
        std::size_t groups;
        int jobs;
        unsigned cores;
        std::size_t workers;
    } cases[] = {
        {5, 0, 4, 4}, {2, 0, 8, 2}, {5, 3, 1, 3}, {5, 0, 0, 1}, {0, 2, 2, 1}, {300, 256, 2, 256},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(workerCount(test.groups, test.jobs, test.cores), test.workers)
            << test.groups << " groups, " << test.jobs << " jobs, " << test.cores << " cores";
    }
}

TEST(BatchRunner, APictureSharingADatabaseIsWrittenOnlyAfterTheOneBeforeIsCommitted) {
    const auto plan = planFor({"a.pdb", "b.pdb", "a.pdb", "c.pdb", "a.pdb", "d.pdb"});
    for (int jobs : {1, 3}) {
        SCOPED_TRACE(jobs);
        std::mutex lock;
        std::vector<std::string> events;
        auto record = [&](const std::string& event) {
            const std::lock_guard<std::mutex> guard(lock);
            events.push_back(event);
        };
        ConversionSteps steps;
        steps.write = [&](std::size_t index) {
            record("write " + std::to_string(index));
            return std::make_unique<Written>();
        };
        steps.commit = [&](std::size_t index, WrittenConversion&) {
            // Slow commits give a premature write of the next picture its chance.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            record("commit " + std::to_string(index));
            return true;
        };
        EXPECT_EQ(runBatch(plan, jobs, steps), 0u);
        ASSERT_EQ(events.size(), 2 * plan.size());
        const auto at = [&](const std::string& event) {
            return std::find(events.begin(), events.end(), event) - events.begin();
        };
        EXPECT_LT(at("commit 0"), at("write 2"));
        EXPECT_LT(at("commit 2"), at("write 4"));
    }
}

TEST(BatchRunner, EveryWayAPictureCanFailIsCounted) {
    enum Outcome { kConverted, kNotWritten, kWriteThrows, kNotCommitted, kCommitThrows };
    const Outcome outcomes[] = {kConverted,   kNotWritten,   kConverted,
                                kWriteThrows, kNotCommitted, kCommitThrows};
    const auto plan = planFor({"1.pdb", "2.pdb", "3.pdb", "4.pdb", "5.pdb", "6.pdb"});
    for (int jobs : {1, 2}) {
        SCOPED_TRACE(jobs);
        std::mutex lock;
        std::vector<std::size_t> reported;
        ConversionSteps steps;
        steps.write = [&](std::size_t index) -> std::unique_ptr<WrittenConversion> {
            if (outcomes[index] == kWriteThrows) throw std::runtime_error("no memory");
            if (outcomes[index] == kNotWritten) return nullptr;
            return std::make_unique<Written>();
        };
        steps.commit = [&](std::size_t index, WrittenConversion&) {
            if (outcomes[index] == kCommitThrows) throw std::runtime_error("no thread");
            return outcomes[index] == kConverted;
        };
        steps.reportException = [&](std::size_t index, const std::exception&) {
            const std::lock_guard<std::mutex> guard(lock);
            reported.push_back(index);
        };
        EXPECT_EQ(runBatch(plan, jobs, steps), 4u);
        std::sort(reported.begin(), reported.end());
        EXPECT_EQ(reported, (std::vector<std::size_t>{3, 5}));
    }
}

TEST(BatchRunner, NoMorePicturesAreWrittenAtOnceThanWorkers) {
    const struct {
        std::vector<std::string> outputs;
        int jobs;
        int mostAtOnce;
    } cases[] = {
        {{"1.pdb", "2.pdb", "3.pdb", "4.pdb", "5.pdb", "6.pdb", "7.pdb", "8.pdb"}, 2, 2},
        {{"same.pdb", "same.pdb", "same.pdb", "same.pdb"}, 4, 1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.jobs);
        std::atomic<int> atOnce{0};
        std::atomic<int> most{0};
        ConversionSteps steps;
        steps.write = [&](std::size_t) {
            const int now = ++atOnce;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            --atOnce;
            return std::make_unique<Written>();
        };
        steps.commit = [](std::size_t, WrittenConversion&) { return true; };
        EXPECT_EQ(runBatch(planFor(test.outputs), test.jobs, steps), 0u);
        EXPECT_LE(most.load(), test.mostAtOnce);
        EXPECT_GE(most.load(), 1);
    }
}

TEST(BatchRunner, AStopLetsThePicturesInProgressFinishAndStartsNoMore) {
    const auto plan = planFor({"1.pdb", "2.pdb", "3.pdb", "4.pdb", "5.pdb", "6.pdb"});
    for (int jobs : {1, 3}) {
        SCOPED_TRACE(jobs);
        std::atomic<bool> stop{false};
        std::atomic<int> written{0};
        std::atomic<int> committed{0};
        ConversionSteps steps;
        steps.stopRequested = [&] { return stop.load(); };
        steps.write = [&](std::size_t) {
            stop = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ++written;
            return std::make_unique<Written>();
        };
        steps.commit = [&](std::size_t, WrittenConversion&) {
            ++committed;
            return true;
        };
        const std::size_t notConverted = runBatch(plan, jobs, steps);
        EXPECT_EQ(committed.load(), written.load());
        EXPECT_LE(written.load(), jobs);
        EXPECT_EQ(notConverted, plan.size() - static_cast<std::size_t>(written.load()));
    }
}
