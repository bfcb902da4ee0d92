// Child processes: output in pieces, exit codes, input, the slot limit, and
// nothing left behind (no zombies, no descriptors).
#include <dirent.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "core/event.h"
#include "serialpeer.h"
#include "support.h"

namespace {

struct Child {
    std::string output;
    std::vector<std::size_t> pieces;
    int exits = 0;
    int code = -1;
    bool output_after_exit = false;
};

kxarg child_handler(void *obj, int code, kxarg a0, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg, kxarg)
{
    Child *c = static_cast<Child *>(obj);
    if (code == KX_EV_CHILD_OUTPUT) {
        std::string text = kxunptr<const char>(a0);
        c->output += text;
        c->pieces.push_back(text.size());
        if (c->exits)
            c->output_after_exit = true;
    } else if (code == KX_EV_CHILD_EXIT) {
        c->exits++;
        c->code = static_cast<int>(a0);
    }
    return 0;
}

// Pumps until every child has ended.
bool pump_until_done(int ms = 20000)
{
    return kxtest_waitfor(
        [] {
            kxsys_pump_all();
            return kxprocess_running() == 0;
        },
        ms);
}

int open_fds()
{
    int n = 0;
    DIR *d = opendir("/proc/self/fd");
    while (readdir(d))
        n++;
    closedir(d);
    return n;
}

bool no_children_left() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

struct ProcessTest : testing::Test {
    void SetUp() override { kxtest_headless(); }
};

} // namespace

TEST_F(ProcessTest, OutputThenExitCode)
{
    Child c;
    int fds = open_fds();
    EXPECT_EQ(kxprocess_run(child_handler, &c, "printf 'hello\\n'; printf oops >&2; exit 3", true), 0);
    ASSERT_TRUE(pump_until_done());
    EXPECT_EQ(c.output, "hello\noops");
    EXPECT_EQ(c.exits, 1);
    EXPECT_EQ(c.code, 3);
    EXPECT_FALSE(c.output_after_exit);
    EXPECT_EQ(open_fds(), fds);
    EXPECT_TRUE(no_children_left());
}

TEST_F(ProcessTest, KilledChildAndBadCommands)
{
    Child c, d;
    ASSERT_GE(kxprocess_run(child_handler, &c, "kill -9 $$", false), 0);
    ASSERT_GE(kxprocess_run(child_handler, &d, "/no/such/program", false), 0);
    ASSERT_TRUE(pump_until_done());
    EXPECT_EQ(c.code, 128 + 9);
    EXPECT_EQ(d.code, 127);
    EXPECT_NE(d.output.find("/no/such/program"), std::string::npos);
    EXPECT_EQ(kxprocess_run(child_handler, &c, nullptr, false), -1);
    EXPECT_FALSE(kxprocess_write(0, "x"));
    EXPECT_FALSE(kxprocess_write(-1, "x"));
    EXPECT_FALSE(kxprocess_write(KX_MAX_CHILDREN, "x"));
}

TEST_F(ProcessTest, LargeOutputComesInPiecesAndComplete)
{
    Child small, big;
    ASSERT_GE(kxprocess_run(child_handler, &small, "head -c 50000 /dev/zero | tr '\\0' x", true), 0);
    ASSERT_GE(kxprocess_run(child_handler, &big, "seq 1 170000", true), 0);
    ASSERT_TRUE(pump_until_done());
    EXPECT_EQ(small.output, std::string(50000, 'x'));
    EXPECT_GE(small.pieces.size(), 3u);
    std::string want;
    for (int i = 1; i <= 170000; i++)
        want += std::to_string(i) + "\n";
    EXPECT_GT(want.size(), 1000000u);
    EXPECT_TRUE(big.output == want) << big.output.size() << " of " << want.size();
    for (const Child *c : {&small, &big}) {
        for (std::size_t n : c->pieces)
            EXPECT_LE(n, static_cast<std::size_t>(KX_CHILD_PIECE));
        EXPECT_EQ(c->code, 0);
        EXPECT_FALSE(c->output_after_exit);
    }
    EXPECT_TRUE(no_children_left());
}

TEST_F(ProcessTest, WriteGoesToTheChildsInput)
{
    Child c;
    int slot = kxprocess_run(child_handler, &c, "head -n 2", true);
    ASSERT_GE(slot, 0);
    EXPECT_TRUE(kxprocess_write(slot, "first\n"));
    EXPECT_TRUE(kxprocess_write(slot, "second\nthird\n"));
    ASSERT_TRUE(pump_until_done());
    EXPECT_EQ(c.output, "first\nsecond\n");
    EXPECT_EQ(c.code, 0);
}

TEST_F(ProcessTest, WriteToAChildThatReadsNothingFailsInTime)
{
    Child c;
    int slot = kxprocess_run(child_handler, &c, "exec sleep 30", true);
    ASSERT_GE(slot, 0);
    std::string lot(4 * 1024 * 1024, 'w');
    std::int64_t start = kxtest_ms();
    EXPECT_FALSE(kxprocess_write(slot, lot.c_str()));
    std::int64_t took = kxtest_ms() - start;
    EXPECT_GE(took, 1900);
    EXPECT_LE(took, 5000);
}

TEST_F(ProcessTest, SlotLimitAndNoZombies)
{
    int fds = open_fds();
    std::vector<Child> kids(KX_MAX_CHILDREN + 1);
    std::vector<int> slots;
    for (int i = 0; i < KX_MAX_CHILDREN; i++) {
        int s = kxprocess_run(child_handler, &kids[i], "read line; echo \"got $line\"", true);
        ASSERT_GE(s, 0);
        slots.push_back(s);
    }
    EXPECT_EQ(kxprocess_run(child_handler, &kids[KX_MAX_CHILDREN], "true", true), -1);
    EXPECT_EQ(kxprocess_running(), KX_MAX_CHILDREN);
    for (int i = 0; i < KX_MAX_CHILDREN; i++)
        ASSERT_TRUE(kxprocess_write(slots[i], (std::to_string(i) + "\n").c_str()));
    ASSERT_TRUE(pump_until_done(60000));
    for (int i = 0; i < KX_MAX_CHILDREN; i++) {
        EXPECT_EQ(kids[i].output, "got " + std::to_string(i) + "\n");
        EXPECT_EQ(kids[i].exits, 1);
    }
    EXPECT_EQ(kids[KX_MAX_CHILDREN].exits, 0);
    EXPECT_TRUE(no_children_left());
    EXPECT_EQ(open_fds(), fds);
    // Freed slots are taken again from the first.
    Child again;
    EXPECT_EQ(kxprocess_run(child_handler, &again, "true", true), slots[0]);
    ASSERT_TRUE(pump_until_done());
}
