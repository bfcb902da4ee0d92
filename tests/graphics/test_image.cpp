#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/file.h"
#include "image_support.h"

namespace {

struct Size {
    int w, h;
};
// Odd widths pad BMP rows; 200 crosses the 63-byte PCX run limit.
constexpr Size SIZES[] = {{1, 1}, {5, 3}, {7, 2}, {200, 3}, {33, 64}};

using ImageRoundTrip = ImageDir;

TEST_F(ImageRoundTrip, BmpPpmPcxKeepEveryPixel)
{
    for (const char *ext : {"bmp", "ppm", "pcx"})
        for (Size s : SIZES) {
            SCOPED_TRACE(std::string(ext) + " " + std::to_string(s.w) + "x" + std::to_string(s.h));
            Px src(KX_PXFMT_TRUECOLOR, s.w, s.h), back(KX_PXFMT_TRUECOLOR, s.w, s.h);
            paint(&src.p);
            const std::string name = path("pic." + std::string(ext));
            ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str()));
            int w = 0, h = 0;
            EXPECT_EQ(kxgetpicturesizes(name.c_str(), &w, &h), 1);
            EXPECT_EQ(w, s.w);
            EXPECT_EQ(h, s.h);
            ASSERT_TRUE(kxgraphic_gloadintern_file(&back.p, "%s", name.c_str()));
            EXPECT_EQ(pixels_of(back.p), pixels_of(src.p));
        }
}

// A palette8 picture of 23 x 13 using every index below n, and the
// transparent one too when asked.
void limit_palette(kxpxmap *p, int n, bool transparent)
{
    for (int i = 0; i < n; i++)
        p->palette[i] = (0x010203 * i + 0x400000) & 0xFFFFFF;
    for (int k = 0; k < 23 * 13; k++)
        kxpxmap_setpixel(p, k % 23, k / 23,
                         k < n                       ? k
                         : transparent && k % 3 == 0 ? KX_TRANSPARENT_INDEX
                                                     : (k * 13) % n);
}

// A truecolor picture of 23 x 13 with n distinct colours.
void limit_truecolor(kxpxmap *p, int n)
{
    for (int k = 0; k < 23 * 13; k++) {
        const int i = k % n;
        kxpxmap_setpixel(p, k % 23, k / 23, i << 16 | (255 - i) << 8 | ((i * 7) & 0xFF));
    }
}

TEST_F(ImageRoundTrip, XpmKeepsColoursAndTransparency)
{
    // 90 colours still fit one character per pixel, 91 need two; 255 colours
    // and "None" make 256 colour lines, which must load as well.
    for (int n : {3, 90, 91, 254, 255})
        for (bool transparent : {false, true}) {
            SCOPED_TRACE(std::to_string(n) + (transparent ? " and None" : ""));
            Px src(KX_PXFMT_PALETTE8, 23, 13);
            limit_palette(&src.p, n, transparent);
            const std::string name = path("pic.xpm");
            ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str()));
            // Transparent pixels leave a truecolor target as it was.
            Px back(KX_PXFMT_TRUECOLOR, 23, 13);
            kxpxmap_clear(&back.p, 0x123456);
            ASSERT_TRUE(kxgraphic_gloadintern_file(&back.p, "%s", name.c_str()));
            EXPECT_EQ(pixels_of(back.p), colours_of(src.p, 0x123456));
        }
}

TEST_F(ImageRoundTrip, XpmOfTruecolorPicturesAtTheColourLimit)
{
    // Up to 255 colours stay as they are; 256 are reduced, with a warning.
    for (int n : {254, 255, 256}) {
        SCOPED_TRACE(n);
        Px src(KX_PXFMT_TRUECOLOR, 23, 13), back(KX_PXFMT_TRUECOLOR, 23, 13);
        limit_truecolor(&src.p, n);
        const std::string name = path("pic.xpm");
        std::string out = kxtest_stdout(
            [&] { ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str())); });
        ASSERT_TRUE(kxgraphic_gloadintern_file(&back.p, "%s", name.c_str()));
        std::vector<int> want = pixels_of(src.p);
        if (n == 256) {
            EXPECT_EQ(out, "kxpxmap_savetofile_xpm warning: too many colors in "
                           "truecolor-pixmap, reducing to 64\n");
            for (int &c : want)
                c &= 0xC0C0C0;
        }
        EXPECT_EQ(pixels_of(back.p), want);
    }
}

