// Markup pages: a small tag language laid out into the drawing target.  Words
// flow with wrapping in the current font and colour; tags move the position,
// change fonts, colours and borders, draw rules and pictures, and create
// widgets and tables that are recorded by name in the element table.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

constexpr int KX_GUI_ELEMENTS = 100;      // first size, and each growth step
constexpr int KX_GUI_MIN_FREE = 10;       // grow when fewer entries are free
constexpr int KX_GUI_MAX_ELEMENTS = 100000;
constexpr int KX_GUI_NAME = 40;           // 39 characters and the end
constexpr int KX_GUI_TYPE = 21;           // 20 characters and the end
constexpr int KX_GUI_FORMAT_FACTOR = 10;  // formatted text: ten times the markup
constexpr int KX_GUI_FORMAT_MIN = 65536;  // room for pages passed as "%s"
constexpr int KX_GUI_COORD_LIMIT = 10000000;  // positions are held within +-this
constexpr int KX_GUI_IMAGES = 64;         // in-memory pictures the markup may name

struct kxguielement {
    int used = 0;
    void *widget = nullptr;
    int coord = 0;  // the stored x or y of "xpoint" and "ypoint"
    char name[KX_GUI_NAME] = {};
    char type[KX_GUI_TYPE] = {};
};

struct kxGUIScript {
    int x = 0, y = 0;
    int leftborder = 10, rightborder = 20, border = 10, bottomborder = 10;
    int font = 0, normalfont = 0, boldfont = 0;
    int textcolor = 0x000000, bgcolor = 0xFFFFFF;
    bool centring = false;
    std::string centre;
    std::vector<kxguielement> elements;
    bool content = false, final = false;
    int firsty = -1, endy = 0;
    int lineoffset = 0;
    int linktext = 0x000080, linkbg = 0xFFFFFF, linkhighlight = 0x0000FF, linkactive = 0x800080;
    bool tablemode = false;
    std::string tablesource;
    int tableindex = -1;
    std::string tableargument;
};

void kxgui_init(kxGUIScript *s);
// Markup is a printf format; "%" before a byte below '0' or '>' is literal.
// Returns the y below the page (0 for empty markup).
int kxgui_setcontent(kxGUIScript *s, const char *fmt, ...);
int kxgui_vsetcontent(kxGUIScript *s, const char *fmt, va_list ap);
int kxgui_create(kxGUIScript *s, const char *fmt, ...);
// Destroys every element and fills the used area with the background.
void kxgui_clear(kxGUIScript *s);
// Destroys every element without repainting.
void kxgui_destroy(kxGUIScript *s);

// "image_xpm" and "memimage" name a picture by its address; only addresses
// announced here are drawn, so markup can never make the engine read
// arbitrary memory.
void kxgui_allowimage(const void *image);
void kxgui_forbidimage(const void *image);

// Used by the named-access module.
kxguielement *kxgui_element(kxGUIScript *s, int index);
int kxgui_elementcount(const kxGUIScript *s);
