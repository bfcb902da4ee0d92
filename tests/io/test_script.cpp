// Scripts of unattended runs: every step read, every unreadable line named,
// and the run against a scripted host with a clock of its own: expects met
// and timed out, the first failure ending the run, and TAP that prove takes.
#include "io/script.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "../serialpeer.h"
#include "base/checksum.h"
#include "core/language.h"

namespace {

struct ScriptTest : testing::Test {
    void SetUp() override { kxlanguage_set(KX_LANG_GERMAN); }
    void TearDown() override { kxlanguage_set(KX_LANG_ENGLISH); }
};

kxscript parsed(std::string_view text, bool notation = false)
{
    kxscript_options o;
    o.notation = notation;
    kxscript_parsed p = kxscript_parse(text, o);
    EXPECT_TRUE(p.ok) << p.error;
    return p.script;
}

// A host with a clock the test moves: what was done, and each result.
struct FakeHost {
    std::int64_t clock = 5000;
    std::vector<std::string> done;  // the steps acted on, as written
    std::vector<kxscript_report> reports;
    std::string away;
    kxscript_done answer;  // what every action gives

    kxscript_host host()
    {
        kxscript_host h;
        h.now = [this] { return clock; };
        h.act = [this](const kxscript_step &s) {
            done.push_back(s.source);
            return answer;
        };
        h.gone = [this] { return away; };
        h.report = [this](const kxscript_report &r) { reports.push_back(r); };
        return h;
    }
};

std::string tap_of(const kxscript &s, const FakeHost &h)
{
    std::string out = kxscript_tap_plan(s);
    for (const kxscript_report &r : h.reports)
        out += kxscript_tap(r);
    return out;
}

// prove's verdict on a TAP text: its exit code.
int prove(const std::string &tap)
{
    kxtest_tempdir dir;
    const std::string file = dir.file("run.tap");
    std::ofstream(file, std::ios::binary) << tap;
    const std::string cmd = "prove --exec cat " + file + " >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

} // namespace

TEST_F(ScriptTest, EveryStepIsRead)
{
    const kxscript s = parsed("# power-up check\r\n"
                              "\n"
                              "  send 3\r\n"
                              "send \"AT\\\"x\\\" \\r\"   # a quote inside\n"
                              "expect \"OK\"\n"
                              "expect /^V[0-9]+$/ within 250\n"
                              "wait 0\n"
                              "dtr off\n"
                              "rts on\n"
                              "break 250");
    ASSERT_EQ(s.steps.size(), 8u);
    EXPECT_EQ(s.expects, 2);
    const kxscript_step *st = s.steps.data();
    EXPECT_EQ(st[0].kind, kxscript_kind::send_row);
    EXPECT_EQ(st[0].row, 3);
    EXPECT_EQ(st[0].line, 3);
    EXPECT_EQ(st[0].source, "send 3");
    EXPECT_EQ(st[1].kind, kxscript_kind::send_text);
    EXPECT_EQ(st[1].text, "AT\"x\" \\r");  // the notation is off: sent as written
    EXPECT_EQ(st[1].source, "send \"AT\\\"x\\\" \\r\"");
    EXPECT_EQ(st[1].written, "AT\\\"x\\\" \\r");
    EXPECT_EQ(st[2].kind, kxscript_kind::expect_text);
    EXPECT_EQ(st[2].text, "OK");
    EXPECT_EQ(st[2].ms, KX_SCRIPT_EXPECT_MS);
    EXPECT_EQ(st[3].kind, kxscript_kind::expect_pattern);
    EXPECT_EQ(st[3].ms, 250);
    EXPECT_TRUE(kxpattern_search(st[3].pattern, "V12"));
    EXPECT_EQ(st[4].kind, kxscript_kind::wait);
    EXPECT_EQ(st[4].ms, 0);
    EXPECT_EQ(st[5].kind, kxscript_kind::dtr);
    EXPECT_FALSE(st[5].on);
    EXPECT_EQ(st[6].kind, kxscript_kind::rts);
    EXPECT_TRUE(st[6].on);
    EXPECT_EQ(st[7].kind, kxscript_kind::brk);
    EXPECT_EQ(st[7].ms, 250);

    // With the notation on, a text is its bytes.
    const kxscript n = parsed("send \"\\h(01 03)\\c(crc16/modbus)\\r\"\nexpect \"\\x06\"", true);
    std::string frame("\x01\x03", 2);
    const kxChecksum *crc = kxchecksum_find("CRC-16/MODBUS");
    kxchecksum_append(crc, kxchecksum_compute(crc, frame.data(), frame.size()), &frame);
    EXPECT_EQ(n.steps[0].text, frame + "\r");
    EXPECT_EQ(n.steps[1].text, "\x06");
}

TEST_F(ScriptTest, AnUnreadableLineIsNamedAndNothingIsKept)
{
    const struct {
        const char *script;
        int line;
        const char *error;
    } cases[] = {
        {"send 1\nsned 2", 2, "Zeile 2: unbekannter Schritt \"sned\""},
        {"send 15", 1, "Zeile 1: keine Tabellenzeile 15 (1 bis 14)"},
        {"send 0", 1, "Zeile 1: keine Tabellenzeile 0 (1 bis 14)"},
        {"send", 1, "Zeile 1: send braucht eine Zeilennummer oder einen \"Text\""},
        {"send 1x", 1, "Zeile 1: unerwartet: \"x\""},
        {"\n\nsend \"AT", 3, "Zeile 3: \" ohne Ende"},
        {"expect OK", 1, "Zeile 1: expect braucht einen \"Text\" oder ein /Muster/"},
        {"expect \"\"", 1, "Zeile 1: leerer Text"},
        {"expect /a", 1, "Zeile 1: / ohne Ende"},
        {"expect //", 1, "Zeile 1: leeres Muster"},
        {"expect /a(/", 1, "Zeile 1: Muster: ( ohne ) in Spalte 2"},
        {"expect \"OK\" within", 1, "Zeile 1: within braucht eine Zahl von Millisekunden"},
        {"expect \"OK\" within 0", 1, "Zeile 1: within: 0 liegt nicht zwischen 1 und 3600000 ms"},
        {"expect \"OK\" soon", 1, "Zeile 1: unerwartet: \"soon\""},
        {"wait -1", 1, "Zeile 1: wait braucht eine Zahl von Millisekunden"},
        {"wait 99999999999999999999", 1,
         "Zeile 1: wait: 99999999999999999999 liegt nicht zwischen 0 und 3600000 ms"},
        {"dtr maybe", 1, "Zeile 1: dtr braucht on oder off"},
        {"break 0", 1, "Zeile 1: break: 0 liegt nicht zwischen 1 und 5000 ms"},
        {"send 1 2", 1, "Zeile 1: unerwartet: \"2\""},
        {"\x01\x02", 1, "Zeile 1: unbekannter Schritt \"<01><02>\""},
    };
    for (const auto &c : cases) {
        const kxscript_parsed p = kxscript_parse(c.script, kxscript_options{});
        EXPECT_FALSE(p.ok) << c.script;
        EXPECT_EQ(p.line, c.line) << c.script;
        EXPECT_EQ(p.error, c.error) << c.script;
        EXPECT_TRUE(p.script.steps.empty()) << c.script;
    }
    kxscript_options notation;
    notation.notation = true;
    EXPECT_EQ(kxscript_parse("send \"a\\q\"", notation).error,
              "Zeile 1: unbekannte Folge \\q in Spalte 2");
    kxlanguage_set(KX_LANG_ENGLISH);
    EXPECT_EQ(kxscript_parse("wait", kxscript_options{}).error,
              "line 1: wait needs a number of milliseconds");
    const kxscript_parsed missing = kxscript_load("/nonexistent/run.txt", kxscript_options{});
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "cannot read /nonexistent/run.txt");
}