TEST_F(ImageRoundTrip, ServerAndPalette8TargetsGetTheirMerge)
{
    Px src(KX_PXFMT_TRUECOLOR, 9, 4);
    paint(&src.p);
    // A palette8 target gets the picture as palette8, remapped into its own
    // palette (palette code 0), which may take near colours.
    Px want(KX_PXFMT_PALETTE8, 9, 4);
    kxpxmap as_pal8;
    kxpxmap_init(&as_pal8);
    ASSERT_TRUE(kxpxmap_duplicate(&as_pal8, &src.p, -1, -1, -1, -1));
    ASSERT_TRUE(kxpxmap_convert2palette8(&as_pal8, -1));
    kxpxmap_merge4(&want.p, &as_pal8, 0, 0, 0, 0, -1, -1, 0);
    kxpxmap_free(&as_pal8);
    for (const char *ext : {"bmp", "ppm", "pcx"}) {
        SCOPED_TRACE(ext);
        const std::string name = path(std::string("pic.") + ext);
        ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str()));
        Px server(KX_PXFMT_SERVER, 9, 4), pal(KX_PXFMT_PALETTE8, 9, 4);
        ASSERT_TRUE(kxgraphic_gloadintern_file(&server.p, "%s", name.c_str()));
        EXPECT_EQ(pixels_of(server.p), pixels_of(src.p));
        ASSERT_TRUE(kxgraphic_gloadintern_file(&pal.p, "%s", name.c_str()));
        EXPECT_EQ(pixels_of(pal.p), pixels_of(want.p));
        EXPECT_EQ(pal.p.palette, want.p.palette);
    }
}

using ImageRegion = ImageDir;

TEST_F(ImageRegion, SavesTheRegionAndPlacesLoadsClipped)
{
    Px src(KX_PXFMT_TRUECOLOR, 10, 6);
    paint(&src.p);
    const std::string name = path("part.bmp");
    ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s,x=2,y=1,xs=3,ys=%d", name.c_str(), 2));
    Px part(KX_PXFMT_TRUECOLOR, 3, 2);
    ASSERT_TRUE(kxgraphic_gloadintern_file(&part.p, "%s", name.c_str()));
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_EQ(part.at(x, y), test_colour(x + 2, y + 1));

    ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str()));
    struct Case {
        const char *attr;
        int dx, dy, cols, rows; // where the picture's corner lands, how much shows
    } cases[] = {
        {",x=-5", 0, 0, 8, 6},    // a negative position counts as 0
        {",x=4,y=3", 4, 3, 4, 3}, // cut at the target's edges
        {",x=1,y=1,xs=2,ys=1", 1, 1, 2, 1},
        {",xs=0,ys=-1", 0, 0, 8, 6}, // 0 and -1 take the whole picture
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.attr);
        for (int format : {KX_PXFMT_TRUECOLOR, KX_PXFMT_SERVER}) {
            Px t(format, 8, 6);
            kxpxmap_clear(&t.p, 0x777777);
            ASSERT_TRUE(kxgraphic_gloadintern_file(&t.p, "%s%s", name.c_str(), c.attr));
            for (int y = 0; y < 6; y++)
                for (int x = 0; x < 8; x++) {
                    const bool in =
                        x >= c.dx && y >= c.dy && x < c.dx + c.cols && y < c.dy + c.rows;
                    EXPECT_EQ(t.at(x, y), in ? test_colour(x - c.dx, y - c.dy) : 0x777777)
                        << x << "," << y << " format " << format;
                }
        }
    }
}

using ImageFormat = ImageDir;

TEST_F(ImageFormat, BmpOfWidthFivePadsEachRowToSixteenBytes)
{
    Px src(KX_PXFMT_TRUECOLOR, 5, 3);
    paint(&src.p);
    const std::string name = path("w5.bmp");
    ASSERT_TRUE(kxpxmap_savetofile_bmp(&src.p, name.c_str()));
    const auto b = file_bytes(name);
    ASSERT_EQ(b.size(), 54u + 16 * 3);
    auto u32 = [&](int at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | unsigned(b[at + 3]) << 24;
    };
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(2), 54u + 16 * 3);
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 5u);
    EXPECT_EQ(u32(22), 3u);
    EXPECT_EQ(b[26] | b[27] << 8, 1);
    EXPECT_EQ(b[28] | b[29] << 8, 24);
    for (int at = 30; at < 54; at++)
        EXPECT_EQ(b[at], 0) << at;
    for (int r = 0; r < 3; r++) { // bottom row first, blue green red, one zero byte
        const int y = 2 - r, row = 54 + 16 * r;
        for (int x = 0; x < 5; x++) {
            const int c = test_colour(x, y);
            EXPECT_EQ(b[row + 3 * x] | b[row + 3 * x + 1] << 8 | b[row + 3 * x + 2] << 16, c);
        }
        EXPECT_EQ(b[row + 15], 0);
    }
}

