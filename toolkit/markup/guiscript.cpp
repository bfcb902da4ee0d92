#include "markup/guiscript.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "base/cfgtext.h"
#include "core/button.h"
#include "core/cfgstr.h"
#include "core/target.h"
#include "core/view.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "graphics/fonts/fontdata.h"
#include "graphics/image.h"
#include "graphics/pixmap.h"
#include "markup/guilayout.h"
#include "markup/guiwidgets.h"
#include "markup/table.h"

namespace kxguil {

const char *const WORD_ENDS = "\n\r !,-.:;?";
constexpr int ACHAR_COLOURS[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                   0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF,
                                   0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

int clamp(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, -KX_GUI_COORD_LIMIT, KX_GUI_COORD_LIMIT));
}

// A decimal number with optional sign, saturating; *end after its digits.
long long readnum(const char *p, const char **end)
{
    while (*p == ' ')
        p++;
    bool neg = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; p++)
        v = std::min<long long>(v * 10 + (*p - '0'), KX_GUI_COORD_LIMIT);
    if (end)
        *end = p;
    return neg ? -v : v;
}

// N or N% of whole.
int readpos(const char *arg, int whole)
{
    const char *end;
    long long v = readnum(arg, &end);
    if (*end == '%')
        v = v * whole / 100;
    return clamp(v);
}

// The font's handle; fallback (after a diagnostic when it is -1) when there
// is no such font.
int loadfont(const char *name, int fallback = -1)
{
    int slot = kxfont_findbyname(name);
    if (slot < 0)
        slot = kxfont_findbyid(name);
    if (slot >= 0)
        return kxfont_get(slot)->handle;
    if (const char *const *lines = kxfontdata_page(name))
        return kxfont_loadfromtext(lines, name);
    if (fallback >= 0)
        return fallback;
    std::printf("kxgui: font %.60s not found\n", name);
    return 0;
}

int pagew() { return static_cast<int>(kxdraw_width()); }
int pageh() { return static_cast<int>(kxdraw_height()); }
int limitx(const kxGUIScript *s) { return pagew() - s->rightborder; }

void newline(kxGUIScript *s)
{
    s->x = s->leftborder;
    s->y = clamp(static_cast<long long>(s->y) + kxdraw_fontheight() + s->lineoffset);
}

void touch(kxGUIScript *s)
{
    if (s->firsty == -1)
        s->firsty = s->y;
}

// Copies the first item of an argument (",," a literal comma; it ends at a
// comma or a line feed) and returns what follows its comma.
const char *firstitem(const char *arg, char *out, std::size_t cap)
{
    std::size_t n = 0;
    const char *p = arg;
    for (; *p && *p != '\n'; p++) {
        if (*p == ',') {
            if (p[1] != ',')
                break;
            p++;
        }
        if (n + 1 < cap)
            out[n++] = *p;
    }
    out[n] = 0;
    return *p ? p + 1 : p;
}

void layout_word(kxGUIScript *s, std::string word)
{
    if (s->centring) {
        s->centre += word;
        return;
    }
    if (s->tablemode) {
        s->tablesource += word;
        return;
    }
    touch(s);
    kxdraw_setfont(s->font);
    bool space = false, lf = false;
    if (!word.empty() && word.back() == ' ')
        space = true, word.pop_back();
    else if (!word.empty() && word.back() == '\n')
        lf = true, word.pop_back();
    else if (!word.empty() && word.back() == '\r')
        word.pop_back();
    int w = static_cast<int>(kxdraw_textwidth(word.c_str()));
    if (s->x + w > limitx(s))
        newline(s);
    if (!word.empty())
        kxdraw_text(s->x, s->y, s->textcolor, word.c_str());
    s->x = clamp(static_cast<long long>(s->x) + w);
    if (space)
        s->x = clamp(static_cast<long long>(s->x) + kxdraw_textwidth(" "));
    if (lf)
        newline(s);
    if (s->x >= limitx(s))
        s->x = limitx(s) - 1;
}

kxguielement *newelement(kxGUIScript *s, const char *name, const char *type, void *widget)
{
    for (kxguielement &e : s->elements)
        if (!e.used) {
            e.used = 1;
            e.widget = widget;
            std::snprintf(e.name, sizeof e.name, "%s", name);
            std::snprintf(e.type, sizeof e.type, "%s", type);
            return &e;
        }
    std::printf("kxgui: too many elements\n");
    return nullptr;
}

