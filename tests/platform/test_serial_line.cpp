// Framing, flow control and control lines of POSIX serial devices: the
// mapping of a line onto termios, what a pseudo-terminal keeps of it, and
// the control-line actions against a double of the host's line calls.
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <tuple>
#include <vector>

#include "base/reason.h"
#include "core/language.h"
#include "io/port.h"
#include "io/portline.h"
#include "linecalls.h"
#include "platform/posix/serialterm.h"
#include "serialpeer.h"
#include "support.h"

namespace {

// The termios of a line from an all-zero start; false when refused.
bool mapped(const kxserialline &line, struct termios *t, std::string *why = nullptr,
            tcflag_t cmspar = POSIX_CMSPAR)
{
    *t = termios{};
    std::string ignored;
    return posix_line_totermios(line, cmspar, t, why ? why : &ignored);
}

kxserialline with_databits(int bits)
{
    kxserialline l;
    l.databits = bits;
    return l;
}

} // namespace

TEST(SerialTermios, TheDefaultLineIsRaw8N1AsBefore)
{
    // The settings every port had before a line could be chosen.
    struct termios before {};
    cfmakeraw(&before);
    before.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    before.c_iflag |= IGNBRK;
    before.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    before.c_cflag |= CS8 | CREAD | CLOCAL;
    before.c_cc[VMIN] = 1;
    before.c_cc[VTIME] = 0;
    struct termios now {};
    ASSERT_TRUE(mapped(kxserialline{}, &now));
    EXPECT_EQ(std::memcmp(&before, &now, sizeof now), 0);
}

TEST(SerialTermios, DataBits)
{
    const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    for (int bits = 5; bits <= 8; bits++) {
        struct termios t {};
        ASSERT_TRUE(mapped(with_databits(bits), &t));
        EXPECT_EQ(t.c_cflag & CSIZE, sizes[bits - 5]) << bits;
        EXPECT_EQ(posix_line_fromtermios(t, POSIX_CMSPAR).databits, bits);
    }
    for (int bits : {0, 4, 9}) {
        struct termios t {};
        std::string why;
        EXPECT_FALSE(mapped(with_databits(bits), &t, &why));
        EXPECT_EQ(why, "databits=" + std::to_string(bits));
    }
}

TEST(SerialTermios, ParityIncludingMarkAndSpace)
{
    const struct {
        kxparity parity;
        tcflag_t flags;
    } rows[] = {
        {kxparity::none, 0},
        {kxparity::odd, PARENB | PARODD},
        {kxparity::even, PARENB},
        {kxparity::mark, PARENB | PARODD | POSIX_CMSPAR},
        {kxparity::space, PARENB | POSIX_CMSPAR},
    };
    const tcflag_t all = PARENB | PARODD | POSIX_CMSPAR;
    for (const auto &r : rows) {
        kxserialline l;
        l.parity = r.parity;
        struct termios t {};
        ASSERT_TRUE(mapped(l, &t));
        EXPECT_EQ(t.c_cflag & all, r.flags) << static_cast<int>(r.parity);
        EXPECT_EQ(posix_line_fromtermios(t, POSIX_CMSPAR).parity, r.parity);
        // Received bytes are passed on as they come, not checked.
        EXPECT_EQ(t.c_iflag & (INPCK | ISTRIP), 0u);
    }
    // A system without CMSPAR refuses mark and space and takes the rest.
    for (kxparity p : {kxparity::mark, kxparity::space}) {
        kxserialline l;
        l.parity = p;
        struct termios t {};
        std::string why;
        EXPECT_FALSE(mapped(l, &t, &why, 0));
        EXPECT_EQ(why, std::string("parity=") + (p == kxparity::mark ? "mark" : "space") +
                           ": the system has no CMSPAR");
    }
    kxserialline odd;
    odd.parity = kxparity::odd;
    struct termios t {};
    EXPECT_TRUE(mapped(odd, &t, nullptr, 0));
    kxserialline bad;
    bad.parity = static_cast<kxparity>(7);
    std::string why;
    EXPECT_FALSE(mapped(bad, &t, &why));
    EXPECT_EQ(why, "parity=7");
}

TEST(SerialTermios, StopBits)
{
    for (int stop : {1, 2}) {
        kxserialline l;
        l.stopbits = stop;
        struct termios t {};
        ASSERT_TRUE(mapped(l, &t));
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, stop == 2);
        EXPECT_EQ(posix_line_fromtermios(t, POSIX_CMSPAR).stopbits, stop);
    }
    kxserialline l;
    l.stopbits = 3;
    struct termios t {};
    std::string why;
    EXPECT_FALSE(mapped(l, &t, &why));
    EXPECT_EQ(why, "stopbits=3");
}

