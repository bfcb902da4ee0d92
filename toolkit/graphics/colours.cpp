#include "graphics/colours.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "graphics/font.h"
#include "platform/platform.h"

namespace {

struct GuiColour {
    int number;
    const char *name;  // what the host is asked
    int fallback;      // when the host does not know it
};

// In the order the host is asked.  textsel and blue depend on the depth.
constexpr std::array<GuiColour, KX_GUI_COLOURS> gui_colours{{
    {KX_GUI_GREY, "grey", 0xD0D0D0},
    {KX_GUI_LIGHT, "light", 0xE0E0E0},
    {KX_GUI_DARK, "dark", 0x808080},
    {KX_GUI_WHITE, "white", 0xFFFFFF},
    {KX_GUI_BLACK, "black", 0x000000},
    {KX_GUI_TEXT, "text", 0x000000},
    {KX_GUI_TEXTGREY, "textgrey", 0x787878},
    {KX_GUI_TEXTSEL, "textsel", 0x000000},
    {KX_GUI_DARKC0, "darkc0", 0xC0C0C0},
    {KX_GUI_BLUE, "blue", 0xC0D8FF},
    {KX_GUI_VERYLIGHT, "verylight", 0xF0F0F0},
}};

std::array<int, KX_GUI_COLOURS> table{};
bool filled = false;
int default_font = KX_FONT_DEFAULT;

void fill()
{
    bool shallow = kxsys_colordepth() <= 8;
    for (const GuiColour &c : gui_colours) {
        int v = kxsys_syscolor(c.name);
        if (v == -1) {
            v = c.fallback;
            if (shallow && c.number == KX_GUI_TEXTSEL)
                v = 0xFFFFFF;
            if (shallow && c.number == KX_GUI_BLUE)
                v = 0x000080;
        }
        table[c.number] = v;
    }
    filled = true;
}

} // namespace

int kxgui_color(int number)
{
    if (number < 0 || number >= KX_GUI_COLOURS)
        return -1;
    if (!filled)
        fill();
    return table[number];
}

int guimetrics(const char *name)
{
    std::string_view n = name ? name : "";
    if (n == "menuheight" || n == "toolbarheight")
        return 20;
    if (n == "statusbarheight")
        return kxfont_height(default_font) + 8;
    if (n == "scrollbarwidth" || n == "scrollbarheight")
        return 15;
    if (n == "screenwidth" || n == "screenxs")
        return kxsys_metric("screenxs");
    if (n == "screenheight" || n == "screenys")
        return kxsys_metric("screenys");
    if (n == "maxwindowxs" || n == "maxwindowys")
        return kxsys_metric(name);
    std::printf("guimetrics: %s\n", name ? name : "(null)");
    return 0;
}

void kxgui_setdefaultfont(int font) { default_font = font; }
int kxgui_defaultfont() { return default_font; }
