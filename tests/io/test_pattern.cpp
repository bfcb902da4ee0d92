// Regular expressions for received lines: what matches, every fault with
// its column, and patterns and lines that would make a backtracking
// matcher hang or recurse.
#include "io/pattern.h"

#include <gtest/gtest.h>

#include <string>

#include "core/language.h"

namespace {

bool finds(const char *pattern, std::string_view line)
{
    const kxpattern p = kxpattern_compile(pattern);
    EXPECT_TRUE(p.ok) << pattern << ": " << p.error;
    return kxpattern_search(p, line);
}

} // namespace

TEST(Pattern, MatchesAnywhereInTheLine)
{
    const struct {
        const char *pattern;
        const char *line;
        bool found;
    } cases[] = {
        {"OK", "+OK ready", true},
        {"^OK$", "OK", true},
        {"^OK$", "OK ", false},
        {"^OK", "+OK", false},
        {"V[0-9]+\\.[0-9]+", "fw V12.3 ok", true},
        {"V[0-9]+\\.[0-9]+", "fw V12. ok", false},
        {"^(ERR|FAIL)", "FAIL 3", true},
        {"^(?:ERR|FAIL)$", "ERR 3", false},
        {"a{2,3}b", "xaab", true},
        {"^a{2,3}b", "ab", false},
        {"^a{2}$", "aaa", false},
        {"x{2,}", "axxxb", true},
        {"[^,]*,[^,]*$", "a,b", true},
        {"[]a]", "]", true},
        {"[a-]", "-", true},
        {"\\d\\s\\w", "1 x", true},
        {"\\D", "123", false},
        {"[\\d.]+$", "1.5", true},
        {"\\x06", "\x06", true},
        {"a\\/b", "a/b", true},
        {"colou?r", "color", true},
        {"a.*?z", "a--z", true},
        {"(a|)b", "b", true},
        {"", "anything", true},
        {"$", "", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(finds(c.pattern, c.line), c.found) << c.pattern << " in \"" << c.line << "\"";
    // Bytes past 0x7F and NULs are bytes like any other.
    EXPECT_TRUE(finds("\\0\xe4", std::string_view("a\0\xe4", 3)));
}

TEST(Pattern, AFaultIsNamedWithItsColumn)
{
    kxlanguage_set(KX_LANG_GERMAN);
    const struct {
        const char *pattern;
        const char *error;
    } cases[] = {
        {"*a", "nichts zu wiederholen in Spalte 1"},
        {"a**", "nichts zu wiederholen in Spalte 3"},
        {"(ab", "( ohne ) in Spalte 1"},
        {"ab)", ") ohne ( in Spalte 3"},
        {"x[ab", "[ ohne ] in Spalte 2"},
        {"[z-a]", "Bereich r\xfc" "ckw\xe4rts: z-a in Spalte 2"},
        {"a{3,2}", "{ braucht n, n, oder n,m bis 100 in Spalte 2"},
        {"a{101}", "{ braucht n, n, oder n,m bis 100 in Spalte 2"},
        {"a{x}", "{ braucht n, n, oder n,m bis 100 in Spalte 2"},
        {"\\q", "unbekannte Folge \\q in Spalte 1"},
        {"ab\\", "einzelnes \\ am Ende in Spalte 3"},
        {"\\x4", "\\x braucht zwei Hexziffern in Spalte 1"},
    };
    for (const auto &c : cases) {
        const kxpattern p = kxpattern_compile(c.pattern);
        EXPECT_FALSE(p.ok) << c.pattern;
        EXPECT_EQ(p.error, c.error) << c.pattern;
        EXPECT_FALSE(kxpattern_search(p, c.pattern));
    }
    kxlanguage_set(KX_LANG_ENGLISH);
    EXPECT_EQ(kxpattern_compile("(").error, "( without ) at column 1");
}

TEST(Pattern, HostilePatternsAndLinesEndOrAreRefused)
{
    // Nested repetitions over a long line that almost matches: exponential
    // for a backtracking matcher, one pass here.
    const std::string line(20000, 'a');
    EXPECT_FALSE(finds("^(a*)*b$", line));
    EXPECT_FALSE(finds("(a|aa)+c", line));
    EXPECT_TRUE(finds("(a*)*$", line));
    EXPECT_TRUE(finds("()*x*", ""));
    // Depth and size are bounded when compiling.
    EXPECT_FALSE(kxpattern_compile(std::string(40, '(') + "a" + std::string(40, ')')).ok);
    EXPECT_TRUE(kxpattern_compile(std::string(30, '(') + "a" + std::string(30, ')')).ok);
    const kxpattern big = kxpattern_compile("((a{100}){100}){100}");
    EXPECT_FALSE(big.ok);
    EXPECT_FALSE(big.error.empty());
}
