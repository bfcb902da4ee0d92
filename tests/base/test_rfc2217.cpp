// The RFC 2217 client fed bytes: negotiation as ser2net opens it, IAC
// escaping both ways, commands and the server's answers, sequences split
// between feeds.
#include "base/rfc2217.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using bytes = std::basic_string<unsigned char>;

constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WILL = 251, SB = 250, SE = 240;

bytes out_of(kxrfc2217 *t)
{
    unsigned char buf[KX_RFC2217_OUTBOX];
    return bytes(buf, static_cast<std::size_t>(kxrfc2217_take(t, buf, sizeof buf)));
}

// Feeds in pieces of `piece` bytes; the data that came out.
bytes feed(kxrfc2217 *t, const bytes &in, std::size_t piece = 4096)
{
    bytes data;
    for (std::size_t at = 0; at < in.size(); at += piece) {
        const bytes part = in.substr(at, piece);
        unsigned char buf[4096];
        int n = kxrfc2217_feed(t, part.data(), static_cast<int>(part.size()), buf);
        data.append(buf, static_cast<std::size_t>(n));
    }
    return data;
}

bytes answer(unsigned char code, bytes value)
{
    return bytes{IAC, SB, 44, code} + value + bytes{IAC, SE};
}

// What ser2net 4 sends as a client connects to a telnet(rfc2217) port.
const bytes SER2NET_OPENING = {IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 1, IAC, DONT, 1,
                               IAC, DO, 0,   IAC, WILL, 0, IAC, DO, 44};

} // namespace

TEST(Rfc2217, NegotiatesAsSer2netExpectsWholeOrBytewise)
{
    for (std::size_t piece : {std::size_t{4096}, std::size_t{1}}) {
        kxrfc2217 t;
        kxrfc2217_start(&t);
        EXPECT_EQ(out_of(&t),
                  (bytes{IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 44}));
        EXPECT_TRUE(feed(&t, SER2NET_OPENING, piece).empty());
        // Only the echo is refused: every other offer answers our own request.
        EXPECT_EQ(out_of(&t), (bytes{IAC, DONT, 1}));
        EXPECT_TRUE(t.comport);
        EXPECT_FALSE(t.declined);
        // An option never heard of, offered either way, is refused once.
        feed(&t, {IAC, WILL, 99, IAC, DO, 99, IAC, DONT, 99}, piece);
        EXPECT_EQ(out_of(&t), (bytes{IAC, DONT, 99, IAC, 252, 99}));
    }
}

TEST(Rfc2217, ByteFFTravelsDoubledBothWays)
{
    const unsigned char raw[] = {'A', 0xFF, 0xFF, 'B', 0xFF};
    unsigned char out[2 * sizeof raw];
    int n = kxrfc2217_escape(raw, sizeof raw, out);
    EXPECT_EQ(bytes(out, static_cast<std::size_t>(n)),
              (bytes{'A', IAC, IAC, IAC, IAC, 'B', IAC, IAC}));

    kxrfc2217 t;
    kxrfc2217_start(&t);
    const bytes wire = {'A', IAC, IAC, IAC, IAC, 'B', IAC, IAC, IAC, 241 /* NOP */, 'C'};
    EXPECT_EQ(feed(&t, wire), (bytes{'A', 0xFF, 0xFF, 'B', 0xFF, 'C'}));
    for (std::size_t piece = 1; piece <= 3; piece++)
        EXPECT_EQ(feed(&t, wire, piece), (bytes{'A', 0xFF, 0xFF, 'B', 0xFF, 'C'})) << piece;
}

