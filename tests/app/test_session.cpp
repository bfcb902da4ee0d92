// The session on the port: when it draws the received lines it has shown,
// how it shows them and how it tells a row that did not fully leave.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/timer.h"
#include "core/window.h"
#include "io/terminal.h"
#include "io/port.h"
#include "kx9d.h"
#include "platform/platform.h"
#include "lineview.h"
#include "session.h"
#include "support.h"
#ifndef _WIN32
#include "../serialpeer.h"  // pseudo-terminal peers: POSIX only
#endif

// Lines are drawn at once; those that come within a frame of a drawing wait
// for the timer, whose next firing draws them however soon it comes.
TEST(Session, LinesWithinAFrameOfADrawingAreDrawnAtTheTimersNextFiring)
{
    kxtest_headless();
    ASSERT_TRUE(kxapp_init());
    auto win = std::make_unique<kxWindow>();
    auto term = std::make_unique<kxTerminal>();
    kxwindow_init(win.get());
    kxwindow_create(win.get(), "t,x=0,y=0,xs=400,ys=200");
    kxterm_init(term.get());
    kxterm_create(term.get(), "x=10,y=10,lines=4,columns=40");
    kxTimer timer;
    kxtimer_create(&timer, QX_TIMER_MS);
    qxsession s;
    s.term = term.get();

    s.owed = true;
    qxsession_draw(&s, &timer, false);
    EXPECT_FALSE(s.owed);
    s.owed = true;
    qxsession_draw(&s, &timer, false);
    EXPECT_TRUE(s.owed);
    EXPECT_TRUE(s.hurried);
    s.drawn_at = kxsys_ticks();
    qxsession_draw(&s, &timer, true);
    EXPECT_FALSE(s.owed);
    EXPECT_FALSE(s.hurried);

    kxtimer_destroy(&timer);
    kxterm_destroy(term.get());
    kxwindow_free(win.get());
}

using namespace std::string_literals;

namespace {

// A terminal in a window, logging to a file of its own.
struct Pane {
    std::unique_ptr<kxWindow> win = std::make_unique<kxWindow>();
    std::unique_ptr<kxTerminal> term = std::make_unique<kxTerminal>();
    std::string log;

    explicit Pane(const std::string &logfile) : log(logfile)
    {
        kxwindow_init(win.get());
        kxwindow_create(win.get(), "t,x=0,y=0,xs=500,ys=200");
        kxterm_init(term.get());
        kxterm_create(term.get(), "x=10,y=10,lines=6,columns=60,logfile=%s", log.c_str());
    }
    ~Pane()
    {
        kxterm_destroy(term.get());
        kxwindow_free(win.get());
    }
    // Buffer line n as its characters show it.
    std::string line(int n) const
    {
        std::string text;
        for (int x = 0; x < term->columns; x++)
            text += static_cast<char>(kxterm_cell(term.get(), x, n).ch);
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }
    // What was logged after the log's date line.
    std::string logged()
    {
        kxterm_handler(term.get(), KX_TERM_RESUME, 0, 0, 0, 0, 0, 0, 0, 0);  // writes it out
        std::string all;
        if (std::FILE *f = std::fopen(log.c_str(), "rb")) {
            char buf[4096];
            for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
                all.append(buf, n);
            std::fclose(f);
        }
        return all.substr(std::min(all.size(), all.find('\n') + 1));
    }
};

} // namespace

#ifndef _WIN32
// A NUL is no end of the text, and a sequence left unfinished at the line's
// end shows its bytes: on screen (the NUL and ESC draw nothing) and in the
// log, every byte of the line is there.
TEST(Session, ANulOrAnUnfinishedSequenceKeepsTheRestOfItsLine)
{
    kxtest_headless();
    ASSERT_TRUE(kxapp_init());
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(9));
    kxport_reset();
    ASSERT_TRUE(kxport_open(9, 9600));
    Pane pane(peer.dir.file("session.log"));
    qxsession s;
    qxsettings settings;
    settings.port = 9;
    qxsession_start(&s, pane.term.get(), settings);
    ASSERT_TRUE(peer.send("A\0BCD\r\n\0G\r\nWert \x1b[12;3 = 45.6\r\n"s));
    ASSERT_TRUE(kxtest_waitfor(
        [&] {
            qxsession_poll(&s);
            return pane.term->cy >= 4;
        },
        5000));
    EXPECT_EQ(pane.line(1), "ABCD");
    EXPECT_EQ(pane.line(2), "G");
    EXPECT_EQ(pane.line(3), "Wert [12;3 = 45.6");
    const std::string logged = pane.logged();
    EXPECT_EQ(logged.substr(logged.find('\n') + 1),
              "A\0BCD\n\0G\nWert \x1b[12;3 = 45.6\n"s);
    kxport_close(9);
}
#endif