bool hasownx(const char *attr)
{
    return std::strncmp(attr, "x=", 2) == 0 || std::strstr(attr, ",x=");
}

} // namespace kxguil

using namespace kxguil;

namespace {

void grow(kxGUIScript *s)
{
    int used = 0;
    for (const kxguielement &e : s->elements)
        used += e.used != 0;
    int size = static_cast<int>(s->elements.size());
    if (size - used < KX_GUI_MIN_FREE && size < KX_GUI_MAX_ELEMENTS)
        s->elements.resize(size + KX_GUI_ELEMENTS);
}

kxguielement *findmark(kxGUIScript *s, const char *name, const char *type)
{
    for (kxguielement &e : s->elements)
        if (e.used && std::strcmp(e.name, name) == 0 && std::strcmp(e.type, type) == 0)
            return &e;
    return nullptr;
}

void embed(kxGUIScript *s, const kxguitype *t, const char *arg)
{
    char name[KX_GUI_NAME];
    const char *attr = firstitem(arg, name, sizeof name);
    if (!t->make) {
        std::printf("kxgui: no %s widget in this toolkit, %s skipped\n", t->name, name);
        return;
    }
    touch(s);
    int y = s->y + t->ydelta;
    if (t->yoffs)
        if (const char *p = std::strstr(attr, ",yoffs="))
            y = clamp(y + readnum(p + 7));
    if (t->setsfont)
        kxgui_setdefaultfont(s->font);
    char text[KX_CFG_TEXT];
    const char *tail = t->nostandardview ? ",nostandardview" : "";
    if (hasownx(attr))
        std::snprintf(text, sizeof text, "%s,y=%d%s", attr, y, tail);
    else
        std::snprintf(text, sizeof text, "%s,x=%d,y=%d%s", attr, s->x, y, tail);
    void *w = t->make(text);
    if (!newelement(s, name, t->name, w)) {
        t->drop(w);
        return;
    }
    const kxwidget *h = kxgui_header(t->name, w);
    if (!h)
        return;
    if (t->after == kxguiafter::right) {
        s->x = h->geom.x + h->geom.xs;
        return;
    }
    s->x = s->leftborder;
    s->y = clamp(static_cast<long long>(h->geom.y) + h->geom.ys +
                 (t->after == kxguiafter::below_terminal ? 5 : 0));
}

void link(kxGUIScript *s, const char *arg)
{
    char name[KX_GUI_NAME], text[KX_BUTTON_CAPTION];
    const char *rest = firstitem(firstitem(arg, name, sizeof name), text, sizeof text);
    touch(s);
    kxdraw_setfont(s->font);
    int w = static_cast<int>(kxdraw_textwidth(text));
    if (s->x + w > limitx(s)) {
        s->x = s->leftborder;
        s->y = clamp(static_cast<long long>(s->y) + kxdraw_fontheight());
    }
    char attr[KX_CFG_TEXT];
    std::snprintf(attr, sizeof attr,
                  "%s,x=%d,y=%d,hlink,fontid=%d,textcolor=%06x,transparentcolor=%06x,"
                  "highlightcolor=%06x,activecolor=%06x,%s",
                  text, s->x, s->y, s->font, s->linktext, s->linkbg, s->linkhighlight,
                  s->linkactive, rest);
    auto *b = new kxButton;
    b->create("%s", attr);
    if (!newelement(s, name, "link", b)) {
        b->destroy();
        delete b;
        return;
    }
    s->x = std::min(s->x + w, limitx(s) - 1);
}

void endcentre(kxGUIScript *s)
{
    std::string text = s->centre;
    s->centring = false;
    s->centre.clear();
    bool lf = text.find('\n') != std::string::npos;
    std::erase_if(text, [](char c) { return c == '\n' || c == '\r'; });
    touch(s);
    kxdraw_setfont(s->font);
    int w = static_cast<int>(kxdraw_textwidth(text.c_str()));
    int x = s->leftborder + (pagew() - s->rightborder - s->leftborder - w) / 2;
    kxdraw_text(x, s->y, s->textcolor, text.c_str());
    if (lf)
        s->y = clamp(static_cast<long long>(s->y) + kxdraw_fontheight() + s->lineoffset);
}

void fillrect(kxGUIScript *s, const char *arg)
{
    const char *p;
    long long w = readnum(arg, &p);
    long long h = *p == ',' ? readnum(p + 1, &p) : 0;
    int colour = *p == ',' ? static_cast<int>(std::strtoul(p + 1, nullptr, 16) & 0xFFFFFF) : 0;
    if (w == 0)
        w = limitx(s) - s->x;
    if (h == 0)
        h = pageh() - s->bottomborder - s->y;
    kxdraw_fillrect(s->x, s->y, clamp(w), clamp(h), colour);
}

void achar(kxGUIScript *s, const char *arg)
{
    int font = s->normalfont;
    if (*arg == 'B')
        font = s->boldfont, arg++;
    const char *digits = "0123456789ABCDEF";
    const char *d = *arg ? std::strchr(digits, *arg) : nullptr;
    if (!d || !arg[1])
        return;
    s->textcolor = ACHAR_COLOURS[d - digits];
    char ch[2] = {arg[1], 0};
    kxdraw_setfont(font);
    kxdraw_char(s->x, s->y, s->textcolor, static_cast<unsigned char>(arg[1]));
    s->x = clamp(static_cast<long long>(s->x) + kxdraw_textwidth(ch));
    kxdraw_setfont(s->font);
}

void setfont(kxGUIScript *s, const char *name)
{
    s->normalfont = loadfont(name);
    if (std::strstr(name, "var13")) {
        s->boldfont = s->normalfont;
    } else {
        char bold[KX_GUI_NAME + 2];
        std::snprintf(bold, sizeof bold, "%.39sb", name);
        // A font without a bold cut ("5x7") stays itself in bold.
        s->boldfont = loadfont(bold, s->normalfont);
    }
    s->font = s->normalfont;
}

void mark(kxGUIScript *s, const char *name, const char *type, int value)
{
    if (kxguielement *e = newelement(s, name, type, nullptr))
        e->coord = value;
}

void restore(kxGUIScript *s, const char *name, const char *type, int *value)
{
    if (const kxguielement *e = findmark(s, name, type))
        if (e->coord != 0)
            *value = e->coord;
}

void starttable(kxGUIScript *s, const char *arg)
{
    s->tablemode = true;
    s->tablesource.clear();
    s->tableargument = arg;
}

void endtable(kxGUIScript *s)
{
    if (!s->tablemode)
        return;
    s->tablemode = false;
    char name[KX_GUI_NAME];
    firstitem(s->tableargument.c_str(), name, sizeof name);
    auto *t = new kxTable;
    kxtable_init(t);
    kxguielement *e = newelement(s, name, "table", t);
    if (!e) {
        delete t;
        return;
    }
    touch(s);
    kxtableoptions o = kxtable_options(s->tableargument.c_str(), s->x);
    s->y = clamp(kxtable_build(t, s->tablesource.c_str(), o, s->font, s->boldfont, s->y));
    s->x = s->leftborder;
    s->tablesource.clear();
}

void hline(kxGUIScript *s)
{
    s->x = s->leftborder;
    kxdraw_line(s->leftborder, s->y + 5, limitx(s), s->y + 5, 0xD0D0D0);
    kxdraw_line(s->leftborder, s->y + 6, limitx(s), s->y + 6, 0xF0F0F0);
    s->y = clamp(static_cast<long long>(s->y) + 12);
}

void standardview(kxGUIScript *s, const char *name)
{
    for (const kxguielement &e : s->elements)
        if (e.used && std::strcmp(e.type, "view") == 0 && std::strcmp(e.name, name) == 0) {
            kxdraw_settarget(kxview_handler, e.widget);
            return;
        }
}

using S = kxGUIScript;
struct TagRow {
    const char *name;
    void (*run)(S *s, const char *arg);
};
// The whole tag vocabulary; names are matched without case.
const TagRow tags[] = {
    {"none", [](S *, const char *) {}},
    {"center", [](S *s, const char *) { s->centring = true, s->centre.clear(); }},
    {"/center", [](S *s, const char *) { endcentre(s); }},
    {"b", [](S *s, const char *) { s->font = s->boldfont; }},
    {"/b", [](S *s, const char *) { s->font = s->normalfont; }},
    {"font", setfont},
    {"textcolor", [](S *s, const char *a) { s->textcolor = kxcfgstr_colorvalue(a, s->textcolor); }},
    {"backgroundcolor",
     [](S *s, const char *a) {
         s->bgcolor = kxcfgstr_colorvalue(a, s->bgcolor);
         int top = std::max(s->firsty, 0);
         kxdraw_fillrect(0, top, pagew(), pageh() - top, s->bgcolor);
     }},
    {"x", [](S *s, const char *a) { s->x = readpos(a, pagew()); }},
    {"y", [](S *s, const char *a) { s->y = readpos(a, pageh()); }},
    {"xinc", [](S *s, const char *a) { s->x = clamp(s->x + readnum(a)); }},
    {"xoffset", [](S *s, const char *a) { s->x = clamp(s->x + readnum(a)); }},
    {"yinc", [](S *s, const char *a) { s->y = clamp(s->y + readnum(a)); }},
    {"ydec", [](S *s, const char *a) { s->y = clamp(s->y - readnum(a)); }},
    {"offset", [](S *s, const char *a) { s->x = s->leftborder, s->y = clamp(s->y + readnum(a)); }},
    {"leftborder", [](S *s, const char *a) { s->leftborder = s->x = readpos(a, pagew()); }},
    {"rightborder", [](S *s, const char *a) { s->rightborder = clamp(readnum(a)); }},
    {"rightborderpos", [](S *s, const char *a) { s->rightborder = clamp(pagew() - readnum(a)); }},
    {"lineoffset", [](S *s, const char *a) { s->lineoffset = clamp(readnum(a)); }},
    {"br", [](S *s, const char *) { layout_word(s, "\n"); }},
    {"hline", [](S *s, const char *) { hline(s); }},
    {"fillrect", fillrect},
    {"char",
     [](S *s, const char *a) {
         if (!*a)
             return;
         char ch[2] = {*a, 0};
         kxdraw_setfont(s->font);
         kxdraw_char(s->x, s->y, s->textcolor, static_cast<unsigned char>(*a));
         s->x = clamp(s->x + kxdraw_textwidth(ch));
     }},
    {"achar", achar},
    {"save", [](S *s, const char *a) { mark(s, a, "ypoint", s->y); }},
    {"restore", [](S *s, const char *a) { restore(s, a, "ypoint", &s->y); }},
    {"xsave", [](S *s, const char *a) { mark(s, a, "xpoint", s->x); }},
    {"xrestore", [](S *s, const char *a) { restore(s, a, "xpoint", &s->x); }},
    {"image", image},
    {"image_xpm", xpmimage},
    {"memimage", memimage},
    {"bullet", bullet},
    {"link", link},
    {"linkcolor", [](S *s, const char *a) { s->linktext = kxcfgstr_colorvalue(a, s->linktext); }},
    {"linkbackground", [](S *s, const char *a) { s->linkbg = kxcfgstr_colorvalue(a, s->linkbg); }},
    {"linkhighlight",
     [](S *s, const char *a) { s->linkhighlight = kxcfgstr_colorvalue(a, s->linkhighlight); }},
    {"linkactive",
     [](S *s, const char *a) { s->linkactive = kxcfgstr_colorvalue(a, s->linkactive); }},
    {"table", starttable},
    {"/table", [](S *s, const char *) { endtable(s); }},
    {"standardview", standardview},
};

void runtag(S *s, const std::string &text)
{
    std::size_t n = text.find_first_of(" =");
    std::string name = text.substr(0, n);
    std::size_t eq = text.find('=');
    const char *arg = eq == std::string::npos ? "" : text.c_str() + eq + 1;
    grow(s);
    for (const TagRow &r : tags)
        if (strcasecmp(r.name, name.c_str()) == 0) {
            r.run(s, arg);
            return;
        }
    if (const kxguitype *t = kxgui_widgettype(name.c_str()))
        embed(s, t, arg);
}

// Takes tags and words from the formatted page.
void layout(S *s, const char *p)
{
    std::string tok;
    while (*p) {
        tok.clear();
        if (*p == '<') {
            for (p++; *p; p++) {
                if (*p == '>') {
                    if (p[1] != '>') {
                        p++;
                        break;
                    }
                    p++;  // ">>" stands for one '>'
                }
                tok += *p;
            }
            runtag(s, tok);
            continue;
        }
        for (; *p && *p != '<'; p++) {
            tok += *p;
            if (std::strchr(WORD_ENDS, *p)) {
                p++;
                break;
            }
        }
        layout_word(s, tok);
    }
}

void drop_elements(S *s)
{
    for (kxguielement &e : s->elements)
        if (e.used)
            kxgui_dropwidget(e.type, e.widget);
    std::fill(s->elements.begin(), s->elements.end(), kxguielement{});
}

} // namespace

