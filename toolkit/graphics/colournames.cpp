#include "graphics/colournames.h"

#include <algorithm>
#include <string>

#include "graphics/colournames_table.h"

namespace {

constexpr bool by_name(const kxcolourname &a, const kxcolourname &b) { return a.name < b.name; }
static_assert(std::is_sorted(KX_COLOUR_NAMES.begin(), KX_COLOUR_NAMES.end(), by_name),
              "the colour names are searched by halves");

// Longer than every X11 name, blanks included; longer text is no name.
constexpr std::size_t MAX_NAME = 64;

// The table's form of a name: lower case (ASCII only), no blanks, "gray".
std::string table_form(std::string_view name)
{
    std::string out;
    for (char c : name)
        if (c != ' ' && c != '\t')
            out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (std::size_t at = out.find("grey"); at != std::string::npos; at = out.find("grey", at))
        out[at + 2] = 'a';
    return out;
}

} // namespace

int kxcolourname_find(std::string_view name)
{
    if (name.size() > MAX_NAME)
        return -1;
    const std::string form = table_form(name);
    const kxcolourname key{form, 0};
    const auto *it = std::lower_bound(KX_COLOUR_NAMES.begin(), KX_COLOUR_NAMES.end(), key, by_name);
    return it != KX_COLOUR_NAMES.end() && it->name == form ? it->rgb : -1;
}
