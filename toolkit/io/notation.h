// The notation of a row to send: text with escapes for the bytes a keyboard
// cannot type, runs of hex bytes and checksums.  A row is read whole, once:
// either all its bytes or the first thing wrong with it, never part of it.
//
//   \r \n \t \e \0 \\   CR, LF, TAB, ESC, NUL, a backslash
//   \xNN                the byte NN (exactly two hex digits)
//   \h(01 03 00 0A)     hex bytes; blanks between pairs are optional, so
//                       \h(0103000A) is the same, but never split a pair
//   \c(NAME)            the checksum (base/checksum.h) of every byte before
//                       it in the row, in its protocol's byte order
//
// Every other byte, 0x80 to 0xFF included, stands for itself.
#pragma once

#include <string>
#include <string_view>

struct kxnotation_result {
    bool ok = false;
    std::string bytes;  // the row's bytes when ok, else empty
    std::string error;  // what is wrong and at which column, else empty
    int column = 0;     // from 1, one per byte of the row; 0 when ok
};

// The row's bytes, or its first fault in the toolkit's language, such as
// "unbekannte Folge \q in Spalte 5".
kxnotation_result kxnotation_parse(std::string_view row);
