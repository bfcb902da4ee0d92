#include "cmdline.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/app.h"
#include "core/language.h"
#include "base/file.h"
#include "kx9d.h"
#include "widgets/msgbox.h"
#include "platform/platform.h"
#include "quenlorix.h"
#include "run.h"
#include "settings.h"

namespace {

constexpr const char *usage_text =
    "Usage: quenlorix [OPTION]...\n"
    "Quenlorix tests protocols on a serial line: it sends the strings of a table,\n"
    "one row per \"senden\" button, and shows and logs every line that comes back.\n"
    "A dialog asks for the port, the baud rate and the line's framing first; F2\n"
    "in the main window shows it again.  F5 and F6 switch DTR and RTS, F7 and F8\n"
    "pulse them low, F9 sends a BREAK (also in the terminal's right-button menu).\n"
    "\n"
    "Options:\n"
    "  -C, --directory DIR  work in DIR (made if missing), as if started there\n"
    "      --user-dir       work in $XDG_DATA_HOME/quenlorix, by default\n"
    "                       ~/.local/share/quenlorix (on Windows %APPDATA%/quenlorix)\n"
    "      --run SCRIPT     run the script on the port without a window, then\n"
    "                       exit: 0 when every step held, 1 when one failed,\n"
    "                       2 when the script or the table cannot be read\n"
    "                       (nothing is sent then), 3 when the port cannot open\n"
    "      --port N         with --run: port N instead of the settings file's\n"
    "      --baud B         with --run: baud rate B instead of the settings file's\n"
    "      --tap            with --run: the results as TAP version 13\n"
    "  -h, --help           show this text and exit\n"
    "  -V, --version        show the program's and the toolkit's version and exit\n"
    "\n"
    "Files, in the working directory:\n"
    "  quenlorix.cfg  port, baud rate, databits=5..8,\n"
    "                 parity=none|odd|even|mark|space, stopbits=1|2,\n"
    "                 flow=none|rtscts|xonxoff, dtr=0|1 and rts=0|1 at open,\n"
    "                 pulse=MS (100) and break=MS (250), view (show=text|hex|both),\n"
    "                 timestamps=1, pause=MS (100: a line without its end is\n"
    "                 shown after MS quiet; 0 waits for the end), frames=pause\n"
    "                 (hex frames end at the pause only), lineend=lf|cr|crlf|none,\n"
    "                 escapes=1 (rows read as \\r \\xNN \\h(01 03)\n"
    "                 \\c(CRC-16/MODBUS) ...), encoding=utf-8 (the device's text,\n"
    "                 the rows sent and the log; ISO 8859-1 unless set), the\n"
    "                 pane's history (scrollback=N, 500, up to 100000), comN=PATH\n"
    "                 bindings, periodN=MS of row N and answer rules\n"
    "                 (answer=ROW PATTERN); written once the port opened;\n"
    "                 size=WxH, the main window's size when it was not 700x570\n"
    "                 at the end of the last session\n"
    "  quenlorix.dbf  the table's strings and comments, written at exit; a file\n"
    "                 that cannot be read is kept as quenlorix.dbf.defekt\n"
    "  quenlorix.log  all traffic, begun anew when a session starts (the port has\n"
    "                 opened); the logs of the five sessions before are kept as\n"
    "                 quenlorix.log.1 (the latest) to quenlorix.log.5.  While\n"
    "                 another quenlorix writes it, a session logs to\n"
    "                 quenlorix-2.log (or -3 and so on) and says so\n"
    "\n"
    "SIGTERM, SIGHUP and SIGINT end the program as closing its window does; a\n"
    "table that cannot be saved then is written to the --user-dir directory as\n"
    "quenlorix-YYYY-MM-DD-HHMM.dbf, and the next start says so.\n"
    "\n"
    "In the window, a right press on a row's button (or Shift+F10) sends the row\n"
    "every N ms until its button, then \"Stopp\", is clicked; F3 edits the answer\n"
    "rules, which send a row when a received line holds a text or matches /regex/.\n"
    "\n"
    "A script has one step a line; # begins a comment:\n"
    "  send N                     row N of the table (1 to 14), as its button does\n"
    "  send \"text\"                the text and the line end; \\\" is a quote\n"
    "  expect \"text\" [within MS]  a received line holding the text, within MS\n"
    "                             milliseconds (1000 unless given)\n"
    "  expect /regex/ [within MS] a received line the regular expression matches\n"
    "  wait MS                    milliseconds\n"
    "  dtr on|off, rts on|off, break MS  the line's controls, where offered\n"
    "The first step that fails ends the run. Standard output has a line per step\n"
    "with its time and result (UTF-8); the log is written as by the window.\n"
    "\n"
    "Port n is the device COMn: the path bound by comn=PATH in quenlorix.cfg,\n"
    "else a file or symbolic link COMn in the working directory, else COMn in\n"
    "the directory $KX_SERIAL_DIR, else /dev/ttyS<n-1> (on Windows the\n"
    "system's COMn).  A device that goes away is looked for again once a\n"
    "second, by the same binding or link only.\n"
    "A binding comn=tcp://HOST:PORT reaches a serial server over raw TCP,\n"
    "comn=rfc2217://HOST:PORT one that speaks RFC 2217 (the rate and line\n"
    "settings are sent to it); a lost connection is made again once a second.\n"
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

// An option's value: attached after "=", or else the next word.
bool option_value(std::string_view option, std::string_view *value, bool has_value, int argc,
                  char *const *argv, int *i, quenlorix_options *o, const char *what)
{
    if (!has_value && *i + 1 < argc && argv[*i + 1])
        *value = argv[++*i], has_value = true;
    if (!has_value || value->empty())
        return fail(o, "option " + std::string(option) + " needs " + what);
    return true;
}

// A decimal number from 1 to max, for --port and --baud.
bool number_option(std::string_view option, std::string_view value, int max, int *out,
                   quenlorix_options *o)
{
    long long n = 0;
    for (char ch : value) {
        if (ch < '0' || ch > '9' || n > max)
            break;
        n = n * 10 + (ch - '0');
    }
    if (value.find_first_not_of("0123456789") != std::string_view::npos || n < 1 || n > max)
        return fail(o, "option " + std::string(option) + ": \"" + std::string(value) +
                           "\" is not a number from 1 to " + std::to_string(max));
    *out = static_cast<int>(n);
    return true;
}

// The options of an unattended run, each with its value.
bool run_option(std::string_view name, std::string_view value, bool has_value, int argc,
                char *const *argv, int *i, quenlorix_options *o)
{
    const char *what = name == "--run" ? "a script" : "a number";
    if (!option_value(name, &value, has_value, argc, argv, i, o, what))
        return false;
    if (name == "--run") {
        o->run = value;
        return true;
    }
    return name == "--port" ? number_option(name, value, QX_PORT_MAX, &o->port, o)
                            : number_option(name, value, INT_MAX, &o->baud, o);
}

// A long option; --directory and the options of a run take a value, after
// "=" or as the next word.
bool long_option(std::string_view word, int argc, char *const *argv, int *i,
                 quenlorix_options *o)
{
    const std::size_t eq = word.find('=');
    std::string_view name = word.substr(0, eq);
    std::string_view value = eq == std::string_view::npos ? "" : word.substr(eq + 1);
    const bool has_value = eq != std::string_view::npos;
    if (name == "--directory")
        return directory_option(name, value, has_value, argc, argv, i, o);
    if (name == "--run" || name == "--port" || name == "--baud")
        return run_option(name, value, has_value, argc, argv, i, o);
    if (!has_value && name == "--tap") {
        o->tap = true;
        return true;
    }
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
    *dir = quenlorix_userdir();
    if (dir->empty()) {
        std::printf("quenlorix: --user-dir: neither XDG_DATA_HOME nor HOME is set\n");
        return false;
    }
    return true;
}

// Makes the directory if needed and moves there; false with the reason.
bool enter_directory(const std::string &dir, std::string *why)
{
    if (kxdir_create(dir.c_str(), why) && kxdir_change(dir.c_str(), why))
        return true;
    std::printf("quenlorix: cannot work in \"%s\": %s\n", dir.c_str(), why->c_str());
    return false;
}

std::string unusable_dir, unusable_why;

// Run in place of the tester when its directory cannot be used: started
// from a desktop menu, nobody reads standard output.
int show_unusable_dir()
{
    kxmsgbox("Das Arbeitsverzeichnis \"%s\" kann nicht benutzt werden.\n\nGrund: %s",
             unusable_dir.c_str(), unusable_why.c_str());
    return 0;
}

qxrunoptions run_options;
int run_code = QX_RUN_USAGE;

int run_entry()
{
    run_code = qxrun_main(run_options);
    return run_code;
}

// An unattended run: no display and no window; the script named as from
// the directory the program was started in.
int start_run(const quenlorix_options &o, const std::string &dir, int count, char **words)
{
    std::error_code ec;
    const std::filesystem::path script = std::filesystem::absolute(o.run, ec);
    run_options.script = ec ? o.run : script.string();
    run_options.port = o.port;
    run_options.baud = o.baud;
    run_options.tap = o.tap;
    std::string why;
    if (!dir.empty() && !enter_directory(dir, &why))
        return QX_RUN_USAGE;
    kxplatform_sethost("headless");
    kxapp_start(count, words, run_entry);
    return run_code;
}

} // namespace

std::string quenlorix_userdir()
{
    const char *data = kxsys_datadir();
    return *data ? std::string(data) + "/quenlorix" : std::string();
}

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
    if (o->run.empty() && (o->port || o->baud || o->tap))
        return fail(o, "--port, --baud and --tap belong to --run");
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
        return o.run.empty() ? 1 : QX_RUN_USAGE;
    // The toolkit keeps the words that are no options of ours.
    std::vector<char *> words{argv[0]};
    for (std::string &w : o.rest)
        words.push_back(w.data());
    words.push_back(nullptr);
    const int count = static_cast<int>(words.size()) - 1;
    // The reasons of failures are worded in German from the first one on.
    kxlanguage_set(KX_LANG_GERMAN);
    kxapp_connect();
    if (!o.run.empty())
        return start_run(o, dir, count, words.data());
    if (!dir.empty() && !enter_directory(dir, &unusable_why)) {
        unusable_dir = dir;
        kxapp_start(count, words.data(), show_unusable_dir);
        return 1;
    }
    return kxapp_start(count, words.data(), quenlorix_main);
}
