// Shared by the image tests: a scratch directory, test pictures and file
// bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "graphics/image.h"
#include "kx9d.h"
#include "support.h"

namespace fs = std::filesystem;

// Each test gets a fresh directory, removed afterwards.
class ImageDir : public ::testing::Test {
  protected:
    void SetUp() override
    {
        kxtest_headless();
        kxapp_connect();  // the page output of ".ps" and ".pdf", as at a program's start
        std::random_device rd;
        dir_ = fs::temp_directory_path() /
               ("kximage_" +
                std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string &leaf) const { return (dir_ / leaf).string(); }
    fs::path dir_;
};

// Differs in every channel from pixel to pixel, with runs of equal bytes and
// bytes of 0xC0 and more (both matter to PCX).
inline int test_colour(int x, int y)
{
    if ((x / 5 + y) % 4 == 0)
        return 0xC8C0F0;
    return ((x * 37 + y * 11) & 0xFF) << 16 | ((x * 5 + y * 71) & 0xFF) << 8 |
           (((x ^ y) * 13) & 0xFF);
}

inline void paint(kxpxmap *p)
{
    for (int y = 0; y < p->height; y++)
        for (int x = 0; x < p->width; x++)
            kxpxmap_setpixel(p, x, y, test_colour(x, y));
}

inline std::vector<int> pixels_of(const kxpxmap &p)
{
    std::vector<int> v;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            v.push_back(kxpxmap_getpixel(&p, x, y));
    return v;
}

// The colours of a palette8 pixmap (transparent as the given colour).
inline std::vector<int> colours_of(const kxpxmap &p, int transparent)
{
    std::vector<int> v;
    for (int i : pixels_of(p))
        v.push_back(i == KX_TRANSPARENT_INDEX ? transparent : p.palette[i]);
    return v;
}

inline std::vector<unsigned char> file_bytes(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::string &name, const std::vector<unsigned char> &b)
{
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}
