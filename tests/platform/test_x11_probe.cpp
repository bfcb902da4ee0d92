// The probe window on a real X server (a private Xvfb, no window manager)
// and, with the same logic, on the headless host: the pattern reaches the
// screen pixel for pixel and input arrives as the toolkit's events.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/event.h"
#include "programs/x11probe.h"
#include "support.h"
#include "xvfb_support.h"

// Last: its macros (None, Bool, Status) would meet the toolkit's names.
#include <X11/Xlib.h>

namespace {

using Lines = std::vector<std::string>;

// Motion and focus lines depend on where the pointer happens to be; key
// releases after the close come or not, as the program ends.
Lines without_noise(const Lines &in)
{
    Lines out;
    bool closed = false;
    for (const std::string &l : in) {
        if (l.rfind("ev 2015 ", 0) != 0 && l.rfind("ev 2018 ", 0) != 0 &&
            l.rfind("ev 2019 ", 0) != 0 && l.rfind("window ", 0) != 0 &&
            !(closed && l.rfind("key ", 0) == 0 && std::stoi(l.substr(4)) >= 0x200))
            out.push_back(l);
        closed |= l == "close";
    }
    return out;
}

// What the input of both tests gives: click at (20, 30), double click and
// wheel at (60, 50), F1, Return, Shift+Insert, a typed "ä", Alt+F4.
const Lines expected_input = {
    "ev 2004 20 30", "ev 2005 20 30",                                  // click
    "ev 2004 60 50", "ev 2005 60 50", "ev 2006 60 50", "ev 2005 60 50",  // double click
    "ev 2013 60 50", "ev 2014 60 50",                                  // wheel up, down
    "key 305",       "key 817",                                        // F1
    "key 10",        "key 522",                                        // Return
    "key 319",       "key 317",       "ev 2033 0 0", "key 831", "key 829",  // Shift+Insert
    "key 228",                                                         // ä
    "key 325",       "close",         "key 308",                       // Alt+F4
};

std::string probe_path() { return std::string(KX_TEST_BINARY_DIR) + "/kxprog_x11probe"; }

struct X11Probe : testing::Test {
    kxxvfb xvfb;
    kxtest_proc probe;
    unsigned long window = 0;

    // Starts the probe with extra arguments and focuses its window.
    void open(std::vector<std::string> args = {})
    {
        setenv("KX_HOST", "x11", 1);
        args.insert(args.begin(), probe_path());
        ASSERT_TRUE(probe.start(args));
        std::string line = probe.wait_prefix("window ");
        ASSERT_FALSE(line.empty()) << "the probe did not open its window";
        window = std::stoul(line.substr(7));
        ASSERT_EQ(line.substr(line.rfind(' ') + 1), "x11");
        ASSERT_EQ(kxtest_sh("xdotool windowfocus --sync " + std::to_string(window)), 0);
    }
    std::string id() const { return std::to_string(window); }
    void key(const std::string &keys) { ASSERT_EQ(kxtest_sh("xdotool key " + keys), 0); }
};

} // namespace

TEST(ProbeHeadless, PatternAndInjectedInputGiveTheSameEventsAsOnX11)
{
    kxtest_headless();
    kxprobe p;
    Lines got;
    p.out = [&](const std::string &s) { got.push_back(s); };
    ASSERT_TRUE(kxprobe_open(&p, 40, 30));
    kxsys_pump_all();
    for (int y = 0; y < KXPROBE_YS; y++)
        for (int x = 0; x < KXPROBE_XS; x++)
            ASSERT_EQ(kxheadless_screen_pixel(&p.win, x, y), kxprobe_pattern(x, y)) << x << "," << y;
    kxllgui_window *w = &p.win;
    kxheadless_click(w, 1, 20, 30);
    kxheadless_doubleclick(w, 1, 60, 50);
    kxheadless_wheel(w, 120, 60, 50);
    kxheadless_wheel(w, -120, 60, 50);
    for (kxhostkey k : {kxhostkey::f1, kxhostkey::enter}) {
        kxheadless_keydown(w, k);
        kxheadless_keyup(w, k);
    }
    kxheadless_keydown(w, kxhostkey::shift);
    kxheadless_keydown(w, kxhostkey::insert);
    kxheadless_keyup(w, kxhostkey::shift);  // in the order xdotool lets go
    kxheadless_keyup(w, kxhostkey::insert);
    kxheadless_type(w, "\xe4");
    kxheadless_keydown(w, kxhostkey::alt);
    kxheadless_keydown(w, kxhostkey::f4);
    kxsys_pump_all();
    EXPECT_EQ(without_noise(got), expected_input);
    EXPECT_TRUE(p.closed);
    kxplatwin_destroy(&p.win);
}

