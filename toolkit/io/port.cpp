// Byte, string and line access to serial ports over the device layer, and
// the reasons of their failures in words.
#include "io/port.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "base/id.h"
#include "core/app.h"
#include "core/event.h"
#include "core/language.h"

namespace {

int current_port = 0;
int read_timeout = KX_PORT_TIMEOUT_START;
bool exit_registered = false;
int arrival_id = 0;

// One partial line for the whole program, whichever port it came from, and
// the byte read after a CR that turned out not to be its LF.
struct Carry {
    char bytes[KX_LINE_MAX + 1] = {};
    int length = 0;
    int stamp = 0;
    bool held = false;
    int pushed = -1;
};
Carry carry;

// The last problem kxport_open printed for each port, so that a retry
// loop prints it once.
std::array<std::string, KX_PORTS> told;

bool valid_port(int port) { return port >= 1 && port <= KX_PORTS; }

bool line_end(int c) { return c == '\n' || c == '\r'; }

int next_byte(int port)
{
    if (carry.pushed >= 0) {
        int c = carry.pushed;
        carry.pushed = -1;
        return c;
    }
    return kxport_getc(port);
}

// The line that was kept, copied to the start of buf; its length.
int take_carry(char *buf, int *stamp)
{
    if (!carry.held)
        return 0;
    std::memcpy(buf, carry.bytes, static_cast<std::size_t>(carry.length));
    if (stamp)
        *stamp = carry.stamp;
    carry.held = false;
    return carry.length;
}

void keep_carry(const char *buf, int length, int stamp)
{
    std::memcpy(carry.bytes, buf, static_cast<std::size_t>(length));
    carry.length = length;
    carry.stamp = stamp;
    carry.held = true;
}

// Reads a line into buf; its length, or -1 when it is not complete yet.
// with_end keeps the line end (and takes the LF after a CR with it).
int read_line(int port, char *buf, int count, bool with_end, int *stamp)
{
    int when = 0;
    int length = take_carry(buf, &when);
    while (length < count) {
        int c = next_byte(port);
        if (c < 0) {
            if (length > 0 && kxport_lost(port))
                break;  // the device has gone: what it sent is all there is
            if (length > 0)
                keep_carry(buf, length, when);
            buf[0] = 0;  // no line: the caller finds none, not a part of one
            return -1;
        }
        if (length == 0)
            when = kxsys_daytime_ms();
        if (line_end(c)) {
            if (with_end) {
                buf[length++] = static_cast<char>(c);
                int next = c == '\r' ? next_byte(port) : -1;
                if (next == '\n')
                    buf[length++] = '\n';
                else
                    carry.pushed = next;
            }
            break;
        }
        buf[length++] = static_cast<char>(c);
        if (length >= KX_LINE_MAX)
            break;
    }
    buf[length] = 0;
    if (stamp)
        *stamp = when;
    return length;
}

// The words of each fault: without and with the detail, English and German.
struct FaultText {
    kxserialfault fault;
    const char *text[2][2];  // [language][with detail]
};

constexpr FaultText fault_texts[] = {
    {kxserialfault::missing, {{"does not exist", "does not exist"},
                              {"existiert nicht", "existiert nicht"}}},
    {kxserialfault::access,
     {{"no permission", "no permission (the user must be in the group %s)"},
      {"keine Berechtigung", "keine Berechtigung (der Benutzer muss Mitglied der Gruppe %s sein)"}}},
    {kxserialfault::busy,
     {{"in use by another program", "in use by another program: %s"},
      {"wird von einem anderen Programm benutzt", "wird von einem anderen Programm benutzt: %s"}}},
    {kxserialfault::rate,
     {{"baud rate refused by the driver", "baud rate %s refused by the driver"},
      {"Baudrate vom Treiber abgelehnt", "Baudrate %s vom Treiber abgelehnt"}}},
    {kxserialfault::setting,
     {{"line settings refused by the driver", "line settings refused by the driver (%s)"},
      {"Einstellungen vom Treiber abgelehnt", "Einstellungen vom Treiber abgelehnt (%s)"}}},
    {kxserialfault::lost, {{"device gone", "device gone (%s)"},
                           {"Ger\xe4t getrennt", "Ger\xe4t getrennt (%s)"}}},
    {kxserialfault::timeout,
     {{"the device took nothing for 2 s", "the device took nothing for 2 s"},
      {"Ger\xe4t nimmt seit 2 s nichts an", "Ger\xe4t nimmt seit 2 s nichts an"}}},
    {kxserialfault::system, {{"failed", "%s"}, {"fehlgeschlagen", "%s"}}},
    {kxserialfault::unresolved,
     {{"server name does not resolve", "server name %s does not resolve"},
      {"Servername nicht aufl\xf6sbar", "Servername %s nicht aufl\xf6sbar"}}},
    {kxserialfault::refused,
     {{"connection refused by the server", "connection refused by the server"},
      {"Verbindung vom Server abgelehnt", "Verbindung vom Server abgelehnt"}}},
    {kxserialfault::unanswered,
     {{"the server did not answer within 5 s", "the server did not answer within 5 s"},
      {"Server hat in 5 s nicht geantwortet", "Server hat in 5 s nicht geantwortet"}}},
    {kxserialfault::protocol,
     {{"the server does not speak RFC 2217", "the server does not speak RFC 2217"},
      {"Server spricht kein RFC 2217", "Server spricht kein RFC 2217"}}},
    {kxserialfault::answered,
     {{"setting refused by the server", "setting refused by the server: %s"},
      {"Einstellung vom Server abgelehnt", "Einstellung vom Server abgelehnt: %s"}}},
};

// A lost serial server's connection, by how it was lost.
struct LossText {
    kxserialloss loss;
    const char *text[2];  // [language]
};

constexpr LossText loss_texts[] = {
    {kxserialloss::closed, {"connection closed by the server", "Verbindung vom Server getrennt"}},
    {kxserialloss::silent, {"the server stopped answering", "Server antwortet nicht mehr"}},
};


// Bytes arrived on the current port while the program waited: its id wakes
// the application, which reads the port after every id, at once rather than
// at its next timer.  Like a timer's, it is not posted during a modal wait
// or into a busy queue.
void post_arrival()
{
    if (valid_port(current_port) && kxserial_arrived(current_port - 1) && !kxapp_modal() &&
        kxevent_has_room())
        kxevent_post(arrival_id);
}

// The layer's first open registers its clean-up and its arrival id.
void first_open()
{
    if (exit_registered)
        return;
    kxapp_atcleanup(kxport_closeall);
    exit_registered = true;
    arrival_id = kxid_new();
    kxevent_setdevicehook(post_arrival);
}

// The result of an open; a failure is printed once for each new problem,
// so that a retry loop prints it once.
bool opened(int port, bool ok)
{
    std::string &last = told[static_cast<std::size_t>(port - 1)];
    if (ok) {
        last.clear();
        return true;
    }
    std::string problem = kxport_problem(port);
    if (problem != last)
        std::printf("kxport_open: %s: %s\n", kxport_device(port).c_str(), problem.c_str());
    last = problem;
    return false;
}

} // namespace

