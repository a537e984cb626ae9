// The main window's shared search values and the launch guard, driven by a fake search run on a
// thread of its own; the host version levels, directory names and registry texts of cabinet opening.
#include "host/cabinet.h"
#include "search/search_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

void ResetState() {
    SearchShared.SearchControl.running.store(0);
    SearchShared.SearchControl.cancelRequest.store(0);
    SearchShared.SearchControl.starting.store(0);
    SearchShared.lastSearchMode.store(0);
}

// A fake run that follows the run's protocol, stepped by the test through gates.
struct FakeRun {
    std::atomic<int> gate{0};    // how far the test lets the run go
    std::atomic<int> reached{0}; // how far it has gone
    std::atomic<int> postedClose{0};
    std::atomic<int> cancelSeen{0};
    std::thread thread;

    void WaitGate(int g) {
        while (gate.load() < g)
            std::this_thread::yield();
    }
    void Start() {
        thread = std::thread([this] {
            WaitGate(1); // reading the window's inputs
            SearchRunBegin();
            reached.store(1);
            WaitGate(2); // scanning
            cancelSeen.store(SearchShared.SearchControl.cancelRequest.load());
            reached.store(2);
            WaitGate(3);
            if (SearchRunFinish()) postedClose.store(1);
            reached.store(3);
        });
    }
    void RunTo(int g) {
        gate.store(g);
        while (reached.load() < g)
            std::this_thread::yield();
    }
    void Join() {
        gate.store(3);
        thread.join();
    }
};

TEST(LaunchGuard, IdleLancerStartsOneRun) {
    ResetState();
    EXPECT_EQ(LaunchDecision(), LAUNCH_START);
    EXPECT_EQ(SearchShared.SearchControl.starting.load(), 1);
    EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
    EXPECT_TRUE(SearchActive());
}

TEST(LaunchGuard, SecondLancerBeforeTheRunIsUpStartsNothing) {
    ResetState();
    FakeRun run;
    ASSERT_EQ(LaunchDecision(), LAUNCH_START);
    run.Start();
    // The interval: running is still 0. Presses are ignored and record no cancel.
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(LaunchDecision(), LAUNCH_IGNORED);
    EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), 0);
    // Closing in the interval is retried, never done under the starting run.
    EXPECT_EQ(CloseDecision(), CLOSE_RETRY);
    run.RunTo(1);
    EXPECT_EQ(SearchShared.SearchControl.running.load(), 1);
    EXPECT_EQ(SearchShared.SearchControl.starting.load(), 0);
    // Searching: Lancer now cancels.
    EXPECT_EQ(LaunchDecision(), LAUNCH_CANCEL);
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_STOP);
    run.RunTo(2);
    EXPECT_EQ(run.cancelSeen.load(), CANCEL_STOP);
    run.RunTo(3);
    run.Join();
    EXPECT_EQ(run.postedClose.load(), 0);
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), 0); // Idle again
    EXPECT_FALSE(SearchActive());
    EXPECT_EQ(LaunchDecision(), LAUNCH_START);
}

TEST(LaunchGuard, PressesRacingTheRunNeverStartTwoRuns) {
    // Many launches, each with a burst of presses from the window thread while the run comes up
    // on its own thread: exactly one run may be started per launch.
    for (int round = 0; round < 200; round++) {
        ResetState();
        ASSERT_EQ(LaunchDecision(), LAUNCH_START);
        std::atomic<int> go{0};
        std::thread run([&] {
            while (!go.load())
                std::this_thread::yield();
            SearchRunBegin();
        });
        go.store(1);
        int starts = 0, cancels = 0;
        for (int i = 0; i < 50; i++) {
            int d = LaunchDecision();
            if (d == LAUNCH_START) starts++;
            if (d == LAUNCH_CANCEL) cancels++;
        }
        run.join();
        ASSERT_EQ(starts, 0) << "round " << round;
        // Once the run was seen up, presses became cancel requests.
        if (cancels > 0) {
            ASSERT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_STOP);
        }
        (void)SearchRunFinish();
    }
}

TEST(LaunchGuard, ThreadCreationFailureReleasesTheGuard) {
    ResetState();
    ASSERT_EQ(LaunchDecision(), LAUNCH_START);
    LaunchFailed();
    EXPECT_FALSE(SearchActive());
    EXPECT_EQ(CloseDecision(), CLOSE_NOW);
    EXPECT_EQ(LaunchDecision(), LAUNCH_START);
    SearchRunAbandon(); // a run giving up before it is up
    EXPECT_FALSE(SearchActive());
}

TEST(CloseDeferral, CloseDuringASearchClosesWhenTheRunEnds) {
    ResetState();
    FakeRun run;
    ASSERT_EQ(LaunchDecision(), LAUNCH_START);
    run.Start();
    run.RunTo(1);
    EXPECT_EQ(CloseDecision(), CLOSE_DEFERRED); // Searching -> Closing
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), CANCEL_AND_CLOSE);
    EXPECT_EQ(CloseDecision(), CLOSE_DEFERRED); // again: still Closing
    run.RunTo(2);
    EXPECT_EQ(run.cancelSeen.load(), CANCEL_AND_CLOSE);
    run.RunTo(3);
    run.Join();
    EXPECT_EQ(run.postedClose.load(), 1);
    // The posted WM_CLOSE finds the window Idle.
    EXPECT_EQ(CloseDecision(), CLOSE_NOW);
}

