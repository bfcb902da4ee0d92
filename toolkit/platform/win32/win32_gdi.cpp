// Server pixmaps on Win32: GDI bitmaps compatible with the screen.  Memory
// pixels reach them, and come back, through one shared 32-bit top-down DIB
// section, whose pixels hold exactly the toolkit's 0x00RRGGBB; transparent
// pixels go through an AND mask and an OR of the colours.
// windows.h first: the other host headers build on it.
#include "platform/win32/win32host.h"
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/circlewalk.h"
#include "platform/serverhost.h"

namespace {

constexpr std::uint32_t RGB_BITS = 0xFFFFFF;
constexpr std::uint32_t MASK_TRANSPARENT = 0xFFFFFF;
// The coordinates every version of GDI draws with.
constexpr long long GDI_COORD_MIN = -32768, GDI_COORD_MAX = 32767;

// The current colour as the host takes it (0x00BBGGRR), and as the toolkit
// gave it.
COLORREF current = 0;
int current_rgb = 0;

struct Scratch {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t *bits = nullptr;
    int width = 0, height = 0;
};

Scratch scratch;

HDC screen_dc()
{
    static HDC dc = GetDC(nullptr);
    return dc;
}

COLORREF host_colour(int rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A scratch of at least w x h: reused while big enough, else made anew at
// exactly that size.  False when the host has no memory for it.
bool scratch_fit(int w, int h)
{
    if (scratch.bits && w <= scratch.width && h <= scratch.height) {
        GdiFlush();  // earlier blits into it have landed
        return true;
    }
    if (scratch.dc) {
        SelectObject(scratch.dc, scratch.old);
        DeleteObject(scratch.bitmap);
        DeleteDC(scratch.dc);
        scratch = Scratch{};
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = std::max(w, 1);
    bi.bmiHeader.biHeight = -std::max(h, 1);  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bm = CreateDIBSection(screen_dc(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bm || !bits) {
        if (bm)
            DeleteObject(bm);
        return false;
    }
    scratch.dc = CreateCompatibleDC(screen_dc());
    scratch.bitmap = bm;
    scratch.old = SelectObject(scratch.dc, bm);
    scratch.bits = static_cast<std::uint32_t *>(bits);
    scratch.width = std::max(w, 1);
    scratch.height = std::max(h, 1);
    return true;
}

std::uint32_t *scratch_row(int y) { return scratch.bits + static_cast<std::size_t>(y) * scratch.width; }

void destroy(kxserverbitmap *b)
{
    if (b->mask_context) {
        SelectObject(b->mask_context, b->old_mask);
        DeleteDC(b->mask_context);
    }
    if (b->mask_bitmap)
        DeleteObject(b->mask_bitmap);
    if (b->context) {
        if (b->old_pen)
            SelectObject(b->context, b->old_pen);
        SelectObject(b->context, b->old_bitmap);
        DeleteDC(b->context);
    }
    if (b->pen)
        DeleteObject(b->pen);
    if (b->brush)
        DeleteObject(b->brush);
    if (b->bitmap)
        DeleteObject(b->bitmap);
    delete b;
}

void use_brush(kxserverbitmap *b)
{
    if (b->brush && b->brush_colour == current_rgb)
        return;
    if (b->brush)
        DeleteObject(b->brush);
    b->brush = CreateSolidBrush(current);
    b->brush_colour = current_rgb;
    b->brushes_made++;
}

void use_pen(kxserverbitmap *b)
{
    if (!b->pen || b->pen_colour != current_rgb) {
        HPEN pen = CreatePen(PS_SOLID, 1, current);
        HGDIOBJ old = SelectObject(b->context, pen);
        if (!b->old_pen)
            b->old_pen = old;
        if (b->pen)
            DeleteObject(b->pen);
        b->pen = pen;
        b->pen_colour = current_rgb;
        b->pens_made++;
    }
}

// palette8 pixels of the region at (sx, sy) into the scratch at (0, 0):
// transparent pixels as black; true when there was one.
bool palette8_colours(const kxpxmap *p, int sx, int sy, int w, int h)
{
    std::uint32_t colour[KX_PALETTE_SIZE];
    for (int i = 0; i < KX_PALETTE_SIZE; i++)
        colour[i] = static_cast<std::uint32_t>(p->palette[i]) & RGB_BITS;
    colour[KX_TRANSPARENT_INDEX] = 0;
    const auto *in = static_cast<const std::uint8_t *>(p->data);
    bool transparent = false;
    for (int j = 0; j < h; j++) {
        const std::uint8_t *s = in + static_cast<std::size_t>(sy + j) * p->width + sx;
        std::uint32_t *out = scratch_row(j);
        for (int i = 0; i < w; i++) {
            out[i] = colour[s[i]];
            transparent |= s[i] == KX_TRANSPARENT_INDEX;
        }
    }
    return transparent;
}

// The mask of the same region: white where transparent, black elsewhere.
void palette8_mask(const kxpxmap *p, int sx, int sy, int w, int h)
{
    GdiFlush();
    const auto *in = static_cast<const std::uint8_t *>(p->data);
    for (int j = 0; j < h; j++) {
        const std::uint8_t *s = in + static_cast<std::size_t>(sy + j) * p->width + sx;
        std::uint32_t *out = scratch_row(j);
        for (int i = 0; i < w; i++)
            out[i] = s[i] == KX_TRANSPARENT_INDEX ? MASK_TRANSPARENT : 0;
    }
}

void truecolor_into_scratch(const kxpxmap *p, int sx, int sy, int w, int h)
{
    const auto *in = static_cast<const std::uint32_t *>(p->data);
    for (int j = 0; j < h; j++) {
        const std::uint32_t *s = in + static_cast<std::size_t>(sy + j) * p->width + sx;
        std::uint32_t *out = scratch_row(j);
        for (int i = 0; i < w; i++)
            out[i] = s[i] & RGB_BITS;
    }
}

// The pixels of a context, copied out through the scratch.
bool read_back(HDC from, int w, int h, std::vector<std::uint32_t> *out)
{
    if (!scratch_fit(w, h))
        return false;
    BitBlt(scratch.dc, 0, 0, w, h, from, 0, 0, SRCCOPY);
    GdiFlush();
    out->resize(static_cast<std::size_t>(w) * h);
    for (int j = 0; j < h; j++) {
        const std::uint32_t *s = scratch_row(j);
        for (int i = 0; i < w; i++)
            (*out)[static_cast<std::size_t>(j) * w + i] = s[i] & RGB_BITS;
    }
    return true;
}

bool make_mask(kxserverbitmap *b)
{
    b->mask_bitmap = CreateCompatibleBitmap(screen_dc(), std::max(b->width, 1),
                                            std::max(b->height, 1));
    b->mask_context = CreateCompatibleDC(b->context);
    if (!b->mask_bitmap || !b->mask_context)
        return false;
    b->old_mask = SelectObject(b->mask_context, b->mask_bitmap);
    return true;
}

} // namespace

// ---- what the shared front asks of these bitmaps -------------------------

void kxserverhost_size(const kxserverbitmap *b, int *width, int *height)
{
    *width = b->width;
    *height = b->height;
}

void kxserverhost_copyserver(kxserverbitmap *d, const kxserverbitmap *s, const kxserverrect &r)
{
    if (s->has_mask) {
        BitBlt(d->context, r.dx, r.dy, r.width, r.height, s->mask_context, r.sx, r.sy, SRCAND);
        BitBlt(d->context, r.dx, r.dy, r.width, r.height, s->context, r.sx, r.sy, SRCPAINT);
    } else {
        BitBlt(d->context, r.dx, r.dy, r.width, r.height, s->context, r.sx, r.sy, SRCCOPY);
    }
}

void kxserverhost_copytruecolor(kxserverbitmap *d, const kxpxmap *src, const kxserverrect &r)
{
    if (!scratch_fit(r.width, r.height))
        return;
    truecolor_into_scratch(src, r.sx, r.sy, r.width, r.height);
    BitBlt(d->context, r.dx, r.dy, r.width, r.height, scratch.dc, 0, 0, SRCCOPY);
}

void kxserverhost_copypalette8(kxserverbitmap *d, const kxpxmap *src, const kxserverrect &r)
{
    if (!scratch_fit(r.width, r.height))
        return;
    palette8_mask(src, r.sx, r.sy, r.width, r.height);
    BitBlt(d->context, r.dx, r.dy, r.width, r.height, scratch.dc, 0, 0, SRCAND);
    GdiFlush();
    palette8_colours(src, r.sx, r.sy, r.width, r.height);
    BitBlt(d->context, r.dx, r.dy, r.width, r.height, scratch.dc, 0, 0, SRCPAINT);
}

// The rectangle is cut to the bitmap already: the host takes no rectangles
// beyond its range.
void kxserverhost_fill(kxserverbitmap *b, const kxserverrect &r)
{
    use_brush(b);
    if (r.width <= 0 || r.height <= 0)
        return;
    RECT box{r.dx, r.dy, r.dx + r.width, r.dy + r.height};
    FillRect(b->context, &box, b->brush);
}

// ---- the server entries ---------------------------------------------------

HDC win32_server_context(const kxpxmap *p)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    return b ? b->context : nullptr;
}

kxserverbitmap *kxserver_create(int width, int height)
{
    if (width < 0 || height < 0 || static_cast<long long>(width) * height > KX_PXMAP_MAX_PIXELS)
        return nullptr;
    auto *b = new (std::nothrow) kxserverbitmap;
    if (!b)
        return nullptr;
    b->width = width;
    b->height = height;
    // The host makes no empty bitmaps; a 0 x 0 pixmap keeps one pixel unseen.
    b->bitmap = CreateCompatibleBitmap(screen_dc(), std::max(width, 1), std::max(height, 1));
    b->context = CreateCompatibleDC(screen_dc());
    if (!b->bitmap || !b->context) {
        destroy(b);
        return nullptr;
    }
    b->old_bitmap = SelectObject(b->context, b->bitmap);
    PatBlt(b->context, 0, 0, std::max(width, 1), std::max(height, 1), BLACKNESS);
    return b;
}

void kxserver_free(kxpxmap *p)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b)
        return;
    destroy(b);
    p->data = nullptr;
}

