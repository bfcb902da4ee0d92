#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/event.h"
#include "core/widget.h"
#include "graphics/colours.h"
#include "support.h"

namespace {

struct Hooked {
    std::vector<int> ids;
    kxarg a = 0, b = 0, c = 0;
};

void hook(void *obj, int id, kxarg a, kxarg b, kxarg c)
{
    auto *h = static_cast<Hooked *>(obj);
    h->ids.push_back(id);
    h->a = a, h->b = b, h->c = c;
}

int activations = 0;
void activated() { activations++; }

// A container that records the requests it receives.
struct Recorder {
    std::vector<std::vector<kxarg>> got;
    kxarg answer = 0;
};

kxarg record(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4, kxarg a5,
             kxarg a6, kxarg)
{
    auto *r = static_cast<Recorder *>(obj);
    r->got.push_back({code, a0, a1, a2, a3, a4, a5, a6});
    return r->answer;
}

} // namespace

TEST(WidgetIds, AreNeverReusedAndStartAtOneMillion)
{
    kxtest_headless();
    std::set<int> seen;
    kxwidget w;
    for (int round = 0; round < 3; round++) {
        kxwidget_init(&w);  // re-initialising takes new ids
        kxwidget other;
        kxwidget_init(&other);
        for (int id : w.ids)
            EXPECT_TRUE(seen.insert(id).second) << id;
        for (int id : other.ids)
            EXPECT_TRUE(seen.insert(id).second) << id;
    }
    EXPECT_GE(*seen.begin(), KX_FIRST_EVENT_ID);
    EXPECT_EQ(seen.size(), 6u * KX_WIDGET_IDS);
}

TEST(WidgetInit, TakesTheDefaultsAndIsEnabled)
{
    kxtest_headless();
    kxwidget w;
    kxwidget_init(&w);
    EXPECT_EQ(w.font, KX_FONT_DEFAULT);
    EXPECT_EQ(w.enabled, 1);
    EXPECT_EQ(w.general, 1);
    EXPECT_EQ(w.focused, 0);
    EXPECT_EQ(w.bgcolor, 0xD0D0D0);
    EXPECT_EQ(w.textcolor, 0x000000);
    for (int i = 0; i < KX_GUI_COLOURS; i++)
        EXPECT_EQ(w.palette[i], kxgui_color(i));
    EXPECT_EQ(w.geom.xval, -1.0);
}

TEST(Emission, GoesToTheQueueOrTheHookAndCallsTheActivation)
{
    kxtest_headless();
    kxwidget w;
    kxwidget_init(&w);
    w.on_activate = activated;
    kxwidget_emit(&w, 0, 1, 2, 3);  // 0 is the main id
    kxwidget_emit(&w, w.ids[KX_ID_LDOWN], 4, 5, 6);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(w.last, (std::array<kxarg, 3>{4, 5, 6}));
    EXPECT_EQ(kxevent_wait(), w.ids[KX_ID_MAIN]);
    EXPECT_EQ(kxevent_wait(), w.ids[KX_ID_LDOWN]);

    Hooked h;
    w.hook = hook;
    w.hook_obj = &h;
    kxwidget_emit(&w, 0, 7, 8, 9);
    EXPECT_FALSE(kxevent_pending());
    EXPECT_EQ(h.ids, std::vector<int>{w.ids[KX_ID_MAIN]});
    EXPECT_EQ(h.c, 9);
    EXPECT_EQ(activations, 2);  // the callback runs with a hook too

    w.enabled = 0;
    kxwidget_emit(&w, 0, 10, 11, 12);
    EXPECT_EQ(h.ids.size(), 1u);
    EXPECT_EQ(activations, 2);
    EXPECT_EQ(w.last[0], 7);
}

TEST(WidgetRequests, RegisterUpdateAndFocusGoToTheParent)
{
    kxtest_headless();
    Recorder parent;
    parent.answer = 3;
    kxwidget w;
    kxwidget_init(&w);
    w.parent = &parent;
    w.parent_handler = record;
    w.geom.x = 10, w.geom.y = 20, w.geom.xs = 30, w.geom.ys = 40;
    EXPECT_EQ(kxwidget_register(&w, record, KX_REG_MOUSE | KX_REG_HOVER), 3);
    EXPECT_EQ(w.index, 3);
    ASSERT_EQ(parent.got.size(), 1u);
    EXPECT_EQ(parent.got[0], (std::vector<kxarg>{KX_REQ_REGISTER, kxptr(record), kxptr(&w), 10, 20,
                                                 30, 40, KX_REG_MOUSE | KX_REG_HOVER}));
    kxwidget_update(&w);
    EXPECT_EQ(parent.got[1], (std::vector<kxarg>{KX_REQ_UPDATE, 8, 18, 34, 44, 0, 0, 0}));
    EXPECT_TRUE(kxwidget_askfocus(&w));
    EXPECT_EQ(parent.got[2][0], KX_REQ_FOCUS);
    EXPECT_EQ(parent.got[2][1], 3);
    // Disabled or no-focus widgets ask for nothing.
    w.nofocus = 1;
    EXPECT_FALSE(kxwidget_askfocus(&w));
    w.nofocus = 0;
    w.enabled = 0;
    EXPECT_FALSE(kxwidget_askfocus(&w));
    kxwidget_update(&w);
    EXPECT_EQ(parent.got.size(), 3u);
    kxwidget_unregister(&w);
    EXPECT_EQ(parent.got[3][0], KX_REQ_UNREGISTER);
    EXPECT_EQ(parent.got[3][1], kxptr(&w));
}

TEST(KeyCodes, ReleaseOfF1IsEightHundredSeventeen)
{
    EXPECT_EQ(KX_KEY_F1 + KX_KEYUP_BIT, 817);
    EXPECT_EQ(KX_KEY_F12, 316);
    EXPECT_EQ(KX_KEY_ALT, 325);
}