namespace {

// The first copy happens on the window's first exposure: poll for it.
int pixels_off_pattern(unsigned long window)
{
    kxtest_shot shot;
    int wrong = -1;
    for (std::int64_t end = kxtest_now_ms() + 20000; kxtest_now_ms() < end && wrong != 0;) {
        wrong = -1;
        if (!kxtest_xwd(window, &shot))
            continue;
        if (shot.width != KXPROBE_XS || shot.height != KXPROBE_YS)
            return -2;
        wrong = 0;
        for (int y = 0; y < KXPROBE_YS; y++)
            for (int x = 0; x < KXPROBE_XS; x++)
                wrong += static_cast<int>(shot.pixels[static_cast<std::size_t>(y) * KXPROBE_XS + x]) !=
                         kxprobe_pattern(x, y);
    }
    return wrong;
}

} // namespace

TEST_F(X11Probe, ScreenshotShowsExactlyThePattern)
{
    KX_NEED_XVFB(xvfb);
    open();
    EXPECT_EQ(pixels_off_pattern(window), 0) << "pixels that differ from the pattern";
}

// Without shared memory (a remote display) the plain transfer shows the same.
TEST_F(X11Probe, ScreenshotShowsThePatternWithoutSharedMemory)
{
    KX_NEED_XVFB(xvfb);
    setenv("KX_X11_NOSHM", "1", 1);
    open();
    EXPECT_EQ(pixels_off_pattern(window), 0) << "pixels that differ from the pattern";
}

TEST_F(X11Probe, MouseAndKeysArriveAsToolkitEventsAndAltF4Closes)
{
    KX_NEED_XVFB(xvfb);
    open();
    ASSERT_EQ(kxtest_sh("xdotool mousemove --window " + id() + " 20 30 click 1"), 0);
    // Far enough from the first click that it does not pair with it.
    ASSERT_EQ(kxtest_sh("xdotool mousemove --window " + id() +
                        " 60 50 click --repeat 2 --delay 100 1 click 4 click 5"),
              0);
    key("F1 Return shift+Insert");
    ASSERT_EQ(kxtest_sh("xdotool type \xc3\xa4"), 0);  // the command line is UTF-8
    key("alt+F4");
    ASSERT_TRUE(probe.finish(20000)) << "the probe did not end on Alt+F4";
    ASSERT_TRUE(WIFEXITED(probe.status));
    EXPECT_EQ(WEXITSTATUS(probe.status), 0);
    EXPECT_EQ(without_noise(probe.lines), expected_input);
}

TEST_F(X11Probe, ResizeOnlyOnSizeChangeAndUnmapIsMinimisedOnce)
{
    KX_NEED_XVFB(xvfb);
    open();
    ASSERT_EQ(kxtest_sh("xdotool windowsize --sync " + id() + " 200 150"), 0);
    EXPECT_EQ(probe.wait_prefix("ev 2003 "), "ev 2003 200 150");
    // A move keeps the size: no resize event.
    ASSERT_EQ(kxtest_sh("xdotool windowmove --sync " + id() + " 70 80"), 0);
    ASSERT_EQ(kxtest_sh("xdotool windowunmap --sync " + id()), 0);
    EXPECT_EQ(probe.wait_prefix("ev 2055 "), "ev 2055 0 0");
    ASSERT_EQ(kxtest_sh("xdotool windowmap --sync " + id() + " windowunmap --sync " + id()), 0);
    key("--window " + id() + " F2");  // a marker after the second unmap
    ASSERT_FALSE(probe.wait_prefix("key 818").empty());
    int resizes = 0, minimised = 0;
    for (const std::string &l : probe.lines) {
        resizes += l.rfind("ev 2003 ", 0) == 0;
        minimised += l == "ev 2055 0 0";
    }
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(minimised, 2);
}

