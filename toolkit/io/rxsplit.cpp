// Received bytes into lines and frames, by line end and by silence.
#include "io/rxsplit.h"

#include <algorithm>

namespace {

bool by_pause(const kxsplitter *s) { return s->ends == kxsplitends::pause && s->pause_ms > 0; }

// Gives out bytes as the next piece of the current line.
void give(kxsplitter *s, std::string_view bytes, bool ended, kxsplitout out, void *to)
{
    kxsplitpiece p;
    p.bytes = bytes;
    p.stamp = s->stamp;
    p.at = s->at;
    p.first = !s->begun;
    p.ended = ended;
    s->begun = !ended;
    out(to, p);
}

// The held bytes and more as one piece, the held ones first.
void give_held(kxsplitter *s, std::string_view more, bool ended, kxsplitout out, void *to)
{
    if (s->held.empty()) {
        give(s, more, ended, out, to);
        return;
    }
    s->held.append(more);
    // Taken out first: out may feed the splitter nothing, but it owns no copy.
    std::string bytes;
    bytes.swap(s->held);
    give(s, bytes, ended, out, to);
    bytes.clear();
    if (s->held.empty())
        bytes.swap(s->held);  // keeps the capacity for the next line
}

// Bytes that start or go on with the line: its stamps where it starts.
void note_start(kxsplitter *s, int daytime)
{
    if (!s->begun && s->held.empty())
        s->stamp = daytime;
    if (s->held.empty())
        s->at = daytime;
}

// Keeps bytes of an incomplete line, giving out a part that fills the hold.
void hold(kxsplitter *s, std::string_view bytes, int daytime, kxsplitout out, void *to)
{
    while (!bytes.empty()) {
        note_start(s, daytime);
        const std::size_t room = KX_SPLIT_HELD_MAX - s->held.size();
        const std::size_t n = std::min(room, bytes.size());
        s->held.append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        if (s->held.size() >= KX_SPLIT_HELD_MAX)
            give_held(s, {}, false, out, to);
    }
}

// The length of the line end at i (CR LF counts as one), 0 for none.
std::size_t end_at(std::string_view bytes, std::size_t i)
{
    if (bytes[i] == '\n')
        return 1;
    return i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
}

void feed_lines(kxsplitter *s, std::string_view bytes, int daytime, kxsplitout out, void *to)
{
    for (std::size_t cr; !bytes.empty() && (cr = bytes.find_first_of("\r\n")) != bytes.npos;) {
        // The held part, when joined by the rest, grows past the hold only
        // by what one feed brought.
        const std::size_t n = cr + end_at(bytes, cr);
        note_start(s, daytime);
        give_held(s, bytes.substr(0, n), true, out, to);
        bytes.remove_prefix(n);
    }
    hold(s, bytes, daytime, out, to);
}

} // namespace

void kxsplit_init(kxsplitter *s, kxsplitends ends, int pause_ms)
{
    *s = kxsplitter{};
    s->ends = ends;
    s->pause_ms = std::clamp(pause_ms, 0, KX_SPLIT_PAUSE_MAX);
}

void kxsplit_feed(kxsplitter *s, std::string_view bytes, int daytime, std::int64_t ticks,
                  kxsplitout out, void *to)
{
    if (bytes.empty())
        return;
    // The silence before these bytes may already have ended a frame.
    kxsplit_due(s, ticks, out, to);
    s->last = ticks;
    if (by_pause(s))
        hold(s, bytes, daytime, out, to);
    else
        feed_lines(s, bytes, daytime, out, to);
}

int kxsplit_wait(const kxsplitter *s, std::int64_t ticks)
{
    if (s->pause_ms <= 0 || (s->held.empty() && !(by_pause(s) && s->begun)))
        return -1;
    const std::int64_t left = s->last + s->pause_ms - ticks;
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, s->pause_ms));
}

void kxsplit_due(kxsplitter *s, std::int64_t ticks, kxsplitout out, void *to)
{
    if (kxsplit_wait(s, ticks) != 0)
        return;
    if (by_pause(s))
        kxsplit_finish(s, out, to);
    else
        kxsplit_release(s, out, to);
}

void kxsplit_release(kxsplitter *s, kxsplitout out, void *to)
{
    if (!s->held.empty())
        give_held(s, {}, false, out, to);
}

void kxsplit_finish(kxsplitter *s, kxsplitout out, void *to)
{
    if (s->held.empty() && !s->begun)
        return;
    give_held(s, {}, true, out, to);
}

bool kxsplit_open(const kxsplitter *s) { return s->begun || !s->held.empty(); }
