// The settings file's keys and the views of received lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "io/terminal.h"
#include "lineview.h"
#include "settings.h"
#include "support.h"

namespace {

// What a reader of the first line alone finds: the number after the first
// "port=" and "baud=".
int old_reader(const std::string &text, const char *key)
{
    const char *p = std::strstr(text.c_str(), key);
    return p ? std::atoi(p + std::strlen(key)) : -1;
}

std::string joined(const qxpieces &pieces)
{
    std::string s;
    for (const qxpiece &p : pieces)
        s += (p.colour == KX_TERM_NOTICE ? "{" : "") + p.text + (p.colour == KX_TERM_NOTICE ? "}" : "");
    return s;
}

TEST(Settings, NumbersOutOfRangeOrUnreadableKeepTheirDefaults)
{
    qxsettings s = qxsettings_parse("port=3 baud=19200\n");
    EXPECT_EQ(s.port, 3);
    EXPECT_EQ(s.baud, 19200);
    for (const char *bad : {"port=0   baud=0", "port=256   baud=-5", "port=x   baud=",
                            "port=99999999999999999999   baud=99999999999999999999"}) {
        s = qxsettings_parse(bad);
        EXPECT_EQ(s.port, 1) << bad;
        EXPECT_EQ(s.baud, QX_BAUD_DEFAULT) << bad;
    }
    s = qxsettings_parse("port=255   baud=2147483647\n");
    EXPECT_EQ(s.port, 255);
    EXPECT_EQ(s.baud, 2147483647);
}

// The settings are text: what a NUL or the size limit cuts off is not read,
// and a line says so.
TEST(Settings, TextAfterANulOrBeyondTheLimitIsNotReadAndSaysSo)
{
    const std::string file = kxtest_output_dir() + "/settings_cut.cfg";
    auto read = [&](const std::string &text, qxsettings *s) {
        std::ofstream(file, std::ios::binary) << text;
        return kxtest_stdout([&] { *s = qxsettings_read(file.c_str()); });
    };
    qxsettings s;
    EXPECT_EQ(read(std::string("port=3\0baud=19200\n", 18), &s),
              "quenlorix: " + file + ": nothing after the NUL byte at offset 6 is read\n");
    EXPECT_EQ(s.port, 3);
    EXPECT_EQ(s.baud, QX_BAUD_DEFAULT);
    const std::string big = "port=3   baud=19200\n" + std::string(70000, ' ') + "\nshow=hex\n";
    EXPECT_EQ(read(big, &s), "quenlorix: " + file + ": only the first 65535 of " +
                                 std::to_string(big.size()) + " bytes are read\n");
    EXPECT_EQ(s.baud, 19200);
    EXPECT_EQ(s.show, qxshow::text);
    EXPECT_EQ(read("port=3   baud=19200\nshow=hex\n", &s), "");
    EXPECT_EQ(s.show, qxshow::hex);
}

TEST(Settings, TheNewKeysAreLinesAfterTheOldOneAndOnlyWhenSet)
{
    qxsettings s;
    EXPECT_EQ(qxsettings_format(s), "port=1   baud=9600\n");
    s.port = 3;
    s.show = qxshow::both;
    s.timestamps = true;
    s.bound[3] = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0";
    s.bound[255] = "/dev/ttyACM0";
    const std::string text = qxsettings_format(s);
    EXPECT_EQ(text, "port=3   baud=9600\nshow=both\ntimestamps=1\n"
                    "com3=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0\n"
                    "com255=/dev/ttyACM0\n");
    EXPECT_EQ(old_reader(text, "port="), 3);
    EXPECT_EQ(old_reader(text, "baud="), 9600);
    qxsettings back = qxsettings_parse(text.c_str());
    EXPECT_EQ(qxsettings_format(back), text);

    // Keys that do not fit are left out; a CR at a line's end is no part of it.
    back = qxsettings_parse("show=HEX\ntimestamps=yes\ncom0=/a\ncom256=/b\ncomx=/c\ncom7=/d \r\n");
    EXPECT_EQ(back.show, qxshow::text);
    EXPECT_FALSE(back.timestamps);
    EXPECT_EQ(back.bound[7], "/d");
    EXPECT_EQ(qxsettings_format(back), "port=1   baud=9600\ncom7=/d\n");
}

TEST(Settings, ThePanesHistoryAndTheDevicesEncoding)
{
    qxsettings s = qxsettings_parse("port=1   baud=9600\nscrollback=100000\nencoding=utf-8\n");
    EXPECT_EQ(s.scrollback, QX_SCROLLBACK_MAX);
    EXPECT_TRUE(s.utf8);
    EXPECT_EQ(qxsettings_format(s), "port=1   baud=9600\nencoding=utf-8\nscrollback=100000\n");
    for (const char *bad : {"scrollback=100001\n", "scrollback=9\n", "scrollback=1e5\n"})
        EXPECT_EQ(qxsettings_parse(bad).scrollback, QX_SCROLLBACK_DEFAULT) << bad;
    EXPECT_FALSE(qxsettings_parse("encoding=UTF8\n").utf8);
    EXPECT_FALSE(qxsettings_parse("encoding=utf-8\nencoding=iso-8859-1\n").utf8);
}

// How rows are sent: written only when not the default, read back, and a
// value that does not fit keeps the default.
TEST(Settings, TheNotationAndTheLineEndAreWrittenOnlyWhenSet)
{
    qxsettings s;
    s.escapes = true;
    s.lineend = qxlineend::crlf;
    const std::string text = qxsettings_format(s);
    EXPECT_EQ(text, "port=1   baud=9600\nescapes=1\nlineend=crlf\n");
    const qxsettings back = qxsettings_parse(text.c_str());
    EXPECT_TRUE(back.escapes);
    EXPECT_EQ(back.lineend, qxlineend::crlf);
    for (qxlineend e : {qxlineend::cr, qxlineend::none})
        EXPECT_EQ(qxsettings_parse((std::string("lineend=") + qxlineend_name(e) + "\r\n").c_str()).lineend,
                  e);
    const qxsettings bad = qxsettings_parse("escapes=yes\nlineend=CR\n");
    EXPECT_FALSE(bad.escapes);
    EXPECT_EQ(bad.lineend, qxlineend::lf);
}

TEST(Settings, TheLineKeysAreWrittenOnlyWhenNotTheDefault)
{
    qxsettings s;
    s.baud = 1200;
    s.line.databits = 7;
    s.line.parity = kxparity::even;
    s.line.stopbits = 2;
    s.line.flow = kxflow::rtscts;
    s.line.dtr = false;
    s.line.rts = false;
    s.pulse_ms = 50;
    s.break_ms = 500;
    s.timestamps = true;
    const std::string text = qxsettings_format(s);
    EXPECT_EQ(text, "port=1   baud=1200\ndatabits=7\nparity=even\nstopbits=2\nflow=rtscts\n"
                    "dtr=0\nrts=0\npulse=50\nbreak=500\ntimestamps=1\n");
    EXPECT_EQ(old_reader(text, "baud="), 1200);
    qxsettings back = qxsettings_parse(text.c_str());
    EXPECT_EQ(back.line, s.line);
    EXPECT_EQ(back.pulse_ms, 50);
    EXPECT_EQ(back.break_ms, 500);
    EXPECT_EQ(qxsettings_format(back), text);

    for (const char *p : {"mark", "space", "odd"}) {
        back = qxsettings_parse((std::string("parity=") + p + "\nflow=xonxoff\n").c_str());
        EXPECT_STREQ(qxparity_name(back.line.parity), p);
        EXPECT_EQ(back.line.flow, kxflow::xonxoff);
    }

    // Values that do not fit keep the defaults: today's 8N1 with DTR and RTS up.
    back = qxsettings_parse("databits=9\nparity=MARK\nstopbits=3\nflow=hw\ndtr=2\nrts=\n"
                            "pulse=0\nbreak=99999\ndatabits=4x\nstopbits=-1\n");
    EXPECT_EQ(back.line, kxserialline{});
    EXPECT_EQ(back.pulse_ms, KX_PULSE_MS_DEFAULT);
    EXPECT_EQ(back.break_ms, KX_BREAK_MS_DEFAULT);
    EXPECT_EQ(qxsettings_format(back), "port=1   baud=9600\n");
    back = qxsettings_parse("databits=5\nstopbits=1\nflow=none\ndtr=1\nrts=0\n");
    EXPECT_EQ(back.line.databits, 5);
    EXPECT_TRUE(back.line.dtr);
    EXPECT_FALSE(back.line.rts);
    EXPECT_EQ(qxsettings_format(back), "port=1   baud=9600\ndatabits=5\nrts=0\n");
}

// The pause and the frames of the hex view: only when not the default; a
// value that does not fit keeps it.
TEST(Settings, ThePauseAndTheFramesAreWrittenOnlyWhenSet)
{
    qxsettings s;
    s.pause_ms = 0;
    s.frames_by_pause = true;
    const std::string text = qxsettings_format(s);
    EXPECT_EQ(text, "port=1   baud=9600\npause=0\nframes=pause\n");
    const qxsettings back = qxsettings_parse(text.c_str());
    EXPECT_EQ(back.pause_ms, 0);
    EXPECT_TRUE(back.frames_by_pause);
    const qxsettings bad = qxsettings_parse("pause=-5\nframes=PAUSE\n");
    EXPECT_EQ(bad.pause_ms, KX_SPLIT_PAUSE_DEFAULT);
    EXPECT_FALSE(bad.frames_by_pause);
    EXPECT_EQ(qxsettings_parse("pause=60001\n").pause_ms, KX_SPLIT_PAUSE_DEFAULT);
    EXPECT_FALSE(qxsettings_parse("frames=pause\nframes=lines\n").frames_by_pause);
}

TEST(Settings, PeriodsAndAnswerRulesAreLinesOfTheirOwn)
{
    qxsettings s;
    s.periods[3] = 500;
    s.periods[14] = QX_PERIOD_MAX;
    s.answers = {"2 RING", "5 /^\\+CMTI/"};
    const std::string text = qxsettings_format(s);
    EXPECT_EQ(text, "port=1   baud=9600\nperiod3=500\nperiod14=3600000\n"
                    "answer=2 RING\nanswer=5 /^\\+CMTI/\n");
    EXPECT_EQ(qxsettings_format(qxsettings_parse(text.c_str())), text);
    // A period out of its limits, or of no row, is left out.
    const qxsettings bad =
        qxsettings_parse("period1=9\nperiod2=3600001\nperiod0=50\nperiod15=50\nperiodx=50\n"
                         "period4=50 \r\nanswer=\n");
    EXPECT_EQ(qxsettings_format(bad), "port=1   baud=9600\nperiod4=50\n");
}

TEST(Settings, TheWindowSizeIsALineOnlyWhenNotItsOwnAndBadSizesKeepIt)
{
    qxsettings s;
    s.width = 1000, s.height = 800;
    const std::string text = qxsettings_format(s);
    EXPECT_EQ(text, "port=1   baud=9600\nsize=1000x800\n");
    qxsettings back = qxsettings_parse(text.c_str());
    EXPECT_EQ(back.width, 1000);
    EXPECT_EQ(back.height, 800);
    for (const char *bad : {"size=699x800\n", "size=1000x569\n", "size=1000\n", "size=x800\n",
                            "size=1000x800x2\n", "size=16385x800\n",
                            "size=99999999999999999999x800\n", "size=-1000x-800\n"}) {
        back = qxsettings_parse(bad);
        EXPECT_EQ(back.width, QX_WINDOW_XS) << bad;
        EXPECT_EQ(back.height, QX_WINDOW_YS) << bad;
    }
}

TEST(LineView, TextHexAndBothOfTheSameLines)
{
    using V = qxshow;
    const std::string crlf = "OK\r\n", nul("AB\0CD\n", 6), shift = "\x0e" "q\x1b[31m\x7f\xe4\x9f\n";
    EXPECT_EQ(joined(qxline_received(crlf, V::text)), "OK");
    EXPECT_EQ(joined(qxline_received(nul, V::text)), std::string("AB\0CD", 5));  // NUL no end
    EXPECT_TRUE(qxline_received("\r\n", V::text).empty());
    EXPECT_EQ(joined(qxline_received(crlf, V::hex)), "4F 4B 0D 0A");
    EXPECT_EQ(joined(qxline_received(nul, V::hex)), "41 42 00 43 44 0A");
    EXPECT_EQ(joined(qxline_received(crlf, V::both)), "OK{<0D><0A>}");
    EXPECT_EQ(joined(qxline_received(nul, V::both)), "AB{<00>}CD{<0A>}");
    EXPECT_EQ(joined(qxline_received(shift, V::both)), "{<0E>}q{<1B>}[31m{<7F>}\xe4{<9F><0A>}");
    EXPECT_EQ(qxline_received(crlf, V::both).front().colour, QX_RECEIVED_COLOUR);
    EXPECT_EQ(qxline_stamp(((12 * 60 + 34) * 60 + 56) * 1000 + 789), "12:34:56.789 ");
    EXPECT_EQ(qxline_stamp(0), "00:00:00.000 ");
}

} // namespace
