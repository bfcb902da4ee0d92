// The serial device layer against socat pseudo-terminal peers.
#include <stdlib.h>
#include <unistd.h>

#include "serialpeer.h"
#include "support.h"

namespace {

// Links target as name in dir.
void link_as(const std::string &target, const std::string &path)
{
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
}

} // namespace

TEST(Serial, ResolvesNamesFromWorkingDirThenSerialDir)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    kxtest_tempdir cwd;
    ASSERT_EQ(chdir(cwd.path.c_str()), 0);

    // A COM3 in the working directory wins: /dev/null is no tty, so it fails.
    link_as("/dev/null", cwd.file("COM3"));
    EXPECT_FALSE(kxserial_open(2, 9600));
    EXPECT_FALSE(kxserial_isopen(2));

    // Without it the serial directory's pseudo-terminal is taken.
    ASSERT_EQ(unlink(cwd.file("COM3").c_str()), 0);
    EXPECT_TRUE(kxserial_open(2, 9600));
    EXPECT_TRUE(kxserial_putc(2, 'z'));
    EXPECT_EQ(peer.receive(1), "z");

    // Another number is looked for as /dev/ttyS<n-1>, which is not there.
    EXPECT_FALSE(kxserial_open(249, 9600));
    EXPECT_EQ(kxserial_getc(249), -1);
    EXPECT_FALSE(kxserial_putc(249, 'a'));
    EXPECT_FALSE(kxserial_open(-1, 9600));
    EXPECT_FALSE(kxserial_open(KX_SERIAL_SLOTS, 9600));
}

TEST(Serial, MissingDeviceFailsUntilAttached)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(4));
    EXPECT_FALSE(kxserial_open(199, 9600));  // no COM200 here, nor /dev/ttyS199
    EXPECT_FALSE(kxserial_isopen(199));
    link_as(peer.dir.file("COM4"), peer.dir.file("COM200"));
    EXPECT_TRUE(kxserial_open(199, 9600));
    EXPECT_TRUE(kxserial_isopen(199));
}

TEST(Serial, AllByteValuesBothWays)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    ASSERT_TRUE(kxserial_open(2, 115200));
    EXPECT_EQ(kxserial_getc(2), -1);  // nothing yet, and no waiting

    std::string all;
    for (int b = 0; b < 256; b++) {
        all += static_cast<char>(b);
        ASSERT_TRUE(kxserial_putc(2, b));
    }
    EXPECT_EQ(peer.receive(256), all);

    ASSERT_TRUE(peer.send(all + all));
    std::string got;
    ASSERT_TRUE(kxtest_waitfor(
        [&] {
            for (int c; (c = kxserial_getc(2)) >= 0;) {
                EXPECT_LE(c, 255);
                got += static_cast<char>(c);
            }
            return got.size() >= 512;
        },
        5000));
    EXPECT_EQ(got, all + all);
    EXPECT_EQ(kxserial_getc(2), -1);
}

TEST(Serial, OpenIsExclusive)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    ASSERT_TRUE(kxserial_open(2, 9600));
    EXPECT_FALSE(kxserial_openname("COM3", 5, 9600));
    EXPECT_FALSE(kxserial_isopen(5));
    // Opening the same slot again replaces its device.
    EXPECT_TRUE(kxserial_open(2, 19200));
    kxserial_close(2);
    EXPECT_FALSE(kxserial_isopen(2));
    EXPECT_TRUE(kxserial_openname("COM3", 5, 9600));
}

TEST(Serial, RefusedSettingsFailTheOpen)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    // Not a terminal: the driver takes no line settings.
    link_as("/dev/null", peer.dir.file("COM9"));
    EXPECT_FALSE(kxserial_open(8, 9600));
    EXPECT_FALSE(kxserial_isopen(8));
    // No rate at all.
    EXPECT_FALSE(kxserial_open(2, 0));
    EXPECT_FALSE(kxserial_open(2, -9600));
    EXPECT_FALSE(kxserial_isopen(2));
    // A closed device is not held: a good open follows at once.
    EXPECT_TRUE(kxserial_open(2, 57600));
    // A rate outside the termios table goes through the arbitrary-rate path.
    EXPECT_TRUE(kxserial_open(2, 250000));
    EXPECT_TRUE(kxserial_putc(2, 'r'));
    EXPECT_EQ(peer.receive(1), "r");
}

TEST(Serial, WriteToAPeerThatTakesNothingFailsInTime)
{
    kxtest_tempdir dir;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    ASSERT_EQ(symlink(ptsname(master), dir.file("COM5").c_str()), 0);
    setenv("KX_SERIAL_DIR", dir.path.c_str(), 1);
    ASSERT_TRUE(kxserial_open(4, 115200));

    // Nobody reads the master: the output fills, then a write waits 2 s.
    int written = 0;
    std::int64_t before = 0, after = 0;
    for (; written < 4 * 1024 * 1024; written++) {
        before = kxtest_ms();
        if (!kxserial_putc(4, 'f'))
            break;
    }
    after = kxtest_ms();
    EXPECT_LT(written, 4 * 1024 * 1024) << "the output never filled";
    EXPECT_GT(written, 0);
    EXPECT_GE(after - before, 1900);
    EXPECT_LE(after - before, 4000);
    close(master);
}

TEST(Serial, VanishedPeerLeavesCallsReturning)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    ASSERT_TRUE(kxserial_open(2, 9600));
    peer.stop();
    // Once socat has gone the pseudo-terminal is hung up.
    std::int64_t start = kxtest_ms();
    EXPECT_TRUE(kxtest_waitfor([] { return !kxserial_putc(2, 'x'); }, 5000));
    EXPECT_EQ(kxserial_getc(2), -1);
    EXPECT_LT(kxtest_ms() - start, 8000);
}
