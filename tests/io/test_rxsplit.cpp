// Received bytes into lines and frames: line ends, the pause, long lines,
// and pieces of one line given out at the caller's cuts.
#include "io/rxsplit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Piece {
    std::string bytes;
    int stamp, at;
    bool first, ended;
};

struct RxSplit : testing::Test {
    kxsplitter s;
    std::vector<Piece> got;

    static void take(void *to, const kxsplitpiece &p)
    {
        static_cast<RxSplit *>(to)->got.push_back({std::string(p.bytes), p.stamp, p.at, p.first,
                                                 p.ended});
    }
    void feed(const std::string &b, int t) { kxsplit_feed(&s, b, 1000 + t, t, take, this); }
    void due(int t) { kxsplit_due(&s, t, take, this); }
};

} // namespace

TEST_F(RxSplit, LinesEndAtCrLfOrBothAndKeepTheirEnds)
{
    kxsplit_init(&s, kxsplitends::lines, 100);
    feed("a\rb\nc\r\n\r\n", 5);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].bytes, "a\r");
    EXPECT_EQ(got[1].bytes, "b\n");
    EXPECT_EQ(got[2].bytes, "c\r\n");
    EXPECT_EQ(got[3].bytes, "\r\n");
    for (const Piece &p : got) {
        EXPECT_TRUE(p.first && p.ended);
        EXPECT_EQ(p.stamp, 1005);
    }
    EXPECT_EQ(kxsplit_wait(&s, 5), -1);
    EXPECT_FALSE(kxsplit_open(&s));
}

// A prompt is given out once quiet for the pause; its rest joins the same
// line with the stamp of the first byte.
TEST_F(RxSplit, APartialLineIsGivenOutAtThePauseAndContinued)
{
    kxsplit_init(&s, kxsplitends::lines, 100);
    feed("log", 0);
    feed("in: ", 30);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(kxsplit_wait(&s, 60), 70);
    due(129);
    EXPECT_TRUE(got.empty());
    due(130);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, "login: ");
    EXPECT_TRUE(got[0].first);
    EXPECT_FALSE(got[0].ended);
    EXPECT_EQ(kxsplit_wait(&s, 130), -1);  // one wake-up: nothing more is due
    EXPECT_TRUE(kxsplit_open(&s));
    feed("root\r\nnext", 500);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].bytes, "root\r\n");
    EXPECT_FALSE(got[1].first);
    EXPECT_TRUE(got[1].ended);
    EXPECT_EQ(got[1].stamp, 1000);
    EXPECT_EQ(got[1].at, 1500);
    EXPECT_EQ(kxsplit_wait(&s, 500), 100);
}

TEST_F(RxSplit, ALongLineReadInPartsIsOneLine)
{
    kxsplit_init(&s, kxsplitends::lines, 100);
    const std::string line(488, 'x');
    feed(line.substr(0, 256), 0);
    feed(line.substr(256) + "\n", 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, line + "\n");

    // Only the hold's limit gives out part of a line without a pause.
    got.clear();
    feed(std::string(KX_SPLIT_HELD_MAX + 5, 'y'), 2);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes.size(), KX_SPLIT_HELD_MAX);
    EXPECT_FALSE(got[0].ended);
}

// Without a pause a line waits for its end, as it always did; the program's
// end still gives it out.
TEST_F(RxSplit, NoPauseWaitsForTheLineEndButFinishGivesTheRest)
{
    kxsplit_init(&s, kxsplitends::lines, 0);
    feed("> ", 0);
    EXPECT_EQ(kxsplit_wait(&s, 0), -1);
    due(100000);
    EXPECT_TRUE(got.empty());
    kxsplit_finish(&s, take, this);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, "> ");
    EXPECT_TRUE(got[0].first && got[0].ended);
    kxsplit_finish(&s, take, this);  // nothing open: nothing given
    EXPECT_EQ(got.size(), 1u);

    // A frame by silence needs a pause: without one, lines end as ever.
    kxsplit_init(&s, kxsplitends::pause, 0);
    feed("a\nb", 0);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].bytes, "a\n");
}

// Binary frames: 0x0A is data, the silence ends each frame, each with its
// own stamp, also when the caller comes late for the pause.
TEST_F(RxSplit, FramesEndOnlyAtThePause)
{
    kxsplit_init(&s, kxsplitends::pause, 20);
    const std::string frame("\x01\x03\x0a\x0d\x00\x0a\x01\x02\x0a\x0a\xc5\xcd", 12);
    feed(frame.substr(0, 5), 0);
    feed(frame.substr(5), 3);
    due(22);
    EXPECT_TRUE(got.empty());
    due(23);
    feed(frame, 73);
    feed(frame, 200);  // nobody came at 93: the frame ends before these bytes
    due(220);
    ASSERT_EQ(got.size(), 3u);
    for (const Piece &p : got) {
        EXPECT_EQ(p.bytes, frame);
        EXPECT_TRUE(p.first && p.ended);
    }
    EXPECT_EQ(got[0].stamp, 1000);
    EXPECT_EQ(got[1].stamp, 1073);
    EXPECT_EQ(got[2].stamp, 1200);
}

// A row sent mid-line: what came before it is given out, the line stays
// open, and a frame released so still ends at the pause.
TEST_F(RxSplit, ReleaseGivesOutWhatIsHeldAndTheLineGoesOn)
{
    kxsplit_init(&s, kxsplitends::pause, 50);
    feed("AB", 0);
    kxsplit_release(&s, take, this);
    kxsplit_release(&s, take, this);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FALSE(got[0].ended);
    EXPECT_EQ(kxsplit_wait(&s, 10), 40);
    feed("C", 20);
    due(70);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].bytes, "C");
    EXPECT_FALSE(got[1].first);
    EXPECT_TRUE(got[1].ended);
    EXPECT_EQ(got[1].stamp, 1000);
    EXPECT_EQ(got[1].at, 1020);

    // Released with nothing after it: the frame's end is an empty piece.
    feed("D", 100);
    kxsplit_release(&s, take, this);
    kxsplit_finish(&s, take, this);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[3].bytes, "");
    EXPECT_TRUE(got[3].ended);
    EXPECT_FALSE(kxsplit_open(&s));
}
