// Mutated and cut files for every reader, and random XPM text.  Run under
// the sanitizers, none may crash, touch memory outside a buffer or hang;
// each ends with false (after the reader's diagnostic) or a valid picture.
#include <sstream>

#include "image_support.h"

namespace {


// Every line printed must be a diagnostic of the image operations.
void expect_diagnostics(const std::string &out)
{
    std::istringstream in(out);
    std::string line;
    int shown = 0;
    while (std::getline(in, line))
        if (line.rfind("kxpxmap_", 0) != 0 && line.rfind("kxgetpicturesizes:", 0) != 0 &&
            shown++ < 5)
            ADD_FAILURE() << "unexpected output: " << line;
}

// Sizes that test the limits: none, one, the largest, one too many, and
// values that overflow 16 bits or an int.
const char *const NUMBERS[] = {
    "0", "1", "-1", "3", "16384", "16385", "65535", "4294967297", "99999999999999999999"};

void mutate(std::vector<unsigned char> &b, std::mt19937 &rng)
{
    auto pick = [&](std::size_t n) { return n ? rng() % n : 0; };
    const std::size_t head = std::min<std::size_t>(b.size(), 140);
    switch (rng() % 6) {
    case 0: // flipped bits in the header
        for (int k = 1 + pick(4); k > 0 && head; k--)
            b[pick(head)] ^= static_cast<unsigned char>(1u << pick(8));
        break;
    case 1: { // a 16-bit header field at an extreme
        static const unsigned values[] = {0, 1, 0xFF, 0x3FFF, 0x4000, 0xFFFF};
        if (head >= 2) {
            const std::size_t at = pick(head - 1);
            b[at] = static_cast<unsigned char>(values[pick(6)]);
            b[at + 1] = static_cast<unsigned char>(values[pick(6)] >> 8);
        }
        break;
    }
    case 2: // cut anywhere
        b.resize(pick(b.size() + 1));
        break;
    case 3: // garbage appended
        for (int k = pick(300); k > 0; k--)
            b.push_back(static_cast<unsigned char>(rng()));
        break;
    case 4: // bytes anywhere
        for (int k = 1 + pick(20); k > 0 && !b.empty(); k--)
            b[pick(b.size())] = static_cast<unsigned char>(rng());
        break;
    default: { // a number of a text header replaced
        std::size_t at = pick(head);
        while (at < head && (b[at] < '0' || b[at] > '9'))
            at++;
        std::size_t end = at;
        while (end < b.size() && b[end] >= '0' && b[end] <= '9')
            end++;
        const std::string n = NUMBERS[pick(std::size(NUMBERS))];
        b.erase(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(end));
        b.insert(b.begin() + static_cast<long>(at), n.begin(), n.end());
        break;
    }
    }
}

using ImageFuzz = ImageDir;

TEST_F(ImageFuzz, MutatedAndCutFilesFailCleanly)
{
    std::mt19937 rng(20240611);
    Px src(KX_PXFMT_TRUECOLOR, 13, 7);
    paint(&src.p);
    constexpr int FORMATS[] = {KX_PXFMT_TRUECOLOR, KX_PXFMT_SERVER, KX_PXFMT_PALETTE8};
    constexpr int PER_TYPE = 1500;
    int runs = 0, loaded = 0;
    std::string out = kxtest_stdout([&] {
        for (const char *ext : {"bmp", "ppm", "pcx", "xpm"}) {
            const std::string seed_name = path(std::string("seed.") + ext);
            ASSERT_TRUE(kxpxmap_savetofile(&src.p, "%s", seed_name.c_str()));
            const auto seed = file_bytes(seed_name);
            const std::string name = path(std::string("m.") + ext);
            for (int i = 0; i < PER_TYPE; i++, runs++) {
                std::vector<unsigned char> b = seed;
                for (int k = 1 + rng() % 3; k > 0; k--)
                    mutate(b, rng);
                write_bytes(name, b);
                Px t(FORMATS[rng() % 3], 11, 9);
                const kxpxmap before = t.p;
                const int x = static_cast<int>(rng() % 16) - 4,
                          y = static_cast<int>(rng() % 12) - 4;
                loaded += kxgraphic_gloadintern_file(&t.p, "%s,x=%d,y=%d", name.c_str(), x, y);
                // Whatever happened, the target is the same pixmap.
                EXPECT_EQ(t.p.width, before.width);
                EXPECT_EQ(t.p.height, before.height);
                EXPECT_EQ(t.p.format, before.format);
                EXPECT_EQ(t.p.data, before.data);
                int w = 0, h = 0;
                if (kxgetpicturesizes(name.c_str(), &w, &h)) {
                    EXPECT_GE(w, 1);
                    EXPECT_LE(w, KX_IMAGE_MAX_SIDE);
                    EXPECT_GE(h, 1);
                    EXPECT_LE(h, KX_IMAGE_MAX_SIDE);
                }
            }
        }
    });
    expect_diagnostics(out);
    // Some mutations keep a file readable, most do not.
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, runs);
}

