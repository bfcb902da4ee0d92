#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/container.h"

namespace {

// A child that logs what it receives and answers focus offers as told.
struct Child {
    std::string name;
    std::vector<std::string> *log;
    bool accept_focus = true;
    bool keep_focus = false;
    bool takes_keys = false;  // answers key presses as its own commands
};

kxarg child_handler(void *obj, int code, kxarg a, kxarg b, kxarg, kxarg, kxarg, kxarg, kxarg,
                    kxarg)
{
    auto *c = static_cast<Child *>(obj);
    std::string what = std::to_string(code);
    if (code == KX_EV_LDOWN || code == KX_EV_MOTION)
        what += "@" + std::to_string(a) + "," + std::to_string(b);
    if (code == KX_EV_KEYDOWN)
        what += ":" + std::to_string(a);
    c->log->push_back(c->name + " " + what);
    if (code == KX_EV_FOCUS_IN)
        return c->accept_focus;
    if (code == KX_EV_KEEP_FOCUS)
        return c->keep_focus;
    if (code == KX_EV_KEYDOWN)
        return c->takes_keys;
    return 0;
}

// The container's own parent, which grants focus.
kxarg grant(void *, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    return code == KX_REQ_FOCUS;
}

struct Fixture : testing::Test {
    kxcontainer c;
    kxwidget self;
    std::vector<std::string> log;
    std::vector<Child> kids;

    void SetUp() override
    {
        kxcontainer_init(&c, false);
        self = kxwidget{};
        self.enabled = 1;
        self.parent_handler = grant;
        kids.reserve(10);
    }
    int add(const char *name, int x, int y, int xs, int ys, int flags)
    {
        kids.push_back({name, &log});
        return kxcontainer_register(&c, child_handler, &kids.back(), x, y, xs, ys, flags);
    }
};

constexpr int all = KX_REG_MOUSE | KX_REG_FOCUSABLE | KX_REG_HOVER;

} // namespace

using Container = Fixture;

TEST_F(Container, ClicksOnTheBorderPixelMissAndOverlapsHitBothInIndexOrder)
{
    add("a", 10, 10, 20, 20, all);
    add("b", 20, 20, 20, 20, all);
    EXPECT_FALSE(kxcontainer_mouse(&c, KX_EV_LDOWN, 10, 15));  // a's left edge
    EXPECT_FALSE(kxcontainer_mouse(&c, KX_EV_LDOWN, 15, 10));  // a's top edge
    EXPECT_FALSE(kxcontainer_mouse(&c, KX_EV_LDOWN, 30, 15));  // a's right edge
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(kxcontainer_mouse(&c, KX_EV_LDOWN, 25, 25));
    EXPECT_EQ(log, (std::vector<std::string>{"a 2004@25,25", "b 2004@25,25"}));
}

TEST_F(Container, AMissedLeftPressDropsTheFocus)
{
    add("a", 0, 0, 10, 10, all);
    EXPECT_EQ(kxcontainer_focus(&c, &self, 0), 1);
    log.clear();
    kxcontainer_mouse(&c, KX_EV_RDOWN, 50, 50);
    EXPECT_EQ(c.focus, 0);
    kxcontainer_mouse(&c, KX_EV_LDOWN, 50, 50);
    EXPECT_EQ(c.focus, -1);
    EXPECT_EQ(log, std::vector<std::string>{"a 2019"});
}

TEST_F(Container, FreedEntriesAreReusedAndStopBeingFocusOrHover)
{
    add("a", 0, 0, 10, 10, all);
    add("b", 0, 0, 10, 10, all);
    kxcontainer_focus(&c, &self, 1);
    kxcontainer_motion(&c, 5, 5);
    EXPECT_EQ(c.hovered, 1);
    kxcontainer_unregister(&c, &kids[1]);
    EXPECT_EQ(c.focus, -1);
    EXPECT_EQ(c.hovered, -1);
    EXPECT_EQ(add("c", 0, 0, 5, 5, 0), 1);
    EXPECT_EQ(add("d", 0, 0, 5, 5, 0), 2);
    EXPECT_EQ(kxcontainer_find(&c, &kids[3]), 2);
}

TEST_F(Container, TabWithTheOnlyEntryFocusedChangesNothing)
{
    add("a", 0, 0, 10, 10, all);
    kxcontainer_focus_next(&c, &self);
    EXPECT_EQ(c.focus, 0);
    log.clear();
    kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_TAB, true);
    EXPECT_EQ(c.focus, 0);
    EXPECT_EQ(log, std::vector<std::string>{"a 2016:9"});  // the key itself still goes to it
}

TEST_F(Container, TabWalksFocusableEntriesCyclically)
{
    add("a", 0, 0, 10, 10, all);
    add("bar", 0, 0, 10, 10, KX_REG_MOUSE);  // not focusable
    add("c", 0, 0, 10, 10, all);
    kids[2].accept_focus = true;
    kxcontainer_focus_next(&c, &self);
    EXPECT_EQ(c.focus, 0);
    kxcontainer_focus_next(&c, &self);
    EXPECT_EQ(c.focus, 2);
    kxcontainer_focus_next(&c, &self);  // wraps past the end
    EXPECT_EQ(c.focus, 0);
    // An entry that refuses is passed over; when all refuse, nothing changes.
    kids[2].accept_focus = false;
    kxcontainer_focus_next(&c, &self);
    EXPECT_EQ(c.focus, 0);
    // KEEP_FOCUS stops the move.
    kids[2].accept_focus = true;
    kids[0].keep_focus = true;
    kxcontainer_focus_next(&c, &self);
    EXPECT_EQ(c.focus, 0);
}

