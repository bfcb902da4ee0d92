#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/image_support.h"
#include "print/print.h"

namespace {

std::string text_of(const std::string &name)
{
    const std::vector<unsigned char> b = file_bytes(name);
    return {b.begin(), b.end()};
}

void write_text(const std::string &name, const std::string &text)
{
    write_bytes(name, std::vector<unsigned char>(text.begin(), text.end()));
}

int count_of(const std::string &s, const std::string &part)
{
    int n = 0;
    for (std::size_t p = s.find(part); p != std::string::npos; p = s.find(part, p + 1))
        n++;
    return n;
}

bool contains(const std::string &s, const std::string &part) { return s.find(part) != s.npos; }

std::string repeat(const std::string &s, int n)
{
    std::string r;
    for (int i = 0; i < n; i++)
        r += s;
    return r;
}

// Quadrants red, green / blue and a colour that 4 bits cannot hold.
constexpr int QUAD[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x8C4020};

void paint_quadrants(kxpxmap *p)
{
    for (int y = 0; y < p->height; y++)
        for (int x = 0; x < p->width; x++)
            kxpxmap_setpixel(p, x, y, QUAD[(y * 2 >= p->height) * 2 + (x * 2 >= p->width)]);
}

// A hand-written image block in the page job's form.
std::string block(int cols, int rows, const std::string &hex, bool colour = true)
{
    char head[256];
    std::snprintf(head, sizeof head,
                  "gsave\n10 20 translate\n30 40 scale\n/picture %d string def\n%d %d 8\n"
                  "[ %d 0 0 %d 0 %d ]\n",
                  colour ? 3 * cols : cols, cols, rows, cols, -rows, rows);
    return head +
           std::string(colour ? "{currentfile picture readhexstring pop} false 3 colorimage\n"
                              : "{currentfile picture readhexstring pop} image\n") +
           hex + "\ngrestore\n\n";
}

// The decoded bytes of the n-th image stream of a PDF (RunLength undone).
std::string image_stream(const std::string &pdf, int n, bool runlength)
{
    std::size_t p = 0;
    for (int i = 0; i <= n; i++)
        p = pdf.find("/Subtype /Image", p + 1);
    p = pdf.find("stream\n", p) + 7;
    std::string out;
    if (!runlength)
        return pdf.substr(p, pdf.find("endstream", p) - p);
    for (;;) {
        const int c = static_cast<unsigned char>(pdf.at(p++));
        if (c == 128)
            return out;
        if (c < 128) {
            out += pdf.substr(p, c + 1);
            p += c + 1;
        } else {
            out.append(257 - c, pdf.at(p++));
        }
    }
}

class Page : public ImageDir {
  protected:
    // The job's PostScript as a ".ps" target gets it.
    std::string ps_of(kxPostScript *job)
    {
        const std::string name = path("job.ps");
        EXPECT_TRUE(kxps_finish(job, name.c_str()));
        return text_of(name);
    }
    std::string convert(const std::string &ps, bool truecolor = false)
    {
        write_text(path("in.ps"), ps);
        EXPECT_TRUE(kxpdf_convertps(path("in.ps").c_str(), path("out.pdf").c_str(), truecolor));
        return text_of(path("out.pdf"));
    }
};

using PageJob = Page;

TEST_F(PageJob, PaperKeysSetTheBoundingBox)
{
    struct Row {
        const char *keys;
        const char *box;
    } rows[] = {{"a4", "0 0 595 842"},       {"a0", "0 0 2384 3370"},
                {"a9", "0 0 107 148"},       {"letter", "0 0 612 792"},
                {"legal,landscape", "0 0 1008 612"}, {"landscape,a4,portrait", "0 0 595 842"}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.keys);
        kxPostScript job;
        ASSERT_TRUE(kxps_open(&job, "%s", r.keys));
        const std::string head = "%!PS-Adobe-3.0\n%%BoundingBox: " + std::string(r.box) + "\n";
        EXPECT_EQ(ps_of(&job).rfind(head, 0), 0u);
    }
    kxPostScript job;
    EXPECT_EQ(kxtest_stdout([&] { kxps_open(&job, "dpi=%d", 72); }),
              "kxPostScript: unsupported format 0\n");
    EXPECT_TRUE(contains(ps_of(&job), "%%BoundingBox: 0 0 0 0\n"));
}

