#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/file.h"
#include "core/app.h"
#include "core/event.h"
#include "kx9d.h"
#include "support.h"

namespace {

std::vector<std::string> args_now()
{
    std::vector<std::string> v;
    char **argv = kxapp_argv();
    for (int i = 0; i < kxapp_argc(); i++)
        v.emplace_back(argv[i]);
    EXPECT_EQ(argv[kxapp_argc()], nullptr);
    return v;
}

using Args = std::vector<std::string>;

} // namespace

TEST(CommandLine, SpacesSeparateAndQuotesGroup)
{
    kxapp_setargs("  one two\t3  ");
    EXPECT_EQ(args_now(), (Args{"", "one", "two\t3"}));
    kxapp_setargs("\"a b\" c");
    EXPECT_EQ(args_now(), (Args{"", "a b", "c"}));
    // Inside a word quotes toggle a state in which spaces do not separate.
    kxapp_setargs("x\"y z\"w next");
    EXPECT_EQ(args_now(), (Args{"", "xy zw", "next"}));
    // A quoted word ends at its closing quote.
    kxapp_setargs("\"ab\"cd");
    EXPECT_EQ(args_now(), (Args{"", "ab", "cd"}));
    // Unterminated quotes run to the end.
    kxapp_setargs("\"open ended");
    EXPECT_EQ(args_now(), (Args{"", "open ended"}));
    kxapp_setargs("a\"b c");
    EXPECT_EQ(args_now(), (Args{"", "ab c"}));
    kxapp_setargs("\"\"");
    EXPECT_EQ(args_now(), (Args{"", ""}));
    kxapp_setargs(nullptr);
    EXPECT_EQ(args_now(), (Args{""}));
}

TEST(CommandLine, AtMostFiveHundredArgumentsAreKept)
{
    std::string line;
    for (int i = 0; i < 700; i++)
        line += "w" + std::to_string(i) + " ";
    kxapp_setargs(line.c_str());
    Args a = args_now();
    ASSERT_EQ(a.size(), static_cast<size_t>(KX_MAX_ARGS));
    EXPECT_EQ(a[1], "w0");
    EXPECT_EQ(a.back(), "w498");
}

namespace {

std::string order;
void on_close1() { order += "c1 "; }
void on_close2() { order += "c2 "; }
void on_exit_cb()
{
    order += "x ";
    kxapp_setexitcallback(on_exit_cb);  // set again while running: not called twice
}
void on_cleanup() { order += "u "; }

char temp_path[512];

int main_returning_at_once()
{
    order += "main ";
    kxapp_atclose(on_close1);
    kxapp_atclose(on_close2);
    kxapp_setexitcallback(on_exit_cb);
    kxapp_atcleanup(on_cleanup);
    EXPECT_TRUE(kxapp_tempfile(temp_path, sizeof temp_path));
    EXPECT_EQ(kxfile_size(temp_path), 0);
    return 0;
}

} // namespace

TEST(ExitSequence, ListsRunInOrderAndTemporaryFilesGo)
{
    setenv("KX_HOST", "headless", 1);
    char *argv[] = {const_cast<char *>("prog"), const_cast<char *>("arg"), nullptr};
    EXPECT_EQ(kxapp_start(2, argv, main_returning_at_once), 0);
    EXPECT_EQ(order, "main c1 c2 x u ");
    EXPECT_NE(std::string(temp_path).find("/kxtmp"), std::string::npos);
    EXPECT_EQ(kxfile_size(temp_path), -1);
    EXPECT_EQ(kxapp_argc(), 2);
    EXPECT_STREQ(kxapp_argv()[0], "");
    EXPECT_STREQ(kxapp_argv()[1], "arg");
    // The sequence runs once.
    kxapp_exit(3, false);
    EXPECT_EQ(order, "main c1 c2 x u ");
}

namespace {

void say_closed() { std::fprintf(stderr, "close list ran\n"); }
int main_quitting_before_waiting()
{
    kxapp_atclose(say_closed);
    kxapp_quit();
    std::fprintf(stderr, "still running\n");
    return 5;
}

} // namespace

TEST(ExitSequence, QuitBeforeTheFirstWaitEndsTheProgramAtOnce)
{
    setenv("KX_HOST", "headless", 1);
    EXPECT_EXIT(kxapp_start_cmdline("", main_quitting_before_waiting),
                testing::ExitedWithCode(0), "close list ran");
}

namespace {

kxllgui_window window;
bool main_done = false;
int closes = 0;

kxarg window_handler(void *, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    if (code == KX_EV_CLOSE) {
        closes++;
        kxplatwin_destroy(&window);
        kxapp_window_closed();
        kxapp_quit();
    }
    return 0;
}

int main_leaving_a_window_open()
{
    kxplatwin_create(&window, window_handler, nullptr, 10, 10, 50, 40, "open", {});
    kxapp_window_opened();
    main_done = true;
    return 0;
}

} // namespace

TEST(StartSequence, AWindowLeftOpenKeepsTheProgramRunningUntilItCloses)
{
    setenv("KX_HOST", "headless", 1);
    int idle_calls = 0;
    kxtest_idle idle([&] {
        EXPECT_TRUE(main_done);
        if (++idle_calls == 5)
            kxheadless_close(&window);
    });
    EXPECT_EQ(kxapp_start_cmdline("a b", main_leaving_a_window_open), 0);
    EXPECT_EQ(closes, 1);
    EXPECT_GE(idle_calls, 5);
    EXPECT_FALSE(kxapp_running());
    EXPECT_EQ(kxapp_windows_open(), 0);
}

TEST(StartSequence, AnUnknownHostIsRefusedWithOneLine)
{
    setenv("KX_HOST", "gopher", 1);
    std::string out = kxtest_stdout([] { EXPECT_FALSE(kxapp_init()); });
#ifdef _WIN32
    EXPECT_EQ(out, "kxplatform_init: unknown host \"gopher\" (win32 or headless)\n");
#else
    EXPECT_EQ(out, "kxplatform_init: unknown host \"gopher\" (x11 or headless)\n");
#endif
}
