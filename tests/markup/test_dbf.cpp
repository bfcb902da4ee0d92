#include "markup/dbf.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#if defined(__unix__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "support.h"

namespace fs = std::filesystem;

namespace {

class DbfTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        std::random_device rd;
        dir_ = fs::temp_directory_path() /
               ("kxdbf_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
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
        for (const auto &e : fs::directory_iterator(dir_))
            if (e.path().filename().string().find(".kxtmp") != std::string::npos)
                return true;
        return false;
    }
    fs::path dir_;
};

unsigned u16at(const std::string &s, std::size_t at)
{
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

unsigned u32at(const std::string &s, std::size_t at)
{
    return u16at(s, at) | u16at(s, at + 2) << 16;
}

std::string le16(unsigned v) { return {char(v & 0xFF), char(v >> 8 & 0xFF)}; }
std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }

// Today's header date bytes, worked out here from the local clock.
std::string today_bytes()
{
    std::time_t now = std::time(nullptr);
    std::tm t{};
#ifdef _WIN32
    localtime_s(&t, &now);
#else
    localtime_r(&now, &t);
#endif
    int y = t.tm_year > 100 ? t.tm_year - 100 : t.tm_year;
    return {char(y), char(t.tm_mon + 1), char(t.tm_mday)};
}

// A field descriptor: name, type and the 16-bit length word at offset 16.
std::string descriptor(const std::string &name, char type, unsigned length)
{
    std::string d = name.substr(0, 11);
    d.resize(11, '\0');
    d += type;
    d += std::string(4, '\0') + le16(length) + std::string(14, '\0');
    return d;
}

// A file put together by hand; lengths and count may lie.
struct Forged {
    std::vector<std::string> descriptors;
    std::vector<std::string> records; // each with its deletion byte
    int headerlength = -1;            // -1: the true one
    int recordlength = -1;
    long long count = -1;
    bool terminator = true;

    std::string bytes() const
    {
        int hl = headerlength >= 0 ? headerlength : int(32 * descriptors.size() + 33);
        int rl = recordlength >= 0 ? recordlength : (records.empty() ? 1 : int(records[0].size()));
        unsigned n = count >= 0 ? unsigned(count) : unsigned(records.size());
        std::string s = "\x03\x07\x0C\x07" + le32(n) + le16(unsigned(hl)) + le16(unsigned(rl)) +
                        std::string(17, '\0') + "\x03" + std::string(2, '\0');
        for (const std::string &d : descriptors)
            s += d;
        if (terminator)
            s += '\x0D';
        // A short header length cuts the descriptors, never the main header.
        s.resize(std::size_t(std::max(hl, 32)), '\0');
        for (const std::string &r : records)
            s += r;
        return s;
    }
};

// All texts of an open file, row by row, read into a buffer of cap bytes.
std::vector<std::vector<std::string>> contents(kxXBase *db, std::size_t cap = 400)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<char> buf(cap);
    for (int r = 0; r < kxdbf_records(db); ++r) {
        rows.emplace_back();
        for (int f = 0; f < kxdbf_fields(db); ++f) {
            EXPECT_TRUE(kxdbf_read(db, buf.data(), buf.size(), r, f));
            rows.back().emplace_back(buf.data());
        }
    }
    return rows;
}

using Rows = std::vector<std::vector<std::string>>;

// The application's table: a header row, a separator-free body of 14 rows.
Rows app_table()
{
    Rows rows(15, std::vector<std::string>(3));
    rows[0] = {"zu sendender String", "Kommentar", ""};
    for (int r = 1; r < 15; ++r)
        rows[r] = {"AT+" + std::to_string(r), "Zeile " + std::to_string(r), "senden"};
    return rows;
}

bool save_rows(const std::string &name, const Rows &rows, int firstrecord = 0, int firstfield = 0)
{
    int columns = rows.empty() ? 0 : int(rows[0].size());
    return kxdbf_savetable(name.c_str(), firstrecord, firstfield, columns, int(rows.size()),
                           [&](int c, int r) { return rows[r][c]; });
}

bool load_rows(const std::string &name, Rows &rows, int columns, int nrows, int firstrecord = 0,
               int firstfield = 0, std::size_t maxlen = 302)
{
    rows.assign(std::size_t(nrows), std::vector<std::string>(std::size_t(columns), "unset"));
    return kxdbf_loadtable(name.c_str(), firstrecord, firstfield, columns, nrows, maxlen,
                           [&](int c, int r, const char *text) { rows[r][c] = text; });
}

// ------------------------------------------------------------- writing

