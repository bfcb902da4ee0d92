// Scripts: the reader, which turns the text into steps or names the first
// line it cannot read, and the run, which takes one step after the other
// as the host's clock and lines allow.
#include "io/script.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <utility>

#include "core/language.h"
#include "io/notation.h"

namespace {

enum class Text {
    line, unknown, send_arg, row_range, expect_arg, unclosed_quote, unclosed_slash, empty_text,
    empty_pattern, pattern, number, range, onoff, trailing, file, too_large,
    sent, not_sent, held, failed, none, one, many, waited, done, skipped, notrun,
};

struct Words {
    Text id;
    const char *text[2];  // English, German; each %s takes the next detail
};
constexpr Words words[] = {
    {Text::line, {"line %s: ", "Zeile %s: "}},
    {Text::unknown, {"unknown step \"%s\"", "unbekannter Schritt \"%s\""}},
    {Text::send_arg, {"send needs a row number or a \"text\"",
                      "send braucht eine Zeilennummer oder einen \"Text\""}},
    {Text::row_range, {"no row %s (1 to %s)", "keine Tabellenzeile %s (1 bis %s)"}},
    {Text::expect_arg, {"expect needs a \"text\" or a /pattern/",
                        "expect braucht einen \"Text\" oder ein /Muster/"}},
    {Text::unclosed_quote, {"\" without its end", "\" ohne Ende"}},
    {Text::unclosed_slash, {"/ without its end", "/ ohne Ende"}},
    {Text::empty_text, {"empty text", "leerer Text"}},
    {Text::empty_pattern, {"empty pattern", "leeres Muster"}},
    {Text::pattern, {"pattern: %s", "Muster: %s"}},
    {Text::number, {"%s needs a number of milliseconds", "%s braucht eine Zahl von Millisekunden"}},
    {Text::range, {"%s: %s is not within %s to %s ms", "%s: %s liegt nicht zwischen %s und %s ms"}},
    {Text::onoff, {"%s needs on or off", "%s braucht on oder off"}},
    {Text::trailing, {"unexpected \"%s\"", "unerwartet: \"%s\""}},
    {Text::file, {"cannot read %s", "%s kann nicht gelesen werden"}},
    {Text::too_large, {"%s is larger than 1 MB", "%s ist gr\xf6\xdf" "er als 1 MB"}},
    {Text::sent, {"sent", "gesendet"}},
    {Text::not_sent, {"not sent: %s", "nicht gesendet: %s"}},
    {Text::held, {"held after %s ms: %s", "erf\xfcllt nach %s ms: %s"}},
    {Text::failed, {"not held within %s ms: %s", "nicht erf\xfcllt in %s ms: %s"}},
    {Text::none, {"nothing received", "nichts empfangen"}},
    {Text::one, {"received %s", "empfangen: %s"}},
    {Text::many, {"%s lines received, the last %s", "%s Zeilen empfangen, zuletzt %s"}},
    {Text::waited, {"waited", "gewartet"}},
    {Text::done, {"done", "erledigt"}},
    {Text::skipped, {"skipped: %s", "\xfc" "bersprungen: %s"}},
    {Text::notrun, {"not run", "nicht ausgef\xfchrt"}},
};

// The words with each %s replaced by the next detail.
std::string say(Text id, std::initializer_list<std::string> details = {})
{
    const int german = kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0;
    std::string_view format = "%s";
    for (const Words &w : words)
        if (w.id == id)
            format = w.text[german];
    std::string out;
    auto detail = details.begin();
    for (std::size_t i = 0; i < format.size(); i++) {
        if (format.substr(i, 2) == "%s" && detail != details.end()) {
            out += *detail++;
            i++;
        } else {
            out += format[i];
        }
    }
    return out;
}

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

// A line or a piece of a script as a result shows it: control bytes as
// tokens such as <0D>, cut after limit bytes.
std::string shown(std::string_view text, std::size_t limit = KX_SCRIPT_SHOWN)
{
    std::string s;
    for (std::size_t i = 0; i < text.size() && i < limit; i++) {
        const auto b = static_cast<unsigned char>(text[i]);
        if ((b >= 0x20 && b < 0x7F) || b >= 0xA0) {
            s += static_cast<char>(b);
        } else {
            s += '<';
            s += HEX_DIGITS[b >> 4];
            s += HEX_DIGITS[b & 0xF];
            s += '>';
        }
    }
    if (text.size() > limit)
        s += "...";
    return s;
}

std::string in_quotes(std::string_view text) { return "\"" + shown(text) + "\""; }

bool blank(char ch) { return ch == ' ' || ch == '\t'; }
bool digit(char ch) { return ch >= '0' && ch <= '9'; }
bool letter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

// One line of the script being read.
struct Line {
    std::string_view text;
    std::size_t pos = 0;
    std::string error;  // the first fault, without the line's number