TEST_F(ImageFormat, PcxHeaderAndRunLengths)
{
    Px src(KX_PXFMT_TRUECOLOR, 200, 2);
    kxpxmap_clear(&src.p, 0x120000);
    // Second row, a lone low byte, a lone high byte and a lone last byte.
    for (int x = 0; x < 200; x++)
        kxpxmap_setpixel(&src.p, x, 1,
                         x == 0     ? 0x050000
                         : x == 1   ? 0xC50000
                         : x == 199 ? 0x070000
                                    : 0);
    const std::string name = path("runs.pcx");
    ASSERT_TRUE(kxpxmap_savetofile_pcx(&src.p, name.c_str()));
    const auto b = file_bytes(name);
    ASSERT_GT(b.size(), 128u);
    auto u16 = [&](int at) { return b[at] | b[at + 1] << 8; };
    const std::vector<int> head = {b[0],    b[1],    b[2],    b[3],  u16(4), u16(6),  u16(8),
                                   u16(10), u16(12), u16(14), b[64], b[65],  u16(66), u16(68)};
    EXPECT_EQ(head, (std::vector<int>{10, 5, 1, 8, 0, 0, 199, 1, 300, 300, 0, 3, 200, 1}));
    std::vector<int> body(b.begin() + 128, b.end());
    const std::vector<int> plane200 = {0xFF, 0x12, 0xFF, 0x12, 0xFF, 0x12, 0xCB, 0x12};
    std::vector<int> expect = plane200;
    for (int k = 0; k < 2; k++) // green and blue: 200 zeros each
        for (int i = 0; i < 8; i += 2)
            expect.insert(expect.end(), {plane200[i], 0});
    expect.insert(expect.end(), {0x05, 0xC1, 0xC5, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0xC8, 0, 0xC1, 0x07});
    EXPECT_EQ(std::vector<int>(body.begin(), body.begin() + static_cast<long>(expect.size())),
              expect);
}

TEST_F(ImageFormat, PngOfOnePixelHasOneStoredBlockOfFourBytes)
{
    Px src(KX_PXFMT_TRUECOLOR, 1, 1);
    kxpxmap_setpixel(&src.p, 0, 0, 0xA1B2C3);
    const std::string name = path("one.PNG"); // the extension in capitals
    ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str()));
    const auto b = file_bytes(name);
    const std::vector<unsigned char> start = {0x89, 'P', 'N', 'G', 13,  10,  26, 10, 0, 0,
                                              0,    13,  'I', 'H', 'D', 'R', 0,  0,  0, 1,
                                              0,    0,   0,   1,   8,   2,   0,  0,  0};
    ASSERT_EQ(b.size(), 8u + 25 + 12 + 15 + 12);
    EXPECT_TRUE(std::equal(start.begin(), start.end(), b.begin()));
    const std::vector<unsigned char> idat = {0, 0, 0, 15,   'I',  'D', 'A',  'T',  0x78, 0xDA,
                                             1, 4, 0, 0xFB, 0xFF, 0,   0xA1, 0xB2, 0xC3};
    EXPECT_TRUE(std::equal(idat.begin(), idat.end(), b.begin() + 33));
    const std::vector<unsigned char> iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D'};
    EXPECT_TRUE(std::equal(iend.begin(), iend.end(), b.end() - 12));
}

TEST_F(ImageFormat, XpmWriterText)
{
    Px src(KX_PXFMT_PALETTE8, 3, 2);
    src.p.palette[0] = 0xFF0000;
    src.p.palette[1] = 0x00ff00;
    const int idx[] = {0, 1, KX_TRANSPARENT_INDEX, 1, 0, 0};
    for (int i = 0; i < 6; i++)
        kxpxmap_setpixel(&src.p, i % 3, i / 3, idx[i]);
    const std::string name = path("my.icon.xpm");
    ASSERT_TRUE(kxpxmap_savetofile_xpm(&src.p, name.c_str()));
    const auto b = file_bytes(name);
    EXPECT_EQ(std::string(b.begin(), b.end()),
              "/* XPM */\nstatic char * my_icon_xpm[] = {\n\"3 2 3 1\",\n\" \tc None\",\n"
              "\".\tc #FF0000\",\n\"+\tc #00FF00\",\n\".+ \",\n\"+..\"};\n");

    // A truecolor pixmap with 256 colours is cut to 2 bits per channel.
    Px many(KX_PXFMT_TRUECOLOR, 16, 16);
    for (int i = 0; i < 256; i++)
        kxpxmap_setpixel(&many.p, i % 16, i / 16, i * 0x010101 ^ 0x3F0000);
    std::string out =
        kxtest_stdout([&] { EXPECT_TRUE(kxpxmap_savetofile_xpm(&many.p, name.c_str())); });
    EXPECT_EQ(
        out,
        "kxpxmap_savetofile_xpm warning: too many colors in truecolor-pixmap, reducing to 64\n");
    Px back(KX_PXFMT_TRUECOLOR, 16, 16);
    ASSERT_TRUE(kxpxmap_loadfromfile_xpm(&back.p, name.c_str(), 0, 0, -1, -1));
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(back.at(i % 16, i / 16), (i * 0x010101 ^ 0x3F0000) & 0xC0C0C0);
}

