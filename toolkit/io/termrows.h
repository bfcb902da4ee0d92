// The terminal's lines, kept compactly: a line holds its characters and a
// mark where the colours change, without the blank cells at its end, so that
// the memory a history takes grows with what it keeps, not with its limit.
// The lines form a ring once the limit is reached: a new line at the end
// pushes the oldest out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct kxTermCell {
    std::uint8_t ch = ' ', fg = 0, bg = 0, zero = 0;
};

struct kxTermRows {
    std::vector<std::unique_ptr<std::uint8_t[]>> rows;  // null: a blank line
    int first = 0;  // index in rows of line 0 once they go round
    int limit = 1;
};

// Empty, for at most limit lines (at least one).
void kxtermrows_reset(kxTermRows *r, int limit);
// The lines that exist: the highest written one and all before it.
int kxtermrows_count(const kxTermRows *r);
// The first columns cells of a line, blanks beyond its text or the lines;
// how many cells its text gave.
int kxtermrows_get(const kxTermRows *r, int line, kxTermCell *cells, int columns);
// Stores a line of columns cells (0 <= line < limit); the blank lines
// before it come into being.
void kxtermrows_set(kxTermRows *r, int line, const kxTermCell *cells, int columns);
// All lines exist, and the oldest goes: each line moves up by one and the
// last is blank.
void kxtermrows_scroll(kxTermRows *r);
// Keeps the lines from line on (the ones before go) and a new limit.
void kxtermrows_keepfrom(kxTermRows *r, int line, int limit);
// The bytes the text of the lines takes, beyond the ring itself.
std::size_t kxtermrows_bytes(const kxTermRows *r);
