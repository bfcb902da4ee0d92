// Reading and writing the settings file.
#include "settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/file.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t SETTINGS_FILE_MAX = 65536;

constexpr const char *show_names[] = {"text", "hex", "both"};
constexpr const char *lineend_names[] = {"lf", "cr", "crlf", "none"};
constexpr const char *lineend_bytes[] = {"\n", "\r", "\r\n", ""};
constexpr const char *parity_names[] = {"none", "odd", "even", "mark", "space"};
constexpr const char *flow_names[] = {"none", "rtscts", "xonxoff"};

// The decimal number after the first "key=" anywhere in text, when it lies
// in min..max; else def.
int number_after(const char *text, const char *key, int min, int max, int def)
{
    const char *p = std::strstr(text, key);
    if (!p)
        return def;
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(p + std::strlen(key), &end, 10);
    if (errno == ERANGE || v < min || v > max)
        return def;
    return static_cast<int>(v);
}

// The value of a line "key=value", with blanks and a CR at its end removed.
bool line_value(std::string_view line, std::string_view key, std::string *value)
{
    if (line.substr(0, key.size()) != key)
        return false;
    std::string_view v = line.substr(key.size());
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r'))
        v.remove_suffix(1);
    *value = v;
    return true;
}

// The n of a line "<prefix><n>=value" with n in 1..max (as many digits at
// most as max has), and its value; 0 when the line is none.
int numbered_key(std::string_view line, std::string_view prefix, int max, std::string *value)
{
    if (line.substr(0, prefix.size()) != prefix)
        return 0;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq < prefix.size())
        return 0;
    const std::string_view digits = line.substr(prefix.size(), eq - prefix.size());
    if (digits.empty() || digits.size() > std::to_string(max).size() ||
        digits.find_first_not_of("0123456789") != digits.npos)
        return 0;
    const int n = std::atoi(std::string(digits).c_str());
    return n >= 1 && n <= max && line_value(line, line.substr(0, eq + 1), value) ? n : 0;
}

// "com<n>=path" with n in 1..255.
void read_binding(std::string_view line, qxsettings *s)
{
    std::string path;
    if (const int n = numbered_key(line, "com", QX_PORT_MAX, &path))
        s->bound[static_cast<std::size_t>(n)] = path;
}

// How rows are sent: "escapes=1", "lineend=cr".
bool read_sending(std::string_view line, qxsettings *s)
{
    std::string v;
    if (line_value(line, "escapes=", &v)) {
        s->escapes = v == "1";
        return true;
    }
    if (!line_value(line, "lineend=", &v))
        return false;
    for (std::size_t i = 0; i < std::size(lineend_names); i++)
        if (v == lineend_names[i])
            s->lineend = static_cast<qxlineend>(i);
    return true;
}

std::string format_sending(const qxsettings &s)
{
    std::string text;
    if (s.escapes)
        text += "escapes=1\n";
    if (s.lineend != qxlineend::lf)
        text += std::string("lineend=") + qxlineend_name(s.lineend) + "\n";
    return text;
}

// The index of a value among names, or -1.
template <std::size_t N> int name_index(const std::string &v, const char *const (&names)[N])
{
    for (std::size_t i = 0; i < N; i++)
        if (v == names[i])
            return static_cast<int>(i);
    return -1;
}

// A whole decimal number in min..max, else def.
int number_in(const std::string &v, int min, int max, int def)
{
    if (v.empty() || v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos)
        return def;
    const int n = std::atoi(v.c_str());
    return n >= min && n <= max ? n : def;
}

// The keys of the line; true when the line was one of them.
bool read_lineskey(std::string_view line, qxsettings *s)
{
    std::string v;
    kxserialline &l = s->line;
    if (line_value(line, "databits=", &v)) {
        l.databits = number_in(v, KX_SERIAL_DATABITS_MIN, KX_SERIAL_DATABITS_MAX, l.databits);
    } else if (line_value(line, "parity=", &v)) {
        if (int i = name_index(v, parity_names); i >= 0)
            l.parity = static_cast<kxparity>(i);
    } else if (line_value(line, "stopbits=", &v)) {
        l.stopbits = number_in(v, 1, 2, l.stopbits);
    } else if (line_value(line, "flow=", &v)) {
        if (int i = name_index(v, flow_names); i >= 0)
            l.flow = static_cast<kxflow>(i);
    } else if (line_value(line, "dtr=", &v)) {
        l.dtr = number_in(v, 0, 1, l.dtr) != 0;
    } else if (line_value(line, "rts=", &v)) {
        l.rts = number_in(v, 0, 1, l.rts) != 0;
    } else if (line_value(line, "pulse=", &v)) {
        s->pulse_ms = number_in(v, 1, KX_LINE_HOLD_MAX_MS, s->pulse_ms);
    } else if (line_value(line, "break=", &v)) {
        s->break_ms = number_in(v, 1, KX_LINE_HOLD_MAX_MS, s->break_ms);
    } else {
        return false;
    }
    return true;
}

