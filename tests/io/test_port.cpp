// The port-number and current-port layers: strings out, lines in, read
// time-outs, against a socat pseudo-terminal peer.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "core/event.h"
#include "core/language.h"
#include "core/timer.h"
#include "io/port.h"
#include "serialpeer.h"
#include "support.h"

namespace {

struct PortTest : testing::Test {
    kxtest_serialpeer peer;
    char buf[KX_LINE_MAX + 1] = {};

    void SetUp() override
    {
        kxtest_headless();
        kxport_settimeout(KX_PORT_TIMEOUT_START);
        kxport_reset();
        ASSERT_TRUE(peer.start(7));
        ASSERT_TRUE(kxport_open(7, 115200));
    }

    // Calls the line reader until it gives a line.
    bool wait_line(int count = 256)
    {
        return kxtest_waitfor([&] { return kxport_readline(buf, count); }, 5000);
    }
};

} // namespace

TEST_F(PortTest, OpenSetsTheCurrentPortAndWritesArrive)
{
    EXPECT_EQ(kxport_current(), 7);
    EXPECT_TRUE(kxport_write("AT\n"));
    EXPECT_EQ(peer.receive(3), "AT\n");
    EXPECT_TRUE(kxport_puts(7, "x\r\xff"));
    EXPECT_EQ(peer.receive(3), "x\r\xff");
    // Nothing is sent for an empty string.
    EXPECT_TRUE(kxport_write(""));
    EXPECT_TRUE(kxport_putc(7, '!'));
    EXPECT_EQ(peer.receive(1), "!");
}

TEST_F(PortTest, PortNumbersOutsideTheTableFail)
{
    EXPECT_FALSE(kxport_open(0, 9600));
    EXPECT_FALSE(kxport_open(257, 9600));
    EXPECT_EQ(kxport_getc(0), -1);
    EXPECT_EQ(kxport_getc(257), -1);
    EXPECT_FALSE(kxport_putc(-1, 'a'));
    EXPECT_FALSE(kxport_puts(300, "a"));
    EXPECT_FALSE(kxport_gets(0, buf, 256));
    // Port 7 is open, port 8 never was: its writes fail at the first byte.
    EXPECT_FALSE(kxport_puts(8, "abc"));
    EXPECT_FALSE(kxport_open(255, 9600));  // no COM255 here
    EXPECT_EQ(kxport_current(), 255);
    EXPECT_FALSE(kxport_write("a"));
}

TEST_F(PortTest, PartialLineIsCarriedToTheNextCall)
{
    ASSERT_TRUE(peer.send("AB"));
    std::int64_t end = kxtest_ms() + 200;
    while (kxtest_ms() < end)
        ASSERT_FALSE(kxport_readline(buf, 256));
    ASSERT_TRUE(peer.send("C\r\n"));
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "ABC");
    // CR LF: the LF ends an empty line.
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(kxport_readline(buf, 256));
}

// A call that finds no complete line leaves an empty string, not the
// partial line unterminated.
TEST_F(PortTest, NoCompleteLineLeavesTheBufferEmpty)
{
    std::memset(buf, 'x', sizeof buf - 1);
    EXPECT_FALSE(kxport_readline(buf, 256));
    EXPECT_STREQ(buf, "");  // nothing has come
    ASSERT_TRUE(peer.send("AB"));
    std::int64_t end = kxtest_ms() + 200;
    while (kxtest_ms() < end) {
        std::memset(buf, 'x', sizeof buf - 1);
        ASSERT_FALSE(kxport_readline(buf, 256));
        ASSERT_STREQ(buf, "");  // the part that came is kept, not handed out
    }
    ASSERT_TRUE(peer.send("C\n"));
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "ABC");
}

TEST_F(PortTest, LineEndsCrLfAndBoth)
{
    ASSERT_TRUE(peer.send("one\ntwo\rthree\r\n\n"));
    const char *want[] = {"one", "two", "three", "", ""};
    for (const char *w : want) {
        ASSERT_TRUE(wait_line()) << w;
        EXPECT_STREQ(buf, w);
    }
    EXPECT_FALSE(kxport_readline(buf, 256));
}

