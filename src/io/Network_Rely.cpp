// Reliable UDP: packet ids, the per-peer rings of ids to acknowledge, and the resend list.
#include "io/Network_Rely.h"

#include <cstring>
#include <list>
#include <string>

#include "core/Console.h"
#include "core/CRC32.h"
#include "core/Timing.h"
#include "io/Buffer_Manager.h"
#include "io/Network_Main.h"
#include "io/Network_Socket.h"

namespace {

constexpr uint32_t kTypePlain = 0;
constexpr uint32_t kTypeReliable = 1;
constexpr uint32_t kTypeAck = 2;
constexpr int32_t kPlainHeader = 8;
constexpr int32_t kIdHeader = 12;
constexpr double kAckAfterSeconds = 1.0;
constexpr double kResendAfterSeconds = 3.0;

struct RelyPeer {
    std::string address;
    int32_t port = 0;
    int32_t socket = -1;
    uint32_t ids[kRelyRingSize] = {};
    uint8_t readIndex = 0;
    uint8_t writeIndex = 0;
    int64_t lastFlush = 0;
    int64_t lastHeard = 0;
};

struct ResendEntry {
    uint32_t id = 0;
    int32_t buffer = -1;
    uint32_t bufferHandle = 0;  // the buffer living in that index when the entry was made
    std::string host;
    int32_t port = 0;
    int32_t socket = -1;
    int64_t sendTime = 0;
};

uint32_t g_nextId = 1;
std::list<RelyPeer> g_peers;
std::list<ResendEntry> g_resends;

uint32_t Word(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

void PutWord(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

bool Elapsed(int64_t since, double seconds) {
    return static_cast<double>(Timing_Time() - since) / 1000000.0 > seconds;
}

// The datagram goes out unframed through the slot's socket (or its server's), as
// network_send_udp_raw sends: its length or a negative result.
int32_t SendRaw(int32_t socketSlot, const char* host, int32_t port, const uint8_t* data, int32_t length) {
    pwSocket* socket = Network_SendingSocket(socketSlot);
    if (socket == nullptr) return -1;
    return socket->SendUDP(host, port, data, length, false);
}

IBuffer* LiveBuffer(const ResendEntry& entry) {
    IBuffer* buffer = Buffer_GetByIndex(entry.buffer);
    if (buffer == nullptr || Buffer_GetAddressHandle(entry.buffer) != entry.bufferHandle) return nullptr;
    return buffer;
}

void FreeEntry(const ResendEntry& entry) {
    if (LiveBuffer(entry) != nullptr) Buffer_Free(entry.buffer);
}

// Builds a packet of the type with the next id around the payload, sends it and keeps it for
// resending; the send's result.
int32_t SendNumbered(uint32_t type, int32_t socketSlot, const char* host, int32_t port,
                     const uint8_t* payload, int32_t length) {
    const uint32_t id = g_nextId++;
    const int32_t buffer = Buffer_Create(kIdHeader + length, 3, 1);
    IBuffer* packet = Buffer_GetByIndex(buffer);
    if (packet == nullptr) return -1;
    uint8_t* bytes = packet->GetData();
    PutWord(bytes + 4, type);
    PutWord(bytes + 8, id);
    if (length > 0) std::memcpy(bytes + kIdHeader, payload, static_cast<size_t>(length));
    PutWord(bytes, CRC32_Bytes(bytes + 4, kIdHeader + length - 4));
    const int32_t sent = SendRaw(socketSlot, host, port, bytes, kIdHeader + length);
    ResendEntry entry;
    entry.id = id;
    entry.buffer = buffer;
    entry.bufferHandle = Buffer_GetAddressHandle(buffer);
    entry.host = host ? host : "";
    entry.port = port;
    entry.socket = socketSlot;
    entry.sendTime = Timing_Time();
    g_resends.push_back(std::move(entry));
    return sent;
}

void SendAcks(RelyPeer& peer) {
    int32_t count = peer.writeIndex - peer.readIndex;
    if (count < 0) count += kRelyRingSize;
    if (count == 0) return;
    uint8_t ids[kRelyRingSize * 4];
    for (int32_t i = 0; i < count; ++i) PutWord(ids + 4 * i, peer.ids[(peer.readIndex + i) % kRelyRingSize]);
    SendNumbered(kTypeAck, peer.socket, peer.address.c_str(), peer.port, ids, count * 4);
    peer.readIndex = peer.writeIndex;
    peer.lastFlush = Timing_Time();
}

RelyPeer& FindPeer(int32_t socketSlot, const char* address, int32_t port) {
    for (RelyPeer& peer : g_peers)
        if (peer.socket == socketSlot && peer.port == port && peer.address == address) return peer;
    if (static_cast<int32_t>(g_peers.size()) >= kRelyMaxPeers) {
        auto oldest = g_peers.begin();
        for (auto it = g_peers.begin(); it != g_peers.end(); ++it)
            if (it->lastHeard < oldest->lastHeard) oldest = it;
        SendAcks(*oldest);
        g_peers.erase(oldest);
    }
    RelyPeer& peer = g_peers.emplace_back();
    peer.address = address;
    peer.port = port;
    peer.socket = socketSlot;
    peer.lastFlush = Timing_Time();
    return peer;
}

// True when the id is new from this peer.
bool RecordId(int32_t socketSlot, const char* address, int32_t port, uint32_t id) {
    RelyPeer& peer = FindPeer(socketSlot, address, port);
    peer.lastHeard = Timing_Time();
    for (uint32_t seen : peer.ids) {
        if (seen == id) {
            DebugConsole.Output("Already received packet %d from %s:%d\n", static_cast<int32_t>(id), address,
                                port);
            return false;
        }
    }
    peer.ids[peer.writeIndex] = id;
    peer.writeIndex = static_cast<uint8_t>((peer.writeIndex + 1) % kRelyRingSize);
    if ((peer.writeIndex + 1) % kRelyRingSize == peer.readIndex) SendAcks(peer);
    return true;
}

void Malformed(const char* address, int32_t port) {
    DebugConsole.Output("RELY: malformed packet from %s:%d (unknown type).  discarding!\n", address, port);
}

}  // namespace

int32_t Rely_Send(int32_t socketSlot, const char* host, int32_t port, const uint8_t* data, int32_t length) {
    if (length < 0) length = 0;
    const int32_t sent = SendNumbered(kTypeReliable, socketSlot, host, port, data, length);
    if (sent > kIdHeader) return sent - kIdHeader;
    if (sent >= 0) return -4;
    return sent;
}

bool Rely_Receive(int32_t socketSlot, const uint8_t* datagram, int32_t length, const char* address,
                  int32_t port, int32_t* payloadOffset) {
    // Too short for any header: nothing in it can be read safely.
    if (length < kPlainHeader) {
        Malformed(address, port);
        return false;
    }
    if (CRC32_Bytes(datagram + 4, length - 4) != Word(datagram)) {
        DebugConsole.Output("RELY: crc on incoming packet from %s:%d does not match, discarding!\n", address,
                            port);
        return false;
    }
    const uint32_t type = datagram[4];
    if (type == kTypePlain) {
        *payloadOffset = kPlainHeader;
        return true;
    }
    if ((type != kTypeReliable && type != kTypeAck) || length < kIdHeader) {
        Malformed(address, port);
        return false;
    }
    const bool isNew = RecordId(socketSlot, address, port, Word(datagram + 8));
    if (type == kTypeReliable) {
        *payloadOffset = kIdHeader;
        return isNew;
    }
    if (!isNew) return false;
    for (int32_t at = kIdHeader; at + 4 <= length; at += 4) {
        const uint32_t acknowledged = Word(datagram + at);
        for (auto it = g_resends.begin(); it != g_resends.end();) {
            if (it->id == acknowledged) {
                FreeEntry(*it);
                it = g_resends.erase(it);
            } else {
                ++it;
            }
        }
    }
    return false;
}

void Rely_Tick() {
    for (RelyPeer& peer : g_peers)
        if (Elapsed(peer.lastFlush, kAckAfterSeconds)) SendAcks(peer);
    // Each entry sent again goes to the end with a fresh time, so the walk meets it no more.
    for (size_t n = g_resends.size(); n > 0 && Elapsed(g_resends.front().sendTime, kResendAfterSeconds);
         --n) {
        ResendEntry entry = std::move(g_resends.front());
        g_resends.pop_front();
        IBuffer* buffer = LiveBuffer(entry);
        if (buffer != nullptr && Network_SendingSocket(entry.socket) != nullptr)
            SendRaw(entry.socket, entry.host.c_str(), entry.port, buffer->GetData(), buffer->GetSize());
        entry.sendTime = Timing_Time();
        g_resends.push_back(std::move(entry));
    }
}

void Rely_Reset() {
    for (const ResendEntry& entry : g_resends) FreeEntry(entry);
    g_resends.clear();
    g_peers.clear();
    g_nextId = 1;
}

int32_t Rely_ResendCount() {
    return static_cast<int32_t>(g_resends.size());
}

int32_t Rely_PeerCount() {
    return static_cast<int32_t>(g_peers.size());
}
