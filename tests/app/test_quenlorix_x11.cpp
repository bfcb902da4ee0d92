// The real tester binary on a private Xvfb, with xdotool as the user and a
// socat pseudo-terminal as the device.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../platform/xvfb_support.h"
#include "../serialpeer.h"

namespace {

std::string slurp(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool window_gone(unsigned long w, int ms)
{
    std::int64_t end = kxtest_now_ms() + ms;
    do {
        if (kxtest_sh("xdotool getwindowname " + std::to_string(w) + " >/dev/null 2>&1") != 0)
            return true;
        usleep(50 * 1000);
    } while (kxtest_now_ms() < end);
    return false;
}

// Screen position of a window's client area (there is no window manager,
// so it is the window's own).
bool origin(unsigned long w, int *x, int *y)
{
    std::string g = kxtest_sh_out("xdotool getwindowgeometry " + std::to_string(w));
    std::size_t at = g.find("Position: ");
    return at != std::string::npos && std::sscanf(g.c_str() + at, "Position: %d,%d", x, y) == 2;
}

void click(int x, int y)
{
    kxtest_sh("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

struct Colours {
    int red = 0, blue = 0;
};

// Red and blue text pixels in a band of a screenshot.
Colours count(const kxtest_shot &s, int top, int bottom)
{
    Colours c;
    for (int y = std::max(top, 0); y < std::min(bottom, s.height); y++)
        for (int x = 0; x < s.width; x++) {
            std::uint32_t p = s.pixels[static_cast<std::size_t>(y) * s.width + x];
            int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
            c.red += r >= 0x80 && g < 0x40 && b < 0x40;
            c.blue += b >= 0x80 && r < 0x40 && g < 0x40;
        }
    return c;
}

// Runs a step of a test and ends the test when the step failed or skipped.
#define KX_STEP(step)                                                                      \
    do {                                                                                   \
        step;                                                                              \
        if (testing::Test::HasFatalFailure() || testing::Test::IsSkipped())                \
            return;                                                                        \
    } while (0)

// The table's rows lie 20 pixels apart from y = 107; the terminal pane
// lies below the table (16 rows from y = 87).
int row_y(int row) { return 107 + row * 20; }
constexpr int TERMINAL_TOP = 87 + 16 * 20;

// The tester in a directory of its own with its device on port 3, started
// on the test's display and past its settings dialog.
struct Tester {
    kxtest_serialpeer peer;
    std::string home;
    kxtest_proc app;
    unsigned long dialog = 0, main = 0;
    int mx = 0, my = 0;
    std::string settings = "port=3 baud=19200\n";
    std::function<void()> prepare;  // run in home before the program starts

    void start()
    {
        if (!kxtest_have("xdotool"))
            GTEST_SKIP() << "xdotool is not installed";
        ASSERT_TRUE(peer.start(3));
        home = peer.dir.path;
        ASSERT_EQ(chdir(home.c_str()), 0);
        {
            std::ofstream cfg(home + "/quenlorix.cfg");
            cfg << settings;
        }
        if (prepare)
            prepare();
        setenv("KX_HOST", "x11", 1);
        ASSERT_TRUE(app.start({KX_TEST_BINARY_DIR "/quenlorix"}));
        dialog = kxtest_find_window("Schnittstelle konfigurieren");
        if (!dialog) {
            app.read_some(100);
            FAIL() << "the settings dialog did not appear; the program said:\n" << said();
        }
    }
    // Return in the dialog, which is OK.
    void answer()
    {
        int dx, dy;
        ASSERT_TRUE(origin(dialog, &dx, &dy));
        ASSERT_TRUE(kxtest_wait_painted(dialog));
        kxtest_sh("xdotool mousemove " + std::to_string(dx + 150) + " " + std::to_string(dy + 20) +
                  " key Return");
    }
    // The dialog shows the settings of the file; Return is OK.
    void confirm()
    {
        answer();
        if (testing::Test::HasFatalFailure())
            return;
        main = kxtest_find_window("^Quenlorix( - .*)?$");
        ASSERT_NE(main, 0u) << "the main window did not appear";
        ASSERT_TRUE(window_gone(dialog, 10000));
        ASSERT_TRUE(origin(main, &mx, &my));
        ASSERT_TRUE(kxtest_wait_painted(main));
    }
    void edit(int row, int x, const std::string &text)
    {
        click(mx + x, my + row_y(row));
        kxtest_sh("xdotool type --delay 10 '" + text + "'");
    }
    // Sends a row with its "senden" button; true when the device got the
    // string and the line end: every key typed before has been taken.
    bool send(int row, const std::string &text)
    {
        click(mx + 660, my + row_y(row));
        return peer.receive(text.size() + 1, 10000) == text + "\n";
    }
    // Alt+F4 on the main window.
    void close()
    {
        kxtest_sh("xdotool mousemove " + std::to_string(mx + 350) + " " + std::to_string(my + 300) +
                  " key alt+F4");
    }
    std::string log() { return slurp(home + "/quenlorix.log"); }
    bool logged(const std::string &text)
    {
        return kxtest_waitfor([&] { return log().find(text) != std::string::npos; }, 15000);
    }
    std::string table() { return slurp(home + "/quenlorix.dbf"); }
    // What the program wrote on its standard output and error.
    std::string said() const
    {
        std::string all;
        for (const std::string &l : app.lines)
            all += l + "\n";
        return all + app.partial;
    }
};

TEST(QuenlorixX11, ARowIsSentTheAnswerShowsInRedAndEverythingIsKept)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    Tester t;
    KX_STEP(t.start());
    KX_STEP(t.confirm());

    // Row 3: a string and a comment, then its "senden" button.
    t.edit(3, 60, "AT+X=3");
    t.edit(3, 500, "dritte Zeile");
    EXPECT_TRUE(t.send(3, "AT+X=3"));

    ASSERT_TRUE(t.peer.send("OK AT+X=3\r\n"));
    EXPECT_TRUE(kxtest_waitfor([&] { return t.log().find("OK AT+X=3\n") != std::string::npos; },
                               10000))
        << t.log();

    kxtest_shot shot;
    EXPECT_TRUE(kxtest_wait_shot(
        t.main,
        [](const kxtest_shot &s) {
            Colours term = count(s, TERMINAL_TOP, s.height);
            return term.blue > 20 && term.red > 20;
        },
        &shot))
        << "the sent line in blue and the answer in red are not both shown";
    kxtest_sh("import -window " + std::to_string(t.main) + " '" KX_TEST_BINARY_DIR
              "/quenlorix_x11.png' 2>/dev/null");
    EXPECT_EQ(count(shot, 0, TERMINAL_TOP).red, 0);
    RecordProperty("terminal_red_pixels", count(shot, TERMINAL_TOP, shot.height).red);

    // Closing the window saves the table and the settings.
    kxtest_sh("xdotool mousemove " + std::to_string(t.mx + 350) + " " + std::to_string(t.my + 300) +
              " key alt+F4");
    ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(t.app.status) && WEXITSTATUS(t.app.status) == 0);
    EXPECT_EQ(slurp(t.home + "/quenlorix.cfg"), "port=3   baud=19200\n");
    std::string l = t.log();
    EXPECT_NE(l.find("Serielle Schnittstelle 3 ge\xf6" "ffnet, Baudrate=19200\nAT+X=3\nOK AT+X=3\n"),
              std::string::npos)
        << l;

    if (!kxtest_have("dbview"))
        GTEST_SKIP() << "dbview is not installed";
    std::istringstream rows(
        kxtest_sh_out("dbview -b -t -d '|' '" + t.home + "/quenlorix.dbf'"));
    std::vector<std::string> records;
    for (std::string line; std::getline(rows, line);)
        records.push_back(line);
    ASSERT_EQ(records.size(), 15u);
    // Record 0 is the table's head row; row 3 is record 3.
    EXPECT_EQ(records[3].substr(0, records[3].find("senden")), "AT+X=3|dritte Zeile|");
}

// A session with the working directory given on the command line: port 3
// is a link in that directory (not in KX_SERIAL_DIR), and the settings,
// table and log land there, not where the program was started.
void session_in(const std::string &dir, const std::vector<std::string> &options)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    if (!kxtest_have("xdotool"))
        GTEST_SKIP() << "xdotool is not installed";
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    unsetenv("KX_SERIAL_DIR");
    std::filesystem::create_directories(dir);
    ASSERT_EQ(symlink(peer.dir.file("COM3").c_str(), (dir + "/COM3").c_str()), 0);
    std::ofstream(dir + "/quenlorix.cfg") << "port=3 baud=19200\n";
    kxtest_tempdir started;
    ASSERT_EQ(chdir(started.path.c_str()), 0);
    setenv("KX_HOST", "x11", 1);
    std::vector<std::string> argv{KX_TEST_BINARY_DIR "/quenlorix"};
    argv.insert(argv.end(), options.begin(), options.end());
    kxtest_proc app;
    ASSERT_TRUE(app.start(argv));

    unsigned long dialog = kxtest_find_window("Schnittstelle konfigurieren");
    ASSERT_NE(dialog, 0u) << "the settings dialog did not appear";
    ASSERT_TRUE(kxtest_wait_painted(dialog));
    int dx, dy;
    ASSERT_TRUE(origin(dialog, &dx, &dy));
    kxtest_sh("xdotool mousemove " + std::to_string(dx + 150) + " " + std::to_string(dy + 20) +
              " key Return");
    // The main window shows only once port 3 is open.
    unsigned long main = kxtest_find_window("^Quenlorix( - .*)?$");
    ASSERT_NE(main, 0u) << "the main window did not appear: port 3 was not found in " << dir;
    ASSERT_TRUE(window_gone(dialog, 10000));
    int mx, my;
    ASSERT_TRUE(origin(main, &mx, &my));
    // Alt+F4 again while the program runs: the window may not take keys yet.
    bool ended = false;
    for (int tries = 0; tries < 5 && !ended; tries++) {
        kxtest_sh("xdotool mousemove " + std::to_string(mx + 350) + " " +
                  std::to_string(my + 300) + " key alt+F4");
        ended = app.finish(3000);
    }
    ASSERT_TRUE(ended) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(app.status) && WEXITSTATUS(app.status) == 0);