TEST_F(ScriptTest, ARunSendsExpectsWaitsAndPasses)
{
    const kxscript s = parsed("send 1\nexpect \"OK\" within 500\nwait 100\nexpect /^V[0-9]/\n"
                              "dtr on");
    FakeHost h;
    kxscript_run r;
    kxscript_start(&r, &s, h.host());
    EXPECT_EQ(kxscript_advance(&r), 5500);  // sent, and waiting for OK
    EXPECT_EQ(h.done, std::vector<std::string>{"send 1"});
    h.clock += 40;
    kxscript_received(&r, "noise\r\n");
    kxscript_received(&r, "+OK\r\n");
    // The answer to the next expect comes during the wait: it is kept.
    kxscript_received(&r, "V2.1");
    EXPECT_EQ(kxscript_advance(&r), 5140);
    h.clock = 5140;
    EXPECT_EQ(kxscript_advance(&r), -1);
    EXPECT_EQ(r.state, kxscript_state::passed);
    EXPECT_EQ(h.done, (std::vector<std::string>{"send 1", "dtr on"}));
    ASSERT_EQ(h.reports.size(), 5u);
    EXPECT_EQ(h.reports[1].point, 1);
    EXPECT_EQ(h.reports[1].got, "+OK");
    EXPECT_EQ(h.reports[1].lines, 2);
    EXPECT_EQ(kxscript_line(h.reports[1]),
              "  0.040  Zeile 2: expect \"OK\" within 500  erf\xfcllt nach 40 ms: \"+OK\"");
    EXPECT_EQ(kxscript_line(h.reports[2]), "  0.140  Zeile 3: wait 100  gewartet");
    EXPECT_EQ(h.reports[3].point, 2);
    EXPECT_EQ(h.reports[3].verdict, kxscript_verdict::held);
    EXPECT_EQ(prove(tap_of(s, h)), 0);
}

