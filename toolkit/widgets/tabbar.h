// The tab bar: a row of named tabs of which exactly one is selected; a click
// on another tab selects it and reports the change.  Style 1 draws rounded,
// shaded tabs, style 2 a flat grey bar.
#pragma once

#include <array>

#include "core/widget.h"

constexpr int KX_MAX_TABS = 100;
constexpr int KX_TAB_NAME = 100;  // with the auto number, cut to fit
constexpr int KX_TAB_MINWIDTH = 60;

struct kxTab {
    char name[KX_TAB_NAME] = {};
    int width = 0;
    int xstart = 0, xend = 0;  // relative to the bar, set when drawn
    bool selected = false;
};

struct kxTabBar : kxwidget {
    std::array<kxTab, KX_MAX_TABS> tabs{};
    int count = 0;
    int style = 1;
    int autonumber = 0;  // number of the first tab, 0 = off

    kxTabBar() = default;
    ~kxTabBar();
    kxTabBar(const kxTabBar &) = delete;
    kxTabBar &operator=(const kxTabBar &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    // The program's own choice, limited to the tabs there are; reports nothing.
    void select(int tab);
    // -1 when there is no tab.
    int selected_index() const;
    void draw();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