TEST_F(PageJob, PrologReencodesAndLandscapeRotates)
{
    kxPostScript job;
    ASSERT_TRUE(kxps_open(&job, "landscape,a4"));
    const std::string ps = ps_of(&job);
    EXPECT_TRUE(contains(ps, "%%BoundingBox: 0 0 842 595\n"));
    EXPECT_TRUE(contains(ps, "/ISOvec [\n8#242 /cent\n8#243 /sterling\n"));
    EXPECT_TRUE(contains(ps, "8#337 /germandbls\n"));
    EXPECT_TRUE(contains(ps, "8#377 /ydieresis\n] def\n"));
    EXPECT_EQ(count_of(ps, "\n8#"), 94);
    EXPECT_TRUE(contains(ps, "%%Page: 1 1\n%kx landscape\n/pagelevel save def\n"
                             "595 0 translate 90 rotate\n"
                             "/Helvetica /ISOfont ISOvec ReEncode /ISOfont findfont\n"
                             "12 scalefont\nsetfont\n"));
    EXPECT_EQ(ps.substr(ps.size() - 15), "showpage\n%%EOF\n");
}

TEST_F(PageJob, ResolutionKeys)
{
    kxPostScript job;
    ASSERT_TRUE(kxps_open(&job, "a4,dpi=150,y-dpi=600"));
    EXPECT_EQ(job.xdpi, 150);
    EXPECT_EQ(job.ydpi, 600);
    EXPECT_EQ(job.device_width, 1240);   // 595 / 72 * 150, rounded
    EXPECT_EQ(job.device_height, 7017);  // 842 / 72 * 600
    // A resolution of 0 would divide every size by zero.
    EXPECT_EQ(kxtest_stdout([&] { kxps_open(&job, "a4,dpi=0"); }),
              "kxPostScript: unsupported resolution 0\n");
    EXPECT_EQ(job.xdpi, 300);
    EXPECT_DOUBLE_EQ(job.xscale, 300 / 72.0);
}

TEST_F(PageJob, ImageBlockOnA4At300Dpi)
{
    Px px(KX_PXFMT_TRUECOLOR, 600, 400);
    paint_quadrants(&px.p);
    kxPostScript job;
    ASSERT_TRUE(kxps_open(&job, "a4,leftborder=5,topborder=7.5"));
    ASSERT_TRUE(kxps_putimage(&job, &px.p, 10, 20, 0, 0));
    const std::string ps = ps_of(&job);
    // Y = 842 - 96 - (20 + 7.5)
    EXPECT_TRUE(contains(ps, "gsave\n15 718.5 translate\n144 96 scale\n/picture 1800 string def\n"
                             "600 400 8\n[ 600 0 0 -400 0 400 ]\n"
                             "{currentfile picture readhexstring pop} false 3 colorimage\n"
                             "FF0000FF0000"));
    const std::size_t row = ps.find("colorimage\n") + 11;
    EXPECT_EQ(ps.substr(row + 299 * 6, 12), "FF000000FF00");
    EXPECT_EQ(ps.substr(row + 3601 * 399, 3601),
              repeat("0000FF", 300) + repeat("8C4020", 300) + "\n");
    EXPECT_TRUE(contains(ps, "8C4020\ngrestore\n\nshowpage\n%%EOF\n"));
}

TEST_F(PageJob, EvenColumnRule)
{
    struct Row {
        int width, xoffset, yoffset;
        int cols, rows;  // 0: nothing placed
        const char *scale;
    } rows[] = {
        {601, 0, 0, 600, 4, "144.24 0.96 scale"},  // W + 1 would pass the edge
        {600, 1, 0, 598, 4, "143.76 0.96 scale"},
        {600, 2, 1, 598, 3, "143.52 0.72 scale"},
        {5, 0, 0, 4, 4, "1.2 0.96 scale"},
        {2, 1, 0, 0, 0, ""},
        {600, 600, 0, 0, 0, ""},
        {600, 0, 4, 0, 0, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::to_string(r.width) + " from " + std::to_string(r.xoffset));
        Px px(KX_PXFMT_TRUECOLOR, r.width, 4);
        kxPostScript job;
        ASSERT_TRUE(kxps_open(&job, "a4"));
        EXPECT_EQ(kxps_putimage(&job, &px.p, 0, 0, r.xoffset, r.yoffset), r.cols > 0);
        const std::string ps = ps_of(&job);
        if (r.cols == 0) {
            EXPECT_FALSE(contains(ps, "gsave"));
            continue;
        }
        EXPECT_TRUE(contains(ps, std::string(r.scale) + "\n/picture " + std::to_string(3 * r.cols) +
                                     " string def\n" + std::to_string(r.cols) + " " +
                                     std::to_string(r.rows) + " 8\n"));
        EXPECT_EQ(count_of(ps, std::string(6 * r.cols, '0') + "\n"), r.rows);
    }
}

