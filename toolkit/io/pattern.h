// Regular expressions for the lines a device sends: found anywhere in a
// line, or not.  The matcher walks all ways through the pattern at once
// (one pass over the line, no backtracking), so no pattern and no line can
// make it slow beyond the pattern's size times the line's length, and it
// never recurses over the line.
//
//   abc           the bytes themselves
//   .             any byte
//   [a-z0-9_] [^,]  a set of bytes, or all but a set
//   \d \w \s      a digit, a word byte, a blank; \D \W \S their opposites
//   \t \r \n \e \0 \xNN   the control bytes and any byte
//   \. \* \/ ...  a punctuation byte itself
//   ^ $           the start and the end of the line
//   (a|b)  (?:a|b)  groups and alternatives
//   * + ? {n} {n,} {n,m}   repetition (a trailing ? is allowed and changes
//                          nothing: only whether the line matches counts)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int KX_PATTERN_REPEAT_MAX = 100;   // the largest n and m of {n,m}
constexpr int KX_PATTERN_DEPTH_MAX = 32;     // groups within groups
constexpr int KX_PATTERN_PROGRAM_MAX = 4000;  // steps of the compiled pattern

struct kxpattern_op {
    std::uint8_t code = 0;
    std::uint8_t byte = 0;
    int x = 0, y = 0;  // jump targets, or the set's index in x
};

struct kxpattern {
    bool ok = false;
    std::string error;  // what is wrong and at which column, else empty
    int column = 0;     // from 1; 0 when ok
    std::vector<kxpattern_op> program;
    std::vector<std::array<std::uint64_t, 4>> sets;
};

// Compiles the pattern, or names its first fault in the toolkit's language,
// such as "nichts zu wiederholen in Spalte 1".
kxpattern kxpattern_compile(std::string_view source);
// True when the pattern matches somewhere in text (false for a pattern that
// did not compile).
bool kxpattern_search(const kxpattern &p, std::string_view text);