TEST(SerialTermios, FlowControl)
{
    kxserialline l;
    struct termios t {};
    l.flow = kxflow::rtscts;
    ASSERT_TRUE(mapped(l, &t));
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(posix_line_fromtermios(t, POSIX_CMSPAR).flow, kxflow::rtscts);

    l.flow = kxflow::xonxoff;
    ASSERT_TRUE(mapped(l, &t));
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 0x11);
    EXPECT_EQ(t.c_cc[VSTOP], 0x13);
    EXPECT_EQ(posix_line_fromtermios(t, POSIX_CMSPAR).flow, kxflow::xonxoff);

    l.flow = static_cast<kxflow>(3);
    std::string why;
    EXPECT_FALSE(mapped(l, &t, &why));
    EXPECT_EQ(why, "flow=3");
}

TEST(SerialTermios, EveryLineReadsBackAsItWasSet)
{
    for (int bits = 5; bits <= 8; bits++)
        for (int p = 0; p <= 4; p++)
            for (int stop = 1; stop <= 2; stop++)
                for (int f = 0; f <= 2; f++) {
                    kxserialline l;
                    l.databits = bits;
                    l.parity = static_cast<kxparity>(p);
                    l.stopbits = stop;
                    l.flow = static_cast<kxflow>(f);
                    struct termios t {};
                    ASSERT_TRUE(mapped(l, &t));
                    EXPECT_EQ(posix_line_fromtermios(t, POSIX_CMSPAR), l) << kxport_linename(l);
                }
}

TEST(SerialTermios, FramesAreNamedAsTerminalsNameThem)
{
    kxserialline l;
    EXPECT_EQ(kxport_linename(l), "8N1");
    l.databits = 7, l.parity = kxparity::even, l.stopbits = 2, l.flow = kxflow::rtscts;
    EXPECT_EQ(kxport_linename(l), "7E2 RTS/CTS");
    l.parity = kxparity::space, l.flow = kxflow::xonxoff;
    EXPECT_EQ(kxport_linename(l), "7S2 XON/XOFF");
    l.parity = kxparity::mark;
    EXPECT_EQ(kxport_frame(l), "7M2");
}

// ------------------------------------------------- a pseudo-terminal device

struct SerialLine : testing::Test {
    kxtest_ptydevice dev;
    void SetUp() override
    {
        kxtest_headless();
        kxlanguage_set(KX_LANG_GERMAN);
        ASSERT_TRUE(dev.start(5));
    }
    void TearDown() override
    {
        kxport_close(5);
        kxport_setline(5, kxserialline{});
    }
};

TEST_F(SerialLine, APseudoTerminalKeepsSpeedStopBitsAndFlowControl)
{
    kxserialline l;
    l.stopbits = 2;
    l.flow = kxflow::rtscts;
    kxport_setline(5, l);
    ASSERT_TRUE(kxport_open(5, 57600));
    struct termios t = dev.settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(kxport_linechange(5), "");

    // A new rate and line on the open device, which goes on.
    l.stopbits = 1;
    l.flow = kxflow::xonxoff;
    ASSERT_TRUE(kxport_reconfigure(5, 19200, l));
    t = dev.settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(t.c_iflag & IXON, 0u);
    EXPECT_EQ(kxserial_status(4)->baud, 19200);
    EXPECT_TRUE(kxport_puts(5, "go"));
    EXPECT_EQ(dev.receive(2), "go");
}

TEST_F(SerialLine, AFramingTheDriverChangesSilentlyIsReadBackNotRefused)
{
    // A pseudo-terminal always runs at 8 bits without parity.
    kxserialline l;
    l.databits = 7;
    l.parity = kxparity::even;
    kxport_setline(5, l);
    ASSERT_TRUE(kxport_open(5, 9600));
    EXPECT_EQ(kxserial_keptline(4).databits, 8);
    EXPECT_EQ(kxserial_keptline(4).parity, kxparity::none);
    EXPECT_EQ(kxport_linechange(5), "8N1");
    // Asked for as it is kept: no change to tell.
    ASSERT_TRUE(kxport_reconfigure(5, 9600, kxserialline{}));
    EXPECT_EQ(kxport_linechange(5), "");
}

TEST_F(SerialLine, ARefusedLineFailsTheOpenOrLeavesTheOpenPortAsItWas)
{
    kxport_setline(5, with_databits(9));
    std::string out = kxtest_stdout([] { EXPECT_FALSE(kxport_open(5, 9600)); });
    EXPECT_FALSE(kxserial_isopen(4));
    EXPECT_EQ(kxport_problem(5), "Einstellungen vom Treiber abgelehnt (databits=9)");
    EXPECT_NE(out.find("Einstellungen vom Treiber abgelehnt (databits=9)"), std::string::npos);

    kxport_setline(5, kxserialline{});
    ASSERT_TRUE(kxport_open(5, 38400));
    kxserialline bad;
    bad.stopbits = 3;
    EXPECT_FALSE(kxport_reconfigure(5, 115200, bad));
    EXPECT_EQ(kxport_problem(5), "Einstellungen vom Treiber abgelehnt (stopbits=3)");
    EXPECT_FALSE(kxport_reconfigure(5, -5, kxserialline{}));
    EXPECT_EQ(kxport_problem(5), "Baudrate -5 vom Treiber abgelehnt");
    struct termios t = dev.settings();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    EXPECT_EQ(kxport_line(5), kxserialline{});
    EXPECT_TRUE(kxport_puts(5, "ok"));
    EXPECT_EQ(dev.receive(2), "ok");
    // A port that is not open takes nothing.
    kxport_close(5);
    EXPECT_FALSE(kxport_reconfigure(5, 9600, kxserialline{}));
}