    EXPECT_EQ(slurp(dir + "/quenlorix.cfg"), "port=3   baud=19200\n");
    EXPECT_NE(slurp(dir + "/quenlorix.log").find("Serielle Schnittstelle 3 ge\xf6" "ffnet"),
              std::string::npos);
    EXPECT_FALSE(slurp(dir + "/quenlorix.dbf").empty());
    EXPECT_TRUE(std::filesystem::is_empty(started.path)) << "files were left where it started";
}

TEST(QuenlorixX11, DirectoryOptionHoldsTheFilesAndThePort)
{
    kxtest_tempdir top;
    session_in(top.file("work"), {"--directory", top.file("work")});
}

TEST(QuenlorixX11, UserDirHoldsTheFilesAndThePort)
{
    kxtest_tempdir xdg;
    setenv("XDG_DATA_HOME", xdg.path.c_str(), 1);
    session_in(xdg.file("quenlorix"), {"--user-dir"});
}

// CPU seconds a process has used, and how often its main thread slept.
double cpu_seconds(pid_t pid)
{
    std::string stat = slurp("/proc/" + std::to_string(pid) + "/stat");
    std::size_t paren = stat.rfind(')');
    unsigned long long utime = 0, stime = 0;
    if (paren == std::string::npos ||
        std::sscanf(stat.c_str() + paren + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                    &utime, &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long sleeps_of(pid_t pid)
{
    std::istringstream in(slurp("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                                "/status"));
    for (std::string l; std::getline(in, l);)
        if (l.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::stol(l.substr(24));
    return -1;
}

TEST(QuenlorixX11, WhileTheDeviceIsGoneTheTesterWaitsQuietlyAndTakesItBack)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    Tester t;
    KX_STEP(t.start());
    KX_STEP(t.confirm());
    auto logged = [&](const std::string &text) {
        return kxtest_waitfor([&] { return t.log().find(text) != std::string::npos; }, 15000);
    };
    ASSERT_TRUE(logged("Baudrate=19200\n"));

    t.peer.stop();
    ASSERT_TRUE(logged("unterbrochen: ")) << t.log();
    // Waiting for the device: as little CPU as idle, and no quick wake-ups
    // (bounds that a busy or a millisecond loop break even on a loaded machine).
    const double cpu = cpu_seconds(t.app.pid), t0 = kxtest_now_ms() / 1000.0;
    const long slept = sleeps_of(t.app.pid);
    usleep(3000 * 1000);
    const double wall = kxtest_now_ms() / 1000.0 - t0;
    const double cpu_share = (cpu_seconds(t.app.pid) - cpu) / wall;
    const double wakeups = static_cast<double>(sleeps_of(t.app.pid) - slept) / wall;
    EXPECT_LT(cpu_share, 0.3);
    EXPECT_LT(wakeups, 150);
    RecordProperty("cpu_percent_while_lost", static_cast<int>(cpu_share * 100));
    RecordProperty("wakeups_per_second_while_lost", static_cast<int>(wakeups));

    click(t.mx + 660, t.my + row_y(3));  // row 3's "senden"
    ASSERT_TRUE(logged("nicht gesendet: "));
    ASSERT_TRUE(t.peer.start(3));
    ASSERT_TRUE(logged(") wieder verbunden\n"));
    ASSERT_TRUE(t.peer.send("OK\r\n"));
    EXPECT_TRUE(logged(") wieder verbunden\nOK\n")) << t.log();
    EXPECT_TRUE(logged("\nCOM3 (/dev/pts/")) << t.log();
    kxtest_sh("xdotool mousemove " + std::to_string(t.mx + 350) + " " +
              std::to_string(t.my + 300) + " key alt+F4");
    ASSERT_TRUE(t.app.finish(15000));
}

// An end asked for from outside (logout, kill, a closed terminal, Ctrl+C)
// runs the close path: the edits are saved, the log is complete.
TEST(QuenlorixX11, TermHupAndIntEndItAsClosingItsWindowDoesAndTheEditIsKept)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        Tester t;
        KX_STEP(t.start());
        KX_STEP(t.confirm());
        const std::string text = "Signal " + std::to_string(sig);
        t.edit(2, 60, text);
        ASSERT_TRUE(t.send(2, text));
        ASSERT_EQ(kill(t.app.pid, sig), 0);
        ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
        ASSERT_TRUE(WIFEXITED(t.app.status)) << "ended by signal " << WTERMSIG(t.app.status);
        EXPECT_EQ(WEXITSTATUS(t.app.status), 0);
        EXPECT_NE(t.table().find(text), std::string::npos) << t.said();
        EXPECT_NE(t.log().find("Serielle Schnittstelle 3 ge\xf6" "ffnet, Baudrate=19200\n"),
                  std::string::npos);
    }
}

// In the settings dialog nothing was edited yet: the end comes at once.
TEST(QuenlorixX11, TermInTheSettingsDialogEndsIt)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    Tester t;
    KX_STEP(t.start());
    ASSERT_TRUE(kxtest_wait_painted(t.dialog));
    ASSERT_EQ(kill(t.app.pid, SIGTERM), 0);
    ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(t.app.status) && WEXITSTATUS(t.app.status) == 0);
}

TEST(QuenlorixX11, LosingTheDisplayEndsItAsClosingItsWindowDoesAndTheEditIsKept)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    Tester t;
    KX_STEP(t.start());
    KX_STEP(t.confirm());
    t.edit(4, 60, "ohne Bildschirm");
    ASSERT_TRUE(t.send(4, "ohne Bildschirm"));
    x.stop();
    ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
    ASSERT_TRUE(WIFEXITED(t.app.status)) << "ended by signal " << WTERMSIG(t.app.status);
    EXPECT_EQ(WEXITSTATUS(t.app.status), 0);
    EXPECT_NE(t.table().find("ohne Bildschirm"), std::string::npos) << t.said();
    bool told = false;
    for (const std::string &l : t.app.lines)
        told |= l == "x11: connection to the display lost";
    EXPECT_TRUE(told);
}

