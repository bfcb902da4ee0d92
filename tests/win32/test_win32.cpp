// The Win32 host against the real host (Windows, or Wine on an X server):
// windows, pixels on the screen, input through the host's queue, timers,
// the clipboard and child processes.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/event.h"
#include "core/widget.h"
#include "platform/platform.h"
#include "support.h"

namespace {

struct Event {
    int code;
    int a, b;
};

std::vector<Event> events;

kxarg record(void *, int code, kxarg a, kxarg b, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    events.push_back({code, static_cast<int>(a), static_cast<int>(b)});
    return 0;
}

// Every message the host has for us, dispatched through the toolkit.
void pump(int ms = 50)
{
    DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    do {
        while (kxhost_dispatch()) {
        }
        Sleep(1);
    } while (static_cast<int>(until - GetTickCount()) > 0);
}

std::vector<Event> of_code(int code)
{
    std::vector<Event> out;
    for (const Event &e : events)
        if (e.code == code)
            out.push_back(e);
    return out;
}

class Win32Host : public ::testing::Test {
  protected:
    kxllgui_window win;

    void SetUp() override
    {
        setenv("KX_HOST", "win32", 1);
        ASSERT_TRUE(kxplatform_init());
        ASSERT_STREQ(kxplatform_hostname(), "win32");
        events.clear();
    }
    void TearDown() override { kxplatwin_destroy(&win); }

    HWND open(int x, int y, int xs, int ys, const char *title = "kx9d test",
              kxwinstyle style = {})
    {
        EXPECT_TRUE(kxplatwin_create(&win, record, nullptr, x, y, xs, ys, title, style));
        HWND h = reinterpret_cast<HWND>(win.handle);
        EXPECT_NE(h, nullptr) << "no window: is there a display?";
        pump();
        events.clear();
        return h;
    }

    // Keys through the host's input queue, as a keyboard gives them.
    void keys(std::initializer_list<std::pair<WORD, bool>> seq)
    {
        HWND h = reinterpret_cast<HWND>(win.handle);
        SetForegroundWindow(h);
        SetFocus(h);
        pump();
        events.clear();
        std::vector<INPUT> in;
        for (auto [vk, down] : seq) {
            INPUT i{};
            i.type = INPUT_KEYBOARD;
            i.ki.wVk = vk;
            i.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
            in.push_back(i);
        }
        ASSERT_EQ(SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)), in.size());
        pump(300);
    }
};

TEST_F(Win32Host, ATakenClassNameMakesTheToolkitUseTheNextNumber)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "kxWND2_0000";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND h = open(10, 10, 100, 80);
    char name[64] = {};
    GetClassNameA(h, name, sizeof name);
    EXPECT_STREQ(name, "kxWND2_0001");
}

TEST_F(Win32Host, TheClientAreaHasThePixmapsSizeAndShowsItsPixels)
{
    HWND h = open(20, 30, 240, 160);
    RECT r{};
    GetClientRect(h, &r);
    EXPECT_EQ(r.right - r.left, 240);
    EXPECT_EQ(r.bottom - r.top, 160);
    ASSERT_EQ(win.pixmap.format, KX_PXFMT_SERVER);
    kxpxmap_fillrect(&win.pixmap, 0, 0, 240, 160, 0x112233);
    kxpxmap_fillrect(&win.pixmap, 10, 20, 30, 40, 0xFF8000);
    kxplatwin_blit(&win, 0, 0, 0, 0, 0, 0, true);
    pump();
    HDC dc = GetDC(h);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(dc, 10, 20), RGB(0xFF, 0x80, 0x00));
    EXPECT_EQ(GetPixel(dc, 39, 59), RGB(0xFF, 0x80, 0x00));
    EXPECT_EQ(GetPixel(dc, 40, 60), RGB(0x11, 0x22, 0x33));
    ReleaseDC(h, dc);
    // A partial copy leaves the rest of the screen as it was.
    kxpxmap_fillrect(&win.pixmap, 0, 0, 240, 160, 0x00FF00);
    kxplatwin_blit(&win, 100, 100, 10, 10, 100, 100, true);
    dc = GetDC(h);
    EXPECT_EQ(GetPixel(dc, 105, 105), RGB(0, 0xFF, 0));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x11, 0x22, 0x33));
    ReleaseDC(h, dc);
}