int kxport_getc(int port)
{
    if (!valid_port(port))
        return -1;
    const int slot = port - 1;
    int c = kxserial_getc(slot);
    if (c >= 0 || read_timeout < KX_PORT_POLL_MS)
        return c;
    // The host's wait may end early (input, timers): count on the clock.
    const std::int64_t deadline = kxsys_ticks() + read_timeout;
    while (c < 0 && kxserial_isopen(slot) && kxsys_ticks() < deadline) {
        kxsys_idle();
        c = kxserial_getc(slot);
    }
    return c;
}

bool kxport_putc(int port, int byte)
{
    return valid_port(port) && kxserial_putc(port - 1, byte);
}

bool kxport_puts(int port, const char *text)
{
    if (!text)
        return false;
    for (const char *p = text; *p; p++)
        if (!kxport_putc(port, static_cast<unsigned char>(*p)))
            return false;
    return true;
}

bool kxport_gets(int port, char *buf, int count)
{
    if (!buf || count < 0)
        return false;
    return read_line(port, buf, count, false, nullptr) >= 0;
}

int kxport_getline(int port, char *buf, int count, int *stamp)
{
    if (!buf || count < 0)
        return -1;
    return read_line(port, buf, std::min(count, KX_LINE_MAX), true, stamp);
}

void kxport_close(int port)
{
    if (valid_port(port))
        kxserial_close(port - 1);
}

bool kxport_open(int port, int baud)
{
    current_port = port;
    if (!valid_port(port))
        return false;
    first_open();
    return opened(port, kxserial_open(port - 1, baud));
}

bool kxport_reopen(int port)
{
    current_port = port;
    if (!valid_port(port))
        return false;
    first_open();
    return opened(port, kxserial_reopen(port - 1));
}

bool kxport_write(const char *text) { return kxport_puts(current_port, text); }

bool kxport_readline(char *buf, int count) { return kxport_gets(current_port, buf, count); }

int kxport_readbytes(char *buf, int count, int *stamp)
{
    return kxport_getline(current_port, buf, count, stamp);
}

void kxport_settimeout(int ms) { read_timeout = ms; }

int kxport_current() { return current_port; }

int kxport_arrivalid() { return arrival_id; }

void kxport_closeall()
{
    for (int port = 1; port <= KX_PORTS; port++)
        kxport_close(port);
}

void kxport_reset() { carry = Carry{}; }

bool kxport_lost(int port)
{
    const kxserialstatus *st = valid_port(port) ? kxserial_status(port - 1) : nullptr;
    return st && st->fault == kxserialfault::lost;
}

std::string kxport_device(int port)
{
    std::string name = "COM" + std::to_string(port);
    const kxserialstatus *st = valid_port(port) ? kxserial_status(port - 1) : nullptr;
    if (!st)
        return name;
    std::string path = st->path;
    if (path.empty())
        path = kxserial_device(port - 1).path;
    return path.empty() || path == name ? name : name + " (" + path + ")";
}

std::string kxport_problem(int port)
{
    const kxserialstatus *st = valid_port(port) ? kxserial_status(port - 1) : nullptr;
    const int language = kxlanguage_get() == KX_LANG_GERMAN ? 1 : 0;
    if (!st || st->fault == kxserialfault::none) {
        if (st && kxserial_isopen(port - 1))
            return "";
        return language ? "nicht ge\xf6""ffnet" : "not open";
    }
    for (const LossText &l : loss_texts)
        if (st->fault == kxserialfault::lost && l.loss == st->loss)
            return l.text[language];
    for (const FaultText &f : fault_texts) {
        if (f.fault != st->fault)
            continue;
        const bool detail = st->detail[0] != 0;
        char text[KX_SERIAL_TEXT * 2];
        std::snprintf(text, sizeof text, f.text[language][detail], st->detail);
        return text;
    }
    return "";
}
