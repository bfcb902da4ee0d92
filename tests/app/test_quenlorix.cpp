// The tester's real main function on the headless host, in a directory of
// its own, with a socat pseudo-terminal as the device and the pump's idle
// hook as the user.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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
#include "graphics/image.h"
#include "kx9d.h"
#include "markup/dbf.h"
#include "widgets/msgbox.h"
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

kxllgui_window *titled(const char *title)
{
    for (int i = kxheadless_windows() - 1; i >= 0; i--)
        if (std::strcmp(kxheadless_window(i)->title, title) == 0)
            return kxheadless_window(i);
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
        kxheadless_move(d, 225, 267);
        kxheadless_click(d, 1, 225, 267);  // "Abbrechen"
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
    int made_xs = 0, made_ys = 0, rows = 0, footer = 0, tries = 0;
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
        return rows >= 25 * 7 || ++tries > 5000;
    });
    close_main();
    run();
    EXPECT_EQ(made_xs, 900);
    EXPECT_EQ(made_ys, 700);
    EXPECT_GE(rows, 25 * 7) << "fewer than 25 lines of the terminal are shown";
    EXPECT_GT(footer, 20) << "no footer in the bottom-right corner";
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

// The dialog's line under the port number: '#' where it differs from the
// dialog's background.
std::string device_line(const kxllgui_window *d)
{
    std::string band;
    const int background = kxheadless_screen_pixel(d, 5, 100);
    for (int y = 92; y < 112; y++)
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
        kxheadless_click(d, 1, 276, 82);  // the up arrow: port 2, bound to a missing path
        return true;
    });
    steps.push_back([&] {
        kxllgui_window *d = titled("Schnittstelle konfigurieren");
        second = device_line(d);
        if (second == first)
            return false;
        kxheadless_click(d, 1, 225, 267);  // "Abbrechen"
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
    EXPECT_EQ(l[5], "COM1 wieder verbunden");
    EXPECT_EQ(l[6], "ATI");
    EXPECT_EQ(l[7], "danach");
}

TEST_F(App, AShiftOrAnUnfinishedSequenceEndsWithItsLine)
{
    ASSERT_TRUE(peer.start(1));
    confirm_dialog();
    wait_main();
    until([&] { return peer.send("\x0e" "abc\x1b[\r\nSTATUS OK: temperature low\r\n"); });
    until([&] { return traffic().find("low") != std::string::npos; });
    close_main();
    run();
    EXPECT_EQ(traffic(), opened + "#bc\nSTATUS OK: temperature low\n");
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
                                         "AT", "4F 4B 0D 0A", "41 00 42 0A"});
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
struct ReadOnlyDir {
    std::string dir, reason;
    int original = -1;
    bool mounted = false;

    // How it can be done here; false (with why) when it cannot.
    bool possible(const std::string &d, std::string *why)
    {
        dir = d;
        if (geteuid() != 0) {
            reason = "Permission denied";
            return true;
        }
        reason = "Read-only file system";
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

} // namespace