TEST_F(PortTest, LongLineComesInPiecesOfCount)
{
    std::string text;
    for (int i = 0; i < 300; i++)
        text += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(peer.send(text));
    ASSERT_TRUE(wait_line());
    EXPECT_EQ(std::string(buf), text.substr(0, 256));
    // The other 44 wait for their line end.
    std::int64_t end = kxtest_ms() + 100;
    while (kxtest_ms() < end)
        ASSERT_FALSE(kxport_readline(buf, 256));
    ASSERT_TRUE(peer.send("\n"));
    ASSERT_TRUE(wait_line());
    EXPECT_EQ(std::string(buf), text.substr(256));

    // A small count splits a line into several pieces.
    ASSERT_TRUE(peer.send("abcdefg\n"));
    for (const char *w : {"abc", "def", "g"}) {
        ASSERT_TRUE(wait_line(3));
        EXPECT_STREQ(buf, w);
    }
}

TEST_F(PortTest, LineOfEveryByteValueAndNul)
{
    ASSERT_TRUE(peer.send(std::string("A\0B\n", 4)));
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "A");  // the NUL ends the text
    EXPECT_EQ(buf[2], 'B');  // but is stored like any other byte

    std::string all;
    for (int b = 1; b < 256; b++)
        if (b != '\n' && b != '\r')
            all += static_cast<char>(b);
    ASSERT_TRUE(peer.send(all + "\n"));
    ASSERT_TRUE(wait_line());
    EXPECT_EQ(std::string(buf), all);
}

TEST_F(PortTest, TimeoutIsMeasuredOnTheClock)
{
    // A host whose wait ends at once, as one woken early by input or timers.
    int rounds = 0;
    kxtest_idle idle([&] { rounds++; });
    // 1 ms: one read, no wait.
    EXPECT_EQ(kxport_getc(7), -1);
    EXPECT_EQ(rounds, 0);
    kxport_settimeout(50);
    std::int64_t start = kxtest_ms();
    EXPECT_EQ(kxport_getc(7), -1);
    std::int64_t took = kxtest_ms() - start;
    EXPECT_GE(took, 40);
    EXPECT_LE(took, 200);
    EXPECT_GT(rounds, 0);
}

