// Answer rules: "when a received line matches PATTERN, send row K".  A rule
// is written as the row and the pattern, "3 RING" (a line that holds the
// text) or "3 /^RING$/" (a regular expression, io/pattern.h).  A rule that
// answers more than KX_ANSWER_LIMIT times within a second (its own echo, a
// device that repeats itself) is stopped, so that it cannot loop.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "io/pattern.h"

constexpr int KX_ANSWER_LIMIT = 10;      // answers of one rule within a second
constexpr int KX_ANSWER_WINDOW_MS = 1000;
constexpr int KX_ANSWER_TEXT = 200;      // the longest pattern

struct kxanswer_rule {
    int row = 0;
    std::string pattern;  // as written: the text, or the expression between slashes
    bool regex = false;
    kxpattern compiled;
    bool stopped = false;
    std::deque<std::int64_t> recent;  // times of its answers within the last second
};

// Reads "ROW PATTERN" (rows 1 to rows); false with the fault in the
// toolkit's language.
bool kxanswer_parse(std::string_view text, int rows, kxanswer_rule *rule, std::string *error);
// The rule as kxanswer_parse reads it.
std::string kxanswer_format(const kxanswer_rule &rule);

struct kxanswer_hit {
    int rule = -1;         // the index of the rule that matched; -1 for none
    int row = 0;           // the row to send; 0 when none (or the rule was stopped now)
    bool stopped = false;  // the rule matched past its limit and is stopped
};

// The first rule that is not stopped and matches the line (its line end
// removed) at time now (ms): the row it answers with, or the news that it
// went past its limit and is stopped now.
kxanswer_hit kxanswer_match(std::vector<kxanswer_rule> *rules, std::string_view line,
                            std::int64_t now);
