// File and path helpers: whole-file load and save, size, copy, making and
// entering directories, and splitting and classifying path names.  Failures show only in the result; nothing is
// printed.  Only the standard library is used, so this works on every host.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

// Longest path the splitting helpers look at; longer paths are cut here.
constexpr std::size_t KX_PATH_MAX = 2000;
// A buffer that always holds any part kxpath_split can produce.
constexpr std::size_t KX_PATH_BUFSIZE = KX_PATH_MAX + 1;

// Kinds of file by extension, as kxpath_kind answers them.
enum : int {
    KX_KIND_UNKNOWN = 0,
    KX_KIND_PNG = 1,
    KX_KIND_BMP = 2,
    KX_KIND_XPM = 3,
    KX_KIND_PPM = 4,
    KX_KIND_PCX = 5,
    KX_KIND_HTML = 6,
    KX_KIND_WMF = 7,
    KX_KIND_PS = 8,
    KX_KIND_PDF = 9,
};

// Size of the file in bytes, -1 if it cannot be opened or measured.
long kxfile_size(const char *name);
// Size of an open stream in bytes, -1 on failure; the position is kept.
long kxfile_streamsize(std::FILE *f);

// Reads the file into buf, at most capacity-1 bytes, and puts a NUL after the
// bytes read.  False if the file cannot be opened or read, or capacity is 0;
// then buf holds "" (or is untouched when capacity is 0).
bool kxfile_load(char *buf, std::size_t capacity, const char *name);
// Writes text without its NUL.  No line-end translation.
bool kxfile_save(const char *text, const char *name);
// Writes length bytes of data; length 0 means strlen(data).
bool kxfile_write(const char *data, const char *name, std::size_t length);
// Copies source byte by byte to destination, or into it as
// "destination/<source's file name>" when destination is a directory.  A
// source whose last component is "." or ".." is refused.
bool kxfile_copy(const char *source, const char *destination);

// Writes a file through fill, which gets a stream opened for writing (and
// seeking) on a new file next to name.  The new file takes name's place only
// when fill returns true and every byte reached the disk.
bool kxfile_writestream(const char *name, const std::function<bool(std::FILE *)> &fill);

// The saving helpers above never leave a half-written file: the old file stays
// as it was unless the new bytes were written completely.  A new file left
// behind by a save that was killed ("<name>.kxtmpNNNN") is removed by the
// next save of the same file.

// Why the latest save through these helpers failed, in the program's
// language (kxreason_text: "No space left on device", in German the
// toolkit's own words); "" after one that succeeded.
const char *kxfile_failure();

// How a saved file reaches the disk, for the host to fill in at start (these
// helpers use the standard library only): file forces a stream's bytes onto
// the device before the new file takes the old one's place, dir makes that
// rename in the directory last.  Without them saves are whole but may be lost
// to a power cut.
struct kxfilesync {
    bool (*file)(std::FILE *f) = nullptr;
    bool (*dir)(const char *dir) = nullptr;
};
void kxfile_setsync(const kxfilesync &sync);

// The same for a file written over many calls: a new file next to name, open
// for reading, writing and seeking, that takes name's place at
// kxfile_replaceend.  Null when it cannot be made (a directory, a missing
// directory, an existing file that cannot be written).
struct kxfilereplace;
kxfilereplace *kxfile_replacebegin(const char *name);
std::FILE *kxfile_replacestream(const kxfilereplace *r);
// Closes the stream and frees r.  With keep, the new file replaces the old
// one if every byte reached the disk; without, it is removed.  True only when
// the new file is in place.
bool kxfile_replaceend(kxfilereplace *r, bool keep);

// Directories.  On failure problem (may be null) gets the reason, worded as
// kxreason_text words it ("Permission denied").
// Makes the directory and every missing parent; true when path is a
// directory afterwards, also when it was one before.
bool kxdir_create(const char *path, std::string *problem);
// Makes path the working directory of the process.
bool kxdir_change(const char *path, std::string *problem);

// Copies path to out with every '\\' turned into '/'; out may be path itself.
// False when the result was cut to fit capacity (out still ends in a NUL) or
// capacity is 0.  A null path counts as "".
bool kxpath_normalize(const char *path, char *out, std::size_t capacity);
// Splits a path after normalising its first KX_PATH_MAX characters: the
// extension is the text after the last '.' (the path is cut there), then the
// name is the text after the last '/' and the directory the text before it.
// Without a '.' the extension is "", without a '/' the directory is "".
// Each output may be null.  False when the path was longer than KX_PATH_MAX
// or a part was cut to fit its capacity (it is still NUL-terminated).
bool kxpath_split(const char *path, char *dir, std::size_t dircap, char *name,
                  std::size_t namecap, char *ext, std::size_t extcap);
// Kind of file from the extension, compared without case (KX_KIND_*).
int kxpath_kind(const char *path);
