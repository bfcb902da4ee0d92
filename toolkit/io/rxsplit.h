// Received bytes cut into the lines, or frames, a terminal shows.  A line
// ends at CR, LF or CR LF; with frames cut by silence, a frame ends only
// when the device has been quiet for the pause, and a CR or LF is data.
// Nothing waits for a line end forever: the bytes of an incomplete line
// are given out once quiet for the pause, and its rest later, as pieces of
// the same line.  A line longer than anything read at once stays one line:
// pieces are cut only by the pause, by the caller (a row sent in between,
// the end of a batch) or by a held part reaching KX_SPLIT_HELD_MAX.
//
// The splitter is fed bytes and times only: it reads no port and starts no
// timer.  Its caller wakes once for kxsplit_wait and calls kxsplit_due.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr int KX_SPLIT_PAUSE_DEFAULT = 100;   // ms
constexpr int KX_SPLIT_PAUSE_MAX = 60000;
constexpr std::size_t KX_SPLIT_HELD_MAX = 20480;  // bytes held before a piece is given out

enum class kxsplitends : std::uint8_t {
    lines,  // at CR, LF or CR LF
    pause,  // only when quiet for the pause (as lines when the pause is 0)
};

struct kxsplitpiece {
    std::string_view bytes;  // the line end included, where one ended it
    int stamp = 0;     // time of day in ms at which the line's first byte came
    int at = 0;        // the same for this piece's first byte
    bool first = false;  // no earlier piece of the line was given out
    bool ended = false;  // the line or frame is complete with this piece
};

// Takes each piece as it is given out; the bytes are valid during the call.
using kxsplitout = void (*)(void *to, const kxsplitpiece &piece);

struct kxsplitter {
    kxsplitends ends = kxsplitends::lines;
    int pause_ms = KX_SPLIT_PAUSE_DEFAULT;  // 0: a line waits for its end
    std::string held;      // bytes of the current line not given out yet
    bool begun = false;    // a piece of the current line was given out
    int stamp = 0;         // of the current line's first byte
    int at = 0;            // of the first held byte
    std::int64_t last = 0;  // when the last byte came, on the caller's clock
};

// A splitter that ends frames so and waits pause ms (cut to 0..KX_SPLIT_PAUSE_MAX).
void kxsplit_init(kxsplitter *s, kxsplitends ends, int pause_ms);
// Bytes read at daytime (the time of day in ms, for stamps) and ticks (a
// steady clock in ms, for the pause): every line they complete is given out.
void kxsplit_feed(kxsplitter *s, std::string_view bytes, int daytime, std::int64_t ticks,
                  kxsplitout out, void *to);
// Milliseconds from ticks until the held bytes are due; -1 when nothing is
// held or there is no pause.
int kxsplit_wait(const kxsplitter *s, std::int64_t ticks);
// Once the held bytes have been quiet for the pause: a piece that leaves
// the line open, or, with frames cut by silence, the frame's end.
void kxsplit_due(kxsplitter *s, std::int64_t ticks, kxsplitout out, void *to);
// Gives out what is held now, the line staying open: something else is to
// be shown after it (a row sent, the end of a batch).
void kxsplit_release(kxsplitter *s, kxsplitout out, void *to);
// Ends the open line with what is held (the program's end, the device's
// loss); a line with nothing held and nothing given out gives nothing.
void kxsplit_finish(kxsplitter *s, kxsplitout out, void *to);
// True while a line has been begun and not ended.
bool kxsplit_open(const kxsplitter *s);
