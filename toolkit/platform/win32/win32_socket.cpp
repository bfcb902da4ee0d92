// TCP connections to serial servers on Win32 (Winsock): a connect that
// never waits beyond its time, keepalive that notices a silent server, and
// the system's errors sorted into the reasons a user is told.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <cstdio>

#include "platform/sockethost.h"

namespace {

// A silent server is given up after about KEEPIDLE + 10 * KEEPINTVL (the
// system's count of probes).
constexpr ULONG KEEPIDLE_MS = 5000;
constexpr ULONG KEEPINTVL_MS = 1000;

SOCKET socket_of(kxserialhandle h) { return static_cast<SOCKET>(h); }

bool started()
{
    static const bool ok = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ok;
}

void fail(kxserialstatus *st, kxserialfault fault, const char *detail = "")
{
    st->fault = fault;
    std::snprintf(st->detail, sizeof st->detail, "%s", detail);
}

void fail_code(kxserialstatus *st, kxserialfault fault, int code)
{
    char text[KX_SERIAL_TEXT] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.'))
        text[--n] = 0;
    if (n == 0)
        std::snprintf(text, sizeof text, "error %d", code);
    fail(st, fault, text);
}

void lose(kxserialstatus *st, int code)
{
    const bool closed = code == 0 || code == WSAECONNRESET || code == WSAECONNABORTED ||
                        code == WSAESHUTDOWN;
    const bool silent = code == WSAETIMEDOUT || code == WSAEHOSTUNREACH || code == WSAENETUNREACH ||
                        code == WSAENETRESET;
    if (closed || silent)
        fail(st, kxserialfault::lost);
    else
        fail_code(st, kxserialfault::lost, code);
    st->loss = closed ? kxserialloss::closed : silent ? kxserialloss::silent : kxserialloss::gone;
}

void connect_failed(kxserialstatus *st, int code)
{
    if (code == WSAECONNREFUSED)
        fail(st, kxserialfault::refused);
    else if (code == WSAETIMEDOUT)
        fail(st, kxserialfault::unanswered);
    else
        fail_code(st, kxserialfault::system, code);
}

void tune(SOCKET s)
{
    u_long nonblocking = 1;
    ioctlsocket(s, FIONBIO, &nonblocking);
    const BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
    tcp_keepalive k{1, KEEPIDLE_MS, KEEPINTVL_MS};
    DWORD got = 0;
    WSAIoctl(s, SIO_KEEPALIVE_VALS, &k, sizeof k, nullptr, 0, &got, nullptr, nullptr);
}

// select() for one socket up to ms: its count.  Writable and failed are
// asked for together, as a connect ends in one or the other.
int wait_for(SOCKET s, bool write, int ms, bool *failed)
{
    fd_set rw, ex;
    FD_ZERO(&rw);
    FD_ZERO(&ex);
    FD_SET(s, &rw);
    FD_SET(s, &ex);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    int r = select(0, write ? nullptr : &rw, write ? &rw : nullptr, &ex, &tv);
    if (failed)
        *failed = r > 0 && FD_ISSET(s, &ex);
    return r;
}

} // namespace

kxserialhandle kxsockhost_connect(const char *host, const char *service, int ms,
                                  kxserialstatus *st)
{
    if (!started()) {
        fail_code(st, kxserialfault::system, WSAGetLastError());
        return KX_SERIAL_NOHANDLE;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *list = nullptr;
    if (getaddrinfo(host, service, &hints, &list) != 0 || !list) {
        fail(st, kxserialfault::unresolved, host);
        return KX_SERIAL_NOHANDLE;
    }
    int first = 0;
    SOCKET s = INVALID_SOCKET;
    for (addrinfo *a = list; a && s == INVALID_SOCKET; a = a->ai_next) {
        SOCKET c = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (c == INVALID_SOCKET) {
            first = first ? first : WSAGetLastError();
            continue;
        }
        SetHandleInformation(reinterpret_cast<HANDLE>(c), HANDLE_FLAG_INHERIT, 0);
        tune(c);
        if (connect(c, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 ||
            WSAGetLastError() == WSAEWOULDBLOCK) {
            s = c;
            break;
        }
        first = first ? first : WSAGetLastError();
        closesocket(c);
    }
    freeaddrinfo(list);
    if (s == INVALID_SOCKET) {
        connect_failed(st, first ? first : WSAECONNREFUSED);
        return KX_SERIAL_NOHANDLE;
    }
    const kxserialhandle h = static_cast<kxserialhandle>(s);
    int made = kxsockhost_finish(h, ms, st);
    if (made < 0) {
        closesocket(s);
        return KX_SERIAL_NOHANDLE;
    }
    if (made == 0)
        fail(st, kxserialfault::unanswered);
    return h;
}

int kxsockhost_finish(kxserialhandle h, int ms, kxserialstatus *st)
{
    const SOCKET s = socket_of(h);
    bool failed = false;
    int r = wait_for(s, true, ms, &failed);
    if (r == 0)
        return 0;
    int code = 0;
    int len = sizeof code;
    if (r < 0)
        code = WSAGetLastError();
    else if (failed)
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&code), &len);
    if (r > 0 && !failed) {
        st->fault = kxserialfault::none;
        st->detail[0] = 0;
        return 1;
    }
    connect_failed(st, code ? code : WSAECONNREFUSED);
    return -1;
}

int kxsockhost_recv(kxserialhandle h, unsigned char *buf, int size, kxserialstatus *st)
{
    int n = recv(socket_of(h), reinterpret_cast<char *>(buf), size, 0);
    if (n > 0)
        return n;
    if (n == 0) {
        lose(st, 0);
        return -1;
    }
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK || code == WSAEINTR)
        return 0;
    lose(st, code);
    return -1;
}

bool kxsockhost_send(kxserialhandle h, const unsigned char *buf, int n, int ms, kxserialstatus *st)
{
    const SOCKET s = socket_of(h);
    const std::int64_t deadline = kxsys_ticks() + ms;
    int done = 0;
    while (done < n) {
        int k = send(s, reinterpret_cast<const char *>(buf + done), n - done, 0);
        if (k > 0) {
            done += k;
            continue;
        }
        const int code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK && code != WSAEINTR) {
            lose(st, code);
            return false;
        }
        const std::int64_t left = deadline - kxsys_ticks();
        if (left <= 0 || wait_for(s, true, static_cast<int>(left), nullptr) == 0) {
            fail(st, kxserialfault::timeout);
            return false;
        }
    }
    return true;
}

bool kxsockhost_wait(kxserialhandle h, int ms)
{
    return wait_for(socket_of(h), false, ms, nullptr) > 0;
}

void kxsockhost_close(kxserialhandle h) { closesocket(socket_of(h)); }
