// The scale windows are shown at, read from the texts that tell it: the
// environment's KX_SCALE (or GDK_SCALE), a dots-per-inch figure, the
// Xft.dpi line of the X resources.  Whole numbers only: each pixel of a
// window pixmap becomes an N x N block, so bitmap text stays crisp.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/host.h"

int kxscale_parse(const char *name, const char *text)
{
    if (!text || !*text)
        return 0;
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        end++;
    if (end == text || !end || *end || errno == ERANGE) {
        std::printf("%s=%s is not a whole number 1 to %d: ignored\n", name, text, KX_SCALE_MAX);
        return 0;
    }
    if (v < 1 || v > KX_SCALE_MAX) {
        int s = v < 1 ? 1 : KX_SCALE_MAX;
        std::printf("%s=%s is outside 1 to %d: scale %d\n", name, text, KX_SCALE_MAX, s);
        return s;
    }
    return static_cast<int>(v);
}

int kxscale_fromdpi(double dpi)
{
    if (!(dpi > 0))
        return 0;
    double steps = std::floor(dpi / KX_SCALE_DPI_STEP);
    if (steps < 1)
        return 1;
    return steps > KX_SCALE_MAX ? KX_SCALE_MAX : static_cast<int>(steps);
}

// Lines "Xft.dpi:<blanks>value"; a resource database names each resource
// once, the last line wins as xrdb merges.
int kxscale_fromresources(const char *resources)
{
    static constexpr char key[] = "Xft.dpi:";
    int scale = 0;
    for (const char *line = resources; line && *line;) {
        const char *next = std::strchr(line, '\n');
        if (std::strncmp(line, key, sizeof key - 1) == 0) {
            const char *value = line + sizeof key - 1;
            char *end = nullptr;
            double dpi = std::strtod(value, &end);
            if (end != value)
                scale = kxscale_fromdpi(dpi);
        }
        line = next ? next + 1 : nullptr;
    }
    return scale;
}

namespace {

// Each pixel twice: four at a time where the processor has SSE2 (every
// x86-64 has), else as 64-bit words of two equal halves.
void widen2(const std::uint32_t *in, std::uint32_t *out, int width)
{
    int i = 0;
#ifdef __SSE2__
    for (; i + 4 <= width; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i), _mm_unpacklo_epi32(v, v));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 2 * i + 4), _mm_unpackhi_epi32(v, v));
    }
#endif
    for (; i < width; i++) {
        const std::uint64_t pair = in[i] | static_cast<std::uint64_t>(in[i]) << 32;
        std::memcpy(out + 2 * i, &pair, 8);
    }
}

} // namespace

// Each row is widened once and then copied down.
void kxscale_enlarge(const std::uint32_t *src, std::size_t src_stride, std::uint32_t *dst,
                     std::size_t dst_stride, int width, int height, int scale)
{
    if (width <= 0 || height <= 0 || scale < 1)
        return;
    const std::size_t row_bytes = static_cast<std::size_t>(width) * scale * 4;
    for (int j = 0; j < height; j++) {
        const std::uint32_t *in = src + static_cast<std::size_t>(j) * src_stride;
        std::uint32_t *out = dst + static_cast<std::size_t>(j) * scale * dst_stride;
        if (scale == 1) {
            std::memcpy(out, in, row_bytes);
            continue;
        }
        if (scale == 2) {
            widen2(in, out, width);
        } else {
            for (int i = 0; i < width; i++)
                for (int k = 0; k < scale; k++)
                    out[i * scale + k] = in[i];
        }
        for (int k = 1; k < scale; k++)
            std::memcpy(out + k * dst_stride, out, row_bytes);
    }
}
