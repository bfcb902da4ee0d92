// The RFC 2217 client: Telnet's option negotiation (RFC 854, 855) driven by
// a table of the options this client wants, and the COM-PORT-OPTION
// commands and answers driven by a table of what each command sets.
#include "base/rfc2217.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

enum : unsigned char {
    IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240,
    OPT_BINARY = 0, OPT_SGA = 3, OPT_COMPORT = 44,
};
// Server answers are the client's command codes plus this.
constexpr int ANSWER = 100;
constexpr int CMD_SETCONTROL = 5;
constexpr int CMD_MODEMSTATE = 7;
constexpr int CMD_SUSPEND = 8;
constexpr int CMD_RESUME = 9;
constexpr int CMD_MODEMMASK = 11;

enum State : std::uint8_t { DATA, GOT_IAC, GOT_VERB, SUB, SUB_IAC };

// The options this client takes: on its own side (it sends WILL) and on
// the server's (it sends DO).  Any other option is refused.
struct OptionRow {
    unsigned char code;
    bool ours, theirs;
};
constexpr OptionRow option_rows[KX_RFC2217_OPTIONS] = {
    {OPT_BINARY, true, true},
    {OPT_SGA, true, true},
    {OPT_COMPORT, true, true},
};

// What each command sets: its code, the bytes of its value, whether the
// answer is awaited, and the names its values go by in a refusal.
struct SetRow {
    kxrfc2217set what;
    unsigned char code;
    int size;
    bool awaited;
    const char *name;
};
constexpr SetRow set_rows[KX_RFC2217_SETS] = {
    {kxrfc2217set::baud, 1, 4, true, "SET-BAUDRATE"},
    {kxrfc2217set::datasize, 2, 1, true, "SET-DATASIZE"},
    {kxrfc2217set::parity, 3, 1, true, "SET-PARITY"},
    {kxrfc2217set::stopsize, 4, 1, true, "SET-STOPSIZE"},
    {kxrfc2217set::flow, CMD_SETCONTROL, 1, true, "SET-CONTROL"},
    {kxrfc2217set::dtr, CMD_SETCONTROL, 1, false, "SET-CONTROL"},
    {kxrfc2217set::rts, CMD_SETCONTROL, 1, false, "SET-CONTROL"},
    {kxrfc2217set::brk, CMD_SETCONTROL, 1, false, "SET-CONTROL"},
};

// SET-CONTROL's values, and what each sets: on (1) or off (0) for the
// lines, the flow code otherwise.  Values that ask (0, 4, 7, 10, 13) and
// inbound flow are not listed: their answers set nothing here.
struct ControlRow {
    unsigned char value;
    kxrfc2217set what;
    std::uint32_t setting;
    const char *name;
};
constexpr ControlRow control_rows[] = {
    {1, kxrfc2217set::flow, KX_RFC2217_FLOW_NONE, "NO-FLOW"},
    {2, kxrfc2217set::flow, KX_RFC2217_FLOW_XONXOFF, "XON-XOFF"},
    {3, kxrfc2217set::flow, KX_RFC2217_FLOW_RTSCTS, "RTS-CTS"},
    {5, kxrfc2217set::brk, 1, "BREAK-ON"},
    {6, kxrfc2217set::brk, 0, "BREAK-OFF"},
    {8, kxrfc2217set::dtr, 1, "DTR-ON"},
    {9, kxrfc2217set::dtr, 0, "DTR-OFF"},
    {11, kxrfc2217set::rts, 1, "RTS-ON"},
    {12, kxrfc2217set::rts, 0, "RTS-OFF"},
};

constexpr const char *parity_names[] = {"?", "NONE", "ODD", "EVEN", "MARK", "SPACE"};
constexpr const char *stop_names[] = {"?", "1", "2", "1.5"};

const SetRow &row_of(kxrfc2217set what) { return set_rows[static_cast<int>(what)]; }

const ControlRow *control_of(kxrfc2217set what, std::uint32_t setting)
{
    for (const ControlRow &c : control_rows)
        if (c.what == what && c.setting == setting)
            return &c;
    return nullptr;
}

const ControlRow *control_value(unsigned value)
{
    for (const ControlRow &c : control_rows)
        if (c.value == value)
            return &c;
    return nullptr;
}

// A value as a refusal names it.
void describe(kxrfc2217set what, std::uint32_t v, char *text, std::size_t size)
{
    const ControlRow *c = row_of(what).code == CMD_SETCONTROL ? control_of(what, v) : nullptr;
    if (c)
        std::snprintf(text, size, "%s", c->name);
    else if (what == kxrfc2217set::parity && v < std::size(parity_names))
        std::snprintf(text, size, "%s", parity_names[v]);
    else if (what == kxrfc2217set::stopsize && v < std::size(stop_names))
        std::snprintf(text, size, "%s", stop_names[v]);
    else
        std::snprintf(text, size, "%lu", static_cast<unsigned long>(v));
}