void kxgui_init(kxGUIScript *s)
{
    // Widgets of an earlier page are not left behind.
    drop_elements(s);
    *s = kxGUIScript{};
    s->x = s->leftborder;
    s->elements.assign(KX_GUI_ELEMENTS, kxguielement{});
    s->normalfont = loadfont("Arial16");
    s->boldfont = loadfont("Arial16b");
    s->font = s->normalfont;
}

namespace {

int setformatted(S *s, const char *text)
{
    kxgui_init(s);
    s->firsty = -1;
    if (!text || !*text)
        return 0;
    const int oldfont = kxgui_defaultfont();
    layout(s, text);
    if (s->tablemode)
        endtable(s);  // an unterminated table is laid out all the same
    s->endy = s->y;
    s->content = true;
    kxgui_setdefaultfont(oldfont);
    return s->endy;
}

// Escapes and formats markup into a buffer of ten times its length.
std::string format(const char *fmt, va_list ap)
{
    if (!fmt)
        return {};
    std::size_t len = std::strlen(fmt);
    std::string esc(2 * len + 1, '\0');
    kxcfgstr_escapepercent(fmt, esc.data(), esc.size());
    std::size_t cap = std::max<std::size_t>(KX_GUI_FORMAT_FACTOR * len, KX_GUI_FORMAT_MIN) + 1;
    std::string out(cap, '\0');
    int n = kxcfgstr_vformat(out.data(), cap, esc.c_str(), ap);
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

// While a page changes, screen copies wait (the building flag), so that a
// live window shows the new page once, complete.  A change made inside
// another leaves the flag to the outer one.
bool begin_change()
{
    const bool outer = !kxbuild_active();
    kxbuild_begin();
    return outer;
}

// The outer change lowers the flag and copies the page's view out whole,
// after the embedded view that "standardview" may have made the drawing
// target has been copied into it.
void end_change(bool outer, kxdrawtarget page)
{
    if (!outer)
        return;
    const kxdrawtarget last = kxdraw_current();
    if (last.object != page.object)
        kxsend(last.handler, last.object, KX_DRAW_REFRESH);
    kxbuild_end();
    kxsend(page.handler, page.object, KX_DRAW_REFRESH);
}

void clear_page(S *s)
{
    drop_elements(s);
    if (!s->final && s->firsty >= 0)
        kxdraw_fillrect(0, s->firsty, pagew(), s->endy - s->firsty + 21, s->bgcolor);
    s->content = false;
}

} // namespace

int kxgui_vsetcontent(kxGUIScript *s, const char *fmt, va_list ap)
{
    const bool outer = begin_change();
    if (s->content)
        clear_page(s);
    // Taken once the old page, and any view of it, is gone; the layout only
    // adds widgets, so this view outlives it.
    const kxdrawtarget page = kxdraw_current();
    int y = 0;
    if (!fmt || !*fmt)
        kxgui_init(s);
    else
        y = setformatted(s, format(fmt, ap).c_str());
    end_change(outer, page);
    return y;
}

int kxgui_setcontent(kxGUIScript *s, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int y = kxgui_vsetcontent(s, fmt, ap);
    va_end(ap);
    return y;
}

int kxgui_create(kxGUIScript *s, const char *fmt, ...)
{
    kxgui_init(s);
    va_list ap;
    va_start(ap, fmt);
    int y = kxgui_vsetcontent(s, fmt, ap);
    va_end(ap);
    return y;
}

void kxgui_clear(kxGUIScript *s)
{
    const bool outer = begin_change();
    clear_page(s);
    end_change(outer, kxdraw_current());
}

void kxgui_destroy(kxGUIScript *s)
{
    s->final = true;
    drop_elements(s);
    s->content = false;
    s->elements.clear();
    s->elements.shrink_to_fit();
}

kxguielement *kxgui_element(kxGUIScript *s, int index)
{
    if (index < 0 || index >= static_cast<int>(s->elements.size()))
        return nullptr;
    return &s->elements[index];
}

int kxgui_elementcount(const kxGUIScript *s) { return static_cast<int>(s->elements.size()); }
