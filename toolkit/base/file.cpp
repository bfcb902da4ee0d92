#include "base/file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "base/reason.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t COPY_CHUNK = 16384;
// Temporary names end in four digits, so this many tries cover them all.
constexpr int TMP_NAME_TRIES = 10000;
constexpr const char *TMP_SUFFIX = ".kxtmp";

struct KindRow {
    std::string_view ext;
    int kind;
};

constexpr KindRow KIND_TABLE[] = {
    {"png", KX_KIND_PNG},   {"bmp", KX_KIND_BMP}, {"xpm", KX_KIND_XPM},
    {"ppm", KX_KIND_PPM},   {"pcx", KX_KIND_PCX}, {"htm", KX_KIND_HTML},
    {"html", KX_KIND_HTML}, {"wmf", KX_KIND_WMF}, {"ps", KX_KIND_PS},
    {"pdf", KX_KIND_PDF},
};

// ASCII only, so the answer does not depend on the locale.
bool same_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// Bounded copy into a caller's buffer; a null buffer is not wanted and fits.
bool copy_out(std::string_view s, char *out, std::size_t cap)
{
    if (!out)
        return true;
    if (cap == 0)
        return false;
    std::size_t n = std::min(s.size(), cap - 1);
    if (n > 0) // an empty view may have a null data pointer
        std::memcpy(out, s.data(), n);
    out[n] = 0;
    return n == s.size();
}

struct PathParts {
    std::array<char, KX_PATH_BUFSIZE> buf;
    std::string_view dir, name, ext;
    bool cut = false;
};

// The cut at the last '.' comes first and looks at the whole path, so a dot
// in a directory name with none in the file name ends up in the extension.
void split_parts(const char *path, PathParts &p)
{
    p.cut = !kxpath_normalize(path, p.buf.data(), p.buf.size());
    std::string_view s(p.buf.data());
    std::size_t dot = s.rfind('.');
    if (dot != std::string_view::npos) {
        p.ext = s.substr(dot + 1);
        s = s.substr(0, dot);
    }
    std::size_t slash = s.rfind('/');
    if (slash != std::string_view::npos) {
        p.dir = s.substr(0, slash);
        p.name = s.substr(slash + 1);
    } else {
        p.name = s;
    }
}

std::string_view last_component(std::string_view s)
{
    std::size_t p = s.find_last_of("/\\");
    return p == std::string_view::npos ? s : s.substr(p + 1);
}

