// The value of one hexadecimal digit, for the readers of hex text (image
// files, the row notation).
#pragma once

// 0..15, or -1 when ch is no hex digit.
inline int kxhex_digit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}
