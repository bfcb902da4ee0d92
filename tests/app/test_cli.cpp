// The tester's command line: the option reader, and the real binary run the
// way a user runs it from a terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline.h"
#include "core/app.h"

namespace {

quenlorix_options parse(std::vector<const char *> words, bool ok = true)
{
    words.insert(words.begin(), "quenlorix");
    quenlorix_options o;
    EXPECT_EQ(quenlorix_parseargs(static_cast<int>(words.size()), const_cast<char **>(words.data()),
                                  &o),
              ok)
        << o.error;
    return o;
}

TEST(QuenlorixOptions, OptionsAreTakenAndOtherWordsKeptForTheToolkit)
{
    quenlorix_options o = parse({"word", "-C", "a dir", "-V"});
    EXPECT_EQ(o.directory, "a dir");
    EXPECT_TRUE(o.version);
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.rest, std::vector<std::string>{"word"});
    EXPECT_EQ(parse({"-Cx"}).directory, "x");
    EXPECT_EQ(parse({"--directory=y"}).directory, "y");
    EXPECT_EQ(parse({"--directory", "z", "-h"}).directory, "z");
    EXPECT_TRUE(parse({"--help"}).help);
    // The last of -C and --user-dir counts; after "--" nothing is an option.
    o = parse({"-C", "d", "--user-dir", "--", "-h", "--bogus"});
    EXPECT_TRUE(o.user_dir);
    EXPECT_EQ(o.directory, "");
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.rest, (std::vector<std::string>{"-h", "--bogus"}));
    EXPECT_FALSE(parse({"--user-dir", "--directory", "e"}).user_dir);
}

TEST(QuenlorixOptions, AnUnknownOptionOrAMissingDirectoryIsOneLine)
{
    EXPECT_EQ(parse({"--help", "--bogus"}, false).error,
              "quenlorix: unknown option \"--bogus\" (see quenlorix --help)");
    EXPECT_EQ(parse({"-x"}, false).error, "quenlorix: unknown option \"-x\" (see quenlorix --help)");
    EXPECT_EQ(parse({"--help=yes"}, false).error,
              "quenlorix: unknown option \"--help=yes\" (see quenlorix --help)");
    EXPECT_EQ(parse({"-C"}, false).error,
              "quenlorix: option -C needs a directory (see quenlorix --help)");
    EXPECT_EQ(parse({"--directory="}, false).error,
              "quenlorix: option --directory needs a directory (see quenlorix --help)");
    EXPECT_EQ(parse({"--directory", ""}, false).error,
              "quenlorix: option --directory needs a directory (see quenlorix --help)");
}

TEST(QuenlorixOptions, TheOptionsOfAnUnattendedRun)
{
    quenlorix_options o = parse({"--run", "check.txt", "--port=3", "--baud", "115200", "--tap"});
    EXPECT_EQ(o.run, "check.txt");
    EXPECT_EQ(o.port, 3);
    EXPECT_EQ(o.baud, 115200);
    EXPECT_TRUE(o.tap);
    EXPECT_EQ(parse({"--run"}, false).error,
              "quenlorix: option --run needs a script (see quenlorix --help)");
    EXPECT_EQ(parse({"--run", "x", "--port", "256"}, false).error,
              "quenlorix: option --port: \"256\" is not a number from 1 to 255 (see quenlorix --help)");
    EXPECT_EQ(parse({"--run", "x", "--baud=9600x"}, false).error,
              "quenlorix: option --baud: \"9600x\" is not a number from 1 to 2147483647 "
              "(see quenlorix --help)");
    EXPECT_FALSE(parse({"--run", "x", "--baud=99999999999"}, false).error.empty());
    EXPECT_EQ(parse({"--tap"}, false).error,
              "quenlorix: --port, --baud and --tap belong to --run (see quenlorix --help)");
}

// Win32 hands the program one string, which the toolkit splits.
TEST(QuenlorixOptions, ADirectoryWithSpacesFromOneCommandLineString)
{
    kxapp_setargs("-C \"C:/Serial Tests/modem\" --version");
    quenlorix_options o;
    ASSERT_TRUE(quenlorix_parseargs(kxapp_argc(), kxapp_argv(), &o)) << o.error;
    EXPECT_EQ(o.directory, "C:/Serial Tests/modem");
    EXPECT_TRUE(o.version);
}

} // namespace

#ifndef _WIN32

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../platform/xvfb_support.h"
#include "../serialpeer.h"

