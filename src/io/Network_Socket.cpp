// The socket object: connecting, the client half of the login handshake, framed and raw sends,
// and the assembly of a received stream into packets.
#include "io/Network_Socket.h"

#include <cctype>
#include <cstring>

#include "core/Console.h"
#include "core/RunSwitches.h"
#include "core/Timing.h"
#include "io/Buffer_Manager.h"
#include "io/Network_Main.h"
#include "io/Network_Rely.h"
#include "io/Network_Server.h"
#include "platform/Clock.h"
#include "platform/SocketM.h"

NetSettings g_NetSettings;

namespace {

constexpr int32_t kDatagramStep = 32 * 1024;
constexpr uint32_t kBroadcastAddress = 0xFFFFFFFFu;
// A flood cannot hold one frame in a receive loop: what is left waits for the next frame.
constexpr int32_t kMaxReadsPerPoll = 4096;

void PutWord(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t Word(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

bool WordsEqual(const uint8_t* at, const uint32_t* words, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        if (Word(at + 4 * i) != words[i]) return false;
    return true;
}

// Whether the first count (< 12) bytes can begin a frame or long-packet header: such a start is
// held until the whole header is in rather than taken for raw bytes.
bool CanBeginHeader(const uint8_t* bytes, int32_t count) {
    uint8_t frame[8], longPacket[8];
    PutWord(frame, kNetFrameMagic);
    PutWord(frame + 4, kNetHeaderSize);
    PutWord(longPacket, kNetLongMagic);
    PutWord(longPacket + 4, kNetLongHeaderWord);
    const size_t known = static_cast<size_t>(count < 8 ? count : 8);
    return std::memcmp(bytes, frame, known) == 0 || std::memcmp(bytes, longPacket, known) == 0;
}

bool Readable(int32_t handle, int64_t timeoutMicroseconds) {
    const uint8_t want = NET_POLL_READ;
    uint8_t ready = 0;
    return NetSocket_Poll(&handle, &want, &ready, 1, timeoutMicroseconds) > 0 && ready != 0;
}

bool Writable(int32_t handle, int64_t timeoutMicroseconds) {
    const uint8_t want = NET_POLL_WRITE;
    uint8_t ready = 0;
    return NetSocket_Poll(&handle, &want, &ready, 1, timeoutMicroseconds) > 0 && ready != 0;
}

// Sends every byte, waiting up to the time-out for room whenever the system has none: a
// non-blocking stream never loses the tail of a packet. The bytes sent, or -1 when none went.
int32_t SendAll(int32_t handle, const uint8_t* data, int32_t length, int32_t timeoutMs) {
    int32_t sent = 0;
    while (sent < length) {
        const int32_t n = NetSocket_Send(handle, data + sent, length - sent);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && NetSocket_LastError() == NET_EWOULDBLOCK &&
            Writable(handle, static_cast<int64_t>(timeoutMs > 0 ? timeoutMs : 1) * 1000))
            continue;
        break;
    }
    return sent > 0 || length == 0 ? sent : -1;
}

bool Expired(int64_t since) {
    return Timing_Time() - since > static_cast<int64_t>(g_NetSettings.connectTimeoutMs) * 1000;
}

}  // namespace

// --- life ------------------------------------------------------------------------------------

pwSocket::pwSocket(int32_t kind_) : kind(kind_) {}

pwSocket::~pwSocket() {
    Close();
}

int32_t pwSocket::Open() {
    handle = NetSocket_Create(kind == PW_SOCKET_UDP ? NET_SOCKET_UDP : NET_SOCKET_TCP);
    if (handle < 0) {
        DebugConsole.Output("Error: Can't create socket\n");
        return -1;
    }
    int32_t result = 0;
    if (kind == PW_SOCKET_TCP) {
        if (NetSocket_SetNoDelay(handle, true) != 0) {
            DebugConsole.Output("Error (0x%8x): Could not set socket option\n", NetSocket_LastError());
            result = -1;
        }
        if (NetSocket_SetLingerOff(handle) != 0) {
            DebugConsole.Output("Error (0x%08x): Could not set socket option\n", NetSocket_LastError());
            result = -1;
        }
    }
    if (NetSocket_SetNonBlocking(handle, true) != 0)
        DebugConsole.Output("Error: Can't put socket into ASYNC mode\n");
    const int32_t timeouts = SetTimeouts(receiveTimeoutMs, sendTimeoutMs);
    return result != 0 ? result : timeouts;
}

int32_t pwSocket::SetTimeouts(int32_t receiveMs, int32_t sendMs) {
    receiveTimeoutMs = receiveMs;
    sendTimeoutMs = sendMs;
    if (handle < 0) return 0;
    const int32_t receive = NetSocket_SetReceiveTimeout(handle, receiveMs);
    if (receive != 0) return receive;
    return NetSocket_SetSendTimeout(handle, sendMs);
}

int32_t pwSocket::Bind(int32_t bindPort) {
    const NetAddress any{0, bindPort};
    if (NetSocket_Bind(handle, any) == 0) return 0;
    DebugConsole.Output("Error (0x%8x): Can't bind port\n", NetSocket_LastError());
    DebugConsole.Output("Setting SO_REUSEADDR and retrying...");
    NetSocket_SetReuseAddress(handle, true);
    if (NetSocket_Bind(handle, any) == 0) return 0;
    DebugConsole.Output("Error (0x%8x): Can't bind port even with SO_REUSEADDR\n", NetSocket_LastError());
    return -1;
}

void pwSocket::CloseHandle() {
    NetSocket_Close(handle);
    handle = -1;
    connecting = false;
    handshaking = false;
    handshakeWanted = false;
}

void pwSocket::Close() {
    CloseHandle();
    NetSocket_Close(broadcastHandle);
    broadcastHandle = -1;
    MEM_FREE(readBuffer);
    MEM_FREE(sendBuffer);
    readBuffer = sendBuffer = nullptr;
    readCapacity = sendCapacity = 0;
    expectedSize = receivedCount = 0;
}

void pwSocket::EnsureReadCapacity(int32_t capacity) {
    if (capacity <= readCapacity) return;
    int32_t grown = readCapacity > 0 ? readCapacity : capacity;
    while (grown < capacity) grown = grown > kNetMaxPacket / 2 ? capacity : grown * 2;
    readBuffer = static_cast<uint8_t*>(MEM_REALLOC(readBuffer, grown));
    readCapacity = grown;
}

// --- connecting ------------------------------------------------------------------------------

int32_t pwSocket::ConnectRaw(const char* host, int32_t hostPort) {
    uint32_t ip = 0;
    if (!Net_ResolveAddress(host, &ip)) return -1;
    NetSocket_FormatAddress(ip, address, sizeof address);
    port = hostPort;
    if (handle < 0) {
        handle = NetSocket_Create(NET_SOCKET_TCP);
        if (handle < 0) {
            DebugConsole.Output("Error: Can't create socket\n");
            return -1;
        }
    }
    NetSocket_SetNoDelay(handle, true);
    if (NetSocket_SetNonBlocking(handle, true) != 0)
        DebugConsole.Output("ioctlsocket failed with error: %ld\n", static_cast<long>(NetSocket_LastError()));
    expectedSize = receivedCount = 0;
    const int32_t result = NetSocket_Connect(handle, NetAddress{ip, hostPort});
    if (result != 0 && NetSocket_LastError() != NET_EWOULDBLOCK) {
        DebugConsole.Output("Error (0x%8x): Could not set socket option\n", NetSocket_LastError());
        CloseHandle();
        return result;
    }
    if (g_NetSettings.nonBlockingConnect) {
        connecting = true;
        connectStart = Timing_Time();
        return 0;
    }
    if (!Writable(handle, static_cast<int64_t>(g_NetSettings.connectTimeoutMs) * 1000)) {
        DebugConsole.Output("Socket timeout connecting\n");
        CloseHandle();
        return -1;
    }
    // A refused or unreachable peer also wakes the wait; it is a failure, not a connection.
    if (NetSocket_PendingError(handle) != NET_OK) {
        CloseHandle();
        return -1;
    }
    NetSocket_SetNonBlocking(handle, false);
    return 0;
}

// Reads exactly count bytes before the deadline (platform clock), polling the servers of the
// table between attempts so that one in this runner can answer.
bool pwSocket::WaitForBytes(uint8_t* into, int32_t count, int64_t deadline) {
    int32_t got = 0;
    while (got < count && handle >= 0) {
        Network_PollServers();
        if (handle < 0) return false;
        const int64_t left = deadline - PlatformClock_Microseconds();
        if (left <= 0) return false;
        if (!Readable(handle, left < 10'000 ? left : 10'000)) continue;
        const int32_t n = NetSocket_Receive(handle, into + got, count - got);
        if (n == 0) return false;  // the peer closed
        if (n < 0) {
            if (NetSocket_LastError() == NET_EWOULDBLOCK) continue;
            return false;
        }
        got += n;
    }
    return got == count;
}

int32_t pwSocket::Connect(const char* host, int32_t hostPort) {
    const int32_t result = ConnectRaw(host, hostPort);
    if (result != 0) return result;
    if (g_NetSettings.nonBlockingConnect) {
        handshakeWanted = true;
        return 0;
    }
    uint8_t greeting[kNetGreetingSize];
    if (!WaitForBytes(greeting, kNetGreetingSize,
                      PlatformClock_Microseconds() + kNetHandshakeWaitMicroseconds) ||
        std::memcmp(greeting, kNetGreeting, kNetGreetingSize) != 0) {
        CloseHandle();
        return -1;
    }
    uint8_t login[kNetLoginSize];
    for (int32_t i = 0; i < 4; ++i) PutWord(login + 4 * i, kNetLogin[i]);
    uint8_t acceptance[kNetAcceptanceSize];
    if (SendAll(handle, login, kNetLoginSize, sendTimeoutMs) != kNetLoginSize ||
        !WaitForBytes(acceptance, kNetAcceptanceSize,
                      PlatformClock_Microseconds() + kNetHandshakeWaitMicroseconds) ||
        !WordsEqual(acceptance, kNetAcceptance, 3)) {
        CloseHandle();
        return -1;
    }
    DebugConsole.Output("Socket Connected.\n");
    return 0;
}

// -1 failed, 0 still waiting, 1 logged in.
int32_t pwSocket::HandshakeStep() {
    const int64_t now = Timing_Time();
    if (handshakeStep == 0) {
        handshakeStart = now;
        DebugConsole.Output("handshake start %lld\n", static_cast<long long>(handshakeStart));
        handshakeStep = 1;
        return 0;
    }
    const bool expired = Expired(handshakeStart);
    const int32_t waiting = NetSocket_Waiting(handle);
    if (handshakeStep == 1) {
        DebugConsole.Output("handshake wait1 peek %d\n", waiting);
        if (expired && waiting <= 0) {
            DebugConsole.Output("handshake wait1 time_expired %lld %lld\n",
                                static_cast<long long>(handshakeStart), static_cast<long long>(now));
            return -1;
        }
        if (!expired && waiting < kNetGreetingSize) {
            DebugConsole.Output("handshake wait1 %d < %d\n", waiting, kNetGreetingSize);
            return 0;
        }
        if (waiting != kNetGreetingSize) return -1;
        uint8_t greeting[kNetGreetingSize];
        const int32_t n = NetSocket_Receive(handle, greeting, kNetGreetingSize);
        DebugConsole.Output("handshake wait1 read %d\n", n);
        if (n != kNetGreetingSize || std::memcmp(greeting, kNetGreeting, kNetGreetingSize) != 0) return -1;
        uint8_t login[kNetLoginSize];
        for (int32_t i = 0; i < 4; ++i) PutWord(login + 4 * i, kNetLogin[i]);
        if (SendAll(handle, login, kNetLoginSize, sendTimeoutMs) != kNetLoginSize) return -1;
        handshakeStart = now;
        handshakeStep = 3;
        return 0;
    }
    DebugConsole.Output("handshake wait2 peek %d\n", waiting);
    // The acceptance is read alone: a packet the server sends right after it stays for the
    // stream reader.
    if (waiting < kNetAcceptanceSize) return expired ? -1 : 0;
    uint8_t acceptance[kNetAcceptanceSize];
    if (NetSocket_Receive(handle, acceptance, kNetAcceptanceSize) != kNetAcceptanceSize ||
        !WordsEqual(acceptance, kNetAcceptance, 3))
        return -1;
    DebugConsole.Output("Socket Connected.\n");
    return 1;
}

void pwSocket::PollConnect() {
    if (handle < 0) return;
    if (connecting) {
        if (Writable(handle, 0)) {
            connecting = false;
            connectStart = 0;
            if (NetSocket_PendingError(handle) != NET_OK) {
                CloseHandle();
                Network_PostNonBlockingConnectEvent(id, false);
                return;
            }
            if (handshakeWanted) {
                handshakeWanted = false;
                handshakeStep = 0;
                handshaking = true;
            } else {
                Network_PostNonBlockingConnectEvent(id, true);
                return;
            }
        } else if (Expired(connectStart)) {
            CloseHandle();
            Network_PostNonBlockingConnectEvent(id, false);
            return;
        }
    }
    if (!handshaking) return;
    const int32_t step = HandshakeStep();
    if (step < 0) {
        CloseHandle();
        Network_PostNonBlockingConnectEvent(id, false);
    } else if (step > 0) {
        handshaking = false;
        Network_PostNonBlockingConnectEvent(id, true);
    }
}

// --- sending ---------------------------------------------------------------------------------

int32_t pwSocket::SendPacket(const uint8_t* data, int32_t length) {
    if (length < 0) length = 0;
    if (g_Switches.networkDebug) {
        DebugConsole.Output("WRI : ");
        Net_HexDump(data, length);
    }
    const int32_t total = kNetHeaderSize + length;
    if (sendCapacity < total) {
        sendBuffer = static_cast<uint8_t*>(MEM_REALLOC(sendBuffer, total));
        sendCapacity = total;
    }
    PutWord(sendBuffer, kNetFrameMagic);
    PutWord(sendBuffer + 4, kNetHeaderSize);
    PutWord(sendBuffer + 8, static_cast<uint32_t>(length));
    if (length > 0) std::memcpy(sendBuffer + kNetHeaderSize, data, static_cast<size_t>(length));
    return SendAll(handle, sendBuffer, total, sendTimeoutMs);
}

int32_t pwSocket::Write(const uint8_t* data, int32_t length) {
    return SendAll(handle, data, length < 0 ? 0 : length, sendTimeoutMs);
}

int32_t pwSocket::SendUDP(const char* host, int32_t hostPort, const uint8_t* data, int32_t length,
                          bool framed) {
    uint32_t ip = 0;
    if (!Net_ResolveAddress(host, &ip)) return -1;
    if (length < 0) length = 0;
    const int32_t header = framed ? kNetHeaderSize : 0;
    const int32_t total = header + length;
    if (sendCapacity < total) {
        sendBuffer = static_cast<uint8_t*>(MEM_REALLOC(sendBuffer, total > 0 ? total : 1));
        sendCapacity = total;
    }
    if (framed) {
        PutWord(sendBuffer, kNetFrameMagic);
        PutWord(sendBuffer + 4, kNetHeaderSize);
        PutWord(sendBuffer + 8, static_cast<uint32_t>(length));
    }
    if (length > 0) std::memcpy(sendBuffer + header, data, static_cast<size_t>(length));
    const int32_t sent = NetSocket_SendTo(handle, sendBuffer, total, NetAddress{ip, hostPort});
    if (sent < 0) return -2;
    if (sent < total) return -3;
    return total;
}

int32_t pwSocket::Broadcast(int32_t toPort, const uint8_t* data, int32_t length) {
    if (broadcastHandle < 0) {
        broadcastHandle = NetSocket_Create(NET_SOCKET_UDP);
        if (broadcastHandle < 0) return -1;
        if (NetSocket_SetBroadcast(broadcastHandle, true) != 0) {
            NetSocket_Close(broadcastHandle);
            broadcastHandle = -1;
            return -1;
        }
    }
    if (length < 0) length = 0;
    const int32_t sent =
        NetSocket_SendTo(broadcastHandle, data, length, NetAddress{kBroadcastAddress, toPort});
    if (sent < 0) return -2;
    if (sent < length) return -3;
    return 0;
}

// --- receiving -------------------------------------------------------------------------------

void pwSocket::HandOver(pwServer* server, const uint8_t* data, int32_t length) {
    if (server != nullptr)
        server->HandlePacket(this, data, length);
    else
        DeliverData(data, length);
}

// A stream announcing a packet beyond the limit is not followed: the connection is dropped.
void pwSocket::Drop(pwServer* server) {
    DebugConsole.Output("Error: packet of more than %d bytes announced by %s, connection dropped\n",
                        kNetMaxPacket, address);
    expectedSize = receivedCount = 0;
    if (server == nullptr) CloseHandle();
}

bool pwSocket::ReceiveStream(pwServer* server) {
    bool readAny = false;
    const bool owesLogin = server != nullptr && state == PW_STATE_AWAIT_LOGIN;
    for (int32_t reads = 0; reads < kMaxReadsPerPoll && !retired && handle >= 0; ++reads) {
        // A server destroyed by an event of this loop polls its clients no more.
        if (server != nullptr && server->retired) break;
        // Receives never wait: one that finds nothing ends the loop, as an empty count would.
        if (expectedSize == 0) {
            const int32_t headerSize =
                owesLogin && state == PW_STATE_AWAIT_LOGIN ? kNetLoginSize : kNetHeaderSize;
            EnsureReadCapacity(headerSize);
            const int32_t n =
                NetSocket_Receive(handle, readBuffer + receivedCount, headerSize - receivedCount);
            if (n <= 0) break;
            readAny = true;
            receivedCount += n;
            if (headerSize == kNetLoginSize) {
                // The login is assembled whole, and nothing behind it is swallowed with it.
                if (receivedCount < kNetLoginSize) continue;
                expectedSize = kNetLoginSize;
            } else if (receivedCount < kNetHeaderSize) {
                if (CanBeginHeader(readBuffer, receivedCount)) continue;  // the rest of the header follows
                expectedSize = -1;
            } else if (Word(readBuffer) == kNetFrameMagic && Word(readBuffer + 4) == kNetHeaderSize) {
                const uint32_t payload = Word(readBuffer + 8);
                if (payload > static_cast<uint32_t>(kNetMaxPacket - kNetHeaderSize)) {
                    Drop(server);
                    return false;
                }
                expectedSize = kNetHeaderSize + static_cast<int32_t>(payload);
            } else if (Word(readBuffer) == kNetLongMagic && Word(readBuffer + 4) == kNetLongHeaderWord) {
                const uint32_t total = Word(readBuffer + 8);
                if (total > static_cast<uint32_t>(kNetMaxPacket)) {
                    Drop(server);
                    return false;
                }
                expectedSize = total < kNetHeaderSize ? kNetHeaderSize : static_cast<int32_t>(total);
            } else {
                expectedSize = -1;
            }
        }
        if (expectedSize > 0 && receivedCount >= expectedSize) {
            const int32_t length = receivedCount;
            expectedSize = receivedCount = 0;
            HandOver(server, readBuffer, length);
            continue;
        }
        // The buffer grows as bytes come, never to a size a peer merely announced.
        if (expectedSize < 0 && receivedCount >= kNetMaxPacket)
            break;  // a raw run is handed over at this size
        if (receivedCount == readCapacity) EnsureReadCapacity(readCapacity * 2);
        int32_t want = readCapacity - receivedCount;
        if (expectedSize > 0 && want > expectedSize - receivedCount) want = expectedSize - receivedCount;
        const int32_t n = NetSocket_Receive(handle, readBuffer + receivedCount, want);
        if (n <= 0) break;
        readAny = true;
        receivedCount += n;
    }
    if (!retired && expectedSize < 0 && receivedCount > 0) {
        const int32_t length = receivedCount;
        expectedSize = receivedCount = 0;
        HandOver(server, readBuffer, length);
    }
    return readAny;
}

void pwSocket::ReceiveDatagrams() {
    for (int32_t reads = 0; reads < kMaxReadsPerPoll && !retired && handle >= 0; ++reads) {
        // Readiness, not the byte count, says a datagram waits: an empty one counts too.
        if (!Readable(handle, 0)) break;
        const int32_t waiting = NetSocket_Waiting(handle);
        if (readCapacity < waiting || readCapacity == 0) {
            int32_t grown = readCapacity;
            do grown += kDatagramStep;
            while (grown < waiting);
            readBuffer = static_cast<uint8_t*>(MEM_REALLOC(readBuffer, grown));
            readCapacity = grown;
        }
        NetAddress from;
        const int32_t n = NetSocket_ReceiveFrom(handle, readBuffer, readCapacity, &from);
        if (n < 0) break;
        NetSocket_FormatAddress(from.ip, address, sizeof address);
        port = from.port;
        if (!reliable) {
            DeliverData(readBuffer, n);
            continue;
        }
        int32_t offset = 0;
        if (Rely_Receive(id, readBuffer, n, address, port, &offset))
            DeliverData(readBuffer + offset, n - offset);
    }
}

void pwSocket::DeliverData(const uint8_t* data, int32_t length) {
    if (g_Switches.networkDebug) {
        DebugConsole.Output("RCV : ");
        Net_HexDump(data, length);
    }
    const uint8_t* payload = data;
    int32_t size = length;
    if (length >= kNetHeaderSize && Word(data) == kNetFrameMagic && Word(data + 4) == kNetHeaderSize) {
        const uint32_t announced = Word(data + 8);
        payload = data + kNetHeaderSize;
        size = length - kNetHeaderSize;
        if (announced < static_cast<uint32_t>(size)) size = static_cast<int32_t>(announced);
    }
    const int32_t buffer = Buffer_Create(size, 0, 1);
    IBuffer* made = Buffer_GetByIndex(buffer);
    if (made == nullptr) return;
    if (size > 0) std::memcpy(made->GetData(), payload, static_cast<size_t>(size));
    const uint32_t handleOfBuffer = Buffer_GetAddressHandle(buffer);
    Network_PostDataEvent(id, buffer, size, address, port);
    // The game may have deleted it during the event, and another may live in its index now.
    if (Buffer_GetAddressHandle(buffer) == handleOfBuffer) Buffer_Free(buffer);
}

// --- names and errors ------------------------------------------------------------------------

bool Net_ResolveAddress(const char* name, uint32_t* ip) {
    if (name == nullptr || *name == '\0') {
        NetSocket_SetLastError(NET_HOST_NOT_FOUND);
        return false;
    }
    if (std::strcmp(name, "localhost") == 0) name = "127.0.0.1";
    return NetSocket_Resolve(name, ip);
}

void Net_ReportError() {
    static const struct {
        int32_t code;
        const char* text;
    } kTexts[] = {
        {10004, "Error (WSAEINTR): interrupted system call\n"},
        {10009, "Error (WSAEBADF): bad file number\n"},
        {10013, "Error (WSAEACCES): permission denied\n"},
        {10014, "Error (WSAEFAULT): bad address\n"},
        {10022, "Error (WSAEINVAL): invalid argument\n"},
        {10024, "Error (WSAEMFILE): too many open files\n"},
        {10035, "Error (WSAEWOULDBLOCK): operation would block\n"},
        {10036, "Error (WSAEINPROGRESS): operation now in progress\n"},
        {10037, "Error (WSAEALREADY): operation already in progress\n"},
        {10038, "Error (WSAENOTSOCK): socket operation on non-socket\n"},
        {10039, "Error (WSAEDESTADDRREQ): destination address required\n"},
        {10040, "Error (WSAEDESTADDRREQ): message too long\n"},
        {10041, "Error (WSAEPROTOTYPE): protocol wrong type for socket\n"},
        {10042, "Error (WSAEPROTOTYPE): bad protocol option / protocol not available\n"},
        {10043, "Error (WSAEPROTONOSUPPORT): protocol not suppported\n"},
        {10045, "Error (WSAEOPNOTSUPP): operation not supported on socket\n"},
        {10060, "Error (WSAETIMEDOUT): Connection timed out.\n"},
        {10061, "Error (WSAECONNREFUSED): Connection refused.\n"},
        {10108, "Error (WSASERVICE_NOT_FOUND): (Winsock2)\n"},
    };
    const int32_t code = NetSocket_LastError();
    for (const auto& entry : kTexts)
        if (entry.code == code) DebugConsole.Output("%s", entry.text);
}

void Net_HexDump(const uint8_t* data, int32_t length) {
    for (int32_t line = 0; line < length; line += 16) {
        const int32_t end = line + 16 < length ? line + 16 : length;
        DebugConsole.Output("%08x :: ", line);
        for (int32_t i = line; i < end; ++i) DebugConsole.Output(" %02x", data[i]);
        DebugConsole.Output("\t");
        for (int32_t i = line; i < end; ++i)
            DebugConsole.Output(" %c", std::isalnum(data[i]) ? data[i] : '.');
        DebugConsole.Output("\n");
    }
}