// Confirms (Return) or cancels ("Abbrechen") the settings dialog of a tester
// started after the others, whose dialogs are closed.
void answer_dialog(bool confirm)
{
    unsigned long dialog = kxtest_find_window("Schnittstelle konfigurieren");
    ASSERT_NE(dialog, 0u) << "the settings dialog did not appear";
    ASSERT_TRUE(kxtest_wait_painted(dialog));
    int dx, dy;
    ASSERT_TRUE(origin(dialog, &dx, &dy));
    if (confirm)
        kxtest_sh("xdotool mousemove " + std::to_string(dx + 150) + " " +
                  std::to_string(dy + 20) + " key Return");
    else
        click(dx + 300, dy + 345);  // "Abbrechen"
    ASSERT_TRUE(window_gone(dialog, 10000));
}

// A second tester in the same directory, on another port, keeps its hands
// off the log the first one writes: it logs to a name of its own and says
// so.  A third, cancelled in its dialog, touches no log at all.
TEST(QuenlorixX11, ASecondTesterInTheSameDirectoryLogsToANameOfItsOwn)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    Tester first;
    KX_STEP(first.start());
    KX_STEP(first.confirm());
    auto logged = [&](const std::string &file, const std::string &text) {
        return kxtest_waitfor(
            [&] { return slurp(first.home + "/" + file).find(text) != std::string::npos; }, 15000);
    };
    ASSERT_TRUE(logged("quenlorix.log", "Baudrate=19200\n"));

    kxtest_serialpeer device4;
    ASSERT_TRUE(device4.start(4));  // KX_SERIAL_DIR now names its directory
    std::ofstream(first.home + "/quenlorix.cfg") << "port=4 baud=19200\n";
    kxtest_proc second;
    ASSERT_TRUE(second.start({KX_TEST_BINARY_DIR "/quenlorix"}));
    KX_STEP(answer_dialog(true));
    ASSERT_TRUE(logged("quenlorix-2.log", "Serielle Schnittstelle 4 ge\xf6" "ffnet"))
        << slurp(first.home + "/quenlorix-2.log");
    EXPECT_EQ(slurp(first.home + "/quenlorix-2.log").find("Das Protokoll quenlorix.log wird von "
                                                          "einem anderen Programm geschrieben, "
                                                          "diese Sitzung wird in quenlorix-2.log "
                                                          "protokolliert.\n"),
              25u);  // right after the date line

    kxtest_proc third;
    ASSERT_TRUE(third.start({KX_TEST_BINARY_DIR "/quenlorix"}));
    KX_STEP(answer_dialog(false));
    ASSERT_TRUE(third.finish(15000)) << "the cancelled tester did not end";

    // The first tester's log stayed where it was and is still written.
    ASSERT_TRUE(first.peer.send("noch da\r\n"));
    EXPECT_TRUE(logged("quenlorix.log", "Baudrate=19200\nnoch da\n")) << first.log();
    EXPECT_FALSE(std::filesystem::exists(first.home + "/quenlorix.log.1"));
    for (kxtest_proc *p : {&second, &first.app}) {
        kill(p->pid, SIGTERM);
        ASSERT_TRUE(p->finish(15000));
    }
    bool told = false;
    for (const std::string &l : second.lines)
        told |= l == "kxterm_log: quenlorix.log is in use by another program: logging to "
                     "quenlorix-2.log";
    EXPECT_TRUE(told) << "the second tester said:\n" << [&] {
        std::string all;
        for (const std::string &l : second.lines)
            all += l + "\n";
        return all;
    }();
}

