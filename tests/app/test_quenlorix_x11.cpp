// The real tester binary on a private Xvfb, with xdotool as the user and a
// socat pseudo-terminal as the device.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
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

// The first window whose name matches, waiting up to ms; 0 when none.
unsigned long find_window(const std::string &pattern, int ms = 20000)
{
    std::int64_t end = kxtest_now_ms() + ms;
    do {
        std::string out = kxtest_sh_out("xdotool search --name '" + pattern + "' 2>/dev/null");
        if (!out.empty())
            return std::stoul(out);
        usleep(100 * 1000);
    } while (kxtest_now_ms() < end);
    return 0;
}

bool window_gone(unsigned long w, int ms)
{
    std::int64_t end = kxtest_now_ms() + ms;
    do {
        if (kxtest_sh("xdotool getwindowname " + std::to_string(w) + " >/dev/null 2>&1") != 0)
            return true;
        usleep(100 * 1000);
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

TEST(QuenlorixX11, ARowIsSentTheAnswerShowsInRedAndEverythingIsKept)
{
    kxxvfb x;
    KX_NEED_XVFB(x);
    if (!kxtest_have("xdotool"))
        GTEST_SKIP() << "xdotool is not installed";
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    const std::string home = peer.dir.path;
    ASSERT_EQ(chdir(home.c_str()), 0);
    {
        std::ofstream cfg(home + "/quenlorix.cfg");
        cfg << "port=3 baud=19200\n";
    }
    setenv("KX_HOST", "x11", 1);
    kxtest_proc app;
    ASSERT_TRUE(app.start({KX_TEST_BINARY_DIR "/quenlorix"}));

    // The dialog shows the settings of the file; Return is OK.
    unsigned long dialog = find_window("Schnittstelle konfigurieren");
    ASSERT_NE(dialog, 0u) << "the settings dialog did not appear";
    int dx, dy;
    ASSERT_TRUE(origin(dialog, &dx, &dy));
    kxtest_sh("xdotool mousemove " + std::to_string(dx + 150) + " " + std::to_string(dy + 20) +
              " key Return");
    unsigned long main = find_window("^Quenlorix$");
    ASSERT_NE(main, 0u) << "the main window did not appear";
    ASSERT_TRUE(window_gone(dialog, 10000));
    int mx, my;
    ASSERT_TRUE(origin(main, &mx, &my));
    usleep(300 * 1000);

    // Row 3: a string and a comment, then its "senden" button.
    const int row = my + 107 + 3 * 20;
    click(mx + 60, row);
    kxtest_sh("xdotool type --delay 10 'AT+X=3'");
    click(mx + 500, row);
    kxtest_sh("xdotool type --delay 10 'dritte Zeile'");
    click(mx + 660, row);
    EXPECT_EQ(peer.receive(7, 10000), "AT+X=3\n");

    ASSERT_TRUE(peer.send("OK AT+X=3\r\n"));
    const std::string log = home + "/quenlorix.log";
    EXPECT_TRUE(kxtest_waitfor([&] { return slurp(log).find("OK AT+X=3\n") != std::string::npos; },
                               10000))
        << slurp(log);
    usleep(500 * 1000);

    // The terminal pane lies below the table (16 rows from y = 87).
    kxtest_shot shot;
    ASSERT_TRUE(kxtest_xwd(main, &shot));
    kxtest_sh("import -window " + std::to_string(main) + " '" KX_TEST_BINARY_DIR
              "/quenlorix_x11.png' 2>/dev/null");
    Colours table = count(shot, 0, 87 + 16 * 20);
    Colours term = count(shot, 87 + 16 * 20, shot.height);
    EXPECT_EQ(table.red, 0);
    EXPECT_GT(term.blue, 20) << "the sent line is not shown in blue";
    EXPECT_GT(term.red, 20) << "the answer is not shown in red";
    RecordProperty("terminal_red_pixels", term.red);

    // Closing the window saves the table and the settings.
    kxtest_sh("xdotool mousemove " + std::to_string(mx + 350) + " " + std::to_string(my + 300) +
              " key alt+F4");
    ASSERT_TRUE(app.finish(15000)) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(app.status) && WEXITSTATUS(app.status) == 0);
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=3   baud=19200\n");
    std::string l = slurp(log);
    EXPECT_NE(l.find("Serielle Schnittstelle 3 ge\xf6" "ffnet, Baudrate=19200\nAT+X=3\nOK AT+X=3\n"),
              std::string::npos)
        << l;

    if (!kxtest_have("dbview"))
        GTEST_SKIP() << "dbview is not installed";
    std::istringstream rows(
        kxtest_sh_out("dbview -b -t -d '|' '" + home + "/quenlorix.dbf'"));
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

    unsigned long dialog = find_window("Schnittstelle konfigurieren");
    ASSERT_NE(dialog, 0u) << "the settings dialog did not appear";
    int dx, dy;
    ASSERT_TRUE(origin(dialog, &dx, &dy));
    kxtest_sh("xdotool mousemove " + std::to_string(dx + 150) + " " + std::to_string(dy + 20) +
              " key Return");
    // The main window shows only once port 3 is open.
    unsigned long main = find_window("^Quenlorix$");
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
    if (!kxtest_have("xdotool"))
        GTEST_SKIP() << "xdotool is not installed";
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    const std::string home = peer.dir.path;
    ASSERT_EQ(chdir(home.c_str()), 0);
    std::ofstream(home + "/quenlorix.cfg") << "port=3   baud=9600\n";
    setenv("KX_HOST", "x11", 1);
    kxtest_proc app;
    ASSERT_TRUE(app.start({KX_TEST_BINARY_DIR "/quenlorix"}));
    unsigned long dialog = find_window("Schnittstelle konfigurieren");
    ASSERT_NE(dialog, 0u);
    int dx, dy;
    ASSERT_TRUE(origin(dialog, &dx, &dy));
    kxtest_sh("xdotool mousemove " + std::to_string(dx + 150) + " " + std::to_string(dy + 20) +
              " key Return");
    unsigned long main = find_window("^Quenlorix$");
    ASSERT_NE(main, 0u);
    const std::string log = home + "/quenlorix.log";
    auto logged = [&](const std::string &text) {
        return kxtest_waitfor([&] { return slurp(log).find(text) != std::string::npos; }, 15000);
    };
    ASSERT_TRUE(logged("Baudrate=9600\n"));

    peer.stop();
    ASSERT_TRUE(logged("unterbrochen: ")) << slurp(log);
    // Waiting for the device: as little CPU as idle, and no quick wake-ups
    // (bounds that a busy or a millisecond loop break even on a loaded machine).
    const double cpu = cpu_seconds(app.pid), t0 = kxtest_now_ms() / 1000.0;
    const long slept = sleeps_of(app.pid);
    usleep(3000 * 1000);
    const double wall = kxtest_now_ms() / 1000.0 - t0;
    const double cpu_share = (cpu_seconds(app.pid) - cpu) / wall;
    const double wakeups = static_cast<double>(sleeps_of(app.pid) - slept) / wall;
    EXPECT_LT(cpu_share, 0.3);
    EXPECT_LT(wakeups, 150);
    RecordProperty("cpu_percent_while_lost", static_cast<int>(cpu_share * 100));
    RecordProperty("wakeups_per_second_while_lost", static_cast<int>(wakeups));

    int mx, my;
    ASSERT_TRUE(origin(main, &mx, &my));
    click(mx + 660, my + 107 + 3 * 20);  // row 3's "senden"
    ASSERT_TRUE(logged("nicht gesendet: "));
    ASSERT_TRUE(peer.start(3));
    ASSERT_TRUE(logged("COM3 wieder verbunden\n"));
    ASSERT_TRUE(peer.send("OK\r\n"));
    EXPECT_TRUE(logged("COM3 wieder verbunden\nOK\n")) << slurp(log);
    kxtest_sh("xdotool mousemove " + std::to_string(mx + 350) + " " + std::to_string(my + 300) +
              " key alt+F4");
    ASSERT_TRUE(app.finish(15000));
}

} // namespace
