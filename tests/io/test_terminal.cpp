// The terminal widget in a window on the headless host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/event.h"
#include "core/timer.h"
#include "core/view.h"
#include "core/window.h"
#include "graphics/font.h"
#include "graphics/image.h"
#include "graphics/text.h"
#include "io/terminal.h"
#include "kx9d.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "support.h"

#ifdef __linux__
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

struct TerminalTest : testing::Test {
    kxWindow *win = new kxWindow;
    kxTerminal *term = new kxTerminal;
    void SetUp() override
    {
        kxtest_headless();
        ASSERT_TRUE(kxapp_init());
        kxwindow_init(win);
        kxwindow_create(win, "t,x=0,y=0,xs=700,ys=400");
        kxterm_init(term);
    }
    void TearDown() override
    {
        kxterm_destroy(term);
        kxwindow_free(win);
        delete term;
        delete win;
    }
    std::string line(int l)
    {
        std::string s;
        for (int c = 0; c < term->columns; c++)
            s += static_cast<char>(kxterm_cell(term, c, l).ch);
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }
};

std::string slurp(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A log's text after its date line.
std::string logged(const std::string &name)
{
    std::string all = slurp(name);
    return all.substr(std::min(all.size(), all.find('\n') + 1));
}

TEST_F(TerminalTest, TheApplicationsTerminalHasItsSizes)
{
    kxterm_create(term, "x=10,y=10,lines=10,scrollback=500,xs=680");
    const int h = kxfont_height(kxfont_builtin_6x13());
    EXPECT_EQ(term->charw, 6);
    EXPECT_EQ(term->lines, 500);
    EXPECT_EQ(term->visible, 10);
    EXPECT_EQ(term->geom.ys, 10 * h + 4);
    EXPECT_EQ(term->columns, (680 - 4) / 6 - (15 / 6 + 1));
    EXPECT_TRUE(term->bar.created);
    // Without scroll-back: the buffer is what is visible, and no bar.
    kxterm_create(term, "x=10,y=10,lines=5,columns=20");
    EXPECT_EQ(term->lines, 5);
    EXPECT_EQ(term->columns, 20);
    EXPECT_EQ(term->geom.xs, 20 * 6 + 4);
    EXPECT_FALSE(term->bar.created);
}

// A plain background is filled in, not kept as a picture; once a drawing
// command draws on it, the drawing shows behind the characters.
TEST_F(TerminalTest, ABackgroundIsKeptOnlyOnceSomethingDrawsOnIt)
{
    kxterm_create(term, "x=10,y=10,lines=4,columns=20");
    kxterm_puts(term, "ab\n");
    EXPECT_EQ(term->background.data, nullptr);
    EXPECT_EQ(kxterm_handler(term, KX_DRAW_WIDTH, 0, 0, 0, 0, 0, 0, 0, 0), term->geom.xs);
    EXPECT_EQ(term->background.data, nullptr);
    EXPECT_EQ(kxpxmap_getpixel(&win->plat.pixmap, 13, 40), 0xFFFFFF);  // row 2, empty
    kxterm_handler(term, KX_DRAW_FILLRECT, 0, 0, 40, 40, 0x00FF00, 0, 0, 0);
    kxterm_handler(term, KX_DRAW_REFRESH, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_NE(term->background.data, nullptr);
    EXPECT_EQ(kxpxmap_getpixel(&win->plat.pixmap, 13, 40), 0x00FF00);
    EXPECT_EQ(kxpxmap_getpixel(&win->plat.pixmap, 60, 40), 0xFFFFFF);
    EXPECT_EQ(line(0), "ab");
}

TEST_F(TerminalTest, WrappingLineFeedsAtTheBottomTabsAndCarriageReturns)
{
    kxterm_create(term, "x=10,y=10,lines=3,columns=10");
    kxterm_puts(term, "0123456789AB");
    EXPECT_EQ(line(0), "0123456789");
    EXPECT_EQ(line(1), "AB");
    kxterm_puts(term, "\nzwei\n");  // line feed on the last line: cursor below the grid
    EXPECT_EQ(term->cy, 3);
    EXPECT_EQ(line(2), "zwei");
    kxterm_puts(term, "x");  // scrolls, lands on the last line
    EXPECT_EQ(line(0), "AB");
    EXPECT_EQ(line(1), "zwei");
    EXPECT_EQ(line(2), "x");
    kxterm_clear(term);
    kxterm_puts(term, "A\tB");
    EXPECT_EQ(line(0), "A   B");
    kxterm_clear(term);
    kxterm_puts(term, "abcd\tX");
    EXPECT_EQ(line(0), "abcd    X");
    kxterm_puts(term, "\rZZ");
    EXPECT_EQ(line(0), "ZZcd    X");
}

TEST_F(TerminalTest, ColoursAndEscapeSequences)
{
    kxterm_create(term, "x=10,y=10,lines=10,columns=40");
    kxterm_setcolor(term, 4);
    kxterm_puts(term, "blau");
    EXPECT_EQ(kxterm_cell(term, 0, 0).fg, 4);
    // The cell is drawn in 0x0000C0: some pixel of the glyph has it.
    bool blue = false;
    for (int y = 12; y < 12 + term->lineh; y++)
        for (int x = 12; x < 12 + term->charw; x++)
            blue |= kxpxmap_getpixel(&win->plat.pixmap, x, y) == 0x0000C0;
    EXPECT_TRUE(blue);
    kxterm_setcolor(term, 0);
    kxterm_puts(term, "\x1b[31mR\x1b[39mD");
    EXPECT_EQ(kxterm_cell(term, 4, 0).fg, 1);
    EXPECT_EQ(kxterm_cell(term, 5, 0).fg, 0);
    kxterm_puts(term, "\x1b[5;10HQ");
    EXPECT_EQ(kxterm_cell(term, 9, 4).ch, 'Q');
    kxterm_puts(term, "\x1b[99;999HE");  // clamped into the grid
    EXPECT_EQ(kxterm_cell(term, 39, 9).ch, 'E');
    kxterm_puts(term, "\x1b[2J");
    EXPECT_EQ(line(0), "");
    EXPECT_EQ(term->cx, 0);
    EXPECT_EQ(term->cy, 0);
}

TEST_F(TerminalTest, ANoticeIsALineOfItsOwnInTheNoticeColour)
{
    kxterm_create(term, "x=10,y=10,lines=10,columns=40");
    kxterm_setcolor(term, 1);
    kxterm_puts(term, "teil");
    kxterm_notice(term, "weg");
    EXPECT_EQ(line(0), "teil");
    EXPECT_EQ(line(1), "weg");
    EXPECT_EQ(kxterm_cell(term, 0, 1).fg, KX_TERM_NOTICE);
    EXPECT_EQ(term->cx, 0);
    EXPECT_EQ(term->cy, 2);
    kxterm_puts(term, "x");  // the caller's colour stays
    EXPECT_EQ(kxterm_cell(term, 0, 2).fg, 1);
}

TEST_F(TerminalTest, WordBreakMovesAWordThatDoesNotFit)
{
    kxterm_create(term, "x=10,y=10,lines=4,columns=12,wordbreak");
    kxterm_puts(term, "eins zwei dreizehn vier.");
    EXPECT_EQ(line(0), "eins zwei");
    EXPECT_EQ(line(1), "dreizehn");
    EXPECT_EQ(line(2), "vier.");  // ended by its own full stop
    kxterm_puts(term, "\nneu");
    EXPECT_EQ(line(3), "");  // the line feed ends an empty word and the line
    EXPECT_EQ(term->cy, 3);
}

TEST_F(TerminalTest, TheLogHoldsADateLineAndExactlyThePrintedCharacters)
{
    std::string log = kxtest_output_dir() + "/terminal_test.log";
    std::remove(log.c_str());
    kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s", log.c_str());
    kxterm_puts(term, "gesendet\r\n");
    kxterm_puts(term, "\x1b[31mempfangen\x1b[39m\n\xe4");
    std::ifstream in(log, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string all = ss.str();
    size_t nl = all.find('\n');
    ASSERT_NE(nl, std::string::npos);
    std::string date = all.substr(0, nl);
    EXPECT_EQ(date.size(), 24u) << date;  // "Mon Dec 07 21:14:14 2026"
    EXPECT_EQ(all.substr(nl + 1), "gesendet\r\nempfangen\n\xe4");
}

TEST_F(TerminalTest, AnUnwritableLogLeavesPrintingAloneAndIsShownOnce)
{
    const std::string name = "/nonexistent/dir/x.log", reason = std::strerror(ENOENT);
    std::string out = kxtest_stdout([&] {
        kxterm_create(term, "x=10,y=10,lines=4,columns=110,logfile=%s", name.c_str());
        kxterm_puts(term, "geht\nweiter");
    });
    EXPECT_FALSE(term->logging);
    EXPECT_EQ(out, "kxterm_log: cannot open " + name + ": " + reason + "\n");
    EXPECT_NE(line(0).find(name), std::string::npos) << line(0);
    EXPECT_NE(line(0).find(reason), std::string::npos) << line(0);
    EXPECT_EQ(kxterm_cell(term, 0, 0).fg, KX_TERM_NOTICE);
    EXPECT_EQ(line(1), "geht");
    EXPECT_EQ(line(2), "weiter");
}

#ifdef __linux__
// /dev/full refuses the date line; a file size limit stands for a disk that
// fills up during a session.
TEST_F(TerminalTest, AFullDiskStopsTheLogWithOneNotice)
{
    std::string out = kxtest_stdout(
        [&] { kxterm_create(term, "x=10,y=10,lines=4,columns=110,logfile=/dev/full"); });
    EXPECT_EQ(out, std::string("kxterm_log: cannot write /dev/full: ") + std::strerror(ENOSPC) +
                       "\n");
    EXPECT_NE(line(0).find(std::strerror(ENOSPC)), std::string::npos) << line(0);

    std::string log = kxtest_output_dir() + "/terminal_full.log", expect;
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 2000;
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    out = kxtest_stdout([&] {
        kxterm_create(term, "x=10,y=10,lines=10,scrollback=500,xs=680,logfile=%s", log.c_str());
        for (int i = 0; i < 400; i++) {
            kxterm_handler(term, KX_TERM_HOLD, 0, 0, 0, 0, 0, 0, 0, 0);
            kxterm_printf(term, "Zeile %d\n", i);
            expect += "Zeile " + std::to_string(i) + "\n";
            kxterm_handler(term, KX_TERM_RESUME, 0, 0, 0, 0, 0, 0, 0, 0);
        }
    });
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(out, "kxterm_log: cannot write " + log + ": " + std::strerror(EFBIG) + "\n");
    std::string kept = logged(log);  // what fitted, in order
    EXPECT_GT(kept.size(), 1000u);
    EXPECT_EQ(kept, expect.substr(0, kept.size()));
    int shown = 0, notices = 0;  // all 400 lines, and one notice (perhaps wrapped)
    for (int l = 0; l < term->cy; l++) {
        shown += line(l).rfind("Zeile ", 0) == 0;
        notices += kxterm_cell(term, 0, l).fg == KX_TERM_NOTICE &&
                   kxterm_cell(term, 0, l - 1).fg != KX_TERM_NOTICE;
    }
    EXPECT_EQ(shown, 400);
    EXPECT_EQ(notices, 1);
}

TEST_F(TerminalTest, ADestroyedTerminalClosesItsLog)
{
    namespace fs = std::filesystem;
    auto open_files = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    std::string log = kxtest_output_dir() + "/terminal_close.log";
    kxterm_create(term, "x=10,y=10,lines=4,columns=40");  // the base tick keeps a pipe open
    auto before = open_files();
    for (int i = 0; i < 5; i++) {
        kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s", log.c_str());
        kxterm_destroy(term);
    }
    EXPECT_EQ(open_files(), before);
}
#endif

TEST_F(TerminalTest, TheLogOfThePreviousSessionIsKeptAsDotOne)
{
    std::string log = kxtest_output_dir() + "/terminal_keep.log";
    std::ofstream(log, std::ios::binary) << "abgest\xfcrzt\n";
    kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s", log.c_str());
    kxterm_puts(term, "neu\n");
    EXPECT_EQ(slurp(log + ".1"), "abgest\xfcrzt\n");
    kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s", log.c_str());
    EXPECT_EQ(logged(log + ".1"), "neu\n");  // the latest is .1
}

// Removes a log and every kept or numbered file beside it.
void remove_logs(const std::string &log)
{
    std::remove(log.c_str());
    for (int n = 1; n <= KX_TERM_LOGS_KEPT + 1; n++)
        std::remove((log + "." + std::to_string(n)).c_str());
}

TEST_F(TerminalTest, TheLogsOfTheFivePreviousSessionsAreKept)
{
    const std::string log = kxtest_output_dir() + "/terminal_five.log";
    remove_logs(log);
    for (int session = 1; session <= 7; session++) {
        kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s", log.c_str());
        kxterm_printf(term, "Sitzung %d\n", session);
        kxterm_destroy(term);
    }
    EXPECT_EQ(logged(log), "Sitzung 7\n");
    for (int n = 1; n <= 5; n++)
        EXPECT_EQ(logged(log + "." + std::to_string(n)), "Sitzung " + std::to_string(7 - n) + "\n");
    EXPECT_FALSE(std::filesystem::exists(log + ".6"));
}

// A log that another terminal writes (for the lock, another program) is
// neither moved nor emptied: the second terminal logs to a name of its own
// and says so, on standard output, in its pane and so in its log.
TEST_F(TerminalTest, ALogInUseIsLeftAloneAndTheSecondTerminalLogsToANameOfItsOwn)
{
    const std::string log = kxtest_output_dir() + "/terminal_held.log";
    const std::string second = kxtest_output_dir() + "/terminal_held-2.log";
    remove_logs(log);
    remove_logs(second);
    kxterm_create(term, "x=10,y=10,lines=4,columns=110,logfile=%s", log.c_str());
    kxterm_puts(term, "erste\n");
    auto *other = new kxTerminal;
    kxterm_init(other);
    std::string out = kxtest_stdout([&] {
        kxterm_create(other, "x=10,y=100,lines=6,columns=110,logfile=%s", log.c_str());
        kxterm_puts(other, "zweite\n");
    });
    kxterm_puts(term, "weiter\n");
    EXPECT_EQ(out, "kxterm_log: " + log + " is in use by another program: logging to " + second +
                       "\n");
    EXPECT_EQ(logged(log), "erste\nweiter\n");
    EXPECT_FALSE(std::filesystem::exists(log + ".1"));
    EXPECT_EQ(other->logname, second);
    EXPECT_EQ(kxterm_cell(other, 0, 0).fg, KX_TERM_NOTICE);
    EXPECT_EQ(logged(second), "The log " + log +
                                  " is being written by another program: this session is "
                                  "logged in " + second + ".\nzweite\n");
    kxterm_destroy(other);
    delete other;
}

// With "logdeferred" a terminal made and dropped again, as in a start that
// is cancelled in its dialog, leaves the last session's log alone; the
// session's start keeps it and begins a new one.
TEST_F(TerminalTest, ADeferredLogLeavesTheLastLogAloneUntilTheSessionStarts)
{
    const std::string log = kxtest_output_dir() + "/terminal_deferred.log";
    remove_logs(log);
    std::ofstream(log, std::ios::binary) << "letzte Sitzung\n";
    for (int start = 0; start < 2; start++) {
        kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s,logdeferred", log.c_str());
        kxterm_destroy(term);
    }
    EXPECT_EQ(slurp(log), "letzte Sitzung\n");
    EXPECT_FALSE(std::filesystem::exists(log + ".1"));
    kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s,logdeferred", log.c_str());
    EXPECT_FALSE(term->logging);
    EXPECT_TRUE(kxterm_startlog(term));
    kxterm_puts(term, "neu\n");
    EXPECT_EQ(slurp(log + ".1"), "letzte Sitzung\n");
    EXPECT_EQ(logged(log), "neu\n");
}

TEST_F(TerminalTest, WhatTheScreenShowsIsAlreadyInTheLog)
{
    std::string log = kxtest_output_dir() + "/terminal_shown.log";
    kxterm_create(term, "x=10,y=10,lines=4,columns=40,logfile=%s", log.c_str());
    kxterm_handler(term, KX_TERM_HOLD, 0, 0, 0, 0, 0, 0, 0, 0);
    kxterm_puts(term, "eins\n");
    kxterm_puts(term, "zwei\n");
    kxterm_handler(term, KX_TERM_RESUME, 0, 0, 0, 0, 0, 0, 0, 0);  // may be drawn from now on
    EXPECT_EQ(logged(log), "eins\nzwei\n");
    kxterm_putc(term, 'x');  // drawn at once
    EXPECT_EQ(logged(log), "eins\nzwei\nx");
}

TEST_F(TerminalTest, ACreatedAgainTerminalStartsFromTheDefaults)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=50,xs=600");
    for (int i = 0; i < 20; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    kxterm_handler(term, KX_EV_WHEEL_UP, 50, 30, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_KEYDOWN, 'k', 0, 0, 0, 0, 0, 0, 0);
    kxterm_setcolor(term, 4);
    kxterm_puts(term, (std::string(70, 'x') + "\x1b[3").c_str());  // column 70, half a sequence
    const int id = term->ids[0];
    kxterm_destroy(term);
    kxterm_create(term, "x=10,y=10,lines=3,columns=10");
    EXPECT_EQ(term->ids[0], id);
    EXPECT_EQ(term->top, 0);
    EXPECT_EQ(term->keycount, 0);
    kxterm_puts(term, "1mA");  // at the start of the grid, in the default colour
    EXPECT_EQ(line(0), "1mA");
    EXPECT_EQ(kxterm_cell(term, 2, 0).fg, 0);
    // Created twice: a half gathered word is gone too.
    kxterm_create(term, "x=10,y=10,lines=3,columns=10,wordbreak");
    kxterm_puts(term, "halb");
    kxterm_create(term, "x=10,y=10,lines=3,columns=10,wordbreak");
    kxterm_puts(term, "neu ");
    EXPECT_EQ(line(0), "neu");
}

TEST_F(TerminalTest, ACursorPlacedBeforeASmallerCreationStaysInsideTheGrid)
{
    kxterm_gotoxy(term, 79, 24);
    kxterm_create(term, "x=10,y=10,columns=10,lines=3");
    kxterm_puts(term, "X");
    EXPECT_EQ(line(2), "         X");
}

// Sizes an attribute string asks for (a page read from a file reaches them)
// are cut to what a terminal holds, with a diagnostic.
TEST_F(TerminalTest, SizesBeyondWhatATerminalHoldsAreCutWithADiagnostic)
{
    for (const char *huge : {"100000000", "2147483647"}) {
        std::string out = kxtest_stdout([&] {
            kxterm_create(term, "x=10,y=10,lines=5,columns=20,scrollback=%s", huge);
        });
        EXPECT_EQ(out, std::string("kxterm_create: scrollback=") + huge + " cut to 100000\n");
        EXPECT_EQ(term->lines, KX_TERM_SCROLLBACK_MAX);
    }
    std::string out = kxtest_stdout(
        [&] { kxterm_create(term, "x=10,y=10,lines=300000000,columns=300000000"); });
    EXPECT_EQ(out, "kxterm_create: columns=300000000 cut to 2000\n"
                   "kxterm_create: lines=300000000 cut to 1000\n");
    EXPECT_LE(term->geom.ys, 400);  // and then to the window
    kxterm_puts(term, "passt");
    EXPECT_EQ(line(0), "passt");
    out = kxtest_stdout(
        [&] { kxterm_create(term, "x=10,y=10,lines=-2147483648,columns=-2147483648"); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(term->lines, 1);
    EXPECT_EQ(term->columns, 1);
}

// Every drawing command acts on the terminal's background as it acts on a
// view's content, with the same answer; an update shows a rectangle of it.
TEST_F(TerminalTest, DrawingCommandsActOnTheBackgroundAsOnAViewsContent)
{
    kxterm_create(term, "x=10,y=10,xs=200,ys=100");
    auto *view = new kxView;
    kxview_init(view);
    kxview_create(view, "x=300,y=10,xs=200,ys=100");
    ASSERT_EQ(view->content->width, 200);
    ASSERT_EQ(view->content->height, 100);
    const std::string picture = kxtest_output_dir() + "/terminal_draw_in.ppm";
    {
        Px in(KX_PXFMT_TRUECOLOR, 8, 6);
        kxpxmap_clear(&in.p, 0x00AA00);
        ASSERT_TRUE(kxpxmap_savetofile_ppm(&in.p, picture.c_str()));
    }
    const char *xpm[] = {"2 2 2 1", "a c #FF0000", "b c #0000FF", "ab", "ba"};
    int palette[256] = {0x112233, 0x445566};
    auto both = [&](int code, kxarg a0 = 0, kxarg a1 = 0, kxarg a2 = 0, kxarg a3 = 0,
                    kxarg a4 = 0, kxarg a5 = 0) {
        kxarg answer = kxterm_handler(term, code, a0, a1, a2, a3, a4, a5, 0, 0);
        EXPECT_EQ(answer, kxview_draw(view, code, a0, a1, a2, a3, a4, a5, 0, 0)) << code;
        return answer;
    };
    both(KX_DRAW_SETFONT, kxfont_builtin_6x13());
    both(KX_DRAW_CLEAR, 0xFFFFFF);
    both(KX_DRAW_MOVETO, 20, 5);
    both(KX_DRAW_LINETO, 60, 30, 0xFF0000);
    EXPECT_GT(both(KX_DRAW_WRAPPED, 5, 40, 60, 50, 0, kxptr("ein Text, der umbricht")), 13);
    EXPECT_NE(both(KX_DRAW_PICTURE, 120, 5, kxptr(picture.c_str())), 0);
    EXPECT_NE(both(KX_DRAW_XPM, 150, 40, kxptr(xpm), kxptr("")), 0);
    EXPECT_NE(both(KX_DRAW_XPMPALETTE, 160, 40, kxptr(xpm), kxptr(palette)), 0);
    both(KX_DRAW_OPTION, 0x00FF00);
    EXPECT_EQ(term->background.palette[KX_TRANSPARENT_INDEX], 0x00FF00);
    int differ = 0;
    for (int y = 0; y < 100; y++)
        for (int x = 0; x < 200; x++)
            differ += kxpxmap_getpixel(&term->background, x, y) !=
                      kxpxmap_getpixel(view->content, x, y);
    EXPECT_EQ(differ, 0);
    const std::string saved = kxtest_output_dir() + "/terminal_draw_t.ppm";
    const std::string view_saved = kxtest_output_dir() + "/terminal_draw_v.ppm";
    EXPECT_NE(kxterm_handler(term, KX_DRAW_SAVE, kxptr(saved.c_str()), 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_NE(kxview_draw(view, KX_DRAW_SAVE, kxptr(view_saved.c_str()), 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(slurp(saved), slurp(view_saved));

    // The line's first pixel reaches the window with the update.
    EXPECT_EQ(kxpxmap_getpixel(&win->plat.pixmap, 10 + 20, 10 + 5), 0xFFFFFF);
    kxterm_handler(term, KX_DRAW_UPDATE, 0, 0, 100, 50, 0, 0, 0, 0);
    EXPECT_EQ(kxpxmap_getpixel(&win->plat.pixmap, 10 + 20, 10 + 5), 0xFF0000);
    kxview_destroy(view);
    delete view;
}

TEST_F(TerminalTest, ScrollBackFollowsTheCursorAndTheWheelScrolls)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=50,xs=300");
    for (int i = 0; i < 20; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    kxterm_puts(term, "x");
    EXPECT_EQ(term->cy, 20);
    EXPECT_EQ(term->top, 16);  // cursor line on the last visible line
    EXPECT_EQ(line(19), "Zeile 19");
    kxterm_handler(term, KX_EV_WHEEL_UP, 50, 30, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 16 - KX_TERM_WHEEL_LINES);
    kxterm_handler(term, KX_TERM_TOP, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 0);
    EXPECT_EQ(term->bar.vpos, 0);
    kxterm_handler(term, KX_SB_PAGEDOWN, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 5);
    // The bar's end is the last line written, not the end of the buffer.
    kxterm_handler(term, KX_SB_VPOS, 100, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 21 - 5);
}

TEST_F(TerminalTest, ScrollBackKeepsTheLastLinesInOrderAsItGoesRound)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=50,xs=300");
    for (int i = 0; i < 130; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    for (int l = 0; l < 50; l++)
        ASSERT_EQ(line(l), "Zeile " + std::to_string(80 + l));
    kxterm_clear(term);
    kxterm_puts(term, "leer");
    EXPECT_EQ(line(0), "leer");
}

// WCAG's relative luminance and contrast of two colours.
double luminance(int rgb)
{
    double sum = 0;
    const double weight[] = {0.2126, 0.7152, 0.0722};
    for (int i = 0; i < 3; i++) {
        const double c = ((rgb >> (16 - 8 * i)) & 0xFF) / 255.0;
        sum += weight[i] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
}
double contrast(int a, int b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A device can colour its own text but not hide the program's, and an
// erase of the whole screen leaves the lines before it in the history.
TEST_F(TerminalTest, TheRecordCannotBeHiddenOrErasedByTheDevice)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=50,xs=300");
    kxterm_puts(term, "\x1b[44mblau\x1b[0mweiss\x1b[41;33mX\x1b[mY\n");
    EXPECT_EQ(kxterm_cell(term, 0, 0).bg, 4);
    EXPECT_EQ(kxterm_cell(term, 4, 0).bg, 0);
    EXPECT_EQ(kxterm_cell(term, 9, 0).bg, 1);
    EXPECT_EQ(kxterm_cell(term, 10, 0).bg, 0);
    EXPECT_EQ(kxterm_cell(term, 10, 0).fg, 0);
    // A background left set: the program's own line and a notice are on white.
    kxterm_puts(term, "\x1b[44m");
    kxterm_setcolor(term, 4);
    kxterm_puts(term, "gesendet\n");
    kxterm_notice(term, "Hinweis");
    EXPECT_EQ(kxterm_cell(term, 0, 1).bg, 0);
    EXPECT_EQ(kxterm_cell(term, 0, 2).bg, 0);
    EXPECT_EQ(kxpxmap_getpixel(&win->plat.pixmap, 12 + 7 * term->charw, 12 + term->lineh + 1),
              0xFFFFFF);
    EXPECT_GE(contrast(kxterm_palette(KX_TERM_NOTICE), 0xFFFFFF), 4.5);
    EXPECT_NE(kxterm_palette(KX_TERM_NOTICE), kxterm_palette(1));
    EXPECT_NE(kxterm_palette(KX_TERM_NOTICE), kxterm_palette(4));

    kxterm_puts(term, "\x1b[2Jneu\x1b[2;3HQ");
    EXPECT_EQ(line(0), "blauweissXY");
    EXPECT_EQ(line(2), "Hinweis");
    EXPECT_EQ(term->home, 3);
    EXPECT_EQ(term->top, 3);  // the screen starts blank below the history
    EXPECT_EQ(line(3), "neu");
    EXPECT_EQ(kxterm_cell(term, 2, 4).ch, 'Q');  // positions count from the new screen
    kxterm_handler(term, KX_TERM_TOP, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 0);
    // At the end of the history the oldest lines make room for the screen.
    for (int i = 0; i < 60; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    kxterm_puts(term, "\x1b[2J\x1b[HA");
    EXPECT_LE(term->home + term->visible, term->lines);
    EXPECT_EQ(line(term->home - 1), "Zeile 59");
    EXPECT_EQ(line(term->home), "A");
    // Without a history the screen is blanked, as before.
    kxterm_create(term, "x=10,y=10,lines=5,columns=20");
    kxterm_puts(term, "alt\x1b[2J");
    EXPECT_EQ(line(0), "");
}

// Scrolled up, the view stays on its lines while more arrive, even as the
// oldest leave the history; a sign counts them, and End follows again.
TEST_F(TerminalTest, TheViewStaysWhereTheReaderIs)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=60,xs=300");
    for (int i = 0; i < 40; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    kxterm_handler(term, KX_EV_WHEEL_UP, 50, 30, 0, 0, 0, 0, 0, 0);
    ASSERT_EQ(term->top, 35 - KX_TERM_WHEEL_LINES);
    EXPECT_FALSE(term->follow);
    const std::string shown = line(term->top);
    for (int i = 40; i < 90; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    EXPECT_EQ(line(term->top), shown);
    EXPECT_EQ(term->waiting, 50);
    EXPECT_GT(term->sign_w, 0);
    // The sign's click follows the output.
    kxterm_handler(term, KX_EV_LDOWN, 10 + term->sign_x + 2, 10 + term->sign_y + 2, 0, 0, 0, 0,
                   0, 0);
    EXPECT_TRUE(term->follow);
    EXPECT_EQ(term->waiting, 0);
    EXPECT_EQ(line(term->top + term->visible - 1), "Zeile 89");
    // Scrolling down to the last line follows too.
    kxterm_handler(term, KX_SB_UP, 0, 0, 0, 0, 0, 0, 0, 0);
    kxterm_puts(term, "mehr\n");
    EXPECT_EQ(term->waiting, 1);
    kxterm_handler(term, KX_SB_DOWN, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(term->follow);
    kxterm_handler(term, KX_SB_DOWN, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_TRUE(term->follow);
    EXPECT_EQ(term->waiting, 0);
}

TEST_F(TerminalTest, KeysAndTheWheelScrollTheView)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=100,xs=300");
    for (int i = 0; i < 40; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    kxevent_poll();
    const auto key = [this](kxhostkey k) {
        kxheadless_keydown(&win->plat, k);
        kxheadless_keyup(&win->plat, k);
        kxevent_poll();
    };
    ASSERT_EQ(term->top, 35);
    key(kxhostkey::pgup);
    EXPECT_EQ(term->top, 30);
    key(kxhostkey::up);
    EXPECT_EQ(term->top, 29);
    key(kxhostkey::down);
    key(kxhostkey::pgdown);
    EXPECT_EQ(term->top, 35);
    EXPECT_TRUE(term->follow);
    kxheadless_keydown(&win->plat, kxhostkey::ctrl);
    key(kxhostkey::home);
    EXPECT_EQ(term->top, 0);
    key(kxhostkey::end);
    kxheadless_keyup(&win->plat, kxhostkey::ctrl);
    EXPECT_EQ(term->top, 35);
    kxterm_handler(term, KX_TERM_TOP, 0, 0, 0, 0, 0, 0, 0, 0);
    key(kxhostkey::home);  // without Ctrl it is not the view's
    EXPECT_EQ(term->top, 0);
    key(kxhostkey::end);
    EXPECT_EQ(term->top, 35);
    kxterm_handler(term, KX_EV_WHEEL_DOWN, 50, 30, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 35);
    kxterm_handler(term, KX_EV_WHEEL_UP, 50, 30, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 32);
}

// The thumb is the share of the lines written that the view shows, and its
// end is the last of them: no position shows an empty pane.
TEST_F(TerminalTest, TheScrollBarStandsForTheLinesThatExist)
{
    kxterm_create(term, "x=10,y=10,lines=10,scrollback=5000,xs=300");
    for (int i = 0; i < 40; i++)
        kxterm_printf(term, "Zeile %d\n", i);
    EXPECT_EQ(kxterm_extent(term), 40);
    EXPECT_EQ(term->bar.vsize, 25);
    EXPECT_EQ(term->bar.vpos, 100);
    kxterm_handler(term, KX_SB_VPOS, 50, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(term->top, 15);
    std::string more;  // one string: one drawing
    for (int i = 40; i < 3000; i++)
        more += "Zeile " + std::to_string(i) + "\n";
    kxterm_puts(term, more.c_str());
    EXPECT_EQ(term->bar.vsize, 0);  // the bar's smallest thumb
    kxterm_handler(term, KX_SB_VPOS, 100, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(line(term->top + term->visible - 1), "Zeile 2999");
    EXPECT_EQ(term->bar.vpos, 100);
}

// The window's mouse reaches the pane: a drag selects, a notch scrolls three lines.
TEST_F(TerminalTest, TheWindowsMouseSelectsAndScrolls)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=50,xs=300");
    kxterm_puts(term, "Temp 25 C\n");
    kxevent_poll();
    kxheadless_press(&win->plat, 1, 11, 15);
    kxevent_poll();
    kxheadless_move(&win->plat, 200, 15);
    kxevent_poll();
    kxheadless_release(&win->plat, 1, 200, 15);
    kxevent_poll();
    EXPECT_EQ(kxterm_selectedtext(term), "Temp 25 C");
    for (int i = 0; i < 20; i++)
        kxterm_puts(term, "x\n");
    const int top = term->top;
    kxheadless_wheel(&win->plat, 1, 50, 30);
    kxevent_poll();
    EXPECT_EQ(term->top, top - 3);
}

// UTF-8 text shows the characters the fonts have and one mark for any
// other or for broken bytes; a UTF-8 log holds the characters, the
// program's own ISO 8859-1 text as UTF-8 too.
TEST_F(TerminalTest, Utf8TextAndAUtf8Log)
{
    const std::string log = kxtest_output_dir() + "/term_utf8.log";
    std::remove(log.c_str());
    kxterm_create(term, "x=10,y=10,lines=5,columns=40,logfile=%s,logutf8", log.c_str());
    kxterm_puts(term, "ge\xf6" "ffnet\n");
    kxterm_setutf8input(term, true);
    kxterm_puts(term, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xff \xc3(\x1b[31m\xc3\xa4\xc0\xaf\n");
    // A character split between two pieces of received text is whole; one
    // cut short by the line's end is the mark.
    kxterm_puts(term, "\xc2");
    kxterm_setutf8input(term, false);
    kxterm_setutf8input(term, true);
    kxterm_puts(term, "\xb0\xe2\x82\n");
    kxterm_setutf8input(term, false);
    EXPECT_EQ(line(0), "ge\xf6" "ffnet");
    EXPECT_EQ(line(1), "Gr\xfc\xdf" "e \xbf \xbf \xbf(\xe4\xbf\xbf");
    EXPECT_EQ(kxterm_cell(term, 12, 1).fg, 1);  // the colour reached the character
    EXPECT_EQ(line(2), "\xb0\xbf");
    kxterm_destroy(term);
    EXPECT_EQ(logged(log), "ge\xc3\xb6" "ffnet\nGr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xc2\xbf \xc2\xbf("
                           "\xc3\xa4\xc2\xbf\xc2\xbf\n\xc2\xb0\xc2\xbf\n");
}

// Lines are stored without their blank cells, in a ring that grows with
// them: a long history of short lines takes little more than its text.
TEST(TerminalRows, AHistoryCostsWhatItKeeps)
{
    kxTermRows r;
    kxtermrows_reset(&r, 100000);
    std::vector<kxTermCell> cells(120);
    for (int i = 0; i < 21; i++)
        cells[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>('a' + i % 26), 1, 0, 0};
    cells[3].bg = 4;
    for (int l = 0; l < 100000; l++)
        kxtermrows_set(&r, l, cells.data(), 120);
    EXPECT_EQ(kxtermrows_count(&r), 100000);
    EXPECT_LE(r.rows.capacity(), 100000u);
    EXPECT_EQ(kxtermrows_bytes(&r), 100000u * (2 + 21 + 3 * 3));
    std::vector<kxTermCell> back(120);
    kxtermrows_get(&r, 99999, back.data(), 120);
    for (int c = 0; c < 120; c++) {
        const kxTermCell &a = cells[static_cast<std::size_t>(c)], &b = back[static_cast<std::size_t>(c)];
        EXPECT_TRUE(a.ch == b.ch && a.fg == b.fg && a.bg == b.bg) << c;
    }
    kxtermrows_scroll(&r);
    EXPECT_EQ(kxtermrows_count(&r), 100000);
    kxtermrows_get(&r, 99999, back.data(), 120);
    EXPECT_EQ(back[0].ch, ' ');
    // Nothing written: nothing kept.
    kxtermrows_reset(&r, 100000);
    kxtermrows_set(&r, 5, back.data(), 120);
    EXPECT_EQ(kxtermrows_count(&r), 6);
    EXPECT_EQ(kxtermrows_bytes(&r), 0u);
}

// Dragging, a double click and a third click select characters, a word and
// a line; the text is as shown, lines joined with LF, and Ctrl+C copies it.
TEST_F(TerminalTest, SelectAndCopy)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=50,xs=300");
    kxterm_puts(term, "Temp 25 C   \nzweite Zeile\n");
    const auto at = [this](int column, int line) {
        return std::pair{10 + 2 + column * term->charw, 10 + 2 + line * term->lineh + 3};
    };
    auto [x0, y0] = at(5, 0);
    auto [x1, y1] = at(6, 1);
    kxterm_handler(term, KX_EV_LDOWN, x0, y0, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_MOTION, x1, y1, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LUP, x1, y1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(kxterm_selectedtext(term), "25 C\nzweite");
    EXPECT_TRUE(kxterm_selected(term, 5, 0));
    EXPECT_FALSE(kxterm_selected(term, 6, 1));
    kxevent_poll();
    kxheadless_keydown(&win->plat, kxhostkey::ctrl);
    kxheadless_type(&win->plat, "\x03");
    kxheadless_keyup(&win->plat, kxhostkey::ctrl);
    kxevent_poll();
    const char *clip = kxclip_gettext();
    ASSERT_NE(clip, nullptr);
    EXPECT_STREQ(clip, "25 C\r\nzweite");  // the clipboard's line ends
    auto [x2, y2] = at(8, 1);
    kxterm_handler(term, KX_EV_LDOWN, x2, y2, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LUP, x2, y2, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(term->selection);
    kxterm_handler(term, KX_EV_LDOUBLE, x2, y2, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LUP, x2, y2, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(kxterm_selectedtext(term), "Zeile");
    // Dragged on from a double click: whole words, backwards too.
    auto [x3, y3] = at(1, 0);
    kxterm_handler(term, KX_EV_LDOUBLE, x2, y2, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_MOTION, x3, y3, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_MOTION, x1 - 2, y1, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LUP, x1 - 2, y1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(kxterm_selectedtext(term), "zweite Zeile");
    kxterm_handler(term, KX_EV_LDOUBLE, x2, y2, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_MOTION, x3, y3, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LUP, x3, y3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(kxterm_selectedtext(term), "Temp 25 C\nzweite Zeile");
    kxterm_handler(term, KX_EV_LDOUBLE, x2, y2, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LUP, x2, y2, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LDOWN, x2, y2, 0, 0, 0, 0, 0, 0);
    kxterm_handler(term, KX_EV_LUP, x2, y2, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(kxterm_selectedtext(term), "zweite Zeile");
    kxterm_selectall(term);
    EXPECT_EQ(kxterm_selectedtext(term), "Temp 25 C\nzweite Zeile");
    // The selection moves with its lines as the oldest leave.
    kxterm_select(term, 1, 0, 1, 6);
    for (int i = 0; i < 49; i++)
        kxterm_puts(term, "x\n");
    EXPECT_EQ(kxterm_selectedtext(term), "zweite");
    kxterm_puts(term, "x\n");
    EXPECT_FALSE(term->selection);
}

// A pane given more room shows more lines and columns, the last line
// written still its last; given less, the text is cut at the right and, without
// scroll-back, the lines before the cursor's go.
TEST_F(TerminalTest, ANewSizeShowsMoreOrFewerLinesAndKeepsTheText)
{
    kxterm_create(term, "x=10,y=10,lines=5,scrollback=50,xs=300");
    for (int i = 0; i < 20; i++)
        kxterm_printf(term, "Zeile %d und noch ein wenig mehr Text\n", i);
    const int lineh = term->lineh, columns = term->columns;
    kxterm_setsize(term, 500, 12 * lineh + 4);
    EXPECT_EQ(term->visible, 12);
    EXPECT_EQ(term->geom.xs, 500);
    EXPECT_GT(term->columns, columns);
    EXPECT_EQ(term->lines, 50);
    EXPECT_EQ(term->top, 19 - 12 + 1);
    EXPECT_EQ(line(19), "Zeile 19 und noch ein wenig mehr Text");
    kxterm_setsize(term, 100, 3 * lineh + 4);
    EXPECT_EQ(term->visible, 3);
    std::string cut = std::string("Zeile 19 und noch ein wenig mehr Text").substr(0, term->columns);
    while (!cut.empty() && cut.back() == ' ')
        cut.pop_back();
    EXPECT_EQ(line(19), cut);
    EXPECT_EQ(term->top, 19 - 3 + 1);
    kxterm_puts(term, "weiter");
    EXPECT_EQ(line(20), "weiter");
    kxterm_setsize(term, 3, 3);  // not one cell: ignored
    EXPECT_EQ(term->geom.xs, 100);

    kxterm_create(term, "x=10,y=10,lines=6,columns=20");
    for (int i = 0; i < 5; i++)
        kxterm_printf(term, "L%d\n", i);
    kxterm_setsize(term, 20 * 6 + 4, 2 * lineh + 4);
    EXPECT_EQ(term->lines, 2);
    EXPECT_EQ(line(0), "L4");
    EXPECT_EQ(term->cy, 1);
}

TEST_F(TerminalTest, KeysGoToTheRingAndGetlineEchoes)
{
    kxterm_create(term, "x=10,y=10,lines=4,columns=40");
    kxevent_poll();
    int step = 0;
    kxtest_idle idle([&] {
        if (step++ == 0)
            kxheadless_type(&win->plat, "ab\x08" "c\xe4xyz\n");
    });
    char buf[5];
    ASSERT_TRUE(kxterm_getline(term, buf, sizeof buf));
    EXPECT_STREQ(buf, "ac\xe4x");  // backspace took b; only four characters fit
    EXPECT_EQ(line(0), "ac\xe4x");
}

// How often this thread has gone to sleep so far.
long thread_sleeps()
{
    std::ifstream in("/proc/thread-self/status");
    for (std::string l; std::getline(in, l);)
        if (l.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::stol(l.substr(24));
    return -1;
}

kxarg type_k(void *obj, int code, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    if (code == KX_EV_TIMER) {
        kxtimer_remove(obj, 0);
        kxterm_handler(obj, KX_EV_KEYDOWN, 'k', 0, 0, 0, 0, 0, 0, 0);
    }
    return 0;
}

TEST_F(TerminalTest, WaitingForAKeySleepsUntilInputOrATimer)
{
#ifdef _WIN32
    GTEST_SKIP() << "under Wine every call to its server counts as a sleep of the thread";
#endif
    if (thread_sleeps() < 0)
        GTEST_SKIP() << "no /proc/thread-self to count the sleeps";
    kxterm_create(term, "x=10,y=10,lines=4,columns=40");
    kxevent_poll();
    kxtimer_add(type_k, term, 500, 0);
    const long before = thread_sleeps();
    const std::int64_t start = kxsys_ticks();
    EXPECT_EQ(kxterm_getkey(term), 'k');
    EXPECT_GE(kxsys_ticks() - start, 400);
    // Woken by the cursor's blink and the timer: a few sleeps, where a wait
    // in 10 ms steps would take fifty.
    EXPECT_LT(thread_sleeps() - before, 20);
}

TEST_F(TerminalTest, HostileBytesNeverLeaveTheGrid)
{
    kxterm_create(term, "x=10,y=10,lines=6,columns=20,scrollback=30,wordbreak");
    std::string junk;
    unsigned seed = 12345;
    for (int i = 0; i < 20000; i++) {
        seed = seed * 1103515245 + 12345;
        junk += static_cast<char>((seed >> 16) & 0xFF);
        if (i % 97 == 0)
            junk += "\x1b[";
    }
    kxtest_stdout([&] { kxterm_puts(term, junk.c_str()); });
    EXPECT_LE(term->cy, term->lines);
    EXPECT_LT(term->cx, term->columns);
    EXPECT_LE(term->top, term->lines - term->visible);
}

TEST_F(TerminalTest, AChildProcessOutputIsShown)
{
    kxterm_create(term, "x=10,y=10,lines=4,columns=40");
#ifdef _WIN32
    ASSERT_TRUE(kxterm_run(term, "cmd /c \"echo vom Kind& exit 3\""));
#else
    ASSERT_TRUE(kxterm_run(term, "printf 'vom Kind\\n'; exit 3"));
#endif
    for (int i = 0; i < 500 && term->child >= 0; i++) {
        kxprocess_poll();
        kxsys_sleep(10000);
    }
    EXPECT_EQ(term->child, -1);
    EXPECT_EQ(term->exitcode, 3);
    EXPECT_EQ(line(0), "vom Kind");
}

// A terminal that goes while its child runs is told nothing more: its
// memory may be gone when the child writes and ends.
TEST_F(TerminalTest, AChildThatOutlivesItsTerminalReachesItNoMore)
{
    auto *other = new kxTerminal;
    kxterm_init(other);
    kxterm_create(other, "x=10,y=10,lines=4,columns=40");
#ifdef _WIN32
    ASSERT_TRUE(kxterm_run(other, "cmd /c \"ping -n 2 127.0.0.1 >nul & echo spaet\""));
#else
    ASSERT_TRUE(kxterm_run(other, "sleep 0.3; echo spaet"));
#endif
    const int running = kxprocess_running();
    kxterm_destroy(other);
    delete other;
    for (int i = 0; i < 500 && kxprocess_running() == running; i++) {
        kxprocess_poll();
        kxsys_sleep(10000);
    }
    EXPECT_EQ(kxprocess_running(), running - 1);
}

} // namespace

// A program killed by a signal, and the POSIX peer that starts it.
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>

#include "../platform/xvfb_support.h"

namespace {

TEST(TerminalLog, EveryPrintedLineSurvivesSigkill)
{
    std::string log = kxtest_output_dir() + "/termlog_kill.log";
    std::remove(log.c_str());
    setenv("KX_HOST", "headless", 1);
    kxtest_proc p;
    ASSERT_TRUE(p.start({std::string(KX_TEST_BINARY_DIR) + "/kxprog_termlog", log}));
    std::string last = p.wait_prefix("printed 200");
    ASSERT_FALSE(last.empty());
    kill(p.pid, SIGKILL);
    p.finish(5000);
    int printed = 0;
    for (const std::string &l : p.lines)
        if (l.rfind("printed ", 0) == 0)
            printed = std::max(printed, std::atoi(l.c_str() + 8));
    std::ifstream in(log, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string expect;
    for (int i = 0; i <= printed; i++)
        expect += "Zeile " + std::to_string(i) + "\n";
    size_t nl = text.find('\n');
    ASSERT_NE(nl, std::string::npos);
    // Everything reported printed is in the log, in order; at most one more
    // line may have followed before the kill.
    EXPECT_EQ(text.substr(nl + 1, expect.size()), expect);
}

} // namespace
#endif

namespace {

TEST(TerminalFuzz, MegabytesOfRandomBytesAndSequences)
{
    kxtest_headless();
    ASSERT_TRUE(kxapp_init());
    auto *win = new kxWindow;
    auto *term = new kxTerminal;
    kxwindow_init(win);
    kxwindow_create(win, "t,x=0,y=0,xs=700,ys=400");
    kxterm_init(term);
    kxterm_create(term, "x=10,y=10,lines=8,columns=50,scrollback=200");
    unsigned seed = 777;
    auto rnd = [&] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
    static const char *pieces[] = {"\x1b[", "\x1b[31m", "\x1b[2J", "\x1b[5;10H", "\x1b[0;1;33;44m",
                                   "\x1b[999999999;999999999H", "\x1b[?25l", "\x1b(0", "\x0e", "\x0f",
                                   "\t", "\r\n", "\x1b[K", "\x1b[1000000000000m"};
    std::string chunk;
    long total = 0;
    std::string out = kxtest_stdout([&] {
        while (total < 3 * 1024 * 1024) {
            chunk.clear();
            for (int i = 0; i < 4096; i++) {
                if (rnd() % 16 == 0)
                    chunk += pieces[rnd() % (sizeof pieces / sizeof *pieces)];
                else
                    chunk += static_cast<char>(1 + rnd() % 255);
            }
            total += static_cast<long>(chunk.size());
            kxterm_puts(term, chunk.c_str());
            ASSERT_LT(term->cx, term->columns);
            ASSERT_LE(term->cy, term->lines);
            ASSERT_GE(term->top, 0);
        }
    });
    EXPECT_GE(total, 3 * 1024 * 1024);
    kxterm_destroy(term);
    kxwindow_free(win);
    delete term;
    delete win;
}

} // namespace