namespace {

// Runs the real binary with DISPLAY and KX_HOST unset, as from a terminal
// without a display; its exit code, -1 when it has not ended within 20 s.
int run(const std::vector<std::string> &args, kxtest_proc *p)
{
    unsetenv("DISPLAY");
    unsetenv("KX_HOST");
    std::vector<std::string> argv{KX_TEST_BINARY_DIR "/quenlorix"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!p->start(argv) || !p->finish(20000))
        return -1;
    return WIFEXITED(p->status) ? WEXITSTATUS(p->status) : -1;
}

std::string text_of(const kxtest_proc &p)
{
    std::string t;
    for (const std::string &l : p.lines)
        t += l + "\n";
    return t + p.partial;
}

TEST(QuenlorixBinary, HelpAndVersionAnswerWithoutADisplay)
{
    kxtest_proc help;
    ASSERT_EQ(run({"--help"}, &help), 0) << text_of(help);
    std::string t = text_of(help);
    EXPECT_EQ(t.rfind("Usage: quenlorix [OPTION]...\n", 0), 0u) << t;
    for (const char *word : {"--directory", "--user-dir", "--version", "--run", "--tap", "--port",
                             "--baud", "expect /regex/", "KX_HOST", "KX_SERIAL_DIR",
                             "KX_HEADLESS_SCREEN", "KX_HEADLESS_DEPTH", "KX_SCALE", "size=WxH", "quenlorix.cfg",
                             "quenlorix.dbf", "quenlorix.log", "/dev/ttyS<n-1>"})
        EXPECT_NE(t.find(word), std::string::npos) << word;
    kxtest_proc h;
    EXPECT_EQ(run({"-h"}, &h), 0);
    EXPECT_EQ(text_of(h), t);

    kxtest_proc version;
    ASSERT_EQ(run({"-V"}, &version), 0);
    const std::string v = kxapp_version();
    EXPECT_EQ(text_of(version), "quenlorix " + v + "\nkx9d toolkit " + v + "\n");
}

TEST(QuenlorixBinary, AnUnknownOptionExitsTwoAndNoDisplayExitsOne)
{
    kxtest_proc bogus;
    EXPECT_EQ(run({"--bogus"}, &bogus), 2);
    EXPECT_EQ(text_of(bogus), "quenlorix: unknown option \"--bogus\" (see quenlorix --help)\n");
    kxtest_proc plain;
    EXPECT_EQ(run({}, &plain), 1);
    EXPECT_EQ(text_of(plain), "no X display: set DISPLAY, or KX_HOST=headless for a virtual screen\n");
}

TEST(QuenlorixBinary, TheDirectoryIsMadeAndWorkedInOrRefusedWithALine)
{
    kxtest_tempdir started;
    ASSERT_EQ(chdir(started.path.c_str()), 0);
    std::ofstream(started.file("file")) << "in the way";
    kxtest_proc refused;
    EXPECT_EQ(run({"-C", "file/sub"}, &refused), 1);
    EXPECT_EQ(refused.lines.at(0).rfind("quenlorix: cannot work in \"file/sub\": ", 0), 0u)
        << text_of(refused);

    // Relative to where it was started; the program works there while its
    // dialog waits (no file is written before the dialog is confirmed).
    setenv("KX_HOST", "headless", 1);
    kxtest_proc app;
    ASSERT_TRUE(app.start({KX_TEST_BINARY_DIR "/quenlorix", "--directory", "new/work"}));
    const std::string cwd = "/proc/" + std::to_string(app.pid) + "/cwd";
    char work[PATH_MAX];
    ASSERT_NE(realpath(started.path.c_str(), work), nullptr);
    const std::string expect = std::string(work) + "/new/work";
    EXPECT_TRUE(kxtest_waitfor([&] {
        char now[PATH_MAX];
        return realpath(cwd.c_str(), now) && expect == now;
    }, 20000)) << text_of(app);
    EXPECT_NE(access(started.file("quenlorix.log").c_str(), F_OK), 0);
}

// Standard output sent to a file, as a desktop menu or "> file" does: a
// diagnostic line is in the file while the program still runs, and so
// survives SIGKILL.
TEST(QuenlorixBinary, ADiagnosticReachesARedirectedStdoutWhenItIsPrinted)
{
    kxtest_tempdir dir;
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    std::ofstream(dir.file("quenlorix.dbf")) << "keine Tabelle";  // said at start
    setenv("KX_HOST", "headless", 1);
    kxtest_proc app;
    ASSERT_TRUE(app.start({"/bin/sh", "-c", "exec '" KX_TEST_BINARY_DIR "/quenlorix' > out.txt"}));
    const std::string line = "kxdbf_open: quenlorix.dbf: not a dBase table\n";
    EXPECT_TRUE(kxtest_waitfor(
        [&] {
            std::ifstream in(dir.file("out.txt"));
            std::stringstream ss;
            ss << in.rdbuf();
            return ss.str().find(line) != std::string::npos;
        },
        20000))
        << "the line did not reach the file while the program ran";
    kill(app.pid, SIGKILL);
    EXPECT_TRUE(app.finish(20000));
}

} // namespace

#endif