    bool end() const { return pos >= text.size(); }
    void skip_blanks()
    {
        while (!end() && blank(text[pos]))
            pos++;
    }
    std::string_view word()
    {
        const std::size_t from = pos;
        while (!end() && letter(text[pos]))
            pos++;
        return text.substr(from, pos - from);
    }
    bool fail(std::string why)
    {
        if (error.empty())
            error = std::move(why);
        return false;
    }
    // At least one blank, then the next word or number.
    bool gap()
    {
        const std::size_t from = pos;
        skip_blanks();
        return pos > from && !end();
    }
};

// Milliseconds from lo to hi; what names the step in a fault.
bool number(Line &l, const char *what, int lo, int hi, int *out)
{
    if (!l.gap() || !digit(l.text[l.pos]))
        return l.fail(say(Text::number, {what}));
    const std::size_t from = l.pos;
    long long value = 0;
    while (!l.end() && digit(l.text[l.pos])) {
        if (value <= KX_SCRIPT_MS_MAX)
            value = value * 10 + (l.text[l.pos] - '0');
        l.pos++;
    }
    if (value < lo || value > hi)
        return l.fail(say(Text::range, {what, std::string(l.text.substr(from, l.pos - from)),
                                        std::to_string(lo), std::to_string(hi)}));
    *out = static_cast<int>(value);
    return true;
}

// The text between quotes from the " at pos; \" stands for a quote, every
// other backslash is kept for the notation.
bool quoted_text(Line &l, std::string *out, std::string *written = nullptr)
{
    const std::size_t open = l.pos++;
    while (!l.end() && l.text[l.pos] != '"') {
        if (l.text[l.pos] == '\\' && l.pos + 1 < l.text.size()) {
            if (l.text[l.pos + 1] != '"')
                *out += '\\';
            *out += l.text[l.pos + 1];
            l.pos += 2;
            continue;
        }
        *out += l.text[l.pos++];
    }
    if (l.end()) {
        l.pos = open;
        return l.fail(say(Text::unclosed_quote));
    }
    if (written)
        *written = std::string(l.text.substr(open + 1, l.pos - open - 1));
    l.pos++;
    return true;
}

// A quoted text in the notation when it is on: its bytes.
bool text_bytes(Line &l, const kxscript_options &o, std::string *out,
                std::string *written = nullptr)
{
    if (!quoted_text(l, out, written))
        return false;
    if (!o.notation)
        return true;
    kxnotation_result r = kxnotation_parse(*out);
    if (!r.ok)
        return l.fail(r.error);
    *out = std::move(r.bytes);
    return true;
}

// The pattern between slashes from the / at pos, \/ kept for the pattern.
bool slashed(Line &l, kxscript_step *s)
{
    const std::size_t open = l.pos++;
    std::string source;
    while (!l.end() && l.text[l.pos] != '/') {
        if (l.text[l.pos] == '\\' && l.pos + 1 < l.text.size())
            source += l.text[l.pos++];
        source += l.text[l.pos++];
    }
    if (l.end()) {
        l.pos = open;
        return l.fail(say(Text::unclosed_slash));
    }
    l.pos++;
    if (source.empty())
        return l.fail(say(Text::empty_pattern));
    s->pattern = kxpattern_compile(source);
    if (!s->pattern.ok)
        return l.fail(say(Text::pattern, {s->pattern.error}));
    s->text = std::move(source);
    return true;
}

bool send_step(Line &l, const kxscript_options &o, kxscript_step *s)
{
    if (!l.gap())
        return l.fail(say(Text::send_arg));
    if (l.text[l.pos] == '"') {
        s->kind = kxscript_kind::send_text;
        return text_bytes(l, o, &s->text, &s->written);
    }
    if (!digit(l.text[l.pos]))
        return l.fail(say(Text::send_arg));
    const std::size_t from = l.pos;
    long long row = 0;
    for (; !l.end() && digit(l.text[l.pos]); l.pos++)
        if (row <= o.rows)
            row = row * 10 + (l.text[l.pos] - '0');
    if (row < 1 || row > o.rows)
        return l.fail(say(Text::row_range, {shown(l.text.substr(from, l.pos - from), 12),
                                            std::to_string(o.rows)}));
    s->kind = kxscript_kind::send_row;
    s->row = static_cast<int>(row);
    return true;
}

bool expect_step(Line &l, const kxscript_options &o, kxscript_step *s)
{
    if (!l.gap())
        return l.fail(say(Text::expect_arg));
    if (l.text[l.pos] == '"') {
        s->kind = kxscript_kind::expect_text;
        if (!text_bytes(l, o, &s->text))
            return false;
        if (s->text.empty())
            return l.fail(say(Text::empty_text));
    } else if (l.text[l.pos] == '/') {
        s->kind = kxscript_kind::expect_pattern;
        if (!slashed(l, s))
            return false;
    } else {
        return l.fail(say(Text::expect_arg));
    }
    s->ms = KX_SCRIPT_EXPECT_MS;
    const std::size_t after = l.pos;
    l.skip_blanks();
    if (l.word() == "within")
        return number(l, "within", 1, KX_SCRIPT_MS_MAX, &s->ms);
    l.pos = after;
    return true;
}

bool onoff(Line &l, const char *what, kxscript_step *s)
{
    const std::string_view w = l.gap() ? l.word() : std::string_view();
    if (w != "on" && w != "off")
        return l.fail(say(Text::onoff, {what}));
    s->on = w == "on";
    return true;
}

// One step from the keyword at pos on.
bool step(Line &l, const kxscript_options &o, kxscript_step *s)
{
    const std::size_t from = l.pos;
    const std::string_view key = l.word();
    if (key == "send")
        return send_step(l, o, s);
    if (key == "expect")
        return expect_step(l, o, s);
    if (key == "wait") {
        s->kind = kxscript_kind::wait;
        return number(l, "wait", 0, KX_SCRIPT_MS_MAX, &s->ms);
    }
    if (key == "dtr" || key == "rts") {
        s->kind = key == "dtr" ? kxscript_kind::dtr : kxscript_kind::rts;
        return onoff(l, key == "dtr" ? "dtr" : "rts", s);
    }
    if (key == "break") {
        s->kind = kxscript_kind::brk;
        return number(l, "break", 1, KX_SCRIPT_BREAK_MAX, &s->ms);
    }
    std::size_t to = from;
    while (to < l.text.size() && !blank(l.text[to]))
        to++;
    return l.fail(say(Text::unknown, {shown(l.text.substr(from, to - from), 24)}));
}

// Reads the line into s; false for an empty or comment line, or a fault.
bool read_line(Line &l, const kxscript_options &o, kxscript_step *s)
{
    l.skip_blanks();
    if (l.end() || l.text[l.pos] == '#')
        return false;
    const std::size_t from = l.pos;
    if (!step(l, o, s))
        return false;
    std::size_t to = l.pos;
    l.skip_blanks();
    if (!l.end() && l.text[l.pos] != '#')
        return l.fail(say(Text::trailing, {shown(l.text.substr(l.pos), 24)}));
    s->source = std::string(l.text.substr(from, to - from));
    return true;
}

kxscript_parsed fault(int line, const std::string &why)
{
    kxscript_parsed p;
    p.line = line;
    p.error = line > 0 ? say(Text::line, {std::to_string(line)}) + why : why;
    return p;
}

// ---- the run

bool is_expect(const kxscript_step &s)
{
    return s.kind == kxscript_kind::expect_text || s.kind == kxscript_kind::expect_pattern;
}

bool met(const kxscript_step &s, std::string_view line)
{
    if (s.kind == kxscript_kind::expect_text)
        return line.find(s.text) != std::string_view::npos;
    return kxpattern_search(s.pattern, line);
}

kxscript_report report_of(kxscript_run *r, kxscript_verdict v, std::string result)
{
    const kxscript_step &s = r->script->steps[r->next];
    kxscript_report rep;
    rep.step = &s;
    rep.verdict = v;
    rep.at = r->host.now() - r->start;
    rep.result = std::move(result);
    if (is_expect(s)) {
        rep.point = ++r->points;
        rep.expected = s.kind == kxscript_kind::expect_text ? in_quotes(s.text) : "/" + s.text + "/";
        rep.lines = r->looked;
    }
    return rep;
}

void finish_step(kxscript_run *r, kxscript_report rep)
{
    const bool failed = rep.verdict == kxscript_verdict::failed;
    const bool aborted = failed && !is_expect(*rep.step);
    if (r->host.report)
        r->host.report(rep);
    r->next++;
    r->begun = false;
    r->last.clear();
    r->looked = 0;
    if (!failed)
        return;
    r->state = kxscript_state::failed;
    for (; r->next < r->script->steps.size(); r->next++) {
        kxscript_report rest = report_of(r, kxscript_verdict::notrun, say(Text::notrun));
        rest.aborted = aborted;
        if (r->host.report)
            r->host.report(rest);
    }
}

void act(kxscript_run *r, const kxscript_step &s)
{
    const kxscript_done d = r->host.act ? r->host.act(s) : kxscript_done{};
    const bool send = s.kind == kxscript_kind::send_row || s.kind == kxscript_kind::send_text;
    std::string result;
    if (d.verdict == kxscript_verdict::failed)
        result = send ? say(Text::not_sent, {d.why}) : d.why;
    else if (d.verdict == kxscript_verdict::skipped)
        result = say(Text::skipped, {d.why});
    else
        result = send ? say(Text::sent) : d.why.empty() ? say(Text::done) : d.why;
    finish_step(r, report_of(r, d.verdict, result));
}

// What an expect that timed out saw.
std::string seen(const kxscript_run *r)
{
    if (r->looked == 0)
        return say(Text::none);
    if (r->looked == 1)
        return say(Text::one, {in_quotes(r->last)});
    return say(Text::many, {std::to_string(r->looked), in_quotes(r->last)});
}

// True when the expect is over.
bool expect(kxscript_run *r, const kxscript_step &s, std::int64_t now)
{
    while (!r->lines.empty()) {
        std::string line = std::move(r->lines.front());
        r->lines.pop_front();
        r->looked++;
        if (met(s, line)) {
            kxscript_report rep = report_of(
                r, kxscript_verdict::held,
                say(Text::held, {std::to_string(now - r->step_start), in_quotes(line)}));
            rep.got = shown(line);
            finish_step(r, std::move(rep));
            return true;
        }
        r->last = std::move(line);
    }
    if (now < r->deadline)
        return false;
    const std::string away = r->host.gone ? r->host.gone() : std::string();
    kxscript_report rep = report_of(
        r, kxscript_verdict::failed,
        say(Text::failed, {std::to_string(s.ms), away.empty() ? seen(r) : away}));
    rep.got = r->looked ? shown(r->last) : "";
    finish_step(r, std::move(rep));
    return true;
}

// YAML's double-quoted scalar.
std::string yaml(std::string_view text)
{
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += ch;
    }
    return out + "\"";
}