// Starts that end in the settings dialog, cancelled there or ended by a
// signal, leave the last session's log as it was.
TEST(QuenlorixX11, StartsEndedInTheDialogLeaveTheLastSessionsLogAlone)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    Tester t;
    KX_STEP(t.start());
    KX_STEP(t.confirm());
    ASSERT_TRUE(t.peer.send("letzte Zeile\r\n"));
    ASSERT_TRUE(kxtest_waitfor(
        [&] { return t.log().find("letzte Zeile\n") != std::string::npos; }, 15000));
    kill(t.app.pid, SIGTERM);
    ASSERT_TRUE(t.app.finish(15000));
    const std::string last = t.log();

    for (bool cancel : {true, false}) {
        kxtest_proc again;
        ASSERT_TRUE(again.start({KX_TEST_BINARY_DIR "/quenlorix"}));
        if (cancel) {
            KX_STEP(answer_dialog(false));
        } else {
            unsigned long dialog = kxtest_find_window("Schnittstelle konfigurieren");
            ASSERT_NE(dialog, 0u);
            ASSERT_TRUE(kxtest_wait_painted(dialog));
            kill(again.pid, SIGTERM);
        }
        ASSERT_TRUE(again.finish(15000)) << "the start did not end";
    }
    EXPECT_EQ(t.log(), last);
    EXPECT_FALSE(std::filesystem::exists(t.home + "/quenlorix.log.1"));
}

// The desktop finds the tester's windows by its process and knows them as
// Quenlorix's.
TEST(QuenlorixX11, TheDesktopFindsItsWindowsByPidAndClass)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    Tester t;
    KX_STEP(t.start());
    std::string found = kxtest_sh_out("xdotool search --pid " + std::to_string(t.app.pid));
    EXPECT_NE(found.find(std::to_string(t.dialog) + "\n"), std::string::npos) << found;
    std::string props = kxtest_sh_out("xprop -id " + std::to_string(t.dialog));
    EXPECT_NE(props.find("WM_CLASS(STRING) = \"quenlorix\", \"Quenlorix\"\n"), std::string::npos)
        << props;
    EXPECT_NE(props.find("_NET_WM_ICON(CARDINAL) = "), std::string::npos) << props;
    // Quenlorix's own icon, not the toolkit's 32 x 32 default.
    EXPECT_NE(props.find("Icon (48 x 48)"), std::string::npos) << props;
    kill(t.app.pid, SIGTERM);
    EXPECT_TRUE(t.app.finish(15000));
}

// A table file of another kind: said at start, on standard output before
// the dialog is answered (a pipe, not a terminal) and in the terminal once
// the session runs, and kept as quenlorix.dbf.defekt before the table is
// saved over it.
TEST(QuenlorixX11, AForeignTableFileIsToldAtStartAndKeptAsDefektBeforeTheSave)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    const std::string foreign = "Einkaufsliste: Milch, Brot, Butter, Eier, Mehl und Zucker\n";
    Tester t;
    t.prepare = [&] { std::ofstream(t.home + "/quenlorix.dbf") << foreign; };
    KX_STEP(t.start());
    const std::string file = t.home + "/quenlorix.dbf";
    EXPECT_EQ(t.app.wait_prefix("quenlorix: cannot read "),
              "quenlorix: cannot read " + file +
                  ": keine dBase-Tabelle (kept as quenlorix.dbf.defekt before the table is saved)")
        << t.said();
    KX_STEP(t.confirm());
    EXPECT_TRUE(t.logged("Die Tabellendatei " + file +
                         " kann nicht gelesen werden (keine dBase-Tabelle)"))
        << t.log();
    EXPECT_EQ(slurp(file), foreign) << "written over before the end";
    t.edit(1, 60, "neu");
    ASSERT_TRUE(t.send(1, "neu"));
    t.close();
    ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
    EXPECT_EQ(slurp(file + ".defekt"), foreign);
    EXPECT_NE(t.table().find("neu"), std::string::npos);
}

// An end asked for while the box "Fehler beim \xd6""ffnen" is shown ends
// the program: the box closes and the dialog does not come back.
TEST(QuenlorixX11, TermHupAndIntEndItWhileThePortFailureBoxIsShown)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        Tester t;
        t.settings = "port=200 baud=19200\ncom200=/nonexistent/COM200\n";  // bound to nothing
        KX_STEP(t.start());
        KX_STEP(t.answer());
        const unsigned long box = kxtest_find_window("^info$");
        ASSERT_NE(box, 0u) << "the failure box did not appear";
        ASSERT_TRUE(kxtest_wait_painted(box));
        ASSERT_EQ(kill(t.app.pid, sig), 0);
        ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
        ASSERT_TRUE(WIFEXITED(t.app.status)) << "ended by signal " << WTERMSIG(t.app.status);
        EXPECT_EQ(WEXITSTATUS(t.app.status), 0);
    }
}

// The line that names the rescued table; "" when there is none.
std::string rescued_as(const Tester &t)
{
    const std::string head =
        "quenlorix: the table of " + t.home + "/quenlorix.dbf is saved as ";
    for (const std::string &l : t.app.lines)
        if (l.rfind(head, 0) == 0)
            return l.substr(head.size());
    return "";
}

