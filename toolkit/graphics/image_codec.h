// Pieces shared by the image readers and writers; not for other modules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "graphics/pixmap.h"

namespace kximage {

// Byte order helpers.  Readers take unsigned bytes so that no shift sees a
// negative value.
inline unsigned get16le(const std::uint8_t *b) { return b[0] | unsigned(b[1]) << 8; }
inline void put16le(std::uint8_t *b, unsigned v)
{
    b[0] = std::uint8_t(v);
    b[1] = std::uint8_t(v >> 8);
}
inline void put32le(std::uint8_t *b, std::uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[i] = std::uint8_t(v >> 8 * i);
}
inline void put32be(std::uint8_t *b, std::uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[i] = std::uint8_t(v >> 8 * (3 - i));
}

struct file_closer {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;
inline file_ptr open_read(const char *name)
{
    return file_ptr(name ? std::fopen(name, "rb") : nullptr);
}

// A picture size that a reader or writer handles: 1 .. KX_IMAGE_MAX_SIDE per
// side.  Otherwise prints "<op>: picture size W x H not supported" and gives
// false, so a forged header never leads to a huge allocation.
bool size_ok(const char *op, long long width, long long height);

// Formats a loader can put pictures into (truecolor, server, palette8);
// otherwise prints the loader's "PX-Format %d not supported" line.
bool target_ok(const char *op, const kxpxmap *target);

// Rows of a picture being read, top row first, as red, green, blue bytes.
class row_source {
  public:
    virtual ~row_source() = default;
    // Fills 3 * width bytes; false when the file ends early or fails.
    virtual bool next(std::uint8_t *rgb) = 0;
};

// Puts a width x height picture (its size already checked) into target at
// (x, y), negative positions counting as 0; xs, ys of -1 or 0 take the whole
// picture.  Truecolor targets get the pixels directly, clipped at their
// edges; server and palette8 targets get a merge of a temporary copy.  All
// rows are read, so a file cut short gives false.
bool place(kxpxmap *target, int width, int height, row_source &rows, int x, int y, int xs,
           int ys);

// The bytes a file has from its current position to its end; -1 when the
// stream cannot tell (pipes, directories).
long remaining(std::FILE *f);

// A truecolor picture for a writer: the pixmap itself when it is truecolor,
// else a converted copy (transparent pixels black).  get() is null, after a
// diagnostic naming op, for formats that cannot be converted.
class truecolor_view {
  public:
    truecolor_view(const char *op, const kxpxmap *p);
    ~truecolor_view();
    truecolor_view(const truecolor_view &) = delete;
    truecolor_view &operator=(const truecolor_view &) = delete;
    const kxpxmap *get() const { return use_; }
    const std::uint32_t *row(int y) const
    {
        return static_cast<const std::uint32_t *>(use_->data) +
               static_cast<std::size_t>(y) * static_cast<std::size_t>(use_->width);
    }

  private:
    kxpxmap copy_;
    const kxpxmap *use_ = nullptr;
};

// Width and height from a file's header, the stream at its start; false
// when the header cannot be read.  The sizes are not checked here.
bool bmp_header_size(std::FILE *f, int *width, int *height);
bool ppm_header_size(std::FILE *f, int *width, int *height);
bool pcx_header_size(std::FILE *f, int *width, int *height);
bool xpm_header_size(std::FILE *f, int *width, int *height);

// Writes all of buf; false on a short write.
inline bool put(std::FILE *f, const void *buf, std::size_t n)
{
    return n == 0 || std::fwrite(buf, 1, n, f) == n;
}
inline bool put(std::FILE *f, const std::vector<std::uint8_t> &buf)
{
    return put(f, buf.data(), buf.size());
}

} // namespace kximage