void put(unsigned char *box, int *length, int room, const unsigned char *bytes, int n)
{
    if (*length + n > room)
        return;  // a server flooding requests loses their replies, not our memory
    std::memcpy(box + *length, bytes, static_cast<std::size_t>(n));
    *length += n;
}

void reply(kxrfc2217 *t, unsigned char verb, unsigned char option)
{
    const unsigned char bytes[] = {IAC, verb, option};
    put(t->out, &t->outlength, KX_RFC2217_OUTBOX, bytes, 3);
}

// IAC SB COM-PORT-OPTION code value IAC SE, the value's 0xFF doubled; held
// until the server has taken the option.
void command(kxrfc2217 *t, unsigned char code, std::uint32_t value, int size)
{
    unsigned char bytes[4 + 2 * 4 + 2] = {IAC, SB, OPT_COMPORT, code};
    int n = 4;
    for (int i = size - 1; i >= 0; i--) {
        bytes[n++] = static_cast<unsigned char>(value >> (8 * i));
        if (bytes[n - 1] == IAC)
            bytes[n++] = IAC;
    }
    bytes[n++] = IAC;
    bytes[n++] = SE;
    if (t->comport)
        put(t->out, &t->outlength, KX_RFC2217_OUTBOX, bytes, n);
    else
        put(t->held, &t->heldlength, KX_RFC2217_HELD, bytes, n);
}

int option_row(unsigned char code)
{
    for (int i = 0; i < KX_RFC2217_OPTIONS; i++)
        if (option_rows[i].code == code)
            return i;
    return -1;
}

void comport_taken(kxrfc2217 *t)
{
    if (t->comport)
        return;
    put(t->out, &t->outlength, KX_RFC2217_OUTBOX, t->held, t->heldlength);
    t->heldlength = 0;
}

// WILL / WONT (the server's side) or DO / DONT (ours), after RFC 1143: a
// change is answered unless it answers our own request; a state that does
// not change is not answered, so that two parties never loop.
void negotiate(kxrfc2217 *t, unsigned char verb, unsigned char option)
{
    const bool theirs = verb == WILL || verb == WONT;
    const bool on = verb == WILL || verb == DO;
    const int r = option_row(option);
    const bool wanted = r >= 0 && (theirs ? option_rows[r].theirs : option_rows[r].ours);
    if (r < 0) {
        if (on)
            reply(t, theirs ? DONT : WONT, option);
        return;
    }
    bool &enabled = theirs ? t->theirs[r] : t->ours[r];
    bool &asked = theirs ? t->asked_theirs[r] : t->asked_ours[r];
    const bool was_asked = asked;
    asked = false;
    if (on && !wanted) {
        reply(t, theirs ? DONT : WONT, option);
    } else if (on != enabled) {
        enabled = on;
        if (!was_asked)
            reply(t, theirs ? (on ? DO : DONT) : (on ? WILL : WONT), option);
    }
    if (option == OPT_COMPORT && !theirs) {
        if (on)
            comport_taken(t);
        t->declined = !on;
        t->comport = on;
    }
}

// An answer to a command: the value the server has now.  Once the last
// request of its kind is answered, another value than the one asked for is
// a refusal.
void answered(kxrfc2217 *t, kxrfc2217set what, std::uint32_t value)
{
    const int k = static_cast<int>(what);
    t->answered[k] = value;
    if (t->pending[k] == 0)
        return;
    if (--t->pending[k] > 0 || value == t->asked[k] || t->refused[0])
        return;
    char want[24], got[24];
    describe(what, t->asked[k], want, sizeof want);
    describe(what, value, got, sizeof got);
    std::snprintf(t->refused, sizeof t->refused, "%s %s -> %s", row_of(what).name, want, got);
}

std::uint32_t value_of(const unsigned char *v, int n)
{
    std::uint32_t x = 0;
    for (int i = 0; i < n; i++)
        x = x << 8 | v[i];
    return x;
}

void subnegotiation(kxrfc2217 *t)
{
    if (t->sublength < 2 || t->sub[0] != OPT_COMPORT)
        return;
    const int code = t->sub[1] - ANSWER;
    const unsigned char *v = t->sub + 2;
    const int n = t->sublength - 2;
    if (code == CMD_MODEMSTATE && n >= 1) {
        t->modem = v[0];
    } else if (code == CMD_SUSPEND || code == CMD_RESUME) {
        t->suspended = code == CMD_SUSPEND;
    } else if (code == CMD_SETCONTROL && n >= 1) {
        if (const ControlRow *c = control_value(v[0]))
            answered(t, c->what, c->setting);
    } else {
        for (const SetRow &s : set_rows)
            if (s.code == code && s.code != CMD_SETCONTROL && n >= s.size)
                answered(t, s.what, value_of(v, s.size));
    }
}