TEST_F(Win32Host, ShiftInsertIsTheKeyThenPasteAndCtrlShiftInsertOnlyTheKey)
{
    open(40, 40, 200, 100);
    keys({{VK_SHIFT, true}, {VK_INSERT, true}, {VK_INSERT, false}, {VK_SHIFT, false}});
    std::vector<int> codes;
    for (const Event &e : events)
        if (e.code == KX_EV_KEYDOWN || e.code == KX_EV_PASTE || e.code == KX_EV_COPY)
            codes.push_back(e.code == KX_EV_KEYDOWN ? e.a : e.code);
    EXPECT_EQ(codes, (std::vector<int>{KX_KEY_SHIFT, KX_KEY_INSERT, KX_EV_PASTE}));

    keys({{VK_CONTROL, true}, {VK_SHIFT, true}, {VK_INSERT, true}, {VK_INSERT, false},
          {VK_SHIFT, false}, {VK_CONTROL, false}});
    codes.clear();
    for (const Event &e : events)
        if (e.code == KX_EV_KEYDOWN || e.code == KX_EV_PASTE || e.code == KX_EV_COPY)
            codes.push_back(e.code == KX_EV_KEYDOWN ? e.a : e.code);
    EXPECT_EQ(codes, (std::vector<int>{KX_KEY_CTRL, KX_KEY_SHIFT, KX_KEY_INSERT}));
    EXPECT_EQ(kxsys_modifiers(), 0);
}

TEST_F(Win32Host, LettersComeAsCharactersAndCtrlVAlsoPastes)
{
    open(40, 40, 200, 100);
    keys({{'Q', true}, {'Q', false}, {VK_CONTROL, true}, {'V', true}, {'V', false},
          {VK_CONTROL, false}});
    std::vector<int> codes;
    for (const Event &e : events)
        if (e.code == KX_EV_KEYDOWN || e.code == KX_EV_PASTE)
            codes.push_back(e.code == KX_EV_KEYDOWN ? e.a : e.code);
    EXPECT_EQ(codes, (std::vector<int>{'q', KX_KEY_CTRL, KX_EV_PASTE, 22}));
}

TEST_F(Win32Host, TheWheelAtTheClientsTopLeftIsZeroZeroWhereverTheWindowIs)
{
    for (int x : {0, 137}) {
        kxplatwin_destroy(&win);
        HWND h = open(x, x / 2, 200, 120);
        POINT p{0, 0};
        ClientToScreen(h, &p);
        EXPECT_EQ(kxplatwin_screen_x(&win), p.x);
        EXPECT_EQ(kxplatwin_screen_y(&win), p.y);
        PostMessageA(h, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
                     MAKELPARAM(p.x, p.y));
        PostMessageA(h, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(p.x + 7, p.y + 9));
        pump();
        auto down = of_code(KX_EV_WHEEL_DOWN), up = of_code(KX_EV_WHEEL_UP);
        ASSERT_EQ(down.size(), 1u);
        ASSERT_EQ(up.size(), 1u);
        EXPECT_EQ(down[0].a, 0);
        EXPECT_EQ(down[0].b, 0);
        EXPECT_EQ(up[0].a, 7);
        EXPECT_EQ(up[0].b, 9);
    }
}

TEST_F(Win32Host, AResizeToTheCurrentSizeDoesNotReachTheWindow)
{
    HWND h = open(10, 10, 200, 150);
    SendMessageA(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 150));
    EXPECT_TRUE(of_code(KX_EV_RESIZE).empty());
    SetWindowPos(h, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
    pump();
    RECT r{};
    GetClientRect(h, &r);
    auto resized = of_code(KX_EV_RESIZE);
    ASSERT_FALSE(resized.empty());
    EXPECT_EQ(resized.back().a, r.right);
    EXPECT_EQ(resized.back().b, r.bottom);
    EXPECT_EQ(win.pixmap.width, r.right);
    EXPECT_EQ(win.pixmap.height, r.bottom);
}

