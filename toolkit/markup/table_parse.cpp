// Building a table from the markup source between "table" and "/table".
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/cfgstr.h"
#include "graphics/font.h"
#include "markup/table.h"

namespace {

// Lines of the source without their line ends; empty lines are left out.
std::vector<std::string_view> source_lines(std::string_view src)
{
    std::vector<std::string_view> lines;
    while (!src.empty()) {
        std::size_t end = src.find('\n');
        std::string_view line = src.substr(0, end);
        src = end == std::string_view::npos ? std::string_view() : src.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

// The cells of a line; ",," stands for a comma inside a cell.
std::vector<std::string> split_cells(std::string_view line)
{
    std::vector<std::string> cells(1);
    for (std::size_t i = 0; i < line.size(); i++) {
        if (line[i] != ',') {
            cells.back() += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == ',') {
            cells.back() += ',';
            i++;
        } else {
            if (cells.size() >= static_cast<std::size_t>(KX_TABLE_MAX_COLUMNS))
                break;
            cells.emplace_back();
        }
    }
    return cells;
}

bool is_separator(std::string_view line) { return !line.empty() && line[0] == '-'; }

// A decimal number at s (an optional sign, then digits), held within limit.
int read_number(std::string_view s, int limit)
{
    std::size_t i = 0;
    bool negative = i < s.size() && (s[i] == '-' || s[i] == '+') && s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; i++)
        v = std::min<long long>(v * 10 + (s[i] - '0'), limit);
    return static_cast<int>(negative ? -v : v);
}

// The value after key up to the next space, comma or end; false without key.
bool find_value(std::string_view opts, std::string_view key, std::string_view *value)
{
    std::size_t at = opts.find(key);
    if (at == std::string_view::npos)
        return false;
    std::string_view v = opts.substr(at + key.size());
    *value = v.substr(0, std::min(v.find(' '), v.find(',')));
    return true;
}

bool has(std::string_view opts, std::string_view word)
{
    return opts.find(word) != std::string_view::npos;
}

int find_font(std::string_view name, int current)
{
    std::string n(name.substr(0, 63));
    int f = kxfont_findbyid(n.c_str());
    if (f < 0)
        f = kxfont_findbyname(n.c_str());
    return f < 0 ? current : f;
}

int colour_value(std::string_view v, int current)
{
    std::string s(v.substr(0, 63));
    int c = kxcfgstr_colorvalue(s.c_str(), current);
    return c < 0 ? current : c;
}

void apply_options(kxTable *t, int col, int row, std::string_view opts, int boldfont)
{
    // The entries run to the end, so other words are not looked for in them.
    std::string_view entries;
    std::size_t at = opts.find("entries=");
    if (at != std::string_view::npos) {
        entries = opts.substr(at + 8);
        opts = opts.substr(0, at);
        kxtable_setentries(t, col, row, std::string(entries).c_str());
    }
    std::string_view v;
    if (has(opts, "center"))
        kxtable_setalign(t, col, row, KX_ALIGN_CENTER);
    if (has(opts, "right"))
        kxtable_setalign(t, col, row, KX_ALIGN_RIGHT);
    if (find_value(opts, "width=", &v))
        kxtable_setwidth(t, col, read_number(v, KX_TABLE_MAX_COLWIDTH));
    if (has(opts, "edit"))
        kxtable_settype(t, col, row, KX_CELL_EDIT);
    else if (has(opts, "bool"))
        kxtable_settype(t, col, row, KX_CELL_BOOL);
    else if (has(opts, "combobox"))
        kxtable_settype(t, col, row, KX_CELL_COMBO);
    else if (has(opts, "button"))
        kxtable_settype(t, col, row, KX_CELL_BUTTON);
    if (has(opts, "grey"))
        kxtable_setgrey(t, col, row, true);
    kxtablecell *c = kxtable_cell(t, col, row);
    if (find_value(opts, "font=", &v))
        kxtable_setfont(t, col, row, find_font(v, c->font));
    if (has(opts, "bold"))
        kxtable_setfont(t, col, row, boldfont);
    if (has(opts, "rowspan"))
        kxtable_setrowspan(t, col, row);
    if (has(opts, "colspan"))
        kxtable_setcolspan(t, col, row);
    if (find_value(opts, "textcolor=", &v))
        kxtable_settextcolour(t, col, row, colour_value(v, c->textcolor));
    if (find_value(opts, "bgcolor=", &v))
        kxtable_setbgcolour(t, col, row, colour_value(v, c->bgcolor));
}

void read_cell(kxTable *t, int col, int row, std::string_view cell, int boldfont)
{
    if (!cell.empty() && cell.front() == '|') {
        kxtable_setline(t, col, row, KX_EDGE_LEFT, KX_LINE_STRONG);
        cell.remove_prefix(1);
    }
    if (!cell.empty() && cell.back() == '|') {
        kxtable_setline(t, col, row, KX_EDGE_RIGHT, KX_LINE_STRONG);
        cell.remove_suffix(1);
    }
    std::size_t hash = cell.find('#');
    std::string_view text = cell.substr(0, hash);
    if (hash != std::string_view::npos && !text.empty() && text.back() == '|') {
        kxtable_setline(t, col, row, KX_EDGE_RIGHT, KX_LINE_STRONG);
        text.remove_suffix(1);
    }
    text = text.substr(0, KX_TABLE_TEXT);
    kxtable_setcell(t, col, row, "%.*s", static_cast<int>(text.size()), text.data());
    if (hash != std::string_view::npos)
        apply_options(t, col, row, cell.substr(hash + 1), boldfont);
}

// A separator's cells beginning with "-" draw a strong line under the row
// above, or above the first row.
void read_separator(kxTable *t, int row, std::string_view line)
{
    std::vector<std::string> cells = split_cells(line);
    for (int col = 0; col < static_cast<int>(cells.size()); col++) {
        if (cells[col].empty() || cells[col][0] != '-')
            continue;
        if (row == 0)
            kxtable_setline(t, col, 0, KX_EDGE_TOP, KX_LINE_STRONG);
        else
            kxtable_setline(t, col, row - 1, KX_EDGE_BOTTOM, KX_LINE_STRONG);
    }
}

}  // namespace

kxtableoptions kxtable_options(const char *argument, int currentx)
{
    kxtableoptions o;
    o.x = currentx;
    std::string_view arg = argument ? argument : "";
    // The first item is the element name.
    std::size_t comma = arg.find(',');
    std::string_view rest = comma == std::string_view::npos ? "" : arg.substr(comma);
    std::string_view v;
    o.frame3d = has(rest, "3dframe");
    o.border = has(rest, "border");
    o.thickframe = has(rest, "thickframe");
    if (find_value(rest, "lineheight=", &v))
        o.lineheight = std::clamp(read_number(v, KX_TABLE_MAX_LINEHEIGHT), 1,
                                  KX_TABLE_MAX_LINEHEIGHT);
    if (find_value(rest, "mincolwidth=", &v))
        o.mincolwidth = std::clamp(read_number(v, KX_TABLE_MAX_COLWIDTH), 0,
                                   KX_TABLE_MAX_COLWIDTH);
    if (find_value(rest, "linecolor=", &v))
        o.linecolour = colour_value(v, o.linecolour);
    if (find_value(rest, ",x=", &v))
        o.x = read_number(v, KX_TABLE_MAX_COLWIDTH);
    return o;
}

int kxtable_build(kxTable *t, const char *source, const kxtableoptions &options, int font,
                  int boldfont, int y)
{
    std::vector<std::string_view> lines = source_lines(source ? source : "");
    int rows = 0, columns = 0;
    for (std::string_view line : lines) {
        if (is_separator(line))
            continue;
        rows++;
        columns = std::max(columns, static_cast<int>(split_cells(line).size()));
    }
    kxtable_alloc(t, columns, rows);
    kxtable_setallfonts(t, font);
    kxtable_setlineheight(t, options.lineheight);
    kxtable_setlinecolour(t, options.linecolour);
    kxtable_setframe3d(t, options.frame3d);
    kxtable_setthickframe(t, options.thickframe);
    kxtable_setborder(t, options.border);
    int row = 0;
    for (std::string_view line : lines) {
        if (row >= t->rows && !is_separator(line))
            break;  // rows cut by the cell limit
        if (is_separator(line)) {
            read_separator(t, row, line);
            continue;
        }
        std::vector<std::string> cells = split_cells(line);
        for (int col = 0; col < static_cast<int>(cells.size()) && col < t->columns; col++)
            read_cell(t, col, row, cells[col], boldfont);
        row++;
    }
    kxtable_fitcolumns(t, options.mincolwidth);
    return kxtable_layout(t, options.x, y);
}
