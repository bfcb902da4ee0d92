// Every input widget in its states, drawn into one window and saved as a
// picture for people to look at.
#include <gtest/gtest.h>

#include "graphics/colours.h"
#include "input_support.h"
#include "widgets/checkbox.h"
#include "widgets/combobox.h"
#include "widgets/lineinput.h"
#include "widgets/listbox.h"
#include "widgets/updown.h"

namespace {

TEST_F(InputTest, EveryInputWidgetInItsStatesIsDrawnToASheet)
{
    kxwindow_create(win, "sheet,x=0,y=0,xs=640,ys=360");
    kxLineInput plain, focused, selected, grey, password, right;
    plain.create("x=10,y=10,xs=150,default=normal");
    focused.create("x=10,y=40,xs=150,default=fokussiert");
    selected.create("x=10,y=70,xs=150,default=Auswahl");
    grey.create("x=10,y=100,xs=150,grey,default=grau");
    password.create("x=10,y=130,xs=150,password,default=geheim");
    right.create("x=10,y=160,xs=150,align=right,default=rechts");
    focused.set_text("Gr\xfc\xdf" "e");
    kxtest_event(focused, KX_EV_FOCUS_IN);
    kxtest_event(focused, KX_EV_KEYDOWN, KX_KEY_END);
    kxtest_event(selected, KX_EV_FOCUS_IN);
    kxtest_event(selected, KX_EV_FOCUS_OUT);
    selected.selected.fill(0);
    for (int i = 0; i < 3; i++)
        selected.selected[i] = 1;
    selected.draw();

    kxUpDownControl ud, dec, udgrey;
    ud.create("x=10,y=200,min=1,max=255,start=42");
    dec.create("x=10,y=230,decimal=2,start=150");
    udgrey.create("x=10,y=260,grey,start=7");
    ud.uppressed = true;
    ud.draw();

    kxListBox lb, marked;
    lb.create("x=180,y=10,xs=140,ys=100,"
              "entries=eins|zwei|drei|vier|f\xfcnf|sechs|sieben|acht|neun");
    marked.create("x=180,y=130,xs=140,ys=100,markedlines,entries=rot|gr\xfcn|blau|gelb");
    marked.select(2);

    kxComboBox cb, cbfocus, cbnobutton, cbgrey;
    cb.create("x=340,y=10,xs=120,entries=300|1200|2400|9600,start=3");
    cbfocus.create("x=340,y=40,xs=120,entries=19200|57600|115200");
    cbnobutton.create("x=340,y=70,xs=120,entries=ohne Knopf,nobutton");
    cbgrey.create("x=340,y=100,xs=120,entries=grau,grey");
    kxtest_event(cbfocus, KX_EV_FOCUS_IN);

    const char *looks[] = {"", ",2d", ",2d,lightframe", ",round", ",grey", ",boxonly,xs=40"};
    kxCheckBox boxes[12];
    for (int i = 0; i < 12; i++)
        boxes[i].create("Kasten %d,x=%d,y=%d%s%s", i, 480 + (i % 2) * 0, 10 + i * 26, looks[i / 2],
                        i % 2 ? ",checked" : "");
    kxtest_event(boxes[0], KX_EV_FOCUS_IN);

    ASSERT_TRUE(kxtest_write_ppm(kxtest_output_dir() + "/input_widgets.ppm", win->plat.pixmap));
    // The focused combo box is blue, the grey line input keeps its white face.
    EXPECT_EQ(pixel(cbfocus.geom.x + 1, cbfocus.geom.y + 1), kxgui_color(KX_GUI_BLUE));
    EXPECT_EQ(pixel(grey.geom.x + 2, grey.geom.y + 2), grey.bgcolor);
    // The selected characters of the line input are on blue.
    EXPECT_EQ(pixel(selected.geom.x + 4, selected.geom.y + selected.texty + 1),
              kxgui_color(KX_GUI_BLUE));
}

} // namespace
