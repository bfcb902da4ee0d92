// What the main window says of its port: the title, the footer line and the
// dialog's first sentence.
#include <gtest/gtest.h>

#include "control.h"
#include "dialog.h"
#include "session.h"

TEST(Control, TheTitleNamesPortRateFramingAndFlowControl)
{
    qxsettings s;
    s.port = 3;
    s.baud = 115200;
    EXPECT_EQ(qxcontrol_title(s), "Quenlorix - COM3 115200 8N1");
    s.line.databits = 7;
    s.line.parity = kxparity::even;
    s.line.flow = kxflow::rtscts;
    EXPECT_EQ(qxcontrol_title(s), "Quenlorix - COM3 115200 7E1 RTS/CTS");
}

TEST(Control, TheFooterShowsTheStateAndEachLineOnOrOff)
{
    qxsession session;
    session.settings.port = 3;
    qxcontrol c;
    c.session = &session;
    // Before the input lines were read: the output lines alone.
    EXPECT_EQ(qxcontrol_footer(&c), "COM3 offen   DTR RTS");
    c.read = true;
    c.dtr = false;
    c.modem.cts = c.modem.dcd = true;
    EXPECT_EQ(qxcontrol_footer(&c), "COM3 offen   dtr RTS   CTS dsr DCD ri");
    c.modem = {false, true, false, true};
    c.rts = false;
    EXPECT_EQ(qxcontrol_footer(&c), "COM3 offen   dtr rts   cts DSR dcd RI");
    c.nolines = true;
    EXPECT_EQ(qxcontrol_footer(&c), "COM3 offen   keine Steuerleitungen");
    session.lost = true;
    EXPECT_EQ(qxcontrol_footer(&c), "COM3 getrennt - warte auf das Ger\xe4t");
}

// The byte counters follow the session a few times a second, not per byte.
TEST(Control, TheCountersAreTakenAtMostEveryQuarterSecond)
{
    qxsession session;
    qxcontrol c;
    c.session = &session;
    EXPECT_EQ(qxcontrol_counters(&c), "gesendet 0  empfangen 0");
    session.count_sent = 12;
    session.count_received = 4294967301u;  // past 32 bits
    ASSERT_TRUE(qxcontrol_count(&c, 1000));
    EXPECT_EQ(qxcontrol_counters(&c), "gesendet 12  empfangen 4294967301");
    session.count_sent = 13;
    EXPECT_FALSE(qxcontrol_count(&c, 1000 + QX_COUNT_MS - 1));
    EXPECT_EQ(c.sent, 12u);
    EXPECT_TRUE(qxcontrol_count(&c, 1000 + QX_COUNT_MS));
    EXPECT_EQ(c.sent, 13u);
}

TEST(Control, TheDialogsFirstSentenceSaysWhatTheFramingIs)
{
    kxserialline l;
    const std::string always = "Die Schnittstelle ist immer mit 8 Datenbits, einem Start- und "
                               "einen Stopp-Bit sowie ohne Parit\xe4t konfiguriert.";
    EXPECT_EQ(qxdialog_sentence(l), always);
    // Flow control and the lines at open are no part of the framing.
    l.flow = kxflow::xonxoff;
    l.dtr = false;
    EXPECT_EQ(qxdialog_sentence(l), always);
    l.databits = 7;
    l.parity = kxparity::even;
    EXPECT_EQ(qxdialog_sentence(l), "Die Schnittstelle ist mit 7 Datenbits, einem Start- und "
                                    "einem Stopp-Bit sowie gerader Parit\xe4t konfiguriert.");
    l.databits = 8;
    l.parity = kxparity::none;
    l.stopbits = 2;
    EXPECT_EQ(qxdialog_sentence(l), "Die Schnittstelle ist mit 8 Datenbits, einem Start- und "
                                    "zwei Stopp-Bits sowie ohne Parit\xe4t konfiguriert.");
    l.databits = 5;
    l.parity = kxparity::mark;
    EXPECT_EQ(qxdialog_sentence(l), "Die Schnittstelle ist mit 5 Datenbits, einem Start- und "
                                    "anderthalb Stopp-Bits sowie Mark-Parit\xe4t (immer 1) "
                                    "konfiguriert.");
    l.parity = kxparity::space;
    l.stopbits = 1;
    EXPECT_NE(qxdialog_sentence(l).find("einem Stopp-Bit sowie Space-Parit\xe4t (immer 0)"),
              std::string::npos);
    l.parity = kxparity::odd;
    EXPECT_NE(qxdialog_sentence(l).find("ungerader Parit\xe4t"), std::string::npos);
}
