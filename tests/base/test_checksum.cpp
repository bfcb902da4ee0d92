// Checksums: the catalogue's check values, names, and the byte order in
// which each protocol appends its value.
#include "base/checksum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

const std::string CHECK_INPUT = "123456789";

std::uint32_t over(const char *name, const std::string &bytes)
{
    const kxChecksum *c = kxchecksum_find(name);
    EXPECT_NE(c, nullptr) << name;
    return kxchecksum_compute(c, bytes.data(), bytes.size());
}

std::string appended(const char *name, const std::string &bytes)
{
    const kxChecksum *c = kxchecksum_find(name);
    std::string out;
    kxchecksum_append(c, kxchecksum_compute(c, bytes.data(), bytes.size()), &out);
    return out;
}

} // namespace

TEST(Checksum, CatalogueCheckValues)
{
    const struct {
        const char *name;
        std::uint32_t check;
    } rows[] = {
        {"SUM8", 0xDD},
        {"XOR8", 0x31},
        {"CRC-8", 0xF4},
        {"CRC-16/MODBUS", 0x4B37},
        {"CRC-16/CCITT-FALSE", 0x29B1},
        {"CRC-16/XMODEM", 0x31C3},
        {"CRC-32", 0xCBF43926},
    };
    for (const auto &row : rows)
        EXPECT_EQ(over(row.name, CHECK_INPUT), row.check) << row.name;
    // Every entry of the table is one of these.
    int count = 0;
    while (kxchecksum_at(count))
        count++;
    EXPECT_EQ(count, 7);
    EXPECT_EQ(kxchecksum_at(-1), nullptr);
}

TEST(Checksum, NamesIgnoreCaseAndDashes)
{
    const kxChecksum *modbus = kxchecksum_find("CRC-16/MODBUS");
    ASSERT_NE(modbus, nullptr);
    EXPECT_EQ(kxchecksum_find("crc16/modbus"), modbus);
    EXPECT_EQ(kxchecksum_find(" Crc_16/ModBus "), modbus);
    EXPECT_EQ(kxchecksum_find("crc-32/iso-hdlc"), kxchecksum_find("CRC-32"));
    EXPECT_EQ(kxchecksum_find("CRC-16/IBM-3740"), kxchecksum_find("crc16/ccitt-false"));
    EXPECT_EQ(kxchecksum_find("crc-8/smbus"), kxchecksum_find("crc8"));
    for (const char *unknown : {"", "-", "CRC-16", "crc-16/modbus2", "sum", "CRC-16/MODBU"})
        EXPECT_EQ(kxchecksum_find(unknown), nullptr) << unknown;
}

TEST(Checksum, ModbusFrameGetsItsCrcLowByteFirst)
{
    EXPECT_EQ(appended("crc16/modbus", std::string("\x01\x03\x00\x00\x00\x0A", 6)), "\xC5\xCD");
}

// Each protocol's order: MODBUS and CRC-32 (Ethernet, HDLC, zip) low byte
// first; CCITT-FALSE and XMODEM high byte first.  In that order the
// receiver's checksum over frame and appended value is the algorithm's
// residue, which is how the order is checked here besides the bytes.
TEST(Checksum, ByteOrderOfEachProtocol)
{
    EXPECT_EQ(appended("CRC-16/MODBUS", CHECK_INPUT), "\x37\x4B");
    EXPECT_EQ(appended("CRC-16/CCITT-FALSE", CHECK_INPUT), "\x29\xB1");
    EXPECT_EQ(appended("CRC-16/XMODEM", CHECK_INPUT), "\x31\xC3");
    EXPECT_EQ(appended("CRC-32", CHECK_INPUT), "\x26\x39\xF4\xCB");
    EXPECT_EQ(appended("CRC-8", CHECK_INPUT), "\xF4");
    EXPECT_EQ(appended("SUM8", CHECK_INPUT), "\xDD");

    const struct {
        const char *name;
        std::uint32_t residue;
    } crcs[] = {{"CRC-8", 0},         {"CRC-16/MODBUS", 0}, {"CRC-16/CCITT-FALSE", 0},
                {"CRC-16/XMODEM", 0}, {"CRC-32", 0x2144DF1C}};
    const std::string frame("\x02\x10\xFF\x00\x80\x7F\x03", 7);
    for (const auto &c : crcs)
        EXPECT_EQ(over(c.name, frame + appended(c.name, frame)), c.residue) << c.name;
}

TEST(Checksum, EmptyInputAndNoEntry)
{
    EXPECT_EQ(over("CRC-32", ""), 0u);
    EXPECT_EQ(over("CRC-16/MODBUS", ""), 0xFFFFu);
    EXPECT_EQ(over("CRC-16/CCITT-FALSE", ""), 0xFFFFu);
    EXPECT_EQ(kxchecksum_compute(nullptr, "1", 1), 0u);
    std::string out = "x";
    kxchecksum_append(nullptr, 0x1234, &out);
    EXPECT_EQ(out, "x");
}