TEST(CloseDeferral, LancerAfterCloseTurnsItIntoAPlainCancel) {
    ResetState();
    FakeRun run;
    ASSERT_EQ(LaunchDecision(), LAUNCH_START);
    run.Start();
    run.RunTo(1);
    EXPECT_EQ(CloseDecision(), CLOSE_DEFERRED); // Closing
    EXPECT_EQ(LaunchDecision(), LAUNCH_CANCEL); // Closing -> Cancelling
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), 1);
    run.Join();
    EXPECT_EQ(run.postedClose.load(), 0); // the window stays open
    EXPECT_EQ(SearchShared.SearchControl.running.load(), 0);
}

TEST(CloseDeferral, CancellingThenCloseBecomesClosing) {
    ResetState();
    FakeRun run;
    ASSERT_EQ(LaunchDecision(), LAUNCH_START);
    run.Start();
    run.RunTo(1);
    EXPECT_EQ(LaunchDecision(), LAUNCH_CANCEL);
    EXPECT_EQ(CloseDecision(), CLOSE_DEFERRED);
    run.Join();
    EXPECT_EQ(run.postedClose.load(), 1);
}

TEST(CloseDeferral, ARunEndingDuringTheCloseLosesNoClose) {
    // The run ends while the window is deciding: exactly one side acts on the request, so the
    // window either closes at once or receives the run's WM_CLOSE, never neither nor both.
    for (int round = 0; round < 500; round++) {
        ResetState();
        SearchShared.SearchControl.running.store(1);
        std::atomic<int> go{0};
        int posted = 0;
        std::thread run([&] {
            while (!go.load())
                std::this_thread::yield();
            posted = SearchRunFinish();
        });
        go.store(1);
        int d = CloseDecision();
        run.join();
        int closes = (d == CLOSE_NOW ? 1 : 0) + posted;
        ASSERT_EQ(closes, 1) << "round " << round << " decision " << d;
    }
}

TEST(CloseDeferral, IdleCloseIsImmediate) {
    ResetState();
    EXPECT_EQ(CloseDecision(), CLOSE_NOW);
    EXPECT_EQ(SearchShared.SearchControl.cancelRequest.load(), 0);
}

TEST(SearchValues, StartAtZero) {
    // The process-wide values are zero before any test changed them: checked on fresh copies of
    // their initialisers.
    SearchControlWords fresh = {{0}, {0}, {0}};
    EXPECT_EQ(fresh.running.load(), 0);
    EXPECT_EQ(sizeof(SearchShared.SearchControl.running.load()), 4u);
    EXPECT_EQ(sizeof(SearchShared.lastSearchMode.load()), 4u);
    EXPECT_TRUE(SearchShared.SearchControl.running.is_lock_free());
    EXPECT_TRUE(SearchShared.lastSearchMode.is_lock_free());
}

TEST(HostVersion, KnownLevels) {
    EXPECT_EQ(HostLevelFromVersion(5, 0), 1);
    EXPECT_EQ(HostLevelFromVersion(5, 1), 1);
    EXPECT_EQ(HostLevelFromVersion(5, 5), 2);
    EXPECT_EQ(HostLevelFromVersion(5, 51), 2);
    EXPECT_EQ(HostLevelFromVersion(5, 55), 2);
    EXPECT_EQ(HostLevelFromVersion(5, 60), 2);
}

TEST(HostVersion, OtherVersionsAreRefused) {
    EXPECT_EQ(HostLevelFromVersion(5, 2), 0);
    EXPECT_EQ(HostLevelFromVersion(6, 0), 0);
    EXPECT_EQ(HostLevelFromVersion(4, 9), 0);
    EXPECT_EQ(HostLevelFromVersion(5, 50), 0);
    EXPECT_EQ(HostLevelFromVersion(5, 6), 0);
    EXPECT_EQ(HostLevelFromVersion(0, 0), 0);
    EXPECT_EQ(HostLevelFromVersion(1, 5), 0);
    EXPECT_EQ(HostLevelFromVersion(65535, 65535), 0);
    EXPECT_EQ(HostLevelFromVersion(5 + 65536, 0), 0);
}

TEST(RegistryText, FittingValuesAreKept) {
    char buf[16];
    std::memcpy(buf, "C:\\x\0", 5);
    AcceptRegistryText(buf, sizeof buf, 1, 5);
    EXPECT_STREQ(buf, "C:\\x");
    // Stored without its terminator but with room for one.
    std::memcpy(buf, "abcdef", 6);
    AcceptRegistryText(buf, sizeof buf, 1, 6);
    EXPECT_STREQ(buf, "abcdef");
    // Exactly 15 characters and the terminator.
    std::memcpy(buf, "123456789012345", 16);
    AcceptRegistryText(buf, sizeof buf, 1, 16);
    EXPECT_STREQ(buf, "123456789012345");
}

TEST(RegistryText, TooLongFailedOrEmptyValuesAreEmpty) {
    char buf[16];
    std::memset(buf, 'z', sizeof buf); // filled without a terminator
    AcceptRegistryText(buf, sizeof buf, 1, 16);
    EXPECT_STREQ(buf, "");
    std::memset(buf, 'z', sizeof buf);
    AcceptRegistryText(buf, sizeof buf, 0, 0); // the read failed (missing, too long, not a string)
    EXPECT_STREQ(buf, "");
    std::memset(buf, 'z', sizeof buf);
    AcceptRegistryText(buf, sizeof buf, 1, 0);
    EXPECT_STREQ(buf, "");
    std::memset(buf, 'z', sizeof buf);
    AcceptRegistryText(buf, sizeof buf, 1, 400); // a length beyond the buffer
    EXPECT_STREQ(buf, "");
    AcceptRegistryText(buf, 0, 1, 3); // no room at all: nothing written
}

} // namespace