using ImageDispatch = ImageDir;

TEST_F(ImageDispatch, UnsupportedTypesAndFormatsSayWhich)
{
    Px src(KX_PXFMT_TRUECOLOR, 4, 4);
    const std::string gif = path("x.gif");
    std::string out = kxtest_stdout([&] {
        EXPECT_FALSE(kxpxmap_savetofile(&src.p, "%s", gif.c_str()));
        EXPECT_FALSE(kxgraphic_gloadintern_file(&src.p, "%s", path("x.png").c_str()));
        EXPECT_EQ(kxgetpicturesizes(gif.c_str(), nullptr, nullptr), 0);
    });
    EXPECT_EQ(out, "kxpxmap_savetofile: unsupported format (" + gif + ")\n" +
                       "kxgraphic_gloadintern_file: unsupported format (" + path("x.png") + ")\n" +
                       "kxgetpicturesizes: unsupported format (" + gif + ")\n");
    EXPECT_FALSE(fs::exists(gif));

    for (const char *ext : {"bmp", "ppm", "pcx"}) {
        ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", path(std::string("ok.") + ext).c_str()));
        Px p16(KX_PXFMT_PALETTE16, 4, 4);
        out = kxtest_stdout([&] {
            EXPECT_FALSE(
                kxgraphic_gloadintern_file(&p16.p, "%s", path(std::string("ok.") + ext).c_str()));
        });
        EXPECT_EQ(out, std::string("kxpxmap_loadfromfile_") + ext +
                           ": PX-Format 2 not supported (should load and copy then)\n");
    }
    Px server(KX_PXFMT_SERVER, 2, 2);
    out = kxtest_stdout(
        [&] { EXPECT_FALSE(kxpxmap_savetofile(&server.p, "%s", path("s.xpm").c_str())); });
    EXPECT_EQ(out, "kxpxmap_savetofile_xpm: unsupported format 4\n");

    // Files that cannot be opened or made fail quietly.
    out = kxtest_stdout([&] {
        for (const char *n : {"none.bmp", "none.ppm", "none.pcx", "none.xpm"})
            EXPECT_FALSE(kxgraphic_gloadintern_file(&src.p, "%s", path(n).c_str()));
        EXPECT_EQ(kxgetpicturesizes(path("none.bmp").c_str(), nullptr, nullptr), 0);
        EXPECT_FALSE(kxpxmap_savetofile(&src.p, "%s", path("no/dir.png").c_str()));
    });
    EXPECT_EQ(out, "");
}

TEST_F(ImageDispatch, PostScriptAndPdfGoToThePageOutput)
{
    // The page keys after the file name reach the page: a4 sets the box, x
    // the image's left edge.
    Px src(KX_PXFMT_TRUECOLOR, 4, 4);
    const std::string ps = path("page.ps"), pdf = path("page.PDF");
    EXPECT_TRUE(kxpxmap_savetofile(&src.p, "%s,x=%d,a4", ps.c_str(), 3));
    EXPECT_TRUE(kxpxmap_savetofile(&src.p, "%s,x=%d,a4", pdf.c_str(), 3));
    const std::vector<unsigned char> psb = file_bytes(ps), pdfb = file_bytes(pdf);
    const std::string pstext(psb.begin(), psb.end()), pdftext(pdfb.begin(), pdfb.end());
    EXPECT_EQ(pstext.rfind("%!PS-Adobe-3.0\n%%BoundingBox: 0 0 595 842\n", 0), 0u);
    EXPECT_NE(pstext.find("gsave\n3 "), std::string::npos);
    EXPECT_EQ(pdftext.rfind("%PDF-1.0\n", 0), 0u);
    EXPECT_NE(pdftext.find("/MediaBox [0 0 595 842]"), std::string::npos);
}

