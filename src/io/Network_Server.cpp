// Servers: accepting, greeting and logging in clients, and turning their packets into events.
#include "io/Network_Server.h"

#include <cstring>

#include "core/Console.h"
#include "io/Network_Main.h"
#include "io/Network_Socket.h"
#include "platform/SocketM.h"

namespace {

constexpr int32_t kListenBacklog = 5;
constexpr int32_t kClientReadBuffer = 4096;
constexpr int32_t kServerReceiveBuffer = 64 * 1024;
constexpr int32_t kDatagramStep = 32 * 1024;
constexpr int64_t kUdpWaitMicroseconds = 100;
constexpr int32_t kMaxDatagramsPerPoll = 4096;

uint32_t Word(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

void Refuse(int32_t handle, const char* address) {
    DebugConsole.Output("Client Refused: %s\n", address);
    if (NetSocket_Send(handle, kNetRefusal, kNetRefusalSize) != kNetRefusalSize)
        DebugConsole.Output("send error");
    NetSocket_Close(handle);
}

}  // namespace

// --- the set -----------------------------------------------------------------------------------

bool pwSocketSet::Add(pwSocket* socket) {
    if (Contains(socket)) return false;
    for (pwSocket*& member : m_members) {
        if (member == nullptr) {
            member = socket;
            return true;
        }
    }
    return false;
}

bool pwSocketSet::Remove(pwSocket* socket) {
    for (pwSocket*& member : m_members) {
        if (member == socket) {
            member = nullptr;
            return true;
        }
    }
    return false;
}

bool pwSocketSet::Contains(const pwSocket* socket) const {
    for (const pwSocket* member : m_members)
        if (member == socket) return true;
    return false;
}

// --- the server --------------------------------------------------------------------------------

pwServer::~pwServer() {
    delete socket;
    MEM_FREE(receiveBuffer);
}

int32_t pwServer::Start(int32_t kind_, int32_t port, int32_t maxClients_) {
    maxClients = maxClients_;
    kind = kind_;
    if (kind != 0 && kind != 1) return -1;
    auto* listening = new pwSocket(kind);
    listening->Open();
    if (listening->handle < 0) {
        DebugConsole.Output("Error: Can't open main server socket\n");
        delete listening;
        return -1;
    }
    const int32_t bound = listening->Bind(port);
    if (bound != 0) {
        DebugConsole.Output("cannot bind port ");
        delete listening;
        return bound;
    }
    if (kind == 0 && NetSocket_Listen(listening->handle, kListenBacklog) != 0) {
        DebugConsole.Output("Error: Can't listen to socket\n");
        DebugConsole.Output("cannot listen on selected port");
        delete listening;
        return -1;
    }
    // The port the system chose when asked for port 0, so clients report the real one.
    const int32_t local = NetSocket_LocalPort(listening->handle);
    listening->port = port == 0 && local > 0 ? local : port;
    socket = listening;
    clients.Add(listening);
    if (kind == 1) {
        receiveBuffer = static_cast<uint8_t*>(MEM_ALLOC_RAW(kServerReceiveBuffer));
        receiveCapacity = kServerReceiveBuffer;
    }
    return 0;
}

void pwServer::SetId(int32_t slot) {
    id = slot;
    if (socket != nullptr) socket->id = slot;
}

void pwServer::Close() {
    if (socket != nullptr) {
        clients.Remove(socket);
        Network_RetireSocket(socket);
        socket = nullptr;
    }
}

bool pwServer::RemoveClient(pwSocket* client) {
    if (!clients.Remove(client)) return false;
    --clientCount;
    return true;
}

void pwServer::Poll() {
    if (socket == nullptr || socket->handle < 0) return;
    if (kind == 0)
        PollTCP();
    else
        PollUDP();
}

void pwServer::PollTCP() {
    pwSocket* members[kNetSetSize];
    int32_t handles[kNetSetSize];
    uint8_t wants[kNetSetSize], ready[kNetSetSize];
    int32_t count = 0;
    for (int32_t i = 0; i < kNetSetSize; ++i) {
        pwSocket* member = clients.At(i);
        if (member == nullptr || member->handle < 0) continue;
        members[count] = member;
        handles[count] = member->handle;
        wants[count] = NET_POLL_READ;
        ++count;
    }
    const int32_t found = NetSocket_Poll(handles, wants, ready, count, 0);
    if (found == 0) return;
    if (found < 0) {
        Net_ReportError();
        return;
    }
    for (int32_t i = 0; i < count && !retired; ++i) {
        pwSocket* member = members[i];
        // An event of an earlier member may have taken this one out of the set.
        if (ready[i] == 0 || !clients.Contains(member) || member->retired) continue;
        if (member == socket) {
            Accept();
        } else if (!member->ReceiveStream(this) && clients.Contains(member) && !member->retired) {
            Disconnected(member);
        }
    }
}

void pwServer::Accept() {
    NetAddress peer;
    const int32_t handle = NetSocket_Accept(socket->handle, &peer);
    if (handle < 0) {
        Net_ReportError();
        return;
    }
    char address[16];
    NetSocket_FormatAddress(peer.ip, address, sizeof address);
    if (clientCount >= maxClients) {
        Refuse(handle, address);
        return;
    }
    const int32_t slot = Network_AllocSlot();
    if (slot < 0) {
        Refuse(handle, address);
        return;
    }
    // Accepted handles act like their listening socket: non-blocking, no send delay.
    NetSocket_SetNonBlocking(handle, true);
    NetSocket_SetNoDelay(handle, true);
    auto* client = new pwSocket(kind);
    client->handle = handle;
    client->EnsureReadCapacity(kClientReadBuffer);
    NetworkSlot* entry = Network_GetSlot(slot);
    entry->socket = client;
    entry->serverAccepted = true;
    ++clientCount;
    clients.Add(client);
    std::memcpy(client->address, address, sizeof address);
    DebugConsole.Output("Client(%d) Connected: %s\n", slot, address);
    client->port = socket->port;
    client->id = slot;
    if (raw) {
        client->state = PW_STATE_READY;
        Network_PostConnectEvent(id, slot, client->port, client->address, true);
        return;
    }
    client->state = PW_STATE_AWAIT_LOGIN;
    if (NetSocket_Send(handle, kNetGreeting, kNetGreetingSize) != kNetGreetingSize) {
        DebugConsole.Output("send error");
        DropClient(client);
    }
}

void pwServer::Disconnected(pwSocket* client) {
    DebugConsole.Output("Client(%d) Disconnected: %s\n", client->id, client->address);
    const int32_t port = client->port;
    char address[16];
    std::memcpy(address, client->address, sizeof address);
    const bool loggedIn = client->state == PW_STATE_READY;
    RemoveClient(client);
    client->CloseHandle();
    client->state = PW_STATE_CLOSED;
    const int32_t slot = Network_ReleaseSocket(client);
    if (loggedIn) Network_PostConnectEvent(id, slot, port, address, false);
}

void pwServer::DropClient(pwSocket* client) {
    RemoveClient(client);
    Network_ReleaseSocket(client);
}

void pwServer::HandlePacket(pwSocket* client, const uint8_t* data, int32_t length) {
    if (kind == 1 || client->state == PW_STATE_READY) {
        client->DeliverData(data, length);
        return;
    }
    if (client->state != PW_STATE_AWAIT_LOGIN) return;
    // A login too short to hold its three words is refused like a wrong one.
    if (length >= kNetAcceptanceSize && Word(data) == kNetLogin[0] && Word(data + 4) == kNetLogin[1] &&
        Word(data + 8) == kNetLogin[2]) {
        uint8_t acceptance[kNetAcceptanceSize];
        for (int32_t i = 0; i < 3; ++i) {
            acceptance[4 * i] = static_cast<uint8_t>(kNetAcceptance[i]);
            acceptance[4 * i + 1] = static_cast<uint8_t>(kNetAcceptance[i] >> 8);
            acceptance[4 * i + 2] = static_cast<uint8_t>(kNetAcceptance[i] >> 16);
            acceptance[4 * i + 3] = static_cast<uint8_t>(kNetAcceptance[i] >> 24);
        }
        client->Write(acceptance, kNetAcceptanceSize);
        client->state = PW_STATE_READY;
        Network_PostConnectEvent(id, client->id, client->port, client->address, true);
        return;
    }
    DebugConsole.Output("ERROR: login failed\n");
    DropClient(client);
}

void pwServer::PollUDP() {
    for (int32_t reads = 0;
         reads < kMaxDatagramsPerPoll && !retired && socket != nullptr && socket->handle >= 0; ++reads) {
        const int32_t handle = socket->handle;
        const uint8_t want = NET_POLL_READ;
        uint8_t ready = 0;
        const int32_t found =
            NetSocket_Poll(&handle, &want, &ready, 1, reads == 0 ? kUdpWaitMicroseconds : 0);
        if (found < 0) {
            Net_ReportError();
            return;
        }
        if (found == 0 || ready == 0) return;
        const int32_t waiting = NetSocket_Waiting(handle);
        if (receiveCapacity < waiting || receiveCapacity == 0) {
            int32_t grown = receiveCapacity;
            do grown += kDatagramStep;
            while (grown < waiting);
            receiveBuffer = static_cast<uint8_t*>(MEM_REALLOC(receiveBuffer, grown));
            receiveCapacity = grown;
        }
        NetAddress from;
        const int32_t n = NetSocket_ReceiveFrom(handle, receiveBuffer, receiveCapacity, &from);
        if (n < 0) return;
        NetSocket_FormatAddress(from.ip, socket->address, sizeof socket->address);
        socket->port = from.port;
        HandlePacket(socket, receiveBuffer, n);
    }
}