TEST_F(Win32Host, ClicksAndTheCloseButtonBecomeToolkitEvents)
{
    HWND h = open(10, 10, 200, 150);
    PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34));
    PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(12, 34));
    PostMessageA(h, WM_RBUTTONDBLCLK, 0, MAKELPARAM(static_cast<WORD>(-3), 5));
    PostMessageA(h, WM_CLOSE, 0, 0);
    pump();
    ASSERT_EQ(of_code(KX_EV_LDOWN).size(), 1u);
    EXPECT_EQ(of_code(KX_EV_LDOWN)[0].a, 12);
    EXPECT_EQ(of_code(KX_EV_LDOWN)[0].b, 34);
    EXPECT_EQ(of_code(KX_EV_LUP).size(), 1u);
    // Positions are signed words: left of the client area is negative.
    ASSERT_EQ(of_code(KX_EV_RDOUBLE).size(), 1u);
    EXPECT_EQ(of_code(KX_EV_RDOUBLE)[0].a, -3);
    EXPECT_EQ(of_code(KX_EV_CLOSE).size(), 1u);
    // The toolkit decides about closing: the host window is still there.
    EXPECT_TRUE(IsWindow(h));
}

TEST_F(Win32Host, MetricsAndColoursComeFromTheHost)
{
    EXPECT_EQ(kxsys_metric("screenxs"), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(kxsys_metric("windowcaptionheight"), GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(kxsys_metric("windowbordersize"), GetSystemMetrics(SM_CXSIZEFRAME));
    std::string out = kxtest_stdout([] { EXPECT_EQ(kxsys_metric("nosuch"), 0); });
    EXPECT_EQ(out, "get setting: nosuch\n");
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    int grey = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    EXPECT_EQ(kxsys_syscolor("grey"), grey);
    // Each channel moves by 32 and stops at the ends of its range.
    int light = kxsys_syscolor("verylight"), dark = kxsys_syscolor("darkc0c0c0");
    for (int shift : {0, 8, 16}) {
        int c = (grey >> shift) & 0xFF;
        EXPECT_EQ((light >> shift) & 0xFF, std::min(c + 32, 255));
        EXPECT_EQ((dark >> shift) & 0xFF, std::max(c - 32, 0));
    }
    EXPECT_EQ(kxsys_syscolor("white"), -1);
    EXPECT_GE(kxsys_colordepth(), 15);
}

// At scale 2 the client area is twice the pixmap and each pixel a 2 x 2
// square; what the host reports comes back in pixmap pixels.
TEST_F(Win32Host, AtScaleTwoTheWindowIsDoubledAndPositionsAreHalved)
{
    kxplatform_exit();
    setenv("KX_SCALE", "2", 1);
    ASSERT_TRUE(kxplatform_init());
    ASSERT_EQ(kxplatform_scale(), 2);
    HWND h = open(20, 30, 120, 80);
    RECT r{};
    GetClientRect(h, &r);
    EXPECT_EQ(r.right, 240);
    EXPECT_EQ(r.bottom, 160);
    kxpxmap_fillrect(&win.pixmap, 0, 0, 120, 80, 0x112233);
    kxpxmap_fillrect(&win.pixmap, 10, 20, 1, 1, 0xFF8000);
    kxplatwin_blit(&win, 0, 0, 0, 0, 0, 0, true);
    pump();
    HDC dc = GetDC(h);
    for (int y : {40, 41})
        for (int x : {20, 21})
            EXPECT_EQ(GetPixel(dc, x, y), RGB(0xFF, 0x80, 0x00)) << x << "," << y;
    EXPECT_EQ(GetPixel(dc, 22, 41), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(dc, 21, 42), RGB(0x11, 0x22, 0x33));
    ReleaseDC(h, dc);
    PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 13));
    SetWindowPos(h, nullptr, 0, 0, 401, 301, SWP_NOMOVE | SWP_NOZORDER);
    pump();
    ASSERT_EQ(of_code(KX_EV_LDOWN).size(), 1u);
    EXPECT_EQ(of_code(KX_EV_LDOWN)[0].a, 12);
    EXPECT_EQ(of_code(KX_EV_LDOWN)[0].b, 6);
    GetClientRect(h, &r);
    ASSERT_FALSE(of_code(KX_EV_RESIZE).empty());
    EXPECT_EQ(of_code(KX_EV_RESIZE).back().a, (r.right + 1) / 2);
    EXPECT_EQ(win.pixmap.height, (r.bottom + 1) / 2);
    kxplatwin_destroy(&win);
    kxplatform_exit();
    unsetenv("KX_SCALE");
}