TEST_F(ImageDispatch, FailedWritesKeepTheOldFile)
{
    const std::string name = path("keep.png");
    write_bytes(name, {'o', 'l', 'd'});
    EXPECT_FALSE(kxfile_writestream(name.c_str(), [](std::FILE *f) {
        std::fputs("half", f);
        return false;
    }));
    Px src(KX_PXFMT_TRUECOLOR, 4, 4);
    std::string out =
        kxtest_stdout([&] { EXPECT_FALSE(kxpxmap_savetofile(&src.p, "%s,xs=0", name.c_str())); });
    EXPECT_EQ(out, "kxpxmap_savetofile_png: picture size 0 x 4 not supported\n");
    EXPECT_EQ(file_bytes(name), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

using ImageRobust = ImageDir;

TEST_F(ImageRobust, CutAndForgedHeadersFailBeforeDrawing)
{
    Px src(KX_PXFMT_TRUECOLOR, 6, 5);
    paint(&src.p);
    for (const char *ext : {"bmp", "ppm", "pcx"}) {
        SCOPED_TRACE(ext);
        const std::string name = path(std::string("cut.") + ext);
        ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str()));
        auto b = file_bytes(name);
        b.pop_back();
        write_bytes(name, b);
        Px t(KX_PXFMT_TRUECOLOR, 6, 5);
        kxtest_stdout([&] { EXPECT_FALSE(kxgraphic_gloadintern_file(&t.p, "%s", name.c_str())); });
        if (std::string(ext) != "pcx") { // PCX finds the end only while decoding
            EXPECT_EQ(pixels_of(t.p), std::vector<int>(30, 0));
        }
    }
    struct Forged {
        const char *leaf;
        std::vector<unsigned char> bytes;
        const char *message;
    };
    std::vector<unsigned char> bmp(54 + 64), pcx(128 + 64);
    bmp[18] = bmp[19] = bmp[22] = bmp[23] = 0xFF; // 65535 x 65535
    pcx[8] = pcx[10] = 0xFF;                      // 16384 x 16384, from 0x3FFF
    pcx[9] = pcx[11] = 0x3F;
    const std::string big = "P6\n16384 16384\n255\n", zero = "P6\n# note\n0 3\n255\n";
    const Forged forged[] = {
        {"f.bmp", bmp, "kxpxmap_loadfromfile_bmp: picture size 65535 x 65535 not supported\n"},
        {"f.pcx", pcx, "kxpxmap_loadfromfile_pcx: file too short for 16384 x 16384 pixels\n"},
        {"f.ppm",
         {big.begin(), big.end()},
         "kxpxmap_loadfromfile_ppm: file too short for 16384 x 16384 pixels\n"},
        {"z.ppm",
         {zero.begin(), zero.end()},
         "kxpxmap_loadfromfile_ppm: picture size 0 x 3 not supported\n"},
    };
    for (const Forged &f : forged) {
        write_bytes(path(f.leaf), f.bytes);
        Px t(KX_PXFMT_PALETTE8, 2, 2);
        std::string out = kxtest_stdout(
            [&] { EXPECT_FALSE(kxgraphic_gloadintern_file(&t.p, "%s", path(f.leaf).c_str())); });
        EXPECT_EQ(out, f.message);
    }
    std::string out = kxtest_stdout(
        [&] { EXPECT_EQ(kxgetpicturesizes(path("f.bmp").c_str(), nullptr, nullptr), 0); });
    EXPECT_EQ(out, "kxgetpicturesizes: picture size 65535 x 65535 not supported\n");
}

using ImageXpm = ImageDir;

TEST_F(ImageXpm, ColourFormsKeysAndNone)
{
    const char *xpm[] = {"4 2 5 2",  "  c None",   "a. c #FFF", "b. c #FFFF0000ffff",
                         "c. c red", ".a\tc none", "  a.b.c.",  ".a.a  c."};
    kxpxmap p;
    kxpxmap_init(&p);
    ASSERT_TRUE(kxpxmap_createfrommem_xpm(&p, xpm));
    EXPECT_EQ(p.format, KX_PXFMT_PALETTE8);
    EXPECT_EQ(pixels_of(p), (std::vector<int>{255, 2, 3, 4, 255, 255, 255, 4}));
    EXPECT_EQ(p.palette[2], 0xFFF);    // taken whole, not widened
    EXPECT_EQ(p.palette[3], 0xFF00FF); // two digits of each group of four
    EXPECT_EQ(p.palette[4], 0xFF0000); // an X11 colour name
    kxpxmap_free(&p);
}