TEST_F(PageJob, PixelFormatsAndGrey)
{
    Px tc(KX_PXFMT_TRUECOLOR, 2, 1), pal(KX_PXFMT_PALETTE8, 2, 1), srv(KX_PXFMT_SERVER, 2, 1);
    kxpxmap_setpixel(&tc.p, 0, 0, 0xFF0000);
    kxpxmap_setpixel(&tc.p, 1, 0, 0x12AB34);
    kxpxmap_setpalette(&pal.p, 7, 0xFF0000);
    kxpxmap_setpalette(&pal.p, 9, 0x12AB34);
    kxpxmap_setpixel(&pal.p, 0, 0, 7);
    kxpxmap_setpixel(&pal.p, 1, 0, 9);
    kxpxmap_setpixel(&srv.p, 0, 0, 0xFF0000);
    kxpxmap_setpixel(&srv.p, 1, 0, 0x12AB34);
    for (const kxpxmap *p : {&tc.p, &pal.p, &srv.p}) {
        SCOPED_TRACE(p->format);
        kxPostScript job;
        ASSERT_TRUE(kxps_open(&job, "a4"));
        ASSERT_TRUE(kxps_putimage(&job, p, 0, 0, 0, 0));
        ASSERT_TRUE(kxps_putgreyimage(&job, p, 0, 0, 0, 0));
        const std::string ps = ps_of(&job);
        EXPECT_TRUE(contains(ps, "false 3 colorimage\nFF000012AB34\ngrestore"));
        // (299 * 255 + 500) / 1000 = 76; 0x12AB34: 112
        EXPECT_TRUE(contains(ps, "/picture 2 string def\n2 1 8\n[ 2 0 0 -1 0 1 ]\n"
                                 "{currentfile picture readhexstring pop} image\n4C70\ngrestore"));
    }
    Px p16(KX_PXFMT_PALETTE16, 2, 1);
    kxPostScript job;
    ASSERT_TRUE(kxps_open(&job, "a4"));
    EXPECT_EQ(kxtest_stdout([&] { EXPECT_FALSE(kxps_putimage(&job, &p16.p, 0, 0, 0, 0)); }),
              "ps unsupported graphics format: 2\n");
}

TEST_F(PageJob, TextLinesAndMetrics)
{
    kxPostScript job;
    ASSERT_TRUE(kxps_open(&job, "a4,topborder=2"));
    EXPECT_TRUE(kxps_setfont(&job, "Times-Bold", 14));
    EXPECT_FALSE(kxps_setfont(&job, "Bad Name", 14));
    EXPECT_FALSE(kxps_setfont(&job, "Times", 0));
    EXPECT_TRUE(kxps_setcolor(&job, 0xFF8000));
    EXPECT_TRUE(kxps_moveto(&job, 10, 40));
    EXPECT_TRUE(kxps_text(&job, "a(b)\\c\n"));
    EXPECT_TRUE(contains(ps_of(&job), "/Times-Bold /ISOfont ISOvec ReEncode /ISOfont findfont\n"
                                      "14 scalefont\nsetfont\n1 0.501961 0 setrgbcolor\n"
                                      "10 800 moveto\n(a\\(b\\)\\\\c\\012) show\nshowpage\n"));
    EXPECT_EQ(job.font_name, "Times-Bold");

    ASSERT_TRUE(kxps_setfont(&job, "Courier", 12));
    EXPECT_GT(kxps_textwidth(&job, "iiii"), 0.0);
    EXPECT_DOUBLE_EQ(kxps_textwidth(&job, "iiii"), kxps_textwidth(&job, "WWWW"));
    ASSERT_TRUE(kxps_setfont(&job, "Helvetica", 12));
    EXPECT_LT(kxps_textwidth(&job, "iiii"), kxps_textwidth(&job, "WWWW"));
    const double w12 = kxps_textwidth(&job, "Hallo");
    ASSERT_TRUE(kxps_setfont(&job, "Helvetica", 36));
    EXPECT_NEAR(kxps_textwidth(&job, "Hallo"), 3 * w12, 0.25 * w12);
}

