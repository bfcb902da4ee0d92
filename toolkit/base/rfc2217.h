// The client side of RFC 2217, the Telnet COM-PORT-OPTION through which a
// serial server (ser2net, lab terminal servers) lets its client set the
// line: one state machine fed the bytes that come from the server.  It
// turns them into the port's data bytes and the server's answers, and
// gathers what must go back (Telnet replies, the commands that set the
// line) in its outbox.  It holds no socket: the transport moves the bytes.
//
// Byte 0xFF is Telnet's IAC: in data it travels doubled, both ways.
#pragma once

#include <cstdint>

constexpr int KX_RFC2217_OUTBOX = 1024;  // replies beyond it are dropped
constexpr int KX_RFC2217_HELD = 256;     // commands written before the server took the option
constexpr int KX_RFC2217_SUB = 64;       // longest sub-negotiation read; longer ones are skipped
constexpr int KX_RFC2217_TEXT = 96;
constexpr int KX_RFC2217_OPTIONS = 3;    // rows of the option table

// What the COM-PORT-OPTION commands set; SET-CONTROL carries the last four.
enum class kxrfc2217set : std::uint8_t { baud, datasize, parity, stopsize, flow, dtr, rts, brk };
constexpr int KX_RFC2217_SETS = 8;

// Values as the RFC numbers them.
enum : int {
    KX_RFC2217_PARITY_NONE = 1, KX_RFC2217_PARITY_ODD, KX_RFC2217_PARITY_EVEN,
    KX_RFC2217_PARITY_MARK, KX_RFC2217_PARITY_SPACE,
};
enum : int { KX_RFC2217_STOP_1 = 1, KX_RFC2217_STOP_2, KX_RFC2217_STOP_15 };
enum : int { KX_RFC2217_FLOW_NONE = 1, KX_RFC2217_FLOW_XONXOFF, KX_RFC2217_FLOW_RTSCTS };
// NOTIFY-MODEMSTATE bits.
enum : int {
    KX_RFC2217_CTS = 0x10, KX_RFC2217_DSR = 0x20, KX_RFC2217_RI = 0x40, KX_RFC2217_CD = 0x80,
};

// The line a port asks the server for.
struct kxrfc2217line {
    int baud = 9600;
    int datasize = 8;  // 5..8
    int parity = KX_RFC2217_PARITY_NONE;
    int stopsize = KX_RFC2217_STOP_1;
    int flow = KX_RFC2217_FLOW_NONE;
    bool dtr = true;
    bool rts = true;
};

struct kxrfc2217 {
    // The reader: where in a Telnet sequence the last byte fed left it.
    std::uint8_t state = 0;
    std::uint8_t verb = 0;  // WILL, WONT, DO or DONT awaiting its option
    unsigned char sub[KX_RFC2217_SUB] = {};
    int sublength = 0;      // -1: too long, skipped to its end
    // Per row of the option table: enabled on our side / theirs, and asked
    // for by us, so that an agreement is not answered again.
    bool ours[KX_RFC2217_OPTIONS] = {};
    bool theirs[KX_RFC2217_OPTIONS] = {};
    bool asked_ours[KX_RFC2217_OPTIONS] = {};
    bool asked_theirs[KX_RFC2217_OPTIONS] = {};
    bool comport = false;   // the server took COM-PORT-OPTION
    bool declined = false;  // the server refused it
    // Commands sent and not answered yet, and the value last asked for.
    int pending[KX_RFC2217_SETS] = {};
    std::uint32_t asked[KX_RFC2217_SETS] = {};
    std::int64_t answered[KX_RFC2217_SETS] = {};  // the server's last answer; -1 none
    // The first command the server answered with another value:
    // "SET-BAUDRATE 115200 -> 9600".
    char refused[KX_RFC2217_TEXT] = {};
    int modem = -1;         // the last NOTIFY-MODEMSTATE; -1 before any
    bool suspended = false; // FLOWCONTROL-SUSPEND until FLOWCONTROL-RESUME
    unsigned char out[KX_RFC2217_OUTBOX] = {};
    int outlength = 0;
    unsigned char held[KX_RFC2217_HELD] = {};
    int heldlength = 0;
};

// A fresh machine with its opening negotiation in the outbox: we will
// COM-PORT-OPTION, and BINARY and SUPPRESS-GO-AHEAD both ways.
void kxrfc2217_start(kxrfc2217 *t);
// Feeds n bytes from the server; the data bytes among them go to data (room
// for n) and their count is returned.  Sequences may be split anywhere
// between feeds.
int kxrfc2217_feed(kxrfc2217 *t, const unsigned char *in, int n, unsigned char *data);
// n data bytes as they go to the server, 0xFF doubled; out has room for 2n.
int kxrfc2217_escape(const unsigned char *in, int n, unsigned char *out);
// Writes the commands that set the whole line, and asks for the server's
// modem-state notices.  Written before the server took the option, they
// wait for it.
void kxrfc2217_setline(kxrfc2217 *t, const kxrfc2217line &line);
// One command: a rate, a size, a parity or stop code, a flow code, or for
// DTR, RTS and BREAK 1 (on) or 0 (off).
void kxrfc2217_set(kxrfc2217 *t, kxrfc2217set what, std::uint32_t value);
// True once the server took the option and answered every command that
// it must answer (rate, framing, flow; a server without modem lines leaves
// DTR and RTS unanswered).
bool kxrfc2217_settled(const kxrfc2217 *t);
// Moves up to size bytes of the outbox to buf; their count.
int kxrfc2217_take(kxrfc2217 *t, unsigned char *buf, int size);