// A window moved to a screen of twice the DPI takes scale 2: its client
// area doubles and its pixmap keeps its size.
TEST_F(Win32Host, AScreenOfAnotherDpiGivesTheWindowItsScale)
{
    HWND h = open(20, 30, 120, 80);
    ASSERT_EQ(win.scale, 1);
    RECT outer{};
    GetWindowRect(h, &outer);
    SendMessageA(h, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192),
                 reinterpret_cast<LPARAM>(&outer));
    pump();
    EXPECT_EQ(win.scale, 2);
    RECT r{};
    GetClientRect(h, &r);
    EXPECT_EQ(r.right, 240);
    EXPECT_EQ(r.bottom, 160);
    EXPECT_EQ(win.pixmap.width, 120);
    EXPECT_TRUE(of_code(KX_EV_RESIZE).empty());
}

TEST(Win32Timer, TheMultimediaTimerTicksOnAThreadOfItsOwn)
{
    static std::atomic<int> ticks{0};
    static std::atomic<DWORD> thread{0};
    ASSERT_LE(kxsys_timer_minperiod(), 10);
    ASSERT_TRUE(kxsys_timer_start(10, [](int periods) {
        ticks += periods;
        thread = GetCurrentThreadId();
        return 5;  // a periodic timer calls every period all the same
    }));
    Sleep(500);
    kxsys_timer_stop();
    int seen = ticks.load();
    // 50 at 10 ms; a loaded machine loses some.
    EXPECT_GE(seen, 20);
    EXPECT_LE(seen, 60);
    EXPECT_NE(thread.load(), GetCurrentThreadId());
    Sleep(50);
    EXPECT_EQ(ticks.load(), seen) << "ticks after the stop";
}

TEST(Win32Timer, TheFallbackTimerTicksOnlyThroughThePump)
{
    setenv("KX_HOST", "win32", 1);
    ASSERT_TRUE(kxplatform_init());
    static int ticks = 0;
    static DWORD thread = 0;
    ASSERT_TRUE(kxsys_timer_start(50, [](int periods) {
        ticks += periods;
        thread = GetCurrentThreadId();
        return 1;
    }));
    Sleep(300);
    EXPECT_EQ(ticks, 0) << "no pump, no ticks";
    pump(400);
    kxsys_timer_stop();
    // Expiries while nobody pumped come as one message, then one per 50 ms.
    EXPECT_GE(ticks, 4);
    EXPECT_LE(ticks, 10);
    EXPECT_EQ(thread, GetCurrentThreadId());
}

TEST(Win32Clipboard, TextGetsCrLfAndOtherProgramsSeeIt)
{
    setenv("KX_HOST", "win32", 1);
    ASSERT_TRUE(kxplatform_init());
    kxclip_puttext("eins\nzwei\n");
    ASSERT_NE(kxclip_gettext(), nullptr);
    EXPECT_STREQ(kxclip_gettext(), "eins\r\nzwei\r\n");
    // As any Windows program reads it.
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE block = GetClipboardData(CF_TEXT);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(static_cast<const char *>(GlobalLock(block)), "eins\r\nzwei\r\n");
    GlobalUnlock(block);
    CloseClipboard();
    // A carriage return anywhere keeps the text as it is.
    kxclip_puttext("a\rb\nc");
    EXPECT_STREQ(kxclip_gettext(), "a\rb\nc");
    // Text another program put there.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(mem), "xyz", 4);
    GlobalUnlock(mem);
    SetClipboardData(CF_TEXT, mem);
    CloseClipboard();
    EXPECT_STREQ(kxclip_gettext(), "xyz");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_EQ(kxclip_gettext(), nullptr);
}

struct Child {
    std::string output;
    int pieces = 0, largest = 0;
    int code = -1;
    bool ended = false, output_after_exit = false;
};

kxarg child_handler(void *obj, int code, kxarg a, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    auto *c = static_cast<Child *>(obj);
    if (code == KX_EV_CHILD_OUTPUT) {
        const char *text = kxunptr<const char>(a);
        int n = static_cast<int>(std::strlen(text));
        c->output += text;
        c->pieces++;
        c->largest = std::max(c->largest, n);
        c->output_after_exit |= c->ended;
    } else if (code == KX_EV_CHILD_EXIT) {
        c->ended = true;
        c->code = static_cast<int>(a);
    }
    return 0;
}

void run_until_ended(const Child &c, int ms)
{
    DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    while (!c.ended && static_cast<int>(until - GetTickCount()) > 0)
        kxsys_pump_all();
}