void sub_byte(kxrfc2217 *t, unsigned char c)
{
    if (t->sublength < 0)
        return;
    if (t->sublength == KX_RFC2217_SUB)
        t->sublength = -1;
    else
        t->sub[t->sublength++] = c;
}

} // namespace

void kxrfc2217_start(kxrfc2217 *t)
{
    *t = kxrfc2217{};
    std::fill(std::begin(t->answered), std::end(t->answered), -1);
    for (int r = 0; r < KX_RFC2217_OPTIONS; r++) {
        if (option_rows[r].ours) {
            reply(t, WILL, option_rows[r].code);
            t->asked_ours[r] = true;
        }
        // COM-PORT-OPTION is the client's side; the server is not asked for it.
        if (option_rows[r].theirs && option_rows[r].code != OPT_COMPORT) {
            reply(t, DO, option_rows[r].code);
            t->asked_theirs[r] = true;
        }
    }
}

int kxrfc2217_feed(kxrfc2217 *t, const unsigned char *in, int n, unsigned char *data)
{
    int count = 0;
    for (int i = 0; i < n; i++) {
        const unsigned char c = in[i];
        switch (t->state) {
        case DATA:
            if (c == IAC)
                t->state = GOT_IAC;
            else
                data[count++] = c;
            break;
        case GOT_IAC:
            t->state = DATA;
            if (c == IAC) {
                data[count++] = c;
            } else if (c >= WILL && c <= DONT) {
                t->verb = c;
                t->state = GOT_VERB;
            } else if (c == SB) {
                t->sublength = 0;
                t->state = SUB;
            }  // NOP, GA and the other commands mean nothing to a serial line
            break;
        case GOT_VERB:
            negotiate(t, t->verb, c);
            t->state = DATA;
            break;
        case SUB:
            if (c == IAC)
                t->state = SUB_IAC;
            else
                sub_byte(t, c);
            break;
        case SUB_IAC:
            if (c == IAC) {
                sub_byte(t, c);
                t->state = SUB;
            } else {
                // SE, or a server that broke off: the sub-negotiation ends.
                if (c == SE)
                    subnegotiation(t);
                t->state = DATA;
            }
            break;
        }
    }
    return count;
}

int kxrfc2217_escape(const unsigned char *in, int n, unsigned char *out)
{
    int k = 0;
    for (int i = 0; i < n; i++) {
        out[k++] = in[i];
        if (in[i] == IAC)
            out[k++] = IAC;
    }
    return k;
}

void kxrfc2217_set(kxrfc2217 *t, kxrfc2217set what, std::uint32_t value)
{
    const SetRow &s = row_of(what);
    std::uint32_t sent = value;
    if (s.code == CMD_SETCONTROL) {
        const ControlRow *c = control_of(what, what == kxrfc2217set::flow ? value : value != 0);
        if (!c)
            return;
        sent = c->value;
        value = c->setting;
    }
    const int k = static_cast<int>(what);
    t->asked[k] = value;
    t->pending[k]++;
    command(t, s.code, sent, s.size);
}

void kxrfc2217_setline(kxrfc2217 *t, const kxrfc2217line &line)
{
    kxrfc2217_set(t, kxrfc2217set::baud, static_cast<std::uint32_t>(line.baud));
    kxrfc2217_set(t, kxrfc2217set::datasize, static_cast<std::uint32_t>(line.datasize));
    kxrfc2217_set(t, kxrfc2217set::parity, static_cast<std::uint32_t>(line.parity));
    kxrfc2217_set(t, kxrfc2217set::stopsize, static_cast<std::uint32_t>(line.stopsize));
    kxrfc2217_set(t, kxrfc2217set::flow, static_cast<std::uint32_t>(line.flow));
    kxrfc2217_set(t, kxrfc2217set::dtr, line.dtr);
    kxrfc2217_set(t, kxrfc2217set::rts, line.rts);
    command(t, CMD_MODEMMASK, 0xFF, 1);
}

bool kxrfc2217_settled(const kxrfc2217 *t)
{
    if (!t->comport)
        return false;
    for (const SetRow &s : set_rows)
        if (s.awaited && t->pending[static_cast<int>(s.what)] > 0)
            return false;
    return true;
}

int kxrfc2217_take(kxrfc2217 *t, unsigned char *buf, int size)
{
    const int n = std::min(size, t->outlength);
    std::memcpy(buf, t->out, static_cast<std::size_t>(n));
    std::memmove(t->out, t->out + n, static_cast<std::size_t>(t->outlength - n));
    t->outlength -= n;
    return n;
}
