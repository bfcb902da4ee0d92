// PPM files, raw form: "P6\n<width> <height>\n255\n", then red, green, blue
// bytes row by row from the top.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/file.h"
#include "graphics/image.h"
#include "graphics/image_codec.h"

namespace {

using namespace kximage;

constexpr const char *LOAD = "kxpxmap_loadfromfile_ppm";
constexpr const char *SAVE = "kxpxmap_savetofile_ppm";

// Header lines are looked at up to this many characters; the rest of a
// longer line is skipped.
constexpr std::size_t LINE_CHARS = 500;
// The whole header (comments included) may be this long, so that a stream
// without line ends, or of endless comments, cannot keep a reader busy.
constexpr long HEADER_BUDGET = 1L << 20;

struct header_reader {
    std::FILE *f;
    long budget = HEADER_BUDGET;
    char line[LINE_CHARS + 1] = {};

    // Reads one line (its end included) and keeps its first LINE_CHARS
    // characters.  False at the end of the file with nothing read, or when
    // the budget is spent.
    bool next()
    {
        std::size_t n = 0;
        int c;
        bool any = false;
        while ((c = std::fgetc(f)) != EOF) {
            if (--budget < 0)
                return false;
            any = true;
            if (c == '\n')
                break;
            if (n < LINE_CHARS)
                line[n++] = static_cast<char>(c);
        }
        line[n] = 0;
        return any;
    }
};

// A whole number, clamped to the int range; false without digits.
bool read_int(const char *&s, int *out)
{
    char *end;
    errno = 0;
    long v = std::strtol(s, &end, 10);
    if (end == s)
        return false;
    if (errno == ERANGE || v > INT_MAX || v < INT_MIN)
        v = v < 0 ? INT_MIN : INT_MAX;
    *out = static_cast<int>(v);
    s = end;
    return true;
}

// The magic line, any comment lines, then "<width> <height>".
bool read_size(header_reader &in, int *width, int *height)
{
    if (!in.next())
        return false;
    do {
        if (!in.next())
            return false;
    } while (in.line[0] == '#');
    const char *s = in.line;
    return read_int(s, width) && read_int(s, height);
}

class ppm_rows : public row_source {
  public:
    ppm_rows(std::FILE *f, int width) : f_(f), bytes_(static_cast<std::size_t>(width) * 3) {}
    bool next(std::uint8_t *rgb) override { return std::fread(rgb, 1, bytes_, f_) == bytes_; }

  private:
    std::FILE *f_;
    std::size_t bytes_;
};

} // namespace

bool kximage::ppm_header_size(std::FILE *f, int *width, int *height)
{
    header_reader in{f};
    return read_size(in, width, height);
}

bool kxpxmap_loadfromfile_ppm(kxpxmap *target, const char *name, int x, int y, int xs, int ys)
{
    if (!target_ok(LOAD, target))
        return false;
    file_ptr f = open_read(name);
    if (!f)
        return false;
    header_reader in{f.get()};
    int width = 0, height = 0;
    if (!read_size(in, &width, &height)) {
        std::printf("%s: no picture size in the header\n", LOAD);
        return false;
    }
    if (!size_ok(LOAD, width, height))
        return false;
    const bool header = in.next();  // the maximum value, taken to be 255
    const long left = remaining(f.get());
    if (!header || left < 0 || left / 3 / width < height) {
        std::printf("%s: file too short for %d x %d pixels\n", LOAD, width, height);
        return false;
    }
    ppm_rows rows(f.get(), width);
    return place(target, width, height, rows, x, y, xs, ys);
}

bool kxpxmap_savetofile_ppm(const kxpxmap *p, const char *name)
{
    if (!p || !name || !size_ok(SAVE, p->width, p->height))
        return false;
    truecolor_view view(SAVE, p);
    if (!view.get())
        return false;
    const int w = p->width, h = p->height;
    return kxfile_writestream(name, [&](std::FILE *f) {
        if (std::fprintf(f, "P6\n%d %d\n255\n", w, h) < 0)
            return false;
        std::vector<std::uint8_t> line(static_cast<std::size_t>(w) * 3);
        for (int y = 0; y < h; y++) {
            const std::uint32_t *in = view.row(y);
            for (int i = 0; i < w; i++) {
                line[3 * i] = std::uint8_t(in[i] >> 16);
                line[3 * i + 1] = std::uint8_t(in[i] >> 8);
                line[3 * i + 2] = std::uint8_t(in[i]);
            }
            if (!put(f, line))
                return false;
        }
        return true;
    });
}
