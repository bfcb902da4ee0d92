// Escape-sequence decoding: ground state, escape state, and the control
// sequences a serial terminal meets.
#include "io/escape.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr std::uint8_t ESC = 0x1B;
constexpr std::uint8_t SO = 0x0E;
constexpr std::uint8_t SI = 0x0F;
// Parameters are compared up to this size; larger ones stay at it.
constexpr long PARAM_CAP = 1000000;

// Line-drawing letters shown while shifted out.
struct LineDrawRow {
    char letter, ascii;
};
constexpr LineDrawRow line_drawing[] = {
    {'L', '+'}, {'T', '+'}, {'j', '+'}, {'k', '+'}, {'l', '+'}, {'m', '+'}, {'n', '+'},
    {'t', '+'}, {'u', '+'}, {'v', '+'}, {'w', '+'}, {'a', '#'}, {'q', '-'}, {'x', '|'},
};

// One parameter: its size for comparisons and its value modulo 256, which
// is what a result can carry.
struct Param {
    long size = 0;
    int low = 0;
};

struct Csi {
    Param p[KX_ANSI_PARAMS];
    int count = 1;
    char final = 0;
};

void add(kxAnsiDecoder *d, int code, int value)
{
    if (d->count >= KX_ANSI_RING)
        return;
    d->codes[d->writepos] = static_cast<std::uint8_t>(code);
    d->values[d->writepos] = static_cast<std::uint8_t>(value & 0xFF);
    d->writepos = (d->writepos + 1) % KX_ANSI_RING;
    d->count++;
}

int shift_out(int c)
{
    for (const LineDrawRow &r : line_drawing)
        if (c == static_cast<unsigned char>(r.letter))
            return static_cast<unsigned char>(r.ascii);
    return c;
}

