// The combo box: a one-line choice field showing the selected entry of a
// fixed list, with a drop-down button.  A press opens the list in a popup
// window of its own below the field; the wheel and the Up and Down keys
// change the choice without opening it.  With "edit" the field also takes
// typed text, so that a value outside the list can be given; "digitsonly"
// lets only the digits 0 to 9 be typed there.
#pragma once

#include <memory>

#include "core/widget.h"

struct kxWindow;

constexpr int KX_COMBO_ENTRIES = 100;
constexpr int KX_COMBO_ENTRY = 60;  // 59 characters and the end

struct kxComboBox : kxwidget {
    int count = 0;
    int selected = 0;
    char entries[KX_COMBO_ENTRIES][KX_COMBO_ENTRY] = {};
    int texty = 0;
    int buttonx = 0, buttonw = 0;
    bool held = false;
    std::unique_ptr<kxWindow> popup;
    int popx = 0, popy = 0, popw = 0, poph = 0;
    int highlighted = -1;
    bool open = false;
    bool nobutton = false, right = false;
    bool editable = false;
    bool digitsonly = false;  // typing takes the digits 0 to 9 only
    bool typing = false;  // the field shows typed[] rather than the selected entry
    char typed[KX_COMBO_ENTRY] = {};

    kxComboBox();
    ~kxComboBox();
    kxComboBox(const kxComboBox &) = delete;
    kxComboBox &operator=(const kxComboBox &) = delete;

    // Attribute strings hold percent signs ("x=50%"), so no printf checking.
    void create(const char *fmt, ...);
    void destroy();
    // Copies the selected entry (or the typed text) out, cut to cap - 1; ""
    // without entries.
    void selected_text(char *out, int cap) const;
    // Selects the entry with this text; an editable box that has none shows
    // the text as typed.
    void select_text(const char *text);
    void select(int i);
    void open_popup(int highlight);
    void close_popup();
    void draw();
    void draw_list();
    static kxarg handler(void *obj, int code, kxarg a0, kxarg a1, kxarg a2, kxarg a3, kxarg a4,
                         kxarg a5, kxarg a6, kxarg a7);
};
