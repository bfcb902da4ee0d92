// Serial ports on serial servers: the URL read, the connection made and
// kept by the host's sockets, and over rfc2217:// the protocol module
// between the socket and the port's bytes.
#include "platform/netport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/rfc2217.h"
#include "platform/sockethost.h"

namespace {

constexpr int NET_HELD = 4096;  // data that came while the line was being set
constexpr int NET_WIRE = 4096;  // bytes taken from the socket at once

struct Scheme {
    const char *prefix;
    bool rfc2217;
};
constexpr Scheme schemes[] = {{"tcp://", false}, {"rfc2217://", true}};

struct Url {
    bool rfc2217 = false;
    std::string host, service;
};

struct NetPort {
    kxserialhandle handle = KX_SERIAL_NOHANDLE;
    bool connecting = false;     // handed back before the server accepted
    std::int64_t deadline = 0;   // for the connect still being made
    std::string url;
    bool rfc2217 = false;
    kxrfc2217 proto;
    unsigned char held[NET_HELD] = {};
    int head = 0, tail = 0;
};

std::unique_ptr<NetPort> ports[KX_SERIAL_SLOTS];

const Scheme *scheme_of(const char *path)
{
    for (const Scheme &s : schemes) {
        const std::size_t n = std::strlen(s.prefix);
        if (std::strlen(path) >= n) {
            bool same = true;
            for (std::size_t i = 0; i < n && same; i++)
                same = std::tolower(static_cast<unsigned char>(path[i])) == s.prefix[i];
            if (same)
                return &s;
        }
    }
    return nullptr;
}

// "host:port" or "[v6]:port", a trailing slash allowed; false when the
// host or the port number is missing.
bool parse(const char *path, Url *u)
{
    const Scheme *s = scheme_of(path);
    if (!s)
        return false;
    u->rfc2217 = s->rfc2217;
    std::string rest = path + std::strlen(s->prefix);
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    u->host = rest.substr(0, colon);
    u->service = rest.substr(colon + 1);
    if (u->host.size() > 2 && u->host.front() == '[' && u->host.back() == ']')
        u->host = u->host.substr(1, u->host.size() - 2);
    if (u->service.empty() || u->service.size() > 5 ||
        u->service.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long port = std::strtol(u->service.c_str(), nullptr, 10);
    return port >= 1 && port <= 65535;
}

NetPort *port_of(int slot)
{
    return slot >= 0 && slot < KX_SERIAL_SLOTS ? ports[slot].get() : nullptr;
}

void drop(NetPort *p)
{
    if (p->handle != KX_SERIAL_NOHANDLE)
        kxsockhost_close(p->handle);
    p->handle = KX_SERIAL_NOHANDLE;
    p->connecting = false;
    p->head = p->tail = 0;
}

// Sends what the protocol has to say (replies, commands).
bool flush(NetPort *p, kxserialstatus *st)
{
    unsigned char out[KX_RFC2217_OUTBOX];
    int n = kxrfc2217_take(&p->proto, out, sizeof out);
    return n == 0 || kxsockhost_send(p->handle, out, n, KX_SERIAL_WRITE_WAIT_MS, st);
}

// Reads what the socket has: the data bytes into buf; -1 when it has gone.
int receive(NetPort *p, unsigned char *buf, int size, kxserialstatus *st)
{
    unsigned char wire[NET_WIRE];
    int n = kxsockhost_recv(p->handle, p->rfc2217 ? wire : buf,
                            std::min(size, NET_WIRE), st);
    if (n <= 0 || !p->rfc2217)
        return n;
    n = kxrfc2217_feed(&p->proto, wire, n, buf);
    return flush(p, st) ? n : -1;
}

// The connection is made: the protocol opens its negotiation.
kxserialhandle connected(NetPort *p, kxserialstatus *st)
{
    p->connecting = false;
    if (p->rfc2217) {
        kxrfc2217_start(&p->proto);
        if (!flush(p, st)) {
            drop(p);
            return KX_SERIAL_NOHANDLE;
        }
    }
    return p->handle;
}

kxrfc2217line rfc2217_line(const kxserialline &l)
{
    static constexpr int parities[] = {KX_RFC2217_PARITY_NONE, KX_RFC2217_PARITY_ODD,
                                       KX_RFC2217_PARITY_EVEN, KX_RFC2217_PARITY_MARK,
                                       KX_RFC2217_PARITY_SPACE};
    static constexpr int flows[] = {KX_RFC2217_FLOW_NONE, KX_RFC2217_FLOW_RTSCTS,
                                    KX_RFC2217_FLOW_XONXOFF};
    kxrfc2217line r;
    r.datasize = l.databits;
    const auto parity = static_cast<std::size_t>(l.parity);
    const auto flow = static_cast<std::size_t>(l.flow);
    r.parity = parity < std::size(parities) ? parities[parity] : KX_RFC2217_PARITY_NONE;
    r.flow = flow < std::size(flows) ? flows[flow] : KX_RFC2217_FLOW_NONE;
    r.stopsize = l.stopbits == 2 ? (l.databits == 5 ? KX_RFC2217_STOP_15 : KX_RFC2217_STOP_2)
                                 : KX_RFC2217_STOP_1;
    r.dtr = l.dtr;
    r.rts = l.rts;
    return r;
}

} // namespace

bool kxnet_is(const char *path) { return path && scheme_of(path); }

kxserialhandle kxnet_open(int slot, const char *url, int ms, kxserialstatus *st)
{
    if (slot < 0 || slot >= KX_SERIAL_SLOTS)
        return KX_SERIAL_NOHANDLE;
    Url u;
    if (!parse(url, &u)) {
        st->fault = kxserialfault::unresolved;
        std::snprintf(st->detail, sizeof st->detail, "%s", url);
        return KX_SERIAL_NOHANDLE;
    }
    if (!ports[slot])
        ports[slot] = std::make_unique<NetPort>();
    NetPort *p = ports[slot].get();
    const std::int64_t now = kxsys_ticks();
    if (p->connecting && p->url == url && now < p->deadline) {
        const int wait = static_cast<int>(std::min<std::int64_t>(ms, p->deadline - now));
        const int made = kxsockhost_finish(p->handle, wait, st);
        if (made > 0)
            return connected(p, st);
        if (made == 0)
            st->fault = kxserialfault::unanswered;
        if (made < 0 || kxsys_ticks() >= p->deadline)
            drop(p);
        return KX_SERIAL_NOHANDLE;
    }
    drop(p);
    p->url = url;
    p->rfc2217 = u.rfc2217;
    p->handle = kxsockhost_connect(u.host.c_str(), u.service.c_str(),
                                   std::min(ms, KX_SERIAL_CONNECT_MS), st);
    if (p->handle == KX_SERIAL_NOHANDLE)
        return KX_SERIAL_NOHANDLE;
    if (st->fault != kxserialfault::unanswered)
        return connected(p, st);
    // Still being made: kept for the next open unless its time is up.
    p->connecting = ms < KX_SERIAL_CONNECT_MS;
    p->deadline = now + KX_SERIAL_CONNECT_MS;
    if (!p->connecting)
        drop(p);
    return KX_SERIAL_NOHANDLE;
}

bool kxnet_configure(int slot, int baud, const kxserialline &asked, kxserialstatus *st)
{
    NetPort *p = port_of(slot);
    if (!p || p->handle == KX_SERIAL_NOHANDLE || p->connecting)
        return false;
    if (!p->rfc2217)
        return true;
    kxrfc2217line line = rfc2217_line(asked);
    line.baud = baud;
    kxrfc2217 &t = p->proto;
    kxrfc2217_setline(&t, line);
    const std::int64_t deadline = kxsys_ticks() + KX_SERIAL_ANSWER_MS;
    while (flush(p, st) && !kxrfc2217_settled(&t) && !t.refused[0] && !t.declined) {
        const std::int64_t left = deadline - kxsys_ticks();
        if (left <= 0 || !kxsockhost_wait(p->handle, static_cast<int>(left)))
            break;
        // Data that comes meanwhile waits for the first read.
        if (p->tail == NET_HELD)
            break;
        int n = receive(p, p->held + p->tail, NET_HELD - p->tail, st);
        if (n < 0)
            return false;
        p->tail += n;
    }
    if (st->fault == kxserialfault::lost || st->fault == kxserialfault::timeout)
        return false;
    if (t.refused[0]) {
        st->fault = kxserialfault::answered;
        std::snprintf(st->detail, sizeof st->detail, "%s", t.refused);
        return false;
    }
    if (!kxrfc2217_settled(&t)) {
        st->fault = kxserialfault::protocol;
        st->detail[0] = 0;
        return false;
    }
    return true;
}

int kxnet_read(int slot, unsigned char *buf, int size, kxserialstatus *st)
{
    NetPort *p = port_of(slot);
    if (!p || p->handle == KX_SERIAL_NOHANDLE)
        return -1;
    if (p->head < p->tail) {
        const int n = std::min(size, p->tail - p->head);
        std::memcpy(buf, p->held + p->head, static_cast<std::size_t>(n));
        p->head += n;
        if (p->head == p->tail)
            p->head = p->tail = 0;
        return n;
    }
    return receive(p, buf, size, st);
}

bool kxnet_write(int slot, unsigned char byte, kxserialstatus *st)
{
    NetPort *p = port_of(slot);
    if (!p || p->handle == KX_SERIAL_NOHANDLE)
        return false;
    unsigned char out[2];
    const int n = p->rfc2217 ? kxrfc2217_escape(&byte, 1, out) : (out[0] = byte, 1);
    return kxsockhost_send(p->handle, out, n, KX_SERIAL_WRITE_WAIT_MS, st);
}

kxlinecall kxnet_control(int slot, kxcontrol line, bool on, kxserialstatus *st)
{
    NetPort *p = port_of(slot);
    if (!p || p->handle == KX_SERIAL_NOHANDLE || p->connecting)
        return kxlinecall::failed;
    if (!p->rfc2217)
        return kxlinecall::nolines;
    static constexpr kxrfc2217set sets[] = {kxrfc2217set::dtr, kxrfc2217set::rts,
                                            kxrfc2217set::brk};
    kxrfc2217_set(&p->proto, sets[static_cast<std::size_t>(line)], on ? 1 : 0);
    return flush(p, st) ? kxlinecall::done : kxlinecall::failed;
}

kxlinecall kxnet_modemlines(int slot, kxmodemlines *lines)
{
    NetPort *p = port_of(slot);
    if (!p || p->handle == KX_SERIAL_NOHANDLE || !p->rfc2217 || p->proto.modem < 0)
        return kxlinecall::nolines;
    const int m = p->proto.modem;
    lines->cts = (m & KX_RFC2217_CTS) != 0;
    lines->dsr = (m & KX_RFC2217_DSR) != 0;
    lines->dcd = (m & KX_RFC2217_CD) != 0;
    lines->ri = (m & KX_RFC2217_RI) != 0;
    return kxlinecall::done;
}

void kxnet_close(int slot)
{
    if (NetPort *p = port_of(slot))
        drop(p);
}