TEST_F(PortTest, ByteArrivingDuringTheWaitEndsIt)
{
    int sleeps = 0;
    kxtest_idle idle([&] {
        // The byte is sent after the second sleep; give it time to pass socat.
        if (++sleeps == 2) {
            ASSERT_TRUE(peer.send("Q"));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    kxport_settimeout(10000);
    EXPECT_EQ(kxport_getc(7), 'Q');
    EXPECT_EQ(sleeps, 2);
}

TEST_F(PortTest, PortHeldByAnotherProcessFailsToOpen)
{
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    kxport_closeall();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(done[1]);
        char ok = kxserial_open(6, 9600) ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(done[0], &c, 1);  // hold the port until the parent is done
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    EXPECT_FALSE(kxport_open(7, 9600));
    close(done[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(kxport_open(7, 9600));
    close(ready[0]);
    close(ready[1]);
    close(done[0]);
}

TEST_F(PortTest, AVanishedDeviceEndsThePartialLineAndSaysWhy)
{
    ASSERT_TRUE(peer.send("half"));
    std::int64_t end = kxtest_ms() + 200;
    while (kxtest_ms() < end)
        ASSERT_FALSE(kxport_readline(buf, 256));
    EXPECT_FALSE(kxport_lost(7));
    EXPECT_EQ(kxport_problem(7), "");
    peer.stop();
    // What the device sent before it went is a line of its own, then nothing.
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "half");
    EXPECT_TRUE(kxport_lost(7));
    EXPECT_FALSE(kxport_readline(buf, 256));
    EXPECT_FALSE(kxport_write("after"));
    EXPECT_EQ(kxport_getc(7), -1);
    EXPECT_EQ(kxport_problem(7).rfind("device gone", 0), 0u) << kxport_problem(7);
    EXPECT_EQ(kxport_device(7).rfind("COM7 (/dev/pts/", 0), 0u) << kxport_device(7);
    // The same port opens again once a device is there.
    kxtest_serialpeer again;
    ASSERT_TRUE(again.start(7));
    ASSERT_TRUE(kxport_open(7, 9600));
    EXPECT_FALSE(kxport_lost(7));
}

TEST_F(PortTest, TheLineReaderKeepsEveryByteAndTheLineEnd)
{
    const int before = kxsys_daytime_ms();
    ASSERT_TRUE(peer.send(std::string("A\0B\r\nC\rD\n\x0e\n", 11)));
    const std::string want[] = {std::string("A\0B\r\n", 5), "C\r", "D\n", "\x0e\n"};
    for (const std::string &w : want) {
        int stamp = -1, n = -1;
        ASSERT_TRUE(kxtest_waitfor([&] { return (n = kxport_readbytes(buf, 256, &stamp)) >= 0; },
                                   5000));
        EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)), w);
        // Taken when the first byte was read (a midnight between is no fault).
        EXPECT_TRUE(stamp >= before || stamp < 1000) << stamp << " " << before;
        EXPECT_LE(stamp, kxsys_daytime_ms() + 1);
    }
    EXPECT_EQ(kxport_readbytes(buf, 256, nullptr), -1);
}

TEST_F(PortTest, AFailedOpenPrintsItsReasonOnceInTheToolkitsLanguage)
{
    std::string out = kxtest_stdout([] {
        EXPECT_FALSE(kxport_open(200, 9600));  // no COM200 here, nor /dev/ttyS199
        EXPECT_FALSE(kxport_open(200, 9600));
    });
    EXPECT_EQ(out, "kxport_open: COM200 (/dev/ttyS199): does not exist\n");
    kxlanguage_set(KX_LANG_GERMAN);
    EXPECT_EQ(kxport_problem(200), "existiert nicht");
    kxlanguage_set(KX_LANG_ENGLISH);
}

// A program waiting for events wakes when bytes arrive on the port it read
// empty: the pump posts the port's id, rather than leaving the bytes to the
// next timer.  A port it does not read then wakes it no more.
TEST_F(PortTest, BytesForAReaderWakeTheWaitingProgramOnce)
{
    kxTimer fallback;
    kxtimer_create(&fallback, 5000);
    EXPECT_FALSE(kxport_readline(buf, 256));
    std::thread device([&] {
        kxsys_sleep(30 * 1000);
        peer.send("OK\n");
    });
    int id = kxevent_wait();
    device.join();
    EXPECT_EQ(id, kxport_arrivalid());
    EXPECT_NE(id, fallback.id);
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "OK");

    peer.send("more\n");
    std::int64_t t0 = kxsys_ticks();
    kxsys_waitwake(300);
    EXPECT_GE(kxsys_ticks() - t0, 250) << "a port nobody reads woke the wait";
    EXPECT_FALSE(kxserial_arrived(6));
    ASSERT_TRUE(wait_line());  // taken by the wait all the same, and kept
    EXPECT_STREQ(buf, "more");
    kxtimer_destroy(&fallback);
}

// Bytes are taken from the device by the wait they arrive in, so that what
// a device sent just before it vanished is still read: a hang-up takes what
// the driver held with it.
TEST_F(PortTest, BytesTakenByTheWaitOutliveTheirDevice)
{
    kxTimer fallback;
    kxtimer_create(&fallback, 5000);
    EXPECT_FALSE(kxport_readline(buf, 256));
    ASSERT_TRUE(peer.send("zuletzt\n"));
    ASSERT_TRUE(kxtest_waitfor(
        [&] {
            kxsys_waitwake(100);
            return kxserial_arrived(6);
        },
        5000));
    peer.stop();
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "zuletzt");
    kxtimer_destroy(&fallback);
}


// A wait that found the port quiet spares the read after it; bytes that
// came in between end the next wait at once and are read then.
TEST_F(PortTest, BytesAfterAQuietWaitAreNotHeldBack)
{
    kxTimer fallback;
    kxtimer_create(&fallback, 5000);  // the base tick: waits watch the port
    EXPECT_FALSE(kxport_readline(buf, 256));
    kxsys_waitwake(20);
    peer.send("late\n");
    kxsys_sleep(50 * 1000);
    if (!kxport_readline(buf, 256)) {
        std::int64_t t0 = kxsys_ticks();
        kxsys_waitwake(5000);
        EXPECT_LT(kxsys_ticks() - t0, 1000) << "the bytes did not end the wait";
        EXPECT_TRUE(kxserial_arrived(6));
        ASSERT_TRUE(wait_line());
    }
    EXPECT_STREQ(buf, "late");
    kxtimer_destroy(&fallback);
}