TEST_F(PageJob, FinishTargetsAndClose)
{
    kxPostScript job;
    ASSERT_TRUE(kxps_open(&job, "a4"));
    const std::string temp = job.temp_path;
    EXPECT_EQ(temp.rfind("kxtmp"), temp.size() - 11);
    const std::string first = ps_of(&job);
    // A PDF finish leaves its closing lines in the temporary file; the next
    // copy must not carry them as a second page.
    EXPECT_TRUE(kxps_finish(&job, path("a.pdf").c_str()));
    EXPECT_EQ(ps_of(&job), first);
    EXPECT_TRUE(kxps_text(&job, "x"));
    EXPECT_EQ(count_of(ps_of(&job), "showpage"), 1);
    // A directory receives the file under the temporary file's name.
    fs::create_directories(path("d.ps"));
    EXPECT_TRUE(kxps_finish(&job, path("d.ps").c_str()));
    EXPECT_TRUE(fs::exists(dir_ / "d.ps" / fs::path(temp).filename()));
    EXPECT_FALSE(kxps_finish(&job, path("a.png").c_str()));
    EXPECT_FALSE(kxps_finish(&job, path("no/dir/a.ps").c_str()));
    kxps_close(&job);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_FALSE(kxps_finish(&job, path("b.ps").c_str()));
    EXPECT_FALSE(kxps_putimage(&job, nullptr, 0, 0, 0, 0));
    EXPECT_FALSE(fs::exists(path("b.ps")));
}

using PageConvert = Page;

// The cross-reference table points at every object, in the fixed order.
void check_xref(const std::string &pdf, int objects)
{
    const std::size_t sx = pdf.rfind("startxref\n");
    ASSERT_NE(sx, std::string::npos);
    const std::size_t xref = std::stoul(pdf.substr(sx + 10));
    const std::string head =
        "xref\n0 " + std::to_string(objects + 1) + "\n0000000000 65535 f \n";
    ASSERT_EQ(pdf.compare(xref, head.size(), head), 0);
    std::size_t e = xref + head.size();
    for (int i = 1; i <= objects; i++, e += 20) {
        const std::size_t off = std::stoul(pdf.substr(e, 10));
        EXPECT_EQ(pdf.substr(e + 10, 10), " 00000 n \n");
        EXPECT_EQ(pdf.compare(off, std::to_string(i).size() + 6, std::to_string(i) + " 0 obj"), 0)
            << "object " << i;
    }
    const std::string trailer =
        "trailer\n<<\n/Size " + std::to_string(objects + 1) + "\n/Root 1 0 R\n>>\nstartxref\n";
    EXPECT_EQ(pdf.compare(e, trailer.size(), trailer), 0);
    EXPECT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");
}

TEST_F(PageConvert, FixedObjectNumbersOverTwoPages)
{
    const std::string ps = "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 612 792\n" +
                           block(2, 1, "FF0000FF0000") + block(2, 1, "00FF0000FF00") +
                           "showpage\n" + block(2, 1, "0000FF0000FF") + "showpage\n%%EOF\n";
    const std::string pdf = convert(ps);
    EXPECT_EQ(pdf.rfind("%PDF-1.0\n1 0 obj\n<<\n/Type /Catalog\n/Pages 3 0 R\n", 0), 0u);
    EXPECT_TRUE(contains(pdf, "3 0 obj\n<<\n/Type /Pages\n/Count 2\n/Kids [17 0 R 20 0 R ] >>"));
    EXPECT_TRUE(contains(pdf, "16 0 obj\n<<\n/Type /Font\n/Subtype /Type1\n/Name /F13\n"
                              "/BaseFont /Symbol\n/Encoding /WinAnsiEncoding\n>>\nendobj\n"));
    // Images follow all pages: 23, 24 on page 1, 25 on page 2.
    EXPECT_TRUE(contains(pdf, "/XObject <<\n/XO1 23 0 R\n/XO2 24 0 R\n>>\n>>\n"
                              "/MediaBox [0 0 612 792]\n/Contents 18 0 R\n"));
    EXPECT_TRUE(contains(pdf, "/XObject <<\n/XO1 25 0 R\n>>\n>>\n/MediaBox [0 0 612 792]\n"
                              "/Contents 21 0 R\n"));
    EXPECT_TRUE(contains(pdf, "ET\nq\n30.000000 0 0 40.000000 10.000000 20.000000 cm\n/XO1 Do\nQ\n"
                              "q\n30.000000 0 0 40.000000 10.000000 20.000000 cm\n/XO2 Do\nQ\n"
                              "endstream\n"));
    check_xref(pdf, 25);
}

