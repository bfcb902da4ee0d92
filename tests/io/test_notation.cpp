// The row notation: escapes, hex runs and checksums to bytes, every
// unreadable row named with its column, and hostile rows.
#include "io/notation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/language.h"

namespace {

struct NotationTest : testing::Test {
    void SetUp() override { kxlanguage_set(KX_LANG_GERMAN); }
    void TearDown() override { kxlanguage_set(KX_LANG_ENGLISH); }
};

std::string bytes_of(std::string_view row)
{
    const kxnotation_result r = kxnotation_parse(row);
    EXPECT_TRUE(r.ok) << row << ": " << r.error;
    EXPECT_TRUE(r.error.empty());
    EXPECT_EQ(r.column, 0);
    return r.bytes;
}

std::string raw(const char *s, std::size_t n) { return std::string(s, n); }

} // namespace

TEST_F(NotationTest, EscapesStandForTheirBytes)
{
    EXPECT_EQ(bytes_of("ATZ\\r"), "ATZ\r");
    EXPECT_EQ(bytes_of("a\\nb"), "a\nb");
    EXPECT_EQ(bytes_of("\\t"), "\t");
    EXPECT_EQ(bytes_of("\\e[0m"), "\x1b[0m");
    EXPECT_EQ(bytes_of("\\0\\01"), raw("\0\0" "1", 3));
    EXPECT_EQ(bytes_of("C:\\\\dir\\\\"), "C:\\dir\\");
    EXPECT_EQ(bytes_of("\\x02data\\x03\\xff\\xFF\\x7f"), "\x02" "data\x03\xff\xff\x7f");
    EXPECT_EQ(bytes_of("\\x414"), "A4");  // exactly two digits
    EXPECT_EQ(bytes_of("plain text (a) x"), "plain text (a) x");
}

TEST_F(NotationTest, HexRuns)
{
    const std::string request("\x01\x03\x00\x0A", 4);
    EXPECT_EQ(bytes_of("\\h(01 03 00 0A)"), request);
    EXPECT_EQ(bytes_of("\\h(0103000a)"), request);
    EXPECT_EQ(bytes_of("\\h(  0103 \t00 0A )"), request);
    EXPECT_EQ(bytes_of("A\\h(42)C\\h()"), "ABC");
    EXPECT_EQ(bytes_of("page\\h(FF FF FF)"), "page\xff\xff\xff");
}