bool kxserver_fromtruecolor(kxpxmap *p)
{
    if (!p || p->format != KX_PXFMT_TRUECOLOR || !p->data)
        return false;
    kxserverbitmap *b = kxserver_create(p->width, p->height);
    if (!b)
        return false;
    if (!scratch_fit(p->width, p->height)) {
        destroy(b);
        return false;
    }
    truecolor_into_scratch(p, 0, 0, p->width, p->height);
    BitBlt(b->context, 0, 0, p->width, p->height, scratch.dc, 0, 0, SRCCOPY);
    std::free(p->data);
    p->data = b;
    p->format = KX_PXFMT_SERVER;
    return true;
}

bool kxserver_frompalette8(kxpxmap *p)
{
    if (!p || p->format != KX_PXFMT_PALETTE8 || !p->data)
        return false;
    kxserverbitmap *b = kxserver_create(p->width, p->height);
    if (!b)
        return false;
    if (!scratch_fit(p->width, p->height)) {
        destroy(b);
        return false;
    }
    const bool transparent = palette8_colours(p, 0, 0, p->width, p->height);
    BitBlt(b->context, 0, 0, p->width, p->height, scratch.dc, 0, 0, SRCCOPY);
    if (transparent) {
        if (!make_mask(b)) {
            destroy(b);
            return false;
        }
        palette8_mask(p, 0, 0, p->width, p->height);
        BitBlt(b->mask_context, 0, 0, p->width, p->height, scratch.dc, 0, 0, SRCCOPY);
        b->has_mask = 1;
    }
    std::free(p->data);
    p->data = b;
    p->format = KX_PXFMT_SERVER;
    return true;
}

