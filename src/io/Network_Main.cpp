// The socket table, the network pump and the networking events.
#include "io/Network_Main.h"

#include <vector>

#include "data/Function_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "io/Network_Rely.h"
#include "io/Network_Server.h"
#include "io/Network_Socket.h"
#include "platform/SocketM.h"

namespace {

NetworkSlot g_slots[kNetworkSlots];
int32_t g_busyDepth = 0;
std::vector<pwSocket*> g_retiredSockets;
std::vector<pwServer*> g_retiredServers;
int32_t g_eventMap = -1;
const CDS_Map* g_eventMapObject = nullptr;

void FreeRetired() {
    // Deleting a server retires its listening socket: servers go first.
    while (!g_retiredServers.empty() || !g_retiredSockets.empty()) {
        std::vector<pwServer*> servers;
        servers.swap(g_retiredServers);
        for (pwServer* server : servers) delete server;
        std::vector<pwSocket*> sockets;
        sockets.swap(g_retiredSockets);
        for (pwSocket* socket : sockets) delete socket;
    }
}

// The event map, emptied; made again when the game destroyed it.
int32_t EventMap() {
    if (g_eventMap >= 0 && DS_GetMap(g_eventMap) == g_eventMapObject) {
        DsMap_Clear(g_eventMap);
        return g_eventMap;
    }
    g_eventMap = DsMap_Create();
    g_eventMapObject = DS_GetMap(g_eventMap);
    return g_eventMap;
}

void Perform(int32_t map) {
    Async_PerformEventNow(map, kAsyncEventNetworking);
}

}  // namespace

// --- the table ---------------------------------------------------------------------------------

NetworkSlot* Network_GetSlot(int32_t index) {
    if (index < 0 || index >= kNetworkSlots || !g_slots[index].inUse) return nullptr;
    return &g_slots[index];
}

pwSocket* Network_SendingSocket(int32_t index) {
    NetworkSlot* slot = Network_GetSlot(index);
    if (slot == nullptr) return nullptr;
    if (slot->socket != nullptr) return slot->socket;
    return slot->server != nullptr ? slot->server->socket : nullptr;
}

int32_t Network_AllocSlot() {
    for (int32_t i = 0; i < kNetworkSlots; ++i) {
        if (!g_slots[i].inUse) {
            g_slots[i] = NetworkSlot{};
            g_slots[i].inUse = true;
            return i;
        }
    }
    return -1;
}

int32_t Network_ReleaseSocket(pwSocket* socket) {
    for (int32_t i = 0; i < kNetworkSlots; ++i) {
        NetworkSlot& slot = g_slots[i];
        if (!slot.inUse || slot.socket != socket) continue;
        pwServer* server = slot.server;
        slot = NetworkSlot{};
        Network_RetireSocket(socket);
        if (server != nullptr) Network_RetireServer(server);
        return i;
    }
    return -1;
}

void Network_Destroy(int32_t index) {
    NetworkSlot* slot = Network_GetSlot(index);
    if (slot == nullptr) return;
    NetworkBusy busy;
    pwServer* server = slot->server;
    pwSocket* socket = slot->socket;
    *slot = NetworkSlot{};
    if (server != nullptr) {
        // Its clients stay open as ordinary sockets that the pump polls.
        for (NetworkSlot& other : g_slots) {
            if (other.inUse && other.serverAccepted && other.socket != nullptr &&
                server->RemoveClient(other.socket))
                other.serverAccepted = false;
        }
        Network_RetireServer(server);
    }
    if (socket != nullptr) {
        for (NetworkSlot& other : g_slots)
            if (other.inUse && other.server != nullptr) other.server->RemoveClient(socket);
        NetSocket_Shutdown(socket->handle);
        socket->state = PW_STATE_CLOSED;
        Network_RetireSocket(socket);
    }
}

int32_t Network_LocalPort(int32_t index) {
    pwSocket* socket = Network_SendingSocket(index);
    if (socket == nullptr || socket->handle < 0) return -1;
    return NetSocket_LocalPort(socket->handle);
}

// --- retiring ----------------------------------------------------------------------------------

