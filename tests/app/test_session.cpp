// The session on the port: when it draws the received lines it has shown,
// how it shows them and how it tells a row that did not fully leave.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

#ifndef _WIN32  // pseudo-terminal peers: POSIX only
namespace {

// A session on COM<port> bound to a socat pty, its peer reading what left.
struct Sending {
    kxtest_serialpeer peer;
    std::unique_ptr<Pane> pane;
    qxsession s;

    bool start(int port, const qxsettings &given)
    {
        kxtest_headless();
        if (!kxapp_init() || !peer.start(port))
            return false;
        kxport_reset();
        if (!kxport_open(port, 9600))
            return false;
        pane = std::make_unique<Pane>(peer.dir.file("session.log"));
        qxsettings settings = given;
        settings.port = port;
        qxsession_start(&s, pane->term.get(), settings);
        return true;
    }
    // What reached the device end for the row.
    std::string sent(const char *row, std::size_t n)
    {
        qxsession_send(&s, row);
        return peer.receive(n);
    }
};

} // namespace

// With the notation off, a row leaves byte for byte as the tester always
// sent it: backslashes and all, then the chosen line end.
TEST(Session, RowsWithoutTheNotationLeaveAsTyped)
{
    Sending t;
    ASSERT_TRUE(t.start(10, qxsettings{}));
    for (const char *row : {"AT+CSQ", "\\r\\x41\\h(01)\\c(SUM8)", "", "a\tb \xe4\xf6", "\\"})
        EXPECT_EQ(t.sent(row, std::strlen(row) + 1), row + "\n"s) << row;
    struct {
        qxlineend end;
        std::string bytes;
    } const ends[] = {{qxlineend::cr, "AT\r"}, {qxlineend::crlf, "AT\r\n"},
                      {qxlineend::none, "AT"}};
    for (const auto &e : ends) {
        t.s.settings.lineend = e.end;
        EXPECT_EQ(t.sent("AT", e.bytes.size()), e.bytes);
    }
    EXPECT_EQ(t.peer.receive(1, 100), "");
    kxport_close(10);
}

// With the notation on: every escape, hex runs and checksums leave as their
// bytes; a Modbus request gets its CRC low byte first.
TEST(Session, RowsInTheNotationLeaveAsTheirBytes)
{
    qxsettings settings;
    settings.escapes = true;
    settings.lineend = qxlineend::none;
    Sending t;
    ASSERT_TRUE(t.start(11, settings));
    EXPECT_EQ(t.sent("\\r\\n\\t\\e\\0\\\\\\x7F\\xff", 8), "\r\n\t\x1b\0\\\x7f\xff"s);
    EXPECT_EQ(t.sent("\\h(01 03 00 00 00 0A)\\c(CRC-16/MODBUS)", 8),
              "\x01\x03\x00\x00\x00\x0A\xC5\xCD"s);
    EXPECT_EQ(t.sent("123456789\\c(crc-32)", 13), "123456789\x26\x39\xF4\xCB"s);
    t.s.settings.lineend = qxlineend::crlf;
    EXPECT_EQ(t.sent("AT\\x00", 5), "AT\0\r\n"s);
    kxport_close(11);
}

// An unreadable row sends nothing and says why in the notice colour; the
// hex view shows the bytes that left, the text view the row as typed.
TEST(Session, AnUnreadableRowIsNotSentAndHexShowsTheBytesThatLeft)
{
    qxsettings settings;
    settings.escapes = true;
    settings.show = qxshow::hex;
    Sending t;
    ASSERT_TRUE(t.start(12, settings));
    for (const char *row : {"\\x4", "A\\q", "\\h(01 0", "\\c(CRC-99)"}) {
        qxsession_send(&t.s, row);
        EXPECT_EQ(t.peer.receive(1, 100), "") << row;
        EXPECT_EQ(t.pane->line(t.pane->term->cy - 1).substr(0, 16), "nicht gesendet: ");
        EXPECT_EQ(kxterm_cell(t.pane->term.get(), 0, t.pane->term->cy - 1).fg, KX_TERM_NOTICE);
    }
    EXPECT_EQ(t.sent("\\h(01 02)A", 4), "\x01\x02" "A\n");
    EXPECT_EQ(kxterm_cell(t.pane->term.get(), 0, t.pane->term->cy - 1).fg, QX_SENT_COLOUR);
    t.s.settings.show = qxshow::text;
    EXPECT_EQ(t.sent("\\x41", 2), "A\n");
    const std::string logged = t.pane->logged();
    EXPECT_NE(logged.find("\\q\nnicht gesendet: "), std::string::npos);
    const std::string tail = "\n01 02 41 0A\n\\x41\n";
    EXPECT_EQ(logged.substr(logged.size() - std::min(logged.size(), tail.size())), tail);
    kxport_close(12);
}

