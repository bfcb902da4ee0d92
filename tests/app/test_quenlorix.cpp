// The tester's real main function on the headless host, in a directory of
// its own, with a socat pseudo-terminal as the device and the pump's idle
// hook as the user.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../serialpeer.h"
#include "base/file.h"
#include "core/event.h"
#include "kx9d.h"
#include "markup/dbf.h"
#include "quenlorix.h"
#include "support.h"

namespace {

std::string slurp(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

kxllgui_window *titled(const char *title)
{
    for (int i = kxheadless_windows() - 1; i >= 0; i--)
        if (std::strcmp(kxheadless_window(i)->title, title) == 0)
            return kxheadless_window(i);
    return nullptr;
}

// One step of the user: returns true when done, and is then not asked again.
using Step = std::function<bool()>;

struct App : testing::Test {
    kxtest_serialpeer peer;
    std::string home;
    std::vector<Step> steps;
    std::size_t next = 0;
    int rc = -1;

    void SetUp() override
    {
        kxtest_headless();
        home = peer.dir.path;
        ASSERT_EQ(chdir(home.c_str()), 0);
        ASSERT_TRUE(kxapp_init());
    }
    void run()
    {
        kxtest_idle idle([this] {
            if (next < steps.size() && steps[next]()) {
                if (getenv("KX_TEST_TRACE"))
                    std::fprintf(stderr, "step %zu done\n", next);
                next++;
            }
        });
        rc = quenlorix_main();
    }
    // Steps.
    void confirm_dialog()
    {
        steps.push_back([] {
            kxllgui_window *d = titled("Schnittstelle konfigurieren");
            if (!d)
                return false;
            kxheadless_keydown(d, kxhostkey::enter);
            return true;
        });
    }
    void wait_main()
    {
        steps.push_back([] { return titled("Quenlorix") && !titled("Schnittstelle konfigurieren"); });
    }
    void click(int x, int y)
    {
        steps.push_back([x, y] {
            kxllgui_window *m = titled("Quenlorix");
            kxheadless_move(m, x, y);
            kxheadless_click(m, 1, x, y);
            return true;
        });
    }
    void type(const std::string &text)
    {
        steps.push_back([text] {
            kxheadless_type(titled("Quenlorix"), text.c_str());
            return true;
        });
    }
    static int row_y(int row) { return 107 + 20 * row; }
    void send_row(int row, const std::string &text)
    {
        if (!text.empty()) {
            click(60, row_y(row));
            type(text);
        }
        click(660, row_y(row));
    }
    void until(std::function<bool()> cond) { steps.push_back(std::move(cond)); }
    void close_main()
    {
        steps.push_back([] {
            kxheadless_close(titled("Quenlorix"));
            return true;
        });
    }
    std::string log() { return slurp(home + "/quenlorix.log"); }
    // The log without its date line.
    std::string traffic()
    {
        std::string l = log();
        std::size_t nl = l.find('\n');
        return nl == std::string::npos ? "" : l.substr(nl + 1);
    }
};

const std::string opened = "Serielle Schnittstelle 1 ge\xf6" "ffnet, Baudrate=9600\n";

TEST_F(App, WithoutSettingsTheDialogUsesPortOneAndReturnSendsAndReceives)
{
    ASSERT_TRUE(peer.start(1));
    std::string got;
    confirm_dialog();
    wait_main();
    send_row(1, "");             // an empty row sends just the line end
    send_row(2, "100% %d sicher");  // sent and echoed unchanged
    until([&] {
        got += peer.receive(1, 1);
        return got.size() >= std::string("\n100% %d sicher\n").size();
    });
    until([&] { return peer.send("OK\r\n\r\nZwei\r\n"); });
    until([&] { return traffic().find("Zwei") != std::string::npos; });
    close_main();
    run();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(got, "\n100% %d sicher\n");
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=9600\n");
    // CR LF alone shows nothing; CR LF after text is cut.
    EXPECT_EQ(traffic(), opened + "\n100% %d sicher\nOK\nZwei\n");
    EXPECT_EQ(next, steps.size());
}

TEST_F(App, ASettingsFileWithOnlyTheBaudRateKeepsPortOne)
{
    ASSERT_TRUE(kxfile_save("baud=19200", "quenlorix.cfg"));
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    close_main();
    run();
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=19200\n");
    EXPECT_NE(log().find("Serielle Schnittstelle 1 ge\xf6""ffnet, Baudrate=19200"),
              std::string::npos);
}

TEST_F(App, CancelLeavesTheTableFileUntouched)
{
    ASSERT_TRUE(kxfile_save("kein dBase", "quenlorix.dbf"));
    ASSERT_TRUE(peer.start(1));
    steps.push_back([] {
        kxllgui_window *d = titled("Schnittstelle konfigurieren");
        if (!d)
            return false;
        kxheadless_move(d, 225, 170);
        kxheadless_click(d, 1, 225, 170);  // "Abbrechen"
        return true;
    });
    run();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(slurp(home + "/quenlorix.dbf"), "kein dBase");
    EXPECT_EQ(log().find("ge\xf6""ffnet"), std::string::npos);  // no port was opened
}

TEST_F(App, APortThatCannotOpenShowsTheBoxAndTheDialogAgain)
{
    // No device yet (and no /dev/ttyS199): the first attempt fails.
    ASSERT_TRUE(kxfile_save("port=200   baud=9600\n", "quenlorix.cfg"));
    setenv("KX_SERIAL_DIR", home.c_str(), 1);
    int dialogs = 0;
    confirm_dialog();
    steps.push_back([] {
        kxllgui_window *box = titled("info");
        if (!box)
            return false;
        kxheadless_keydown(box, kxhostkey::enter);
        return true;
    });
    steps.push_back([&] {
        if (titled("info") || !titled("Schnittstelle konfigurieren"))
            return false;
        dialogs++;
        return peer.start(200);  // the device appears
    });
    confirm_dialog();
    wait_main();
    close_main();
    run();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(traffic(), "Serielle Schnittstelle 200 ge\xf6""ffnet, Baudrate=9600\n");
}

TEST_F(App, ClosingSavesTheTableWithItsEdits)
{
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    send_row(3, "ATZ");
    click(500, row_y(3));
    type("Kommentar \xfc");
    close_main();
    run();
    auto db = std::make_unique<kxXBase>();
    ASSERT_TRUE(kxdbf_open(db.get(), (home + "/quenlorix.dbf").c_str()));
    char text[200];
    ASSERT_TRUE(kxdbf_read(db.get(), text, sizeof text, 3, 0));
    EXPECT_EQ(std::string(text).substr(0, 3), "ATZ");
    ASSERT_TRUE(kxdbf_read(db.get(), text, sizeof text, 3, 1));
    EXPECT_EQ(std::string(text).substr(0, 11), "Kommentar \xfc");
    kxdbf_close(db.get());
}

TEST_F(App, AFloodOfLinesIsLoggedCompleteAndInOrder)
{
    ASSERT_TRUE(peer.start(1));
    constexpr int LINES = 20000;
    std::thread device;
    confirm_dialog();
    wait_main();
    steps.push_back([&] {
        device = std::thread([&] {
            std::string all;
            char line[32];
            for (int i = 0; i < LINES; i++) {
                std::snprintf(line, sizeof line, "Zeile %012d\r\n", i);  // 20 bytes
                all += line;
            }
            peer.send_all(all, 60000);
        });
        return true;
    });
    until([&] { return traffic().find("Zeile 000000019999") != std::string::npos; });
    close_main();
    run();
    device.join();
    std::string expect = opened;
    char line[32];
    for (int i = 0; i < LINES; i++) {
        std::snprintf(line, sizeof line, "Zeile %012d\n", i);
        expect += line;
    }
    EXPECT_TRUE(traffic() == expect) << "the log differs from the lines sent";
}

} // namespace
