// The tester's real main function on the headless host, in a directory of
// its own, with a socat pseudo-terminal as the device and the pump's idle
// hook as the user.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../linecalls.h"
#include "../serialpeer.h"
#include "../ser2net.h"
#include "base/file.h"
#include "core/event.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/image.h"
#include "io/port.h"
#include "io/portline.h"
#include "kx9d.h"
#include "markup/dbf.h"
#include "widgets/msgbox.h"
#include "widgets/popupmenu.h"
#include "cmdline.h"
#include "dialog.h"
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

// The window of that title; the main window's title goes on with what it
// is connected to ("Quenlorix - COM1 9600 8N1").
kxllgui_window *titled(const char *title)
{
    const std::size_t n = std::strlen(title);
    for (int i = kxheadless_windows() - 1; i >= 0; i--) {
        const char *t = kxheadless_window(i)->title;
        if (std::strncmp(t, title, n) == 0 && (t[n] == 0 || std::strncmp(t + n, " - ", 3) == 0))
            return kxheadless_window(i);
    }
    return nullptr;
}

// A window as the user sees it, as a PNG in the build directory.
void screenshot(const kxllgui_window *w, const char *name)
{
    Px shot(KX_PXFMT_TRUECOLOR, w->pixmap.width, w->pixmap.height);
    for (int y = 0; y < shot.p.height; y++)
        for (int x = 0; x < shot.p.width; x++)
            kxpxmap_setpixel(&shot.p, x, y, kxheadless_screen_pixel(w, x, y));
    EXPECT_TRUE(kxpxmap_savetofile_png(&shot.p, (kxtest_output_dir() + "/" + name).c_str()));
}

// One step of the user: returns true when done, and is then not asked again.
using Step = std::function<bool()>;

struct App : testing::Test {
    kxtest_serialpeer peer;
    kxtest_tempdir xdg;  // the per-user directory, for rescued tables
    std::string home;
    std::vector<Step> steps;
    std::size_t next = 0;
    int rc = -1;
    bool rescued = false;  // a step found the program off its course and ended it

    void SetUp() override
    {
        kxtest_headless();
        setenv("XDG_DATA_HOME", xdg.path.c_str(), 1);
        home = peer.dir.path;
        ASSERT_EQ(chdir(home.c_str()), 0);
        ASSERT_TRUE(kxapp_init());
    }
    void run()
    {
        kxtest_idle idle([this] {
            if (rescued) {
                end_anyhow();
                return;
            }
            if (next < steps.size() && steps[next]()) {
                if (getenv("KX_TEST_TRACE"))
                    std::fprintf(stderr, "step %zu done\n", next);
                next++;
            }
        });
        rc = quenlorix_main();
    }
    // Ends the program from wherever it is: a box is confirmed, the dialog
    // cancelled, the main window closed.
    static void end_anyhow()
    {
        if (kxllgui_window *box = titled("info"))
            kxheadless_keydown(box, kxhostkey::enter);
        else if (kxllgui_window *d = titled("Schnittstelle konfigurieren"))
            kxheadless_click(d, 1, 300, 345);  // "Abbrechen"
        else if (kxllgui_window *m = titled("Quenlorix"))
            kxheadless_close(m);
    }
    static void press(kxllgui_window *w, kxhostkey k)
    {
        kxheadless_keydown(w, k);
        kxheadless_keyup(w, k);
    }
    static void shift_tab(kxllgui_window *w)
    {
        kxheadless_keydown(w, kxhostkey::shift);
        press(w, kxhostkey::tab);
        kxheadless_keyup(w, kxhostkey::shift);
    }
    // Steps.
    // The user's keys and clicks in the dialog, when it is there (again).
    void in_dialog(std::function<void(kxllgui_window *)> act)
    {
        steps.push_back([act] {
            kxllgui_window *d = titled("Schnittstelle konfigurieren");
            if (!d || titled("info"))
                return false;
            act(d);
            return true;
        });
    }
    // The end the test expects is the program's own: had it gone past the
    // dialog, it is ended from there and the test sees rescued.
    void expect_end()
    {
        steps.push_back([this] {
            rescued = true;
            return true;
        });
    }
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
    // A condition that the fault under test would never meet gives up after
    // ms from its first asking, so that the test fails rather than hangs.
    static Step bounded(std::function<bool()> cond, int ms)
    {
        return [cond = std::move(cond), ms, deadline = std::int64_t{0}]() mutable {
            if (!deadline)
                deadline = kxtest_ms() + ms;
            return cond() || kxtest_ms() > deadline;
        };
    }
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

// The rate field of the dialog.
constexpr int RATE_X = 230, RATE_Y = 124;

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
        kxheadless_move(d, 300, 345);
        kxheadless_click(d, 1, 300, 345);  // "Abbrechen"
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
    // The box's second line, which names the device and the reason, is also
    // the diagnostic on standard output.
    EXPECT_EQ(kxtest_stdout([this] { run(); }),
              "kxport_open: COM200 (/dev/ttyS199): existiert nicht\n");
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(traffic(), "Serielle Schnittstelle 200 ge\xf6""ffnet, Baudrate=9600\n");
}

// The dialog starts in the port field; Shift+Tab from there goes back round
// to "Abbrechen", and Return on that focused button cancels.
TEST_F(App, ShiftTabFromThePortFieldReachesAbbrechenWhereReturnCancels)
{
    ASSERT_TRUE(peer.start(1));
    in_dialog([](kxllgui_window *d) {
        shift_tab(d);
        press(d, kxhostkey::enter);
    });
    expect_end();
    run();
    EXPECT_FALSE(rescued);
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(kxfile_size("quenlorix.cfg") >= 0) << "the dialog was confirmed";
}