bool csi_final(int c) { return (c >= '@' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '~'; }

Csi parse(const char *text)
{
    Csi s;
    int index = 0;
    for (const char *t = text; *t; t++) {
        char c = *t;
        if (c >= '0' && c <= '9') {
            if (index < KX_ANSI_PARAMS) {
                Param &p = s.p[index];
                p.size = p.size * 10 + (c - '0');
                if (p.size > PARAM_CAP)
                    p.size = PARAM_CAP;
                p.low = (p.low * 10 + (c - '0')) & 0xFF;
            }
        } else if (c == ';') {
            index++;
            if (index < KX_ANSI_PARAMS)
                s.count = index + 1;
        } else {
            s.final = c;
        }
    }
    return s;
}

// The report keeps to one line: control bytes are shown as \xNN.
void report_one(const char *text)
{
    char shown[KX_ANSI_SEQ_SIZE * 4 + 1];
    int n = 0;
    for (const char *t = text; *t; t++) {
        unsigned char c = static_cast<unsigned char>(*t);
        if (c < 0x20 || c == 0x7F)
            n += std::snprintf(shown + n, sizeof shown - static_cast<std::size_t>(n), "\\x%02X", c);
        else
            shown[n++] = static_cast<char>(c);
    }
    shown[n] = 0;
    std::printf("AnsiDecoder not recognized: %s\n", shown);
}

void report_count(kxAnsiDecoder *d)
{
    std::int64_t now = kxsys_ticks();
    if (d->unreported == 0 || now - d->report_ms < KX_ANSI_REPORT_MS)
        return;
    std::printf("AnsiDecoder not recognized: %d more sequences\n", d->unreported);
    d->unreported = 0;
    d->report_ms = now;
}

// A noisy device sends thousands of them: the first few are shown, then
// only how many followed.
void report(kxAnsiDecoder *d, const char *text)
{
    if (d->reported < KX_ANSI_REPORTS) {
        d->reported++;
        d->report_ms = kxsys_ticks();
        report_one(text);
        return;
    }
    d->unreported++;
    report_count(d);
}

void graphic_rendition(kxAnsiDecoder *d, const Csi &s)
{
    if (s.p[0].size == 0) {
        add(d, KX_ANSI_RESET, 0);
        return;
    }
    for (int i = 0; i < s.count; i++) {
        long p = s.p[i].size;
        if (p >= 30 && p <= 38)
            add(d, KX_ANSI_FG, static_cast<int>(p - 30));
        else if (p >= 40 && p <= 48)
            add(d, KX_ANSI_BG, static_cast<int>(p - 40));
        else if (p == 0)
            add(d, KX_ANSI_RESET_LATER, 0);
        else if (p == 1)
            add(d, KX_ANSI_BOLD, 0);
        else if (p == 39)
            add(d, KX_ANSI_FG_DEFAULT, 0);
        else if (p == 49)
            add(d, KX_ANSI_BG_DEFAULT, 0);
        else if (p == 7 || p == 27)
            add(d, KX_ANSI_INVERSE, 0);
    }
}

void set_mode(kxAnsiDecoder *d, const Csi &s, const char *text, int on)
{
    long p = s.p[0].size;
    if (text[1] == '?') {
        if (p == 1)
            add(d, KX_ANSI_APP_KEYS, on);
        else if (p == 7)
            add(d, KX_ANSI_AUTOWRAP, on);
        else if (p == 25)
            add(d, KX_ANSI_CURSOR_SHOW, on);
        else if (p != 47 && p != 1000 && p != 1047 && p != 1048)
            report(d, text);
    } else if (p == 4) {
        add(d, KX_ANSI_INSERT, on);
    } else {
        report(d, text);
    }
}

void soft_reset(kxAnsiDecoder *d, const char *text)
{
    if (text[1] != '!')
        return;
    d->shifted = 0;
    add(d, KX_ANSI_APP_KEYS, 0);
    add(d, KX_ANSI_AUTOWRAP, 0);
    add(d, KX_ANSI_CURSOR_SHOW, 1);
    add(d, KX_ANSI_INSERT, 1);
}

// text is the whole sequence after ESC, starting with "[".
void control_sequence(kxAnsiDecoder *d, const char *text)
{
    Csi s = parse(text + 1);
    long first = s.p[0].size;
    int v1 = s.p[0].low;
    switch (s.final) {
    case 'm': graphic_rendition(d, s); break;
    case 'K':
        if (first <= 2)
            add(d, KX_ANSI_ERASE_EOL + static_cast<int>(first), 0);
        break;
    case 'J':
        if (first == 0)
            add(d, KX_ANSI_ERASE_EOS, 0);
        else if (first == 2)
            add(d, KX_ANSI_ERASE_SCREEN, 0);
        break;
    case 'H':
        add(d, KX_ANSI_COLUMN, s.p[1].low);
        add(d, KX_ANSI_LINE, v1);
        break;
    case 'G': add(d, KX_ANSI_COLUMN, v1); break;
    case 'd': add(d, KX_ANSI_LINE, v1); break;
    case 'A': add(d, KX_ANSI_UP, v1); break;
    case 'B': add(d, KX_ANSI_DOWN, v1); break;
    case 'C': add(d, KX_ANSI_FORWARD, v1); break;
    case 'D': add(d, KX_ANSI_BACK, v1); break;
    case 'X': add(d, KX_ANSI_ERASE_CHARS, v1); break;
    case '@': add(d, KX_ANSI_INSERT_CHARS, v1); break;
    case 'P': add(d, KX_ANSI_DELETE_CHARS, v1); break;
    case 's': add(d, KX_ANSI_SAVE, 0); break;
    case 'u': add(d, KX_ANSI_RESTORE, 0); break;
    case 'h': set_mode(d, s, text, 1); break;
    case 'l': set_mode(d, s, text, 0); break;
    case 'p': soft_reset(d, text); break;
    case 'g':
    case 'r': break;
    default: report(d, text); break;
    }
}

void leave_escape(kxAnsiDecoder *d)
{
    d->in_escape = 0;
    d->seqlen = 0;
}

void escape_byte(kxAnsiDecoder *d, int c)
{
    d->seq[d->seqlen++] = static_cast<char>(c);
    d->seq[d->seqlen] = 0;
    switch (d->seq[0]) {
    case '[':
        if (d->seqlen > 1 && csi_final(c)) {
            leave_escape(d);
            control_sequence(d, d->seq);
        } else if (d->seqlen >= KX_ANSI_SEQ_MAX) {
            leave_escape(d);  // never completed: abandoned
        }
        break;
    case '(':
    case ')':
        if (d->seqlen >= 2)
            leave_escape(d);
        break;
    case static_cast<char>(ESC):
        leave_escape(d);
        add(d, KX_ANSI_CHAR, ESC);
        break;
    default: leave_escape(d); break;
    }
}

} // namespace

void kxansi_init(kxAnsiDecoder *d) { std::memset(d, 0, sizeof *d); }

void kxansi_feed(kxAnsiDecoder *d, int byte)
{
    int c = byte & 0xFF;
    if (d->in_escape) {
        escape_byte(d, c);
        return;
    }
    if (c == SO) {
        d->shifted = 1;
    } else if (c == SI) {
        d->shifted = 0;
    } else if (c == ESC) {
        d->in_escape = 1;
        d->seqlen = 0;
    } else {
        add(d, KX_ANSI_CHAR, d->shifted ? shift_out(c) : c);
    }
}

void kxansi_finish(kxAnsiDecoder *d)
{
    if (d->in_escape) {
        add(d, KX_ANSI_CHAR, ESC);
        for (int i = 0; i < d->seqlen; i++)
            add(d, KX_ANSI_CHAR, static_cast<unsigned char>(d->seq[i]));
        leave_escape(d);
    }
    d->shifted = 0;
}

int kxansi_plain(const kxAnsiDecoder *d, int byte)
{
    const int c = byte & 0xFF;
    if (d->in_escape || d->count > 0 || c == SO || c == SI || c == ESC)
        return -1;
    return d->shifted ? shift_out(c) : c;
}

int kxansi_next(kxAnsiDecoder *d, int *value)
{
    if (d->count <= 0)
        return KX_ANSI_NONE;
    int code = d->codes[d->readpos];
    if (value)
        *value = d->values[d->readpos];
    d->readpos = (d->readpos + 1) % KX_ANSI_RING;
    d->count--;
    return code;
}

void kxansi_tick(kxAnsiDecoder *d) { report_count(d); }
