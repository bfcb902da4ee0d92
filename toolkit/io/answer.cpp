// Answer rules: read and written as "ROW PATTERN", matched against received
// lines, each with its count of recent answers.
#include "io/answer.h"

#include "core/language.h"

namespace {

bool blank(char ch) { return ch == ' ' || ch == '\t'; }

std::string words(const char *english, const char *german)
{
    return kxlanguage_get() == KX_LANG_GERMAN ? german : english;
}

} // namespace

bool kxanswer_parse(std::string_view text, int rows, kxanswer_rule *rule, std::string *error)
{
    while (!text.empty() && (blank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    std::size_t i = 0;
    while (i < text.size() && blank(text[i]))
        i++;
    int row = 0;
    const std::size_t digits = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++)
        if (row <= rows)
            row = row * 10 + (text[i] - '0');
    if (i == digits || row < 1 || row > rows || i == text.size() || !blank(text[i])) {
        *error = words("a rule is a row number from 1 to ", "eine Regel ist eine Zeilennummer von 1 bis ") +
                 std::to_string(rows) + words(" and a pattern", " und ein Muster");
        return false;
    }
    while (i < text.size() && blank(text[i]))
        i++;
    std::string_view pattern = text.substr(i);
    if (pattern.empty() || pattern.size() > KX_ANSWER_TEXT) {
        *error = pattern.empty() ? words("the pattern is missing", "das Muster fehlt")
                                 : words("the pattern is longer than 200 bytes",
                                         "das Muster ist l\xe4nger als 200 Bytes");
        return false;
    }
    kxanswer_rule r;
    r.row = row;
    r.regex = pattern.size() >= 2 && pattern.front() == '/' && pattern.back() == '/';
    r.pattern = r.regex ? pattern.substr(1, pattern.size() - 2) : pattern;
    if (r.regex) {
        r.compiled = kxpattern_compile(r.pattern);
        if (!r.compiled.ok) {
            *error = words("pattern: ", "Muster: ") + r.compiled.error;
            return false;
        }
    }
    *rule = std::move(r);
    return true;
}

std::string kxanswer_format(const kxanswer_rule &rule)
{
    const std::string p = rule.regex ? "/" + rule.pattern + "/" : rule.pattern;
    return std::to_string(rule.row) + " " + p;
}

kxanswer_hit kxanswer_match(std::vector<kxanswer_rule> *rules, std::string_view line,
                            std::int64_t now)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    kxanswer_hit hit;
    for (std::size_t i = 0; i < rules->size(); i++) {
        kxanswer_rule &r = (*rules)[i];
        if (r.stopped)
            continue;
        const bool met = r.regex ? kxpattern_search(r.compiled, line)
                                 : line.find(r.pattern) != std::string_view::npos;
        if (!met)
            continue;
        hit.rule = static_cast<int>(i);
        while (!r.recent.empty() && now - r.recent.front() >= KX_ANSWER_WINDOW_MS)
            r.recent.pop_front();
        if (static_cast<int>(r.recent.size()) >= KX_ANSWER_LIMIT) {
            r.stopped = true;
            r.recent.clear();
            hit.stopped = true;
            return hit;
        }
        r.recent.push_back(now);
        hit.row = r.row;
        return hit;
    }
    return hit;
}
