// A listening endpoint for network_create_server and network_create_server_raw. A TCP server
// accepts clients up to its maximum, gives each a slot of the socket table, greets it and
// checks its login (unless raw), assembles each client's stream into packets and reports
// connections, disconnections and packets as networking events. A UDP server turns every
// datagram on its socket into a data event. Polled once per frame; main thread only.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"

class pwSocket;

constexpr int32_t kNetMaxClients = 1014;
constexpr int32_t kNetSetSize = 1024;

// The sockets a server polls: the listening socket first, then its clients.
class pwSocketSet : public MemoryManaged {
public:
    // False when the set is full or the socket is already in it.
    bool Add(pwSocket* socket);
    // True when the socket was in the set.
    bool Remove(pwSocket* socket);
    bool Contains(const pwSocket* socket) const;
    pwSocket* At(int32_t i) const { return m_members[i]; }

private:
    pwSocket* m_members[kNetSetSize] = {};
};

class pwServer : public MemoryManaged {
public:
    pwServer() = default;
    ~pwServer();
    pwServer(const pwServer&) = delete;
    pwServer& operator=(const pwServer&) = delete;

    // Opens, binds to any local address on the port and (TCP) listens; 0 or negative.
    int32_t Start(int32_t kind, int32_t port, int32_t maxClients);
    void Poll();
    // What the stream reader hands over for each packet of a client.
    void HandlePacket(pwSocket* client, const uint8_t* data, int32_t length);
    // Takes the client out of the set, lowering the count when it was there.
    bool RemoveClient(pwSocket* client);
    void SetId(int32_t slot);
    // Deletes the listening socket; clients are not closed.
    void Close();

    pwSocket* socket = nullptr;
    pwSocketSet clients;
    uint8_t* receiveBuffer = nullptr;
    int32_t receiveCapacity = 0;
    int32_t id = -1;
    bool raw = false;
    int32_t kind = 0;
    int32_t maxClients = kNetMaxClients;
    int32_t clientCount = 0;
    bool retired = false;

private:
    void PollTCP();
    void PollUDP();
    void Accept();
    void Disconnected(pwSocket* client);
    // Takes a client out and releases its slot (a failed login).
    void DropClient(pwSocket* client);
};
