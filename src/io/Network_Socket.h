// The socket object under the network built-ins: one TCP or UDP connection end (or listening
// end) that connects with or without the login handshake, sends framed or raw data, and
// assembles what it receives into packets that become data events (or, for a client a server
// accepted, packets handed to that server). Main thread only; driven by the network pump.
//
// Wire formats, little-endian 32-bit words:
//   framed packet   0xDEADC0DE, 12, payload length, payload
//   long packet     0xBE11C0DE, 44, total length (header included), ...
//   greeting        "HV:Halvane-Attach" and a NUL (server to client, 18 bytes)
//   login           0xCAFEBABE, 0xDEADB00B, 16, 0 (client to server)
//   acceptance      0xDEAFBEAD, 0xF00DBEEB, 12 (server to client)
//   refusal         "HV:BYE" (server to a client beyond its limit, no NUL)
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"

class pwServer;

constexpr uint32_t kNetFrameMagic = 0xDEADC0DEu;
constexpr uint32_t kNetLongMagic = 0xBE11C0DEu;
constexpr int32_t kNetHeaderSize = 12;
constexpr int32_t kNetLongHeaderWord = 44;
// The largest packet a peer may announce; a stream announcing more is dropped.
constexpr int32_t kNetMaxPacket = 64 * 1024 * 1024;
constexpr char kNetGreeting[] = "HV:Halvane-Attach";
constexpr int32_t kNetGreetingSize = 18;
constexpr uint32_t kNetLogin[4] = {0xCAFEBABEu, 0xDEADB00Bu, 16u, 0u};
constexpr int32_t kNetLoginSize = 16;
constexpr uint32_t kNetAcceptance[3] = {0xDEAFBEADu, 0xF00DBEEBu, 12u};
constexpr int32_t kNetAcceptanceSize = 12;
constexpr char kNetRefusal[] = "HV:BYE";
constexpr int32_t kNetRefusalSize = 6;
// How long a blocking connect waits for the greeting and then for the acceptance.
constexpr int64_t kNetHandshakeWaitMicroseconds = 5'000'000;

enum pwSocketKind : int32_t { PW_SOCKET_TCP = 0, PW_SOCKET_UDP = 1, PW_SOCKET_BLUETOOTH = 2 };
// A server's client: 1 greeted and awaiting its login, 2 logged in (or accepted raw), 3 gone.
enum pwSocketState : int32_t {
    PW_STATE_NEW = 0,
    PW_STATE_AWAIT_LOGIN = 1,
    PW_STATE_READY = 2,
    PW_STATE_CLOSED = 3
};

// Network-wide settings (network_set_config).
struct NetSettings {
    int32_t connectTimeoutMs = 50000;
    bool nonBlockingConnect = false;
};
extern NetSettings g_NetSettings;

class pwSocket : public MemoryManaged {
public:
    explicit pwSocket(int32_t kind);
    ~pwSocket();
    pwSocket(const pwSocket&) = delete;
    pwSocket& operator=(const pwSocket&) = delete;

    // Makes the handle for the kind with its options; 0 or the failing call's result.
    int32_t Open();
    int32_t SetTimeouts(int32_t receiveMs, int32_t sendMs);
    // Binds to any local address on the port, retrying once with SO_REUSEADDR.
    int32_t Bind(int32_t port);
    // Connect, then the client half of the login handshake.
    int32_t Connect(const char* host, int32_t port);
    int32_t ConnectRaw(const char* host, int32_t port);

    // One framed packet; what the send call returned.
    int32_t SendPacket(const uint8_t* data, int32_t length);
    // The bytes as they are.
    int32_t Write(const uint8_t* data, int32_t length);
    // One datagram (with the frame header when framed): its length, -2 when the send fails,
    // -3 when it sent fewer bytes, -1 when the host cannot be resolved.
    int32_t SendUDP(const char* host, int32_t port, const uint8_t* data, int32_t length, bool framed);
    // One datagram to every host of the local network: 0, or -1, -2, -3.
    int32_t Broadcast(int32_t port, const uint8_t* data, int32_t length);

    // The per-frame work. ReceiveStream hands each packet to the server when one is given,
    // else makes it a data event; it tells whether anything was read (a server takes "nothing"
    // on a ready client as the client having gone).
    bool ReceiveStream(pwServer* server);
    void ReceiveDatagrams();
    void PollConnect();
    // Makes the data a data event of this socket's slot (the payload alone when it is framed).
    void DeliverData(const uint8_t* data, int32_t length);

    // Frees the buffers and closes both handles.
    void Close();
    // Closes the handle alone (the socket can be given a new one by a connect).
    void CloseHandle();
    bool IsConnecting() const { return connecting || handshaking; }

    int32_t handle = -1;
    int32_t broadcastHandle = -1;
    int32_t kind;
    int32_t state = PW_STATE_NEW;
    bool connecting = false;
    bool handshakeWanted = false;
    bool handshaking = false;
    bool reliable = false;
    int32_t handshakeStep = 0;
    int64_t handshakeStart = 0;
    int64_t connectStart = 0;
    uint8_t* readBuffer = nullptr;
    int32_t readCapacity = 0;
    uint8_t* sendBuffer = nullptr;
    int32_t sendCapacity = 0;
    int32_t id = -1;
    char address[16] = {};
    int32_t port = 0;
    int32_t receiveTimeoutMs = 120;
    int32_t sendTimeoutMs = 120;
    // 0 no packet begun, -1 a raw run, else the packet's whole length with its header.
    int32_t expectedSize = 0;
    int32_t receivedCount = 0;
    // Set when the socket has been destroyed while an event still runs on it: every loop over
    // it stops, and the pump frees it afterwards.
    bool retired = false;

    void EnsureReadCapacity(int32_t capacity);

private:
    int32_t HandshakeStep();
    bool WaitForBytes(uint8_t* into, int32_t count, int64_t deadline);
    void HandOver(pwServer* server, const uint8_t* data, int32_t length);
    void Drop(pwServer* server);
};

// An IPv4 address for a host name: "localhost" is 127.0.0.1, dotted text is taken as it is,
// anything else goes to the system resolver. False when none.
bool Net_ResolveAddress(const char* name, uint32_t* ip);
// Prints the text of the last network error.
void Net_ReportError();
// The "-networkdebug" dump: per line of 16 bytes the offset, the bytes and their characters.
void Net_HexDump(const uint8_t* data, int32_t length);