TEST_F(ImageXpm, X11ColourNamesInAnyCaseWithBlanksAndGrey)
{
    // As netpbm writes them ("c Black"), and by hand.
    const std::string text = "/* XPM */\nstatic char *noname[] = {\n"
                             "/* width height ncolors chars_per_pixel */\n\"7 1 7 1\",\n"
                             "/* colors */\n\"a c Black\",\n\"b c White\",\n"
                             "\"c c light grey\",\n\"d c LightGray\",\n\"e c Grey50\",\n"
                             "\"f c navy blue m white\",\n\"g c no such colour\",\n"
                             "/* pixels */\n\"abcdefg\"\n};\n";
    kxpxmap p;
    kxpxmap_init(&p);
    const std::string out = kxtest_stdout(
        [&] { ASSERT_TRUE(kxpxmap_createfromtext_xpm(&p, text.data(), text.size())); });
    EXPECT_EQ(colours_of(p, -1), (std::vector<int>{0x000000, 0xFFFFFF, 0xD3D3D3, 0xD3D3D3, 0x7F7F7F,
                                                   0x000080, 0x000000}));
    EXPECT_EQ(out,
              "kxpxmap_createfrommem_xpm: unknown colour name \"no such colour\", black used\n");
    kxpxmap_free(&p);
}

TEST_F(ImageXpm, BadStringsFailWithTheirDiagnostic)
{
    struct Case {
        std::vector<const char *> strings;
        const char *message;
    };
    const std::string M = "kxpxmap_createfrommem_xpm: ";
    const Case cases[] = {
        {{"1 1 300 1"}, "too many colors (300)"},
        {{"1 1 1 3", "a c #000000", "a"}, "3 characters per pixel not supported"},
        {{"0 1 1 1", "a c #000000", ""}, "picture size 0 x 1 not supported"},
        {{"16385 1 1 1"}, "picture size 16385 x 1 not supported"},
        {{"1 1 2 1", "a c #000000"}, "colour 2 missing"},
        {{"3 2 1 1", "a c #000000", "aaa", "aa"}, "row 1 missing or short"},
        {{"2 1 1 1", "a c #000000", "ab"}, "unknown colour key in row 0"},
        {{"1 1 1 1", "a #000000", "a"}, "no colour in colour line 1"},
        {{"1 1"}, "bad header"},
        {{}, "no header"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        kxpxmap p;
        kxpxmap_init(&p);
        std::string out = kxtest_stdout([&] {
            EXPECT_FALSE(kxpxmap_createfromstrings_xpm(&p, c.strings.data(), c.strings.size()));
        });
        EXPECT_EQ(out, M + c.message + "\n");
        EXPECT_EQ(p.format, KX_PXFMT_NONE);
        EXPECT_EQ(p.data, nullptr);
    }
    // 256 colour lines fit only with a "None" among them.
    std::vector<std::string> text{"1 1 256 2"};
    for (int i = 0; i < 256; i++) {
        const char key[] = {static_cast<char>('A' + i / 16), static_cast<char>('a' + i % 16), 0};
        text.push_back(std::string(key) + " c #123456");
    }
    text.push_back("Aa");
    std::vector<const char *> strings;
    for (const std::string &t : text)
        strings.push_back(t.c_str());
    kxpxmap p;
    kxpxmap_init(&p);
    EXPECT_EQ(kxtest_stdout([&] {
                  EXPECT_FALSE(kxpxmap_createfromstrings_xpm(&p, strings.data(), strings.size()));
              }),
              M + "too many colors (256)\n");
}

TEST_F(ImageXpm, FileTextAndDrawing)
{
    // The shape other programs write: comments, a trailing comma, "};".
    const std::string text =
        "/* XPM */\nstatic const char *a[] = {\n/* columns rows colors */\n"
        "\"3 1 2 1 \",\n\"  c None\",\n\"x c #102030\",\n/* pixels */\n\"x x\",\n};\n";
    kxpxmap p;
    kxpxmap_init(&p);
    ASSERT_TRUE(kxpxmap_createfromtext_xpm(&p, text.data(), text.size()));
    EXPECT_EQ(pixels_of(p), (std::vector<int>{2, 255, 2}));
    kxpxmap_free(&p);

    const char *icon[] = {"3 1 2 1", "  c None", "x c #102030", "x x"};
    Px t(KX_PXFMT_TRUECOLOR, 5, 2);
    kxpxmap_clear(&t.p, 0xFFFFFF);
    ASSERT_TRUE(kxgraphic_drawxpm(&t.p, icon, 0, 0, "x=%d,y=1,xs=2", 2));
    EXPECT_EQ(pixels_of(t.p), (std::vector<int>{0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                                0xFFFFFF, 0xFFFFFF, 0x102030, 0xFFFFFF, 0xFFFFFF}));
    // palettecode=1 copies indexes as they are, into a palette8 target.
    Px pal(KX_PXFMT_PALETTE8, 3, 1);
    ASSERT_TRUE(kxgraphic_drawxpm(&pal.p, icon, 0, 0, "palettecode=1"));
    EXPECT_EQ(pixels_of(pal.p), (std::vector<int>{2, 0, 2}));
    std::vector<int> table(256, 0xABCDEF);
    ASSERT_TRUE(kxgraphic_drawxpm_at(&t.p, icon, 0, 0, -1, -1, 0, table.data()));
    EXPECT_EQ(t.at(0, 0), 0xABCDEF);
    EXPECT_EQ(t.at(1, 0), 0xFFFFFF);
}

// ImageMagick and pngcheck by their full paths: /usr/local/bin may hold
// stand-ins that rewrite arguments.
constexpr const char *CONVERT = "/usr/bin/convert";
constexpr const char *PNGCHECK = "/usr/bin/pngcheck";

bool imagemagick()
{
    static const bool real =
        fs::exists(CONVERT) &&
        std::system(
            (std::string(CONVERT) + " -version 2>/dev/null | grep -q ImageMagick").c_str()) == 0;
    return real;
}

#define REQUIRE_IMAGEMAGICK()                                                                      \
    if (!imagemagick())                                                                            \
    GTEST_SKIP() << CONVERT << " (ImageMagick, Debian package imagemagick) is not installed"

int run(const std::string &cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

// The pixels ImageMagick decodes from a file, as raw bytes ("rgb" or "rgba").
std::vector<unsigned char> decoded(const std::string &file, const std::string &out,
                                   const char *as = "rgb")
{
    EXPECT_EQ(run(std::string(CONVERT) + " '" + file + "' -depth 8 " + as + ":'" + out + "'"), 0)
        << file;
    return file_bytes(out);
}

std::vector<unsigned char> rgb_bytes(const kxpxmap &p)
{
    std::vector<unsigned char> v;
    for (int c : pixels_of(p))
        v.insert(v.end(), {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                           static_cast<unsigned char>(c)});
    return v;
}

// ImageMagick decodes the XPM file to the palette8 picture's colours, with
// its transparent pixels at alpha 0.
void expect_rgba(const std::string &file, const kxpxmap &pal)
{
    std::vector<unsigned char> want;
    for (int c : pixels_of(pal)) {
        const bool none = c == KX_TRANSPARENT_INDEX;
        const int rgb = none ? 0 : pal.palette[c];
        want.insert(want.end(),
                    {static_cast<unsigned char>(rgb >> 16), static_cast<unsigned char>(rgb >> 8),
                     static_cast<unsigned char>(rgb), static_cast<unsigned char>(none ? 0 : 255)});
    }
    auto got = decoded(file, file + ".rgba", "rgba");
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); i += 4) // colour under alpha 0 is ImageMagick's choice
        if (want[i + 3] == 0)
            std::copy_n(want.begin() + static_cast<long>(i), 3, got.begin() + static_cast<long>(i));
    EXPECT_EQ(got, want);
}

