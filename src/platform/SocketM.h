// IPv4 TCP and UDP sockets over the operating system's socket calls. Handles are small integers
// (-1: none); addresses are a host-order IPv4 number and a port. Every failing call leaves its
// cause in NetSocket_LastError, numbered as the network layer above reports errors (the
// Winsock-style codes below), so nothing above this file sees errno or a socket structure.
// Sends never raise SIGPIPE. Waiting uses poll, so handles of any number can be waited on.
#pragma once

#include <cstddef>
#include <cstdint>

enum NetErrorCode : int32_t {
    NET_OK = 0,
    NET_EINTR = 10004,
    NET_EBADF = 10009,
    NET_EACCES = 10013,
    NET_EFAULT = 10014,
    NET_EINVAL = 10022,
    NET_EMFILE = 10024,
    NET_EWOULDBLOCK = 10035,  // also a non-blocking connect under way
    NET_EINPROGRESS = 10036,
    NET_EALREADY = 10037,
    NET_ENOTSOCK = 10038,
    NET_EDESTADDRREQ = 10039,
    NET_EMSGSIZE = 10040,
    NET_EPROTOTYPE = 10041,
    NET_ENOPROTOOPT = 10042,
    NET_EPROTONOSUPPORT = 10043,
    NET_EOPNOTSUPP = 10045,
    NET_EADDRINUSE = 10048,
    NET_EADDRNOTAVAIL = 10049,
    NET_ENETUNREACH = 10051,
    NET_ECONNABORTED = 10053,
    NET_ECONNRESET = 10054,
    NET_ENOBUFS = 10055,
    NET_EISCONN = 10056,
    NET_ENOTCONN = 10057,
    NET_ESHUTDOWN = 10058,
    NET_ETIMEDOUT = 10060,
    NET_ECONNREFUSED = 10061,
    NET_EHOSTUNREACH = 10065,
    NET_HOST_NOT_FOUND = 11001,
    NET_TRY_AGAIN = 11002,
    NET_NO_RECOVERY = 11003,
    NET_OTHER = 10108,  // anything the system gives that has no code of its own here
};

struct NetAddress {
    uint32_t ip = 0;  // host order: 127.0.0.1 is 0x7F000001
    int32_t port = 0;
};

enum NetSocketKind : int32_t { NET_SOCKET_TCP = 0, NET_SOCKET_UDP = 1 };

// The code of the last failing call on this thread.
int32_t NetSocket_LastError();
void NetSocket_SetLastError(int32_t code);

// A new handle of the kind, or -1.
int32_t NetSocket_Create(int32_t kind);
// Shuts both directions down (errors ignored) and closes; -1 is ignored.
void NetSocket_Close(int32_t handle);
void NetSocket_Shutdown(int32_t handle);

// Options: 0 on success, -1 on failure.
int32_t NetSocket_SetNoDelay(int32_t handle, bool on);
int32_t NetSocket_SetLingerOff(int32_t handle);
int32_t NetSocket_SetNonBlocking(int32_t handle, bool on);
int32_t NetSocket_SetReceiveTimeout(int32_t handle, int32_t milliseconds);
int32_t NetSocket_SetSendTimeout(int32_t handle, int32_t milliseconds);
int32_t NetSocket_SetReuseAddress(int32_t handle, bool on);
int32_t NetSocket_SetBroadcast(int32_t handle, bool on);
// The pending error of a connect (SO_ERROR), mapped; reading it clears it. -1 when it cannot be read.
int32_t NetSocket_PendingError(int32_t handle);

// 0 or -1.
int32_t NetSocket_Bind(int32_t handle, const NetAddress& address);
int32_t NetSocket_Listen(int32_t handle, int32_t backlog);
// 0 when connected, -1 otherwise; a non-blocking connect under way is -1 with NET_EWOULDBLOCK.
int32_t NetSocket_Connect(int32_t handle, const NetAddress& address);
// A new handle, or -1; the peer's address goes to *peer.
int32_t NetSocket_Accept(int32_t handle, NetAddress* peer);
// The port the handle is bound to, or -1.
int32_t NetSocket_LocalPort(int32_t handle);

// Bytes moved, or -1. Receive gives 0 when the peer has closed a stream; receives never wait.
int32_t NetSocket_Send(int32_t handle, const void* data, int32_t length);
int32_t NetSocket_Receive(int32_t handle, void* data, int32_t length);
int32_t NetSocket_SendTo(int32_t handle, const void* data, int32_t length, const NetAddress& to);
int32_t NetSocket_ReceiveFrom(int32_t handle, void* data, int32_t length, NetAddress* from);
// Bytes that a receive would give now without waiting (for a datagram socket: the next
// datagram's size where the system tells it), or -1.
int32_t NetSocket_Waiting(int32_t handle);

enum NetPollFlags : uint8_t { NET_POLL_READ = 1, NET_POLL_WRITE = 2 };
// Waits up to timeoutMicroseconds (0: not at all) for any of the handles to be ready for what
// wants[i] asks; ready[i] gets what it is ready for (an error or hang-up counts as readable and
// writable). The number of ready handles, or -1.
int32_t NetSocket_Poll(const int32_t* handles, const uint8_t* wants, uint8_t* ready, int32_t count,
                       int64_t timeoutMicroseconds);

// The first IPv4 address of a host name from the system resolver (dotted text is taken as it
// is); false, with the resolver's error as the last error, when there is none.
bool NetSocket_Resolve(const char* name, uint32_t* ip);
// "a.b.c.d"; out holds at least 16 characters.
void NetSocket_FormatAddress(uint32_t ip, char* out, size_t size);
// Parses dotted text; false when it is not an IPv4 address.
bool NetSocket_ParseAddress(const char* text, uint32_t* ip);
