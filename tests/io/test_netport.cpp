// Ports bound to a serial server: ser2net on the loopback address in front
// of a socat pseudo-terminal, reached as raw TCP and over RFC 2217.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "core/event.h"
#include "core/language.h"
#include "core/timer.h"
#include "io/port.h"
#include "io/portline.h"
#include "ser2net.h"
#include "support.h"

namespace {

constexpr int PORT = 5;

struct NetPortTest : testing::Test {
    kxtest_serialpeer peer;
    kxtest_ser2net server;
    char buf[KX_LINE_BUFFER] = {};

    void SetUp() override
    {
        kxtest_headless();
        kxport_settimeout(KX_PORT_TIMEOUT_START);
        kxport_reset();
        ASSERT_TRUE(peer.start(1));
        ASSERT_TRUE(server.start(peer.dir.file("COM1")));
    }
    void TearDown() override
    {
        kxport_closeall();
        kxserial_bind(PORT - 1, nullptr);
        kxlanguage_set(KX_LANG_ENGLISH);
    }
    bool open(const std::string &url, int baud = 9600)
    {
        kxserial_bind(PORT - 1, url.c_str());
        return kxport_open(PORT, baud);
    }
    // Opens once ser2net has let go of the device for the last connection
    // and has it open for this one: it takes a moment for either, and hangs
    // up on a connection that comes too soon.
    bool open_served(const std::string &url, int baud = 9600)
    {
        return kxtest_waitfor(
            [&] {
                kxport_close(PORT);
                return kxtest_waitfor([&] { return server.idle() && !server.holds(); }, 1000) &&
                       open(url, baud) &&
                       kxtest_waitfor([&] { return server.holds(); }, 1000);
            },
            10000);
    }
    // The next line the port gives, its end kept; "" after 5 s.
    std::string line()
    {
        int n = -1;
        kxtest_waitfor([&] { return (n = kxport_getline(PORT, buf, KX_LINE_MAX, nullptr)) >= 0; },
                       5000);
        return n < 0 ? "" : std::string(buf, static_cast<std::size_t>(n));
    }
    // The output rate ser2net gave its device.
    speed_t device_rate()
    {
        int fd = ::open(peer.dir.file("COM1").c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        struct termios t {};
        bool ok = fd >= 0 && tcgetattr(fd, &t) == 0;
        if (fd >= 0)
            close(fd);
        return ok ? cfgetospeed(&t) : B0;
    }
};

std::string every_byte()
{
    std::string all;
    for (int b = 1; b < 256; b++)
        if (b != '\n' && b != '\r')
            all += static_cast<char>(b);
    return all;
}

} // namespace

TEST_F(NetPortTest, RawAndRfc2217CarryLinesAndEveryByteBothWays)
{
    const std::string all = every_byte();
    for (const std::string &url : {server.raw_url(), server.rfc2217_url()}) {
        SCOPED_TRACE(url);
        ASSERT_TRUE(open_served(url)) << kxport_problem(PORT);
        EXPECT_EQ(kxport_device(PORT), "COM5 (" + url + ")");
        EXPECT_TRUE(kxport_puts(PORT, ("AT\xff" + all + "\n").c_str()));
        EXPECT_EQ(peer.receive(all.size() + 4), "AT\xff" + all + "\n");
        ASSERT_TRUE(peer.send("OK\xff\xff" + all + "\r\n"));
        EXPECT_EQ(line(), "OK\xff\xff" + all + "\r\n");
        kxport_close(PORT);
    }
}

TEST_F(NetPortTest, TheRateReachesTheServersDeviceOverRfc2217Only)
{
    ASSERT_TRUE(open_served(server.rfc2217_url(), 115200)) << kxport_problem(PORT);
    EXPECT_EQ(device_rate(), B115200);
    ASSERT_TRUE(open_served(server.rfc2217_url(), 2400));
    EXPECT_EQ(device_rate(), B2400);
    // Raw TCP leaves the device at the server's own rate.
    ASSERT_TRUE(open_served(server.raw_url(), 115200));
    EXPECT_TRUE(kxtest_waitfor([&] { return device_rate() == B9600; }, 5000));
}

// Two stop bits reach the server's device over RFC 2217, DTR, RTS and BREAK
// are passed on; a raw port has no lines to drive.
TEST_F(NetPortTest, TheFramingAndTheControlLinesGoOverRfc2217Only)
{
    kxserialline framing;
    framing.stopbits = 2;
    kxport_setline(PORT, framing);
    ASSERT_TRUE(open_served(server.rfc2217_url())) << kxport_problem(PORT);
    int fd = ::open(peer.dir.file("COM1").c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    struct termios t {};
    ASSERT_TRUE(fd >= 0 && tcgetattr(fd, &t) == 0);
    close(fd);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(kxport_setcontrol(PORT, kxcontrol::dtr, false), kxlinecall::done);
    EXPECT_EQ(kxport_setcontrol(PORT, kxcontrol::rts, false), kxlinecall::done);
    EXPECT_EQ(kxport_break(PORT, 20), kxlinecall::done);
    ASSERT_TRUE(peer.send("danach\n"));
    EXPECT_EQ(line(), "danach\n");
    kxport_setline(PORT, kxserialline{});
    ASSERT_TRUE(open_served(server.raw_url()));
    kxmodemlines lines;
    EXPECT_EQ(kxport_setcontrol(PORT, kxcontrol::dtr, false), kxlinecall::nolines);
    EXPECT_EQ(kxport_modemlines(PORT, &lines), kxlinecall::nolines);
}

TEST_F(NetPortTest, AStoppedServerIsALossWithItsReasonAndItsReturnReopens)
{
    kxlanguage_set(KX_LANG_GERMAN);
    for (const std::string &url : {server.raw_url(), server.rfc2217_url()}) {
        SCOPED_TRACE(url);
        ASSERT_TRUE(open_served(url));
        server.stop();
        EXPECT_TRUE(
            kxtest_waitfor([&] { return kxport_getc(PORT) < 0 && kxport_lost(PORT); }, 5000));
        EXPECT_EQ(kxport_problem(PORT), "Verbindung vom Server getrennt");
        EXPECT_FALSE(kxport_open(PORT, 9600));
        EXPECT_EQ(kxport_problem(PORT), "Verbindung vom Server abgelehnt");
        ASSERT_TRUE(server.resume());
        ASSERT_TRUE(kxtest_waitfor([&] { return kxport_open(PORT, 9600); }, 5000))
            << kxport_problem(PORT);
        ASSERT_TRUE(peer.send("wieder\n"));
        EXPECT_EQ(line(), "wieder\n");
        kxport_close(PORT);
    }
}

TEST_F(NetPortTest, AnUnknownNameAClosedPortAndARawServerHaveTheirReasons)
{
    kxlanguage_set(KX_LANG_GERMAN);
    EXPECT_FALSE(open("tcp://nohost.invalid:4001"));
    EXPECT_EQ(kxport_problem(PORT), "Servername nohost.invalid nicht aufl\xf6sbar");
    EXPECT_FALSE(open("rfc2217://127.0.0.1:" + std::to_string(kxtest_freeport())));
    EXPECT_EQ(kxport_problem(PORT), "Verbindung vom Server abgelehnt");
    EXPECT_FALSE(open("tcp://127.0.0.1"));  // no port number
    EXPECT_EQ(kxport_problem(PORT), "Servername tcp://127.0.0.1 nicht aufl\xf6sbar");
    // A raw port answers no Telnet: the open gives up after its wait.
    EXPECT_FALSE(open("rfc2217://127.0.0.1:" + std::to_string(server.raw)));
    EXPECT_EQ(kxport_problem(PORT), "Server spricht kein RFC 2217");
    kxlanguage_set(KX_LANG_ENGLISH);
    EXPECT_EQ(kxport_problem(PORT), "the server does not speak RFC 2217");
}

// Bytes from the server wake a program that waits, as a device's do.
TEST_F(NetPortTest, BytesFromTheServerWakeTheWaitingProgram)
{
    ASSERT_TRUE(open_served(server.rfc2217_url()));
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
    EXPECT_EQ(line(), "OK\n");
    kxtimer_destroy(&fallback);
}

// A server that runs every port at 9600 whatever it is asked: the open
// fails with its answer.
TEST_F(NetPortTest, ARateTheServerChangesFailsTheOpenWithItsAnswer)
{
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len), 0);
    std::thread fixed([listener] {
        int c = accept(listener, nullptr, nullptr);
        const std::string take = "\xff\xfd\x2c";  // DO COM-PORT-OPTION
        send(c, take.data(), take.size(), 0);
        std::string got;
        char b[256];
        ssize_t n;
        while (got.find("\xff\xfa\x2c\x01") == std::string::npos &&
               (n = recv(c, b, sizeof b, 0)) > 0)
            got.append(b, static_cast<std::size_t>(n));
        const std::string answers = std::string("\xff\xfa\x2c\x65\x00\x00\x25\x80\xff\xf0", 10) +
                                    std::string("\xff\xfa\x2c\x66\x08\xff\xf0", 7) +
                                    std::string("\xff\xfa\x2c\x67\x01\xff\xf0", 7) +
                                    std::string("\xff\xfa\x2c\x68\x01\xff\xf0", 7) +
                                    std::string("\xff\xfa\x2c\x69\x01\xff\xf0", 7);
        send(c, answers.data(), answers.size(), 0);
        while (recv(c, b, sizeof b, 0) > 0) {
        }
        close(c);
    });
    kxlanguage_set(KX_LANG_GERMAN);
    EXPECT_FALSE(open("rfc2217://127.0.0.1:" + std::to_string(ntohs(a.sin_port)), 115200));
    EXPECT_EQ(kxport_problem(PORT),
              "Einstellung vom Server abgelehnt: SET-BAUDRATE 115200 -> 9600");
    kxport_close(PORT);
    fixed.join();
    close(listener);
}
