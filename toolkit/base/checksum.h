// Checksums that serial protocols append to a frame: simple sums and CRCs
// from one table of parameters (width, polynomial, initial value,
// reflection, final XOR), each with the byte order in which its protocol
// appends the value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class kxChecksumKind : std::uint8_t { sum, xorsum, crc };

struct kxChecksum {
    const char *name;   // as shown: "CRC-16/MODBUS"
    const char *alias;  // a second name from the catalogue, or null
    kxChecksumKind kind;
    int width;          // bits: 8, 16 or 32
    std::uint32_t poly;  // CRCs only, in the unreflected form
    std::uint32_t init;
    bool refin, refout;
    std::uint32_t xorout;
    bool low_first;     // appended least significant byte first
};

// The entry whose name or alias matches, or null.  Case, '-', '_' and
// blanks do not count: "crc16/modbus" is CRC-16/MODBUS, "crc32" CRC-32.
const kxChecksum *kxchecksum_find(std::string_view name);
// The i-th entry of the table from 0, null past its end (for listings).
const kxChecksum *kxchecksum_at(int i);
// The checksum of n bytes, in the entry's width; 0 for a null entry.
std::uint32_t kxchecksum_compute(const kxChecksum *c, const void *bytes, std::size_t n);
// Appends the value's width / 8 bytes in the entry's order.
void kxchecksum_append(const kxChecksum *c, std::uint32_t value, std::string *out);
