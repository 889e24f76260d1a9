// IPv4 sockets over POSIX.
#include "platform/SocketM.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

thread_local int32_t t_lastError = NET_OK;

int32_t MapErrno(int error) {
    switch (error) {
        case 0:
            return NET_OK;
        case EINTR:
            return NET_EINTR;
        case EBADF:
            return NET_EBADF;
        case EACCES:
        case EPERM:
            return NET_EACCES;
        case EFAULT:
            return NET_EFAULT;
        case EINVAL:
            return NET_EINVAL;
        case EMFILE:
        case ENFILE:
            return NET_EMFILE;
        case EAGAIN:
            return NET_EWOULDBLOCK;
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
            return NET_EWOULDBLOCK;
#endif
        case EINPROGRESS:
            return NET_EINPROGRESS;
        case EALREADY:
            return NET_EALREADY;
        case ENOTSOCK:
            return NET_ENOTSOCK;
        case EDESTADDRREQ:
            return NET_EDESTADDRREQ;
        case EMSGSIZE:
            return NET_EMSGSIZE;
        case EPROTOTYPE:
            return NET_EPROTOTYPE;
        case ENOPROTOOPT:
            return NET_ENOPROTOOPT;
        case EPROTONOSUPPORT:
            return NET_EPROTONOSUPPORT;
        case EOPNOTSUPP:
            return NET_EOPNOTSUPP;
        case EADDRINUSE:
            return NET_EADDRINUSE;
        case EADDRNOTAVAIL:
            return NET_EADDRNOTAVAIL;
        case ENETUNREACH:
            return NET_ENETUNREACH;
        case ECONNABORTED:
            return NET_ECONNABORTED;
        case ECONNRESET:
            return NET_ECONNRESET;
        case ENOBUFS:
        case ENOMEM:
            return NET_ENOBUFS;
        case EISCONN:
            return NET_EISCONN;
        case ENOTCONN:
            return NET_ENOTCONN;
        case EPIPE:
            return NET_ESHUTDOWN;
        case ETIMEDOUT:
            return NET_ETIMEDOUT;
        case ECONNREFUSED:
            return NET_ECONNREFUSED;
        case EHOSTUNREACH:
            return NET_EHOSTUNREACH;
        default:
            return NET_OTHER;
    }
}

// -1 with the cause recorded: the result of every failing call.
int32_t Fail() {
    t_lastError = MapErrno(errno);
    return -1;
}

int32_t Done(int result) {
    if (result < 0) return Fail();
    t_lastError = NET_OK;
    return result;
}

sockaddr_in ToSockaddr(const NetAddress& address) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = htonl(address.ip);
    out.sin_port = htons(static_cast<uint16_t>(address.port));
    return out;
}

NetAddress FromSockaddr(const sockaddr_in& in) {
    return NetAddress{ntohl(in.sin_addr.s_addr), ntohs(in.sin_port)};
}

int32_t SetIntOption(int32_t handle, int level, int name, int value) {
    return Done(::setsockopt(handle, level, name, &value, sizeof value));
}

int32_t SetTimeout(int32_t handle, int name, int32_t milliseconds) {
    timeval tv{};
    if (milliseconds > 0) {
        tv.tv_sec = milliseconds / 1000;
        tv.tv_usec = (milliseconds % 1000) * 1000;
    }
    return Done(::setsockopt(handle, SOL_SOCKET, name, &tv, sizeof tv));
}

size_t Length(int32_t length) {
    return length > 0 ? static_cast<size_t>(length) : 0;
}

}  // namespace

int32_t NetSocket_LastError() {
    return t_lastError;
}

void NetSocket_SetLastError(int32_t code) {
    t_lastError = code;
}

int32_t NetSocket_Create(int32_t kind) {
    const int type = kind == NET_SOCKET_UDP ? SOCK_DGRAM : SOCK_STREAM;
    const int protocol = kind == NET_SOCKET_UDP ? IPPROTO_UDP : IPPROTO_TCP;
    return Done(::socket(AF_INET, type | SOCK_CLOEXEC, protocol));
}

void NetSocket_Shutdown(int32_t handle) {
    if (handle >= 0) ::shutdown(handle, SHUT_RDWR);
}

void NetSocket_Close(int32_t handle) {
    if (handle < 0) return;
    ::shutdown(handle, SHUT_RDWR);
    ::close(handle);
}

int32_t NetSocket_SetNoDelay(int32_t handle, bool on) {
    return SetIntOption(handle, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
}

int32_t NetSocket_SetLingerOff(int32_t handle) {
    linger off{};
    return Done(::setsockopt(handle, SOL_SOCKET, SO_LINGER, &off, sizeof off));
}

int32_t NetSocket_SetNonBlocking(int32_t handle, bool on) {
    const int flags = ::fcntl(handle, F_GETFL, 0);
    if (flags < 0) return Fail();
    return Done(::fcntl(handle, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) < 0 ? -1 : 0);
}

int32_t NetSocket_SetReceiveTimeout(int32_t handle, int32_t milliseconds) {
    return SetTimeout(handle, SO_RCVTIMEO, milliseconds);
}

int32_t NetSocket_SetSendTimeout(int32_t handle, int32_t milliseconds) {
    return SetTimeout(handle, SO_SNDTIMEO, milliseconds);
}

int32_t NetSocket_SetReuseAddress(int32_t handle, bool on) {
    return SetIntOption(handle, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0);
}

int32_t NetSocket_SetBroadcast(int32_t handle, bool on) {
    return SetIntOption(handle, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0);
}

int32_t NetSocket_PendingError(int32_t handle) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) < 0) return Fail();
    t_lastError = NET_OK;
    return MapErrno(error);
}

