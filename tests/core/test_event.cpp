#include <gtest/gtest.h>

#include <vector>

#include "core/app.h"
#include "core/event.h"
#include "support.h"

namespace {

int info_opened = 0;
void count_info() { info_opened++; }

} // namespace

TEST(EventQueue, SixtyFifthIdIsLostAndTheRestComeInOrder)
{
    kxtest_headless();
    for (int i = 0; i < KX_QUEUE_SIZE + 1; i++)
        kxevent_post(KX_FIRST_EVENT_ID + i);
    EXPECT_EQ(kxevent_count(), KX_QUEUE_SIZE);
    for (int i = 0; i < KX_QUEUE_SIZE; i++)
        ASSERT_EQ(kxevent_wait(), KX_FIRST_EVENT_ID + i);
    EXPECT_FALSE(kxevent_pending());
    // The ring wraps: more ids after draining still come out in order.
    for (int round = 0; round < 3; round++) {
        for (int i = 0; i < 40; i++)
            kxevent_post(i + 1);
        for (int i = 0; i < 40; i++)
            ASSERT_EQ(kxevent_wait(), i + 1);
    }
}

TEST(EventQueue, HasRoomUpToThirtyTwoQueuedIds)
{
    kxtest_headless();
    EXPECT_TRUE(kxevent_has_room());
    for (int i = 0; i < KX_QUEUE_ROOM; i++)
        kxevent_post(KX_FIRST_EVENT_ID);
    EXPECT_TRUE(kxevent_has_room());
    kxevent_post(KX_FIRST_EVENT_ID);
    EXPECT_FALSE(kxevent_has_room());
    EXPECT_TRUE(kxevent_pending());
}

TEST(EventQueue, WaitAfterQuitReturnsZeroAtOnce)
{
    kxtest_headless();
    EXPECT_EQ(kxevent_poll(), 0);  // enters the loop, so quit only clears the flag
    kxevent_post(7);
    kxapp_quit();
    EXPECT_FALSE(kxapp_running());
    EXPECT_EQ(kxevent_wait(), 0);
    EXPECT_EQ(kxevent_wait_for({7}), 0);
}

TEST(EventQueue, PostBeforeWaitSetsTheStartedFlag)
{
    kxtest_headless();
    EXPECT_FALSE(kxapp_started());
    kxevent_post(1);
    EXPECT_TRUE(kxapp_started());
    EXPECT_FALSE(kxapp_loop_entered());
    EXPECT_EQ(kxevent_wait(), 1);
    EXPECT_TRUE(kxapp_loop_entered());
}

TEST(InfoBox, FiveF12PressesOpenItOnceAndKeyUpsDoNotBreakTheRow)
{
    kxtest_headless();
    kxevent_setinfohook(count_info);
    for (int i = 0; i < 4; i++) {
        kxevent_post(KX_KEY_F12);
        kxevent_post(KX_KEY_F12 + KX_KEYUP_BIT);
        kxevent_post(KX_FIRST_EVENT_ID + i);  // widget ids are above F12 too
    }
    EXPECT_EQ(info_opened, 0);
    kxevent_post(KX_KEY_F12);
    EXPECT_EQ(info_opened, 1);
    // The counter starts again after the fifth press.
    for (int i = 0; i < 4; i++)
        kxevent_post(KX_KEY_F12);
    EXPECT_EQ(info_opened, 1);
    // Any key below F12 breaks the row.
    kxevent_post(KX_KEY_F11);
    kxevent_post(KX_KEY_F12);
    EXPECT_EQ(info_opened, 1);
    for (int i = 0; i < 4; i++)
        kxevent_post(KX_KEY_F12);
    EXPECT_EQ(info_opened, 2);
}

TEST(InfoBox, TextNamesTheToolkitVersionAndSystems)
{
    std::string text = kxapp_infotext();
    EXPECT_NE(text.find("kx9d version: 2.10.710.12\n---"), std::string::npos);
    for (const char *sys : {"Linux", "MacOS X", "FreeBSD", "MS-Windows", "QNX"})
        EXPECT_NE(text.find(sys), std::string::npos) << sys;
}

TEST(WaitFor, DiscardsOtherIdsAndRunsModal)
{
    kxtest_headless();
    for (int id : {5, 6, 1000001, 7, 8})
        kxevent_post(id);
    bool modal_seen = false;
    kxtest_idle idle([&] {
        modal_seen = kxapp_modal();
        kxevent_post(42);
    });
    EXPECT_EQ(kxevent_wait_for({7, 99}), 7);
    EXPECT_FALSE(kxapp_modal());
    EXPECT_EQ(kxevent_wait(), 8);  // ids after the match stay queued
    // Nothing queued: the pump runs (and the idle hook posts) until a wanted id comes.
    EXPECT_EQ(kxevent_wait_for({42}), 42);
    EXPECT_TRUE(modal_seen);
}

TEST(WaitFor, AtMostAThousandIdsAreLookedAt)
{
    kxtest_headless();
    std::vector<int> ids(KX_WAIT_FOR_MAX + 1);
    for (int i = 0; i <= KX_WAIT_FOR_MAX; i++)
        ids[i] = 5000 + i;
    kxevent_post(5000 + KX_WAIT_FOR_MAX);  // only in the 1001st place: discarded
    kxevent_post(5000 + KX_WAIT_FOR_MAX - 1);
    EXPECT_EQ(kxevent_wait_for(static_cast<int>(ids.size()), ids.data()),
              5000 + KX_WAIT_FOR_MAX - 1);
}

namespace {
int timer_calls = 0;
void quit_from_timer()
{
    if (++timer_calls == 3)
        kxapp_quit();
}
} // namespace

TEST(Pump, QuitFromAPumpHookEndsTheWaitWithoutInput)
{
    kxtest_headless();
    kxevent_poll();
    kxevent_settimerhook(quit_from_timer);
    EXPECT_EQ(kxevent_wait(), 0);
    EXPECT_EQ(timer_calls, 3);
    kxevent_settimerhook(nullptr);
}

TEST(Pump, RunPumpsUntilTheRunningFlagIsCleared)
{
    kxtest_headless();
    int cycles = 0;
    kxtest_idle idle([&] {
        kxevent_post(1);  // discarded by the run
        if (++cycles == 10)
            kxapp_quit();
    });
    kxevent_run();
    EXPECT_EQ(cycles, 10);
    EXPECT_TRUE(kxapp_loop_entered());
}

TEST(Pump, OneHostMessagePerCycleAndAllOfThemInPumpAll)
{
    kxtest_headless();
    kxllgui_window w;
    int resized = 0;
    auto handler = [](void *obj, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg,
                      kxarg) -> kxarg {
        if (code == KX_EV_RESIZE)
            (*static_cast<int *>(obj))++;
        return 0;
    };
    ASSERT_TRUE(kxplatwin_create(&w, handler, &resized, 0, 0, 20, 20, "t", {}));
    for (int i = 1; i <= 4; i++)
        kxheadless_resize(&w, 20 + i, 20);
    int before = kxheadless_pending();
    kxsys_pump();
    EXPECT_EQ(kxheadless_pending(), before - 1);
    kxsys_pump_all();
    EXPECT_EQ(kxheadless_pending(), 0);
    EXPECT_EQ(resized, 4);
    kxplatwin_destroy(&w);
}