unsigned next_tmp_number()
{
    // Seeded from the clock so that two programs rarely start on the same
    // name; "wx" keeps them apart when they do.
    static std::atomic<unsigned> counter{
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    return counter.fetch_add(1) % TMP_NAME_TRIES;
}

kxfilesync sync_hooks;
std::string last_failure;

void failed(int err) { last_failure = kxreason_text(err); }

bool all_digits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

fs::path directory_of(const std::string &target)
{
    fs::path dir = fs::path(target).parent_path();
    return dir.empty() ? fs::path(".") : dir;
}

// A save that was killed leaves its new file behind, and on a full disk that
// file may be what keeps the next save from fitting.
void remove_leftovers(const std::string &target)
{
    const std::string prefix = fs::path(target).filename().string() + TMP_SUFFIX;
    std::error_code ec;
    for (fs::directory_iterator it(directory_of(target), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0 &&
            all_digits(std::string_view(name).substr(prefix.size())) &&
            fs::is_regular_file(it->symlink_status(ec)))
            fs::remove(it->path(), ec);
    }
}

// Saving goes through a new file next to the target that is renamed over it
// only once every byte is written, flushed to the device and closed.
// Writing the target in place would destroy the old contents first, and a
// full disk or an I/O error half-way would then leave neither the old file
// nor the new one.  Every failure keeps its reason for kxfile_failure.
class Replacement {
  public:
    explicit Replacement(const char *name);
    ~Replacement() { abandon(); }
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;

    std::FILE *stream() const { return f_; }
    // Finishes the file; false (and the old file untouched) on any failure.
    bool commit();

  private:
    void open_new(const fs::file_status &st);
    void abandon();

    std::string target_;
    std::string tmp_;
    std::FILE *f_ = nullptr;
    bool direct_ = false;
};

Replacement::Replacement(const char *name) : target_(name)
{
    errno = 0;
    std::error_code ec;
    // Saving through a link must update the linked file, as writing in place
    // would, not replace the link.  A dangling link is replaced.
    if (fs::is_symlink(fs::symlink_status(target_, ec))) {
        fs::path real = fs::canonical(target_, ec);
        if (!ec)
            target_ = real.string();
    }
    fs::file_status st = fs::status(target_, ec);
    if (fs::is_directory(st)) {
        failed(EISDIR);
        return;
    }
    if (fs::exists(st) && !fs::is_regular_file(st)) {
        // Devices and pipes hold no old contents, and a rename would put a
        // plain file in place of the device.
        direct_ = true;
        f_ = std::fopen(target_.c_str(), "w+b");
        if (!f_)
            failed(errno);
        return;
    }
    if (fs::exists(st)) {
        // A file that cannot be opened for writing (read-only) stays refused,
        // though the rename alone would get past it.
        std::FILE *probe = std::fopen(target_.c_str(), "r+b");
        if (!probe) {
            failed(errno);
            return;
        }
        std::fclose(probe);
    }
    remove_leftovers(target_);
    open_new(st);
}

void Replacement::open_new(const fs::file_status &st)
{
    std::error_code ec;
    for (int i = 0; i < TMP_NAME_TRIES; ++i) {
        char num[8];
        std::snprintf(num, sizeof num, "%04u", next_tmp_number());
        tmp_ = target_ + TMP_SUFFIX + num;
        f_ = std::fopen(tmp_.c_str(), "w+bx");
        if (f_)
            break;
        int err = errno;
        // Only a name already taken is worth another try; a missing or
        // unusable directory fails the same way for every name.
        if (!fs::exists(fs::symlink_status(tmp_, ec))) {
            failed(err);
            return;
        }
    }
    if (!f_)
        failed(EEXIST);
    else if (fs::exists(st))
        fs::permissions(tmp_, st.permissions(), ec); // best effort
}

bool Replacement::commit()
{
    if (!f_)
        return false;
    bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
    if (ok && !direct_ && sync_hooks.file)
        ok = sync_hooks.file(f_);
    if (!ok)
        failed(errno);
    if (std::fclose(f_) != 0 && ok) {
        failed(errno);
        ok = false;
    }
    f_ = nullptr;
    if (direct_ || !ok) {
        if (!direct_)
            std::remove(tmp_.c_str());
        if (ok)
            last_failure.clear();
        return ok;
    }
    // std::filesystem's rename replaces an existing target on every host;
    // std::rename does not on Windows.
    std::error_code ec;
    fs::rename(tmp_, target_, ec);
    if (ec) {
        last_failure = kxreason_text(ec);
        std::remove(tmp_.c_str());
        return false;
    }
    // Some file systems cannot sync a directory; the file is in place anyway.
    if (sync_hooks.dir)
        sync_hooks.dir(directory_of(target_).string().c_str());
    last_failure.clear();
    return true;
}

void Replacement::abandon()
{
    if (!f_)
        return;
    failed(errno);  // what made the writer give up, typically a full disk
    std::fclose(f_);
    f_ = nullptr;
    if (!direct_)
        std::remove(tmp_.c_str());
}

} // namespace

long kxfile_streamsize(std::FILE *f)
{
    if (!f)
        return -1;
    long pos = std::ftell(f);
    if (pos < 0 || std::fseek(f, 0, SEEK_END) != 0)
        return -1;
    long end = std::ftell(f);
    if (std::fseek(f, pos, SEEK_SET) != 0)
        return -1;
    return end;
}

long kxfile_size(const char *name)
{
    if (!name)
        return -1;
    std::FILE *f = std::fopen(name, "rb");
    if (!f)
        return -1;
    long n = kxfile_streamsize(f);
    std::fclose(f);
    return n;
}

bool kxfile_load(char *buf, std::size_t capacity, const char *name)
{
    if (!buf || capacity == 0)
        return false;
    buf[0] = 0;
    if (!name)
        return false;
    std::FILE *f = std::fopen(name, "rb");
    if (!f)
        return false;
    std::size_t n = std::fread(buf, 1, capacity - 1, f);
    bool ok = !std::ferror(f);
    std::fclose(f);
    buf[ok ? n : 0] = 0;
    return ok;
}

bool kxfile_write(const char *data, const char *name, std::size_t length)
{
    if (!data || !name)
        return false;
    if (length == 0)
        length = std::strlen(data);
    Replacement out(name);
    if (!out.stream())
        return false;
    // One write, as before; a short count means the disk said no.
    if (length > 0 && std::fwrite(data, 1, length, out.stream()) != length)
        return false;
    return out.commit();
}

