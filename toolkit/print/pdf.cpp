// PostScript to PDF 1.0 for the page job's files.  The converter knows only
// the lines that the page job writes: text, moves, fonts, colours, lines and
// image blocks.  Object numbers are fixed: 1 catalog, 2 outlines, 3 page
// tree, 4..16 the Type1 fonts, then three objects per page (page, content,
// content length), then the images in the order they appear.
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/file.h"
#include "print/print.h"

namespace {

constexpr int FONT_COUNT = 13;
constexpr int FIRST_FONT_OBJECT = 4;
constexpr int FIRST_PAGE_OBJECT = 17;
constexpr int OBJECTS_PER_PAGE = 3;
constexpr int DEFAULT_FONT = 5;  // Helvetica
constexpr double DEFAULT_FONT_SIZE = 10.0;
constexpr int DEFAULT_MEDIA[4] = {0, 0, 595, 842};
constexpr std::size_t OFFSET_STEP = 1000;
constexpr std::size_t IO_BLOCK = 65536;
constexpr std::size_t LENGTH_ROOM = 12;  // spaces kept for an image's /Length
constexpr int RUN_MAX = 128;
constexpr int RUN_END = 128;
constexpr int GREY_DIGITS_PER_LINE = 200;
constexpr int MAX_IMAGE_SIDE = 1 << 20;
// Numbers beyond this are not ours; cut them so every %f stays short.
constexpr double NUMBER_LIMIT = 1e9;
constexpr int MEDIA_LIMIT = 10000000;

constexpr const char *BASE_FONTS[FONT_COUNT] = {
    "Courier",          "Courier-Bold",   "Courier-BoldOblique", "Courier-Oblique",
    "Helvetica",        "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Oblique",
    "Times-Roman",      "Times-Bold",     "Times-Italic",        "Times-BoldItalic",
    "Symbol",
};

struct FontName {
    const char *name;
    int number;
};
constexpr FontName FONT_NAMES[] = {
    {"Courier", 1},           {"Courier-Bold", 2},  {"Courier-BoldOblique", 3},
    {"Courier-Oblique", 4},   {"Helvetica", 5},     {"Helvetica-Bold", 6},
    {"Helvetica-BoldOblique", 7}, {"Helvetica-Oblique", 8}, {"Times", 9},
    {"Times-Roman", 9},       {"Times-Bold", 10},   {"Times-Italic", 11},
    {"Times-BoldItalic", 12}, {"Symbol", 13},
};

bool begins(const char *s, const char *prefix)
{
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

bool holds(const char *s, const char *part) { return std::strstr(s, part) != nullptr; }

bool starts_number(const char *p)
{
    if (*p == '+' || *p == '-')
        p++;
    if (*p == '.')
        p++;
    return std::isdigit(static_cast<unsigned char>(*p)) != 0;
}

double limited(double v)
{
    if (!(v == v))
        return 0.0;
    return v < -NUMBER_LIMIT ? -NUMBER_LIMIT : v > NUMBER_LIMIT ? NUMBER_LIMIT : v;
}

// The first numbers of a line that stand as words of their own (so the 1
// of "/F1" and the 242 of "8#242" do not count).
int numbers(const char *s, double *out, int max)
{
    int n = 0;
    for (const char *p = s; *p && n < max;) {
        const unsigned char before = p == s ? ' ' : static_cast<unsigned char>(p[-1]);
        const bool word_start = !std::isalnum(before) && !std::strchr("/#._", before);
        if (word_start && starts_number(p)) {
            char *end = nullptr;
            const double v = std::strtod(p, &end);
            if (end > p) {
                out[n++] = limited(v);
                p = end;
                continue;
            }
        }
        p++;
    }
    return n;
}

bool leading_number(const char *s, double *v)
{
    while (*s == ' ' || *s == '\t')
        s++;
    return starts_number(s) && numbers(s, v, 1) == 1;
}

// Buffered reading with the file position known for every byte.
class Reader {
  public:
    explicit Reader(std::FILE *f) : f_(f), block_(IO_BLOCK) {}
    int get()
    {
        if (at_ == have_) {
            base_ += static_cast<long>(have_);
            at_ = 0;
            have_ = std::fread(block_.data(), 1, block_.size(), f_);
            if (have_ == 0)
                return EOF;
        }
        return static_cast<unsigned char>(block_[at_++]);
    }
    long tell() const { return base_ + static_cast<long>(at_); }
    bool seek(long pos)
    {
        std::clearerr(f_);
        base_ = pos;
        at_ = have_ = 0;
        return std::fseek(f_, pos, SEEK_SET) == 0;
    }
    bool failed() const { return std::ferror(f_) != 0; }

  private:
    std::FILE *f_;
    std::vector<char> block_;
    std::size_t have_ = 0, at_ = 0;
    long base_ = 0;
};

// Lines of at most KX_PDF_LINE bytes; a longer line comes in pieces.  NUL
// bytes read as spaces, so the text is always one C string.
class Lines {
  public:
    explicit Lines(std::FILE *f) : in_(f), line_(KX_PDF_LINE + 1) {}
    bool next()
    {
        start_ = in_.tell();
        std::size_t n = 0;
        int c;
        while (n < KX_PDF_LINE && (c = in_.get()) != EOF) {
            line_[n++] = c == 0 ? ' ' : static_cast<char>(c);
            if (c == '\n')
                break;
        }
        line_[n] = 0;
        return n > 0;
    }
    const char *text() const { return line_.data(); }
    long start() const { return start_; }
    long tell() const { return in_.tell(); }
    bool seek(long pos) { return in_.seek(pos); }
    Reader &reader() { return in_; }

  private:
    Reader in_;
    std::vector<char> line_;
    long start_ = 0;
};

// The PDF output, counting bytes for the cross-reference table.
class Out {
  public:
    explicit Out(std::FILE *f) : f_(f) { buf_.reserve(IO_BLOCK); }
    void put(const char *p, std::size_t n)
    {
        buf_.insert(buf_.end(), p, p + n);
        count_ += static_cast<long>(n);
        if (buf_.size() >= IO_BLOCK)
            flush();
    }
    void byte(int c)
    {
        buf_.push_back(static_cast<char>(c));
        count_++;
        if (buf_.size() >= IO_BLOCK)
            flush();
    }
    [[gnu::format(printf, 2, 3)]] void print(const char *fmt, ...)
    {
        char tmp[512];
        va_list ap;
        va_start(ap, fmt);
        const int n = std::vsnprintf(tmp, sizeof tmp, fmt, ap);
        va_end(ap);
        if (n < 0 || static_cast<std::size_t>(n) >= sizeof tmp)
            ok_ = false;  // no format here prints that much
        else
            put(tmp, static_cast<std::size_t>(n));
    }
    long count() const { return count_; }
    // Writes text at an earlier position, then goes on at the end.
    void patch(long pos, const char *text)
    {
        flush();
        ok_ = ok_ && std::fseek(f_, pos, SEEK_SET) == 0 &&
              std::fputs(text, f_) >= 0 && std::fseek(f_, 0, SEEK_END) == 0;
    }
    bool finish()
    {
        flush();
        return ok_ && !std::ferror(f_);
    }

  private:
    void flush()
    {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
            ok_ = false;
        buf_.clear();
    }
    std::FILE *f_;
    std::vector<char> buf_;
    long count_ = 0;
    bool ok_ = true;
};

// The RunLength filter of PDF: literal runs of 1..128 bytes after their
// count - 1, repeat runs of 2..128 as 257 - count and the byte.
class RunLength {
  public:
    explicit RunLength(Out &out) : out_(out) {}
    void put(unsigned char b)
    {
        if (run_ > 0) {
            if (b == last_ && run_ < RUN_MAX) {
                run_++;
                return;
            }
            flush_run();
        } else if (lit_n_ > 0 && lit_[lit_n_ - 1] == b) {
            lit_n_--;
            flush_literal();
            last_ = b;
            run_ = 2;
            return;
        }
        lit_[lit_n_++] = b;
        if (lit_n_ == RUN_MAX)
            flush_literal();
    }
    void finish()
    {
        flush_run();
        flush_literal();
        out_.byte(RUN_END);
    }

  private:
    void flush_literal()
    {
        if (lit_n_ == 0)
            return;
        out_.byte(lit_n_ - 1);
        out_.put(reinterpret_cast<const char *>(lit_), static_cast<std::size_t>(lit_n_));
        lit_n_ = 0;
    }
    void flush_run()
    {
        if (run_ == 0)
            return;
        out_.byte(257 - run_);
        out_.byte(last_);
        run_ = 0;
    }
    Out &out_;
    unsigned char lit_[RUN_MAX];
    int lit_n_ = 0;
    unsigned char last_ = 0;
    int run_ = 0;
};

struct Image {
    long data = 0;  // first byte after the data line
    double x = 0, y = 0, w = 0, h = 0;
    int cols = 0, rows = 0;
    bool colour = false;
};

struct Page {
    long start = 0;           // first byte of the page's PostScript
    std::vector<int> images;  // indexes into the images
};

class Converter {
  public:
    Converter(std::FILE *seq, std::FILE *rnd, const char *name, bool truecolor)
        : seq_(seq), rnd_(rnd), name_(name), truecolor_(truecolor)
    {
    }
    // Everything that reads the input only; false for a file that is not ours.
    bool prepare();
    bool write(std::FILE *f);

  private:
    int pages() const { return static_cast<int>(pages_.size()); }
    int page_object(int k) const { return FIRST_PAGE_OBJECT + OBJECTS_PER_PAGE * k; }
    int image_object(int i) const { return FIRST_PAGE_OBJECT + OBJECTS_PER_PAGE * pages() + i; }
    bool scan();
    bool read_header(long pos, Image *im);
    void object(int n);
    void write_head();
    bool write_pages();
    void write_tail();
    void begin_page();
    void content();
    void font(int number, double size);
    void text_line(const char *line);
    void font_line(const char *line);
    bool end_page(long end);
    void draw_lines(long start, long end);
    bool write_image(int index, int number);
    bool image_data(const Image &im, Reader &in);

    Lines seq_, rnd_;
    const char *name_;
    bool truecolor_;
    Out *out_ = nullptr;
    std::vector<long> offsets_;
    std::vector<Page> pages_;
    std::vector<Image> images_;
    int media_[4] = {DEFAULT_MEDIA[0], DEFAULT_MEDIA[1], DEFAULT_MEDIA[2], DEFAULT_MEDIA[3]};

    int page_ = 0;
    bool begun_ = false;
    double prev_x_ = 0, prev_y_ = 0;
    long stream_start_ = 0;
    bool font_pending_ = false;
    int font_number_ = DEFAULT_FONT;
    double font_size_ = DEFAULT_FONT_SIZE;
};

bool Converter::prepare()
{
    if (!seq_.next() || !begins(seq_.text(), "%!")) {
        std::printf("kxpdf_convertps: not a PostScript file (%s)\n", name_);
        return false;
    }
    return scan();
}

// First pass: pages, the image blocks of each page, the bounding box.
bool Converter::scan()
{
    struct Block {
        int page;
        long pos;
    };
    std::vector<Block> blocks;
    int showpages = 0;
    pages_.assign(1, Page{});
    seq_.seek(0);
    while (seq_.next()) {
        const char *l = seq_.text();
        if (begins(l, "showpage")) {
            if (++showpages > KX_PDF_MAX_PAGES) {
                std::printf("kxpdf_convertps: more than %d pages (%s)\n", KX_PDF_MAX_PAGES, name_);
                return false;
            }
            pages_.push_back(Page{seq_.tell(), {}});
        } else if (begins(l, "gsave")) {
            blocks.push_back({pages() - 1, seq_.start()});
        } else if (begins(l, "%%BoundingBox: ")) {
            double v[4];
            if (numbers(l, v, 4) == 4)
                for (int i = 0; i < 4; i++)
                    media_[i] = static_cast<int>(
                        std::fmax(-MEDIA_LIMIT, std::fmin(MEDIA_LIMIT, v[i])));
        }
    }
    if (seq_.reader().failed())
        return false;
    // Whatever follows the last showpage belongs to no page.
    pages_.resize(showpages > 0 ? static_cast<std::size_t>(showpages) : 1);

    int broken = 0;
    for (const Block &b : blocks) {
        if (b.page >= pages())
            continue;
        Image im;
        if (!read_header(b.pos, &im)) {
            broken++;
            continue;
        }
        pages_[b.page].images.push_back(static_cast<int>(images_.size()));
        images_.push_back(im);
    }
    if (broken)
        std::printf("kxpdf_convertps: %d incomplete image block(s) ignored (%s)\n", broken, name_);
    return true;
}

// gsave, translate, scale, the string, "columns rows 8", the matrix and the
// data line.
bool Converter::read_header(long pos, Image *im)
{
    double v[2];
    if (!rnd_.seek(pos) || !rnd_.next() || !begins(rnd_.text(), "gsave"))
        return false;
    if (!rnd_.next() || !holds(rnd_.text(), " translate") || numbers(rnd_.text(), v, 2) != 2)
        return false;
    im->x = v[0];
    im->y = v[1];
    if (!rnd_.next() || !holds(rnd_.text(), " scale") || numbers(rnd_.text(), v, 2) != 2)
        return false;
    im->w = v[0];
    im->h = v[1];
    if (!rnd_.next() || !rnd_.next() || numbers(rnd_.text(), v, 2) != 2)
        return false;
    if (v[0] < 1 || v[0] > MAX_IMAGE_SIDE || v[1] < 1 || v[1] > MAX_IMAGE_SIDE ||
        v[0] * v[1] > static_cast<double>(KX_PXMAP_MAX_PIXELS))
        return false;
    im->cols = static_cast<int>(v[0]);
    im->rows = static_cast<int>(v[1]);
    if (!rnd_.next() || !rnd_.next())
        return false;
    im->colour = holds(rnd_.text(), "colorimage");
    im->data = rnd_.tell();
    return true;
}

void Converter::object(int n)
{
    const std::size_t i = static_cast<std::size_t>(n);
    if (i >= offsets_.size())
        offsets_.resize((i / OFFSET_STEP + 1) * OFFSET_STEP, -1);
    offsets_[i] = out_->count();
    out_->print("%d 0 obj\n", n);
}

void Converter::write_head()
{
    out_->print("%%PDF-1.0\n");
    object(1);
    out_->print("<<\n/Type /Catalog\n/Pages 3 0 R\n/Outlines 2 0 R\n>>\nendobj\n");
    object(2);
    out_->print("<<\n/Type /Outlines\n/Count 0\n>>\nendobj\n");
    object(3);
    out_->print("<<\n/Type /Pages\n/Count %d\n/Kids [", pages());
    for (int k = 0; k < pages(); k++)
        out_->print("%d 0 R ", page_object(k));
    out_->print("] >>\nendobj\n");
    for (int f = 0; f < FONT_COUNT; f++) {
        object(FIRST_FONT_OBJECT + f);
        out_->print("<<\n/Type /Font\n/Subtype /Type1\n/Name /F%d\n/BaseFont /%s\n"
                    "/Encoding /WinAnsiEncoding\n>>\nendobj\n",
                    f + 1, BASE_FONTS[f]);
    }
}

void Converter::begin_page()
{
    const Page &pg = pages_[static_cast<std::size_t>(page_)];
    object(page_object(page_));
    out_->print("<<\n/Type /Page\n/Parent 3 0 R\n/Resources << /ProcSet[/PDF /ImageB /ImageC "
                "/Text]\n/Font <<\n");
    for (int f = 0; f < FONT_COUNT; f++)
        out_->print("/F%d %d 0 R\n", f + 1, FIRST_FONT_OBJECT + f);
    out_->print(">>\n");
    if (!pg.images.empty()) {
        out_->print("/XObject <<\n");
        for (std::size_t i = 0; i < pg.images.size(); i++)
            out_->print("/XO%zu %d 0 R\n", i + 1, image_object(pg.images[i]));
        out_->print(">>\n");
    }
    out_->print(">>\n/MediaBox [%d %d %d %d]\n/Contents %d 0 R\n>>\nendobj\n", media_[0],
                media_[1], media_[2], media_[3], page_object(page_) + 1);
    object(page_object(page_) + 1);
    out_->print("<< /Length %d 0 R >>\nstream\n", page_object(page_) + 2);
    stream_start_ = out_->count();
    out_->print("BT\n");
    font(DEFAULT_FONT, DEFAULT_FONT_SIZE);
    prev_x_ = prev_y_ = 0;
    begun_ = true;
}

void Converter::content()
{
    if (!begun_)
        begin_page();
}

void Converter::font(int number, double size) { out_->print("/F%d %f Tf\n", number, size); }

// What stands between the first "(" and the last ")".
void Converter::text_line(const char *line)
{
    const char *open = std::strchr(line, '(');
    const char *close = std::strrchr(line, ')');
    content();
    out_->put("(", 1);
    out_->put(open + 1, static_cast<std::size_t>(close - open - 1));
    out_->print(") Tj\n");
}

// "/Name /ISOfont ..."; the size comes with the next line.
void Converter::font_line(const char *line)
{
    content();
    while (*line == ' ' || *line == '\t')
        line++;
    std::string name;
    if (*line == '/')
        line++;
    for (; *line && !std::isspace(static_cast<unsigned char>(*line)) && name.size() < 64; line++)
        name += *line;
    font_number_ = 0;
    for (const FontName &f : FONT_NAMES)
        if (name == f.name)
            font_number_ = f.number;
    if (!font_number_) {
        std::printf("kxpdf: unsupported font (%s)\n", name.c_str());
        font_number_ = 1;
    }
    font_pending_ = true;
}

// Colours and lines are stroked after the text and the images.
void Converter::draw_lines(long start, long end)
{
    if (!rnd_.seek(start))
        return;
    while (rnd_.next() && rnd_.start() < end) {
        const char *l = rnd_.text();
        double v[5];
        if (holds(l, " setrgbcolor")) {
            if (numbers(l, v, 3) == 3)
                out_->print("%f %f %f RG\n", v[0], v[1], v[2]);
        } else if (const char *d = std::strstr(l, "%%drawline(")) {
            if (numbers(d + 11, v, 5) == 5)
                out_->print("q\n%f w\n%f %f m\n%f %f l\nS\nQ\n", v[4], v[0], v[1], v[2], v[3]);
        }
    }
}

bool Converter::end_page(long end)
{
    const Page &pg = pages_[static_cast<std::size_t>(page_)];
    out_->print("ET\n");
    for (std::size_t i = 0; i < pg.images.size(); i++) {
        const Image &im = images_[static_cast<std::size_t>(pg.images[i])];
        out_->print("q\n%f 0 0 %f %f %f cm\n/XO%zu Do\nQ\n", im.w, im.h, im.x, im.y, i + 1);
    }
    draw_lines(pg.start, end);
    const long length = out_->count() - stream_start_;
    out_->print("endstream\nendobj\n");
    object(page_object(page_) + 2);
    out_->print("%ld\nendobj\n", length);
    for (std::size_t i = 0; i < pg.images.size(); i++)
        if (!write_image(pg.images[i], static_cast<int>(i + 1)))
            return false;
    begun_ = false;
    return true;
}

// Hexadecimal digits of the block, whitespace skipped: all six of a colour
// pixel for 8 bits, the high digit of each component for 4 bits (through
// RunLength), the high digit of a grey pixel as plain ASCIIHex.
bool Converter::image_data(const Image &im, Reader &in)
{
    const int per_pixel = im.colour ? 6 : 2;
    const bool all = im.colour && truecolor_;
    RunLength rl(*out_);
    int on_line = 0;
    for (int r = 0; r < im.rows; r++) {
        for (long d = 0; d < static_cast<long>(im.cols) * per_pixel;) {
            const int c = in.get();
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f')
                continue;
            if (c == EOF || !std::isxdigit(c)) {
                std::printf("kxpdf_convertps: image data cut short (%s)\n", name_);
                return false;
            }
            const bool keep = all || d % 2 == 0;
            d++;
            if (!keep)
                continue;
            if (im.colour) {
                rl.put(static_cast<unsigned char>(c));
            } else {
                out_->byte(c);
                if (++on_line == GREY_DIGITS_PER_LINE) {
                    out_->byte('\n');
                    on_line = 0;
                }
            }
        }
        if (!im.colour && on_line > 0) {
            out_->byte('\n');
            on_line = 0;
        }
    }
    if (im.colour)
        rl.finish();
    else
        out_->byte('>');
    return true;
}

bool Converter::write_image(int index, int number)
{
    const Image &im = images_[static_cast<std::size_t>(index)];
    object(image_object(index));
    out_->print("<<\n/Type /XObject /Subtype /Image\n/Width %d /Height %d /BitsPerComponent %d "
                "/ColorSpace\n",
                im.cols, im.rows, im.colour && truecolor_ ? 8 : 4);
    out_->print(im.colour ? "/DeviceRGB /Filter [/RunLengthDecode /ASCIIHexDecode]\n"
                          : "/DeviceGray /Filter /ASCIIHexDecode\n");
    out_->print("/Name /XO%d\n/Length ", number);
    const long room = out_->count();
    out_->print("%*s\n>>\nstream\n", static_cast<int>(LENGTH_ROOM), "");
    const long start = out_->count();
    Reader &in = rnd_.reader();
    if (!in.seek(im.data) || !image_data(im, in))
        return false;
    out_->print("\n");
    const long length = out_->count() - start;
    out_->print("endstream\nendobj\n");
    char text[LENGTH_ROOM + 1];
    std::snprintf(text, sizeof text, "%ld", length);
    out_->patch(room, text);
    return true;
}

// Second pass: the page contents, each page ended by its showpage.
bool Converter::write_pages()
{
    seq_.seek(0);
    page_ = 0;
    while (page_ < pages() && seq_.next()) {
        const char *l = seq_.text();
        if (font_pending_) {
            font_pending_ = false;
            double size;
            if (leading_number(l, &size)) {
                font_size_ = size;
                font(font_number_, font_size_);
                continue;
            }
            font(font_number_, font_size_);
        }
        if (begins(l, "showpage")) {
            content();
            if (!end_page(seq_.start()))
                return false;
            page_++;
            continue;
        }
        const char *open = std::strchr(l, '(');
        const char *close = std::strrchr(l, ')');
        double v[3];
        if (begins(l, "gsave")) {
            content();
        } else if (open && close && open < close && holds(l, "show")) {
            text_line(l);
        } else if (holds(l, " moveto")) {
            content();
            if (numbers(l, v, 2) == 2) {
                out_->print("%f %f Td\n", v[0] - prev_x_, v[1] - prev_y_);
                prev_x_ = v[0];
                prev_y_ = v[1];
            }
        } else if (holds(l, "/ISOfont findfont")) {
            font_line(l);
        } else if (holds(l, " setrgbcolor")) {
            content();
            if (numbers(l, v, 3) == 3)
                out_->print("%f %f %f rg\n", v[0], v[1], v[2]);
        }
    }
    if (font_pending_) {
        font_pending_ = false;
        font(font_number_, font_size_);
    }
    // Without a (last) showpage the page ends with the file.
    for (; page_ < pages(); page_++) {
        content();
        if (!end_page(LONG_MAX))
            return false;
    }
    return !seq_.reader().failed();
}

void Converter::write_tail()
{
    const int n = image_object(static_cast<int>(images_.size()));
    const long xref = out_->count();
    out_->print("xref\n0 %d\n", n);
    out_->print("0000000000 65535 f \n");
    for (int i = 1; i < n; i++)
        out_->print("%010ld 00000 n \n", offsets_[static_cast<std::size_t>(i)]);
    out_->print("trailer\n<<\n/Size %d\n/Root 1 0 R\n>>\nstartxref\n%ld\n%%%%EOF\n", n, xref);
}

bool Converter::write(std::FILE *f)
{
    Out out(f);
    out_ = &out;
    offsets_.assign(OFFSET_STEP, -1);
    write_head();
    bool ok = write_pages();
    if (ok) {
        // Every object from 1 on must have been written for the table.
        const auto n = static_cast<std::size_t>(image_object(static_cast<int>(images_.size())));
        for (std::size_t i = 1; i < n && ok; i++)
            ok = i < offsets_.size() && offsets_[i] >= 0;
        if (ok)
            write_tail();
    }
    ok = out.finish() && ok;
    out_ = nullptr;
    return ok;
}

} // namespace

bool kxpdf_convertps(const char *ps_path, const char *pdf_path, bool truecolor)
{
    if (!ps_path || !pdf_path)
        return false;
    std::FILE *seq = std::fopen(ps_path, "rb");
    if (!seq)
        return false;
    std::FILE *rnd = std::fopen(ps_path, "rb");
    bool ok = rnd != nullptr;
    if (ok) {
        Converter c(seq, rnd, ps_path, truecolor);
        ok = c.prepare() &&
             kxfile_writestream(pdf_path, [&](std::FILE *out) { return c.write(out); });
        std::fclose(rnd);
    }
    std::fclose(seq);
    return ok;
}
