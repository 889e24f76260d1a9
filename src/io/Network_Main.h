// The socket table that the network built-ins index, the per-frame network pump and the
// networking events (Other event 68). Unlike other asynchronous results these events are
// performed at once, from inside the pump, with async_load holding one map kept for the run.
// Main thread only.
#pragma once

#include <cstdint>

class pwSocket;
class pwServer;

constexpr int32_t kNetworkSlots = 1024;
constexpr int32_t kAsyncEventNetworking = 68;

enum NetworkEventType : int32_t {
    NETWORK_EVENT_CONNECT = 1,
    NETWORK_EVENT_DISCONNECT = 2,
    NETWORK_EVENT_DATA = 3,
    NETWORK_EVENT_NONBLOCKING_CONNECT = 4,
};

struct NetworkSlot {
    bool inUse = false;
    bool serverAccepted = false;  // a client a server accepted: that server polls it
    pwSocket* socket = nullptr;
    pwServer* server = nullptr;
};

// The slot, or null when the index is outside the table or the slot is free.
NetworkSlot* Network_GetSlot(int32_t index);
// The socket that sends for a slot: its own, or its server's listening socket.
pwSocket* Network_SendingSocket(int32_t index);
// Takes the lowest free slot (its fields cleared); -1 when none is free.
int32_t Network_AllocSlot();
// Releases the slot holding the socket (closing and deleting it, and its server if any); the
// slot index, or -1 when no slot holds it.
int32_t Network_ReleaseSocket(pwSocket* socket);
// network_destroy: frees the slot and what it holds; no event.
void Network_Destroy(int32_t index);

// The pump, once per frame: connects and handshakes in progress, servers, then every other
// socket's receive; then the reliable-UDP timers.
void Network_Tick();
// Every server once (a blocking connect waiting for its greeting calls it).
void Network_PollServers();
// network_destroy on every slot (the game's end), and the reliable-UDP state dropped.
void Network_Shutdown();

// Sockets and servers destroyed while the pump or a connect runs are retired, not deleted: code
// still walking them sees them closed. This guard marks such a stretch; the outermost one
// deletes what was retired.
class NetworkBusy {
public:
    NetworkBusy();
    ~NetworkBusy();
    NetworkBusy(const NetworkBusy&) = delete;
    NetworkBusy& operator=(const NetworkBusy&) = delete;
};
void Network_RetireSocket(pwSocket* socket);
void Network_RetireServer(pwServer* server);

// The events, performed before these return. ip may be null.
void Network_PostConnectEvent(int32_t serverSlot, int32_t clientSlot, int32_t port, const char* ip,
                              bool connected);
// "ip" and "port" are the socket's in the slot.
void Network_PostNonBlockingConnectEvent(int32_t slot, bool succeeded);
// ip and port: the sender of the data.
void Network_PostDataEvent(int32_t slot, int32_t buffer, int32_t size, const char* ip, int32_t port);

// The local port a slot's socket (or its server's listening socket) is bound to, -1 when none
// (tests and diagnostics: the port the system chose for port 0).
int32_t Network_LocalPort(int32_t index);

// Registers the network_* built-ins and clears the table.
void InitNetworkingFunctions();