TEST_F(DbfTest, CreatedFileHasExactBytes)
{
    kxXBase db;
    ASSERT_TRUE(kxdbf_create(&db, at("small").c_str(), 2, 2, 3));
    EXPECT_TRUE(kxdbf_write(&db, "ab", 0, 0));
    EXPECT_TRUE(kxdbf_write(&db, "wxyz!", 1, 1)); // cut to the field's 4 bytes
    ASSERT_TRUE(kxdbf_close(&db));

    // Header 32 + 2 x 32 + 1 = 97 bytes, records 1 + 4 + 4 = 9 bytes.
    std::string want = "\x03" + today_bytes() + le32(2) + le16(97) + le16(9) +
                       std::string(17, '\0') + "\x03" + std::string(2, '\0');
    want += std::string("C0", 2) + std::string(9, '\0') + "C" + std::string(4, '\0') + le16(4) +
            std::string(14, '\0');
    want += std::string("C1", 2) + std::string(9, '\0') + "C" + std::string(4, '\0') + le16(4) +
            std::string(14, '\0');
    want += "\x0D";
    // Fields never written keep the NUL bytes of a new record.
    want += std::string(" ab  ", 5) + std::string(4, '\0');
    want += std::string(" ", 1) + std::string(4, '\0') + "wxyz";
    ASSERT_EQ(want.size(), 115u);
    EXPECT_EQ(slurp(at("small.dbf")), want);
    EXPECT_FALSE(temp_left());
}

TEST_F(DbfTest, ApplicationTableFile)
{
    Rows rows = app_table();
    rows[3][0] = std::string(120, 'x') + "TAIL";
    rows[4][1] = "abc";
    ASSERT_TRUE(save_rows(at("quenlorix"), rows));
    const std::string f = slurp(at("quenlorix.dbf"));
    ASSERT_EQ(f.size(), 4689u); // 129 + 15 x 304, no end-of-file byte
    EXPECT_EQ(f[0], '\x03');
    EXPECT_EQ(f.substr(1, 3), today_bytes());
    EXPECT_EQ(u32at(f, 4), 15u);
    EXPECT_EQ(u16at(f, 8), 129u);
    EXPECT_EQ(u16at(f, 10), 304u);
    EXPECT_EQ(f[29], '\x03');
    for (int i = 0; i < 3; ++i) {
        const std::string d = f.substr(32 + 32 * std::size_t(i), 32);
        EXPECT_EQ(d, descriptor("C" + std::to_string(i), 'C', 101));
    }
    EXPECT_EQ(f[128], '\x0D');

    // Row 3 column 0: 101 of the 124 characters; row 4 column 1: three
    // letters and 98 spaces.
    const std::size_t r3 = 129 + 3 * 304, r4 = 129 + 4 * 304;
    EXPECT_EQ(f[r3], ' ');
    EXPECT_EQ(f.substr(r3 + 1, 101), std::string(101, 'x'));
    EXPECT_EQ(f.substr(r4 + 1 + 101, 101), "abc" + std::string(98, ' '));
    EXPECT_EQ(f.substr(r4 + 1 + 202, 101), "senden" + std::string(95, ' '));

    Rows back;
    ASSERT_TRUE(load_rows(at("quenlorix"), back, 3, 15));
    rows[3][0] = std::string(101, 'x');
    EXPECT_EQ(back, rows);
}

TEST_F(DbfTest, DateBytes)
{
    unsigned char d[3];
    kxdbf_datebytes(2007, 12, 7, d);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(d), 3), "\x07\x0C\x07");
    kxdbf_datebytes(2000, 1, 31, d);
    EXPECT_EQ(d[0], 100);
    kxdbf_datebytes(1999, 6, 1, d);
    EXPECT_EQ(d[0], 99);
    kxdbf_datebytes(2001, 6, 1, d);
    EXPECT_EQ(d[0], 1);
}

TEST_F(DbfTest, FileNameSuffixes)
{
    kxXBase db;
    ASSERT_TRUE(kxdbf_create(&db, at("plain").c_str(), 1, 1, 5));
    ASSERT_TRUE(kxdbf_create(&db, at("upper.DBF").c_str(), 1, 1, 5)); // closes plain.dbf
    ASSERT_TRUE(kxdbf_close(&db));
    EXPECT_TRUE(fs::exists(at("plain.dbf")));
    EXPECT_TRUE(fs::exists(at("upper.DBF")));
    EXPECT_FALSE(fs::exists(at("upper.DBF.dbf")));

    // The table's save and load look for the lower-case extension only.
    ASSERT_TRUE(save_rows(at("t.DBF"), {{"a", "b"}}));
    EXPECT_TRUE(fs::exists(at("t.DBF.dbf")));
    EXPECT_FALSE(fs::exists(at("t.DBF")));
    Rows back;
    ASSERT_TRUE(load_rows(at("t.DBF"), back, 2, 1));
    EXPECT_EQ(back, (Rows{{"a", "b"}}));
    ASSERT_TRUE(save_rows(at("t.dbf"), {{"c"}}));
    ASSERT_TRUE(load_rows(at("t.dbf"), back, 1, 1));
    EXPECT_EQ(back, (Rows{{"c"}}));
}