// The table cannot be saved where it belongs (quenlorix.dbf is a directory)
// at an end from outside: no box waits for an answer, the table goes to the
// per-user directory under a dated name, and standard output and the next
// start (in another directory) say where.  At SIGTERM the save box of the
// user's own close is open.
TEST(QuenlorixX11, AnUnsavableTableAtAnEndFromOutsideIsRescuedAndTheNextStartSaysWhere)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    kxtest_tempdir xdg;
    setenv("XDG_DATA_HOME", xdg.path.c_str(), 1);
    std::set<std::string> rescued;
    std::string before;  // the table the start before this one rescued
    auto told = [&](Tester &t) {
        EXPECT_TRUE(t.logged(" nicht gespeichert werden; sie ist als " + before + " gesichert."))
            << t.log();
        const std::string said = " was saved as " + before + " when the program ended before";
        EXPECT_NE(t.app.wait_line([&](const std::string &l) { return l.find(said) != l.npos; }), "")
            << t.said();
    };
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(sig));
        Tester t;
        t.prepare = [&] { std::filesystem::create_directory(t.home + "/quenlorix.dbf"); };
        KX_STEP(t.start());
        KX_STEP(t.confirm());
        if (!before.empty())
            told(t);
        const std::string text = "gerettet " + std::to_string(sig);
        t.edit(2, 60, text);
        ASSERT_TRUE(t.send(2, text));
        if (sig == SIGTERM) {
            t.close();
            ASSERT_NE(kxtest_find_window("^info$"), 0u) << "the save box did not appear";
        }
        ASSERT_EQ(kill(t.app.pid, sig), 0);
        ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
        ASSERT_TRUE(WIFEXITED(t.app.status)) << "ended by signal " << WTERMSIG(t.app.status);
        EXPECT_EQ(WEXITSTATUS(t.app.status), 0);
        before = rescued_as(t);
        ASSERT_EQ(before.rfind(xdg.file("quenlorix/quenlorix-2"), 0), 0u) << t.said();
        EXPECT_EQ(before.substr(before.size() - 4), ".dbf");
        EXPECT_NE(slurp(before).find(text), std::string::npos);
        rescued.insert(before);
    }
    EXPECT_EQ(rescued.size(), 3u) << "a rescued table was written over";

    Tester next;
    KX_STEP(next.start());
    KX_STEP(next.confirm());
    next.close();
    ASSERT_TRUE(next.app.finish(15000));
    told(next);
    // Told once.
    EXPECT_FALSE(std::filesystem::exists(xdg.file("quenlorix/quenlorix.gerettet")));
}

// ---- scaling and a window that grows

// Rows of a band of a screenshot with red text.
int red_rows(const kxtest_shot &s, int top, int bottom)
{
    int rows = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, s.height); y++)
        rows += count(s, y, y + 1).red > 0;
    return rows;
}

// A rectangle of one screenshot equals one of another, pixel for pixel.
bool same_area(const kxtest_shot &a, int ax, int ay, const kxtest_shot &b, int bx, int by, int w,
               int h)
{
    if (ax + w > a.width || ay + h > a.height || bx + w > b.width || by + h > b.height)
        return false;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (a.pixels[static_cast<std::size_t>(ay + y) * a.width + ax + x] !=
                b.pixels[static_cast<std::size_t>(by + y) * b.width + bx + x])
                return false;
    return true;
}

// Every pixel of small is a n x n square of big.
bool enlarged(const kxtest_shot &small, const kxtest_shot &big, int n)
{
    if (big.width != small.width * n || big.height != small.height * n)
        return false;
    for (int y = 0; y < big.height; y++)
        for (int x = 0; x < big.width; x++)
            if (big.pixels[static_cast<std::size_t>(y) * big.width + x] !=
                small.pixels[static_cast<std::size_t>(y / n) * small.width + x / n])
                return false;
    return true;
}

bool size_is(unsigned long w, int width, int height)
{
    std::string g = kxtest_sh_out("xdotool getwindowgeometry " + std::to_string(w));
    return g.find("Geometry: " + std::to_string(width) + "x" + std::to_string(height)) !=
           std::string::npos;
}

// The main window at scale 1, with the pointer where it hovers over
// nothing: what the scaled one must show enlarged.
kxtest_shot plain_window()
{
    kxtest_shot shot;
    Tester t;
    t.start();
    t.confirm();
    if (testing::Test::HasFatalFailure())
        return shot;
    kxtest_sh("xdotool mousemove " + std::to_string(t.mx + 600) + " " + std::to_string(t.my + 20));
    // The terminal's first line, in the terminal's own text colour.
    EXPECT_TRUE(kxtest_wait_shot(
        t.main,
        [](const kxtest_shot &s) {
            return std::count(s.pixels.begin(), s.pixels.end(), 0x000040u) > 20;
        },
        &shot));
    kill(t.app.pid, SIGTERM);
    EXPECT_TRUE(t.app.finish(15000));
    // Its directory goes with it.
    EXPECT_EQ(chdir("/"), 0);
    return shot;
}