int32_t NetSocket_Bind(int32_t handle, const NetAddress& address) {
    const sockaddr_in in = ToSockaddr(address);
    return Done(::bind(handle, reinterpret_cast<const sockaddr*>(&in), sizeof in));
}

int32_t NetSocket_Listen(int32_t handle, int32_t backlog) {
    return Done(::listen(handle, backlog));
}

int32_t NetSocket_Connect(int32_t handle, const NetAddress& address) {
    const sockaddr_in in = ToSockaddr(address);
    int result;
    do {
        result = ::connect(handle, reinterpret_cast<const sockaddr*>(&in), sizeof in);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return Done(0);
    Fail();
    // A non-blocking connect under way reads as "would block", as the layer above expects.
    if (errno == EINPROGRESS) t_lastError = NET_EWOULDBLOCK;
    return -1;
}

int32_t NetSocket_Accept(int32_t handle, NetAddress* peer) {
    sockaddr_in in{};
    socklen_t length = sizeof in;
    const int client = ::accept4(handle, reinterpret_cast<sockaddr*>(&in), &length, SOCK_CLOEXEC);
    if (client < 0) return Fail();
    if (peer != nullptr) *peer = FromSockaddr(in);
    return Done(client);
}

int32_t NetSocket_LocalPort(int32_t handle) {
    sockaddr_in in{};
    socklen_t length = sizeof in;
    if (::getsockname(handle, reinterpret_cast<sockaddr*>(&in), &length) < 0) return Fail();
    return ntohs(in.sin_port);
}

int32_t NetSocket_Send(int32_t handle, const void* data, int32_t length) {
    ssize_t sent;
    do {
        sent = ::send(handle, data, Length(length), MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return Done(static_cast<int>(sent));
}

int32_t NetSocket_Receive(int32_t handle, void* data, int32_t length) {
    ssize_t got;
    do {
        got = ::recv(handle, data, Length(length), MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    return Done(static_cast<int>(got));
}

int32_t NetSocket_SendTo(int32_t handle, const void* data, int32_t length, const NetAddress& to) {
    const sockaddr_in in = ToSockaddr(to);
    ssize_t sent;
    do {
        sent = ::sendto(handle, data, Length(length), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&in),
                        sizeof in);
    } while (sent < 0 && errno == EINTR);
    return Done(static_cast<int>(sent));
}

int32_t NetSocket_ReceiveFrom(int32_t handle, void* data, int32_t length, NetAddress* from) {
    sockaddr_in in{};
    socklen_t inLength = sizeof in;
    ssize_t got;
    do {
        got = ::recvfrom(handle, data, Length(length), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&in),
                         &inLength);
    } while (got < 0 && errno == EINTR);
    if (got >= 0 && from != nullptr) *from = FromSockaddr(in);
    return Done(static_cast<int>(got));
}

int32_t NetSocket_Waiting(int32_t handle) {
    int count = 0;
    if (::ioctl(handle, FIONREAD, &count) < 0) return Fail();
    return count;
}

int32_t NetSocket_Poll(const int32_t* handles, const uint8_t* wants, uint8_t* ready, int32_t count,
                       int64_t timeoutMicroseconds) {
    std::vector<pollfd> fds(static_cast<size_t>(count > 0 ? count : 0));
    for (int32_t i = 0; i < count; ++i) {
        fds[i].fd = handles[i];  // a negative handle is skipped by poll
        fds[i].events = static_cast<short>(((wants[i] & NET_POLL_READ) ? POLLIN : 0) |
                                           ((wants[i] & NET_POLL_WRITE) ? POLLOUT : 0));
    }
    int64_t milliseconds = timeoutMicroseconds <= 0 ? 0 : (timeoutMicroseconds + 999) / 1000;
    if (milliseconds > INT_MAX) milliseconds = INT_MAX;
    const int result = ::poll(fds.data(), fds.size(), static_cast<int>(milliseconds));
    if (result < 0) return Fail();
    for (int32_t i = 0; i < count; ++i) {
        const short r = fds[i].revents;
        const bool broken = (r & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        ready[i] = static_cast<uint8_t>(((r & POLLIN) || broken ? NET_POLL_READ : 0) |
                                        ((r & POLLOUT) || broken ? NET_POLL_WRITE : 0)) &
                   wants[i];
    }
    t_lastError = NET_OK;
    return result;
}

bool NetSocket_ParseAddress(const char* text, uint32_t* ip) {
    in_addr address{};
    if (text == nullptr || ::inet_pton(AF_INET, text, &address) != 1) return false;
    *ip = ntohl(address.s_addr);
    return true;
}

bool NetSocket_Resolve(const char* name, uint32_t* ip) {
    if (name == nullptr) {
        t_lastError = NET_HOST_NOT_FOUND;
        return false;
    }
    if (NetSocket_ParseAddress(name, ip)) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(name, nullptr, &hints, &found);
    if (result != 0 || found == nullptr) {
        t_lastError = result == EAI_AGAIN  ? NET_TRY_AGAIN
                      : result == EAI_FAIL ? NET_NO_RECOVERY
                                           : NET_HOST_NOT_FOUND;
        if (found) ::freeaddrinfo(found);
        return false;
    }
    *ip = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return true;
}

void NetSocket_FormatAddress(uint32_t ip, char* out, size_t size) {
    std::snprintf(out, size, "%u.%u.%u.%u", (ip >> 24) & 0xFF, (ip >> 16) & 0xFF, (ip >> 8) & 0xFF,
                  ip & 0xFF);
}
