// PNG files, written only: 8-bit RGB, one IDAT chunk holding a zlib stream of
// uncompressed ("stored") deflate blocks.  No compression keeps the writer
// small; the files are larger but any PNG reader takes them.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "base/file.h"
#include "graphics/image.h"
#include "graphics/image_codec.h"

namespace {

using namespace kximage;

constexpr const char *SAVE = "kxpxmap_savetofile_png";

constexpr std::uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t BIT_DEPTH = 8;
constexpr std::uint8_t COLOUR_RGB = 2;
constexpr std::uint8_t ZLIB_HEADER[2] = {0x78, 0xDA};
constexpr std::uint8_t FILTER_NONE = 0;
// Uncompressed data goes out in stored blocks of this size; LEN is 16 bits.
constexpr std::size_t BLOCK = 32768;
constexpr std::uint8_t BFINAL = 1;
constexpr std::uint32_t ADLER_MOD = 65521;
// The most bytes the Adler sums can take before they must be reduced.
constexpr std::size_t ADLER_RUN = 5552;

constexpr std::array<std::uint32_t, 256> make_crc_table()
{
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; n++) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; k++)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[n] = c;
    }
    return t;
}

constexpr std::array<std::uint32_t, 256> CRC_TABLE = make_crc_table();

std::uint32_t crc_update(std::uint32_t crc, const std::uint8_t *p, std::size_t n)
{
    for (std::size_t i = 0; i < n; i++)
        crc = CRC_TABLE[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

struct adler32 {
    std::uint32_t a = 1, b = 0;
    void update(const std::uint8_t *p, std::size_t n)
    {
        while (n > 0) {
            const std::size_t run = n < ADLER_RUN ? n : ADLER_RUN;
            for (std::size_t i = 0; i < run; i++) {
                a += p[i];
                b += a;
            }
            a %= ADLER_MOD;
            b %= ADLER_MOD;
            p += run;
            n -= run;
        }
    }
    std::uint32_t value() const { return b << 16 | a; }
};

// One chunk as it is written: counts its length and keeps its CRC.
class chunk_out {
  public:
    chunk_out(std::FILE *f, const char *type) : f_(f)
    {
        start_ = std::ftell(f);
        std::uint8_t len[4] = {};
        ok_ = start_ >= 0 && put(f, len, sizeof len);
        write(reinterpret_cast<const std::uint8_t *>(type), 4);
        length_ = 0; // the type is not counted
    }
    void write(const std::uint8_t *p, std::size_t n)
    {
        crc_ = crc_update(crc_, p, n);
        length_ += n;
        ok_ = ok_ && put(f_, p, n);
    }
    // Appends the CRC and fills in the length at the chunk's start.
    bool finish()
    {
        std::uint8_t b[4];
        put32be(b, crc_ ^ 0xFFFFFFFFu);
        ok_ = ok_ && put(f_, b, sizeof b);
        const long end = std::ftell(f_);
        put32be(b, static_cast<std::uint32_t>(length_));
        ok_ = ok_ && end >= 0 && std::fseek(f_, start_, SEEK_SET) == 0 && put(f_, b, sizeof b) &&
              std::fseek(f_, end, SEEK_SET) == 0;
        return ok_;
    }

  private:
    std::FILE *f_;
    long start_ = -1;
    std::uint32_t crc_ = 0xFFFFFFFFu;
    std::size_t length_ = 0;
    bool ok_ = false;
};

// The zlib stream inside IDAT: stored blocks of BLOCK bytes, the last one
// marked final, then the Adler-32 of everything.
class stored_stream {
  public:
    explicit stored_stream(chunk_out &c) : chunk_(c) { chunk_.write(ZLIB_HEADER, 2); }
    void write(const std::uint8_t *p, std::size_t n)
    {
        adler_.update(p, n);
        while (n > 0) {
            const std::size_t take = std::min(n, BLOCK - fill_);
            std::memcpy(block_.data() + fill_, p, take);
            fill_ += take;
            p += take;
            n -= take;
            if (fill_ == BLOCK)
                emit(false);
        }
    }
    void finish()
    {
        emit(true);
        std::uint8_t b[4];
        put32be(b, adler_.value());
        chunk_.write(b, 4);
    }

  private:
    void emit(bool final)
    {
        const auto len = static_cast<std::uint16_t>(fill_);
        std::uint8_t head[5] = {std::uint8_t(final ? BFINAL : 0)};
        put16le(head + 1, len);
        put16le(head + 3, static_cast<std::uint16_t>(~len));
        chunk_.write(head, sizeof head);
        chunk_.write(block_.data(), fill_);
        fill_ = 0;
    }

    chunk_out &chunk_;
    std::vector<std::uint8_t> block_ = std::vector<std::uint8_t>(BLOCK);
    std::size_t fill_ = 0;
    adler32 adler_;
};

bool write_png(std::FILE *f, const truecolor_view &view)
{
    const int w = view.get()->width, h = view.get()->height;
    if (!put(f, SIGNATURE, sizeof SIGNATURE))
        return false;

    chunk_out ihdr(f, "IHDR");
    std::uint8_t head[13] = {};
    put32be(head, static_cast<std::uint32_t>(w));
    put32be(head + 4, static_cast<std::uint32_t>(h));
    head[8] = BIT_DEPTH;
    head[9] = COLOUR_RGB; // compression, filter and interlace stay 0
    ihdr.write(head, sizeof head);
    if (!ihdr.finish())
        return false;

    chunk_out idat(f, "IDAT");
    stored_stream z(idat);
    std::vector<std::uint8_t> line(1 + static_cast<std::size_t>(w) * 3);
    line[0] = FILTER_NONE;
    for (int y = 0; y < h; y++) {
        const std::uint32_t *in = view.row(y);
        for (int i = 0; i < w; i++) {
            line[1 + 3 * i] = std::uint8_t(in[i] >> 16);
            line[2 + 3 * i] = std::uint8_t(in[i] >> 8);
            line[3 + 3 * i] = std::uint8_t(in[i]);
        }
        z.write(line.data(), line.size());
    }
    z.finish();
    if (!idat.finish())
        return false;

    chunk_out iend(f, "IEND");
    return iend.finish();
}

} // namespace

bool kxpxmap_savetofile_png(const kxpxmap *p, const char *name)
{
    if (!p || !name || !size_ok(SAVE, p->width, p->height))
        return false;
    truecolor_view view(SAVE, p);
    if (!view.get())
        return false;
    return kxfile_writestream(name, [&](std::FILE *f) { return write_png(f, view); });
}