TEST_F(DbfTest, CreateRefusesFieldsThatDoNotFit)
{
    kxXBase db;
    std::string out = kxtest_stdout([&] {
        EXPECT_FALSE(kxdbf_create(&db, at("a").c_str(), 1, KX_DBF_MAX_FIELDS + 1, 1));
        EXPECT_FALSE(kxdbf_create(&db, at("b").c_str(), 1, 2, 40000)); // record > 65535
    });
    EXPECT_NE(out.find("kxdbf_create: 312 fields do not fit the header\n"), std::string::npos) << out;
    EXPECT_NE(out.find("kxdbf_create: fields do not fit a record"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(at("a.dbf")));
    EXPECT_FALSE(fs::exists(at("b.dbf")));
    EXPECT_FALSE(kxdbf_create(&db, at("c").c_str(), -1, 1, 1));
    EXPECT_FALSE(kxdbf_create(&db, (dir_ / "missing" / "d").string().c_str(), 1, 1, 1));

    // The largest header that fits: 311 fields, 9985 bytes.
    ASSERT_TRUE(kxdbf_create(&db, at("wide").c_str(), 1, KX_DBF_MAX_FIELDS, 0));
    EXPECT_TRUE(kxdbf_write(&db, "z", 0, KX_DBF_MAX_FIELDS - 1));
    ASSERT_TRUE(kxdbf_close(&db));
    ASSERT_TRUE(kxdbf_open(&db, at("wide.dbf").c_str()));
    EXPECT_EQ(kxdbf_fields(&db), KX_DBF_MAX_FIELDS);
    char buf[4];
    EXPECT_TRUE(kxdbf_read(&db, buf, sizeof buf, 0, KX_DBF_MAX_FIELDS - 1));
    EXPECT_STREQ(buf, "z");
}

// ------------------------------------------------------------- reading

TEST_F(DbfTest, OpenWriteAndReopen)
{
    ASSERT_TRUE(save_rows(at("t"), {{"one", "two"}, {"three", "four"}}));
    kxXBase db;
    ASSERT_TRUE(kxdbf_open(&db, at("t.dbf").c_str()));
    EXPECT_FALSE(db.readonly);
    EXPECT_EQ(kxdbf_records(&db), 2);
    EXPECT_EQ(kxdbf_fields(&db), 2);
    EXPECT_STREQ(db.fields[1].name, "C1");
    // Writing record 4 appends records 2 to 4; the ones between read empty.
    EXPECT_TRUE(kxdbf_write(&db, "new", 4, 1));
    EXPECT_TRUE(kxdbf_write(&db, "  lead  ", 0, 0));
    ASSERT_TRUE(kxdbf_close(&db));

    const std::string f = slurp(at("t.dbf"));
    EXPECT_EQ(f.size(), 97u + 5 * 203);
    EXPECT_EQ(u32at(f, 4), 5u);
    EXPECT_EQ(f.substr(1, 3), today_bytes());
    ASSERT_TRUE(kxdbf_open(&db, at("t.dbf").c_str()));
    EXPECT_EQ(contents(&db), (Rows{{"  lead", "two"}, {"three", "four"}, {"", ""}, {"", ""},
                                   {"", "new"}}));
    // Reading past the records or fields gives "" and false.
    char buf[8] = "junk";
    EXPECT_FALSE(kxdbf_read(&db, buf, sizeof buf, 5, 0));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(kxdbf_read(&db, buf, sizeof buf, 0, 2));
    EXPECT_FALSE(kxdbf_read(&db, buf, sizeof buf, -1, 0));
    EXPECT_FALSE(kxdbf_write(&db, "x", 0, 2));
    EXPECT_FALSE(kxdbf_write(&db, "x", 0, -1));
}

TEST_F(DbfTest, ReadIsCutToTheBuffer)
{
    ASSERT_TRUE(save_rows(at("t"), {{std::string(101, 'q')}}));
    kxXBase db;
    ASSERT_TRUE(kxdbf_open(&db, at("t.dbf").c_str()));
    char buf[12];
    std::memset(buf, '#', sizeof buf);
    EXPECT_TRUE(kxdbf_read(&db, buf, 10, 0, 0));
    EXPECT_STREQ(buf, "qqqqqqqqq");
    EXPECT_EQ(buf[10], '#');
    EXPECT_TRUE(kxdbf_read(&db, buf, 1, 0, 0));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(kxdbf_read(&db, buf, 0, 0, 0));
    // The table's load keeps at most maxlen characters.
    Rows back;
    ASSERT_TRUE(load_rows(at("t"), back, 1, 1, 0, 0, 5));
    EXPECT_EQ(back[0][0], "qqqqq");
}

TEST_F(DbfTest, DeletedRecordsAreSkipped)
{
    Forged f;
    f.descriptors = {descriptor("C0", 'C', 3)};
    f.records = {" aaa", "*bbb", " ccc", "*ddd"};
    put(at("d.dbf"), f.bytes());

    Rows back;
    ASSERT_TRUE(load_rows(at("d"), back, 1, 3));
    EXPECT_EQ(back, (Rows{{"aaa"}, {"ccc"}, {""}})); // row 1 is record 2

    kxXBase db;
    ASSERT_TRUE(kxdbf_open(&db, at("d.dbf").c_str()));
    EXPECT_EQ(kxdbf_records(&db), 2);
    EXPECT_TRUE(kxdbf_write(&db, "CC", 1, 0));
    // A new record takes the first deleted one; while the file is open it
    // keeps the index it was given, so the live records keep theirs.
    EXPECT_TRUE(kxdbf_write(&db, "EE", 2, 0));
    EXPECT_EQ(contents(&db), (Rows{{"aaa"}, {"CC"}, {"EE"}}));
    ASSERT_TRUE(kxdbf_close(&db));
    const std::string s = slurp(at("d.dbf"));
    EXPECT_EQ(s.substr(65), std::string(" aaa EE  CC *ddd", 16));
    EXPECT_EQ(u32at(s, 4), 4u);
    // Opened again, the records count in file order.
    ASSERT_TRUE(kxdbf_open(&db, at("d.dbf").c_str()));
    EXPECT_EQ(contents(&db), (Rows{{"aaa"}, {"EE"}, {"CC"}}));
}

// The application's table with one record deleted (by another dBase
// program, say): a new record fills that place, and only the next one
// makes the file grow.
TEST_F(DbfTest, ANewRecordTakesTheFirstDeletedOneBeforeTheFileGrows)
{
    ASSERT_TRUE(save_rows(at("quenlorix"), app_table()));
    std::string bytes = slurp(at("quenlorix.dbf"));
    ASSERT_EQ(bytes.size(), 4689u);
    const std::size_t r3 = 129 + 3 * 304, r9 = 129 + 9 * 304;
    bytes[r3] = bytes[r9] = '*';
    put(at("quenlorix.dbf"), bytes);

    kxXBase db;
    ASSERT_TRUE(kxdbf_open(&db, at("quenlorix.dbf").c_str()));
    ASSERT_EQ(kxdbf_records(&db), 13);
    EXPECT_TRUE(kxdbf_write(&db, "neu", 13, 0));
    EXPECT_TRUE(kxdbf_write(&db, "auch neu", 14, 1));
    ASSERT_TRUE(kxdbf_close(&db));
    std::string s = slurp(at("quenlorix.dbf"));
    EXPECT_EQ(s.size(), 4689u);
    EXPECT_EQ(u32at(s, 4), 15u);
    // Record 3: live again, "neu" in its first field, its other fields empty.
    EXPECT_EQ(s.substr(r3, 5), " neu ");
    EXPECT_EQ(s.substr(r3 + 102, 1), std::string(1, '\0'));
    EXPECT_EQ(s.substr(r9 + 102, 9), "auch neu ");

    ASSERT_TRUE(kxdbf_open(&db, at("quenlorix.dbf").c_str()));
    EXPECT_TRUE(kxdbf_write(&db, "angeh\xe4ngt", 15, 0));
    ASSERT_TRUE(kxdbf_close(&db));
    EXPECT_EQ(slurp(at("quenlorix.dbf")).size(), 4689u + 304u);
}

TEST_F(DbfTest, FieldTypesAndOffsets)
{
    // Character, date, numeric and logical fields, as dBase III writes
    // them; the numeric one has 2 decimals in the byte after its length.
    Forged f;
    f.descriptors = {descriptor("NAME", 'C', 5), descriptor("BORN", 'D', 8),
                     descriptor("SUM", 'N', 7 | 2 << 8), descriptor("OK", 'L', 1)};
    f.records = {" Anna 20071207  12.50T", " Bo   19991231   0.00F"};
    put(at("types.dbf"), f.bytes());
    kxXBase db;
    ASSERT_TRUE(kxdbf_open(&db, at("types.dbf").c_str()));
    EXPECT_EQ(contents(&db), (Rows{{"Anna", "20071207", "  12.50", "T"},
                                   {"Bo", "19991231", "   0.00", "F"}}));
    EXPECT_EQ(db.fields[2].type, 'N');
    EXPECT_EQ(db.fields[2].length, 7);
}

#if defined(__unix__)
TEST_F(DbfTest, ReadOnlyFile)
{
    ASSERT_TRUE(save_rows(at("ro"), {{"keep", "me"}}));
    const std::string before = slurp(at("ro.dbf"));
    fs::permissions(at("ro.dbf"), fs::perms::owner_read | fs::perms::group_read |
                                      fs::perms::others_read);
    // Root may write anything: look at the file as nobody.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(seteuid(65534), 0);
    }
    bool opened = false, wrote = true, closed = false;
    int records = -1;
    Rows back;
    {
        kxXBase db;
        opened = kxdbf_open(&db, at("ro.dbf").c_str());
        records = kxdbf_records(&db);
        back = contents(&db);
        wrote = kxdbf_write(&db, "gone", 0, 0) || kxdbf_write(&db, "more", 3, 0);
        closed = kxdbf_close(&db);
    }
    bool loaded = load_rows(at("ro"), back, 2, 1);
    bool saved = save_rows(at("ro"), {{"over"}});
    if (root) {
        ASSERT_EQ(seteuid(0), 0);
    }
    EXPECT_TRUE(opened);
    EXPECT_EQ(records, 1);
    EXPECT_FALSE(wrote);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(back, (Rows{{"keep", "me"}}));
    EXPECT_FALSE(saved);
    EXPECT_EQ(slurp(at("ro.dbf")), before);
}
#endif

