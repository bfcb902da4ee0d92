// The probe's logic, shared by the probe program (on a real display) and a
// unit test (on the headless host): one window showing a known pattern, and
// one line for every toolkit event it receives.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "graphics/pixmap.h"
#include "platform/platform.h"

constexpr int KXPROBE_XS = 160;
constexpr int KXPROBE_YS = 120;
// What F5 puts on the clipboard (ISO 8859-1, with a line end).
constexpr const char *KXPROBE_CLIPTEXT = "Gr\xfc\xdf" "e\naus K\xf6ln";
// The window's title, with a letter beyond ASCII.
constexpr const char *KXPROBE_TITLE = "x11probe \xe4";

// What F7 puts on the clipboard: a megabyte of numbered lines (ISO 8859-1,
// LF line ends), too long for one piece of a transfer.
inline std::string kxprobe_longtext()
{
    std::string s;
    char line[40];
    for (int i = 0; s.size() < (1u << 20); i++) {
        std::snprintf(line, sizeof line, "Zeile %07d \xe4\xf6\xfc\n", i);
        s += line;
    }
    return s;
}

// FNV-1a, so that a long text fits a line of output.
inline unsigned long long kxprobe_hash(const std::string &s)
{
    unsigned long long h = 14695981039346656037ull;
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

// Every pixel differs from its neighbours, so a shifted or clipped copy
// shows.
inline int kxprobe_pattern(int x, int y)
{
    return ((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF);
}

struct kxprobe {
    kxllgui_window win;
    bool closed = false;
    std::function<void(const std::string &)> out;

    void say(const char *fmt, long a = 0, long b = 0, long c = 0)
    {
        char line[160];
        std::snprintf(line, sizeof line, fmt, a, b, c);
        out(line);
    }
};

// Keys are written as the ids a toolkit window posts: the code on a press,
// the code + 0x200 on a release.  F5 puts text on the clipboard, F6 reads
// it and writes its bytes in hex; F7 puts the long text there, F8 reads the
// clipboard and writes its size and hash.
inline kxarg kxprobe_handler(void *obj, int code, kxarg a, kxarg b, kxarg, kxarg, kxarg, kxarg,
                             kxarg, kxarg)
{
    auto *p = static_cast<kxprobe *>(obj);
    switch (code) {
    case KX_EV_KEYDOWN:
        p->say("key %ld", static_cast<long>(a));
        if (a == KX_KEY_F5) {
            kxclip_puttext(KXPROBE_CLIPTEXT);
            p->say("put");
        } else if (a == KX_KEY_F6) {
            const char *t = kxclip_gettext();
            std::string s = t ? "clip" : "clip none";
            for (const char *q = t; q && *q; q++) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02x", static_cast<unsigned char>(*q));
                s += hex;
            }
            p->out(s);
        } else if (a == KX_KEY_F7) {
            kxclip_puttext(kxprobe_longtext().c_str());
            p->say("put");
        } else if (a == KX_KEY_F8) {
            const char *t = kxclip_gettext();
            std::string text = t ? t : "";
            char line[80];
            std::snprintf(line, sizeof line, "long %zu %llx", text.size(), kxprobe_hash(text));
            p->out(line);
        }
        break;
    case KX_EV_KEYUP:
        p->say("key %ld", static_cast<long>(a) + 0x200);
        break;
    case KX_EV_CLOSE:
        p->say("close");
        p->closed = true;
        break;
    default:
        p->say("ev %ld %ld %ld", code, static_cast<long>(a), static_cast<long>(b));
    }
    return 0;
}

inline bool kxprobe_open(kxprobe *p, int x, int y, const kxwinstyle &style = {})
{
    if (!kxplatwin_create(&p->win, kxprobe_handler, p, x, y, KXPROBE_XS, KXPROBE_YS, KXPROBE_TITLE,
                          style))
        return false;
    for (int j = 0; j < KXPROBE_YS; j++)
        for (int i = 0; i < KXPROBE_XS; i++)
            kxpxmap_setpixel(&p->win.pixmap, i, j, kxprobe_pattern(i, j));
    kxplatwin_blit(&p->win, 0, 0, 0, 0, 0, 0, true);
    return true;
}
