// BMP files: 24 bits per pixel, uncompressed, rows bottom-up, each padded to
// a multiple of 4 bytes.
#include <cstring>
#include <vector>

#include "base/file.h"
#include "graphics/image.h"
#include "graphics/image_codec.h"

namespace {

using namespace kximage;

constexpr const char *LOAD = "kxpxmap_loadfromfile_bmp";
constexpr const char *SAVE = "kxpxmap_savetofile_bmp";

constexpr int HEADER = 54;
constexpr int INFO_HEADER = 40;
constexpr int BITS = 24;
constexpr int OFF_WIDTH = 18;
constexpr int OFF_HEIGHT = 22;
// Enough of the header to hold both sizes.
constexpr int SIZE_BYTES = OFF_HEIGHT + 2;

// 3 x width padded to 4 bytes; the same as 3 x width + (width mod 4).
long row_bytes(int width) { return (3L * width + 3) & ~3L; }

// The reader takes the pixel data to run to the end of the file, so row r
// from the top starts (r + 1) rows before the end, whatever the header says
// about the data's offset.
class bmp_rows : public row_source {
  public:
    bmp_rows(std::FILE *f, long end, int width)
        : f_(f), end_(end), width_(width), stride_(row_bytes(width)),
          line_(static_cast<std::size_t>(stride_))
    {
    }
    bool next(std::uint8_t *rgb) override
    {
        const long at = end_ - (row_ + 1) * stride_;
        row_++;
        if (std::fseek(f_, at, SEEK_SET) != 0 ||
            std::fread(line_.data(), 1, line_.size(), f_) != line_.size())
            return false;
        for (int i = 0; i < width_; i++) {
            rgb[3 * i] = line_[3 * i + 2];
            rgb[3 * i + 1] = line_[3 * i + 1];
            rgb[3 * i + 2] = line_[3 * i];
        }
        return true;
    }

  private:
    std::FILE *f_;
    long end_;
    int width_;
    long stride_;
    long row_ = 0;
    std::vector<std::uint8_t> line_;
};

} // namespace

bool kximage::bmp_header_size(std::FILE *f, int *width, int *height)
{
    std::uint8_t h[SIZE_BYTES];
    if (std::fread(h, 1, sizeof h, f) != sizeof h)
        return false;
    *width = static_cast<int>(get16le(h + OFF_WIDTH));
    *height = static_cast<int>(get16le(h + OFF_HEIGHT));
    return true;
}

bool kxpxmap_loadfromfile_bmp(kxpxmap *target, const char *name, int x, int y, int xs, int ys)
{
    if (!target_ok(LOAD, target))
        return false;
    file_ptr f = open_read(name);
    if (!f)
        return false;
    std::uint8_t h[HEADER];
    if (std::fread(h, 1, sizeof h, f.get()) != sizeof h)
        return false;
    const int width = static_cast<int>(get16le(h + OFF_WIDTH));
    const int height = static_cast<int>(get16le(h + OFF_HEIGHT));
    if (!size_ok(LOAD, width, height))
        return false;
    // Every row must lie after the header, so a file cut short fails before
    // anything is drawn.
    const long end = kxfile_streamsize(f.get());
    if (end < 0 || end - HEADER < row_bytes(width) * height) {
        std::printf("%s: file too short for %d x %d pixels\n", LOAD, width, height);
        return false;
    }
    bmp_rows rows(f.get(), end, width);
    return place(target, width, height, rows, x, y, xs, ys);
}

bool kxpxmap_savetofile_bmp(const kxpxmap *p, const char *name)
{
    if (!p || !name || !size_ok(SAVE, p->width, p->height))
        return false;
    truecolor_view view(SAVE, p);
    if (!view.get())
        return false;
    const int w = p->width, h = p->height;
    const long stride = row_bytes(w);
    return kxfile_writestream(name, [&](std::FILE *f) {
        std::uint8_t head[HEADER] = {};
        head[0] = 'B';
        head[1] = 'M';
        put32le(head + 2, static_cast<std::uint32_t>(HEADER + stride * h));
        put32le(head + 10, HEADER);
        put32le(head + 14, INFO_HEADER);
        put32le(head + OFF_WIDTH, static_cast<std::uint32_t>(w));
        put32le(head + OFF_HEIGHT, static_cast<std::uint32_t>(h));
        put16le(head + 26, 1);
        put16le(head + 28, BITS);
        if (!put(f, head, sizeof head))
            return false;
        std::vector<std::uint8_t> line(static_cast<std::size_t>(stride), 0);
        for (int y = h - 1; y >= 0; y--) {
            const std::uint32_t *in = view.row(y);
            for (int i = 0; i < w; i++) {
                line[3 * i] = std::uint8_t(in[i]);
                line[3 * i + 1] = std::uint8_t(in[i] >> 8);
                line[3 * i + 2] = std::uint8_t(in[i] >> 16);
            }
            if (!put(f, line))
                return false;
        }
        return true;
    });
}