TEST(Win32Process, OutputComesBeforeTheExitCode)
{
    Child c;
    ASSERT_GE(kxprocess_run(child_handler, &c, "cmd /c \"echo vom Kind& exit 7\"", true), 0);
    run_until_ended(c, 20000);
    ASSERT_TRUE(c.ended);
    EXPECT_EQ(c.code, 7);
    EXPECT_EQ(c.output, "vom Kind\r\n");
    EXPECT_FALSE(c.output_after_exit);
    EXPECT_EQ(kxprocess_running(), 0);
}

TEST(Win32Process, FiftyThousandBytesComeInPiecesAndInputReachesTheChild)
{
    std::string path = kxtest_output_dir() + "/win32_child_50000.txt";
    {
        std::ofstream f(path, std::ios::binary);
        f << std::string(50000, 'x');
    }
    for (char &ch : path)
        if (ch == '/')
            ch = '\\';
    Child c;
    ASSERT_GE(kxprocess_run(child_handler, &c, ("cmd /c type \"" + path + "\"").c_str(), true), 0);
    run_until_ended(c, 20000);
    ASSERT_TRUE(c.ended);
    EXPECT_EQ(c.output, std::string(50000, 'x'));
    EXPECT_GE(c.pieces, 3);
    EXPECT_LE(c.largest, KX_CHILD_PIECE);

    // "more" copies its standard input to its output.
    Child echo;
    int slot = kxprocess_run(child_handler, &echo, "cmd /c more", true);
    ASSERT_GE(slot, 0);
    EXPECT_TRUE(kxprocess_write(slot, "hin und her\r\n"));
    EXPECT_FALSE(kxprocess_write(slot + 1, "nobody"));
    DWORD until = GetTickCount() + 10000;
    while (echo.output.find("hin und her") == std::string::npos &&
           static_cast<int>(until - GetTickCount()) > 0)
        kxsys_pump_all();
    EXPECT_NE(echo.output.find("hin und her"), std::string::npos) << echo.output;
}

// As on POSIX, a write waits a bounded time for a child that takes nothing
// ("ping" lives about seven seconds and never reads its input).
TEST(Win32Process, AWriteToAChildThatReadsNothingFailsInTime)
{
    Child c;
    int slot = kxprocess_run(child_handler, &c, "cmd /c ping -n 8 127.0.0.1 >nul", true);
    ASSERT_GE(slot, 0);
    std::string lot(1 << 20, 'w');
    DWORD start = GetTickCount();
    EXPECT_FALSE(kxprocess_write(slot, lot.c_str()));
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, static_cast<DWORD>(KX_CHILD_WRITE_WAIT_MS - 100));
    EXPECT_LE(took, static_cast<DWORD>(KX_CHILD_WRITE_WAIT_MS + 3000));
    run_until_ended(c, 30000);
    EXPECT_TRUE(c.ended);
}

TEST(Win32Process, AProgramThatIsNotThereGivesMinusOne)
{
    Child c;
    EXPECT_EQ(kxprocess_run(child_handler, &c, "no-such-program-kx9d.exe", true), -1);
    EXPECT_EQ(kxprocess_running(), 0);
}

TEST(Win32Serial, APortThatIsNotThereDoesNotOpen)
{
    EXPECT_FALSE(kxserial_open(199, 9600));
    EXPECT_FALSE(kxserial_isopen(199));
    EXPECT_EQ(kxserial_getc(199), -1);
    EXPECT_FALSE(kxserial_putc(199, 'A'));
    // Opened through the device namespace, and missing by its own reason.
    EXPECT_EQ(kxserial_status(199)->fault, kxserialfault::missing);
    EXPECT_STREQ(kxserial_status(199)->path, "COM200");
    EXPECT_FALSE(kxserial_device(199).present);
}

TEST(Win32System, TheCommandLineStartsAfterTheProgramsName)
{
    const char *line = kxsys_cmdline();
    ASSERT_NE(line, nullptr);
    // GoogleTest's own options are the first words, under CTest and by hand.
    std::string s = line;
    EXPECT_EQ(s.find("kx9d_tests"), std::string::npos) << s;
    EXPECT_EQ(s.rfind("--gtest", 0), 0u) << s;
    char path[260];
    kxsys_module_path(path, sizeof path);
    EXPECT_EQ(std::strchr(path, '\\'), nullptr);
    EXPECT_NE(std::strstr(path, "kx9d_tests.exe"), nullptr) << path;
    EXPECT_EQ(std::strchr(kxsys_tempdir(), '\\'), nullptr);
}

} // namespace
