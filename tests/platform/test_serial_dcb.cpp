// A line's settings as the fields of the Win32 device control block: the
// pure mapping the Win32 host copies into its DCB, tested on every host.
#include <gtest/gtest.h>

#include "platform/serialdcb.h"

namespace {

kxdcbfields fields(const kxserialline &line, int baud = 9600)
{
    kxdcbfields d;
    char why[64] = {};
    EXPECT_TRUE(kxdcb_fromline(line, baud, &d, why, sizeof why)) << why;
    return d;
}

std::string refusal(const kxserialline &line)
{
    kxdcbfields d;
    char why[64] = {};
    EXPECT_FALSE(kxdcb_fromline(line, 9600, &d, why, sizeof why));
    return why;
}

} // namespace

TEST(SerialDcb, TheDefaultLineIsTheFixedBlockOfBefore)
{
    kxdcbfields want;
    want.baud = 115200;
    want.bytesize = 8;
    want.parity = KX_DCB_NOPARITY;
    want.stopbits = KX_DCB_ONESTOPBIT;
    want.dtr_control = want.rts_control = KX_DCB_CONTROL_ENABLE;
    EXPECT_EQ(fields(kxserialline{}, 115200), want);
    EXPECT_EQ(kxdcb_toline(want), kxserialline{});
}

TEST(SerialDcb, ByteSize)
{
    for (int bits = 5; bits <= 8; bits++) {
        kxserialline l;
        l.databits = bits;
        EXPECT_EQ(fields(l).bytesize, bits);
        EXPECT_EQ(kxdcb_toline(fields(l)).databits, bits);
    }
    kxserialline l;
    l.databits = 4;
    EXPECT_EQ(refusal(l), "databits=4");
    l.databits = 9;
    EXPECT_EQ(refusal(l), "databits=9");
}

TEST(SerialDcb, ParityIncludingMarkAndSpace)
{
    const std::pair<kxparity, int> rows[] = {
        {kxparity::none, KX_DCB_NOPARITY},   {kxparity::odd, KX_DCB_ODDPARITY},
        {kxparity::even, KX_DCB_EVENPARITY}, {kxparity::mark, KX_DCB_MARKPARITY},
        {kxparity::space, KX_DCB_SPACEPARITY},
    };
    for (auto [parity, code] : rows) {
        kxserialline l;
        l.parity = parity;
        EXPECT_EQ(fields(l).parity, code);
        EXPECT_EQ(kxdcb_toline(fields(l)).parity, parity);
    }
    kxserialline l;
    l.parity = static_cast<kxparity>(5);
    EXPECT_EQ(refusal(l), "parity=5");
}

TEST(SerialDcb, StopBitsWithOneAndAHalfAfterFiveDataBits)
{
    kxserialline l;
    EXPECT_EQ(fields(l).stopbits, KX_DCB_ONESTOPBIT);
    l.stopbits = 2;
    EXPECT_EQ(fields(l).stopbits, KX_DCB_TWOSTOPBITS);
    EXPECT_EQ(kxdcb_toline(fields(l)).stopbits, 2);
    l.databits = 5;
    EXPECT_EQ(fields(l).stopbits, KX_DCB_ONE5STOPBITS);
    EXPECT_EQ(kxdcb_toline(fields(l)).stopbits, 2);
    l.stopbits = 0;
    EXPECT_EQ(refusal(l), "stopbits=0");
}

TEST(SerialDcb, FlowControl)
{
    kxserialline l;
    l.flow = kxflow::rtscts;
    kxdcbfields d = fields(l);
    EXPECT_TRUE(d.outx_cts);
    EXPECT_EQ(d.rts_control, KX_DCB_HANDSHAKE);
    EXPECT_FALSE(d.outx || d.inx);
    EXPECT_EQ(kxdcb_toline(d).flow, kxflow::rtscts);

    l.flow = kxflow::xonxoff;
    d = fields(l);
    EXPECT_FALSE(d.outx_cts);
    EXPECT_EQ(d.rts_control, KX_DCB_CONTROL_ENABLE);
    EXPECT_TRUE(d.outx && d.inx);
    EXPECT_EQ(d.xon, 0x11);
    EXPECT_EQ(d.xoff, 0x13);
    EXPECT_EQ(kxdcb_toline(d).flow, kxflow::xonxoff);

    l.flow = static_cast<kxflow>(9);
    EXPECT_EQ(refusal(l), "flow=9");
}

TEST(SerialDcb, DtrAndRtsAtOpen)
{
    kxserialline l;
    l.dtr = false;
    kxdcbfields d = fields(l);
    EXPECT_EQ(d.dtr_control, KX_DCB_CONTROL_DISABLE);
    EXPECT_EQ(d.rts_control, KX_DCB_CONTROL_ENABLE);
    l.rts = false;
    d = fields(l);
    EXPECT_EQ(d.rts_control, KX_DCB_CONTROL_DISABLE);
    EXPECT_EQ(kxdcb_toline(d), l);
    // The handshake drives RTS whatever its state at open.
    l.flow = kxflow::rtscts;
    EXPECT_EQ(fields(l).rts_control, KX_DCB_HANDSHAKE);
}