bool kxserver_totruecolor(kxpxmap *p)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b)
        return false;
    const std::size_t n = static_cast<std::size_t>(b->width) * b->height;
    auto *out = static_cast<std::uint32_t *>(std::calloc(std::max<std::size_t>(n, 1), 4));
    if (!out)
        return false;
    std::vector<std::uint32_t> px;
    if (n && !read_back(b->context, b->width, b->height, &px)) {
        std::free(out);
        return false;
    }
    std::copy(px.begin(), px.end(), out);
    p->width = b->width;
    p->height = b->height;
    kxserver_free(p);
    p->data = out;
    p->format = KX_PXFMT_TRUECOLOR;
    return true;
}

void kxserver_setpixel(kxpxmap *p, int x, int y)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (b && x >= 0 && y >= 0 && x < b->width && y < b->height)
        SetPixelV(b->context, x, y, current);
}

int kxserver_getpixel(const kxpxmap *p, int x, int y)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height)
        return -1;
    COLORREF c = GetPixel(b->context, x, y);
    if (c == CLR_INVALID)
        return -1;
    return static_cast<int>(GetRValue(c)) << 16 | static_cast<int>(GetGValue(c)) << 8 |
           static_cast<int>(GetBValue(c));
}

void kxserver_setpixels(kxpxmap *p, int count, const int *xs, const int *ys, int colour)
{
    kxserver_setcolour(colour);
    if (!kxserver_bitmap(p) || count <= 0 || !xs || !ys)
        return;
    for (int i = 0; i < count; i++)
        kxserver_setpixel(p, xs[i], ys[i]);
}