// A row whose text left but whose line feed did not is shown as sent, with
// a notice that its line end was not; an empty row that sent nothing is not
// sent.
TEST(Session, ARowWhoseLineFeedFailedIsShownAsSentWithoutItsLineEnd)
{
    kxtest_headless();
    ASSERT_TRUE(kxapp_init());
    Pane pane(kxtest_output_dir() + "/session_linefeed.log");
    qxsession s;
    qxsettings settings;
    settings.port = 233;  // never opened: its problem is "not open"
    qxsession_start(&s, pane.term.get(), settings);
    static std::string written;
    written.clear();
    s.write = [](const char *text) {
        if (std::strcmp(text, "\n") == 0)
            return false;
        written += text;
        return true;
    };
    qxsession_send(&s, "AT");
    qxsession_send(&s, "");
    EXPECT_EQ(written, "AT");
    const std::string logged = pane.logged();
    EXPECT_EQ(logged.substr(logged.find('\n') + 1),
              "AT\nZeilenende nicht gesendet: not open\n\nnicht gesendet: not open\n");
    EXPECT_EQ(kxterm_cell(pane.term.get(), 0, 1).fg, QX_SENT_COLOUR);
    EXPECT_EQ(kxterm_cell(pane.term.get(), 0, 2).fg, KX_TERM_NOTICE);
}

#ifndef _WIN32
// A device that speaks UTF-8: its text is decoded, a row leaves as UTF-8,
// and the log is UTF-8 throughout, the program's own lines too; the hex view
// keeps showing the bytes.
TEST(Session, WithUtf8TheTextIsDecodedRowsLeaveAsUtf8AndTheLogIsOneEncoding)
{
    kxtest_headless();
    ASSERT_TRUE(kxapp_init());
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(9));
    kxport_reset();
    ASSERT_TRUE(kxport_open(9, 9600));
    Pane pane(peer.dir.file("utf8.log"));
    kxterm_setutf8log(pane.term.get(), true);
    qxsession s;
    qxsettings settings;
    settings.port = 9;
    settings.utf8 = true;
    qxsession_start(&s, pane.term.get(), settings);
    ASSERT_TRUE(qxsession_send(&s, "Gr\xfc\xdf" "e"));
    EXPECT_EQ(peer.receive(7), "Gr\xc3\xbc\xc3\x9f" "e\n");
    ASSERT_TRUE(peer.send("Temp 25 \xc2\xb0" "C \xe2\x82\xac\r\n"));
    ASSERT_TRUE(kxtest_waitfor(
        [&] {
            qxsession_poll(&s);
            return pane.term->cy >= 3;
        },
        5000));
    EXPECT_EQ(pane.line(1), "Gr\xfc\xdf" "e");
    EXPECT_EQ(pane.line(2), "Temp 25 \xb0" "C \xbf");
    s.settings.show = qxshow::hex;
    ASSERT_TRUE(peer.send("\xc2\xb0\r\n"));
    ASSERT_TRUE(kxtest_waitfor(
        [&] {
            qxsession_poll(&s);
            return pane.term->cy >= 4;
        },
        5000));
    EXPECT_EQ(pane.line(3), "C2 B0 0D 0A");
    EXPECT_EQ(pane.logged(), "Serielle Schnittstelle 9 ge\xc3\xb6" "ffnet, Baudrate=9600\n"
                             "Gr\xc3\xbc\xc3\x9f" "e\nTemp 25 \xc2\xb0" "C \xe2\x82\xac\nC2 B0 0D 0A\n");
    kxport_close(9);
}
#endif