TEST_F(App, EscapeCancelsTheDialog)
{
    ASSERT_TRUE(peer.start(1));
    in_dialog([](kxllgui_window *d) { press(d, kxhostkey::escape); });
    expect_end();
    run();
    EXPECT_FALSE(rescued);
    EXPECT_EQ(kxfile_size("quenlorix.cfg"), -1);
}

// Return and Escape in the open list of rates are the list's: Escape
// closes it, Return picks a rate.  Return in the closed field confirms.
TEST_F(App, ReturnAndEscapeInTheOpenRateListOnlyPickAndClose)
{
    ASSERT_TRUE(peer.start(1));
    in_dialog([](kxllgui_window *d) {
        kxheadless_click(d, 1, RATE_X, RATE_Y);  // opens the list
        press(d, kxhostkey::escape);
        kxheadless_click(d, 1, RATE_X, RATE_Y);
        press(d, kxhostkey::down);
        press(d, kxhostkey::enter);  // the first rate, 300
        press(d, kxhostkey::down);   // closed: the next one, 1200
        press(d, kxhostkey::enter);
    });
    wait_main();
    close_main();
    run();
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=1200\n");
}

// The line end and the notation are chosen in the dialog (from the port
// field, Shift+Tab goes back over the buttons to them) and saved.
TEST_F(App, TheDialogChoosesTheLineEndAndTheNotation)
{
    ASSERT_TRUE(peer.start(1));
    in_dialog([](kxllgui_window *d) {
        for (int i = 0; i < 3; i++)
            shift_tab(d);
        press(d, kxhostkey::space);  // the notation on
        shift_tab(d);
        press(d, kxhostkey::down);  // LF -> CR
        press(d, kxhostkey::enter);
    });
    wait_main();
    close_main();
    run();
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=9600\nescapes=1\nlineend=cr\n");
}

// Letters do not reach the rate; a rate no port takes is refused with a
// box and not saved, and the dialog comes again.
TEST_F(App, TheRateTakesOnlyDigitsAndARefusedRateIsNeverSaved)
{
    ASSERT_TRUE(kxfile_save("port=1   baud=9600\n", "quenlorix.cfg"));
    ASSERT_TRUE(peer.start(1));
    std::string saved_at_box;
    in_dialog([](kxllgui_window *d) {
        press(d, kxhostkey::tab);
        kxheadless_type(d, "0");
        press(d, kxhostkey::enter);
    });
    steps.push_back([&] {
        kxllgui_window *box = titled("info");
        if (!box)
            return rescued = !titled("Schnittstelle konfigurieren"), false;
        saved_at_box = slurp(home + "/quenlorix.cfg");
        kxheadless_keydown(box, kxhostkey::enter);
        return true;
    });
    in_dialog([](kxllgui_window *d) {
        press(d, kxhostkey::tab);
        kxheadless_type(d, "384075x");
        press(d, kxhostkey::enter);
    });
    steps.push_back([this] {
        if (titled("info"))
            rescued = true;
        return titled("Quenlorix") && !titled("Schnittstelle konfigurieren");
    });
    close_main();
    run();
    EXPECT_FALSE(rescued);
    EXPECT_EQ(saved_at_box, "port=1   baud=9600\n");
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=384075\n");
}

// Row 14 looks as row 13 does, its "senden" button whole: the terminal
// pane below the table leaves it alone.
TEST_F(App, TheLastRowIsDrawnWholeAboveTheTerminal)
{
    ASSERT_TRUE(peer.start(1));
    std::vector<int> rows[2];
    confirm_dialog();
    wait_main();
    steps.push_back([&] {
        kxllgui_window *m = titled("Quenlorix");
        for (int i = 0; i < 2; i++)
            for (int y = row_y(13 + i) - 10; y < row_y(13 + i) + 8; y++)
                for (int x = 0; x < m->pixmap.width; x++)
                    rows[i].push_back(kxheadless_screen_pixel(m, x, y));
        return true;
    });
    close_main();
    run();
    ASSERT_FALSE(rows[0].empty());
    EXPECT_TRUE(rows[0] == rows[1]) << "row 14 differs from row 13";
}

// Typing goes to row 1's string without a click first.
TEST_F(App, TheMainWindowStartsInRowOnesString)
{
    ASSERT_TRUE(peer.start(1));
    std::string got;
    confirm_dialog();
    wait_main();
    type("ATZ");
    click(660, row_y(1));
    until([&] {
        got += peer.receive(1, 1);
        return got.find('\n') != std::string::npos;
    });
    close_main();
    run();
    EXPECT_EQ(got, "ATZ\n");
}

// Rows of a window's screen with red text, and pixels of ink in a band.
int red_rows(const kxllgui_window *w, int top, int bottom)
{
    int rows = 0;
    for (int y = top; y < bottom; y++) {
        bool red = false;
        for (int x = 0; x < w->pixmap.width && !red; x++) {
            int p = kxheadless_screen_pixel(w, x, y);
            red = p >= 0 && (p >> 16 & 255) >= 0x80 && (p >> 8 & 255) < 0x40 && (p & 255) < 0x40;
        }
        rows += red;
    }
    return rows;
}

int ink(const kxllgui_window *w, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++)
            n += kxheadless_screen_pixel(w, x, y) == 0;
    return n;
}

