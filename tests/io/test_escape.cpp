// The escape-sequence decoder: the listed sequences, and hostile input.
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "io/escape.h"
#include "support.h"

namespace {

using Results = std::vector<std::pair<int, int>>;

Results decode(kxAnsiDecoder *d, const std::string &bytes)
{
    Results r;
    for (unsigned char c : bytes) {
        kxansi_feed(d, c);
        int v = -1;
        for (int code; (code = kxansi_next(d, &v)) != KX_ANSI_NONE;)
            r.push_back({code, v});
    }
    return r;
}

Results decode(const std::string &bytes)
{
    kxAnsiDecoder d;
    kxansi_init(&d);
    return decode(&d, bytes);
}

} // namespace

TEST(Escape, GraphicRendition)
{
    EXPECT_EQ(decode("\x1b[0;31m"), (Results{{2, 0}}));
    EXPECT_EQ(decode("\x1b[31;1m"), (Results{{3, 1}, {6, 0}}));
    EXPECT_EQ(decode("\x1b[m"), (Results{{2, 0}}));
    EXPECT_EQ(decode("\x1b[38;48;39;49;7;27;0;5m"),
              (Results{{3, 8}, {4, 8}, {7, 0}, {8, 0}, {9, 0}}));  // only 5 parameters
    EXPECT_EQ(decode("\x1b[1;;44m"), (Results{{6, 0}, {5, 0}, {4, 4}}));
}

TEST(Escape, EraseAndCursor)
{
    EXPECT_EQ(decode("\x1b[K\x1b[1K\x1b[2K\x1b[3K"), (Results{{10, 0}, {11, 0}, {12, 0}}));
    EXPECT_EQ(decode("\x1b[J\x1b[1J\x1b[2J"), (Results{{13, 0}, {14, 0}}));
    EXPECT_EQ(decode("\x1b[5;12H"), (Results{{15, 12}, {16, 5}}));
    EXPECT_EQ(decode("\x1b[7G\x1b[3d"), (Results{{15, 7}, {16, 3}}));
    EXPECT_EQ(decode("\x1b[1A\x1b[2B\x1b[3C\x1b[4D"), (Results{{25, 1}, {26, 2}, {23, 3}, {24, 4}}));
    EXPECT_EQ(decode("\x1b[2X\x1b[3@\x1b[4P\x1b[s\x1b[u"),
              (Results{{27, 2}, {28, 3}, {29, 4}, {21, 0}, {22, 0}}));
    EXPECT_EQ(decode("\x1b[300C"), (Results{{23, 300 % 256}}));
    EXPECT_EQ(decode("\x1b[2;4r\x1b[g"), Results{});
}

TEST(Escape, ModesAndSoftReset)
{
    EXPECT_EQ(decode("\x1b[?25l"), (Results{{18, 0}}));
    EXPECT_EQ(decode("\x1b[?1h\x1b[?7l\x1b[4h\x1b[4l"), (Results{{19, 1}, {17, 0}, {20, 1}, {20, 0}}));
    std::string out;
    out = kxtest_stdout([] { EXPECT_EQ(decode("\x1b[?47h\x1b[?1000l\x1b[?1047h\x1b[?1048l"), Results{}); });
    EXPECT_EQ(out, "");
    out = kxtest_stdout([] { EXPECT_EQ(decode("\x1b[?3h\x1b[5l"), Results{}); });
    EXPECT_EQ(out, "AnsiDecoder not recognized: [?3h\nAnsiDecoder not recognized: [5l\n");
    kxAnsiDecoder d;
    kxansi_init(&d);
    decode(&d, "\x0e");
    EXPECT_EQ(decode(&d, "\x1b[!p" "q"), (Results{{19, 0}, {17, 0}, {18, 1}, {20, 1}, {1, 'q'}}));
    EXPECT_EQ(decode("\x1b[p"), Results{});
}

