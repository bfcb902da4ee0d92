#include "base/file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#if defined(__unix__)
#include <csignal>
#if defined(__unix__)
#include <sys/resource.h>
#endif
#endif

namespace fs = std::filesystem;

namespace {

class FileTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() /
               ("kxfile_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                "_" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string at(const char *leaf) const { return (dir_ / leaf).string(); }
    static std::string slurp(const std::string &p)
    {
        std::ifstream f(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    static void put(const std::string &p, const std::string &bytes)
    {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    bool temp_left() const
    {
        for (const auto &e : fs::recursive_directory_iterator(dir_))
            if (e.path().filename().string().find(".kxtmp") != std::string::npos)
                return true;
        return false;
    }
    fs::path dir_;
};

const std::string kBinary = [] {
    std::string s("a\r\nb\0c\r\n\n", 9);
    for (int c = 128; c < 256; ++c)
        s += char(c);
    return s;
}();

TEST_F(FileTest, SizeOfEmptyAndMissingFiles)
{
    put(at("empty"), "");
    EXPECT_EQ(kxfile_size(at("empty").c_str()), 0);
    EXPECT_EQ(kxfile_size(at("missing").c_str()), -1);
}

TEST_F(FileTest, StreamSizeKeepsPosition)
{
    put(at("f"), "abcdefghij");
    std::FILE *f = std::fopen(at("f").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 3, SEEK_SET);
    EXPECT_EQ(kxfile_streamsize(f), 10);
    EXPECT_EQ(std::fgetc(f), 'd');
    std::fclose(f);
    EXPECT_EQ(kxfile_streamsize(nullptr), -1);
}

TEST_F(FileTest, LoadCutsToCapacityAndTerminates)
{
    put(at("f"), "abcdefghij");
    char buf[16];
    std::memset(buf, 'X', sizeof buf);
    EXPECT_TRUE(kxfile_load(buf, 4, at("f").c_str()));
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], 'X'); // nothing past the capacity
    EXPECT_TRUE(kxfile_load(buf, 11, at("f").c_str()));
    EXPECT_STREQ(buf, "abcdefghij");
    EXPECT_TRUE(kxfile_load(buf, 1, at("f").c_str()));
    EXPECT_STREQ(buf, "");
}

TEST_F(FileTest, LoadFailsSafely)
{
    char buf[8] = "old";
    EXPECT_FALSE(kxfile_load(buf, sizeof buf, at("missing").c_str()));
    EXPECT_STREQ(buf, "");
    put(at("f"), "abc");
    std::memcpy(buf, "keep", 5);
    EXPECT_FALSE(kxfile_load(buf, 0, at("f").c_str()));
    EXPECT_STREQ(buf, "keep");
    EXPECT_FALSE(kxfile_load(buf, sizeof buf, at("").c_str())); // a directory
}

TEST_F(FileTest, WriteKeepsBinaryBytesExactly)
{
    ASSERT_TRUE(kxfile_write(kBinary.data(), at("f").c_str(), kBinary.size()));
    EXPECT_EQ(slurp(at("f")), kBinary);
    char buf[512];
    ASSERT_TRUE(kxfile_load(buf, sizeof buf, at("f").c_str()));
    EXPECT_EQ(std::memcmp(buf, kBinary.data(), kBinary.size()), 0);
    EXPECT_EQ(buf[kBinary.size()], '\0');
    // Length 0 takes the text length, which ends at the first NUL.
    ASSERT_TRUE(kxfile_write("ab\0cd", at("g").c_str(), 0));
    EXPECT_EQ(slurp(at("g")), "ab");
}

TEST_F(FileTest, SaveReplacesLongerFileAndLeavesNoTemp)
{
    put(at("f"), std::string(100, 'x'));
    ASSERT_TRUE(kxfile_save("short", at("f").c_str()));
    EXPECT_EQ(slurp(at("f")), "short");
    ASSERT_TRUE(kxfile_save("", at("f").c_str()));
    EXPECT_EQ(kxfile_size(at("f").c_str()), 0);
    EXPECT_FALSE(temp_left());
}

// Saving must not turn a link into a plain file or reset the file's mode.
TEST_F(FileTest, SaveKeepsLinkAndMode)
{
#if defined(_WIN32)
    GTEST_SKIP() << "Windows keeps no owner modes, and making a link needs a privilege "
                    "(Wine makes none)";
#endif
    put(at("real"), "old");
    fs::permissions(at("real"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real", at("link"));
    ASSERT_TRUE(kxfile_save("new", at("link").c_str()));
    EXPECT_TRUE(fs::is_symlink(at("link")));
    EXPECT_EQ(slurp(at("real")), "new");
    EXPECT_EQ(fs::status(at("real")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(FileTest, SettingsLineRoundTrip)
{
    char line[1000];
    std::snprintf(line, sizeof line, "port=%d   baud=%d\n", 3, 19200);
    ASSERT_TRUE(kxfile_save(line, at("quenlorix.cfg").c_str()));
    EXPECT_EQ(slurp(at("quenlorix.cfg")), "port=3   baud=19200\n");
    char back[1000];
    ASSERT_TRUE(kxfile_load(back, sizeof back, at("quenlorix.cfg").c_str()));
    EXPECT_STREQ(back, line);
}

TEST_F(FileTest, SaveWhereNoFileCanBeCreatedFailsAndTellsWhy)
{
    EXPECT_FALSE(kxfile_save("new", at("nodir/f").c_str()));
    EXPECT_FALSE(fs::exists(at("nodir")));
    EXPECT_STREQ(kxfile_failure(), "No such file or directory");
    // The parent is a regular file: even root cannot create anything there.
    put(at("plain"), "old");
    EXPECT_FALSE(kxfile_save("new", (at("plain") + "/f").c_str()));
    EXPECT_EQ(slurp(at("plain")), "old");
#if defined(__unix__)
    EXPECT_STREQ(kxfile_failure(), "Not a directory");
#endif
    // An existing directory is not replaced by a file.
    fs::create_directory(at("d"));
    put(at("d/inner"), "kept");
    EXPECT_FALSE(kxfile_save("new", at("d").c_str()));
    EXPECT_EQ(slurp(at("d/inner")), "kept");
    EXPECT_STREQ(kxfile_failure(), "Is a directory");
    EXPECT_FALSE(temp_left());
    EXPECT_TRUE(kxfile_save("new", at("f").c_str()));
    EXPECT_STREQ(kxfile_failure(), "");
}

// A save that was killed leaves its new file; the next save of the same
// file takes it away, and only its own.
TEST_F(FileTest, ASaveRemovesWhatKilledSavesOfTheSameFileLeft)
{
    for (const char *leaf : {"f.kxtmp0042", "f.kxtmp7", "g.kxtmp0001", "f.kxtmpx", "f.kxtmp"})
        put(at(leaf), "left");
    ASSERT_TRUE(kxfile_save("new", at("f").c_str()));
    EXPECT_EQ(slurp(at("f")), "new");
    EXPECT_FALSE(fs::exists(at("f.kxtmp0042")));
    EXPECT_FALSE(fs::exists(at("f.kxtmp7")));
    for (const char *leaf : {"g.kxtmp0001", "f.kxtmpx", "f.kxtmp"})
        EXPECT_TRUE(fs::exists(at(leaf))) << leaf;
}

#if defined(__unix__)
// A file size limit makes the write itself fail half-way, even for root.
TEST_F(FileTest, WriteFailingHalfWayKeepsOldFile)
{
    const std::string old = "port=1   baud=9600\n";
    put(at("f"), old);
    const std::string big(2 << 20, 'y');
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1 << 20;
    auto prev = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool wrote = kxfile_write(big.data(), at("f").c_str(), big.size());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, prev);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(slurp(at("f")), old);
    EXPECT_FALSE(temp_left());
    EXPECT_STREQ(kxfile_failure(), "File too large");
}

// Watched from outside with strace, a program's save: the new file is
// synced before the rename puts it in place, the directory after it.
TEST_F(FileTest, ASavedFileReachesTheDiskBeforeItTakesTheOldOnesPlace)
{
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed";
    const std::string trace = at("trace"), target = at("f");
    // LeakSanitizer cannot run under a tracer.
    std::string cmd = "ASAN_OPTIONS=detect_leaks=0 KX_HOST=headless strace -f -qq -o '" + trace +
                      "' -e trace=openat,fsync,fdatasync,rename,renameat,renameat2 '" +
                      KX_TEST_BINARY_DIR "/kxprog_savefile' '" + target + "' neu >/dev/null 2>&1";
    int rc = std::system(cmd.c_str());
    if (rc != 0 && !fs::exists(target))
        GTEST_SKIP() << "strace cannot trace here (" << slurp(trace) << ")";
    ASSERT_EQ(slurp(target), "neu");
    std::vector<std::string> calls;
    std::istringstream in(slurp(trace));
    for (std::string line; std::getline(in, line);)
        calls.push_back(line.substr(std::min(line.find_first_not_of(' ', line.find(' ')),
                                             line.size())));  // without the pid
    auto find = [&](std::size_t from, const std::function<bool(const std::string &)> &what) {
        while (from < calls.size() && !what(calls[from]))
            from++;
        return from;
    };
    auto fd_of = [](const std::string &call) { return call.substr(call.rfind("= ") + 2); };
    auto starts = [](const std::string &call, const std::string &head) {
        return call.rfind(head, 0) == 0;
    };
    std::size_t made = find(0, [&](const std::string &c) {
        return starts(c, "openat(") && c.find(target + ".kxtmp") != std::string::npos;
    });
    ASSERT_LT(made, calls.size()) << slurp(trace);
    std::string fd = fd_of(calls[made]);
    std::size_t synced = find(made, [&](const std::string &c) { return starts(c, "fsync(" + fd + ")"); });
    std::size_t renamed = find(made, [&](const std::string &c) { return starts(c, "rename"); });
    EXPECT_LT(synced, renamed) << slurp(trace);
    ASSERT_LT(renamed, calls.size()) << slurp(trace);
    std::size_t dir = find(renamed, [&](const std::string &c) {
        return starts(c, "openat(") && c.find("\"" + dir_.string() + "\"") != std::string::npos &&
               c.find("O_DIRECTORY") != std::string::npos;
    });
    ASSERT_LT(dir, calls.size()) << slurp(trace);
    std::string dfd = fd_of(calls[dir]);
    EXPECT_LT(find(dir, [&](const std::string &c) { return starts(c, "fsync(" + dfd + ")"); }),
              calls.size())
        << slurp(trace);
}
#endif

TEST_F(FileTest, CopyIntoDirectoryOrOntoFile)
{
    put(at("name.ext"), kBinary);
    fs::create_directory(at("out"));
    ASSERT_TRUE(kxfile_copy(at("name.ext").c_str(), at("out").c_str()));
    EXPECT_EQ(slurp(at("out/name.ext")), kBinary);
    put(at("other"), std::string(1000, 'z'));
    ASSERT_TRUE(kxfile_copy(at("name.ext").c_str(), at("other").c_str()));
    EXPECT_EQ(slurp(at("other")), kBinary);
    // Onto itself: the source must not be truncated before it is read.
    ASSERT_TRUE(kxfile_copy(at("name.ext").c_str(), dir_.string().c_str()));
    EXPECT_EQ(slurp(at("name.ext")), kBinary);
    EXPECT_FALSE(temp_left());
}

TEST_F(FileTest, CopyRefusesDotNamesMissingAndDirectorySources)
{
    fs::create_directory(at("sub"));
    // A readable regular file whose last component, with '\\' as a
    // separator, is "..": only the name rule stops this one.
    put(at("a\\.."), "x");
    const std::string dst = at("dst");
    for (std::string src : {std::string("."), std::string(".."), at("sub/.."), at("a\\.."),
                            at("missing"), at("sub")})
        EXPECT_FALSE(kxfile_copy(src.c_str(), dst.c_str())) << src;
    EXPECT_FALSE(fs::exists(dst));
    EXPECT_FALSE(temp_left());
}

TEST_F(FileTest, DirectoriesAreMadeWithTheirParentsAndEntered)
{
    const std::string deep = at("a/b/c");
    std::string why;
    ASSERT_TRUE(kxdir_create(deep.c_str(), &why)) << why;
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(kxdir_create(deep.c_str(), nullptr));  // already there
    put(at("file"), "x");
    EXPECT_FALSE(kxdir_create(at("file").c_str(), &why));
    EXPECT_EQ(why, std::generic_category().message(ENOTDIR));
    EXPECT_FALSE(kxdir_create(at("file/sub").c_str(), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(kxdir_create("", &why));

    const fs::path before = fs::current_path();
    EXPECT_FALSE(kxdir_change(at("missing").c_str(), &why));
    EXPECT_EQ(fs::current_path(), before);
    ASSERT_TRUE(kxdir_change(deep.c_str(), &why)) << why;
    EXPECT_TRUE(fs::equivalent(fs::current_path(), deep));
    fs::current_path(before);
}

struct Parts {
    std::string dir, name, ext;
    bool ok;
};

Parts split(const char *path)
{
    char d[KX_PATH_BUFSIZE], n[KX_PATH_BUFSIZE], e[KX_PATH_BUFSIZE];
    bool ok = kxpath_split(path, d, sizeof d, n, sizeof n, e, sizeof e);
    return {d, n, e, ok};
}

TEST(PathSplit, Shapes)
{
    struct Row {
        const char *path, *dir, *name, *ext;
    } rows[] = {
        {"C:\\dir\\sub\\file.txt", "C:/dir/sub", "file", "txt"}, {"file.txt", "", "file", "txt"},
        {"dir/file", "dir", "file", ""}, {"/file.txt", "", "file", "txt"}, {"file.", "", "file", ""},
        {"a.b/c.d", "a.b", "c", "d"}, {"", "", "", ""},
        {"a.b/c", "", "a", "b/c"}, // the cut at the last '.' looks at the whole path first
    };
    for (const Row &r : rows) {
        Parts p = split(r.path);
        EXPECT_TRUE(p.ok) << r.path;
        EXPECT_EQ(p.dir, r.dir) << r.path;
        EXPECT_EQ(p.name, r.name) << r.path;
        EXPECT_EQ(p.ext, r.ext) << r.path;
    }
}

TEST(PathSplit, NullOutputsSmallBuffersAndLongPaths)
{
    char name[8];
    EXPECT_TRUE(kxpath_split("d\\n.e", nullptr, 0, name, sizeof name, nullptr, 0));
    EXPECT_STREQ(name, "n");
    char small[8];
    std::memset(small, 'X', sizeof small);
    EXPECT_FALSE(kxpath_split("dir/abcdef.x", nullptr, 0, small, 3, nullptr, 0));
    EXPECT_STREQ(small, "ab");
    EXPECT_EQ(small[3], 'X');
    EXPECT_FALSE(kxpath_split("a.b", nullptr, 0, small, 0, nullptr, 0));
    EXPECT_EQ(small[0], 'a'); // capacity 0: untouched

    std::string longpath(5000, 'a');
    longpath += ".txt";
    Parts p = split(longpath.c_str());
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.name.size(), KX_PATH_MAX); // cut before the dot was reached
    EXPECT_EQ(p.ext, "");
}

TEST(PathNormalize, InPlaceAndBounded)
{
    char b[] = "a\\b\\c";
    EXPECT_TRUE(kxpath_normalize(b, b, sizeof b));
    EXPECT_STREQ(b, "a/b/c");
    char small[6];
    std::memset(small, 'X', sizeof small);
    EXPECT_FALSE(kxpath_normalize("a\\bcdef", small, 4));
    EXPECT_STREQ(small, "a/b");
    EXPECT_EQ(small[4], 'X');
    EXPECT_FALSE(kxpath_normalize("a", small, 0));
}

TEST(PathKind, ExtensionTable)
{
    struct Row {
        const char *path;
        int kind;
    } rows[] = {
        {"X.PNG", 1}, {"a.bmp", 2}, {"a.Xpm", 3}, {"a.ppm", 4}, {"a.pcx", 5}, {"page.html", 6},
        {"page.HTM", 6}, {"a.wmf", 7}, {"a.ps", 8}, {"a.PDF", 9}, {"noext", 0}, {"a.pngx", 0},
        {"a.pn", 0}, {"png", 0}, {"dir.png/file", 0}, {"C:\\p\\x.png", 1},
    };
    for (const Row &r : rows)
        EXPECT_EQ(kxpath_kind(r.path), r.kind) << r.path;
}

} // namespace