// A test point's description: a # would start a directive.
std::string description(std::string_view text)
{
    std::string out;
    for (char ch : text) {
        if (ch == '#' || ch == '\\')
            out += '\\';
        out += ch;
    }
    return out;
}

std::string step_name(const kxscript_report &r)
{
    return say(Text::line, {std::to_string(r.step->line)}) + shown(r.step->source);
}

} // namespace

kxscript_parsed kxscript_parse(std::string_view text, const kxscript_options &o)
{
    kxscript_parsed p;
    int number = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        Line l;
        l.text = text.substr(at, end - at);
        if (!l.text.empty() && l.text.back() == '\r')
            l.text.remove_suffix(1);
        at = end + 1;
        number++;
        kxscript_step s;
        s.line = number;
        if (read_line(l, o, &s)) {
            p.script.expects += is_expect(s) ? 1 : 0;
            p.script.steps.push_back(std::move(s));
        } else if (!l.error.empty()) {
            return fault(number, l.error);
        }
    }
    p.ok = true;
    return p;
}

kxscript_parsed kxscript_load(const char *file, const kxscript_options &o)
{
    std::error_code ec;
    std::ifstream in(file ? file : "", std::ios::binary);
    if (!in || std::filesystem::is_directory(file, ec))
        return fault(0, say(Text::file, {file ? file : ""}));
    // In pieces: a script is small, and a file that never ends (a pipe, a
    // device) is cut at the limit.
    std::string text;
    char piece[4096];
    while (text.size() <= KX_SCRIPT_SIZE_MAX && in.read(piece, sizeof piece).gcount() > 0)
        text.append(piece, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return fault(0, say(Text::file, {file}));
    if (text.size() > KX_SCRIPT_SIZE_MAX)
        return fault(0, say(Text::too_large, {file}));
    return kxscript_parse(text, o);
}

void kxscript_start(kxscript_run *r, const kxscript *script, kxscript_host host)
{
    *r = kxscript_run{};
    r->script = script;
    r->host = std::move(host);
    r->start = r->host.now();
}

void kxscript_received(kxscript_run *r, std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    r->lines.emplace_back(line);
    if (r->lines.size() > KX_SCRIPT_KEPT)
        r->lines.pop_front();
}

std::int64_t kxscript_advance(kxscript_run *r)
{
    while (r->state == kxscript_state::running) {
        if (r->next >= r->script->steps.size()) {
            r->state = kxscript_state::passed;
            break;
        }
        const kxscript_step &s = r->script->steps[r->next];
        const std::int64_t now = r->host.now();
        if (!r->begun) {
            r->begun = true;
            r->step_start = now;
            r->deadline = now + s.ms;
        }
        if (s.kind == kxscript_kind::wait) {
            if (now < r->deadline)
                return r->deadline;
            finish_step(r, report_of(r, kxscript_verdict::held, say(Text::waited)));
        } else if (is_expect(s)) {
            if (!expect(r, s, now))
                return r->deadline;
        } else {
            act(r, s);
        }
    }
    return -1;
}

bool kxscript_listening(const kxscript_run *r)
{
    return r->state == kxscript_state::running && r->next < r->script->steps.size() &&
           is_expect(r->script->steps[r->next]);
}

std::string kxscript_line(const kxscript_report &r)
{
    char at[32];
    std::snprintf(at, sizeof at, "%7.3f", static_cast<double>(r.at) / 1000.0);
    return std::string(at) + "  " + step_name(r) + "  " + r.result;
}

std::string kxscript_tap_plan(const kxscript &s)
{
    return "TAP version 13\n1.." + std::to_string(s.expects) + "\n";
}

std::string kxscript_tap(const kxscript_report &r)
{
    if (r.aborted)
        return "";  // after a "Bail out!" nothing is read
    if (!r.point) {
        if (r.verdict == kxscript_verdict::failed)
            return "Bail out! " + step_name(r) + ": " + r.result + "\n";
        return "# " + kxscript_line(r) + "\n";
    }
    const std::string name = std::to_string(r.point) + " - " + description(step_name(r));
    switch (r.verdict) {
    case kxscript_verdict::held:
        return "ok " + name + "\n";
    case kxscript_verdict::notrun:
        return "ok " + name + " # SKIP " + description(r.result) + "\n";
    default:
        break;
    }
    char at[32];
    std::snprintf(at, sizeof at, "%.3f", static_cast<double>(r.at) / 1000.0);
    std::string out = "not ok " + name + "\n  ---\n";
    out += "  message: " + yaml(r.result) + "\n";
    out += "  expected: " + yaml(r.expected) + "\n";
    out += "  got: " + yaml(r.got) + "\n";
    out += "  lines: " + std::to_string(r.lines) + "\n";
    out += "  at: " + std::string(at) + "\n  ...\n";
    return out;
}
