// quenlorix --run, the real binary without a display, against a scripted
// device end of a socat pseudo-terminal: a good script passes with TAP that
// prove takes, a wrong answer fails naming the step, a bad script or a port
// that cannot open is refused before anything is sent, and a lost device is
// the reason of the expect it leaves waiting.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../platform/xvfb_support.h"
#include "../serialpeer.h"
#include "markup/dbf.h"

namespace {

std::string slurp(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The device: answers each complete line it knows, keeps every byte that
// came; a line in lose_at makes it vanish (socat ends) after answering.
struct Device {
    kxtest_serialpeer *peer;
    std::map<std::string, std::string> answers;
    std::string lose_at;
    std::string got;
    std::thread thread;
    std::atomic<bool> stop{false};

    Device(kxtest_serialpeer *p, std::map<std::string, std::string> a, std::string lose = "")
        : peer(p), answers(std::move(a)), lose_at(std::move(lose))
    {
    }
    void start()
    {
        thread = std::thread([this] {
            std::string line;
            while (!stop) {
                const std::string bytes = peer->receive(1, 50);
                got += bytes;
                for (char ch : bytes) {
                    if (ch != '\n') {
                        line += ch;
                        continue;
                    }
                    if (auto a = answers.find(line); a != answers.end())
                        peer->send(a->second);
                    if (line == lose_at) {
                        peer->stop();
                        return;
                    }
                    line.clear();
                }
            }
        });
    }
    void join()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
    ~Device() { join(); }
};

struct Run : testing::Test {
    kxtest_serialpeer peer;
    std::string home;
    std::string out;  // of the last run

    void SetUp() override
    {
        ASSERT_TRUE(peer.start(1));
        home = peer.dir.path;
        // Row 1 of the table asks the device who it is (record 0 is the
        // window's header row).
        ASSERT_TRUE(kxdbf_savetable((home + "/quenlorix.dbf").c_str(), 0, 0, 2, 15,
                                    [](int column, int row) {
                                        return column == 0 && row == 1 ? std::string("ATI")
                                                                       : std::string();
                                    }));
    }

    std::string script(const std::string &text)
    {
        const std::string name = home + "/check.txt";
        std::ofstream(name, std::ios::binary) << text;
        return name;
    }

    // The binary as a CI job starts it; its exit code.
    int run(std::vector<std::string> args)
    {
        unsetenv("DISPLAY");
        unsetenv("KX_HOST");
        args.insert(args.begin(), {KX_TEST_BINARY_DIR "/quenlorix", "-C", home});
        kxtest_proc proc;
        out.clear();
        if (!proc.start(args) || !proc.finish(30000))
            return -1;
        for (const std::string &l : proc.lines)
            out += l + "\n";
        return WIFEXITED(proc.status) ? WEXITSTATUS(proc.status) : -1;
    }
};

// prove's exit code for a TAP text.
int prove(const std::string &tap, const std::string &dir)
{
    const std::string file = dir + "/run.tap";
    std::ofstream(file, std::ios::binary) << tap;
    const int rc = std::system(("prove --exec cat " + file + " >/dev/null 2>&1").c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

const char *const CHECK =
    "# who is there, and which firmware\n"
    "send 1\n"
    "expect \"OK\" within 5000\n"
    "send \"VER?\"\n"
    "expect /^V[0-9]+\\.[0-9]+$/ within 1000\n";

} // namespace

TEST_F(Run, AGoodScriptPassesWithTapThatProveTakes)
{
    Device d{&peer, {{"ATI", "Quenlorix test device\r\nOK\r\n"}, {"VER?", "V1.2\r\n"}}};
    d.start();
    EXPECT_EQ(run({"--run", script(CHECK), "--tap"}), 0) << out;
    d.join();
    EXPECT_EQ(d.got, "ATI\nVER?\n");
    EXPECT_EQ(out.rfind("TAP version 13\n1..2\n", 0), 0u) << out;
    // A backslash in a test point's description is doubled, as TAP has it.
    EXPECT_NE(out.find("ok 2 - Zeile 5: expect /^V[0-9]+\\\\.[0-9]+$/ within 1000\n"),
              std::string::npos) << out;
    EXPECT_EQ(prove(out, home), 0) << out;
    // The log is the window's: what was sent and received, and each result.
    const std::string log = slurp(home + "/quenlorix.log");
    for (const char *part : {"Serielle Schnittstelle 1 ge\xf6" "ffnet", "\nATI\n", "\nOK\n",
                             "\nVER?\n", "\nV1.2\n", "Zeile 5: expect /^V[0-9]+\\.[0-9]+$/"})
        EXPECT_NE(log.find(part), std::string::npos) << part << " in\n" << log;
}

TEST_F(Run, AWrongAnswerExitsOneNamingTheStepWhatWasExpectedAndWhatCame)
{
    Device d{&peer, {{"ATI", "OK\r\n"}, {"VER?", "ERR 5\r\n"}}};
    d.start();
    EXPECT_EQ(run({"--run", script(CHECK)}), 1) << out;
    d.join();
    const std::string failed = "Zeile 5: expect /^V[0-9]+\\.[0-9]+$/ within 1000  "
                               "nicht erf\xc3\xbcllt in 1000 ms: empfangen: \"ERR 5\"\n";
    EXPECT_NE(out.find(failed), std::string::npos) << out;
    EXPECT_NE(slurp(home + "/quenlorix.log").find("nicht erf\xfcllt in 1000 ms: empfangen: \"ERR 5\""),
              std::string::npos);
}

TEST_F(Run, ABadScriptOrAPortThatCannotOpenIsRefusedBeforeAnythingIsSent)
{
    EXPECT_EQ(run({"--run", script("send 1\nexpect \"OK\"\nsend 15\n")}), 2) << out;
    EXPECT_NE(out.find("check.txt: Zeile 3: keine Tabellenzeile 15 (1 bis 14)\n"),
              std::string::npos) << out;
    // The binary has ended: whatever it wrote would be waiting here.
    EXPECT_EQ(peer.receive(1, 0), "");

    std::ofstream(home + "/quenlorix.cfg") << "port=7   baud=9600\ncom7=" << home << "/gone\n";
    EXPECT_EQ(run({"--run", script("send 1\n"), "--tap"}), 3) << out;
    EXPECT_NE(out.find("Bail out! COM7 (" + home + "/gone) kann nicht ge\xc3\xb6" "ffnet werden: "
                       "existiert nicht\n"),
              std::string::npos) << out;
    EXPECT_EQ(run({"--run", home + "/none.txt"}), 2);
}

TEST_F(Run, AnExpectWhileTheDeviceIsGoneFailsWithThatReason)
{
    Device d{&peer, {{"ATI", "OK\r\n"}}, "BYE"};
    d.start();
    EXPECT_EQ(run({"--run", script("send 1\nexpect \"OK\" within 5000\nsend \"BYE\"\n"
                                   "expect \"more\" within 300\n")}),
              1) << out;
    EXPECT_NE(out.find("Zeile 4: expect \"more\" within 300  nicht erf\xc3\xbcllt in 300 ms: "
                       "Verbindung zu COM1"),
              std::string::npos) << out;
}

// With the notation on and CR as the line end, a quoted text is sent as the
// rows are: its escapes read, the chosen line end after it.
TEST_F(Run, AQuotedTextIsSentInTheRowsNotationWithTheirLineEnd)
{
    std::ofstream(home + "/quenlorix.cfg") << "port=1   baud=9600\nescapes=1\nlineend=cr\n";
    EXPECT_EQ(run({"--run", script("send \"A\\x01\\h(FF 02)\"\nwait 200\n")}), 0) << out;
    EXPECT_EQ(peer.receive(5, 2000), std::string("A\x01\xff\x02\r"));
}
