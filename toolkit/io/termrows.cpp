#include "io/termrows.h"

#include <algorithm>

namespace {

// A stored line: two bytes of length, then the cells, where byte 1 and two
// colour numbers change the colours of the cells that follow (characters
// are never below 32, so the mark cannot be one).
constexpr std::uint8_t COLOURS = 1;
constexpr int HEAD = 2;

std::unique_ptr<std::uint8_t[]> &slot(kxTermRows *r, int line)
{
    std::size_t i = static_cast<std::size_t>(r->first) + static_cast<std::size_t>(line);
    if (i >= r->rows.size())
        i -= r->rows.size();
    return r->rows[i];
}

bool blank(const kxTermCell &c) { return c.ch == ' ' && c.fg == 0 && c.bg == 0; }

// The ring grows by doubling up to the limit, no further.
void grow_to(kxTermRows *r, int count)
{
    const auto want = static_cast<std::size_t>(count);
    if (want > r->rows.capacity())
        r->rows.reserve(std::min<std::size_t>(std::max(want, r->rows.capacity() * 2),
                                              static_cast<std::size_t>(r->limit)));
    r->rows.resize(std::max(r->rows.size(), want));
}

} // namespace

void kxtermrows_reset(kxTermRows *r, int limit)
{
    std::vector<std::unique_ptr<std::uint8_t[]>>().swap(r->rows);
    r->first = 0;
    r->limit = std::max(limit, 1);
}

int kxtermrows_count(const kxTermRows *r) { return static_cast<int>(r->rows.size()); }

int kxtermrows_get(const kxTermRows *r, int line, kxTermCell *cells, int columns)
{
    std::fill_n(cells, columns, kxTermCell{});
    if (line < 0 || line >= kxtermrows_count(r))
        return 0;
    const std::uint8_t *p = slot(const_cast<kxTermRows *>(r), line).get();
    if (!p)
        return 0;
    const int length = p[0] | p[1] << 8;
    std::uint8_t fg = 0, bg = 0;
    int c = 0;
    for (int i = HEAD; i < length + HEAD && c < columns; i++) {
        if (p[i] == COLOURS && i + 2 < length + HEAD) {
            fg = p[i + 1];
            bg = p[i + 2];
            i += 2;
            continue;
        }
        cells[c++] = {p[i], fg, bg, 0};
    }
    return c;
}

void kxtermrows_set(kxTermRows *r, int line, const kxTermCell *cells, int columns)
{
    if (line < 0 || line >= r->limit)
        return;
    if (line >= kxtermrows_count(r))
        grow_to(r, line + 1);
    int used = columns;
    while (used > 0 && blank(cells[used - 1]))
        used--;
    // Measured first, then written in place: one allocation a line.
    std::size_t length = static_cast<std::size_t>(used);
    std::uint8_t fg = 0, bg = 0;
    for (int c = 0; c < used; c++)
        if (cells[c].fg != fg || cells[c].bg != bg) {
            fg = cells[c].fg, bg = cells[c].bg;
            length += 3;
        }
    auto &s = slot(r, line);
    if (length == 0) {
        s.reset();
        return;
    }
    s = std::make_unique_for_overwrite<std::uint8_t[]>(length + HEAD);
    std::uint8_t *p = s.get();
    *p++ = static_cast<std::uint8_t>(length & 0xFF);
    *p++ = static_cast<std::uint8_t>(length >> 8);
    fg = bg = 0;
    for (int c = 0; c < used; c++) {
        const kxTermCell &k = cells[c];
        if (k.fg != fg || k.bg != bg) {
            fg = k.fg, bg = k.bg;
            *p++ = COLOURS, *p++ = fg, *p++ = bg;
        }
        *p++ = k.ch < 32 ? ' ' : k.ch;
    }
}

void kxtermrows_scroll(kxTermRows *r)
{
    grow_to(r, r->limit);
    slot(r, 0).reset();
    r->first = r->first + 1 < r->limit ? r->first + 1 : 0;
}

void kxtermrows_keepfrom(kxTermRows *r, int line, int limit)
{
    std::vector<std::unique_ptr<std::uint8_t[]>> kept;
    const int count = kxtermrows_count(r);
    limit = std::max(limit, 1);
    for (int l = std::max(line, 0); l < count && static_cast<int>(kept.size()) < limit; l++)
        kept.push_back(std::move(slot(r, l)));
    r->rows = std::move(kept);
    r->first = 0;
    r->limit = limit;
}

std::size_t kxtermrows_bytes(const kxTermRows *r)
{
    std::size_t n = 0;
    for (const auto &p : r->rows)
        if (p)
            n += static_cast<std::size_t>(p[0] | p[1] << 8) + HEAD;
    return n;
}
