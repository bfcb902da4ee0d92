// The desk's periodic rows and answer rules: the tester's real main
// function on the headless host, a socat pseudo-terminal as the device, the
// pump's idle hook as the user and the device's scripted end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../serialpeer.h"
#include "io/answer.h"
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

// The window of that title; the main window's carries its port after " - ".
kxllgui_window *titled(const char *title)
{
    const std::string want = title;
    for (int i = kxheadless_windows() - 1; i >= 0; i--) {
        const std::string t = kxheadless_window(i)->title;
        if (t == want || t.rfind(want + " - ", 0) == 0)
            return kxheadless_window(i);
    }
    return nullptr;
}

int count(const std::string &text, const std::string &part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        n++;
    return n;
}

constexpr int BUTTON_X = 660;
int row_y(int row) { return 107 + 20 * row; }

// Steps of the user, each asked again until it is done; a step that waits
// for the program gives up after 20 s, so that a fault fails the test.
struct Desk : testing::Test {
    kxtest_serialpeer peer;
    std::string home;
    std::string got;  // what the device received
    std::vector<std::function<bool()>> steps;
    std::size_t next = 0;
    std::int64_t deadline = 0;

    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(peer.start(1));
        home = peer.dir.path;
        ASSERT_EQ(chdir(home.c_str()), 0);
        ASSERT_TRUE(kxapp_init());
    }
    // The rows from 1 (record 0 is the header row).
    void table(const std::vector<std::string> &rows)
    {
        ASSERT_TRUE(kxdbf_savetable("quenlorix.dbf", 0, 0, 2, 15, [&](int column, int row) {
            const std::size_t i = static_cast<std::size_t>(row - 1);
            return column == 0 && row >= 1 && i < rows.size() ? rows[i] : std::string();
        }));
    }
    void settings(const std::string &more)
    {
        std::ofstream("quenlorix.cfg") << "port=1   baud=9600\n" << more;
    }
    void run()
    {
        steps.insert(steps.begin(), [] {
            if (kxllgui_window *d = titled("Schnittstelle konfigurieren")) {
                kxheadless_keydown(d, kxhostkey::enter);
                return true;
            }
            return false;
        });
        kxtest_idle idle([this] {
            got += peer.receive(1 << 16, 1);
            if (next >= steps.size())
                return;
            if (!deadline)
                deadline = kxtest_ms() + 20000;
            if (steps[next]() || kxtest_ms() > deadline) {
                next++;
                deadline = 0;
            }
            if (next == steps.size())
                kxheadless_close(titled("Quenlorix"));
        });
        quenlorix_main();
        EXPECT_EQ(next, steps.size());
    }
    std::string log() { return slurp(home + "/quenlorix.log"); }
    // A step that waits for the window and then acts on it; the main
    // window counts once its session has begun.
    void in(const char *title, std::function<void(kxllgui_window *)> act)
    {
        steps.push_back([this, title, act] {
            kxllgui_window *w = titled(title);
            const bool main = std::string(title) == "Quenlorix";
            if (!w || (main && (titled("Schnittstelle konfigurieren") ||
                                log().find("ffnet") == std::string::npos)))
                return false;
            act(w);
            return true;
        });
    }
    void until(std::function<bool()> cond) { steps.push_back(std::move(cond)); }
};

} // namespace

