// Shared inside the table element: measuring and drawing one cell.
#pragma once

#include "markup/table.h"

int kxtable_textwidth(int font, const char *text);
// Shows a changed cell text: a text cell is redrawn (cut to its column), a
// widget takes the value.
void kxtable_redrawcell(kxTable *t, int column, int row);