TEST_F(ScriptTest, AnExpectThatTimesOutEndsTheRunAndSaysWhatCame)
{
    const kxscript s = parsed("send 1\nexpect \"OK\" within 200\nsend 2\nexpect \"x\"");
    FakeHost h;
    kxscript_run r;
    kxscript_start(&r, &s, h.host());
    kxscript_advance(&r);
    kxscript_received(&r, "ERR 7\x1b");
    h.clock += 199;
    EXPECT_EQ(kxscript_advance(&r), 5200);
    h.clock += 1;
    EXPECT_EQ(kxscript_advance(&r), -1);
    EXPECT_EQ(r.state, kxscript_state::failed);
    EXPECT_EQ(h.done, std::vector<std::string>{"send 1"});  // send 2 never left
    ASSERT_EQ(h.reports.size(), 4u);
    const kxscript_report &f = h.reports[1];
    EXPECT_EQ(f.verdict, kxscript_verdict::failed);
    EXPECT_EQ(kxscript_line(f), "  0.200  Zeile 2: expect \"OK\" within 200  "
                                "nicht erf\xfcllt in 200 ms: empfangen: \"ERR 7<1B>\"");
    EXPECT_EQ(f.expected, "\"OK\"");
    EXPECT_EQ(f.got, "ERR 7<1B>");
    EXPECT_EQ(h.reports[2].verdict, kxscript_verdict::notrun);
    EXPECT_EQ(h.reports[3].point, 2);
    const std::string tap = tap_of(s, h);
    EXPECT_NE(tap.find("not ok 1 - Zeile 2: expect \"OK\" within 200\n  ---\n"), std::string::npos)
        << tap;
    EXPECT_NE(tap.find("ok 2 - Zeile 4: expect \"x\" # SKIP"), std::string::npos) << tap;
    EXPECT_EQ(prove(tap), 1);

    // While the device is gone, its absence is the reason.
    FakeHost g;
    g.away = "Ger\xe4t getrennt";
    kxscript_start(&r, &s, g.host());
    kxscript_advance(&r);
    g.clock += 200;
    kxscript_advance(&r);
    EXPECT_EQ(g.reports[1].result, "nicht erf\xfcllt in 200 ms: Ger\xe4t getrennt");
    EXPECT_EQ(g.reports[1].got, "");
}

TEST_F(ScriptTest, AFailedSendBailsOutAndAnActionThePortLacksIsSkipped)
{
    const kxscript s = parsed("rts off\nsend \"x\"\nexpect \"y\"");
    FakeHost h;
    kxscript_run r;
    kxscript_start(&r, &s, h.host());
    // The line action is skipped, the send fails.
    int calls = 0;
    r.host.act = [&](const kxscript_step &) {
        return ++calls == 1 ? kxscript_done{kxscript_verdict::skipped, "keine Steuerleitungen"}
                            : kxscript_done{kxscript_verdict::failed, "Ger\xe4t getrennt"};
    };
    EXPECT_EQ(kxscript_advance(&r), -1);
    EXPECT_EQ(r.state, kxscript_state::failed);
    ASSERT_EQ(h.reports.size(), 3u);
    EXPECT_EQ(h.reports[0].result, "\xfc" "bersprungen: keine Steuerleitungen");
    EXPECT_EQ(h.reports[1].result, "nicht gesendet: Ger\xe4t getrennt");
    EXPECT_TRUE(h.reports[2].aborted);
    const std::string tap = tap_of(s, h);
    EXPECT_NE(tap.find("Bail out! Zeile 2: send \"x\": nicht gesendet"), std::string::npos) << tap;
    EXPECT_NE(prove(tap), 0);
}