// Texts built from XPM pieces: headers with limit values, colour lines with
// every colour form, rows near the right length, stray quotes and commas.
std::string random_xpm(std::mt19937 &rng)
{
    auto pick = [&](std::size_t n) { return rng() % n; };
    static const char *const COLOURS[] = {"None", "nOnE", "#FFF", "#12345678", "#FFFF0000FFFF",
                                          "red",  "",     "#",    "#C0FFEE"};
    const int cpp = 1 + static_cast<int>(pick(2)), w = 1 + static_cast<int>(pick(5));
    const int h = 1 + static_cast<int>(pick(4)), n = 1 + static_cast<int>(pick(4));
    auto number = [&](int good) {
        return pick(6) ? std::to_string(good) : std::string(NUMBERS[pick(std::size(NUMBERS))]);
    };
    // Mostly the keys the colour lines define, sometimes any key.
    auto key = [&](int i) {
        std::string k;
        for (int c = 0; c < cpp; c++)
            k += pick(8) ? " .+a"[(i >> c) & 3] : " .+a#"[pick(5)];
        return k;
    };
    auto off_by = [&] { return pick(4) ? 0 : static_cast<int>(pick(3)) - 1; };
    std::string t = "/* XPM */\nstatic char *x[] = {\n\"" + number(w) + " " + number(h) + " " +
                    number(n) + " " + number(cpp) + "\",\n";
    const int lines = n + off_by(), rows = h + off_by();
    for (int i = 0; i < lines; i++)
        t += "\"" + key(i) + (pick(8) ? "\tc " : " ") + COLOURS[pick(std::size(COLOURS))] + "\",\n";
    for (int j = 0; j < rows; j++) {
        std::string row;
        for (int i = 0, cols = w + off_by(); i < cols; i++)
            row += key(static_cast<int>(pick(static_cast<std::size_t>(n))));
        t += "\"" + row + "\",\n";
    }
    t += "};\n";
    if (pick(3) == 0) // stray syntax
        t.insert(pick(t.size()), 1, "\",\"#"[pick(4)]);
    if (pick(6) == 0)
        t.resize(pick(t.size() + 1));
    return t;
}

TEST_F(ImageFuzz, RandomXpmTextFailsCleanly)
{
    std::mt19937 rng(77);
    constexpr int RUNS = 5000;
    int made = 0;
    std::string out = kxtest_stdout([&] {
        for (int i = 0; i < RUNS; i++) {
            std::string t = random_xpm(rng);
            if (i % 10 == 0) // plain garbage too
                for (char &c : t)
                    c = static_cast<char>(rng());
            kxpxmap p;
            kxpxmap_init(&p);
            if (!kxpxmap_createfromtext_xpm(&p, t.data(), t.size())) {
                EXPECT_EQ(p.data, nullptr);
                continue;
            }
            made++;
            // Only the small sizes the texts are built with can succeed.
            EXPECT_EQ(p.format, KX_PXFMT_PALETTE8);
            EXPECT_TRUE(p.width >= 1 && p.width <= 5 && p.height >= 1 && p.height <= 4)
                << p.width << "x" << p.height;
            for (int v : pixels_of(p)) // every pixel readable, every index a colour line's
                EXPECT_TRUE(v == KX_TRANSPARENT_INDEX || (v >= 1 && v <= 4)) << v;
            kxpxmap_free(&p);
        }
    });
    expect_diagnostics(out);
    EXPECT_GT(made, RUNS / 50);
    EXPECT_LT(made, RUNS);
}

} // namespace