// The line's keys that are not at their defaults, a line each.
std::string format_line(const qxsettings &s)
{
    const kxserialline &l = s.line;
    const kxserialline d;
    std::string text;
    if (l.databits != d.databits)
        text += "databits=" + std::to_string(l.databits) + "\n";
    if (l.parity != d.parity)
        text += std::string("parity=") + qxparity_name(l.parity) + "\n";
    if (l.stopbits != d.stopbits)
        text += "stopbits=" + std::to_string(l.stopbits) + "\n";
    if (l.flow != d.flow)
        text += std::string("flow=") + qxflow_name(l.flow) + "\n";
    if (l.dtr != d.dtr)
        text += "dtr=0\n";
    if (l.rts != d.rts)
        text += "rts=0\n";
    if (s.pulse_ms != KX_PULSE_MS_DEFAULT)
        text += "pulse=" + std::to_string(s.pulse_ms) + "\n";
    if (s.break_ms != KX_BREAK_MS_DEFAULT)
        text += "break=" + std::to_string(s.break_ms) + "\n";
    return text;
}

// "period<row>=ms" with the row in 1..QX_ROWS and ms within the limits.
void read_period(std::string_view line, qxsettings *s)
{
    std::string v;
    if (const int row = numbered_key(line, "period", QX_ROWS, &v))
        s->periods[static_cast<std::size_t>(row)] =
            number_after(("=" + v).c_str(), "=", QX_PERIOD_MIN, QX_PERIOD_MAX, 0);
}

// "WxH", each within the window's own size and QX_WINDOW_MAX.
void read_size(const std::string &v, qxsettings *s)
{
    const char *p = v.c_str();
    char *end = nullptr;
    const long w = std::strtol(p, &end, 10);
    if (end == p || *end != 'x')
        return;
    p = end + 1;
    const long h = std::strtol(p, &end, 10);
    if (end == p || *end || w < QX_WINDOW_XS || h < QX_WINDOW_YS || w > QX_WINDOW_MAX ||
        h > QX_WINDOW_MAX)
        return;
    s->width = static_cast<int>(w), s->height = static_cast<int>(h);
}

void read_line(std::string_view line, qxsettings *s)
{
    std::string v;
    if (read_lineskey(line, s) || read_sending(line, s))
        return;
    if (line.substr(0, 6) == "period") {
        read_period(line, s);
    } else if (line_value(line, "answer=", &v)) {
        if (!v.empty())
            s->answers.push_back(v);
    } else if (line_value(line, "show=", &v)) {
        for (std::size_t i = 0; i < std::size(show_names); i++)
            if (v == show_names[i])
                s->show = static_cast<qxshow>(i);
    } else if (line_value(line, "timestamps=", &v)) {
        s->timestamps = v == "1";
    } else if (line_value(line, "encoding=", &v)) {
        if (v == "utf-8" || v == "iso-8859-1")
            s->utf8 = v == "utf-8";
    } else if (line_value(line, "scrollback=", &v)) {
        s->scrollback = number_in(v, QX_SCROLLBACK_MIN, QX_SCROLLBACK_MAX, s->scrollback);
    } else if (line_value(line, "pause=", &v)) {
        s->pause_ms = number_in(v, 0, KX_SPLIT_PAUSE_MAX, s->pause_ms);
    } else if (line_value(line, "frames=", &v)) {
        if (v == "pause" || v == "lines")
            s->frames_by_pause = v == "pause";
    } else if (line_value(line, "size=", &v)) {
        read_size(v, s);
    } else {
        read_binding(line, s);
    }
}

} // namespace