TEST(Rfc2217, CommandsWaitForTheOptionThenGoEscaped)
{
    kxrfc2217 t;
    kxrfc2217_start(&t);
    out_of(&t);
    kxrfc2217line line;
    line.baud = 115200;
    kxrfc2217_setline(&t, line);
    EXPECT_TRUE(out_of(&t).empty());  // the server has not taken COM-PORT-OPTION yet
    EXPECT_FALSE(kxrfc2217_settled(&t));
    feed(&t, {IAC, DO, 44});
    const bytes sent = out_of(&t);
    EXPECT_EQ(sent.substr(0, 10), (bytes{IAC, SB, 44, 1, 0x00, 0x01, 0xC2, 0x00, IAC, SE}));
    EXPECT_NE(sent.find(answer(2, {8})), bytes::npos);
    EXPECT_NE(sent.find(answer(3, {1})), bytes::npos);
    EXPECT_NE(sent.find(answer(5, {8})), bytes::npos);   // DTR on
    EXPECT_NE(sent.find(answer(5, {11})), bytes::npos);  // RTS on
    // The modem-state mask 0xFF is doubled inside the sub-negotiation.
    EXPECT_NE(sent.find(bytes{IAC, SB, 44, 11, IAC, IAC, IAC, SE}), bytes::npos);
}

TEST(Rfc2217, AnswersSettleOrNameTheRefusal)
{
    kxrfc2217 t;
    kxrfc2217_start(&t);
    feed(&t, {IAC, DO, 44});
    kxrfc2217line line;
    line.baud = 115200;
    line.parity = KX_RFC2217_PARITY_EVEN;
    kxrfc2217_setline(&t, line);
    // Answers split between feeds; DTR and RTS stay unanswered, as a
    // server without modem lines leaves them.
    const bytes answers = answer(101, {0x00, 0x01, 0xC2, 0x00}) + answer(102, {8}) +
                          answer(103, {3}) + answer(104, {1});
    feed(&t, answers, 5);
    EXPECT_FALSE(kxrfc2217_settled(&t));
    feed(&t, answer(105, {1}));
    EXPECT_TRUE(kxrfc2217_settled(&t));
    EXPECT_STREQ(t.refused, "");

    // A rate the server changes, and a control line it refuses.
    kxrfc2217_set(&t, kxrfc2217set::baud, 250000);
    feed(&t, answer(101, {0x00, 0x03, 0x84, 0x00}));
    EXPECT_STREQ(t.refused, "SET-BAUDRATE 250000 -> 230400");
    EXPECT_EQ(t.answered[static_cast<int>(kxrfc2217set::baud)], 230400);

    kxrfc2217 u;
    kxrfc2217_start(&u);
    feed(&u, {IAC, DO, 44});
    kxrfc2217_set(&u, kxrfc2217set::dtr, 1);
    feed(&u, answer(105, {9}));
    EXPECT_STREQ(u.refused, "SET-CONTROL DTR-ON -> DTR-OFF");
    kxrfc2217 v;
    kxrfc2217_start(&v);
    feed(&v, {IAC, DO, 44});
    kxrfc2217_set(&v, kxrfc2217set::parity, KX_RFC2217_PARITY_ODD);
    feed(&v, answer(103, {1}));
    EXPECT_STREQ(v.refused, "SET-PARITY ODD -> NONE");
}

TEST(Rfc2217, NoticesDeclineAndBadInput)
{
    kxrfc2217 t;
    kxrfc2217_start(&t);
    // A modem state of 0xFF comes doubled; a sub-negotiation too long to
    // keep is skipped without harm to the data around it.
    bytes wire = bytes{'x'} + answer(107, {IAC, IAC}) + bytes{'y', IAC, SB, 44, 107};
    wire += bytes(KX_RFC2217_SUB * 2, 0x10);
    wire += bytes{IAC, SE, 'z'};
    EXPECT_EQ(feed(&t, wire, 2), (bytes{'x', 'y', 'z'}));
    EXPECT_EQ(t.modem, 0xFF);
    feed(&t, answer(108, {}));
    EXPECT_TRUE(t.suspended);

    feed(&t, {IAC, DONT, 44});
    EXPECT_TRUE(t.declined);
    EXPECT_FALSE(kxrfc2217_settled(&t));

    // Noise from a server that speaks no Telnet: no crash, no overflow.
    std::mt19937 rng(2217);
    bytes noise(20000, 0);
    for (unsigned char &c : noise)
        c = static_cast<unsigned char>(rng() % 8 == 0 ? 0xF0 + rng() % 16 : rng());
    kxrfc2217 u;
    kxrfc2217_start(&u);
    EXPECT_LE(feed(&u, noise, 97).size(), noise.size());
    EXPECT_LE(u.outlength, KX_RFC2217_OUTBOX);
}
