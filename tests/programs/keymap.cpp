// Puts keysyms on keycodes the keyboard of the current display leaves free.
// xdotool types a letter the keyboard lacks by mapping a key for it and
// mapping it back at once; a program that reads the key after the undo sees
// no letter.  Mapped here beforehand, the letters are typed like any other.
// Arguments: keysym names ("adiaeresis").  Exit code 1 when one could not be
// placed.
#include <X11/Xlib.h>

#include <cstdio>

int main(int argc, char **argv)
{
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return 1;
    int low = 0, high = 0, per = 0;
    XDisplayKeycodes(d, &low, &high);
    KeySym *map = XGetKeyboardMapping(d, static_cast<KeyCode>(low), high - low + 1, &per);
    int placed = 0, code = high;
    for (int i = 1; i < argc; i++) {
        KeySym sym = XStringToKeysym(argv[i]);
        if (sym == NoSymbol || XKeysymToKeycode(d, sym)) {
            placed += sym != NoSymbol;
            continue;
        }
        // A free keycode has no keysym at any level; the highest are.
        auto is_free = [&](int c) {
            for (int k = 0; k < per; k++)
                if (map[(c - low) * per + k] != NoSymbol)
                    return false;
            return true;
        };
        while (code >= low && !is_free(code))
            code--;
        if (code < low)
            break;
        KeySym both[2] = {sym, sym};
        XChangeKeyboardMapping(d, code, 2, both, 1);
        map[(code - low) * per] = sym;
        placed++;
    }
    XFree(map);
    XSync(d, False);
    XCloseDisplay(d);
    return placed == argc - 1 ? 0 : 1;
}