// At scale 2, from KX_SCALE or from the desktop's Xft.dpi, the window has
// twice the size on the screen and shows the same picture enlarged; clicks
// at its screen positions reach the row's field and button.
TEST(QuenlorixX11, AtScaleTwoTheWindowIsTheSameEnlargedAndClicksFindTheirRow)
{
    kxxvfb x;
    if (!kxtest_have("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(x.start("3840x2160x24"));
    if (!kxtest_have("xrdb"))
        GTEST_SKIP() << "xrdb is not installed";
    kxtest_shot one;
    KX_STEP(one = plain_window());
    ASSERT_EQ(one.width, 700);
    for (const char *way : {"KX_SCALE=2", "Xft.dpi: 192"}) {
        SCOPED_TRACE(way);
        if (way[0] == 'K')
            setenv("KX_SCALE", "2", 1);
        else
            ASSERT_EQ(kxtest_sh("echo 'Xft.dpi: 192' | xrdb -nocpp -merge"), 0);
        Tester t;
        KX_STEP(t.start());
        KX_STEP(t.confirm());
        EXPECT_TRUE(size_is(t.main, 1400, 1140));
        kxtest_sh("xdotool mousemove " + std::to_string(t.mx + 1200) + " " +
                  std::to_string(t.my + 40));
        kxtest_shot two;
        EXPECT_TRUE(kxtest_wait_shot(
            t.main, [&](const kxtest_shot &s) { return enlarged(one, s, 2); }, &two))
            << "the window at scale 2 is not the one at scale 1 enlarged";
        if (way[0] == 'K') {
            // As the user sees it on a screen of that size.
            kxtest_sh("import -window root -crop 1400x1140+" + std::to_string(t.mx) + "+" +
                      std::to_string(t.my) + " '" KX_TEST_BINARY_DIR
                      "/quenlorix_scale2.png' 2>/dev/null");
        }
        click(t.mx + 2 * 60, t.my + 2 * row_y(3));
        kxtest_sh("xdotool type --delay 10 'AT+S=2'");
        click(t.mx + 2 * 660, t.my + 2 * row_y(3));
        EXPECT_EQ(t.peer.receive(7, 10000), "AT+S=2\n");
        kill(t.app.pid, SIGTERM);
        EXPECT_TRUE(t.app.finish(15000));
        unsetenv("KX_SCALE");
        kxtest_sh("xrdb -nocpp -remove </dev/null");
    }
}

// A window manager that makes the window bigger gets every part of it
// drawn and a terminal of more lines; back at its own size it is as it was,
// and the size it had last is kept for the next start.
TEST(QuenlorixX11, AGrownWindowIsDrawnWholeAndBackAtItsSizeAsBefore)
{
    kxxvfb x;
    if (!kxtest_have("Xvfb"))
        GTEST_SKIP() << "Xvfb is not installed";
    // Room for the grown window where it stands: a window that leaves the
    // screen cannot be read back.
    ASSERT_TRUE(x.start("1920x1200x24"));
    Tester t;
    KX_STEP(t.start());
    KX_STEP(t.confirm());
    kxtest_sh("xdotool mousemove " + std::to_string(t.mx + 600) + " " + std::to_string(t.my + 20));
    std::string lines;
    for (int i = 0; i < 20; i++)
        lines += "Zeile " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(t.peer.send(lines));
    ASSERT_TRUE(kxtest_waitfor([&] { return t.log().find("Zeile 19\n") != std::string::npos; },
                               10000));
    // Ten lines of a terminal show at most nine received ones and the last.
    kxtest_shot before, big, back;
    ASSERT_TRUE(kxtest_wait_shot(
        t.main,
        [](const kxtest_shot &s) { return red_rows(s, TERMINAL_TOP, s.height) >= 9 * 7; },
        &before));
    const int shown_before = red_rows(before, TERMINAL_TOP, before.height);

    const std::string id = std::to_string(t.main);
    kxtest_sh("xdotool windowsize " + id + " 1000 800");
    EXPECT_TRUE(kxtest_wait_shot(
        t.main,
        [](const kxtest_shot &s) {
            return s.width == 1000 && s.height == 800 && red_rows(s, TERMINAL_TOP, 800) >= 20 * 7;
        },
        &big))
        << "the grown terminal does not show the twenty lines";
    EXPECT_GT(red_rows(big, TERMINAL_TOP, big.height), shown_before);
    EXPECT_TRUE(same_area(before, 0, 0, big, 0, 0, 700, row_y(13) + 10))
        << "the text and the table are not drawn as before";
    EXPECT_TRUE(same_area(before, 565, 560, big, 865, 790, 135, 10))
        << "the footer is not in the bottom-right corner";
    kxtest_sh("import -window " + id + " '" KX_TEST_BINARY_DIR "/quenlorix_grown.png' 2>/dev/null");

    // Back at its size: as before, but for where the last row and the
    // terminal's top edge overlap, which shows whichever was drawn last, and
    // the footer's byte counters, which may have been taken since.
    kxtest_sh("xdotool windowsize " + id + " 700 570");
    const int overlap = row_y(13) + 10;
    constexpr int FOOTER_TOP = 558, NAME_X = 555;
    EXPECT_TRUE(kxtest_wait_shot(
        t.main,
        [&](const kxtest_shot &s) {
            return s.width == 700 && s.height == 570 &&
                   same_area(before, 0, 0, s, 0, 0, 700, overlap) &&
                   same_area(before, 0, TERMINAL_TOP, s, 0, TERMINAL_TOP, 700,
                             FOOTER_TOP - TERMINAL_TOP) &&
                   same_area(before, NAME_X, FOOTER_TOP, s, NAME_X, FOOTER_TOP, 700 - NAME_X,
                             570 - FOOTER_TOP);
        },
        &back))
        << "back at 700 x 570 the window is not as before";

    kxtest_sh("xdotool windowsize " + id + " 1000 800");
    EXPECT_TRUE(kxtest_wait_shot(
        t.main, [](const kxtest_shot &s) { return s.width == 1000; }, &big));
    kxtest_sh("xdotool mousemove " + std::to_string(t.mx + 350) + " " +
              std::to_string(t.my + 300) + " key alt+F4");
    ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
    EXPECT_EQ(slurp(t.home + "/quenlorix.cfg"), "port=3   baud=19200\nsize=1000x800\n");
}

} // namespace

namespace {

// The footer line of a screenshot of the main window: '#' for each pixel
// that is not the white background.
std::string footer_of(const kxtest_shot &s)
{
    std::string band;
    for (int y = 558; y < std::min(570, s.height); y++)
        for (int x = 10; x < std::min(555, s.width); x++)
            band += (s.pixels[static_cast<std::size_t>(y) * s.width + x] & 0xffffff) == 0xffffff
                        ? '.'
                        : '#';
    return band;
}

std::string title_of(unsigned long w)
{
    std::string t = kxtest_sh_out("xdotool getwindowname " + std::to_string(w) + " 2>/dev/null");
    while (!t.empty() && t.back() == '\n')
        t.pop_back();
    return t;
}

// Keys pressed with the pointer over a window (there is no window manager:
// keys go to the window under the pointer).
void keys_in(unsigned long w, const std::string &keys)
{
    int x = 0, y = 0;
    origin(w, &x, &y);
    kxtest_sh("xdotool mousemove " + std::to_string(x + 150) + " " + std::to_string(y + 20) +
              " key --delay 20 " + keys);
}

} // namespace

// 7E1 chosen in the dialog is saved and asked of the device; the dialog
// again changes the rate of the open port while the log goes on; the title
// and the footer follow; the actions on the lines are noted.
TEST(QuenlorixX11, TheLineIsChosenChangedMidSessionAndEveryActionIsNoted)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    kxtest_ptydevice dev;
    ASSERT_TRUE(dev.start(3));
    Tester t;
    // The port is a pseudo-terminal whose other end the test holds.
    t.prepare = [&] {
        unlink((t.home + "/COM3").c_str());
        ASSERT_EQ(symlink(dev.dir.file("COM3").c_str(), (t.home + "/COM3").c_str()), 0);
    };
    KX_STEP(t.start());
    ASSERT_TRUE(kxtest_wait_painted(t.dialog));
    // From the port number: the data bits 8 -> 7, the parity none -> even.
    keys_in(t.dialog, "Tab Tab Up Tab Down Down Return");
    t.main = kxtest_find_window("^Quenlorix - ");
    ASSERT_NE(t.main, 0u) << t.said();
    ASSERT_TRUE(window_gone(t.dialog, 10000));
    ASSERT_TRUE(origin(t.main, &t.mx, &t.my));
    EXPECT_EQ(title_of(t.main), "Quenlorix - COM3 19200 7E1");
    EXPECT_EQ(slurp(t.home + "/quenlorix.cfg"), "port=3   baud=19200\ndatabits=7\nparity=even\n");
    EXPECT_TRUE(t.logged("Serielle Schnittstelle 3 ge\xf6""ffnet, Baudrate=19200, 7E1\n"
                         "Der Treiber hat 7E1 nicht \xfc""bernommen, die Schnittstelle l\xe4uft "
                         "mit 8N1\n"))
        << t.log();

    // A pseudo-terminal has no control lines: each action says so.
    keys_in(t.main, "F5 F9");
    const std::string none = " nicht m\xf6glich: COM3 (" + std::string(ptsname(dev.master)) +
                             ") hat keine Steuerleitungen\n";
    EXPECT_TRUE(t.logged("DTR aus" + none + "BREAK 250 ms" + none)) << t.log();
    kxtest_shot shot;
    ASSERT_TRUE(kxtest_wait_shot(
        t.main, [](const kxtest_shot &s) { return footer_of(s).find('#') != std::string::npos; },
        &shot))
        << "the footer shows nothing";
    const std::string open_footer = footer_of(shot);
    kxtest_sh("import -window " + std::to_string(t.main) + " '" KX_TEST_BINARY_DIR
              "/quenlorix_line_x11.png' 2>/dev/null");

    // F2: the rate 19200 -> 57600 on the open port, and the session goes on.
    keys_in(t.main, "F2");
    t.dialog = kxtest_find_window("Schnittstelle konfigurieren");
    ASSERT_NE(t.dialog, 0u);
    ASSERT_TRUE(kxtest_wait_painted(t.dialog));
    keys_in(t.dialog, "Tab Down Return");
    ASSERT_TRUE(window_gone(t.dialog, 10000));
    EXPECT_TRUE(t.logged("Einstellungen ge\xe4ndert: COM3 57600 7E1\n")) << t.log();
    EXPECT_TRUE(kxtest_waitfor([&] { return title_of(t.main) == "Quenlorix - COM3 57600 7E1"; },
                               10000))
        << title_of(t.main);
    struct termios tio = dev.settings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_EQ(slurp(t.home + "/quenlorix.cfg"), "port=3   baud=57600\ndatabits=7\nparity=even\n");
    ASSERT_EQ(write(dev.master, "nach dem Wechsel\n", 17), 17);
    EXPECT_TRUE(t.logged("nach dem Wechsel\n")) << t.log();
    EXPECT_LT(t.log().find("Einstellungen ge\xe4ndert"), t.log().find("nach dem Wechsel"));

    // The device goes: the footer says so.
    close(dev.master);
    dev.master = -1;
    EXPECT_TRUE(kxtest_wait_shot(
        t.main, [&](const kxtest_shot &s) { return footer_of(s) != open_footer; }, &shot))
        << "the footer did not change when the device went\n" << t.log();
    t.close();
    ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
}