namespace {

// The session reads the port as the program's loop does, until cond holds.
bool poll_until(Sending &t, const std::function<bool()> &cond)
{
    return kxtest_waitfor(
        [&] {
            qxsession_poll(&t.s);
            return cond();
        },
        5000);
}

// The log after the line that says the port opened.
std::string after_start(Sending &t)
{
    const std::string logged = t.pane->logged();
    return logged.substr(std::min(logged.size(), logged.find('\n') + 1));
}

// "hh:mm:ss.mmm " as milliseconds of the day.
int stamp_of(const std::string &line)
{
    int h = 0, m = 0, s = 0, ms = 0;
    EXPECT_EQ(std::sscanf(line.c_str(), "%2d:%2d:%2d.%3d ", &h, &m, &s, &ms), 4) << line;
    return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

} // namespace

// A prompt is shown once quiet for the pause; the rest of its line continues
// the same screen line, and the log holds the same characters.
TEST(Session, APromptShowsAtThePauseAndItsRestJoinsTheSameLine)
{
    qxsettings settings;
    settings.timestamps = true;
    Sending t;
    ASSERT_TRUE(t.start(13, settings));
    const int b = t.pane->term->cy;  // the line after the stamped start, which wraps
    std::vector<std::string> handed;  // answer rules and runs see whole lines
    t.s.received = [&](std::string_view line) { handed.emplace_back(line); };
    ASSERT_TRUE(t.peer.send("login: "));
    ASSERT_TRUE(poll_until(t, [&] { return !t.pane->line(b).empty(); }));
    const std::string prompt = t.pane->line(b);
    EXPECT_EQ(prompt.substr(13), "login:");
    EXPECT_EQ(t.pane->term->cy, b);  // the line is open
    ASSERT_TRUE(t.peer.send("root\r\n"));
    ASSERT_TRUE(poll_until(t, [&] { return t.pane->term->cy == b + 1; }));
    EXPECT_EQ(t.pane->line(b), prompt + " root");
    EXPECT_EQ(after_start(t), t.pane->line(b) + "\n");
    EXPECT_EQ(t.s.count_received, 13u);
    EXPECT_EQ(handed, std::vector<std::string>{"login: root\r\n"});
    kxport_close(13);
}

// A row sent while a line is shown in part starts a line of its own, and
// the rest of that line follows on a line marked as continued; the stamps
// never go backwards, on screen and in the log.
TEST(Session, ARowSentDuringAPartialLineComesAfterItAndTheRestIsMarked)
{
    qxsettings settings;
    settings.timestamps = true;
    Sending t;
    ASSERT_TRUE(t.start(14, settings));
    const int b = t.pane->term->cy;
    ASSERT_TRUE(t.peer.send("> "));
    ASSERT_TRUE(poll_until(t, [&] { return !t.pane->line(b).empty(); }));
    EXPECT_EQ(t.sent("AT", 3), "AT\n");
    ASSERT_TRUE(t.peer.send("OK\r\n"));
    ASSERT_TRUE(poll_until(t, [&] { return t.pane->term->cy == b + 3; }));
    const std::string want[] = {">", "AT", QX_CONTINUED + "OK"s};
    std::string screen;
    for (int n = 0; n < 3; n++) {
        const std::string line = t.pane->line(b + n);
        EXPECT_EQ(line.substr(std::min<std::size_t>(13, line.size())), want[n]);
        if (n > 0) {
            EXPECT_LE(stamp_of(t.pane->line(b + n - 1)), stamp_of(line));
        }
        screen += line + (n == 0 ? " " : "") + "\n";
    }
    EXPECT_EQ(kxterm_cell(t.pane->term.get(), 13, b + 2).fg, KX_TERM_NOTICE);
    EXPECT_EQ(after_start(t), screen);
    EXPECT_EQ(t.s.count_sent, 3u);
    EXPECT_EQ(t.s.count_received, 6u);
    kxport_close(14);
}

// A line longer than a read, and one that came in two parts with a pause
// between, are each one line in the log (wrapped on screen only).
TEST(Session, LongLinesStayWhole)
{
    Sending t;
    ASSERT_TRUE(t.start(15, qxsettings{}));
    const std::string a(488, 'a'), b(300, 'b');
    ASSERT_TRUE(t.peer.send(a + "\r\n" + b));
    ASSERT_TRUE(poll_until(t, [&] { return t.s.open; }));  // b's bytes, at the pause
    ASSERT_TRUE(t.peer.send(b + "\n"));
    ASSERT_TRUE(poll_until(t, [&] { return !t.s.open && t.s.count_received == 1091u; }));
    EXPECT_EQ(after_start(t), a + "\n" + b + b + "\n");
    kxport_close(15);
}

// Binary frames in the hex view, cut only by the silence between them: one
// line and one stamp each, a LF in them being data.
TEST(Session, BinaryFramesEndAtThePauseEachWithItsStamp)
{
    qxsettings settings;
    settings.timestamps = true;
    settings.show = qxshow::hex;
    settings.frames_by_pause = true;
    settings.pause_ms = 20;
    Sending t;
    ASSERT_TRUE(t.start(16, settings));
    const int b = t.pane->term->cy;
    const std::string frame("\x01\x03\x0a\x00\x0d\x0a\x01\x02\x0a\x0a\xc5\xcd", 12);
    std::thread device([&] {
        for (int i = 0; i < 3; i++) {
            t.peer.send(frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const bool shown = poll_until(t, [&] { return t.pane->term->cy >= b + 3; });
    device.join();
    ASSERT_TRUE(shown);
    std::string screen;
    for (int n = b; n < b + 3; n++) {
        EXPECT_EQ(t.pane->line(n).substr(13), "01 03 0A 00 0D 0A 01 02 0A 0A C5 CD");
        if (n > b) {  // 50 ms apart
            EXPECT_LT(stamp_of(t.pane->line(n - 1)), stamp_of(t.pane->line(n)));
        }
        screen += t.pane->line(n) + "\n";
    }
    EXPECT_EQ(after_start(t), screen);
    kxport_close(16);
}

// With no pause a line waits for its end, but the program's end and the
// device's loss show and log it before anything else.
TEST(Session, APartialLineIsLoggedAtTheEndAndAtTheDevicesLoss)
{
    qxsettings settings;
    settings.pause_ms = 0;
    Sending t;
    ASSERT_TRUE(t.start(17, settings));
    ASSERT_TRUE(t.peer.send("Passwort: "));
    ASSERT_TRUE(poll_until(t, [&] { return t.s.count_received == 10u; }));
    EXPECT_EQ(t.pane->term->cy, 1);  // nothing shown yet
    qxsession_end(&t.s);
    EXPECT_EQ(after_start(t), "Passwort: \n");

    ASSERT_TRUE(t.peer.send("Rest"));
    ASSERT_TRUE(poll_until(t, [&] { return t.s.count_received == 14u; }));
    t.peer.stop();
    ASSERT_TRUE(poll_until(t, [&] { return t.s.lost; }));
    const std::string logged = after_start(t);
    EXPECT_EQ(logged.substr(0, logged.find("Verbindung zu COM17")), "Passwort: \nRest\n");
}
#endif
