// The table file "quenlorix.dbf": loaded at start, saved at the end.
//
// A file of that name that cannot be read (damaged, of another kind, not
// readable) is said at start, on standard output and in the terminal, and a
// plain file is kept as "quenlorix.dbf.defekt" ("-2", "-3", ... appended
// when that name is taken) before the first save writes over it.  A file
// cut short loads the rows it has and is saved over.
//
// A table that cannot be saved where it belongs while nobody can answer any
// more (the program is ending from outside) is written to the per-user
// directory as "quenlorix-YYYY-MM-DD-HHMM.dbf"; standard output says where,
// and so does the next start, from the note "quenlorix.gerettet" there.
#pragma once

#include <string>
#include <vector>

#include "settings.h"

struct kxTable;

struct qxtablefile {
    std::string name;     // as given, in the working directory
    std::string path;     // its full path, for the user
    std::string problem;  // why it could not be read at start; "" when read or missing
    std::string keep;     // the name it is kept as before the first save; "" for none
};

// Loads the table from name; a file that cannot be read is said on
// standard output.
qxtablefile qxtable_load(kxTable *tab, const char *name);
// The terminal's notice of a file that could not be read; "" for none.
std::string qxtable_notice(const qxtablefile &f);
// Saves the table, first keeping an unreadable file aside.  False with the
// failure, which is also said on standard output.
bool qxtable_save(qxtablefile *f, kxTable *tab, qxsavefailure *failure);
// Writes the table to the per-user directory under a dated name and notes
// it for the next start; standard output says where, or why it could not.
// True when the table was written.
bool qxtable_rescue(const qxtablefile &f, kxTable *tab);

// The tables rescued when the program ended before, as notices for the
// terminal (each also said on standard output now).
std::vector<std::string> qxrescue_notices();
// Forgets them, once they were shown.
void qxrescue_forget();