TEST_F(DbfTest, MissingFileLeavesTableUntouched)
{
    Rows back;
    bool called = false;
    std::string out = kxtest_stdout([&] {
        EXPECT_FALSE(kxdbf_loadtable(at("none").c_str(), 0, 0, 3, 15, 302,
                                     [&](int, int, const char *) { called = true; }));
    });
    EXPECT_FALSE(called);
    EXPECT_EQ(out, ""); // a table file that is not there yet is normal
    kxXBase db;
    EXPECT_FALSE(kxdbf_open(&db, at("none.dbf").c_str()));
    EXPECT_EQ(kxdbf_records(&db), 0);
    EXPECT_FALSE(kxdbf_write(&db, "x", 0, 0));
    EXPECT_TRUE(kxdbf_close(&db));
}

TEST_F(DbfTest, FirstRecordAndFieldOffsets)
{
    ASSERT_TRUE(save_rows(at("off"), {{"a", "b"}, {"c", "d"}}, 2, 1));
    kxXBase db;
    ASSERT_TRUE(kxdbf_open(&db, at("off.dbf").c_str()));
    EXPECT_EQ(contents(&db), (Rows{{"", "", ""}, {"", "", ""}, {"", "a", "b"}, {"", "c", "d"}}));
    kxdbf_close(&db);
    // A smaller file than the table: the extra cells are emptied.
    Rows back;
    ASSERT_TRUE(load_rows(at("off"), back, 3, 3, 2, 1));
    EXPECT_EQ(back, (Rows{{"a", "b", ""}, {"c", "d", ""}, {"", "", ""}}));
}