TEST_F(Container, ShiftTabWalksBackwardsFromTheLastEntry)
{
    add("a", 0, 0, 10, 10, all);
    add("bar", 0, 0, 10, 10, KX_REG_MOUSE);  // not focusable
    add("c", 0, 0, 10, 10, all);
    add("d", 0, 0, 10, 10, all);
    auto shift_tab = [&] { kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_TAB, true, true); };
    shift_tab();  // no focus entry: the last one
    EXPECT_EQ(c.focus, 3);
    shift_tab();
    EXPECT_EQ(c.focus, 2);
    shift_tab();  // past the bar
    EXPECT_EQ(c.focus, 0);
    shift_tab();  // wraps before the start
    EXPECT_EQ(c.focus, 3);
    kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_TAB, true);  // Tab alone goes on
    EXPECT_EQ(c.focus, 0);
}

TEST_F(Container, AKeyTheFocusEntryTakesIsLeftToIt)
{
    add("a", 0, 0, 10, 10, all);
    add("b", 0, 0, 10, 10, all);
    kxcontainer_focus(&c, &self, 0);
    kids[0].takes_keys = true;
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_ESCAPE, true), kxkeyaction::taken);
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_TAB, true), kxkeyaction::taken);
    EXPECT_EQ(c.focus, 0);
    kids[0].takes_keys = false;
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_TAB, true), kxkeyaction::none);
    EXPECT_EQ(c.focus, 1);
}

TEST_F(Container, EntriesThatWantTabKeepIt)
{
    add("editor", 0, 0, 10, 10, all | KX_REG_WANTS_TAB);
    add("b", 0, 0, 10, 10, all);
    kxcontainer_focus(&c, &self, 0);
    kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_TAB, true);
    EXPECT_EQ(c.focus, 0);
    kxcontainer_drop_focus(&c);
    kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_TAB, true);  // no focus entry: Tab moves
    EXPECT_EQ(c.focus, 0);
}

TEST_F(Container, EscapeDropsTheFocusAndDoesNothingWithoutOne)
{
    add("a", 0, 0, 10, 10, all);
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_ESCAPE, true), kxkeyaction::none);
    EXPECT_EQ(c.focus, -1);
    EXPECT_TRUE(log.empty());
    kxcontainer_focus(&c, &self, 0);
    log.clear();
    kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_ESCAPE, true);
    EXPECT_EQ(c.focus, -1);
    EXPECT_EQ(log, (std::vector<std::string>{"a 2016:27", "a 2019"}));
}

TEST_F(Container, CursorKeysScrollOnlyWithoutFocusEntry)
{
    add("a", 0, 0, 10, 10, all);
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_UP, true), kxkeyaction::scroll_up);
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_DOWN, true),
              kxkeyaction::scroll_down);
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_DOWN, false), kxkeyaction::none);
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYUP, KX_KEY_DOWN, true), kxkeyaction::none);
    kxcontainer_focus(&c, &self, 0);
    EXPECT_EQ(kxcontainer_key(&c, &self, KX_EV_KEYDOWN, KX_KEY_DOWN, true), kxkeyaction::none);
}

TEST_F(Container, NoFocusContainersRefuseAndStoreNoFocusableBits)
{
    kxcontainer_init(&c, true);
    add("a", 0, 0, 10, 10, all);
    EXPECT_EQ(c.entries[0].focusable, 0);
    EXPECT_EQ(kxcontainer_focus(&c, &self, 0), 0);
    kxcontainer_focus_next(&c, &self);
    EXPECT_EQ(c.focus, -1);
    EXPECT_TRUE(log.empty());
}

TEST_F(Container, HoverFollowsTheLastHoverEntryUnderThePointer)
{
    add("a", 0, 0, 50, 50, all);
    add("b", 10, 10, 10, 10, all);
    add("plain", 0, 0, 50, 50, KX_REG_MOUSE);
    kxcontainer_motion(&c, 15, 15);
    EXPECT_EQ(c.hovered, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"a 2015@15,15", "b 2015@15,15", "plain 2015@15,15",
                                             "b 2025"}));
    log.clear();
    kxcontainer_motion(&c, 30, 30);
    EXPECT_EQ(c.hovered, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a 2015@30,30", "plain 2015@30,30", "b 2024",
                                             "a 2025"}));
}

TEST_F(Container, AGrabbingEntryGetsEveryMouseEvent)
{
    add("a", 0, 0, 10, 10, all);
    add("thumb", 100, 100, 10, 10, KX_REG_MOUSE);
    c.grab = 1;
    kxcontainer_mouse(&c, KX_EV_LDOWN, 5, 5);
    kxcontainer_motion(&c, 500, -3);
    EXPECT_EQ(log, (std::vector<std::string>{"thumb 2004@5,5", "thumb 2015@500,-3"}));
}