TEST_F(X11Probe, ClipboardGoesToOtherClientsWithLfAndComesBackAsLatin1WithCrLf)
{
    KX_NEED_XVFB(xvfb);
    if (!kxtest_have("xclip"))
        GTEST_SKIP() << "xclip is not installed";
    open();
    key("F6");  // nobody owns the clipboard yet
    EXPECT_EQ(probe.wait_prefix("clip"), "clip none");
    key("F5");
    ASSERT_FALSE(probe.wait_prefix("put").empty());
    // The toolkit keeps CR LF; other clients get LF.
    EXPECT_EQ(kxtest_sh_out("xclip -o -selection clipboard"), "Gr\xc3\xbc\xc3\x9f" "e\naus K\xc3\xb6ln");
    EXPECT_EQ(kxtest_sh_out("xclip -o -selection clipboard -t STRING"), "Gr\xfc\xdf" "e\naus K\xf6ln");
    std::string targets = kxtest_sh_out("xclip -o -selection clipboard -t TARGETS");
    for (const char *t : {"TARGETS", "UTF8_STRING", "STRING", "TEXT"})
        EXPECT_NE(targets.find(t), std::string::npos) << t;
    // While it owns the clipboard the probe reads its own text back.
    key("F6");
    EXPECT_EQ(probe.wait_line([](const std::string &l) { return l.rfind("clip ", 0) == 0 && l != "clip none"; }),
              "clip 47 72 fc df 65 0d 0a 61 75 73 20 4b f6 6c 6e");
    // Another client takes it: UTF-8 comes in as ISO 8859-1, the euro sign
    // (not in ISO 8859-1) as '?'.
    ASSERT_EQ(kxtest_sh("printf 'Stra\\303\\237e \\342\\202\\254' | xclip -i -selection clipboard"), 0);
    std::size_t before = probe.lines.size();
    key("F6");
    EXPECT_EQ(probe.wait_line([](const std::string &l) { return l.rfind("clip ", 0) == 0; }, 20000, before),
              "clip 53 74 72 61 df 65 20 3f");
    // LF and CR LF come in as CR LF.
    ASSERT_EQ(kxtest_sh("printf 'a\\nb\\r\\nc' | xclip -i -selection clipboard"), 0);
    before = probe.lines.size();
    key("F6");
    EXPECT_EQ(probe.wait_line([](const std::string &l) { return l.rfind("clip ", 0) == 0; }, 20000,
                              before),
              "clip 61 0d 0a 62 0d 0a 63");
    // Broken UTF-8 (a stray byte, a cut sequence) becomes '?' too.
    ASSERT_EQ(kxtest_sh("printf 'a\\377b\\303' | xclip -i -selection clipboard -t UTF8_STRING"), 0);
    before = probe.lines.size();
    key("F6");
    EXPECT_EQ(probe.wait_line([](const std::string &l) { return l.rfind("clip ", 0) == 0; }, 20000,
                              before),
              "clip 61 3f 62 3f");
}

// A megabyte does not fit one piece of a transfer: it goes in pieces
// (INCR) both ways.
TEST_F(X11Probe, AMegabyteOfTextCrossesTheClipboardBothWays)
{
    KX_NEED_XVFB(xvfb);
    if (!kxtest_have("xclip"))
        GTEST_SKIP() << "xclip is not installed";
    open();
    const std::string latin1 = kxprobe_longtext();
    std::string utf8, crlf;
    for (unsigned char c : latin1) {
        if (c >= 0x80) {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(c);
        }
        if (c == '\n')
            crlf += '\r';
        crlf += static_cast<char>(c);
    }
    key("F7");
    ASSERT_FALSE(probe.wait_prefix("put").empty());
    std::string out = kxtest_sh_out("xclip -o -selection clipboard");
    EXPECT_EQ(out.size(), utf8.size());
    EXPECT_TRUE(out == utf8) << "the text other clients get differs";

    const std::string file = std::string(KX_TEST_BINARY_DIR) + "/clip_long_" + id() + ".txt";
    {
        std::FILE *f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(utf8.data(), 1, utf8.size(), f);
        std::fclose(f);
    }
    ASSERT_EQ(kxtest_sh("xclip -i -selection clipboard '" + file + "'"), 0);
    std::remove(file.c_str());
    std::size_t before = probe.lines.size();
    key("F8");
    char want[80];
    std::snprintf(want, sizeof want, "long %zu %llx", crlf.size(), kxprobe_hash(crlf));
    EXPECT_EQ(probe.wait_line([](const std::string &l) { return l.rfind("long ", 0) == 0; }, 20000,
                              before),
              want);
}

