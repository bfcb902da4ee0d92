// Popup menus on a real X server: a window's menu bar driven with xdotool,
// and the editor's context menu pasting what another client put on the
// clipboard.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "../platform/xvfb_support.h"

namespace {

struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
};

Geometry window_geometry(const std::string &id)
{
    std::string info = kxtest_sh_out("xwininfo -id " + id + " 2>/dev/null");
    Geometry g;
    auto read = [&](const char *key, int *v) {
        std::size_t at = info.find(key);
        if (at != std::string::npos)
            std::sscanf(info.c_str() + at + std::strlen(key), "%d", v);
    };
    read("Absolute upper-left X:", &g.x);
    read("Absolute upper-left Y:", &g.y);
    read("Width:", &g.w);
    read("Height:", &g.h);
    return g;
}

bool viewable(const std::string &id)
{
    return kxtest_sh("xwininfo -id " + id + " 2>/dev/null | grep -q IsViewable") == 0;
}

// The mapped top-level windows, as ids.
std::vector<std::string> shown_windows()
{
    std::vector<std::string> ids;
    std::istringstream in(kxtest_sh_out("xwininfo -root -children 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
        // Child lines begin with the id; the root's own lines with words.
        std::size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, 2, "0x") != 0)
            continue;
        std::string id = line.substr(at, line.find(' ', at) - at);
        if (viewable(id))
            ids.push_back(id);
    }
    return ids;
}

struct MenuX11 : testing::Test {
    kxxvfb xvfb;
    kxtest_proc probe;
    std::string window;
    Geometry win;
    int title0 = 0, title0xs = 0, title1 = 0, title1xs = 0, menuh = 0, entryh = 0;
    int edx = 0, edy = 0, cellw = 0, cellh = 0;

    void open()
    {
        setenv("KX_HOST", "x11", 1);
        ASSERT_TRUE(probe.start({std::string(KX_TEST_BINARY_DIR) + "/kxprog_menuprobe"}));
        std::string w = probe.wait_prefix("window ");
        ASSERT_FALSE(w.empty()) << "the probe did not open its window";
        window = std::to_string(std::stoul(w.substr(7)));
        std::string t = probe.wait_prefix("titles ");
        ASSERT_EQ(std::sscanf(t.c_str(), "titles %d %d %d %d %d %d", &title0, &title0xs, &title1,
                              &title1xs, &menuh, &entryh),
                  6);
        std::string e = probe.wait_prefix("editor ");
        ASSERT_EQ(std::sscanf(e.c_str(), "editor %d %d %d %d", &edx, &edy, &cellw, &cellh), 4);
        for (int i = 0; i < 100 && !viewable(window); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        win = window_geometry(window);
    }
    void sh(const std::string &cmd) { ASSERT_EQ(kxtest_sh(cmd), 0) << cmd; }
    void move(int x, int y)
    {
        sh("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y));
    }
    // Waits for a mapped window besides the probe's own, other than old.
    std::string wait_popup(const std::string &old = "")
    {
        std::int64_t end = kxtest_now_ms() + 20000;
        while (kxtest_now_ms() < end) {
            for (const std::string &id : shown_windows())
                if (id != old && std::stoul(id, nullptr, 16) != std::stoul(window))
                    return id;
            probe.read_some(50);
        }
        return "";
    }
    std::string wait_line(const std::string &prefix, std::size_t from)
    {
        return probe.wait_line([&](const std::string &l) { return l.rfind(prefix, 0) == 0; },
                               20000, from);
    }
    void TearDown() override
    {
        if (!window.empty())
            kxtest_sh("xdotool key --window " + window + " alt+F4 >/dev/null 2>&1");
        probe.finish(5000);
    }
};

TEST_F(MenuX11, AMenuOpensMovesToItsNeighbourAndReportsTheChosenEntry)
{
    KX_NEED_XVFB(xvfb);
    open();
    int bar_y = win.y + menuh / 2;
    move(win.x + title0 + title0xs / 2, bar_y);
    sh("xdotool click 1");
    ASSERT_FALSE(wait_line("open 0", 0).empty());
    std::string first = wait_popup();
    ASSERT_FALSE(first.empty()) << "the first menu did not show";
    Geometry p0 = window_geometry(first);
    EXPECT_EQ(p0.x, win.x + title0);
    // Onto the next title: the first menu closes and the second opens.
    std::size_t from = probe.lines.size();
    move(win.x + title1 + title1xs / 2, bar_y);
    ASSERT_FALSE(wait_line("open 1", from).empty());
    std::string second = wait_popup(first);
    ASSERT_FALSE(second.empty()) << "the neighbouring menu did not show";
    Geometry p1 = window_geometry(second);
    EXPECT_EQ(p1.x, win.x + title1);
    EXPECT_FALSE(viewable(first));
    // The second entry, "Einfuegen".
    from = probe.lines.size();
    move(p1.x + 20, p1.y + 2 + entryh + entryh / 2);
    sh("xdotool click 1");
    EXPECT_EQ(wait_line("menu ", from), "menu Bearbeiten|Einfuegen");
}

TEST_F(MenuX11, TheEditorsContextMenuPastesTheClipboardOfAnotherClient)
{
    KX_NEED_XVFB(xvfb);
    if (!kxtest_have("xclip"))
        GTEST_SKIP() << "xclip is not installed";
    open();
    sh("printf 'Gr\\303\\274\\303\\237e aus X' | xclip -i -selection clipboard");
    move(win.x + edx + 2 + 3 * cellw, win.y + edy + 2 + cellh / 2);
    sh("xdotool click 3");
    std::string menu = wait_popup();
    ASSERT_FALSE(menu.empty()) << "no context menu";
    Geometry m = window_geometry(menu);
    // Without a selection: "Paste", a separator, "Select All".
    std::size_t from = probe.lines.size();
    move(m.x + 20, m.y + 2 + entryh / 2);
    sh("xdotool click 1");
    EXPECT_EQ(wait_line("text ", from), "text 47 72 fc df 65 20 61 75 73 20 58 0a");
}

} // namespace
