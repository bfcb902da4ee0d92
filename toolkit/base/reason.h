// The words for a failure the system reports by its error number (errno),
// in the program's language.  The floors below the core word their failures
// through here; the core hands in the wording of the toolkit's language
// (kxapp_connect), and until it does the system's own words are used.
#pragma once

#include <string>
#include <system_error>

using kxreasonwording = std::string (*)(int err);
// Null goes back to the system's words.
void kxreason_setwording(kxreasonwording wording);
// The words for err; 0 counts as an input/output error.
std::string kxreason_text(int err);
// An error of the standard library's file-system calls, worded by its errno
// when it has one, else as the library words it.
std::string kxreason_text(const std::error_code &ec);
