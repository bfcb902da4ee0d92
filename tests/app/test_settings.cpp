// The settings file's keys and the views of received lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "io/terminal.h"
#include "lineview.h"
#include "settings.h"

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
    EXPECT_EQ(joined(qxline_received(nul, V::text)), "AB");
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