using ImageExternal = ImageDir;

TEST_F(ImageExternal, ImageMagickReadsOurFiles)
{
    REQUIRE_IMAGEMAGICK();
    // 200 x 70 holds more than one 32768-byte stored block.
    for (Size s : {Size{1, 1}, Size{5, 3}, Size{200, 70}}) {
        Px src(KX_PXFMT_TRUECOLOR, s.w, s.h);
        paint(&src.p);
        for (const char *ext : {"png", "bmp", "ppm", "pcx"}) {
            SCOPED_TRACE(std::string(ext) + " " + std::to_string(s.w) + "x" + std::to_string(s.h));
            const std::string name = path(std::string("ours.") + ext);
            ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", name.c_str()));
            EXPECT_EQ(decoded(name, path("ours.rgb")), rgb_bytes(src.p));
        }
    }
    // XPM with two characters per pixel and transparent pixels.
    Px pal(KX_PXFMT_PALETTE8, 31, 7);
    for (int i = 0; i < 31 * 7; i++) {
        const int index = i % 11 == 0 ? KX_TRANSPARENT_INDEX : i % 120;
        pal.p.palette[i % 120] = 0x0F1E2D * (i % 120) & 0xFFFFFF;
        kxpxmap_setpixel(&pal.p, i % 31, i / 31, index);
    }
    ASSERT_TRUE(kxpxmap_savetofile(&pal.p, "%s", path("ours.xpm").c_str()));
    expect_rgba(path("ours.xpm"), pal.p);
}

TEST_F(ImageExternal, ImageMagickReadsOurXpmsAtTheColourLimit)
{
    REQUIRE_IMAGEMAGICK();
    for (bool transparent : {false, true}) {
        Px pal(KX_PXFMT_PALETTE8, 23, 13);
        limit_palette(&pal.p, 255, transparent);
        ASSERT_TRUE(kxpxmap_savetofile(&pal.p, "%s", path("pal.xpm").c_str()));
        expect_rgba(path("pal.xpm"), pal.p);
    }
    Px src(KX_PXFMT_TRUECOLOR, 23, 13);
    limit_truecolor(&src.p, 255);
    ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", path("true.xpm").c_str()));
    EXPECT_EQ(decoded(path("true.xpm"), path("true.rgb")), rgb_bytes(src.p));
}

