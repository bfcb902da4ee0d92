// ANSI/ECMA-48 escape-sequence decoder: bytes in, a queue of character and
// command results out, for a character terminal.
#pragma once

#include <cstdint>

constexpr int KX_ANSI_SEQ_SIZE = 52;  // 51 bytes after ESC and a NUL
constexpr int KX_ANSI_SEQ_MAX = KX_ANSI_SEQ_SIZE - 1;
constexpr int KX_ANSI_RING = 64;  // a sequence given up as characters, and a byte more
constexpr int KX_ANSI_PARAMS = 5;
static_assert(KX_ANSI_RING > KX_ANSI_SEQ_SIZE, "an unfinished sequence fits the ring");
// Unrecognised sequences: the first few are reported one by one, the rest
// as a count, at most one line a second.
constexpr int KX_ANSI_REPORTS = 5;
constexpr int KX_ANSI_REPORT_MS = 1000;

// Result codes of kxansi_next.
enum : int {
    KX_ANSI_NONE = 0,
    KX_ANSI_CHAR = 1,        // the character
    KX_ANSI_RESET = 2,       // all attributes off (first parameter 0)
    KX_ANSI_FG = 3,          // foreground colour 0..8
    KX_ANSI_BG = 4,          // background colour 0..8
    KX_ANSI_RESET_LATER = 5, // a 0 later in the parameter list
    KX_ANSI_BOLD = 6,
    KX_ANSI_FG_DEFAULT = 7,
    KX_ANSI_BG_DEFAULT = 8,
    KX_ANSI_INVERSE = 9,
    KX_ANSI_ERASE_EOL = 10,
    KX_ANSI_ERASE_SOL = 11,
    KX_ANSI_ERASE_LINE = 12,
    KX_ANSI_ERASE_EOS = 13,
    KX_ANSI_ERASE_SCREEN = 14,
    KX_ANSI_COLUMN = 15,     // from 1
    KX_ANSI_LINE = 16,       // from 1
    KX_ANSI_AUTOWRAP = 17,   // 1 on, 0 off
    KX_ANSI_CURSOR_SHOW = 18,
    KX_ANSI_APP_KEYS = 19,
    KX_ANSI_INSERT = 20,
    KX_ANSI_SAVE = 21,
    KX_ANSI_RESTORE = 22,
    KX_ANSI_FORWARD = 23,    // count
    KX_ANSI_BACK = 24,
    KX_ANSI_UP = 25,
    KX_ANSI_DOWN = 26,
    KX_ANSI_ERASE_CHARS = 27,
    KX_ANSI_INSERT_CHARS = 28,
    KX_ANSI_DELETE_CHARS = 29,
};

struct kxAnsiDecoder {
    char seq[KX_ANSI_SEQ_SIZE];  // bytes after ESC
    std::int32_t seqlen;
    std::uint8_t shifted;    // SO seen: line-drawing letters become ASCII
    std::uint8_t in_escape;
    std::uint8_t codes[KX_ANSI_RING];
    std::uint8_t values[KX_ANSI_RING];
    std::int32_t count, readpos, writepos;
    std::int32_t reported;    // sequences reported one by one
    std::int32_t unreported;  // sequences since the last report line
    std::int64_t report_ms;   // when the last report line was printed
};

void kxansi_init(kxAnsiDecoder *d);
// Decodes one byte.  At most five results come from one byte; when the
// ring is full, further results are dropped.
void kxansi_feed(kxAnsiDecoder *d, int byte);
// The next result code and its value, or KX_ANSI_NONE when none waits.
int kxansi_next(kxAnsiDecoder *d, int *value);
// A byte that is a character by itself in the ground state, with no result
// waiting: the KX_ANSI_CHAR value that feeding it would give, and the byte
// counts as decoded.  Otherwise -1, and the byte is to be fed.
int kxansi_plain(const kxAnsiDecoder *d, int byte);
// Returns to the ground state where a piece of text must leave it (a
// received line that is not to reach into the next): a sequence left
// unfinished is no sequence, and its bytes, ESC first, wait as characters,
// to come out before the results of the next byte fed; a shift ends.
void kxansi_finish(kxAnsiDecoder *d);
// Reports the count of unrecognised sequences not reported yet, once a
// second has passed since the last report line.  Called now and then by the
// owner, so that the count of a burst is not held back until the next one.
void kxansi_tick(kxAnsiDecoder *d);
