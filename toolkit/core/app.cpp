#include "core/app.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/event.h"
#include "base/file.h"
#include "graphics/colours.h"
#include "graphics/font.h"
#include "platform/platform.h"

namespace {

std::vector<std::string> args;
std::vector<char *> argv_list;

template <int N> struct FnList {
    std::array<kxexitfn, N> fns{};
    int count = 0;
    void add(kxexitfn fn)
    {
        if (fn && count < N)
            fns[count++] = fn;
    }
    void run()
    {
        for (int i = 0; i < count; i++)
            fns[i]();
    }
};

FnList<KX_MAX_CLOSE_FUNCS> close_list;
FnList<KX_MAX_CLEANUP_FUNCS> cleanup_list;
kxexitfn exit_callback = nullptr;
int exit_code = 0;
bool exiting = false;
std::vector<std::string> temp_files;
char program_dir[KX_PROGRAM_DIR_SIZE] = "";
int windows_open = 0;

void rebuild_argv()
{
    argv_list.clear();
    for (auto &a : args)
        argv_list.push_back(a.data());
    argv_list.push_back(nullptr);
}

void store_word(std::string &word)
{
    if (static_cast<int>(args.size()) < KX_MAX_ARGS)
        args.push_back(word);
    word.clear();
}

void remember_program_dir()
{
    char path[4096];
    kxsys_module_path(path, sizeof path);
    const char *slash = std::strrchr(path, '/');
    std::size_t n = slash ? static_cast<std::size_t>(slash - path) : 0;
    n = std::min(n, sizeof program_dir - 1);
    std::memcpy(program_dir, path, n);
    program_dir[n] = 0;
}

} // namespace

void kxapp_linebuffer()
{
    static bool done = false;
    if (done)
        return;
    done = true;
#ifdef _WIN32
    // The C runtime there buffers a line-buffered stream fully; unbuffered,
    // each printf is still one write.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
#else
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
#endif
}

// Spaces separate words.  A word that begins with a double quote runs to the
// next one; elsewhere quotes toggle a state in which spaces do not separate.
// The quote characters themselves are dropped.
void kxapp_setargs(const char *cmdline)
{
    kxapp_linebuffer();
    args.assign(1, std::string());
    std::string word;
    const char *p = cmdline ? cmdline : "";
    while (*p) {
        while (*p == ' ')
            p++;
        if (!*p)
            break;
        if (*p == '"') {
            p++;
            while (*p && *p != '"')
                word += *p++;
            if (*p == '"')
                p++;
        } else {
            bool quoted = false;
            for (; *p && (quoted || *p != ' '); p++) {
                if (*p == '"')
                    quoted = !quoted;
                else
                    word += *p;
            }
        }
        store_word(word);
    }
    rebuild_argv();
}

int kxapp_argc() { return static_cast<int>(args.size()); }

char **kxapp_argv()
{
    if (argv_list.empty())
        kxapp_setargs("");
    return argv_list.data();
}

const char *kxapp_programdir() { return program_dir; }

void kxapp_setwords(int argc, char **argv)
{
    kxapp_linebuffer();
    args.assign(1, std::string());
    for (int i = 1; i < argc && static_cast<int>(args.size()) < KX_MAX_ARGS; i++)
        args.emplace_back(argv[i] ? argv[i] : "");
    rebuild_argv();
}

bool kxapp_initcore()
{
    kxapp_linebuffer();
    if (args.empty())
        kxapp_setargs("");
    close_list = {};
    kxfont_loadbuiltins();
    remember_program_dir();
    kxfile_setsync({kxsys_syncfile, kxsys_syncdir});
    if (!kxplatform_init())
        return false;
    int w = 0, h = 0;
    const std::uint32_t *argb = nullptr;
    if (!kxplatform_icon(&w, &h, &argb)) {  // the program may have set its own
        kxpxmap icon;
        kxapp_defaulticon(&icon);
        kxapp_seticon(&icon);
        kxpxmap_free(&icon);
    }
    kxgui_color(0);  // the colour table is filled once, from the host
    return true;
}

int kxapp_run(kxmainfn main, bool (*init)())
{
    if (!init()) {
        kxapp_exit(1, false);
        return 1;
    }
    if (main)
        main();
    if (!kxapp_loop_entered() && kxapp_windows_open() > 0 && kxapp_running())
        kxevent_run();
    kxapp_exit(0, false);
    return kxapp_exitcode();
}

void kxapp_atclose(kxexitfn fn) { close_list.add(fn); }
void kxapp_atcleanup(kxexitfn fn) { cleanup_list.add(fn); }
void kxapp_setexitcallback(kxexitfn fn) { exit_callback = fn; }
int kxapp_exitcode() { return exit_code; }

void kxapp_exit(int code, bool terminate)
{
    if (!exiting) {
        exiting = true;
        close_list.run();
        exit_code = code;
        if (kxexitfn cb = exit_callback) {
            exit_callback = nullptr;
            cb();
        }
        cleanup_list.run();
        // After the clean-up functions, which may still draw text.
        kxfont_unloadall();
        for (auto &f : temp_files)
            std::remove(f.c_str());
        temp_files.clear();
        kxplatform_exit();
    }
    if (terminate) {
        std::fflush(stdout);
        std::exit(code);
    }
}

bool kxapp_tempfile(char *path, std::size_t size)
{
    if (!kxsys_tempfile(path, size))
        return false;
    temp_files.emplace_back(path);
    return true;
}

void kxapp_window_opened() { windows_open++; }
void kxapp_window_closed()
{
    if (windows_open > 0)
        windows_open--;
}
int kxapp_windows_open() { return windows_open; }

// KX_VERSION_TEXT comes from the build (the CMake project version).
const char *kxapp_version() { return KX_VERSION_TEXT; }

const char *kxapp_infotext()
{
    static std::string text;
    if (text.empty()) {
        static const char notice[] =
            "\n------------------------------------------------------------\n"
            "This program is built with kx9d. The toolkit is provided as it is, "
            "without warranty of any kind; use it at your own risk.";
        char buf[1024];
        std::snprintf(buf, sizeof buf,
                      "kx9d is an easy-to-use toolkit for programs that run on several "
                      "platforms: the same source builds for Linux, MacOS X, FreeBSD, "
                      "MS-Windows and QNX.\n\nkx9d version: %s%s",
                      kxapp_version(), notice);
        text = buf;
    }
    return text.c_str();
}
