#include "cmdline.h"

#include <cstdio>
#include <string_view>

#include "core/app.h"
#include "base/file.h"
#include "kx9d.h"
#include "widgets/msgbox.h"
#include "platform/platform.h"
#include "quenlorix.h"

namespace {

constexpr const char *usage_text =
    "Usage: quenlorix [OPTION]...\n"
    "Quenlorix tests protocols on a serial line: it sends the strings of a table,\n"
    "one row per \"senden\" button, and shows and logs every line that comes back.\n"
    "A dialog asks for the port and the baud rate first.\n"
    "\n"
    "Options:\n"
    "  -C, --directory DIR  work in DIR (made if missing), as if started there\n"
    "      --user-dir       work in $XDG_DATA_HOME/quenlorix, by default\n"
    "                       ~/.local/share/quenlorix (on Windows %APPDATA%/quenlorix)\n"
    "  -h, --help           show this text and exit\n"
    "  -V, --version        show the program's and the toolkit's version and exit\n"
    "\n"
    "Files, in the working directory:\n"
    "  quenlorix.cfg  port, baud rate, view (show=text|hex|both), timestamps=1\n"
    "                 and comN=PATH bindings; written when the dialog is confirmed;\n"
    "                 size=WxH, the main window's size when it was not 700x570\n"
    "                 at the end of the last session\n"
    "  quenlorix.dbf  the table's strings and comments, written at exit\n"
    "  quenlorix.log  all traffic, begun anew at each start; the one before is\n"
    "                 kept as quenlorix.log.1\n"
    "\n"
    "Port n is the device COMn: the path bound by comn=PATH in quenlorix.cfg,\n"
    "else a file or symbolic link COMn in the working directory, else COMn in\n"
    "the directory $KX_SERIAL_DIR, else /dev/ttyS<n-1> (on Windows the\n"
    "system's COMn).  A device that goes away is opened again once a second.\n"
    "\n"
    "Environment:\n"
    "  DISPLAY             the X display to open\n"
    "  KX_HOST             x11 (the default; win32 on Windows), or headless for a\n"
    "                      virtual screen in memory that nobody sees\n"
    "  KX_SCALE            show the windows N times enlarged (1 to 4); without it\n"
    "                      the desktop's scale (GDK_SCALE, Xft.dpi; on Windows the\n"
    "                      screen's DPI) applies\n"
    "  KX_SERIAL_DIR       a directory searched for COMn after the working one\n"
    "  KX_HEADLESS_SCREEN  size of the virtual screen, WxH (default 1024x768)\n"
    "  KX_HEADLESS_DEPTH   its depth in bits: 8, 16, 24 or 32 (default 24)\n";

bool fail(quenlorix_options *o, const std::string &text)
{
    o->error = "quenlorix: " + text + " (see quenlorix --help)";
    return false;
}

// -C and --directory: the value attached, or else the next word.
bool directory_option(std::string_view option, std::string_view attached, bool has_value,
                      int argc, char *const *argv, int *i, quenlorix_options *o)
{
    if (!has_value && *i + 1 < argc && argv[*i + 1])
        attached = argv[++*i], has_value = true;
    if (!has_value || attached.empty())
        return fail(o, "option " + std::string(option) + " needs a directory");
    o->directory = attached;
    o->user_dir = false;
    return true;
}

// A long option; only --directory takes a value, after "=" or as the next
// word.
bool long_option(std::string_view word, int argc, char *const *argv, int *i,
                 quenlorix_options *o)
{
    const std::size_t eq = word.find('=');
    std::string_view name = word.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? "" : word.substr(eq + 1);
    const bool has_value = eq != std::string_view::npos;
    if (name == "--directory")
        return directory_option(name, value, has_value, argc, argv, i, o);
    if (!has_value && name == "--help")
        o->help = true;
    else if (!has_value && name == "--version")
        o->version = true;
    else if (!has_value && name == "--user-dir") {
        o->user_dir = true;
        o->directory.clear();
    } else
        return fail(o, "unknown option \"" + std::string(word) + "\"");
    return true;
}

// A short option: -h, -V, or -C with its directory attached or next.
bool short_option(std::string_view word, int argc, char *const *argv, int *i,
                  quenlorix_options *o)
{
    if (word == "-h")
        o->help = true;
    else if (word == "-V")
        o->version = true;
    else if (word.substr(0, 2) == "-C")
        return directory_option("-C", word.substr(2), word.size() > 2, argc, argv, i, o);
    else
        return fail(o, "unknown option \"" + std::string(word) + "\"");
    return true;
}

// The directory the options name, "" for the one the program was started
// in.  False (after its diagnostic) when --user-dir finds no home.
bool chosen_directory(const quenlorix_options &o, std::string *dir)
{
    *dir = o.directory;
    if (!o.user_dir)
        return true;
    const char *data = kxsys_datadir();
    if (!*data) {
        std::printf("quenlorix: --user-dir: neither XDG_DATA_HOME nor HOME is set\n");
        return false;
    }
    *dir = std::string(data) + "/quenlorix";
    return true;
}

// Makes the directory if needed and moves there.
bool enter_directory(const std::string &dir)
{
    std::string why;
    if (kxdir_create(dir.c_str(), &why) && kxdir_change(dir.c_str(), &why))
        return true;
    std::printf("quenlorix: cannot work in \"%s\": %s\n", dir.c_str(), why.c_str());
    return false;
}

std::string unusable_dir;

// Run in place of the tester when its directory cannot be used: started
// from a desktop menu, nobody reads standard output.
int show_unusable_dir()
{
    kxmsgbox("Das Arbeitsverzeichnis \"%s\" kann nicht benutzt werden.", unusable_dir.c_str());
    return 0;
}

} // namespace

bool quenlorix_parseargs(int argc, char *const *argv, quenlorix_options *o)
{
    for (int i = 1; i < argc; i++) {
        std::string_view word = argv[i] ? argv[i] : "";
        bool ok = true;
        if (word == "--") {
            for (i++; i < argc; i++)
                o->rest.emplace_back(argv[i] ? argv[i] : "");
        } else if (word.substr(0, 2) == "--") {
            ok = long_option(word, argc, argv, &i, o);
        } else if (word.size() > 1 && word[0] == '-') {
            ok = short_option(word, argc, argv, &i, o);
        } else {
            o->rest.emplace_back(word);
        }
        if (!ok)
            return false;
    }
    return true;
}

int quenlorix_start(int argc, char **argv)
{
    kxapp_sethostargs(argc, argv);
    quenlorix_options o;
    if (!quenlorix_parseargs(kxapp_argc(), kxapp_argv(), &o)) {
        std::printf("%s\n", o.error.c_str());
        return 2;
    }
    if (o.help) {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (o.version) {
        std::printf("quenlorix %s\nkx9d toolkit %s\n", kxapp_version(), kxapp_version());
        return 0;
    }
    std::string dir;
    if (!chosen_directory(o, &dir))
        return 1;
    // The toolkit keeps the words that are no options of ours.
    std::vector<char *> words{argv[0]};
    for (std::string &w : o.rest)
        words.push_back(w.data());
    words.push_back(nullptr);
    const int count = static_cast<int>(words.size()) - 1;
    if (!dir.empty() && !enter_directory(dir)) {
        unusable_dir = dir;
        kxapp_start(count, words.data(), show_unusable_dir);
        return 1;
    }
    return kxapp_start(count, words.data(), quenlorix_main);
}