bool kxfile_writestream(const char *name, const std::function<bool(std::FILE *)> &fill)
{
    if (!name || !fill)
        return false;
    Replacement out(name);
    if (!out.stream() || !fill(out.stream()))
        return false;
    return out.commit();
}

struct kxfilereplace {
    explicit kxfilereplace(const char *name) : out(name) {}
    Replacement out;
};

kxfilereplace *kxfile_replacebegin(const char *name)
{
    if (!name)
        return nullptr;
    auto *r = new kxfilereplace(name);
    if (!r->out.stream()) {
        delete r;
        return nullptr;
    }
    return r;
}

std::FILE *kxfile_replacestream(const kxfilereplace *r) { return r ? r->out.stream() : nullptr; }

bool kxfile_replaceend(kxfilereplace *r, bool keep)
{
    if (!r)
        return false;
    bool ok = keep && r->out.commit();
    delete r; // removes the new file unless it was committed
    return ok;
}

bool kxfile_save(const char *text, const char *name)
{
    if (!text)
        return false;
    return kxfile_write(text, name, std::strlen(text));
}

bool kxfile_copy(const char *source, const char *destination)
{
    if (!source || !destination)
        return false;
    std::string_view leaf = last_component(source);
    if (leaf.empty() || leaf == "." || leaf == "..")
        return false;
    std::FILE *in = std::fopen(source, "rb");
    if (!in)
        return false;

    std::string target = destination;
    std::error_code ec;
    if (fs::is_directory(fs::path(destination), ec)) {
        if (!target.empty() && target.back() != '/' && target.back() != '\\')
            target += '/';
        target += leaf;
    }

    // Copying a file onto itself works too: the source is read in full
    // before the new file takes its name.  It is closed before that, as
    // Windows refuses to rename over a file that is still open.
    Replacement out(target.c_str());
    if (!out.stream()) {
        std::fclose(in);
        return false;
    }
    std::array<char, COPY_CHUNK> chunk;
    std::size_t n;
    bool ok = true;
    do {
        n = std::fread(chunk.data(), 1, chunk.size(), in);
        if (n > 0 && std::fwrite(chunk.data(), 1, n, out.stream()) != n)
            ok = false;
    } while (ok && n == chunk.size());
    // A directory opens for reading on some hosts and fails here.
    ok = ok && !std::ferror(in);
    std::fclose(in);
    return ok && out.commit();
}

namespace {

bool dir_failed(std::string *problem, const std::string &why)
{
    if (problem)
        *problem = why;
    return false;
}

} // namespace

bool kxdir_create(const char *path, std::string *problem)
{
    if (!path || !*path)
        return dir_failed(problem, kxreason_text(ENOENT));
    const fs::path dir(path);
    std::error_code made, looked;
    fs::create_directories(dir, made);
    if (fs::is_directory(dir, looked))
        return true;
    if (fs::exists(dir, looked))
        return dir_failed(problem, kxreason_text(ENOTDIR));
    return dir_failed(problem, kxreason_text(made ? made : std::make_error_code(std::errc::io_error)));
}

bool kxdir_change(const char *path, std::string *problem)
{
    if (!path || !*path)
        return dir_failed(problem, kxreason_text(ENOENT));
    std::error_code ec;
    fs::current_path(fs::path(path), ec);
    return !ec || dir_failed(problem, kxreason_text(ec));
}

bool kxpath_normalize(const char *path, char *out, std::size_t capacity)
{
    if (!out || capacity == 0)
        return false;
    if (!path)
        path = "";
    std::size_t i = 0;
    for (; path[i] && i + 1 < capacity; ++i)
        out[i] = path[i] == '\\' ? '/' : path[i];
    // Read before the NUL goes in: out may be path.
    bool whole = path[i] == 0;
    out[i] = 0;
    return whole;
}

bool kxpath_split(const char *path, char *dir, std::size_t dircap, char *name,
                  std::size_t namecap, char *ext, std::size_t extcap)
{
    PathParts p;
    split_parts(path, p);
    bool ok = !p.cut;
    ok = copy_out(p.dir, dir, dircap) && ok;
    ok = copy_out(p.name, name, namecap) && ok;
    ok = copy_out(p.ext, ext, extcap) && ok;
    return ok;
}

int kxpath_kind(const char *path)
{
    PathParts p;
    split_parts(path, p);
    for (const KindRow &row : KIND_TABLE)
        if (same_nocase(p.ext, row.ext))
            return row.kind;
    return KX_KIND_UNKNOWN;
}

const char *kxfile_failure() { return last_failure.c_str(); }

void kxfile_setsync(const kxfilesync &sync) { sync_hooks = sync; }