TEST_F(Desk, APeriodicRowAt50MsForASecondSendsTwentyTimesAndNoneAfterItsStop)
{
    table({"P"});
    settings("period1=50\n");
    std::int64_t started = 0;
    std::size_t at_stop = 0;
    in("Quenlorix", [](kxllgui_window *m) { kxheadless_click(m, 3, BUTTON_X, row_y(1)); });
    // The dialog offers the period of the settings file; Return starts it.
    in("Zeile 1 periodisch senden", [&](kxllgui_window *d) {
        kxheadless_keydown(d, kxhostkey::enter);
        started = kxtest_ms();
    });
    until([&] { return kxtest_ms() >= started + 1000; });
    // One click on its button, which now reads "Stopp", stops it.
    in("Quenlorix", [](kxllgui_window *m) { kxheadless_click(m, 1, BUTTON_X, row_y(1)); });
    std::int64_t stopped = 0;
    until([&] {
        if (!stopped)
            stopped = kxtest_ms();
        at_stop = got.size();
        return kxtest_ms() > stopped + 100;  // what was on its way has come
    });
    std::int64_t quiet = 0;
    until([&] {
        if (!quiet)
            quiet = kxtest_ms();
        return kxtest_ms() > quiet + 300;
    });
    run();
    const int sends = count(got, "P\n");
    EXPECT_GE(sends, 19) << got;
    EXPECT_LE(sends, 21) << got;
    EXPECT_EQ(got.size(), at_stop) << "sent after the stop";
    EXPECT_EQ(count(log(), "\nP\n"), sends);
}

TEST_F(Desk, AnAnswerRuleAnswersOncePerMatchingLine)
{
    table({"", "ATA"});
    settings("answer=2 /^RING$/\n");
    in("Quenlorix", [&](kxllgui_window *) { peer.send("RING\r\nOK\r\nRING\r\nRINGING\r\n"); });
    until([&] { return count(got, "ATA\n") >= 2; });
    std::int64_t quiet = 0;
    until([&] {
        if (!quiet)
            quiet = kxtest_ms();
        return kxtest_ms() > quiet + 300;
    });
    run();
    EXPECT_EQ(got, "ATA\nATA\n");
    // Shown and logged as a send, marked as an answer, below its line.
    EXPECT_NE(log().find("\nRING\nAntwort: ATA\nOK\nRING\nAntwort: ATA\nRINGING\n"),
              std::string::npos) << log();
}

TEST_F(Desk, ARunawayRuleIsStoppedAndSaid)
{
    // The device echoes every line: the rule would answer its own echo for ever.
    table({"PING"});
    settings("answer=1 PING\n");
    std::size_t echoed = 0, at_stop = 0;
    auto echo = [&] {
        for (std::size_t nl; (nl = got.find('\n', echoed)) != std::string::npos; echoed = nl + 1)
            peer.send(got.substr(echoed, nl - echoed) + "\r\n");
    };
    in("Quenlorix", [&](kxllgui_window *) { peer.send("PING\r\n"); });
    until([&] {
        echo();
        at_stop = got.size();
        return log().find("angehalten") != std::string::npos;
    });
    std::int64_t quiet = 0;
    until([&] {
        echo();
        if (!quiet)
            quiet = kxtest_ms();
        return kxtest_ms() > quiet + 500;
    });
    run();
    EXPECT_NE(log().find("Antwortregel \"1 PING\" angehalten: mehr als 10 Antworten in einer "
                         "Sekunde"),
              std::string::npos) << log();
    EXPECT_GE(count(got, "PING\n"), KX_ANSWER_LIMIT);
    EXPECT_EQ(got.size(), at_stop) << "answered after the stop";
}

TEST_F(Desk, TheRulesDialogWithTheKeyboardKeepsItsRulesInTheSettingsFile)
{
    table({});
    settings("");
    in("Quenlorix", [](kxllgui_window *m) {
        kxheadless_keydown(m, kxhostkey::f3);
        kxheadless_keyup(m, kxhostkey::f3);
    });
    in("Antwortregeln", [](kxllgui_window *d) {
        kxheadless_type(d, "RING");
        kxheadless_keydown(d, kxhostkey::tab);
        kxheadless_keyup(d, kxhostkey::tab);
        kxheadless_type(d, "3");
        kxheadless_keydown(d, kxhostkey::enter);
    });
    until([] { return !titled("Antwortregeln"); });
    run();
    EXPECT_NE(slurp(home + "/quenlorix.cfg").find("\nanswer=3 RING\n"), std::string::npos)
        << slurp(home + "/quenlorix.cfg");
}