// ------------------------------------------------------ damaged files

// Opens a damaged file; whatever opens must read without a fault, and all
// it prints are diagnostics of the opening.
struct Opened {
    bool ok = false;
    Rows rows;
    std::string out;
};

Opened open_damaged(const std::string &path)
{
    Opened o;
    o.out = kxtest_stdout([&] {
        kxXBase db;
        o.ok = kxdbf_open(&db, path.c_str());
        o.rows = contents(&db, 64);
        kxdbf_close(&db);
    });
    return o;
}

TEST_F(DbfTest, HeaderDamage)
{
    Forged good;
    good.descriptors = {descriptor("C0", 'C', 4), descriptor("C1", 'C', 2)};
    good.records = {" abcdxy", " efghzw"};
    const std::string bytes = good.bytes();

    // Cut inside the 32-byte main header: not a table.
    put(at("cut.dbf"), bytes.substr(0, 20));
    Opened o = open_damaged(at("cut.dbf"));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.out, "kxdbf_open: " + at("cut.dbf") + ": not a dBase table\n");

    // Cut inside the descriptors: the whole first one is kept, no records.
    put(at("desc.dbf"), bytes.substr(0, 32 + 40));
    o = open_damaged(at("desc.dbf"));
    EXPECT_TRUE(o.ok);
    EXPECT_TRUE(o.rows.empty());
    EXPECT_NE(o.out.find("file ends inside its header"), std::string::npos);
    kxXBase db;
    kxtest_stdout([&] { ASSERT_TRUE(kxdbf_open(&db, at("desc.dbf").c_str())); });
    EXPECT_EQ(kxdbf_fields(&db), 1);
    kxdbf_close(&db);

    // A header longer than the image is refused.
    Forged big = good;
    big.headerlength = KX_DBF_HEADER_MAX + 1;
    put(at("big.dbf"), big.bytes());
    o = open_damaged(at("big.dbf"));
    EXPECT_FALSE(o.ok);
    EXPECT_NE(o.out.find("header of 10001 bytes is too long"), std::string::npos);

    // A header length beyond the end of the file (but within the image).
    std::string past = bytes;
    past[8] = '\x10';
    past[9] = '\x27'; // 10000
    put(at("past.dbf"), past);
    o = open_damaged(at("past.dbf"));
    EXPECT_TRUE(o.ok);
    EXPECT_TRUE(o.rows.empty());

    // No 0x0D after the descriptors: the count from the header length holds.
    Forged noterm = good;
    noterm.terminator = false;
    noterm.headerlength = 32 + 64 + 1;
    put(at("noterm.dbf"), noterm.bytes());
    o = open_damaged(at("noterm.dbf"));
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.rows, (Rows{{"abcd", "xy"}, {"efgh", "zw"}}));

    // A 0x0D before the header's count of descriptors ends them.
    Forged early = good;
    early.headerlength = 32 + 3 * 32 + 1;
    put(at("early.dbf"), early.bytes());
    o = open_damaged(at("early.dbf"));
    EXPECT_EQ(o.rows, (Rows{{"abcd", "xy"}, {"efgh", "zw"}}));

    // No fields, or a header too short for any.
    for (int hl : {33, 20, 0}) {
        Forged none = good;
        none.descriptors.clear();
        none.headerlength = hl;
        put(at("none.dbf"), none.bytes());
        kxtest_stdout([&] { ASSERT_TRUE(kxdbf_open(&db, at("none.dbf").c_str())) << hl; });
        EXPECT_EQ(kxdbf_fields(&db), 0);
        char buf[8];
        EXPECT_FALSE(kxdbf_read(&db, buf, sizeof buf, 0, 0));
        EXPECT_FALSE(kxdbf_write(&db, "x", 0, 0));
        kxdbf_close(&db);
    }
}

