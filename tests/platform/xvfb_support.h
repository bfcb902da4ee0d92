// For the tests that need a real X server: a private Xvfb on a display of
// its own, programs started against it with their output read line by line,
// and screenshots taken by xwd, a client of its own.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

inline std::int64_t kxtest_now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

inline bool kxtest_have(const char *program)
{
    std::string cmd = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// Waits for a child, at most ms; false (and the child is left) on time-out.
inline bool kxtest_reap(pid_t pid, int ms, int *status)
{
    std::int64_t end = kxtest_now_ms() + ms;
    do {
        if (waitpid(pid, status, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (kxtest_now_ms() < end);
    return false;
}

inline void kxtest_end(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || kxtest_reap(pid, 0, &status))
        return;
    kill(pid, SIGTERM);
    if (!kxtest_reap(pid, 3000, &status)) {
        kill(pid, SIGKILL);
        kxtest_reap(pid, 3000, &status);
    }
}

// Runs a shell command against the test's display; its exit code.
inline int kxtest_sh(const std::string &cmd)
{
    int r = std::system(cmd.c_str());
    return WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

// The letters beyond ASCII the tests type, as keysyms the keyboard gets.
#define KXTEST_LETTERS "adiaeresis odiaeresis udiaeresis ssharp Adiaeresis Odiaeresis Udiaeresis"

// Xvfb picks a free display itself (-displayfd), so tests running side by
// side never meet.  Starting also sets DISPLAY for this test process and
// the commands it runs.
struct kxxvfb {
    pid_t pid = -1;
    std::string display;

    bool start(const char *screen = "1024x768x24")
    {
        return launch(screen) &&
               kxtest_sh(KX_TEST_BINARY_DIR "/kxprog_keymap " KXTEST_LETTERS) == 0;
    }
    bool launch(const char *screen)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 3);
            int null = ::open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            // Without -noreset the server starts afresh whenever its last
            // client leaves: a client that connects meanwhile is turned
            // away, and the keyboard's letters are gone.
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset", "-screen", "0",
                   screen, static_cast<char *>(nullptr));
            _exit(127);
        }
        ::close(fds[1]);
        std::string number;
        std::int64_t end = kxtest_now_ms() + 30000;
        while (kxtest_now_ms() < end) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char c;
            if (read(fds[0], &c, 1) != 1)
                break;
            if (c == '\n')
                break;
            number += c;
        }
        ::close(fds[0]);
        if (number.empty())
            return false;
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
        return true;
    }
    void stop()
    {
        kxtest_end(pid);
        pid = -1;
    }
    ~kxxvfb() { stop(); }
};

#define KX_NEED_XVFB(x)                                                                    \
    do {                                                                                   \
        if (!kxtest_have("Xvfb"))                                                          \
            GTEST_SKIP() << "Xvfb is not installed";                                       \
        ASSERT_TRUE((x).start()) << "Xvfb did not start";                                  \
    } while (0)

inline std::string kxtest_sh_out(const std::string &cmd)
{
    std::string out;
    if (std::FILE *f = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        pclose(f);
    }
    return out;
}

// A program whose standard output and error come back as lines.
struct kxtest_proc {
    pid_t pid = -1;
    int fd = -1;
    std::string partial;
    std::vector<std::string> lines;
    int status = 0;