// Without a showpage the end of the file ends the one page.
TEST_F(PageConvert, TextFontsColoursAndLines)
{
    const std::string ps = "%!PS-Adobe-3.0\n"
                           "/Times-Roman /ISOfont ISOvec ReEncode /ISOfont findfont\n14 scalefont\n"
                           "100 700 moveto\n(Gr\374\337e \\(x\\)) show\n110.5 680 moveto\n"
                           "0 0.5 1 setrgbcolor\n%%drawline(1 2 3 4 0.5)\n"
                           "/Fancy /ISOfont ISOvec ReEncode /ISOfont findfont\nsetfont\n";
    std::string pdf;
    EXPECT_EQ(kxtest_stdout([&] { pdf = convert(ps); }), "kxpdf: unsupported font (Fancy)\n");
    EXPECT_TRUE(contains(pdf, "/Count 1\n/Kids [17 0 R ]"));
    EXPECT_TRUE(contains(pdf, "/MediaBox [0 0 595 842]\n"));
    EXPECT_TRUE(contains(pdf, "stream\nBT\n/F5 10.000000 Tf\n/F9 14.000000 Tf\n"
                              "100.000000 700.000000 Td\n(Gr\374\337e \\(x\\)) Tj\n"
                              "10.500000 -20.000000 Td\n0.000000 0.500000 1.000000 rg\n"
                              "/F1 14.000000 Tf\nET\n0.000000 0.500000 1.000000 RG\n"
                              "q\n0.500000 w\n1.000000 2.000000 m\n3.000000 4.000000 l\nS\nQ\n"
                              "endstream\nendobj\n19 0 obj\n"));
    const std::size_t s = pdf.find("stream\nBT") + 7, e = pdf.find("endstream", s);
    EXPECT_TRUE(contains(pdf, "19 0 obj\n" + std::to_string(e - s) + "\nendobj\n"));
    check_xref(pdf, 19);
}

TEST_F(PageConvert, RunLengthAndGreyStreams)
{
    // Runs at the 128 limits, single bytes between runs, a literal of 130.
    std::string hex = std::string(128, 'A') + "B" + std::string(129, 'C') + "DE" +
                      std::string(2, 'F');
    for (int i = 0; i < 130; i++)
        hex += "0123456789"[i % 10];
    hex += std::string(6 - hex.size() % 6, '7');
    const int cols = static_cast<int>(hex.size() / 6);
    for (bool truecolor : {true, false}) {
        SCOPED_TRACE(truecolor);
        const std::string pdf = convert("%!PS\n" + block(cols, 1, hex) + "showpage\n", truecolor);
        std::string kept;
        for (std::size_t i = 0; i < hex.size(); i += truecolor ? 1 : 2)
            kept += hex[i];
        EXPECT_EQ(image_stream(pdf, 0, true), kept);
        if (truecolor) {  // repeat runs of 128 and a full literal of 128
            EXPECT_EQ(image_stream(pdf, 0, false).substr(0, 14),
                      std::string("\x81" "A\0" "B\x81" "C\x02" "CDE\xff" "F\x7f" "0", 14));
        }
        EXPECT_TRUE(contains(pdf, "/BitsPerComponent " + std::string(truecolor ? "8" : "4") +
                                      " /ColorSpace\n/DeviceRGB /Filter [/RunLengthDecode "
                                      "/ASCIIHexDecode]\n/Name /XO1\n/Length "));
    }
    // The second equal byte starts a repeat run.
    for (bool truecolor : {true, false}) {
        const std::string pdf =
            convert("%!PS\n" + block(2, 1, "AABCCCDDDDDD") + "showpage\n", truecolor);
        const std::string runs = truecolor ? std::string("\xff" "A\0" "B\xfe" "C\xfb" "D\x80", 9)
                                           : std::string("\x02" "ABC\xfe" "D\x80", 7);
        EXPECT_TRUE(contains(pdf, "stream\n" + runs + "\nendstream"));
    }
    // Grey: the high digit of each pixel, lines of 200 digits and row ends.
    const std::string row = repeat("F0", 125);
    const std::string pdf =
        convert("%!PS\n" + block(250, 2, repeat("F00F", 250), false) + "showpage\n");
    const std::string line = row.substr(0, 200) + "\n" + row.substr(200) + "\n";
    const std::string want = line + line;
    EXPECT_TRUE(contains(pdf, "/DeviceGray /Filter /ASCIIHexDecode\n/Name /XO1\n/Length " +
                                  std::to_string(want.size() + 2) + std::string(9, ' ') +
                                  "\n>>\nstream\n" + want + ">\nendstream\n"));
}

