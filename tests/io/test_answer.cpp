// Answer rules: read and written back, one answer per matching line, and a
// rule that answers too often stopped.
#include "io/answer.h"

#include <gtest/gtest.h>

#include "core/language.h"

namespace {

kxanswer_rule rule(const char *text)
{
    kxanswer_rule r;
    std::string error;
    EXPECT_TRUE(kxanswer_parse(text, 14, &r, &error)) << text << ": " << error;
    return r;
}

} // namespace

TEST(Answer, RulesAreReadAndWrittenBack)
{
    const kxanswer_rule plain = rule("3 RING");
    EXPECT_EQ(plain.row, 3);
    EXPECT_FALSE(plain.regex);
    EXPECT_EQ(plain.pattern, "RING");
    EXPECT_EQ(kxanswer_format(plain), "3 RING");
    const kxanswer_rule re = rule("  14\t/^\\+CMTI: \"SM\",[0-9]+$/ \r");
    EXPECT_TRUE(re.regex);
    EXPECT_EQ(kxanswer_format(re), "14 /^\\+CMTI: \"SM\",[0-9]+$/");
    EXPECT_EQ(rule("1 a b").pattern, "a b");

    kxlanguage_set(KX_LANG_GERMAN);
    kxanswer_rule r;
    std::string error;
    for (const char *bad : {"", "RING", "0 RING", "15 RING", "3", "3RING", "99999999999 x"}) {
        EXPECT_FALSE(kxanswer_parse(bad, 14, &r, &error)) << bad;
        EXPECT_EQ(error, "eine Regel ist eine Zeilennummer von 1 bis 14 und ein Muster") << bad;
    }
    EXPECT_FALSE(kxanswer_parse("3 /(/", 14, &r, &error));
    EXPECT_EQ(error, "Muster: ( ohne ) in Spalte 1");
    EXPECT_FALSE(kxanswer_parse("3 " + std::string(201, 'x'), 14, &r, &error));
    kxlanguage_set(KX_LANG_ENGLISH);
}

TEST(Answer, OneAnswerPerMatchingLineFromTheFirstRuleThatMatches)
{
    std::vector<kxanswer_rule> rules{rule("2 /^RING$/"), rule("5 RING")};
    EXPECT_EQ(kxanswer_match(&rules, "RING\r\n", 0).row, 2);
    const kxanswer_hit second = kxanswer_match(&rules, "RINGING", 10);
    EXPECT_EQ(second.rule, 1);
    EXPECT_EQ(second.row, 5);
    const kxanswer_hit none = kxanswer_match(&rules, "OK", 20);
    EXPECT_EQ(none.rule, -1);
    EXPECT_EQ(none.row, 0);
}

TEST(Answer, ARuleThatAnswersTooOftenIsStopped)
{
    std::vector<kxanswer_rule> rules{rule("1 ATA"), rule("2 ATA")};
    // The limit within any second: at 100 ms apart a rule answers for ever.
    for (int i = 0; i < 3 * KX_ANSWER_LIMIT; i++)
        ASSERT_EQ(kxanswer_match(&rules, "ATA", i * 100).row, 1) << i;
    // Faster, it answers up to the limit and is then stopped; the next rule
    // that matches answers after it.
    std::int64_t t = 10000;
    for (int i = 0; i < KX_ANSWER_LIMIT; i++)
        ASSERT_EQ(kxanswer_match(&rules, "ATA", t + i).row, 1) << i;
    const kxanswer_hit over = kxanswer_match(&rules, "ATA", t + 999);
    EXPECT_TRUE(over.stopped);
    EXPECT_EQ(over.rule, 0);
    EXPECT_EQ(over.row, 0);
    EXPECT_TRUE(rules[0].stopped);
    EXPECT_EQ(kxanswer_match(&rules, "ATA", t + 2000).row, 2);
}