// A file of another kind (here the start of a PNG, whose header fields
// would pass) is no table; kxdbf_failure says why an open failed, and says
// nothing for a file that is not there.
TEST_F(DbfTest, AFileOfAnotherKindIsRefusedAndTheFailureSaysWhy)
{
    std::string png = "\x89PNG\r\n\x1a\n" + std::string(8, '\0') + "IHDR";
    png.resize(200, '\0');
    put(at("bild.dbf"), png);
    Opened o = open_damaged(at("bild.dbf"));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.out, "kxdbf_open: " + at("bild.dbf") + ": not a dBase table\n");
    EXPECT_STREQ(kxdbf_failure(), "not a dBase table");

    kxXBase db;
    EXPECT_FALSE(kxdbf_open(&db, at("fehlt.dbf").c_str()));
    EXPECT_STREQ(kxdbf_failure(), "");
#if defined(__unix__)
    fs::create_directory(at("ordner.dbf"));
    EXPECT_FALSE(kxdbf_open(&db, at("ordner.dbf").c_str()));
    EXPECT_EQ(kxdbf_failure(), std::generic_category().message(EISDIR));
#endif
}

TEST_F(DbfTest, FieldAndRecordDamage)
{
    // Field lengths of 255 and 65535 in a record of 8 bytes are cut at the
    // record's end, so no field reads into the next record.
    for (unsigned len : {255u, 65535u}) {
        Forged f;
        f.descriptors = {descriptor("C0", 'C', 3), descriptor("C1", 'C', len)};
        f.records = {" abcdefg", " hijklmn"};
        f.recordlength = 8;
        put(at("long.dbf"), f.bytes());
        Opened o = open_damaged(at("long.dbf"));
        EXPECT_TRUE(o.ok);
        EXPECT_EQ(o.rows, (Rows{{"abc", "defg"}, {"hij", "klmn"}})) << len;
    }

    // A zero-length field reads empty and shifts nothing.
    Forged zero;
    zero.descriptors = {descriptor("C0", 'C', 0), descriptor("C1", 'C', 2)};
    zero.records = {" ab"};
    put(at("zero.dbf"), zero.bytes());
    EXPECT_EQ(open_damaged(at("zero.dbf")).rows, (Rows{{"", "ab"}}));

    // More records claimed than the file holds: those that start in it
    // count, the last one cut short.
    Forged many;
    many.descriptors = {descriptor("C0", 'C', 4)};
    many.records = {" aaaa", " bb"};
    many.recordlength = 5;
    many.count = 4000000000LL;
    put(at("many.dbf"), many.bytes());
    Opened o = open_damaged(at("many.dbf"));
    EXPECT_TRUE(o.ok);
    EXPECT_EQ(o.rows, (Rows{{"aaaa"}, {"bb"}}));
    EXPECT_NE(o.out.find("holds 2 of 4000000000 records"), std::string::npos) << o.out;

    // Record length 0: no records at all.
    Forged flat = many;
    flat.recordlength = 0;
    put(at("flat.dbf"), flat.bytes());
    o = open_damaged(at("flat.dbf"));
    EXPECT_TRUE(o.ok);
    EXPECT_TRUE(o.rows.empty());
    EXPECT_NE(o.out.find("record length is 0"), std::string::npos);
}

