// PCX files: 24-bit colour as three 8-bit planes (red, green, blue bytes of
// each row in turn), run-length encoded.
#include <vector>

#include "base/file.h"
#include "graphics/image.h"
#include "graphics/image_codec.h"

namespace {

using namespace kximage;

constexpr const char *LOAD = "kxpxmap_loadfromfile_pcx";
constexpr const char *SAVE = "kxpxmap_savetofile_pcx";

constexpr int HEADER = 128;
constexpr int OFF_XMAX = 8;
constexpr int OFF_YMAX = 10;
constexpr int PLANES = 3;
constexpr int RESOLUTION = 300;
// A byte of COUNT_FLAG or more is a count byte: its low six bits say how
// often the next byte repeats.
constexpr std::uint8_t COUNT_FLAG = 0xC0;
constexpr int MAX_RUN = 0x3F;
// File i/o goes in blocks of this size both ways.
constexpr std::size_t BLOCK = 0xC000;

// A byte stream that decodes runs; runs may go on across plane and row ends.
class pcx_rows : public row_source {
  public:
    pcx_rows(std::FILE *f, int width)
        : f_(f), width_(width), block_(BLOCK), planes_(static_cast<std::size_t>(width) * PLANES)
    {
    }
    bool next(std::uint8_t *rgb) override
    {
        for (std::uint8_t &out : planes_) {
            while (run_ == 0) {
                std::uint8_t b;
                if (!get(&b))
                    return false;
                if (b >= COUNT_FLAG) {
                    run_ = b & MAX_RUN;
                    if (!get(&value_))
                        return false;
                } else {
                    run_ = 1;
                    value_ = b;
                }
            }
            out = value_;
            run_--;
        }
        const std::size_t w = static_cast<std::size_t>(width_);
        for (std::size_t i = 0; i < w; i++) {
            rgb[3 * i] = planes_[i];
            rgb[3 * i + 1] = planes_[w + i];
            rgb[3 * i + 2] = planes_[2 * w + i];
        }
        return true;
    }

  private:
    bool get(std::uint8_t *b)
    {
        if (at_ == filled_) {
            filled_ = std::fread(block_.data(), 1, block_.size(), f_);
            at_ = 0;
            if (filled_ == 0)
                return false;
        }
        *b = block_[at_++];
        return true;
    }

    std::FILE *f_;
    int width_;
    std::vector<std::uint8_t> block_;
    std::size_t at_ = 0, filled_ = 0;
    std::vector<std::uint8_t> planes_;
    int run_ = 0;
    std::uint8_t value_ = 0;
};

// Encoded output, written to the file whenever it reaches a block.
class rle_out {
  public:
    explicit rle_out(std::FILE *f) : f_(f) { buf_.reserve(BLOCK + 2); }
    void byte(std::uint8_t b)
    {
        buf_.push_back(b);
        if (buf_.size() >= BLOCK)
            flush();
    }
    bool flush()
    {
        ok_ = ok_ && put(f_, buf_);
        buf_.clear();
        return ok_;
    }

  private:
    std::FILE *f_;
    std::vector<std::uint8_t> buf_;
    bool ok_ = true;
};

// Runs of up to 63; a single byte below 0xC0 goes alone, except the last run
// of the plane, which always has its count byte.
bool encode_plane(const std::uint8_t *p, int n, rle_out &out)
{
    int i = 0;
    while (i < n) {
        const std::uint8_t b = p[i];
        int run = 1;
        while (i + run < n && p[i + run] == b && run < MAX_RUN)
            run++;
        const bool last = i + run == n;
        if (run == 1 && b < COUNT_FLAG && !last) {
            out.byte(b);
        } else {
            out.byte(static_cast<std::uint8_t>(COUNT_FLAG | run));
            out.byte(b);
        }
        i += run;
    }
    return out.flush();
}

} // namespace

bool kximage::pcx_header_size(std::FILE *f, int *width, int *height)
{
    std::uint8_t h[OFF_YMAX + 2];
    if (std::fread(h, 1, sizeof h, f) != sizeof h)
        return false;
    *width = static_cast<int>(get16le(h + OFF_XMAX)) + 1;
    *height = static_cast<int>(get16le(h + OFF_YMAX)) + 1;
    return true;
}

bool kxpxmap_loadfromfile_pcx(kxpxmap *target, const char *name, int x, int y, int xs, int ys)
{
    if (!target_ok(LOAD, target))
        return false;
    file_ptr f = open_read(name);
    if (!f)
        return false;
    std::uint8_t h[HEADER];
    if (std::fread(h, 1, sizeof h, f.get()) != sizeof h)
        return false;
    const int width = static_cast<int>(get16le(h + OFF_XMAX)) + 1;
    const int height = static_cast<int>(get16le(h + OFF_YMAX)) + 1;
    if (!size_ok(LOAD, width, height))
        return false;
    // Two bytes give at most 63 pixel bytes; a file shorter than that bound
    // is refused before memory is taken for the picture.
    const long long bytes = 3LL * width * height;
    const long left = remaining(f.get());
    if (left < 0 || left < (bytes + MAX_RUN - 1) / MAX_RUN * 2) {
        std::printf("%s: file too short for %d x %d pixels\n", LOAD, width, height);
        return false;
    }
    pcx_rows rows(f.get(), width);
    return place(target, width, height, rows, x, y, xs, ys);
}

bool kxpxmap_savetofile_pcx(const kxpxmap *p, const char *name)
{
    if (!p || !name || !size_ok(SAVE, p->width, p->height))
        return false;
    truecolor_view view(SAVE, p);
    if (!view.get())
        return false;
    const int w = p->width, h = p->height;
    return kxfile_writestream(name, [&](std::FILE *f) {
        std::uint8_t head[HEADER] = {};
        head[0] = 10; // manufacturer
        head[1] = 5;  // version
        head[2] = 1;  // run-length encoding
        head[3] = 8;  // bits per pixel and plane
        put16le(head + OFF_XMAX, static_cast<unsigned>(w - 1));
        put16le(head + OFF_YMAX, static_cast<unsigned>(h - 1));
        put16le(head + 12, RESOLUTION);
        put16le(head + 14, RESOLUTION);
        head[65] = PLANES;
        put16le(head + 66, static_cast<unsigned>(w)); // bytes per line
        put16le(head + 68, 1);                        // palette type
        if (!put(f, head, sizeof head))
            return false;
        rle_out out(f);
        std::vector<std::uint8_t> plane(static_cast<std::size_t>(w));
        for (int y = 0; y < h; y++) {
            const std::uint32_t *in = view.row(y);
            for (int shift = 16; shift >= 0; shift -= 8) {
                for (int i = 0; i < w; i++)
                    plane[i] = std::uint8_t(in[i] >> shift);
                if (!encode_plane(plane.data(), w, out))
                    return false;
            }
        }
        return true;
    });
}