// A flood that begins after a quiet spell is a flood from its first bytes:
// the waits go on watching the port for the rest of it, rather than leave
// it to the reader's next timer as they would a trickle.
TEST_F(PortTest, AFloodAfterAQuietSpellWakesTheWaitForItsRest)
{
    kxTimer fallback;
    kxtimer_create(&fallback, 5000);
    EXPECT_FALSE(kxport_readline(buf, 256));
    kxsys_waitwake(300);  // nothing comes
    std::string burst;
    for (int i = 0; i < 100; i++)
        burst += "Zeile " + std::to_string(1000 + i) + "\r\n";
    peer.send(burst);
    int lines = 0;
    const std::int64_t until = kxsys_ticks() + 3000;
    while (lines < 100 && kxsys_ticks() < until) {
        if (kxport_readline(buf, 256))
            lines += buf[0] != 0;
        else
            kxsys_waitwake(50);
    }
    ASSERT_EQ(lines, 100);
    while (kxport_readline(buf, 256)) {
    }
    std::thread device([&] {
        kxsys_sleep(30 * 1000);
        peer.send("Zeile 1100\r\n");
    });
    std::int64_t t0 = kxsys_ticks();
    kxsys_waitwake(1000);
    device.join();
    EXPECT_LT(kxsys_ticks() - t0, 500) << "the rest of the flood waited for the timer";
    EXPECT_TRUE(kxserial_arrived(6));
    kxtimer_destroy(&fallback);
}

// A trickle gathered between the reader's reads is left to the reader's
// rhythm: its lines do not wake every wait.
TEST_F(PortTest, ATrickleReadByTheReadersTimerDoesNotWakeTheWait)
{
    kxTimer fallback;
    kxtimer_create(&fallback, 5000);
    EXPECT_FALSE(kxport_readline(buf, 256));
    kxsys_waitwake(100);  // nothing comes
    bool stop = false;
    std::thread device([&] {
        for (int i = 0; i < 100 && !stop; i++) {
            peer.send("Zeile " + std::to_string(1000 + i) + "\r\n");
            kxsys_sleep(5 * 1000);
        }
    });
    kxsys_sleep(100 * 1000);  // the reader's timer
    kxport_readline(buf, 256);  // may be spared: the last wait saw the port quiet
    int lines = 0;
    while (kxport_readline(buf, 256))
        lines += buf[0] != 0;
    std::int64_t t0 = kxsys_ticks();
    kxsys_waitwake(100);
    std::int64_t waited = kxsys_ticks() - t0;
    stop = true;
    device.join();
    EXPECT_GT(lines, 5);
    EXPECT_GE(waited, 80) << "a line of the trickle woke the wait";
    kxtimer_destroy(&fallback);
}

// A port closed and opened again (most likely under the same descriptor
// number) is watched by the waits as before.
TEST_F(PortTest, APortOpenedAgainStillWakesTheWait)
{
    kxTimer fallback;
    kxtimer_create(&fallback, 5000);
    EXPECT_FALSE(kxport_readline(buf, 256));
    kxsys_waitwake(20);
    kxport_close(7);
    ASSERT_TRUE(kxport_open(7, 115200));
    EXPECT_FALSE(kxport_readline(buf, 256));
    std::thread device([&] {
        kxsys_sleep(30 * 1000);
        peer.send("wieder\n");
    });
    std::int64_t t0 = kxsys_ticks();
    kxsys_waitwake(1000);
    device.join();
    EXPECT_LT(kxsys_ticks() - t0, 500) << "the port opened again was not watched";
    EXPECT_TRUE(kxserial_arrived(6));
    ASSERT_TRUE(wait_line());
    EXPECT_STREQ(buf, "wieder");
    kxtimer_destroy(&fallback);
}

// A device that hung up reads empty for ever: the waits stop watching it
// rather than waking at once again and again.
TEST_F(PortTest, AVanishedPeerDoesNotKeepWakingTheWait)
{
    kxTimer fallback;
    kxtimer_create(&fallback, 5000);
    EXPECT_FALSE(kxport_readline(buf, 256));
    peer.stop();
    kxsys_waitwake(200);  // may end at once: this is where the hang-up is seen
    for (int i = 0; i < 2; i++) {
        EXPECT_FALSE(kxport_readline(buf, 256));
        std::int64_t t0 = kxsys_ticks();
        kxsys_waitwake(200);
        EXPECT_GE(kxsys_ticks() - t0, 150) << "round " << i;
    }
    kxtimer_destroy(&fallback);
}