TEST(Escape, OtherEscapesAndShiftOut)
{
    EXPECT_EQ(decode("\x1b\x1b"), (Results{{1, 27}}));
    EXPECT_EQ(decode("\x1b(Bx\x1b)0y"), (Results{{1, 'x'}, {1, 'y'}}));
    EXPECT_EQ(decode("\x1b" "7\x1b" "8\x1b=\x1b>\x1b" "cz"), (Results{{1, 'z'}}));
    EXPECT_EQ(decode("\x0elqk\x0fq"), (Results{{1, '+'}, {1, '-'}, {1, '+'}, {1, 'q'}}));
    EXPECT_EQ(decode("\x0e" "axLTjmntuvwZ"),
              (Results{{1, '#'}, {1, '|'}, {1, '+'}, {1, '+'}, {1, '+'}, {1, '+'}, {1, '+'},
                       {1, '+'}, {1, '+'}, {1, '+'}, {1, '+'}, {1, 'Z'}}));
    std::string out = kxtest_stdout([] { EXPECT_EQ(decode("\x1b[5~"), Results{}); });
    EXPECT_EQ(out, "AnsiDecoder not recognized: [5~\n");
    // Control bytes in a reported sequence keep the report on one line.
    out = kxtest_stdout([] { decode("\x1b[1\n\x1b~"); });
    EXPECT_EQ(out, "AnsiDecoder not recognized: [1\\x0A\\x1B~\n");
}

TEST(Escape, UnrecognisedSequencesAreCountedAfterTheFirstFew)
{
    kxAnsiDecoder d;
    kxansi_init(&d);
    std::string burst, first;
    for (int i = 0; i < 100; i++)
        burst += "\x1b[" + std::to_string(i) + "~";
    for (int i = 0; i < KX_ANSI_REPORTS; i++)
        first += "AnsiDecoder not recognized: [" + std::to_string(i) + "~\n";
    std::string out = kxtest_stdout([&] { decode(&d, burst); });
    d.report_ms -= KX_ANSI_REPORT_MS;  // as if a second had passed
    out += kxtest_stdout([&] { kxansi_tick(&d); });
    ASSERT_EQ(out.substr(0, first.size()), first);
    // The others as a count: one line, or two if the burst itself took a second.
    int counted = 0, n = 0, lines = 0;
    std::istringstream rest(out.substr(first.size()));
    for (std::string l; std::getline(rest, l); lines++)
        if (std::sscanf(l.c_str(), "AnsiDecoder not recognized: %d more sequences", &n) == 1)
            counted += n;
    EXPECT_EQ(counted, 100 - KX_ANSI_REPORTS);
    EXPECT_LE(lines, 2);
    EXPECT_EQ(kxtest_stdout([&] { kxansi_tick(&d); }), "");  // nothing left to count
}

TEST(Escape, HostileSequencesStayBounded)
{
    // Huge numbers: compared at their size, carried modulo 256 (10^40 - 1).
    EXPECT_EQ(decode("\x1b[" + std::string(40, '9') + "C"), (Results{{23, 255}}));
    EXPECT_EQ(decode("\x1b[" + std::string(40, '9') + ";30m"), (Results{{3, 0}}));
    // A long parameter list: five are kept.
    std::string list;
    for (int i = 0; i < 20; i++)
        list += "1;";
    EXPECT_EQ(decode("\x1b[" + list + "m"), (Results(5, {6, 0})));
    // Never completed: abandoned at 51 bytes, then ground state again.
    kxAnsiDecoder d;
    kxansi_init(&d);
    EXPECT_EQ(decode(&d, "\x1b[" + std::string(50, '1')), Results{});
    EXPECT_EQ(d.in_escape, 0);
    EXPECT_EQ(decode(&d, "12"), (Results{{1, '1'}, {1, '2'}}));
    // A caller that never takes results loses the newest, not the ring.
    kxansi_init(&d);
    for (int i = 0; i < 100; i++)
        kxansi_feed(&d, 'a' + i % 26);
    EXPECT_EQ(d.count, KX_ANSI_RING);
    int v = 0;
    EXPECT_EQ(kxansi_next(&d, &v), 1);
    EXPECT_EQ(v, 'a');
}

