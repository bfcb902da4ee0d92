// The checksum table and the one bitwise CRC that serves every row: rows
// are short, so a lookup table per algorithm would buy nothing.
#include "base/checksum.h"

#include <cctype>

namespace {

using K = kxChecksumKind;

// Byte order: a reflected CRC goes out least significant byte first and an
// unreflected one most significant first, so that the receiver's CRC over
// frame and checksum ends in the catalogue's residue.  That is what the
// protocols do: Modbus RTU sends its CRC low byte first, XMODEM and the
// CCITT-FALSE users high byte first, Ethernet, HDLC, zip and gzip the CRC-32
// low byte first.  The one-byte sums have no order.
constexpr kxChecksum checksums[] = {
    // name, alias, kind, width, poly, init, refin, refout, xorout, low_first
    {"SUM8", nullptr, K::sum, 8, 0, 0, false, false, 0, false},
    {"XOR8", nullptr, K::xorsum, 8, 0, 0, false, false, 0, false},
    {"CRC-8", "CRC-8/SMBUS", K::crc, 8, 0x07, 0, false, false, 0, false},
    {"CRC-16/MODBUS", nullptr, K::crc, 16, 0x8005, 0xFFFF, true, true, 0, true},
    {"CRC-16/CCITT-FALSE", "CRC-16/IBM-3740", K::crc, 16, 0x1021, 0xFFFF, false, false, 0,
     false},
    {"CRC-16/XMODEM", nullptr, K::crc, 16, 0x1021, 0, false, false, 0, false},
    {"CRC-32", "CRC-32/ISO-HDLC", K::crc, 32, 0x04C11DB7, 0xFFFFFFFF, true, true, 0xFFFFFFFF,
     true},
};
constexpr int CHECKSUM_COUNT = static_cast<int>(sizeof checksums / sizeof checksums[0]);

bool ignored(char ch) { return ch == '-' || ch == '_' || ch == ' ' || ch == '\t'; }

// Equal but for case and the ignored characters.
bool same_name(std::string_view a, const char *b)
{
    if (!b)
        return false;
    std::size_t i = 0;
    for (;; b++) {
        while (i < a.size() && ignored(a[i]))
            i++;
        while (*b && ignored(*b))
            b++;
        if (i == a.size() || !*b)
            return i == a.size() && !*b;
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
        i++;
    }
}

std::uint32_t mask_of(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
}

std::uint32_t reflect(std::uint32_t v, int bits)
{
    std::uint32_t r = 0;
    for (int i = 0; i < bits; i++, v >>= 1)
        r = (r << 1) | (v & 1);
    return r;
}

std::uint32_t crc(const kxChecksum *c, const std::uint8_t *p, std::size_t n)
{
    const std::uint32_t mask = mask_of(c->width);
    const std::uint32_t top = 1u << (c->width - 1);
    std::uint32_t reg = c->init & mask;
    for (std::size_t i = 0; i < n; i++) {
        const std::uint32_t b = c->refin ? reflect(p[i], 8) : p[i];
        reg ^= b << (c->width - 8);
        for (int k = 0; k < 8; k++)
            reg = ((reg & top) ? (reg << 1) ^ c->poly : reg << 1) & mask;
    }
    if (c->refout)
        reg = reflect(reg, c->width);
    return (reg ^ c->xorout) & mask;
}

} // namespace

const kxChecksum *kxchecksum_find(std::string_view name)
{
    for (const kxChecksum &c : checksums)
        if (same_name(name, c.name) || same_name(name, c.alias))
            return &c;
    return nullptr;
}

const kxChecksum *kxchecksum_at(int i)
{
    return i >= 0 && i < CHECKSUM_COUNT ? &checksums[i] : nullptr;
}

std::uint32_t kxchecksum_compute(const kxChecksum *c, const void *bytes, std::size_t n)
{
    if (!c || (!bytes && n))
        return 0;
    const auto *p = static_cast<const std::uint8_t *>(bytes);
    std::uint32_t v = c->init;
    switch (c->kind) {
    case K::sum:
        for (std::size_t i = 0; i < n; i++)
            v += p[i];
        return (v ^ c->xorout) & mask_of(c->width);
    case K::xorsum:
        for (std::size_t i = 0; i < n; i++)
            v ^= p[i];
        return (v ^ c->xorout) & mask_of(c->width);
    case K::crc:
        return crc(c, p, n);
    }
    return 0;
}

void kxchecksum_append(const kxChecksum *c, std::uint32_t value, std::string *out)
{
    if (!c || !out)
        return;
    const int count = c->width / 8;
    for (int i = 0; i < count; i++) {
        const int shift = 8 * (c->low_first ? i : count - 1 - i);
        out->push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}
