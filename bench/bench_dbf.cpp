// The application's table (15 rows of 3 cells) saved to its file and loaded
// back: create through a temporary file, 45 field writes, rename, then the
// header, the live-record scan and 45 field reads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "markup/dbf.h"

namespace {

constexpr int COLUMNS = 3;
constexpr int ROWS = 15;

void BM_SaveLoadTable(benchmark::State &state)
{
    std::vector<std::string> cells(COLUMNS * ROWS);
    for (int i = 0; i < COLUMNS * ROWS; ++i)
        cells[i] = "AT+CMD=" + std::to_string(i * 7919);
    const std::string name =
        (std::filesystem::temp_directory_path() / "kx9d_bench_table.dbf").string();
    std::size_t total = 0;
    for (auto _ : state) {
        bool ok = kxdbf_savetable(name.c_str(), 0, 0, COLUMNS, ROWS,
                                  [&](int c, int r) { return cells[c + r * COLUMNS]; });
        ok = ok && kxdbf_loadtable(name.c_str(), 0, 0, COLUMNS, ROWS, 302,
                                   [&](int, int, const char *text) { total += text[0]; });
        if (!ok) {
            state.SkipWithError("saving or loading failed");
            break;
        }
    }
    benchmark::DoNotOptimize(total);
    std::remove(name.c_str());
}
BENCHMARK(BM_SaveLoadTable)->Unit(benchmark::kMicrosecond);

} // namespace