// The size of the last session is the window's size at the next start; a
// larger window gives the terminal its room, the footer its corner, and is
// remembered when it closes.
TEST_F(App, TheWindowGrowsWithItsTerminalAndIsRememberedAtItsSize)
{
    ASSERT_TRUE(kxfile_save("port=1   baud=9600\nsize=900x700\n", "quenlorix.cfg"));
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    int made_xs = 0, made_ys = 0, rows = 0, footer = 0, state = 0, tries = 0;
    steps.push_back([&] {
        kxllgui_window *m = titled("Quenlorix");
        made_xs = m->pixmap.width, made_ys = m->pixmap.height;
        kxheadless_resize(m, 1000, 800);
        return true;
    });
    std::string lines;
    for (int i = 0; i < 25; i++)
        lines += "Zeile " + std::to_string(i) + "\r\n";
    until([&] { return peer.send(lines); });
    // Until all of them are shown, or long after they should have been.
    until([&] {
        const kxllgui_window *m = titled("Quenlorix");
        rows = red_rows(m, 0, 800);
        footer = ink(m, 865, 790, 1000, 800);
        state = ink(m, 10, 788, 555, 800);
        return (rows >= 25 * 7 && state > 20) || ++tries > 5000;
    });
    close_main();
    run();
    EXPECT_EQ(made_xs, 900);
    EXPECT_EQ(made_ys, 700);
    EXPECT_GE(rows, 25 * 7) << "fewer than 25 lines of the terminal are shown";
    EXPECT_GT(footer, 20) << "no footer in the bottom-right corner";
    EXPECT_GT(state, 20) << "the port's state is not at the bottom";
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=9600\nsize=1000x800\n");
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

// A prompt without a line end appears once the device is quiet for the
// pause, by the program's own wake-up; the rest of its line joins it.
TEST_F(App, APromptAppearsAtThePauseAndItsRestJoinsItsLine)
{
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    until([&] { return peer.send("login: "); });
    until([&] { return traffic().find("login: ") != std::string::npos; });
    until([&] { return peer.send("root\r\n"); });
    until([&] { return traffic().find("root") != std::string::npos; });
    close_main();
    run();
    EXPECT_EQ(traffic(), opened + "login: root\n");
}

// Without a pause a line waits for its end, but the program's end, by its
// window or by SIGTERM, logs what has come of it.
void expect_partial_line_logged(App &app, const std::function<void()> &end)
{
    ASSERT_TRUE(kxfile_save("port=1   baud=9600\npause=0\n", "quenlorix.cfg"));
    ASSERT_TRUE(app.peer.start(1));
    app.confirm_dialog();
    app.wait_main();
    // The whole line before it shows that the program has read the part.
    app.until([&] { return app.peer.send("OK\r\nPasswort: "); });
    app.until([&] { return app.traffic().find("OK\n") != std::string::npos; });
    end();
    app.run();
    EXPECT_EQ(app.rc, 0);
    EXPECT_EQ(app.traffic(), opened + "OK\nPasswort: \n");
}

TEST_F(App, APartialLineIsLoggedWhenTheWindowCloses)
{
    expect_partial_line_logged(*this, [this] { close_main(); });
}

TEST_F(App, APartialLineIsLoggedWhenSigtermEndsTheProgram)
{
    expect_partial_line_logged(*this, [this] {
        until([] { return raise(SIGTERM) == 0; });
    });
}

// The dialog's line under the port number: '#' where it differs from the
// dialog's background.
std::string device_line(const kxllgui_window *d)
{
    std::string band;
    const int background = kxheadless_screen_pixel(d, 5, 100);
    for (int y = 79; y < 99; y++)
        for (int x = 10; x < 290; x++)
            band += kxheadless_screen_pixel(d, x, y) == background ? '.' : '#';
    return band;
}

TEST_F(App, TheDialogShowsTheDeviceThePortNumberOpens)
{
    ASSERT_TRUE(peer.start(1));
    ASSERT_TRUE(kxfile_save(("port=1   baud=9600\ncom2=" + home + "/missing\n").c_str(),
                            "quenlorix.cfg"));
    char device[PATH_MAX];
    ASSERT_TRUE(realpath((home + "/COM1").c_str(), device));
    std::string first, second;
    steps.push_back([&] {
        kxllgui_window *d = titled("Schnittstelle konfigurieren");
        if (!d)
            return false;
        screenshot(d, "quenlorix_dialog.png");
        first = device_line(d);
        kxheadless_click(d, 1, 272, 66);  // the up arrow: port 2, bound to a missing path
        return true;
    });
    steps.push_back([&] {
        kxllgui_window *d = titled("Schnittstelle konfigurieren");
        second = device_line(d);
        if (second == first)
            return false;
        kxheadless_click(d, 1, 300, 345);  // "Abbrechen"
        return true;
    });
    run();
    EXPECT_EQ(next, steps.size());
    EXPECT_NE(first.find('#'), std::string::npos);
    EXPECT_NE(second.find('#'), std::string::npos);
    EXPECT_EQ(qxdialog_device(1), device);
    EXPECT_EQ(qxdialog_device(2), "kein Ger\xe4t");
}

// The log's lines after its date line.
std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

TEST_F(App, ALostDeviceIsToldARowMeanwhileIsNotSentAndTheLinesAfterItsReturnArrive)
{
    ASSERT_TRUE(peer.start(1));
    std::string got;
    std::int64_t settled = 0;
    confirm_dialog();
    wait_main();
    until([&] { return peer.send("halb"); });  // a line the device never ends
    until([&] {
        if (!settled)
            settled = kxtest_ms() + 500;  // time to reach the tester
        return kxtest_ms() > settled;
    });
    until([&] {
        peer.stop();
        return true;
    });
    until([&] { return traffic().find("unterbrochen") != std::string::npos; });
    send_row(1, "AT");
    until([&] { return traffic().find("nicht gesendet") != std::string::npos; });
    until([&] { return peer.start(1); });  // the same link, a new device behind it
    until([&] { return traffic().find("wieder verbunden") != std::string::npos; });
    send_row(2, "ATI");
    until([&] {
        got += peer.receive(1, 1);
        return got.size() >= 4;
    });
    until([&] { return peer.send("danach\r\n"); });
    until([&] { return traffic().find("danach") != std::string::npos; });
    close_main();
    run();
    EXPECT_EQ(got, "ATI\n");
    std::vector<std::string> l = lines_of(traffic());
    ASSERT_EQ(l.size(), 8u) << traffic();
    EXPECT_EQ(l[1], "halb");
    EXPECT_EQ(l[2].rfind("Verbindung zu COM1 (/dev/pts/", 0), 0u) << l[2];
    EXPECT_NE(l[2].find(") unterbrochen: Ger\xe4t getrennt"), std::string::npos) << l[2];
    EXPECT_EQ(l[3], "AT");
    EXPECT_EQ(l[4].rfind("nicht gesendet: ", 0), 0u) << l[4];
    EXPECT_EQ(l[5].rfind("COM1 (/dev/pts/", 0), 0u) << l[5];
    EXPECT_NE(l[5].find(") wieder verbunden"), std::string::npos) << l[5];
    EXPECT_EQ(l[6], "ATI");
    EXPECT_EQ(l[7], "danach");
}

// COM2 is a link in the working directory, and $KX_SERIAL_DIR has a COM2 of
// its own, another device.  When the link's device vanishes, the reopen
// looks for that link only: a row meanwhile is not sent to the other
// device; when a device is behind the link again, the session goes on there
// and says where.
TEST_F(App, AReconnectTakesOnlyTheLostLinkNeverALaterStepOfTheLookup)
{
    kxtest_serialpeer other;
    ASSERT_TRUE(other.start(2));
    ASSERT_TRUE(peer.start(2));
    setenv("KX_SERIAL_DIR", other.dir.path.c_str(), 1);
    ASSERT_TRUE(kxfile_save("port=2   baud=9600\n", "quenlorix.cfg"));
    std::string got, back;
    confirm_dialog();
    wait_main();
    until([&] {
        peer.stop();
        return true;
    });
    until([&] { return traffic().find("unterbrochen") != std::string::npos; });
    until([&] { return !kxport_lost(2); });  // the first reopen has been tried
    send_row(1, "AT");
    until([&] { return traffic().find("AT\n") != std::string::npos; });
    until([&] {
        if (!peer.start(2))
            return false;
        setenv("KX_SERIAL_DIR", other.dir.path.c_str(), 1);
        char device[PATH_MAX];
        back = std::string("COM2 (") + (realpath("COM2", device) ? device : "?") +
               ") wieder verbunden";
        return true;
    });
    until(bounded([&] { return traffic().find(back) != std::string::npos; }, 10000));
    send_row(2, "ATI");
    until(bounded(
        [&] {
            got += peer.receive(1, 1);
            return got.size() >= 4;
        },
        5000));
    close_main();
    run();
    EXPECT_EQ(other.receive(1, 100), "") << "the other device was written to";
    EXPECT_EQ(got, "ATI\n");
    std::vector<std::string> l = lines_of(traffic());
    ASSERT_EQ(l.size(), 6u) << traffic();
    EXPECT_NE(l[1].find(") unterbrochen: "), std::string::npos) << l[1];
    EXPECT_EQ(l[2], "AT");
    EXPECT_EQ(l[3], "nicht gesendet: existiert nicht");
    EXPECT_EQ(l[4], back);
    EXPECT_EQ(l[5], "ATI");
}

// A steady trickle, then 30 lines just after the program drew the last of
// it, and the device's end gone 30 ms after them, before the program's next
// timer: the bytes were read as they came, so all 30 are shown and logged.
TEST_F(App, LinesThatArriveJustBeforeTheDeviceVanishesAreKept)
{
    ASSERT_TRUE(peer.start(1));
    std::thread device;
    confirm_dialog();
    wait_main();
    steps.push_back([&] {
        device = std::thread([&] {
            const std::string log = home + "/quenlorix.log";
            std::error_code ec;
            auto size = std::filesystem::file_size(log, ec);
            // Lines every 5 ms, until the program has drawn some of them.
            for (int i = 0; i < 1000; i++) {
                peer.send("vorher " + std::to_string(i) + "\r\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                if (i >= 20 && std::filesystem::file_size(log, ec) != size)
                    break;
                size = std::filesystem::file_size(log, ec);
            }
            for (int i = 1; i <= 30; i++) {
                peer.send("Zeile " + std::to_string(i) + "\r\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            peer.stop();
        });
        return true;
    });
    until([&] { return traffic().find("unterbrochen") != std::string::npos; });
    close_main();
    run();
    device.join();
    const std::string t = traffic();
    std::size_t at = t.find("\nZeile 1\n");
    ASSERT_NE(at, std::string::npos) << t;
    std::string want;
    for (int i = 1; i <= 30; i++)
        want += "Zeile " + std::to_string(i) + "\n";
    EXPECT_EQ(t.substr(at + 1, want.size()), want) << t;
    EXPECT_EQ(t.find("Verbindung zu COM1", at), at + 1 + want.size()) << t;
}

// The bytes of a sequence left unfinished are the line's text.
TEST_F(App, AShiftOrAnUnfinishedSequenceEndsWithItsLine)
{
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    until([&] { return peer.send("\x0e" "abc\x1b[\r\nSTATUS OK: temperature low\r\n"); });
    until([&] { return traffic().find("low") != std::string::npos; });
    close_main();
    run();
    EXPECT_EQ(traffic(), opened + "#bc\x1b[\nSTATUS OK: temperature low\n");
}

// Every byte of a received line reaches the log: a NUL is no end of it, nor
// is a sequence that the line end leaves unfinished.
TEST_F(App, BytesAfterANulOrInAnUnfinishedSequenceAreLogged)
{
    using namespace std::string_literals;
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    until([&] { return peer.send("A\0BCD\r\n\0G\r\nWert \x1b[12;3 = 45.6\r\nEnde\r\n"s); });
    until([&] { return traffic().find("Ende") != std::string::npos; });
    close_main();
    run();
    EXPECT_EQ(traffic(), opened + "A\0BCD\n\0G\nWert \x1b[12;3 = 45.6\nEnde\n"s);
}

// Time-stamped lines: "hh:mm:ss.mmm " and the rest.
void expect_stamped(const std::vector<std::string> &lines, const std::vector<std::string> &rest)
{
    ASSERT_EQ(lines.size(), rest.size());
    for (std::size_t i = 0; i < lines.size(); i++) {
        const std::string &l = lines[i];
        ASSERT_GT(l.size(), 13u) << l;
        int h, m, sec, ms;
        EXPECT_EQ(std::sscanf(l.c_str(), "%2d:%2d:%2d.%3d ", &h, &m, &sec, &ms), 4) << l;
        EXPECT_EQ(l[12], ' ') << l;
        EXPECT_EQ(l.substr(13), rest[i]);
    }
}

TEST_F(App, HexViewWithTimeStampsAndATypedRate)
{
    ASSERT_TRUE(kxfile_save("port=1   baud=250000\nshow=hex\ntimestamps=1\n", "quenlorix.cfg"));
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    send_row(1, "AT");
    until([&] { return peer.send(std::string("OK\r\nA\0B\n", 8)); });
    until([&] { return traffic().find("41 00 42 0A") != std::string::npos; });
    steps.push_back([] {
        screenshot(titled("Quenlorix"), "quenlorix_hex.png");
        return true;
    });
    close_main();
    run();
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=250000\nshow=hex\ntimestamps=1\n");
    expect_stamped(lines_of(traffic()), {"Serielle Schnittstelle 1 ge\xf6" "ffnet, Baudrate=250000",
                                         "41 54 0A", "4F 4B 0D 0A", "41 00 42 0A"});
}

TEST_F(App, BothViewShowsControlBytesAsTokens)
{
    ASSERT_TRUE(kxfile_save("port=1   baud=9600\nshow=both\n", "quenlorix.cfg"));
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    until([&] { return peer.send(std::string("OK\r\n\x02" "12\0\x1b[2J\n", 13)); });
    until([&] { return traffic().find("<1B>") != std::string::npos; });
    steps.push_back([] {
        screenshot(titled("Quenlorix"), "quenlorix_both.png");
        return true;
    });
    close_main();
    run();
    EXPECT_EQ(traffic(), opened + "OK<0D><0A>\n<02>12<00><1B>[2J<0A>\n");
}

// The program's directory turns read-only under it.  Root passes every
// permission, so there a read-only bind mount of the directory takes its
// place, in a mount namespace of this test process's own (gone with it).
// The reason is the German program's own words, not the system's English.
struct ReadOnlyDir {
    std::string dir, reason;
    int original = -1;
    bool mounted = false;

    // How it can be done here; false (with why) when it cannot.
    bool possible(const std::string &d, std::string *why)
    {
        dir = d;
        if (geteuid() != 0) {
            reason = "keine Berechtigung";
            return true;
        }
        reason = "Dateisystem ist schreibgesch\xfctzt";
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            *why = std::string("root without a mount namespace of its own: ") + strerror(errno);
            return false;
        }
        return true;
    }
    bool make()
    {
        if (geteuid() != 0)
            return chmod(dir.c_str(), 0555) == 0;
        original = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
        mounted = mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                  mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        // The program names its files from its working directory.
        return mounted && chdir(dir.c_str()) == 0;
    }
    void undo()
    {
        if (geteuid() != 0) {
            chmod(dir.c_str(), 0755);
            return;
        }
        if (original >= 0 && fchdir(original) == 0 && mounted)
            umount2(dir.c_str(), MNT_DETACH);
        mounted = false;
    }
    ~ReadOnlyDir()
    {
        undo();
        if (original >= 0)
            close(original);
    }
};

// The screen of the message box the step sees, which it then confirms.
std::vector<std::uint32_t> box_screen(kxllgui_window *box)
{
    const std::uint32_t *px = kxheadless_screen(box);
    return {px, px + box->pixmap.width * box->pixmap.height};
}

// The table cannot be saved at the close: the box tells why and where, the
// window stays; then either the user makes the directory writable again and
// the next close saves, or the next close ends the program unsaved.
void save_fails_at_close(App &t, bool fixed)
{
    ReadOnlyDir ro;
    std::string why;
    if (!ro.possible(t.home, &why))
        GTEST_SKIP() << why;
    ASSERT_TRUE(t.peer.start(1));
    std::vector<std::uint32_t> shown;
    bool made = false, window_stayed = false;
    t.confirm_dialog();
    t.wait_main();
    t.click(60, App::row_y(1));
    t.type("gerettet");
    t.until([&] { return (made = ro.make()), true; });
    t.close_main();
    t.until([&] {
        kxllgui_window *box = titled("info");
        if (!made || !box)
            return !made;
        shown = box_screen(box);
        kxheadless_keydown(box, kxhostkey::enter);
        return true;
    });
    t.until([&] {
        if (titled("info"))
            return false;
        window_stayed = titled("Quenlorix") != nullptr;
        if (fixed)
            ro.undo();
        return true;
    });
    t.close_main();
    std::string out = kxtest_stdout([&] { t.run(); });
    ro.undo();
    ASSERT_TRUE(made) << "the directory could not be made read-only";
    EXPECT_EQ(t.rc, 0);
    EXPECT_TRUE(window_stayed) << "the window closed after the failed save";
    const std::string file = t.home + "/quenlorix.dbf";
    EXPECT_NE(out.find("quenlorix: cannot save " + file + ": " + ro.reason + "\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(slurp(file).find("gerettet") != std::string::npos, fixed);

    // The box showed exactly this text.
    const std::string text = "Die Tabelle konnte nicht gespeichert werden.\n\nDatei: " + file +
                             "\nGrund: " + ro.reason +
                             "\n\nBitte Platz schaffen oder Schreibrechte geben und das Fenster "
                             "noch einmal schlie\xdf" "en. Schl\xe4gt das Speichern dann wieder "
                             "fehl, endet das Programm ohne zu speichern.";
    std::vector<std::uint32_t> expect;
    kxtest_idle idle([&] {
        if (kxllgui_window *box = titled("info")) {
            expect = box_screen(box);
            kxheadless_keydown(box, kxhostkey::enter);
        }
    });
    kxmsgbox("%s", text.c_str());
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(shown == expect) << "the box shows another text";
}

// A table file cut short loads the rows it has and is saved over as
// before: it is not taken for a damaged one.
TEST_F(App, ATableCutShortLoadsTheRowsItHasAndIsNotKeptAside)
{
    ASSERT_TRUE(kxdbf_savetable("quenlorix.dbf", 0, 0, 3, 15, [](int c, int r) {
        return c == 0 && r > 0 ? "AT+" + std::to_string(r) : std::string();
    }));
    std::string bytes = slurp(home + "/quenlorix.dbf");
    bytes.resize(129 + 5 * 304 + 50);  // rows 0 to 4, and row 5 inside its string
    ASSERT_TRUE(kxfile_write(bytes.data(), "quenlorix.dbf", bytes.size()));
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    close_main();
    const std::string out = kxtest_stdout([&] { run(); });
    EXPECT_EQ(out.find("quenlorix: cannot read"), std::string::npos) << out;
    EXPECT_NE(access((home + "/quenlorix.dbf.defekt").c_str(), F_OK), 0);
    auto db = std::make_unique<kxXBase>();
    ASSERT_TRUE(kxdbf_open(db.get(), (home + "/quenlorix.dbf").c_str()));
    char text[200];
    for (int r = 1; r <= 6; r++) {
        ASSERT_TRUE(kxdbf_read(db.get(), text, sizeof text, r, 0));
        EXPECT_EQ(text, r <= 5 ? "AT+" + std::to_string(r) : std::string()) << r;
    }
}

TEST_F(App, ATableThatCannotBeSavedIsShownAndTheNextCloseSavesItOnceThereIsRoom)
{
    save_fails_at_close(*this, true);
}

TEST_F(App, ATableThatCannotBeSavedTwiceEndsTheProgramAtTheSecondClose)
{
    save_fails_at_close(*this, false);
}

// The settings cannot be saved when the dialog is confirmed: a box says
// where and why, and the port opens all the same.
TEST_F(App, SettingsThatCannotBeSavedAreShownAndThePortOpensAllTheSame)
{
    ReadOnlyDir ro;
    std::string why;
    if (!ro.possible(home, &why))
        GTEST_SKIP() << why;
    ASSERT_TRUE(peer.start(1));
    std::vector<std::uint32_t> shown;
    bool made = false;
    until([&] { return (made = ro.make()), true; });
    confirm_dialog();
    // The box, or the main window without one.
    until([&] {
        kxllgui_window *box = titled("info");
        if (made && !box && !titled("Quenlorix"))
            return false;
        if (box) {
            shown = box_screen(box);
            kxheadless_keydown(box, kxhostkey::enter);
        }
        ro.undo();
        return true;
    });
    wait_main();
    close_main();
    std::string out = kxtest_stdout([&] { run(); });
    ro.undo();
    ASSERT_TRUE(made) << "the directory could not be made read-only";
    EXPECT_EQ(rc, 0);
    const std::string file = home + "/quenlorix.cfg";
    EXPECT_NE(out.find("quenlorix: cannot save " + file + ": " + ro.reason + "\n"),
              std::string::npos)
        << out;
    std::vector<std::uint32_t> expect;
    kxtest_idle idle([&] {
        if (kxllgui_window *box = titled("info")) {
            expect = box_screen(box);
            kxheadless_keydown(box, kxhostkey::enter);
        }
    });
    kxmsgbox("Die Einstellungen konnten nicht gespeichert werden.\n\nDatei: %s\nGrund: %s",
             file.c_str(), ro.reason.c_str());
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(shown == expect) << "the box shows another text";
}

// -C with a directory that cannot be made: the box names the reason, as
// standard output does, in the program's German.
TEST(QuenlorixStart, AnUnusableDirectoryNamesItsReasonInTheBox)
{
    kxtest_headless();
    kxtest_tempdir top;
    ASSERT_EQ(chdir(top.path.c_str()), 0);
    ASSERT_TRUE(kxfile_save("im Weg", "file"));
    std::vector<std::uint32_t> shown, expect;
    auto answer = [](std::vector<std::uint32_t> *screen) {
        if (kxllgui_window *box = titled("info")) {
            *screen = box_screen(box);
            kxheadless_keydown(box, kxhostkey::enter);
        }
    };
    std::string out;
    {
        kxtest_idle idle([&] { answer(&shown); });
        char a0[] = "quenlorix", a1[] = "-C", a2[] = "file/sub";
        char *argv[] = {a0, a1, a2, nullptr};
        out = kxtest_stdout([&] { EXPECT_EQ(quenlorix_start(3, argv), 1); });
    }
    EXPECT_EQ(out, "quenlorix: cannot work in \"file/sub\": ist kein Verzeichnis\n");

    ASSERT_TRUE(kxapp_init());
    kxtest_idle idle([&] { answer(&expect); });
    kxmsgbox("Das Arbeitsverzeichnis \"file/sub\" kann nicht benutzt werden.\n\n"
             "Grund: ist kein Verzeichnis");
    ASSERT_FALSE(shown.empty()) << "no box";
    EXPECT_TRUE(shown == expect) << "the box shows another text";
}

} // namespace

// ------------------------------------------------ the line and its controls

namespace {

// Presses a key in the window of that title; false while there is none.
bool press_in(const char *title, kxhostkey key)
{
    kxllgui_window *w = titled(title);
    if (!w)
        return false;
    kxheadless_keydown(w, key);
    kxheadless_keyup(w, key);
    return true;
}

// Presses keys in the settings dialog once it is there: it starts in the
// port number, and Tab moves to the rate, the data bits, the parity and the
// stop bits.
Step dialog_keys(std::vector<kxhostkey> keys)
{
    return [keys] {
        if (!titled("Schnittstelle konfigurieren"))
            return false;
        for (kxhostkey k : keys)
            press_in("Schnittstelle konfigurieren", k);
        return true;
    };
}

// The footer line of the main window as text and background.
std::string footer_band()
{
    kxllgui_window *m = titled("Quenlorix");
    std::string band;
    for (int y = 558; y < 570; y++)
        for (int x = 10; x < 555; x++)
            band += kxheadless_screen_pixel(m, x, y) == 0xffffff ? '.' : '#';
    return band;
}

using K = kxhostkey;

} // namespace

TEST_F(App, SevenEOneChosenInTheDialogIsSavedShownAndAskedOfTheDriver)
{
    ASSERT_TRUE(peer.start(1));
    // Data bits 8 -> 7, parity none -> odd -> even.
    steps.push_back(dialog_keys({K::tab, K::tab, K::up, K::tab, K::down, K::down}));
    confirm_dialog();
    wait_main();
    std::string title;
    kxserialline asked;
    until([&] {
        title = titled("Quenlorix")->title;
        asked = kxport_line(1);
        return true;
    });
    close_main();
    run();
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=9600\ndatabits=7\nparity=even\n");
    EXPECT_EQ(title, "Quenlorix - COM1 9600 7E1");
    EXPECT_EQ(kxport_frame(asked), "7E1");
    // A pseudo-terminal runs 8N1 whatever it is asked: that is told.
    EXPECT_EQ(traffic(), "Serielle Schnittstelle 1 ge\xf6""ffnet, Baudrate=9600, 7E1\n"
                         "Der Treiber hat 7E1 nicht \xfc""bernommen, die Schnittstelle l\xe4uft "
                         "mit 8N1\n");
}

TEST_F(App, TheDialogAgainChangesTheRateOfTheOpenPortAndTheLogGoesOn)
{
    kxtest_ptydevice dev;
    ASSERT_TRUE(dev.start(1));
    confirm_dialog();
    wait_main();
    std::string got, title_before, title_after;
    until([&] {
        title_before = titled("Quenlorix")->title;
        return press_in("Quenlorix", K::f2);
    });
    // Cancelled: nothing changes.
    steps.push_back(dialog_keys({K::tab, K::down}));
    until([] {
        kxllgui_window *d = titled("Schnittstelle konfigurieren");
        if (d)
            kxheadless_click(d, 1, 300, 345);  // "Abbrechen"
        return d != nullptr;
    });
    until([] { return !titled("Schnittstelle konfigurieren") && press_in("Quenlorix", K::f2); });
    // The rate 9600 -> 19200, confirmed.
    steps.push_back(dialog_keys({K::tab, K::down}));
    confirm_dialog();
    until([&] {
        if (titled("Schnittstelle konfigurieren"))
            return false;
        title_after = titled("Quenlorix")->title;
        return true;
    });
    send_row(1, "weiter");
    until([&] {
        got += dev.receive(1, 1);
        return got == "weiter\n";
    });
    until([&] { return write(dev.master, "OK\n", 3) == 3; });
    until([&] { return traffic().find("OK\n") != std::string::npos; });
    struct termios t {};
    until([&] { return (t = dev.settings()), true; });
    close_main();
    run();
    EXPECT_EQ(next, steps.size());
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(title_before, "Quenlorix - COM1 9600 8N1");
    EXPECT_EQ(title_after, "Quenlorix - COM1 19200 8N1");
    EXPECT_EQ(slurp(home + "/quenlorix.cfg"), "port=1   baud=19200\n");
    EXPECT_EQ(traffic(), opened + "Einstellungen ge\xe4ndert: COM1 19200 8N1\nweiter\nOK\n");
}

TEST_F(App, KeysAndTheMenuSwitchPulseAndBreakTheLinesAndTheFooterFollowsTheDevice)
{
    kxtest_linecalls lines;
    kxtest_linecalls::modem_bits = TIOCM_CTS | TIOCM_DSR;
    ASSERT_TRUE(kxfile_save("port=1   baud=9600\npulse=30\nbreak=40\n", "quenlorix.cfg"));
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    std::string before, after;
    for (K k : {K::f5, K::f6, K::f7, K::f8, K::f9, K::f5})
        until([k] { return press_in("Quenlorix", k); });
    until([&] { return traffic().find("BREAK 40 ms\nDTR aus\n") != std::string::npos; });
    // The right button on the terminal: its menu's seventh entry is BREAK.
    const int entry = kxfont_height(kxgui_defaultfont()) + 8;
    const int y = 2 + 5 * entry + KX_MENU_SEPARATOR + entry / 2;
    until([] { return kxheadless_click(titled("Quenlorix"), 3, 300, 470), true; });
    until([y] {
        kxllgui_window *m = kxheadless_newest();
        if (!kxheadless_style(m).popup)
            return false;
        kxheadless_move(m, 20, y);
        return true;
    });
    until([y] { return kxheadless_press(kxheadless_newest(), 1, 20, y), true; });
    until([y] { return kxheadless_release(kxheadless_newest(), 1, 20, y), true; });
    until([&] { return traffic().find("DTR aus\nBREAK 40 ms\n") != std::string::npos; });
    until([&] {
        before = footer_band();
        kxtest_linecalls::modem_bits = TIOCM_CAR | TIOCM_RNG;
        return true;
    });
    // The next tick of the timer reads the lines.
    until([&] { return (after = footer_band()) != before; });
    close_main();
    run();
    EXPECT_EQ(traffic(), opened + "DTR aus\nRTS aus\nDTR-Puls 30 ms\nRTS-Puls 30 ms\nBREAK 40 ms\n"
                                  "DTR aus\nBREAK 40 ms\n");
    std::vector<kxtest_linecall> driven;
    for (const kxtest_linecall &c : kxtest_linecalls::calls)
        if (c.request != TIOCMGET)
            driven.push_back(c);
    const std::vector<kxtest_linecall> want = {
        {TIOCMBIS, TIOCM_DTR | TIOCM_RTS},                           // at open
        {TIOCMBIC, TIOCM_DTR},           {TIOCMBIC, TIOCM_RTS},      // F5, F6
        {TIOCMBIC, TIOCM_DTR},           {TIOCMBIS, TIOCM_DTR},      // F7
        {TIOCMBIC, TIOCM_RTS},           {TIOCMBIS, TIOCM_RTS},      // F8
        {static_cast<unsigned long>(TIOCSBRK), 0}, {TIOCCBRK, 0},   // F9
        {TIOCMBIC, TIOCM_DTR},                                       // F5: the pulse left it up
        {static_cast<unsigned long>(TIOCSBRK), 0}, {TIOCCBRK, 0},   // the menu's BREAK
    };
    EXPECT_EQ(driven, want);
    EXPECT_NE(before.find('#'), std::string::npos) << "the footer shows nothing";
}

// Port 3 bound to ser2net over RFC 2217, in front of the peer's device: the
// rate from the dialog reaches the device, rows go out, a line with byte
// 0xFF comes in whole, and the server's stop and return are told.
TEST_F(App, APortOnASerialServerCarriesTheSessionAndItsLossAndReturnAreTold)
{
    ASSERT_TRUE(peer.start(1));
    kxtest_ser2net server;
    ASSERT_TRUE(server.start(home + "/COM1"));
    const std::string url = server.rfc2217_url();
    ASSERT_TRUE(kxfile_save(("port=3   baud=57600\ncom3=" + url + "\n").c_str(), "quenlorix.cfg"));
    speed_t rate = B0;
    std::string got;
    confirm_dialog();
    wait_main();
    until([&] {
        int fd = open((home + "/COM1").c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        struct termios t {};
        if (fd >= 0 && tcgetattr(fd, &t) == 0)
            rate = cfgetospeed(&t);
        if (fd >= 0)
            close(fd);
        return true;
    });
    send_row(1, "AT");
    until([&] {
        got += peer.receive(1, 1);
        return got.size() >= 3;
    });
    until([&] { return peer.send("OK\xff\r\n"); });
    until([&] { return traffic().find("OK") != std::string::npos; });
    until([&] {
        server.stop();
        return true;
    });
    until([&] { return traffic().find("unterbrochen") != std::string::npos; });
    until([&] { return server.resume(); });
    until([&] { return traffic().find("wieder verbunden") != std::string::npos; });
    until([&] { return server.holds() && peer.send("danach\r\n"); });
    until([&] { return traffic().find("danach") != std::string::npos; });
    close_main();
    run();
    EXPECT_EQ(rate, B57600);
    EXPECT_EQ(got, "AT\n");
    std::vector<std::string> l = lines_of(traffic());
    ASSERT_EQ(l.size(), 6u) << traffic();
    EXPECT_EQ(l[0], "Serielle Schnittstelle 3 ge\xf6" "ffnet, Baudrate=57600");
    EXPECT_EQ(l[1], "AT");
    EXPECT_EQ(l[2], "OK\xff");
    EXPECT_EQ(l[3], "Verbindung zu COM3 (" + url + ") unterbrochen: Verbindung vom Server getrennt");
    EXPECT_EQ(l[4], "COM3 (" + url + ") wieder verbunden");
    EXPECT_EQ(l[5], "danach");
    EXPECT_EQ(qxdialog_device(3), url);  // shown under the port number
}
