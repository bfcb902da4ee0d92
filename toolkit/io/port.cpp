// Byte, string and line access to serial ports over the device layer.
#include "io/port.h"

#include <cstring>

#include "core/app.h"
#include "core/event.h"

namespace {

int current_port = 0;
int read_timeout = KX_PORT_TIMEOUT_START;
bool exit_registered = false;
int arrival_id = 0;

// One partial line for the whole program, whichever port it came from.
char carry[KX_LINE_MAX + 1];
bool carry_held = false;

bool valid_port(int port) { return port >= 1 && port <= KX_PORTS; }

bool line_end(int c) { return c == '\n' || c == '\r'; }

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

} // namespace

int kxport_getc(int port)
{
    if (!valid_port(port))
        return -1;
    int c = kxserial_getc(port - 1);
    for (int round = 0; c < 0 && round < read_timeout / KX_PORT_POLL_MS; round++) {
        c = kxserial_getc(port - 1);
        if (c >= 0)
            break;
        kxsys_idle();
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
    int length = 0;
    if (carry_held) {
        // The carry is NUL-terminated at its length, which the line reader
        // kept below KX_LINE_MAX.
        length = static_cast<int>(std::strlen(carry));
        std::memcpy(buf, carry, static_cast<std::size_t>(length) + 1);
        carry_held = false;
    }
    while (length < count) {
        int c = kxport_getc(port);
        if (c < 0) {
            if (length > 0) {
                buf[length] = 0;
                std::memcpy(carry, buf, static_cast<std::size_t>(length) + 1);
                carry_held = true;
            }
            return false;
        }
        if (line_end(c))
            break;
        buf[length++] = static_cast<char>(c);
        if (length >= KX_LINE_MAX)
            break;
    }
    buf[length] = 0;
    char *cut = std::strpbrk(buf, "\r\n");
    if (cut)
        *cut = 0;
    return true;
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
    if (!exit_registered) {
        kxapp_atcleanup(kxport_closeall);
        exit_registered = true;
        arrival_id = kxid_new();
        kxevent_setdevicehook(post_arrival);
    }
    return kxserial_open(port - 1, baud);
}

bool kxport_write(const char *text) { return kxport_puts(current_port, text); }

bool kxport_readline(char *buf, int count) { return kxport_gets(current_port, buf, count); }

void kxport_settimeout(int ms) { read_timeout = ms; }

int kxport_current() { return current_port; }

int kxport_arrivalid() { return arrival_id; }

void kxport_closeall()
{
    for (int port = 1; port <= KX_PORTS; port++)
        kxport_close(port);
}

void kxport_reset() { carry_held = false; }