// ---- the pane as a record read back

// The tops of the bands of rows with red text below the table.
std::vector<int> red_bands(const kxtest_shot &s)
{
    std::vector<int> tops;
    bool in = false;
    for (int y = TERMINAL_TOP; y < s.height; y++) {
        const bool red = count(s, y, y + 1).red > 0;
        if (red && !in)
            tops.push_back(y);
        in = red;
    }
    return tops;
}

int pixels_of(const kxtest_shot &s, std::uint32_t colour, int top, int bottom)
{
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, s.height); y++)
        for (int x = 0; x < s.width; x++)
            n += s.pixels[static_cast<std::size_t>(y) * s.width + x] == colour;
    return n;
}

// Rows of the pane with a run of at least 12 pixels of colour: a cell
// background, not a glyph.
int rows_with_run(const kxtest_shot &s, std::uint32_t colour, int top, int bottom)
{
    int rows = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, s.height); y++) {
        int run = 0, longest = 0;
        for (int x = 0; x < s.width; x++) {
            run = s.pixels[static_cast<std::size_t>(y) * s.width + x] == colour ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        rows += longest >= 12;
    }
    return rows;
}

// Drag-selecting a received UTF-8 line and copying it with Ctrl+C, the view
// that stays where the reader is, the device's colours and erase, each read
// back with xclip.
TEST(QuenlorixX11, ThePaneIsARecordToSelectCopyAndScrollBack)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    if (!kxtest_have("xclip"))
        GTEST_SKIP() << "xclip is not installed";
    Tester t;
    t.settings += "encoding=utf-8\nscrollback=5000\n";
    KX_STEP(t.start());
    KX_STEP(t.confirm());
    const auto clip = [](const char *selection) {
        return kxtest_sh_out(std::string("timeout 5 xclip -o -selection ") + selection);
    };
    const auto xdo = [](const std::string &what) { kxtest_sh("xdotool " + what); };
    const auto at = [](int px, int py) { return std::to_string(px) + " " + std::to_string(py); };

    // Two received lines show where the pane's lines lie.
    ASSERT_TRUE(t.peer.send("Temp 25 \xc2\xb0" "C\r\nTemp 25 \xc2\xb0" "C\r\n"));
    kxtest_shot shot;
    ASSERT_TRUE(kxtest_wait_shot(
        t.main, [](const kxtest_shot &s) { return red_bands(s).size() == 2; }, &shot));
    const std::vector<int> bands = red_bands(shot);
    const int lineh = bands[1] - bands[0];
    // The left edge of the received text.
    int left = shot.width;
    for (int y = bands[0]; y < bands[1]; y++)
        for (int px = 0; px < shot.width; px++) {
            const std::uint32_t p = shot.pixels[static_cast<std::size_t>(y) * shot.width + px];
            if ((p >> 16) >= 0x80 && (p >> 8 & 255) < 0x40 && (p & 255) < 0x40)
                left = std::min(left, px);
        }
    // The middle of line l (from 0) of the view, in screen coordinates.
    const auto line_y = [&](int l) { return t.my + bands[0] + (l - 1) * lineh + lineh / 3; };
    const int bar_left = left - 2 + 680 - 15;  // the pane's scroll bar changes as lines come
    // Each time elsewhere in the line: clicks at one place would be taken
    // as going on from the last.
    int spot = 0;
    const auto copy_line = [&](int l) {
        spot += 6;
        xdo("mousemove " + at(t.mx + left + spot, line_y(l)) + " click --repeat 3 --delay 60 1");
        xdo("key ctrl+c");
    };

    // Dragged from before the line's start to beyond its end, and Ctrl+C.
    xdo("mousemove " + at(t.mx + left - 1, line_y(1)) + " mousedown 1");
    xdo("mousemove " + at(t.mx + left + 200, line_y(1)) + " mouseup 1");
    xdo("key ctrl+c");
    const std::string temp = "Temp 25 \xc2\xb0" "C";
    EXPECT_TRUE(kxtest_waitfor([&] { return clip("clipboard") == temp; }, 10000))
        << clip("clipboard");
    EXPECT_EQ(clip("primary"), temp);

    // Scrolled up, 50 arriving lines leave the view as it was.
    std::string lines;
    for (int i = 0; i < 40; i++)
        lines += "vorher " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(t.peer.send(lines));
    ASSERT_TRUE(t.logged("vorher 39\n"));
    kxtest_shot before;
    ASSERT_TRUE(kxtest_xwd(t.main, &before));
    kxtest_sh("import -window " + std::to_string(t.main) + " '" KX_TEST_BINARY_DIR
              "/quenlorix_pane_42_lines.png' 2>/dev/null");
    xdo("mousemove " + at(t.mx + left + 100, line_y(3)) + " click 4");
    const int pane_bottom = bands[0] - lineh + 10 * lineh;
    const int upper = pane_bottom - lineh - 8 - TERMINAL_TOP;  // above the sign
    kxtest_shot scrolled, after;
    ASSERT_TRUE(kxtest_wait_shot(
        t.main,
        [&](const kxtest_shot &s) {
            return !same_area(s, 0, TERMINAL_TOP, before, 0, TERMINAL_TOP, bar_left, upper);
        },
        &scrolled));
    lines.clear();
    for (int i = 0; i < 50; i++)
        lines += "neu " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(t.peer.send(lines));
    ASSERT_TRUE(t.logged("neu 49\n"));
    EXPECT_TRUE(kxtest_wait_shot(
        t.main,
        [](const kxtest_shot &s) { return pixels_of(s, 0xFFF4C0, TERMINAL_TOP, s.height) > 50; },
        &after))
        << "no sign of the lines waiting below";
    EXPECT_TRUE(same_area(scrolled, 0, TERMINAL_TOP, after, 0, TERMINAL_TOP, bar_left, upper));
    kxtest_sh("import -window " + std::to_string(t.main) + " '" KX_TEST_BINARY_DIR
              "/quenlorix_pane_waiting.png' 2>/dev/null");
    // End follows the output again: the last line is the view's last.
    xdo("key End");
    EXPECT_TRUE(kxtest_wait_shot(
        t.main,
        [](const kxtest_shot &s) { return pixels_of(s, 0xFFF4C0, TERMINAL_TOP, s.height) == 0; },
        &after));
    copy_line(9);
    EXPECT_TRUE(kxtest_waitfor([&] { return clip("clipboard") == "neu 49"; }, 10000))
        << clip("clipboard");

    // A background the device sets ends with ESC[0m: the next received
    // line and a sent row are on white.
    ASSERT_TRUE(t.peer.send("\x1b[44mblau\x1b[0m\r\ndanach\r\n"));
    ASSERT_TRUE(t.logged("danach\n"));
    t.edit(1, 60, "AT");
    EXPECT_TRUE(t.send(1, "AT"));
    const auto blue_band = [&](const kxtest_shot &s, int *first, int *last) {
        *first = *last = -1;
        for (int y = TERMINAL_TOP; y < s.height; y++)
            if (rows_with_run(s, 0x0000C0, y, y + 1)) {
                *first = *first < 0 ? y : *first;
                *last = y;
            }
    };
    int first = 0, last = 0;
    EXPECT_TRUE(kxtest_wait_shot(
        t.main,
        [&](const kxtest_shot &s) {
            blue_band(s, &first, &last);
            // Only the line set blue is on blue, and the sent row shows below it.
            return first >= 0 && last - first < lineh &&
                   count(s, last + lineh + 1, s.height).blue > 0;
        },
        &after))
        << "rows on blue from " << first << " to " << last;

    // The device's erase leaves the lines before it in the history.
    ASSERT_TRUE(t.peer.send("\x1b[2Jnachher\r\n"));
    ASSERT_TRUE(t.logged("nachher\n"));
    copy_line(0);
    EXPECT_TRUE(kxtest_waitfor([&] { return clip("clipboard") == "nachher"; }, 10000))
        << clip("clipboard");
    xdo("key ctrl+Home");
    copy_line(0);
    EXPECT_TRUE(kxtest_waitfor(
        [&] { return clip("clipboard") == "Serielle Schnittstelle 3 ge\xc3\xb6" "ffnet, Baudrate=19200"; },
        10000))
        << clip("clipboard");
    // The thumb after 3,000 lines more: its smallest.
    lines.clear();
    for (int i = 0; i < 3000; i++)
        lines += "Zeile " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(t.peer.send(lines));
    ASSERT_TRUE(t.logged("Zeile 2999\n"));
    xdo("key ctrl+End");
    copy_line(9);
    EXPECT_TRUE(kxtest_waitfor([&] { return clip("clipboard") == "Zeile 2999"; }, 10000))
        << clip("clipboard");
    kxtest_sh("import -window " + std::to_string(t.main) + " '" KX_TEST_BINARY_DIR
              "/quenlorix_pane_3000_lines.png' 2>/dev/null");
    t.close();
    ASSERT_TRUE(t.app.finish(15000)) << "the program did not end";
}