// A desktop tells the probe's window by its process, machine and class,
// shows its name in UTF-8, and pings it to see whether it still answers.
TEST_F(X11Probe, AWindowTellsTheDesktopWhoseItIsAndAnswersPings)
{
    KX_NEED_XVFB(xvfb);
    open();
    std::string props = kxtest_sh_out("xprop -id " + id());
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    for (const std::string &want :
         {"_NET_WM_PID(CARDINAL) = " + std::to_string(probe.pid) + "\n",
          std::string("WM_CLIENT_MACHINE(STRING) = \"") + host + "\"\n",
          std::string("WM_CLASS(STRING) = \"kxprog_x11probe\", \"Kx9d\"\n"),
          std::string("WM_PROTOCOLS(ATOM): protocols  WM_DELETE_WINDOW, _NET_WM_PING\n")})
        EXPECT_NE(props.find(want), std::string::npos) << want << props;
    std::string found = kxtest_sh_out("xdotool search --pid " + std::to_string(probe.pid));
    EXPECT_NE(found.find(id() + "\n"), std::string::npos) << found;

    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    const Window w = window, root = DefaultRootWindow(d);
    Atom actual = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char *name = nullptr;
    XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False), 0, 64, False, AnyPropertyType,
                       &actual, &format, &n, &after, &name);
    EXPECT_EQ(actual, XInternAtom(d, "UTF8_STRING", False));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(name), n), "x11probe \xc3\xa4");
    if (name)
        XFree(name);

    // The answer goes to the root window, where a window manager listens.
    XSelectInput(d, root, SubstructureNotifyMask);
    XEvent ping{};
    ping.xclient.type = ClientMessage;
    ping.xclient.window = w;
    ping.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ping.xclient.format = 32;
    ping.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "_NET_WM_PING", False));
    ping.xclient.data.l[1] = 4711;  // the ping's time stamp
    ping.xclient.data.l[2] = static_cast<long>(w);
    XSendEvent(d, w, False, NoEventMask, &ping);
    XFlush(d);
    XEvent pong{};
    bool answered = false;
    for (std::int64_t end = kxtest_now_ms() + 10000; !answered && kxtest_now_ms() < end;) {
        if (!XCheckTypedWindowEvent(d, root, ClientMessage, &pong)) {
            pollfd p{ConnectionNumber(d), POLLIN, 0};
            poll(&p, 1, 100);
            continue;
        }
        answered = pong.xclient.data.l[0] == ping.xclient.data.l[0];
    }
    ASSERT_TRUE(answered) << "no answer to the ping";
    EXPECT_EQ(pong.xclient.data.l[1], 4711);
    EXPECT_EQ(pong.xclient.data.l[2], static_cast<long>(w));
    XCloseDisplay(d);
}

// The display's loss is a close for every window: the program ends as if
// its user had closed them.
TEST_F(X11Probe, LosingTheDisplayClosesTheWindowWithOneLine)
{
    KX_NEED_XVFB(xvfb);
    open();
    std::size_t before = probe.lines.size();
    xvfb.stop();
    ASSERT_TRUE(probe.finish(20000)) << "the probe hangs after the display went away";
    ASSERT_TRUE(WIFEXITED(probe.status)) << "ended by signal " << WTERMSIG(probe.status);
    EXPECT_EQ(WEXITSTATUS(probe.status), 0);
    Lines after;
    for (std::size_t i = before; i < probe.lines.size(); i++)
        if (probe.lines[i].rfind("ev ", 0) != 0)
            after.push_back(probe.lines[i]);
    EXPECT_EQ(after, (Lines{"x11: connection to the display lost", "close"}));
}