qxsettings qxsettings_parse(const char *text)
{
    qxsettings s;
    s.port = number_after(text, "port=", 1, QX_PORT_MAX, s.port);
    s.baud = number_after(text, "baud=", 1, INT_MAX, s.baud);
    std::string_view all = text;
    while (!all.empty()) {
        std::size_t nl = all.find('\n');
        read_line(all.substr(0, nl), &s);
        all = nl == std::string_view::npos ? std::string_view{} : all.substr(nl + 1);
    }
    return s;
}

std::string qxsettings_format(const qxsettings &s)
{
    char line[64];
    std::snprintf(line, sizeof line, "port=%d   baud=%d\n", s.port, s.baud);
    std::string text = line + format_line(s);
    if (s.show != qxshow::text)
        text += std::string("show=") + qxshow_name(s.show) + "\n";
    if (s.timestamps)
        text += "timestamps=1\n";
    if (s.pause_ms != KX_SPLIT_PAUSE_DEFAULT)
        text += "pause=" + std::to_string(s.pause_ms) + "\n";
    if (s.frames_by_pause)
        text += "frames=pause\n";
    text += format_sending(s);
    if (s.utf8)
        text += "encoding=utf-8\n";
    if (s.scrollback != QX_SCROLLBACK_DEFAULT)
        text += "scrollback=" + std::to_string(s.scrollback) + "\n";
    if (s.width != QX_WINDOW_XS || s.height != QX_WINDOW_YS)
        text += "size=" + std::to_string(s.width) + "x" + std::to_string(s.height) + "\n";
    for (int n = 1; n <= QX_PORT_MAX; n++)
        if (!s.bound[static_cast<std::size_t>(n)].empty())
            text += "com" + std::to_string(n) + "=" + s.bound[static_cast<std::size_t>(n)] + "\n";
    for (int row = 1; row <= QX_ROWS; row++)
        if (s.periods[static_cast<std::size_t>(row)] > 0)
            text += "period" + std::to_string(row) + "=" +
                    std::to_string(s.periods[static_cast<std::size_t>(row)]) + "\n";
    for (const std::string &a : s.answers)
        text += "answer=" + a + "\n";
    return text;
}

qxsettings qxsettings_read(const char *file)
{
    std::vector<char> text(SETTINGS_FILE_MAX);
    if (!kxfile_load(text.data(), text.size(), file))
        return qxsettings{};
    // The settings are text: what a NUL or the size limit cuts off is not read.
    const long size = kxfile_size(file);
    const long read = static_cast<long>(std::strlen(text.data()));
    if (read < size && read < static_cast<long>(SETTINGS_FILE_MAX) - 1)
        std::printf("quenlorix: %s: nothing after the NUL byte at offset %ld is read\n", file,
                    read);
    else if (read < size)
        std::printf("quenlorix: %s: only the first %ld of %ld bytes are read\n", file, read, size);
    return qxsettings_parse(text.data());
}

bool qxsettings_write(const qxsettings &s, const char *file)
{
    return kxfile_save(qxsettings_format(s).c_str(), file);
}

qxsavefailure qxsave_failure(const char *file)
{
    qxsavefailure f;
    std::error_code ec;
    f.file = std::filesystem::absolute(file, ec).string();
    if (ec)
        f.file = file;
    f.reason = *kxfile_failure() ? kxfile_failure() : "unbekannter Fehler";
    std::printf("quenlorix: cannot save %s: %s\n", f.file.c_str(), f.reason.c_str());
    return f;
}

void qxsettings_bind(const qxsettings &s)
{
    for (int n = 1; n <= QX_PORT_MAX; n++)
        if (!s.bound[static_cast<std::size_t>(n)].empty())
            kxserial_bind(n - 1, s.bound[static_cast<std::size_t>(n)].c_str());
}

const char *qxshow_name(qxshow show) { return show_names[static_cast<std::size_t>(show)]; }

const char *qxlineend_name(qxlineend end) { return lineend_names[static_cast<std::size_t>(end)]; }

const char *qxlineend_bytes(qxlineend end) { return lineend_bytes[static_cast<std::size_t>(end)]; }

const char *qxparity_name(kxparity parity)
{
    const auto i = static_cast<std::size_t>(parity);
    return i < std::size(parity_names) ? parity_names[i] : "none";
}

const char *qxflow_name(kxflow flow)
{
    const auto i = static_cast<std::size_t>(flow);
    return i < std::size(flow_names) ? flow_names[i] : "none";
}