TEST(Escape, RandomBytesKeepTheInvariants)
{
    std::mt19937 rng(20261208);
    const char *pieces[] = {"\x1b[", "\x1b[?", "\x1b[!", ";", "\x1b(", "\x1b", "\x0e", "\x0f",
                            "999999999999", "m", "H", "h", "l", "p", "~"};
    kxAnsiDecoder d;
    kxansi_init(&d);
    long results = 0;
    std::string out = kxtest_stdout([&] {
        for (int round = 0; round < 20000; round++) {
            std::string chunk;
            int n = static_cast<int>(rng() % 100);
            for (int i = 0; i < n; i++) {
                if (rng() % 4 == 0)
                    chunk += pieces[rng() % std::size(pieces)];
                else
                    chunk += static_cast<char>(rng() & 0xFF);
            }
            for (unsigned char c : chunk) {
                kxansi_feed(&d, c);
                ASSERT_LE(d.count, 5);
                ASSERT_GE(d.seqlen, 0);
                ASSERT_LE(d.seqlen, KX_ANSI_SEQ_MAX);
                int v = 0;
                for (int code; (code = kxansi_next(&d, &v)) != KX_ANSI_NONE; results++) {
                    ASSERT_GE(code, 1);
                    ASSERT_LE(code, 29);
                    ASSERT_GE(v, 0);
                    ASSERT_LE(v, 255);
                }
                ASSERT_EQ(d.count, 0);
            }
            // One final byte brings any escape back to the ground state.
            kxansi_feed(&d, 'm');
            ASSERT_EQ(d.in_escape, 0);
            while (kxansi_next(&d, nullptr) != KX_ANSI_NONE) {
            }
        }
    });
    EXPECT_GT(results, 100000);
    // Every report is one line of its own.
    std::size_t at = 0, lines = 0;
    while ((at = out.find('\n', at)) != std::string::npos) {
        at++;
        lines++;
        if (at < out.size()) {
            ASSERT_EQ(out.compare(at, 12, "AnsiDecoder "), 0);
        }
    }
    EXPECT_GT(lines, 0u);
}

// Bytes taken by the plain-character shortcut decode as feeding them would.
TEST(Escape, ThePlainShortcutGivesWhatFeedingGives)
{
    std::mt19937 rng(20261209);
    const char *pieces[] = {"\x1b[", "\x1b[31m", "\x1b(", "\x1b", "\x0e", "\x0f", "lqk", "m"};
    std::string bytes;
    for (int i = 0; i < 20000; i++) {
        if (rng() % 4 == 0)
            bytes += pieces[rng() % std::size(pieces)];
        else
            bytes += static_cast<char>(rng() & 0xFF);
    }
    kxAnsiDecoder fed, mixed;
    kxansi_init(&fed);
    kxansi_init(&mixed);
    Results shortcut;
    int taken = 0;
    std::string out = kxtest_stdout([&] {
        for (unsigned char c : bytes) {
            if (int plain = kxansi_plain(&mixed, c); plain >= 0) {
                shortcut.push_back({KX_ANSI_CHAR, plain});
                taken++;
                continue;
            }
            kxansi_feed(&mixed, c);
            int v = -1;
            for (int code; (code = kxansi_next(&mixed, &v)) != KX_ANSI_NONE;)
                shortcut.push_back({code, v});
        }
    });
    Results full;
    out = kxtest_stdout([&] { full = decode(&fed, bytes); });
    EXPECT_EQ(shortcut, full);
    EXPECT_GT(taken, 10000);
    EXPECT_LT(taken, static_cast<int>(bytes.size()));
}
