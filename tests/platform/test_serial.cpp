// The serial device layer against socat pseudo-terminal peers.
#include <grp.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST(Serial, AVanishedDeviceIsClosedAndItsStatusSaysLost)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    ASSERT_TRUE(kxserial_open(2, 9600));
    ASSERT_TRUE(peer.send("ab"));
    int first = -1;
    ASSERT_TRUE(kxtest_waitfor([&] { return (first = kxserial_getc(2)) >= 0; }, 5000));
    EXPECT_EQ(first, 'a');
    peer.stop();
    // The byte read ahead with the first is still handed out, then the loss shows.
    std::string got;
    ASSERT_TRUE(kxtest_waitfor(
        [&] {
            for (int c; (c = kxserial_getc(2)) >= 0;)
                got += static_cast<char>(c);
            return !kxserial_isopen(2);
        },
        5000));
    EXPECT_EQ(got, "b");
    EXPECT_EQ(kxserial_status(2)->fault, kxserialfault::lost);
    EXPECT_EQ(std::string(kxserial_status(2)->path).rfind("/dev/pts/", 0), 0u);
    EXPECT_FALSE(kxserial_putc(2, 'x'));
    EXPECT_EQ(kxserial_getc(2), -1);
}

TEST(Serial, AFailedOpenSaysWhy)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    EXPECT_FALSE(kxserial_open(199, 9600));
    EXPECT_EQ(kxserial_status(199)->fault, kxserialfault::missing);
    EXPECT_STREQ(kxserial_status(199)->path, "/dev/ttyS199");

    link_as("/dev/null", peer.dir.file("COM9"));
    EXPECT_FALSE(kxserial_open(8, 9600));
    EXPECT_EQ(kxserial_status(8)->fault, kxserialfault::setting);
    EXPECT_FALSE(kxserial_open(2, 0));
    EXPECT_EQ(kxserial_status(2)->fault, kxserialfault::rate);

    // Held by another process, which /proc names.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char ok = kxserial_open(2, 9600) ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    EXPECT_FALSE(kxserial_open(2, 9600));
    EXPECT_EQ(kxserial_status(2)->fault, kxserialfault::busy);
    EXPECT_EQ(std::string(kxserial_status(2)->detail),
              "kx9d_tests (PID " + std::to_string(child) + ")");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(kxserial_open(2, 9600));
    EXPECT_EQ(kxserial_status(2)->fault, kxserialfault::none);
}

TEST(Serial, ADeviceOfAGroupTheUserIsNotInNamesTheGroup)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the device to a group and drop to another user";
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    const group *g = getgrnam("dialout");
    const gid_t gid = g ? g->gr_gid : 0;
    const std::string name = g ? "dialout" : "root";
    char device[PATH_MAX];
    ASSERT_TRUE(realpath(peer.dir.file("COM3").c_str(), device));
    ASSERT_EQ(chown(device, 0, gid), 0);
    ASSERT_EQ(chmod(device, 0660), 0);
    ASSERT_EQ(chmod(peer.dir.path.c_str(), 0755), 0);
    // A throw-away user: nobody's ids, no supplementary groups.
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        bool opened = kxserial_open(2, 9600);
        const kxserialstatus *st = kxserial_status(2);
        std::string out = std::string(opened ? "opened" : "failed") + " " +
                          std::to_string(static_cast<int>(st->fault)) + " " + st->detail;
        (void)!write(result[1], out.data(), out.size());
        _exit(0);
    }
    close(result[1]);
    char buf[512] = {};
    ssize_t n = read(result[0], buf, sizeof buf - 1);
    close(result[0]);
    waitpid(child, nullptr, 0);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buf),
              "failed " + std::to_string(static_cast<int>(kxserialfault::access)) + " " + name);
}

TEST(Serial, TheDeviceOfAPortIsWhereItsLinksLead)
{
    kxtest_serialpeer peer;
    ASSERT_TRUE(peer.start(3));
    char device[PATH_MAX];
    ASSERT_TRUE(realpath(peer.dir.file("COM3").c_str(), device));
    kxserialdevice d = kxserial_device(2);
    EXPECT_TRUE(d.present);
    EXPECT_STREQ(d.path, device);
    EXPECT_STREQ(d.byid, "");  // no USB adapter behind a pseudo-terminal
    // A dangling link shows where it leads.
    link_as(peer.dir.file("gone"), peer.dir.file("COM4"));
    d = kxserial_device(3);
    EXPECT_FALSE(d.present);
    EXPECT_EQ(std::string(d.path), peer.dir.file("gone"));
    // A binding comes before every other name.
    kxserial_bind(3, peer.dir.file("COM3").c_str());
    EXPECT_STREQ(kxserial_device(3).path, device);
    EXPECT_TRUE(kxserial_open(3, 9600));
    kxserial_close(3);
    kxserial_bind(3, nullptr);
    EXPECT_FALSE(kxserial_device(3).present);
}
