// dBase III table files (".dbf"), in which the table element keeps its cell
// texts.  Writing makes character fields only; reading takes every field's
// width from its descriptor.  Records are addressed by their index among the
// live ones: a record whose deletion byte is "*" is skipped.  A new record
// takes the place of the first deleted one before the file grows; while the
// file stays open it keeps the index it was given, and when the file is
// opened again it counts where it stands in the file.
//
// Reading trusts no file.  Field lengths are cut to the record length the
// header gives, the record count to the records the file holds, and a read
// never passes the caller's buffer.  A header above KX_DBF_HEADER_MAX bytes
// or a file without the 32-byte main header, a dBase version byte and a
// possible month and day is refused; a file that ends inside its header loads the fields that are
// there.  Damage is reported in one line on standard output; a file that
// cannot be opened is not.  kxdbf_failure words why an open failed.
//
// A created file is written next to its name and takes the name's place at
// kxdbf_close, so a failed save leaves the previous file as it was.  A file
// opened with kxdbf_open is changed in place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/file.h"

// The header image; a longer header is not accepted.
constexpr int KX_DBF_HEADER_MAX = 10000;
// Main header, field descriptor, and the 0x0D after the descriptors.
constexpr int KX_DBF_MAIN_SIZE = 32;
constexpr int KX_DBF_DESCRIPTOR_SIZE = 32;
// As many descriptors as fit the header image.
constexpr int KX_DBF_MAX_FIELDS = (KX_DBF_HEADER_MAX - KX_DBF_MAIN_SIZE - 1) / KX_DBF_DESCRIPTOR_SIZE;
// A field name is up to 10 characters, NUL-padded to 11 bytes.
constexpr int KX_DBF_FIELDNAME_SIZE = 11;
// Longest file name kept (characters, without the NUL).
constexpr int KX_DBF_NAME_MAX = 1000;
// Record lengths and character field lengths are 16-bit.
constexpr int KX_DBF_RECORD_MAX = 65535;
// Field length the table element stores its cells in.
constexpr int KX_DBF_TABLE_FIELDLEN = 101;

// A field as read from its descriptor.  offset counts from the record's
// start (the deletion byte is at 0); length is cut to the record.
struct kxdbffield {
    char name[KX_DBF_FIELDNAME_SIZE + 1] = {};
    char type = 0;
    int offset = 0;
    int length = 0;
};

// A field of a file to be created.
struct kxdbfcolumn {
    const char *name; // up to 10 characters are kept
    int length;
};

struct kxXBase {
    std::FILE *file = nullptr;
    kxfilereplace *replacing = nullptr; // a created file, put in place at close
    bool open = false;
    bool readonly = false;              // opened for reading only: writes fail
    bool modified = false;              // a field was written or a record added
    bool failed = false;                // a write went wrong
    std::array<unsigned char, KX_DBF_HEADER_MAX> header{};
    int headerlength = 0;
    int recordlength = 0;
    std::uint32_t records = 0;          // in the file, deleted ones included
    char name[KX_DBF_NAME_MAX + 1] = {};
    int fieldcount = 0;
    std::array<kxdbffield, KX_DBF_MAX_FIELDS> fields{};
    std::vector<std::uint32_t> live;    // record numbers not marked deleted
    std::vector<std::uint32_t> deleted; // those marked, in file order
    std::size_t reused = 0;             // deleted records given out again

    kxXBase() = default;
    kxXBase(const kxXBase &) = delete;
    kxXBase &operator=(const kxXBase &) = delete;
    ~kxXBase();
};

// Creates the file (".dbf" is appended unless the name contains ".dbf" or
// ".DBF") with character fields C0, C1, ... of fieldlength + 1 bytes and
// records empty records: a space as deletion byte and NUL bytes in every
// field.  The file stays open.  False, with the previous file untouched,
// when it cannot be created or the fields do not fit a header or a record.
bool kxdbf_create(kxXBase *db, const char *name, int records, int fields, int fieldlength);
// The same with named fields of their own lengths; the name is used as given.
bool kxdbf_createfields(kxXBase *db, const char *name, int records, const kxdbfcolumn *columns,
                        int count);
// Closes any open file, then opens name for reading and writing, or for
// reading only when that is refused, and reads the header and the list of
// live records.  False when the file cannot be opened or is refused.
bool kxdbf_open(kxXBase *db, const char *name);
// Why the latest kxdbf_open (or kxdbf_loadtable) failed, in the toolkit's
// language: the system's reason ("Permission denied") or the damage ("not a
// dBase table").  "" after one that succeeded or found no file of the name.
const char *kxdbf_failure();
// Copies the field of the record-th live record into buf (at most
// capacity - 1 bytes, then a NUL) without its trailing spaces; a field never
// written reads "".  False, and "", when the record or field does not exist.
bool kxdbf_read(kxXBase *db, char *buf, std::size_t capacity, int record, int field);
// Writes text into the field of the record-th live record, padded with
// spaces and cut at the field length, first adding empty records until that
// record exists (in deleted ones first, then at the end).  False on a
// read-only file, a missing field or a failed write.
bool kxdbf_write(kxXBase *db, const char *text, int record, int field);
// When something was written: puts the record count and today's date into
// the header and writes it.  Closes; a created file then takes its name's
// place unless a write failed.  False when a write failed.
bool kxdbf_close(kxXBase *db);

// Live records and fields of the open file (0 when none is open).
int kxdbf_records(const kxXBase *db);
int kxdbf_fields(const kxXBase *db);
// The three date bytes of the header: years since 1900 (less 100 above
// 100), month, day.
void kxdbf_datebytes(int year, int month, int day, unsigned char out[3]);

// ---- the table element's files -------------------------------------------
// Both append ".dbf" unless the name contains it in lower case.  Cell (column
// c, row r) is field firstfield + c of live record firstrecord + r.

// Replaces the file with firstrecord + rows records of firstfield + columns
// fields of KX_DBF_TABLE_FIELDLEN bytes holding cell(c, r).  False, with the
// previous file untouched, when anything could not be written.
bool kxdbf_savetable(const char *name, int firstrecord, int firstfield, int columns, int rows,
                     const std::function<std::string(int column, int row)> &cell);
// Gives every cell its text, at most maxlen characters, "" where the file has
// no such record or field.  False, and no cell given, when the file cannot
// be opened.
bool kxdbf_loadtable(const char *name, int firstrecord, int firstfield, int columns, int rows,
                     std::size_t maxlen,
                     const std::function<void(int column, int row, const char *text)> &cell);