TEST_F(ImageExternal, ImageMagicksNamedColoursLoad)
{
    REQUIRE_IMAGEMAGICK();
    // ImageMagick writes these by name ("c red", "c gray50", "c gray").
    const int colours[] = {0xFF0000, 0x000000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x7F7F7F, 0xBEBEBE,
                           0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0xDC143C, 0x4B0082, 0x808080,
                           0xC0C0C0};
    Px src(KX_PXFMT_TRUECOLOR, 5, 3), back(KX_PXFMT_TRUECOLOR, 5, 3);
    for (int i = 0; i < 15; i++)
        kxpxmap_setpixel(&src.p, i % 5, i / 5, colours[i]);
    write_bytes(path("named.rgb"), rgb_bytes(src.p));
    ASSERT_EQ(run(std::string(CONVERT) + " -size 5x3 -depth 8 rgb:'" + path("named.rgb") + "' '" +
                  path("named.xpm") + "'"),
              0);
    const auto text = file_bytes(path("named.xpm"));
    ASSERT_NE(std::string(text.begin(), text.end()).find(" c red\""), std::string::npos);
    ASSERT_TRUE(kxgraphic_gloadintern_file(&back.p, "%s", path("named.xpm").c_str()));
    EXPECT_EQ(pixels_of(back.p), pixels_of(src.p));
}

TEST_F(ImageExternal, PngcheckAcceptsOurPngs)
{
#ifdef _WIN32
    GTEST_SKIP() << "pngcheck is a Linux program; it cannot run from a Windows build";
#endif
    if (!fs::exists(PNGCHECK))
        GTEST_SKIP() << PNGCHECK << " (Debian package pngcheck) is not installed";
    for (Size s : {Size{1, 1}, Size{7, 2}, Size{200, 70}}) {
        Px src(KX_PXFMT_TRUECOLOR, s.w, s.h);
        paint(&src.p);
        const std::string name = path("check.png");
        ASSERT_TRUE(kxpxmap_savetofile_png(&src.p, name.c_str()));
        EXPECT_EQ(run(std::string(PNGCHECK) + " '" + name + "'"), 0) << s.w << "x" << s.h;
    }
}

TEST_F(ImageExternal, FilesWrittenByImageMagickLoadTheSame)
{
    REQUIRE_IMAGEMAGICK();
    Px src(KX_PXFMT_TRUECOLOR, 37, 21);
    paint(&src.p);
    write_bytes(path("src.rgb"), rgb_bytes(src.p));
    const std::string from =
        std::string(CONVERT) + " -size 37x21 -depth 8 rgb:'" + path("src.rgb") + "' ";
    const std::pair<const char *, const char *> variants[] = {
        {"-type TrueColor BMP3:", "their.bmp"},
        {"", "their.ppm"},
        {"-type TrueColor ", "their.pcx"}};
    for (auto [options, leaf] : variants) {
        SCOPED_TRACE(leaf);
        ASSERT_EQ(run(from + options + "'" + path(leaf) + "'"), 0);
        Px back(KX_PXFMT_TRUECOLOR, 37, 21);
        ASSERT_TRUE(kxgraphic_gloadintern_file(&back.p, "%s", path(leaf).c_str()));
        EXPECT_EQ(pixels_of(back.p), pixels_of(src.p));
    }
    // 255 colours, none of them one that ImageMagick would write by name.
    Px many(KX_PXFMT_TRUECOLOR, 17, 15);
    for (int i = 0; i < 255; i++)
        kxpxmap_setpixel(&many.p, i % 17, i / 17, (0x0B1D2F * i ^ 0x5A3C1E) & 0xFFFFFF);
    write_bytes(path("many.rgb"), rgb_bytes(many.p));
    ASSERT_EQ(run(std::string(CONVERT) + " -size 17x15 -depth 8 rgb:'" + path("many.rgb") + "' '" +
                  path("their.xpm") + "'"),
              0);
    const auto text = file_bytes(path("their.xpm"));
    ASSERT_NE(std::string(text.begin(), text.end()).find("\"17 15 255 "), std::string::npos);
    Px back(KX_PXFMT_TRUECOLOR, 17, 15);
    ASSERT_TRUE(kxgraphic_gloadintern_file(&back.p, "%s", path("their.xpm").c_str()));
    EXPECT_EQ(pixels_of(back.p), pixels_of(many.p));
}

} // namespace