TEST_F(DbfTest, OnlyReadingLeavesADamagedFileAsItWas)
{
    Forged many;
    many.descriptors = {descriptor("C0", 'C', 4)};
    many.records = {" aaaa"};
    many.count = 9;
    put(at("m.dbf"), many.bytes());
    const std::string before = slurp(at("m.dbf"));
    Opened o = open_damaged(at("m.dbf"));
    EXPECT_EQ(o.rows, (Rows{{"aaaa"}}));
    EXPECT_EQ(slurp(at("m.dbf")), before);

    // A write fixes the count to the records there are.
    kxXBase db;
    kxtest_stdout([&] { ASSERT_TRUE(kxdbf_open(&db, at("m.dbf").c_str())); });
    EXPECT_TRUE(kxdbf_write(&db, "b", 1, 0));
    ASSERT_TRUE(kxdbf_close(&db));
    EXPECT_EQ(u32at(slurp(at("m.dbf")), 4), 2u);
}

// Damage a valid file at random and read it: nothing may crash or touch
// memory outside a buffer, and what opens must give sane counts and texts.
void mutate(std::string &b, std::mt19937 &rng)
{
    auto pick = [&](std::size_t n) { return n ? rng() % n : 0; };
    const std::size_t head = std::min<std::size_t>(b.size(), 200);
    switch (rng() % 7) {
    case 0: // flipped bits in the header
        for (int k = 1 + int(pick(4)); k > 0 && head; k--)
            b[pick(head)] ^= char(1u << pick(8));
        break;
    case 1: { // a 16-bit value at an extreme in the header
        static const unsigned values[] = {0, 1, 32, 33, 0xFF, 0x100, 10000, 10001, 0xFFFF};
        static const std::size_t places[] = {4, 6, 8, 10, 48, 80, 112, 144};
        std::size_t at = places[pick(8)];
        if (at + 1 < b.size()) {
            unsigned v = values[pick(9)];
            b[at] = char(v);
            b[at + 1] = char(v >> 8);
        }
        break;
    }
    case 2: // cut anywhere
        b.resize(pick(b.size() + 1));
        break;
    case 3: // garbage appended
        for (int k = int(pick(300)); k > 0; k--)
            b.push_back(char(rng()));
        break;
    case 4: // bytes anywhere
        for (int k = 1 + int(pick(20)); k > 0 && !b.empty(); k--)
            b[pick(b.size())] = char(rng());
        break;
    case 5: // the descriptor end mark removed or moved
        for (char &c : b)
            if (c == '\x0D') {
                c = char(rng());
                break;
            }
        if (head > 32)
            b[32 + pick(head - 32)] = '\x0D';
        break;
    default: // deletion marks
        for (int k = 1 + int(pick(5)); k > 0 && b.size() > 161; k--)
            b[161 + pick(b.size() - 161)] = '*';
        break;
    }
}

TEST_F(DbfTest, FuzzedFilesReadSafely)
{
    Forged seed;
    seed.descriptors = {descriptor("NAME", 'C', 5), descriptor("N", 'N', 4), descriptor("L", 'L', 1),
                        descriptor("TEXT", 'C', 30)};
    for (int r = 0; r < 6; ++r)
        seed.records.push_back(std::string(r == 2 ? "*" : " ") + "nm" + std::to_string(r) + "  " +
                               "  " + std::to_string(r) + "1" + "T" + std::string(30, char('a' + r)));
    const std::string valid = seed.bytes();
    const std::string path = at("fuzz.dbf"), copy = at("copy.dbf");
    std::mt19937 rng(20071207);
    int opened = 0;
    for (int iter = 0; iter < 1500; ++iter) {
        std::string b = valid;
        for (int m = 1 + int(rng() % 3); m > 0; --m)
            mutate(b, rng);
        put(path, b);
        put(copy, b);
        const long long size = static_cast<long long>(b.size());
        const int hl = b.size() >= 10 ? int(u16at(b, 8)) : 0;
        const int rl = b.size() >= 12 ? int(u16at(b, 10)) : 0;

        std::string out = kxtest_stdout([&] {
            kxXBase db;
            if (!kxdbf_open(&db, path.c_str()))
                return;
            ++opened;
            EXPECT_LE(kxdbf_fields(&db), hl > 32 ? (hl - 33) / 32 : 0);
            long long body = size - hl;
            long long most = rl > 0 && body > 0 ? (body + rl - 1) / rl : 0;
            EXPECT_LE(kxdbf_records(&db), most);
            for (int f = 0; f < kxdbf_fields(&db); ++f)
                EXPECT_LE(db.fields[f].offset + db.fields[f].length, std::max(rl, 1));
            for (std::size_t cap : {std::size_t(1), std::size_t(4), std::size_t(64)}) {
                std::vector<char> buf(cap + 8, '#');
                for (int r = 0; r < kxdbf_records(&db); ++r)
                    for (int f = 0; f < kxdbf_fields(&db); ++f) {
                        kxdbf_read(&db, buf.data(), cap, r, f);
                        std::size_t n = std::strlen(buf.data());
                        ASSERT_LT(n, cap);
                        EXPECT_TRUE(n == 0 || buf[n - 1] != ' ');
                        EXPECT_EQ(buf[cap], '#');
                    }
            }
            kxdbf_close(&db);
            EXPECT_EQ(slurp(path), b) << "reading changed the file";

            // Writing a damaged file works or fails, and reads back.
            if (!kxdbf_open(&db, copy.c_str()) || kxdbf_fields(&db) == 0)
                return;
            int len = db.fields[0].length;
            bool w0 = kxdbf_write(&db, "fuzz", 0, 0);
            int target = kxdbf_records(&db);
            bool w1 = kxdbf_write(&db, "tail", target, 0);
            EXPECT_TRUE(kxdbf_close(&db));
            if (rl == 0) { // no record can be added
                EXPECT_FALSE(w1);
                return;
            }
            ASSERT_TRUE(w0 && w1);
            ASSERT_TRUE(kxdbf_open(&db, copy.c_str()));
            // The new record may have taken a deleted one's place in the
            // file, so both texts are looked for among all records.
            EXPECT_EQ(kxdbf_records(&db), target + 1);
            int fuzz = 0, tail = 0;
            for (int r = 0; r < kxdbf_records(&db); ++r) {
                char buf[8];
                EXPECT_TRUE(kxdbf_read(&db, buf, sizeof buf, r, 0));
                fuzz += buf == std::string("fuzz").substr(0, std::size_t(len));
                tail += buf == std::string("tail").substr(0, std::size_t(len));
            }
            EXPECT_GE(fuzz, 1);
            EXPECT_GE(tail, 1);
        });
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line))
            ASSERT_EQ(line.rfind("kxdbf_open: ", 0), 0u) << out;
        if (HasFatalFailure() || HasFailure()) {
            ADD_FAILURE() << "iteration " << iter;
            break;
        }
    }
    // Most mutations leave something that opens; the refusals are tested above.
    EXPECT_GT(opened, 500);
}