NetworkBusy::NetworkBusy() {
    ++g_busyDepth;
}

NetworkBusy::~NetworkBusy() {
    if (--g_busyDepth == 0) FreeRetired();
}

void Network_RetireSocket(pwSocket* socket) {
    if (socket == nullptr || socket->retired) return;
    socket->retired = true;
    socket->CloseHandle();
    if (g_busyDepth > 0)
        g_retiredSockets.push_back(socket);
    else
        delete socket;
}

void Network_RetireServer(pwServer* server) {
    if (server == nullptr || server->retired) return;
    server->retired = true;
    server->Close();
    if (g_busyDepth > 0)
        g_retiredServers.push_back(server);
    else
        delete server;
}

// --- the pump ----------------------------------------------------------------------------------

void Network_Tick() {
    NetworkBusy busy;
    for (int32_t i = 0; i < kNetworkSlots; ++i) {
        NetworkSlot& slot = g_slots[i];
        if (!slot.inUse) continue;
        // Each step re-reads the slot: an event of the step before may have changed it.
        if (slot.socket != nullptr) slot.socket->PollConnect();
        if (slot.inUse && slot.server != nullptr) slot.server->Poll();
        if (!slot.inUse || slot.serverAccepted) continue;
        pwSocket* socket = slot.socket;
        if (socket == nullptr || socket->readBuffer == nullptr || socket->IsConnecting()) continue;
        if (socket->kind == PW_SOCKET_UDP)
            socket->ReceiveDatagrams();
        else
            socket->ReceiveStream(nullptr);
    }
    Rely_Tick();
}

void Network_PollServers() {
    NetworkBusy busy;
    for (NetworkSlot& slot : g_slots)
        if (slot.inUse && slot.server != nullptr) slot.server->Poll();
}

void Network_Shutdown() {
    {
        NetworkBusy busy;
        for (int32_t i = 0; i < kNetworkSlots; ++i) Network_Destroy(i);
    }
    Rely_Reset();
    if (g_eventMap >= 0 && DS_GetMap(g_eventMap) == g_eventMapObject) DS_DestroyMap(g_eventMap);
    g_eventMap = -1;
    g_eventMapObject = nullptr;
}

// --- events ------------------------------------------------------------------------------------

void Network_PostConnectEvent(int32_t serverSlot, int32_t clientSlot, int32_t port, const char* ip,
                              bool connected) {
    const int32_t map = EventMap();
    DsMap_AddRealDirect(map, "type", connected ? NETWORK_EVENT_CONNECT : NETWORK_EVENT_DISCONNECT);
    DsMap_AddRealDirect(map, "id", serverSlot);
    DsMap_AddRealDirect(map, "socket", clientSlot);
    DsMap_AddRealDirect(map, "port", port);
    DsMap_AddStringDirect(map, "ip", ip ? ip : "");
    Perform(map);
}

void Network_PostNonBlockingConnectEvent(int32_t slot, bool succeeded) {
    const pwSocket* socket = Network_SendingSocket(slot);
    const int32_t map = EventMap();
    DsMap_AddRealDirect(map, "type", NETWORK_EVENT_NONBLOCKING_CONNECT);
    DsMap_AddRealDirect(map, "socket", slot);
    DsMap_AddRealDirect(map, "id", slot);
    DsMap_AddRealDirect(map, "succeeded", succeeded ? 1.0 : 0.0);
    DsMap_AddStringDirect(map, "ip", socket ? socket->address : "");
    DsMap_AddRealDirect(map, "port", socket ? socket->port : 0);
    Perform(map);
}

void Network_PostDataEvent(int32_t slot, int32_t buffer, int32_t size, const char* ip, int32_t port) {
    const int32_t map = EventMap();
    DsMap_AddRealDirect(map, "type", NETWORK_EVENT_DATA);
    DsMap_AddRealDirect(map, "id", slot);
    DsMap_AddRealDirect(map, "buffer", buffer);
    DsMap_AddRealDirect(map, "size", size);
    DsMap_AddStringDirect(map, "ip", ip ? ip : "");
    DsMap_AddRealDirect(map, "port", port);
    Perform(map);
}