    bool start(const std::vector<std::string> &argv)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid = fork();
        if (pid == 0) {
            // The program gets the signals a desktop sends, whatever this
            // process was started with.
            for (int sig : {SIGTERM, SIGHUP, SIGINT})
                signal(sig, SIG_DFL);
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            ::close(fds[0]);
            std::vector<char *> args;
            for (const std::string &a : argv)
                args.push_back(const_cast<char *>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        ::close(fds[1]);
        fd = fds[0];
        return pid > 0;
    }
    // Reads what is there within ms; false at end of output.
    bool read_some(int ms)
    {
        pollfd p{fd, POLLIN, 0};
        if (fd < 0 || poll(&p, 1, ms) <= 0)
            return fd >= 0;
        char buf[4096];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            ::close(fd);
            fd = -1;
            return false;
        }
        for (ssize_t i = 0; i < n; i++) {
            if (buf[i] == '\n') {
                lines.push_back(partial);
                partial.clear();
            } else {
                partial += buf[i];
            }
        }
        return true;
    }
    // Waits until a line satisfies pred; that line, or "" on time-out.
    std::string wait_line(const std::function<bool(const std::string &)> &pred, int ms = 20000,
                          std::size_t from = 0)
    {
        std::int64_t end = kxtest_now_ms() + ms;
        for (;;) {
            for (std::size_t i = from; i < lines.size(); i++)
                if (pred(lines[i]))
                    return lines[i];
            if (kxtest_now_ms() >= end || !read_some(50))
                break;
        }
        for (std::size_t i = from; i < lines.size(); i++)
            if (pred(lines[i]))
                return lines[i];
        return "";
    }
    std::string wait_prefix(const std::string &prefix, int ms = 20000)
    {
        return wait_line([&](const std::string &l) { return l.rfind(prefix, 0) == 0; }, ms);
    }
    // Reads to the end and reaps; false when it has not ended within ms.
    bool finish(int ms)
    {
        std::int64_t end = kxtest_now_ms() + ms;
        while (fd >= 0 && kxtest_now_ms() < end)
            read_some(50);
        return kxtest_reap(pid, static_cast<int>(std::max<std::int64_t>(end - kxtest_now_ms(), 0)),
                           &status) && (pid = -1, true);
    }
    ~kxtest_proc()
    {
        kxtest_end(pid);
        if (fd >= 0)
            ::close(fd);
    }
};

// A screenshot of one window as 0x00RRGGBB words, read from xwd's own
// format (a header of big-endian words, the window name, the colour map,
// then the pixels).
struct kxtest_shot {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

inline bool kxtest_xwd(unsigned long window, kxtest_shot *shot)
{
    std::string d = kxtest_sh_out("xwd -silent -id " + std::to_string(window) + " 2>/dev/null");
    auto word = [&](std::size_t i) -> std::uint32_t {
        const auto *b = reinterpret_cast<const unsigned char *>(d.data()) + i * 4;
        return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    };
    if (d.size() < 100)
        return false;
    std::uint32_t header = word(0), format = word(2), w = word(4), h = word(5), order = word(7),
                  bpp = word(11), stride = word(12), ncolours = word(19);
    if (format != 2 || bpp != 32 || w == 0 || h == 0 || w > 10000 || h > 10000)
        return false;
    std::size_t at = header + static_cast<std::size_t>(ncolours) * 12;
    if (d.size() < at + static_cast<std::size_t>(stride) * h)
        return false;
    shot->width = static_cast<int>(w), shot->height = static_cast<int>(h);
    shot->pixels.assign(static_cast<std::size_t>(w) * h, 0);
    for (std::uint32_t y = 0; y < h; y++)
        for (std::uint32_t x = 0; x < w; x++) {
            const auto *b = reinterpret_cast<const unsigned char *>(d.data()) + at +
                            static_cast<std::size_t>(y) * stride + x * 4;
            std::uint32_t v = order == 0 ? (std::uint32_t{b[2]} << 16 | std::uint32_t{b[1]} << 8 | b[0])
                                         : (std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3]);
            shot->pixels[static_cast<std::size_t>(y) * w + x] = v & 0xFFFFFF;
        }
    return true;
}

// The first window whose name matches, waiting up to ms; 0 when none.
inline unsigned long kxtest_find_window(const std::string &pattern, int ms = 20000)
{
    std::int64_t end = kxtest_now_ms() + ms;
    do {
        std::string out = kxtest_sh_out("xdotool search --name '" + pattern + "' 2>/dev/null");
        if (!out.empty())
            return std::stoul(out);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (kxtest_now_ms() < end);
    return 0;
}

// Screenshots of the window until one satisfies pred (kept in shot), at
// most ms: what a test looks at is waited for, not slept for.
inline bool kxtest_wait_shot(unsigned long window, const std::function<bool(const kxtest_shot &)> &pred,
                             kxtest_shot *shot, int ms = 20000)
{
    std::int64_t end = kxtest_now_ms() + ms;
    do {
        if (kxtest_xwd(window, shot) && pred(*shot))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (kxtest_now_ms() < end);
    return false;
}

// Until its first paint a toolkit window shows only its black background.
inline bool kxtest_wait_painted(unsigned long window, int ms = 20000)
{
    kxtest_shot shot;
    return kxtest_wait_shot(
        window,
        [](const kxtest_shot &s) {
            return std::any_of(s.pixels.begin(), s.pixels.end(), [](std::uint32_t p) { return p != 0; });
        },
        &shot, ms);
}
