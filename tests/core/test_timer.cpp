#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "core/event.h"
#include "core/timer.h"
#include "platform/platform.h"
#include "support.h"

namespace {

struct Ticked {
    std::vector<int> fired_at;  // elapsed ms at each call
    int now = 0;
    bool remove_self = false;
};

kxarg on_timer(void *obj, int code, kxarg number, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    auto *t = static_cast<Ticked *>(obj);
    if (code == KX_EV_TIMER) {
        t->fired_at.push_back(t->now);
        if (t->remove_self)
            kxtimer_remove(t, static_cast<int>(number));
    }
    return 0;
}

// The host's timer thread is stopped so that only counted ticks arrive.
struct Timers : testing::Test {
    std::vector<std::pair<void *, int>> added;
    void SetUp() override { kxtest_headless(); }
    // The timers of a test end with it (the objects live on its stack).
    void TearDown() override
    {
        for (auto &[obj, number] : added)
            kxtimer_remove(obj, number);
        kxtick_stop();
    }
    void add(Ticked *t, int period, int number = 0)
    {
        added.push_back({t, number});
        kxtimer_add(on_timer, t, period, number);
    }
    void start(Ticked *t, int period, int number = 0)
    {
        added.push_back({t, number});
        kxtimer_add(on_timer, t, period, number);
        kxtick_stop();
        kxtick_count(-kxtimer_pending());
        kxtimer_add(on_timer, t, period, number);  // restarts it from 0 ms
    }
    // Runs ms milliseconds of ticks, one delivery per tick, stamping the time.
    void run(std::vector<Ticked *> ts, int ms)
    {
        for (int i = 0; i < ms / KX_TICK_MS; i++) {
            for (Ticked *t : ts)
                t->now += KX_TICK_MS;
            kxtick_count(1);
            kxtimer_deliver();
        }
    }
};

} // namespace

TEST_F(Timers, PeriodsFireWithoutDrift)
{
    Ticked a, b;
    start(&a, 100);
    add(&b, 250, 7);
    run({&a, &b}, 1000);
    EXPECT_EQ(a.fired_at, (std::vector<int>{100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}));
    EXPECT_EQ(b.fired_at, (std::vector<int>{250, 500, 750, 1000}));
}

TEST_F(Timers, PeriodsBelowATickFireSeveralTimesPerTick)
{
    Ticked a;
    start(&a, 3);
    run({&a}, 30);
    EXPECT_EQ(a.fired_at.size(), 10u);  // 30 ms / 3 ms
}

TEST_F(Timers, AddingTheSameObjectAndNumberRestartsThatSlot)
{
    Ticked a;
    start(&a, 100);
    run({&a}, 50);
    kxtimer_add(on_timer, &a, 200, 0);
    EXPECT_EQ(kxtimer_count(), 1);
    run({&a}, 200);
    EXPECT_EQ(a.fired_at, std::vector<int>{250});
    kxtimer_setperiod(50, &a, 0);
    run({&a}, 100);
    EXPECT_EQ(a.fired_at, (std::vector<int>{250, 300, 350}));
    kxtimer_remove(&a, 0);
    run({&a}, 100);
    EXPECT_EQ(a.fired_at.size(), 3u);
    EXPECT_EQ(kxtimer_count(), 0);
}

TEST_F(Timers, AShorterPeriodFiresOnceAtTheNextTickNotForAllTheTimeCounted)
{
    Ticked a;
    start(&a, 100);
    run({&a}, 60);
    kxtimer_setperiod(10, &a, 0);
    run({&a}, 30);
    EXPECT_EQ(a.fired_at, (std::vector<int>{70, 80, 90}));
}

TEST_F(Timers, AHandlerMayRemoveItsOwnTimer)
{
    Ticked a;
    a.remove_self = true;
    start(&a, 5);  // would fire twice in one tick
    run({&a}, 50);
    EXPECT_EQ(a.fired_at, std::vector<int>{10});
}

TEST_F(Timers, TheHundredAndFirstTimerIsRefused)
{
    static Ticked many[KX_MAX_TIMERS + 1];
    start(&many[0], 100);
    for (int i = 1; i < KX_MAX_TIMERS; i++)
        add(&many[i], 100);
    added.push_back({&many[KX_MAX_TIMERS], 0});
    EXPECT_EQ(kxtest_stdout([] { kxtimer_add(on_timer, &many[KX_MAX_TIMERS], 100, 0); }),
              "too many timers !\n");
    EXPECT_EQ(kxtimer_count(), KX_MAX_TIMERS);
    kxtimer_remove(&many[3], 0);
    kxtimer_add(on_timer, &many[KX_MAX_TIMERS], 100, 0);  // the freed slot is taken
    EXPECT_EQ(kxtimer_count(), KX_MAX_TIMERS);
}

TEST_F(Timers, ABacklogDrainsTenTicksPerPumpCycle)
{
    Ticked a;
    start(&a, 10);
    kxtick_count(500);  // five seconds without pumping
    kxtimer_deliver();
    EXPECT_EQ(a.fired_at.size(), 10u);
    EXPECT_EQ(kxtimer_pending(), 490);
    for (int i = 0; i < 49; i++)
        kxtimer_deliver();
    EXPECT_EQ(a.fired_at.size(), 500u);
    EXPECT_EQ(kxtimer_pending(), 0);
    kxtick_count(KX_MAX_PENDING_TICKS + 5000);
    kxtimer_deliver();
    EXPECT_EQ(kxtimer_pending(), KX_MAX_PENDING_TICKS - KX_TICKS_PER_PUMP);
}