TEST_F(PageConvert, ForeignAndBrokenInput)
{
    const std::string out = path("out.pdf");
    EXPECT_FALSE(kxpdf_convertps(path("missing.ps").c_str(), out.c_str()));
    write_text(out, "old");
    std::mt19937 rng(7);
    std::string garbage;
    for (int i = 0; i < 100000; i++)
        garbage += static_cast<char>(rng());
    const std::string image = block(4, 2, std::string(48, 'A'));
    struct Row {
        std::string ps;
        bool ok;
        std::string said;
    } rows[] = {
        {"", false, "kxpdf_convertps: not a PostScript file ("},
        {garbage, false, "kxpdf_convertps: not a PostScript file ("},
        // Cut inside the image data: no PDF with a short image.
        {"%!PS\n" + image.substr(0, image.size() - 30), false,
         "kxpdf_convertps: image data cut short ("},
        {"%!PS\n" + block(4, 2, std::string(48, 'A')).substr(0, 40), true,
         "kxpdf_convertps: 1 incomplete image block(s) ignored ("},
        {"%!PS\ngsave\n1 1 translate\n1 1 scale\nx\n99999999999 1e400 8\nm\nd\n", true,
         "kxpdf_convertps: 1 incomplete image block(s) ignored ("},
        {"%!PS\n1e400 -1e400 moveto\n(" + std::string(200000, 'x') + ") show\n" + garbage, true,
         ""},
        {"%!\n" + repeat("showpage\n", KX_PDF_MAX_PAGES + 1), false,
         "kxpdf_convertps: more than 10000 pages ("},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.said);
        write_text(path("in.ps"), r.ps);
        const std::string said = kxtest_stdout(
            [&] { EXPECT_EQ(kxpdf_convertps(path("in.ps").c_str(), out.c_str()), r.ok); });
        EXPECT_EQ(said.substr(0, r.said.size()), r.said);
        EXPECT_LE(count_of(said, "\n"), 1);
        const std::string pdf = text_of(out);
        if (r.ok) {
            EXPECT_TRUE(contains(pdf, "/Count 1\n"));
            EXPECT_FALSE(contains(pdf, "inf"));
            check_xref(pdf, 19);
            write_text(out, "old");
        } else {
            EXPECT_EQ(pdf, "old");
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(PageConvert, SavePixmapPlacesTheImage)
{
    // 600 x 400 on A4 at 300 dpi: 144 x 96 points.
    Px px(KX_PXFMT_TRUECOLOR, 600, 400);
    const std::string pdf = path("p.pdf");
    EXPECT_TRUE(kxps_savepixmap(&px.p, pdf.c_str(), "x=72,y=144,a4,dpi=300,xoffset=0"));
    const std::string text = text_of(pdf);
    EXPECT_TRUE(contains(text, "/MediaBox [0 0 595 842]\n"));
    EXPECT_TRUE(contains(text, "q\n144.000000 0 0 96.000000 72.000000 602.000000 cm\n"));
    EXPECT_TRUE(contains(text, "/Width 600 /Height 400 /BitsPerComponent 4"));
    EXPECT_TRUE(kxps_savepixmap(&px.p, path("p.ps").c_str(), "a4,xoffset=1,yoffset=100"));
    EXPECT_TRUE(contains(text_of(path("p.ps")), "598 300 8\n"));
    EXPECT_FALSE(kxps_savepixmap(&px.p, path("none/p.pdf").c_str(), "a4"));
}

// External renderers and checkers.
class PageTools : public Page {
  protected:
    static bool have(const char *tool)
    {
        return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
    }
    // Runs a command; its output goes to a file of the test's directory.
    int run(const std::string &cmd, std::string *output = nullptr)
    {
        const std::string log = path("cmd.log");
        const int rc = std::system((cmd + " >" + log + " 2>&1").c_str());
        if (output)
            *output = text_of(log);
        return rc;
    }
    struct Ppm {
        int w = 0, h = 0;
        std::vector<unsigned char> px;
        int at(int x, int y) const
        {
            const std::size_t i = (static_cast<std::size_t>(y) * w + x) * 3;
            return px[i] << 16 | px[i + 1] << 8 | px[i + 2];
        }
    };
    Ppm read_ppm(const std::string &name)
    {
        Ppm p;
        const std::vector<unsigned char> b = file_bytes(name);
        // "P6", width, height, maximum, each after white space or comments.
        std::size_t at = 2;
        int v[3] = {0, 0, 0};
        for (int &n : v) {
            while (at < b.size() && (std::isspace(b[at]) || b[at] == '#'))
                if (b[at] == '#')
                    while (at < b.size() && b[at] != '\n')
                        at++;
                else
                    at++;
            for (; at < b.size() && std::isdigit(b[at]); at++)
                n = n * 10 + (b[at] - '0');
        }
        p.w = v[0];
        p.h = v[1];
        if (b.size() > 2 && b[0] == 'P' && b[1] == '6' && v[2] == 255 &&
            b.size() >= at + 1 + 3u * p.w * p.h)
            p.px.assign(b.begin() + static_cast<long>(at) + 1, b.end());
        EXPECT_FALSE(p.px.empty()) << name;
        return p;
    }
    void expect_colour(const Ppm &p, int x, int y, int want)
    {
        const int got = p.at(x, y);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(got >> shift & 0xFF, want >> shift & 0xFF, 3)
                << std::hex << "at " << std::dec << x << "," << y << ": " << std::hex << got;
    }
    // The quadrants of a 144 x 96 point image whose top-left corner is at
    // (left, top) in a picture rendered at 72 dpi.
    void expect_quadrants(const Ppm &p, int left, int top, const int (&want)[4])
    {
        ASSERT_GT(p.w, left + 144);
        ASSERT_GT(p.h, top + 96);
        for (int q = 0; q < 4; q++)
            expect_colour(p, left + 36 + 72 * (q % 2), top + 24 + 48 * (q / 2), want[q]);
        expect_colour(p, left - 3, top + 48, 0xFFFFFF);
        expect_colour(p, left + 147, top + 48, 0xFFFFFF);
        expect_colour(p, left + 72, top - 3, 0xFFFFFF);
        expect_colour(p, left + 72, top + 99, 0xFFFFFF);
    }
};

TEST_F(PageTools, GhostscriptShowsTheImageWhereThePageJobPutIt)
{
    if (!have("gs"))
        GTEST_SKIP() << "gs (Debian package ghostscript) is not installed";
    Px px(KX_PXFMT_TRUECOLOR, 600, 400);
    paint_quadrants(&px.p);
    const std::string gs = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r72 "
                           "-sPAPERSIZE=a4 -dFIXEDMEDIA -sOutputFile=";
    ASSERT_TRUE(kxps_savepixmap(&px.p, path("p.ps").c_str(), "x=72,y=144,a4"));
    std::string said;
    ASSERT_EQ(run(gs + path("p.ppm") + " " + path("p.ps"), &said), 0) << said;
    EXPECT_EQ(said, "");
    expect_quadrants(read_ppm(path("p.ppm")), 72, 144, QUAD);

    // Landscape turns the page on portrait paper: the image (x 72..216, y
    // 355..451 from the bottom of the turned page) lands at columns 144..240,
    // rows 626..770, its top edge running upwards along column 144.
    ASSERT_TRUE(kxps_savepixmap(&px.p, path("l.ps").c_str(), "x=72,y=144,a4,landscape"));
    ASSERT_EQ(run(gs + path("l.ppm") + " " + path("l.ps"), &said), 0) << said;
    const Ppm l = read_ppm(path("l.ppm"));
    ASSERT_EQ(l.w, 595);
    expect_colour(l, 168, 734, QUAD[0]);
    expect_colour(l, 168, 662, QUAD[1]);
    expect_colour(l, 216, 734, QUAD[2]);
    expect_colour(l, 216, 662, QUAD[3]);
    expect_colour(l, 141, 734, 0xFFFFFF);
    expect_colour(l, 243, 662, 0xFFFFFF);
}

TEST_F(PageTools, PdfPassesQpdfAndRendersWithPoppler)
{
    for (const char *tool : {"qpdf", "pdfinfo", "pdftoppm", "pdfimages", "pdftotext"})
        if (!have(tool))
            GTEST_SKIP() << tool << " (Debian packages qpdf, poppler-utils) is not installed";
    Px px(KX_PXFMT_TRUECOLOR, 600, 400);
    paint_quadrants(&px.p);
    constexpr int NIBBLES[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x884422};
    struct Row {
        const char *keys;
        bool grey;
        const char *list;  // pdfimages -list: width height color comp bpc
        int left, top;
    } rows[] = {
        {"a4,truecolor", false, "600   400  rgb     3   8", 72, 144},
        {"a4", false, "600   400  rgb     3   4", 72, 144},
        {"a4", true, "600   400  gray    1   4", 72, 144},
        {"a4,landscape,highcolor", false, "600   400  rgb     3   8", 72, 144},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.keys) + (r.grey ? " grey" : ""));
        kxPostScript job;
        ASSERT_TRUE(kxps_open(&job, "%s", r.keys));
        ASSERT_TRUE(r.grey ? kxps_putgreyimage(&job, &px.p, 72, 144, 0, 0)
                           : kxps_putimage(&job, &px.p, 72, 144, 0, 0));
        ASSERT_TRUE(kxps_setfont(&job, "Helvetica-Bold", 20));
        ASSERT_TRUE(kxps_moveto(&job, 72, 400));
        ASSERT_TRUE(kxps_text(&job, "Gr\xfc\xdf" "e (PDF)"));
        const std::string pdf = path("p.pdf");
        ASSERT_TRUE(kxps_finish(&job, pdf.c_str()));

        std::string said;
        EXPECT_EQ(run("qpdf --check " + pdf, &said), 0) << said;
        EXPECT_TRUE(contains(said, "No syntax or stream encoding errors")) << said;
        EXPECT_EQ(run("pdfinfo -box " + pdf, &said), 0);
        const bool land = contains(r.keys, "landscape");
        double box[4] = {-1, -1, -1, -1};
        const std::size_t mb = said.find("MediaBox:");
        ASSERT_NE(mb, std::string::npos) << said;
        EXPECT_EQ(std::sscanf(said.c_str() + mb + 9, "%lf %lf %lf %lf", &box[0], &box[1], &box[2],
                              &box[3]),
                  4);
        EXPECT_EQ(box[0], 0);
        EXPECT_EQ(box[1], 0);
        EXPECT_EQ(box[2], land ? 842 : 595);
        EXPECT_EQ(box[3], land ? 595 : 842);
        EXPECT_EQ(run("pdfimages -list " + pdf, &said), 0);
        EXPECT_TRUE(contains(said, r.list)) << said;
        EXPECT_EQ(run("pdftotext " + pdf + " -", &said), 0);
        EXPECT_TRUE(contains(said, "Grüße (PDF)")) << said;

        ASSERT_EQ(run("pdftoppm -r 72 -singlefile " + pdf + " " + path("r")), 0);
        const Ppm ppm = read_ppm(path("r.ppm"));
        EXPECT_EQ(ppm.w, land ? 842 : 595);
        int want[4];
        for (int q = 0; q < 4; q++) {
            const int c = contains(r.keys, "truecolor") || contains(r.keys, "highcolor")
                              ? QUAD[q]
                              : NIBBLES[q];
            // Grey keeps the high digit of (299 R + 587 G + 114 B) / 1000.
            const int g = ((((QUAD[q] >> 16 & 0xFF) * 299 + (QUAD[q] >> 8 & 0xFF) * 587 +
                             (QUAD[q] & 0xFF) * 114 + 500) / 1000) >> 4) * 17;
            want[q] = r.grey ? g * 0x010101 : c;
        }
        expect_quadrants(ppm, r.left, r.top, want);
    }
}

} // namespace
