// The input widgets on a real X server: typing ISO 8859-1 text, the
// combobox's popup window, and the clipboard with another X client.
#include <gtest/gtest.h>

#include <string>

#include "../platform/xvfb_support.h"

namespace {

struct InputX11 : testing::Test {
    kxxvfb xvfb;
    kxtest_proc probe;
    std::string window;

    void open()
    {
        setenv("KX_HOST", "x11", 1);
        ASSERT_TRUE(probe.start({std::string(KX_TEST_BINARY_DIR) + "/kxprog_inputprobe"}));
        std::string w = probe.wait_prefix("window ");
        ASSERT_FALSE(w.empty()) << "the probe did not open its window";
        window = w.substr(7);
        // Until it is mapped, input sent to it is lost.
        for (int i = 0; i < 100; i++) {
            if (kxtest_sh("xwininfo -id " + window + " 2>/dev/null | grep -q IsViewable") == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    void sh(const std::string &cmd) { ASSERT_EQ(kxtest_sh(cmd), 0) << cmd; }
    std::string last(const std::string &prefix, std::size_t from)
    {
        std::string found;
        for (std::size_t i = from; i < probe.lines.size(); i++)
            if (probe.lines[i].rfind(prefix, 0) == 0)
                found = probe.lines[i];
        return found;
    }
    // Waits until the newest line with prefix equals want.
    std::string wait_for(const std::string &prefix, const std::string &want, std::size_t from = 0)
    {
        std::int64_t end = kxtest_now_ms() + 20000;
        while (kxtest_now_ms() < end) {
            if (last(prefix, from) == want)
                return want;
            probe.read_some(50);
        }
        return last(prefix, from);
    }
    void TearDown() override
    {
        if (!window.empty())
            kxtest_sh("xdotool key --window " + window + " alt+F4 >/dev/null 2>&1");
        probe.finish(5000);
    }
};

TEST_F(InputX11, TypedUmlautsAreStoredAsLatin1)
{
    KX_NEED_XVFB(xvfb);
    open();
    sh("xdotool mousemove 50 22 click 1");
    sh("xdotool type --delay 30 'Grüße'");
    EXPECT_EQ(wait_for("a ", "a 47 72 fc df 65"), "a 47 72 fc df 65");
}

TEST_F(InputX11, TheComboboxPopupTakesThePointerAndAClickChooses)
{
    KX_NEED_XVFB(xvfb);
    open();
    sh("xdotool mousemove 120 112 click 1");  // the drop-down button
    std::string popup = probe.wait_prefix("popup ");
    ASSERT_FALSE(popup.empty()) << "no popup window";
    std::string id = popup.substr(6);
    // An override-redirect window of its own, stacked above the probe's.
    EXPECT_NE(kxtest_sh_out("xwininfo -id " + id).find("Override Redirect State: yes"),
              std::string::npos);
    std::string geo = kxtest_sh_out("xwininfo -id " + id);
    int px = 0, py = 0;
    std::sscanf(geo.c_str() + geo.find("Absolute upper-left X:"), "Absolute upper-left X: %d", &px);
    std::sscanf(geo.c_str() + geo.find("Absolute upper-left Y:"), "Absolute upper-left Y: %d", &py);
    // The third entry, 2400.
    int line = 0;
    std::size_t at = geo.find("Height:");
    int h = 0;
    std::sscanf(geo.c_str() + at, "Height: %d", &h);
    line = h / 4;
    std::size_t from = probe.lines.size();
    sh("xdotool mousemove " + std::to_string(px + 20) + " " + std::to_string(py + line * 2 + line / 2) +
       " click 1");
    EXPECT_EQ(wait_for("cb ", "cb 2400", from), "cb 2400");
}

TEST_F(InputX11, CopyAndPasteWithAnotherClient)
{
    KX_NEED_XVFB(xvfb);
    if (!kxtest_have("xclip"))
        GTEST_SKIP() << "xclip is not installed";
    open();
    sh("xdotool mousemove 50 22 click 1");
    sh("xdotool type --delay 30 'Köln'");
    ASSERT_EQ(wait_for("a ", "a 4b f6 6c 6e"), "a 4b f6 6c 6e");
    sh("xdotool key ctrl+a ctrl+c");
    std::string got;
    for (int i = 0; i < 100 && got != "K\xc3\xb6ln"; i++) {
        got = kxtest_sh_out("xclip -o -selection clipboard 2>/dev/null");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(got, "K\xc3\xb6ln");
    sh("printf 'Stra\\303\\237e' | xclip -i -selection clipboard");
    sh("xdotool mousemove 50 62 click 1");
    sh("xdotool key ctrl+v");
    EXPECT_EQ(wait_for("b ", "b 53 74 72 61 df 65"), "b 53 74 72 61 df 65");
}

} // namespace