TEST_F(Timers, ThePumpDeliversTicks)
{
    Ticked a;
    start(&a, 20);
    kxtick_count(4);
    kxsys_pump_all();
    EXPECT_EQ(a.fired_at.size(), 2u);
}

TEST_F(Timers, ApplicationTimersPostNothingWhileModalOrBusy)
{
    Ticked dummy;
    start(&dummy, 1000);
    kxTimer t;
    kxtimer_create(&t, 100);
    added.push_back({&t, 0});
    EXPECT_GE(t.id, KX_FIRST_EVENT_ID);
    run({}, 100);
    ASSERT_EQ(kxevent_count(), 1);
    EXPECT_EQ(kxevent_wait(), t.id);
    kxapp_setmodal(true);
    run({}, 300);
    EXPECT_EQ(kxevent_count(), 0);
    kxapp_setmodal(false);
    for (int i = 0; i < KX_QUEUE_ROOM + 1; i++)
        kxevent_post(1);
    run({}, 200);
    EXPECT_EQ(kxevent_count(), KX_QUEUE_ROOM + 1);
    kxtimer_destroy(&t);
}

TEST(BaseTick, TheHostThreadCountsTicks)
{
    kxtest_headless();
    Ticked a;
    kxtimer_add(on_timer, &a, 10, 0);
    auto t0 = kxsys_ticks();
    while (a.fired_at.size() < 3 && kxsys_ticks() - t0 < 10000) {
        kxsys_pump_all();  // a full pump cycle would wait for an id
        kxsys_sleep(1000);
    }
    kxtick_stop();
    kxtimer_remove(&a, 0);
    EXPECT_GE(a.fired_at.size(), 3u);
}

// With the real timer thread running, a waiting pump sleeps until a timer is
// due: the wait ends at the timer, not at its own limit.
TEST_F(Timers, ADueTimerEndsTheWaitOfAnIdlePump)
{
    kxtimer_add(on_timer, this, 50, 7);
    added.push_back({this, 7});
    kxtick_count(-kxtimer_pending());  // ticks from before would count toward it
    std::int64_t t0 = kxsys_ticks();
    kxsys_waitwake(20000);
    std::int64_t waited = kxsys_ticks() - t0;
    EXPECT_LT(waited, 10000) << "nothing woke the wait";
    EXPECT_GE(waited, 20) << "woken before the timer was due";

    // A wake-up from another thread ends it as well.
    kxtimer_remove(this, 7);
    std::thread other([] {
        kxsys_sleep(30 * 1000);
        kxsys_wake();
    });
    t0 = kxsys_ticks();
    kxsys_waitwake(20000);
    waited = kxsys_ticks() - t0;
    other.join();
    EXPECT_LT(waited, 10000);
}

// A waiting pump wakes at the first due timer, unless that one can wait (up
// to half its period, at most KX_TIMER_SLACK_MS) for the next: then once for
// both.  When the timers fire does not change.
TEST_F(Timers, TimersOfDifferentPhasesShareTheWakeUpWithinTheirSlack)
{
    Ticked a, b, c;
    start(&a, 100);
    EXPECT_EQ(kxtimer_wakeafter(), 10);
    run({&a}, 40);
    b.now = c.now = a.now;
    add(&b, 70);  // due at 110 ms: a may wait 50 ms
    EXPECT_EQ(kxtimer_wakeafter(), 7);
    add(&c, 1000, 1);  // due at 1040 ms: too far for either
    EXPECT_EQ(kxtimer_wakeafter(), 7);
    run({&a, &b, &c}, 70);
    EXPECT_EQ(a.fired_at, std::vector<int>{100});
    EXPECT_EQ(b.fired_at, std::vector<int>{110});
    kxtimer_remove(&a, 0);
    kxtimer_remove(&b, 0);
    EXPECT_EQ(kxtimer_wakeafter(), 93);
    kxtimer_remove(&c, 1);
    EXPECT_EQ(kxtimer_wakeafter(), -1);
}

// A punctual timer ends a wait the user watches: it wakes the pump at its
// own time, where an ordinary one would wait for the next timer.
TEST_F(Timers, APunctualTimerWakesAtItsOwnTime)
{
    Ticked a;
    start(&a, 100);
    kxTimer p;
    kxtimer_create(&p, 70);
    const int id = p.id;
    EXPECT_EQ(kxtimer_wakeafter(), 10);  // 70 ms may wait 30 for the 100 ms timer
    kxtimer_restart(&p, 70, true);
    EXPECT_EQ(kxtimer_wakeafter(), 7);
    EXPECT_EQ(p.id, id);
    kxtimer_destroy(&p);
    kxtimer_restart(&p, 70, false);
    EXPECT_EQ(kxtimer_wakeafter(), 10);
    kxtimer_destroy(&p);
}