TEST_F(NotationTest, ChecksumsOverEverythingBeforeThem)
{
    const struct {
        const char *row;
        std::string tail;
    } rows[] = {
        {"123456789\\c(SUM8)", "\xDD"},
        {"123456789\\c(xor8)", "\x31"},
        {"123456789\\c(crc-8)", "\xF4"},
        {"123456789\\c(crc16/modbus)", "\x37\x4B"},
        {"123456789\\c(CRC-16/CCITT-FALSE)", "\x29\xB1"},
        {"123456789\\c(crc-16/xmodem)", "\x31\xC3"},
        {"\\h(31 32 33)456789\\c(CRC32)", "\x26\x39\xF4\xCB"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(bytes_of(row.row), "123456789" + row.tail) << row.row;

    EXPECT_EQ(bytes_of("\\h(01 03 00 00 00 0A)\\c(crc16/modbus)"),
              raw("\x01\x03\x00\x00\x00\x0A\xC5\xCD", 8));
    // A second checksum covers the first; what follows is not covered.
    EXPECT_EQ(bytes_of("\\x01\\c(sum8)\\c(sum8)\\r"), "\x01\x01\x02\r");
    EXPECT_EQ(bytes_of("\\c(crc32)"), raw("\0\0\0\0", 4));
}

TEST_F(NotationTest, UnreadableRowsNameTheFaultAndColumn)
{
    const struct {
        std::string row;
        int column;
        const char *error;
    } rows[] = {
        {"ABCD\\q", 5, "unbekannte Folge \\q in Spalte 5"},
        {"\\\r", 1, "unbekannte Folge \\<0D> in Spalte 1"},
        {"\\R", 1, "unbekannte Folge \\R in Spalte 1"},
        {"end\\", 4, "einzelnes \\ am Zeilenende in Spalte 4"},
        {"AT\\x4", 3, "\\x braucht zwei Hexziffern in Spalte 3"},
        {"\\x4G", 1, "\\x braucht zwei Hexziffern in Spalte 1"},
        {"\\h 01", 1, "\\h ohne ( in Spalte 1"},
        {"ok\\h(01 02", 3, "\\h( ohne ) in Spalte 3"},
        {"\\h(01 2)", 7, "ungerade Zahl von Hexziffern in Spalte 7"},
        {"\\h(010)", 4, "ungerade Zahl von Hexziffern in Spalte 4"},
        {"\\h(0g)", 5, "keine Hexziffer: g in Spalte 5"},
        {"\\h(01,02)", 6, "keine Hexziffer: , in Spalte 6"},
        {"\\c", 1, "\\c ohne ( in Spalte 1"},
        {"x\\c(crc32", 2, "\\c( ohne ) in Spalte 2"},
        {"\\c( )", 1, "\\c() ohne Namen in Spalte 1"},
        {"12\\c(crc-99)", 6, "unbekannte Pr\xfc" "fsumme crc-99 in Spalte 6"},
    };
    for (const auto &row : rows) {
        const kxnotation_result r = kxnotation_parse(row.row);
        EXPECT_FALSE(r.ok) << row.row;
        EXPECT_TRUE(r.bytes.empty()) << row.row;  // nothing half-read
        EXPECT_EQ(r.column, row.column) << row.row;
        EXPECT_EQ(r.error, row.error) << row.row;
    }
    // The first fault counts, even after a good checksum.
    EXPECT_EQ(kxnotation_parse("\\c(sum8)\\q\\x").column, 9);

    kxlanguage_set(KX_LANG_ENGLISH);
    EXPECT_EQ(kxnotation_parse("ABCD\\q").error, "unknown sequence \\q at column 5");
}

TEST_F(NotationTest, HostileRows)
{
    EXPECT_EQ(bytes_of(""), "");

    // High bytes and an embedded NUL stand for themselves.
    std::string high;
    for (int b = 0x80; b <= 0xFF; b++)
        high += static_cast<char>(b);
    high += '\0';
    EXPECT_EQ(bytes_of(high), high);

    // Long rows: many sequences, one long hex run, a fault at the far end.
    std::string many;
    for (int i = 0; i < 50000; i++)
        many += "\\xAB";
    EXPECT_EQ(bytes_of(many), std::string(50000, '\xAB'));
    EXPECT_EQ(bytes_of("\\h(" + std::string(200000, 'f') + ")"), std::string(100000, '\xff'));
    const kxnotation_result far = kxnotation_parse(std::string(100000, 'a') + "\\h(01");
    EXPECT_EQ(far.column, 100001);
    EXPECT_EQ(far.error, "\\h( ohne ) in Spalte 100001");

    // A long name is shown cut, a control byte in it as a token.
    const kxnotation_result name = kxnotation_parse("\\c(\x1b" + std::string(500, 'z') + ")");
    EXPECT_EQ(name.error, "unbekannte Pr\xfc" "fsumme <1B>" + std::string(23, 'z') +
                              "... in Spalte 4");

    // Random rows from the notation's own letters: a result either way,
    // with its column inside the row.
    std::mt19937 random(26);
    const std::string letters = "\\\\\\xhc()0aFg 9\r\xe4";
    for (int round = 0; round < 5000; round++) {
        std::string row(random() % 24, ' ');
        for (char &ch : row)
            ch = letters[random() % letters.size()];
        const kxnotation_result r = kxnotation_parse(row);
        if (r.ok) {
            EXPECT_TRUE(r.error.empty()) << row;
        } else {
            EXPECT_TRUE(r.bytes.empty()) << row;
            EXPECT_GE(r.column, 1) << row;
            EXPECT_LE(r.column, static_cast<int>(row.size())) << row;
            EXPECT_NE(r.error.find(" in Spalte " + std::to_string(r.column)), std::string::npos);
        }
    }
}