bool kxserver_line(kxpxmap *p, int x0, int y0, int x1, int y1, int colour)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b)
        return false;
    kxserver_setcolour(colour);
    use_pen(b);
    MoveToEx(b->context, x0, y0, nullptr);
    LineTo(b->context, x1, y1);
    // The host line leaves out its last point.
    kxserver_setpixel(p, x1, y1);
    return true;
}

bool kxserver_circle(kxpxmap *p, int cx, int cy, int r, int colour)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || r < 0)
        return false;
    kxserver_setcolour(colour);
    use_pen(b);
    // Only 16-bit coordinates are safe with the host's ellipse on every
    // Windows (Wine draws nothing of a circle far beyond them); larger
    // circles are walked here, only where they meet the bitmap.
    const long long left = static_cast<long long>(cx) - r, right = static_cast<long long>(cx) + r + 1;
    const long long top = static_cast<long long>(cy) - r, bottom = static_cast<long long>(cy) + r + 1;
    if (left < GDI_COORD_MIN || top < GDI_COORD_MIN || right > GDI_COORD_MAX ||
        bottom > GDI_COORD_MAX) {
        kxcirclewalk::walk(cx, cy, r, b->width, b->height, [p](long long x, long long y) {
            if (x >= 0 && y >= 0 && x <= INT_MAX && y <= INT_MAX)
                kxserver_setpixel(p, static_cast<int>(x), static_cast<int>(y));
        });
        return true;
    }
    HGDIOBJ old = SelectObject(b->context, GetStockObject(NULL_BRUSH));
    // The host's box leaves out its right and bottom edges.
    Ellipse(b->context, static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
            static_cast<int>(bottom));
    SelectObject(b->context, old);
    return true;
}

void kxserver_setcolour(int colour)
{
    current_rgb = colour & static_cast<int>(RGB_BITS);
    current = host_colour(current_rgb);
}

const std::uint32_t *kxserver_pixels(const kxpxmap *p)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || !read_back(b->context, b->width, b->height, &b->readback))
        return nullptr;
    return b->readback.data();
}

const std::uint32_t *kxserver_mask(const kxpxmap *p)
{
    kxserverbitmap *b = kxserver_bitmap(p);
    if (!b || !b->has_mask || !read_back(b->mask_context, b->width, b->height, &b->mask_readback))
        return nullptr;
    return b->mask_readback.data();
}

int kxserver_brushes_made(const kxpxmap *p)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    return b ? b->brushes_made : 0;
}

int kxserver_pens_made(const kxpxmap *p)
{
    const kxserverbitmap *b = kxserver_bitmap(p);
    return b ? b->pens_made : 0;
}

// The screen format draws nothing here: windows show their server pixmaps.
// Its allocation only initialises the common controls.
void kxscreen_init()
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
}
void kxscreen_fillrect(int x, int y, int width, int height, int colour) {}
void kxscreen_setpixel(int x, int y, int colour) {}
void kxscreen_setpixels(int count, const int *xs, const int *ys, int colour) {}
void kxscreen_line(int x0, int y0, int x1, int y1, int colour) {}
void kxscreen_blit(const kxpxmap *src, int dx, int dy, int sx, int sy, int width, int height) {}