TEST_F(SerialLine, APseudoTerminalHasNoControlLinesAndSaysSo)
{
    ASSERT_TRUE(kxport_open(5, 9600));
    kxmodemlines m;
    EXPECT_EQ(kxport_modemlines(5, &m), kxlinecall::nolines);
    EXPECT_EQ(kxport_setcontrol(5, kxcontrol::dtr, false), kxlinecall::nolines);
    EXPECT_EQ(kxport_pulse(5, kxcontrol::rts, 1), kxlinecall::nolines);
    EXPECT_EQ(kxport_break(5, 1), kxlinecall::nolines);
    // Nothing failed: the port is as it was.
    EXPECT_EQ(kxport_problem(5), "");
    kxport_close(5);
    EXPECT_EQ(kxport_setcontrol(5, kxcontrol::dtr, true), kxlinecall::failed);
    EXPECT_EQ(kxport_modemlines(5, &m), kxlinecall::failed);
    EXPECT_EQ(kxport_setcontrol(0, kxcontrol::dtr, true), kxlinecall::failed);
}

// ------------------------------------------------- a double of the line calls

using LineCall = kxtest_linecall;
using FakeLines = kxtest_linecalls;

TEST_F(SerialLine, TheLinesAtOpenAreRaisedTogetherAndDroppedTogether)
{
    FakeLines fake;
    ASSERT_TRUE(kxport_open(5, 9600));
    EXPECT_EQ(FakeLines::calls, (std::vector<LineCall>{{TIOCMBIS, TIOCM_DTR | TIOCM_RTS}}));

    FakeLines::calls.clear();
    kxserialline l;
    l.dtr = false;
    ASSERT_TRUE(kxport_reconfigure(5, 9600, l));
    EXPECT_EQ(FakeLines::calls, (std::vector<LineCall>{{TIOCMBIS, TIOCM_RTS}, {TIOCMBIC, TIOCM_DTR}}));

    FakeLines::calls.clear();
    l.rts = false;
    kxport_setline(5, l);
    ASSERT_TRUE(kxport_open(5, 9600));
    EXPECT_EQ(FakeLines::calls, (std::vector<LineCall>{{TIOCMBIC, TIOCM_DTR | TIOCM_RTS}}));

    // A driver that fails them fails the open.
    FakeLines::fail_with = EIO;
    EXPECT_FALSE(kxport_open(5, 9600));
    EXPECT_EQ(kxport_problem(5), std::string("Einstellungen vom Treiber abgelehnt (") +
                                     kxreason_text(EIO) + ")");
}

TEST_F(SerialLine, SwitchesPulsesAndBreakReachTheLineCallsInOrder)
{
    ASSERT_TRUE(kxport_open(5, 9600));
    FakeLines fake;
    EXPECT_EQ(kxport_setcontrol(5, kxcontrol::dtr, false), kxlinecall::done);
    EXPECT_EQ(kxport_setcontrol(5, kxcontrol::rts, true), kxlinecall::done);
    EXPECT_EQ(kxport_pulse(5, kxcontrol::dtr, 5), kxlinecall::done);
    EXPECT_EQ(kxport_pulse(5, kxcontrol::rts, 5), kxlinecall::done);
    EXPECT_EQ(kxport_break(5, 5), kxlinecall::done);
    const std::vector<LineCall> want = {
        {TIOCMBIC, TIOCM_DTR}, {TIOCMBIS, TIOCM_RTS},                      // switches
        {TIOCMBIC, TIOCM_DTR}, {TIOCMBIS, TIOCM_DTR},                      // DTR pulse
        {TIOCMBIC, TIOCM_RTS}, {TIOCMBIS, TIOCM_RTS},                      // RTS pulse
        {TIOCMGET, 0},         {static_cast<unsigned long>(TIOCSBRK), 0},  // BREAK
        {TIOCCBRK, 0},
    };
    EXPECT_EQ(FakeLines::calls, want);

    FakeLines::modem_bits = TIOCM_CTS | TIOCM_CAR;
    kxmodemlines m;
    ASSERT_EQ(kxport_modemlines(5, &m), kxlinecall::done);
    EXPECT_EQ(m, (kxmodemlines{true, false, true, false}));
    FakeLines::modem_bits = TIOCM_DSR | TIOCM_RNG;
    ASSERT_EQ(kxport_modemlines(5, &m), kxlinecall::done);
    EXPECT_EQ(m, (kxmodemlines{false, true, false, true}));

    // A failing call is a failure with its reason; a pulse whose drop failed
    // does not raise the line.
    FakeLines::calls.clear();
    FakeLines::fail_with = EIO;
    EXPECT_EQ(kxport_pulse(5, kxcontrol::dtr, 5), kxlinecall::failed);
    EXPECT_EQ(FakeLines::calls.size(), 1u);
    EXPECT_EQ(kxport_problem(5), std::string(kxreason_text(EIO)));
}