// ------------------------------------------------------ failed saves

#if defined(__unix__)
TEST_F(DbfTest, FailedSaveKeepsTheOldFile)
{
    ASSERT_TRUE(save_rows(at("q"), {{"old", "text"}}));
    const std::string before = slurp(at("q.dbf"));

    // The disk takes no more than 2000 bytes of the 4689.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 2000;
    auto prev = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool wrote = save_rows(at("q"), app_table());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, prev);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(slurp(at("q.dbf")), before);
    EXPECT_FALSE(temp_left());

    // A created file shows up only when closed.
    kxXBase db;
    ASSERT_TRUE(kxdbf_create(&db, at("q").c_str(), 3, 2, 9));
    EXPECT_TRUE(kxdbf_write(&db, "new", 1, 1));
    EXPECT_EQ(slurp(at("q.dbf")), before);
    char buf[16];
    EXPECT_TRUE(kxdbf_read(&db, buf, sizeof buf, 1, 1));
    EXPECT_STREQ(buf, "new");
    ASSERT_TRUE(kxdbf_close(&db));
    EXPECT_EQ(kxfile_size(at("q.dbf").c_str()), 97 + 3 * 21);
    EXPECT_FALSE(temp_left());
}
#endif

// ------------------------------------------------------ another reader

TEST_F(DbfTest, DbviewReadsOurFile)
{
    if (std::system("command -v dbview >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "dbview is not installed";
    Rows rows = app_table();
    rows[7][1] = "mit Leerzeichen am Ende   ";
    rows[9][0] = std::string(101, 'w');
    ASSERT_TRUE(save_rows(at("view"), rows));

    auto run = [](const std::string &cmd) {
        std::string text;
        std::FILE *p = popen(cmd.c_str(), "r");
        if (!p)
            return text;
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0)
            text.append(chunk, n);
        pclose(p);
        return text;
    };
    // Field names and the record count as dbview reads them.
    const std::string info = run("dbview -i -o '" + at("view.dbf") + "'");
    EXPECT_NE(info.find("Number of recs: 15"), std::string::npos) << info;
    EXPECT_NE(info.find("Header length : 129"), std::string::npos) << info;
    EXPECT_NE(info.find("Record length : 304"), std::string::npos) << info;
    const std::string full = run("dbview '" + at("view.dbf") + "'");
    for (const char *name : {"C0 ", "C1 ", "C2 "})
        EXPECT_NE(full.find(std::string("\n") + name), std::string::npos) << name;

    // Values: one line per record, fields trimmed and ended by '|'.
    std::istringstream lines(run("dbview -b -t -d '|' '" + at("view.dbf") + "'"));
    Rows seen;
    std::string line;
    while (std::getline(lines, line)) {
        seen.emplace_back();
        std::size_t start = 0, bar;
        while ((bar = line.find('|', start)) != std::string::npos) {
            seen.back().push_back(line.substr(start, bar - start));
            start = bar + 1;
        }
    }
    rows[7][1] = "mit Leerzeichen am Ende";
    EXPECT_EQ(seen, rows);
}

} // namespace
