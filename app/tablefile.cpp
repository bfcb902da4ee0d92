// Loading and saving the table file, keeping an unreadable one aside, and
// the rescue of a table that cannot be saved where it belongs.
#include "tablefile.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "base/file.h"
#include "base/reason.h"
#include "cmdline.h"
#include "markup/dbf.h"
#include "markup/table.h"

namespace fs = std::filesystem;

namespace {

constexpr const char *KEPT_SUFFIX = ".defekt";
constexpr const char *RESCUE_NOTE = "quenlorix.gerettet";
// Names tried for a kept file or a rescued table before the last is reused.
constexpr int FREE_NAME_TRIES = 99;
constexpr std::size_t NOTE_MAX = 65536;

std::string full_path(const std::string &name)
{
    std::error_code ec;
    const fs::path p = fs::absolute(name, ec);
    return ec ? name : p.string();
}

bool exists(const std::string &name)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(name, ec));
}

// base + tail, or base + "-" + n + tail for the first n from 2 that is free.
std::string free_name(const std::string &base, const std::string &tail)
{
    std::string name = base + tail;
    for (int n = 2; n <= FREE_NAME_TRIES && exists(name); n++)
        name = base + "-" + std::to_string(n) + tail;
    return name;
}

std::string note_path() { return quenlorix_userdir() + "/" + RESCUE_NOTE; }

// "YYYY-MM-DD-HHMM" of the local time.
std::string date_now()
{
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm *t = std::localtime(&now))
        std::strftime(text, sizeof text, "%Y-%m-%d-%H%M", t);
    return text;
}

bool failed(qxsavefailure *out, const qxtablefile &f, const std::string &reason)
{
    *out = {f.path, reason.empty() ? "unbekannter Fehler" : reason};
    std::printf("quenlorix: cannot save %s: %s\n", out->file.c_str(), out->reason.c_str());
    return false;
}

} // namespace

qxtablefile qxtable_load(kxTable *tab, const char *name)
{
    qxtablefile f;
    f.name = name;
    f.path = full_path(name);
    if (kxtable_load(tab, name, 0, 0) || !*kxdbf_failure())
        return f;
    f.problem = kxdbf_failure();
    // Only a plain file moves aside: a directory or a device stays.
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(name, ec)))
        f.keep = free_name(f.name + KEPT_SUFFIX, "");
    std::printf("quenlorix: cannot read %s: %s", f.path.c_str(), f.problem.c_str());
    if (!f.keep.empty())
        std::printf(" (kept as %s before the table is saved)", f.keep.c_str());
    std::printf("\n");
    return f;
}

std::string qxtable_notice(const qxtablefile &f)
{
    if (f.problem.empty())
        return "";
    std::string text = "Die Tabellendatei " + f.path + " kann nicht gelesen werden (" + f.problem +
                       "), die Tabelle beginnt leer.";
    if (!f.keep.empty())
        text += " Die Datei wird als " + f.keep + " aufbewahrt, bevor die Tabelle gespeichert wird.";
    return text;
}

bool qxtable_save(qxtablefile *f, kxTable *tab, qxsavefailure *failure)
{
    if (!f->keep.empty()) {
        std::error_code ec;
        if (exists(f->name))
            fs::rename(f->name, f->keep, ec);
        if (ec)
            return failed(failure, *f, kxreason_text(ec));
        f->keep.clear();
    }
    if (kxtable_save(tab, f->name.c_str(), 0, 0))
        return true;
    return failed(failure, *f, kxfile_failure());
}

bool qxtable_rescue(const qxtablefile &f, kxTable *tab)
{
    const std::string dir = quenlorix_userdir();
    std::string why;
    if (dir.empty()) {
        std::printf("quenlorix: the table is lost: there is no per-user directory "
                    "(neither XDG_DATA_HOME nor HOME is set)\n");
        return false;
    }
    const std::string name = free_name(dir + "/quenlorix-" + date_now(), ".dbf");
    if (!kxdir_create(dir.c_str(), &why) || !kxtable_save(tab, name.c_str(), 0, 0)) {
        if (why.empty())
            why = kxfile_failure();
        std::printf("quenlorix: the table is lost: it could not be saved as %s either: %s\n",
                    name.c_str(), why.c_str());
        return false;
    }
    std::printf("quenlorix: the table of %s is saved as %s\n", f.path.c_str(), name.c_str());
    // Appended, so that each of several ends is told.
    if (std::FILE *note = std::fopen(note_path().c_str(), "ab")) {
        std::fprintf(note, "%s\t%s\n", name.c_str(), f.path.c_str());
        std::fclose(note);
    }
    return true;
}

std::vector<std::string> qxrescue_notices()
{
    std::vector<std::string> notices;
    if (quenlorix_userdir().empty())
        return notices;
    std::vector<char> text(NOTE_MAX);
    if (!kxfile_load(text.data(), text.size(), note_path().c_str()))
        return notices;
    std::string_view all = text.data();
    while (!all.empty()) {
        const std::size_t nl = all.find('\n');
        const std::string_view line = all.substr(0, nl);
        all = nl == std::string_view::npos ? std::string_view{} : all.substr(nl + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        const std::string rescued(line.substr(0, tab)), file(line.substr(tab + 1));
        std::printf("quenlorix: the table of %s was saved as %s when the program ended before\n",
                    file.c_str(), rescued.c_str());
        notices.push_back("Die Tabelle " + file +
                          " konnte beim letzten Beenden nicht gespeichert werden; sie ist als " +
                          rescued + " gesichert.");
    }
    return notices;
}

void qxrescue_forget()
{
    std::error_code ec;
    fs::remove(note_path(), ec);
}
