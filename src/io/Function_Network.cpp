// The network_* built-ins.
#include <cstring>

#include "core/Code_Function.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "core/Value_Convert.h"
#include "io/Buffer_Manager.h"
#include "io/Network_Main.h"
#include "io/Network_Rely.h"
#include "io/Network_Server.h"
#include "io/Network_Socket.h"
#include "platform/SocketM.h"

namespace {

constexpr int32_t kSocketReadBuffer = 0x10000;

bool IsNumber(const RValue& value) {
    const uint32_t kind = RValue_Kind(value);
    return kind == VALUE_REAL || kind == VALUE_INT32 || kind == VALUE_INT64 || kind == VALUE_BOOL;
}

// A new socket of the type in a new slot; -1 (reported) when the type is unknown or no slot is
// free.
int32_t NewSocket(int32_t type, pwSocket** made) {
    if (type < PW_SOCKET_TCP || type > PW_SOCKET_BLUETOOTH) {
        Runtime_ErrorNonFatal("Illegal socket type %d", type);
        return -1;
    }
    if (type == PW_SOCKET_BLUETOOTH) Runtime_ErrorNonFatal("Error: Bluetooth not yet implemented");
    const int32_t slot = Network_AllocSlot();
    if (slot < 0) {
        Runtime_ErrorNonFatal("Cannot allocate any more sockets");
        return -1;
    }
    auto* socket = new pwSocket(type);
    socket->id = slot;
    socket->EnsureReadCapacity(kSocketReadBuffer);
    Network_GetSlot(slot)->socket = socket;
    *made = socket;
    return slot;
}

// The socket of a slot that a connect may use: in the table, in use, holding a socket.
pwSocket* ConnectableSocket(int32_t index) {
    NetworkSlot* slot = Network_GetSlot(index);
    if (slot == nullptr || slot->socket == nullptr) {
        Runtime_ErrorNonFatal("Illegal socket index");
        return nullptr;
    }
    return slot->socket;
}

// The size bytes from the start of a buffer, never past its end; null when it is no buffer.
const uint8_t* BufferBytes(int32_t index, int32_t size, int32_t* length) {
    const IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) return nullptr;
    if (size < 0) size = 0;
    *length = size < buffer->GetSize() ? size : buffer->GetSize();
    return buffer->GetData();
}

void CreateServer(RValue& result, RValue* args, bool raw) {
    result = RValue_Real(-1.0);
    const int32_t type = Arg_GetInt32(args, 0);
    const int32_t port = Arg_GetInt32(args, 1);
    const int32_t maxClients = Arg_GetInt32(args, 2);
    if (maxClients > kNetMaxClients) {
        Runtime_ErrorNonFatal("Maximum number of clients for server must be less than %d on this platform",
                              kNetMaxClients);
        return;
    }
    if (maxClients < 1) {
        Runtime_ErrorNonFatal("Maximum number of clients for server cannot be less than 1");
        return;
    }
    if (type == PW_SOCKET_BLUETOOTH) Runtime_ErrorNonFatal("Error: Bluetooth not yet implemented");
    const int32_t slot = Network_AllocSlot();
    if (slot < 0) {
        Runtime_ErrorNonFatal("Cannot allocate anymore sockets");
        return;
    }
    auto* server = new pwServer();
    server->raw = raw;
    if (server->Start(type, port, maxClients) != 0) {
        Network_GetSlot(slot)->inUse = false;
        delete server;
        return;
    }
    server->SetId(slot);
    Network_GetSlot(slot)->server = server;
    result = RValue_Real(slot);
}

// --- built-ins ---------------------------------------------------------------------------------

void F_NetworkCreateSocket(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    pwSocket* socket = nullptr;
    const int32_t slot = NewSocket(Arg_GetInt32(args, 0), &socket);
    if (slot >= 0 && socket->kind == PW_SOCKET_UDP) socket->handle = NetSocket_Create(NET_SOCKET_UDP);
    result = RValue_Real(slot);
}

void F_NetworkCreateSocketExt(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    pwSocket* socket = nullptr;
    const int32_t slot = NewSocket(Arg_GetInt32(args, 0), &socket);
    result = RValue_Real(slot);
    if (slot < 0) return;
    socket->handle = NetSocket_Create(socket->kind == PW_SOCKET_UDP ? NET_SOCKET_UDP : NET_SOCKET_TCP);
    if (socket->handle < 0 || socket->Bind(Arg_GetInt32(args, 1)) != 0) {
        Network_Destroy(slot);
        result = RValue_Real(-1.0);
    }
}

void F_NetworkCreateServer(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    CreateServer(result, args, false);
}

void F_NetworkCreateServerRaw(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    CreateServer(result, args, true);
}

// Every refusal gives -1: a connect that did not happen never reads as a success.
void F_NetworkConnect(RValue& result, CInstance*, CInstance*, int32_t argc, RValue* args) {
    result = RValue_Real(-1.0);
    if (argc != 3) {
        Runtime_ErrorNonFatal("Illegal argument count");
        return;
    }
    if (!IsNumber(args[0]) || !RValue_IsString(args[1]) || !IsNumber(args[2])) {
        Runtime_ErrorNonFatal("Illegal argument type");
        return;
    }
    pwSocket* socket = ConnectableSocket(Arg_GetInt32(args, 0));
    if (socket == nullptr) return;
    NetworkBusy busy;
    result = RValue_Real(socket->Connect(Arg_GetString(args, 1), Arg_GetInt32(args, 2)));
}

void F_NetworkConnectRaw(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    pwSocket* socket = ConnectableSocket(Arg_GetInt32(args, 0));
    if (socket == nullptr) return;
    NetworkBusy busy;
    result = RValue_Real(socket->ConnectRaw(Arg_GetString(args, 1), Arg_GetInt32(args, 2)));
}

void F_NetworkSendPacket(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    pwSocket* socket = Network_SendingSocket(Arg_GetInt32(args, 0));
    int32_t length = 0;
    const uint8_t* bytes = BufferBytes(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), &length);
    if (socket == nullptr || bytes == nullptr) return;
    result = RValue_Real(socket->SendPacket(bytes, length));
}

void F_NetworkSendRaw(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    pwSocket* socket = Network_SendingSocket(Arg_GetInt32(args, 0));
    int32_t length = 0;
    const uint8_t* bytes = BufferBytes(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2), &length);
    if (socket == nullptr || bytes == nullptr) return;
    result = RValue_Real(socket->Write(bytes, length));
}

void F_NetworkSendBroadcast(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    int32_t length = 0;
    const uint8_t* bytes = BufferBytes(Arg_GetInt32(args, 2), Arg_GetInt32(args, 3), &length);
    if (bytes == nullptr) {
        Runtime_ErrorNonFatal("Illegal Buffer ID");
        return;
    }
    pwSocket* socket = Network_SendingSocket(Arg_GetInt32(args, 0));
    if (socket == nullptr) return;
    const int32_t sent = socket->Broadcast(Arg_GetInt32(args, 1), bytes, length);
    result = RValue_Real(sent == 0 ? length : sent);
}

void SendUdp(RValue& result, RValue* args, bool framed) {
    result = RValue_Real(-1.0);
    pwSocket* socket = Network_SendingSocket(Arg_GetInt32(args, 0));
    int32_t length = 0;
    const uint8_t* bytes = BufferBytes(Arg_GetInt32(args, 3), Arg_GetInt32(args, 4), &length);
    if (socket == nullptr || bytes == nullptr) return;
    const char* host = Arg_GetStringOrEmpty(args, 1);
    const int32_t port = Arg_GetInt32(args, 2);
    if (framed && socket->reliable)
        result = RValue_Real(Rely_Send(Arg_GetInt32(args, 0), host, port, bytes, length));
    else
        result = RValue_Real(socket->SendUDP(host, port, bytes, length, framed));
}

void F_NetworkSendUdp(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    SendUdp(result, args, true);
}

void F_NetworkSendUdpRaw(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    SendUdp(result, args, false);
}

void F_NetworkResolve(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    uint32_t ip = 0;
    char text[16] = "";
    if (Net_ResolveAddress(Arg_GetString(args, 0), &ip)) NetSocket_FormatAddress(ip, text, sizeof text);
    RValue_SetString(&result, text);
}

void F_NetworkDestroy(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Undefined();
    Network_Destroy(Arg_GetInt32(args, 0));
}

void F_NetworkSetTimeout(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(0.0);
    pwSocket* socket = Network_SendingSocket(Arg_GetInt32(args, 0));
    if (socket == nullptr) return;
    result = RValue_Real(socket->SetTimeouts(Arg_GetInt32(args, 1), Arg_GetInt32(args, 2)));
}

void F_NetworkSetConfig(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(0.0);
    const int32_t setting = Arg_GetInt32(args, 0);
    switch (setting) {
        case 0:
            g_NetSettings.connectTimeoutMs = Arg_GetInt32(args, 1);
            return;
        case 1:
            g_NetSettings.nonBlockingConnect = Arg_GetBool(args, 1);
            return;
        case 2:
        case 3: {
            NetworkSlot* slot = Network_GetSlot(Arg_GetInt32(args, 1));
            if (slot != nullptr && slot->socket != nullptr) slot->socket->reliable = setting == 2;
            return;
        }
        default:
            Runtime_ErrorNonFatal("network_set_config : unknown parameter");
            result = RValue_Real(-1.0);
    }
}

}  // namespace

void InitNetworkingFunctions() {
    static const BuiltinRow rows[] = {
        {"network_create_socket", F_NetworkCreateSocket, 1},
        {"network_create_socket_ext", F_NetworkCreateSocketExt, 2},
        {"network_create_server", F_NetworkCreateServer, 3},
        {"network_create_server_raw", F_NetworkCreateServerRaw, 3},
        {"network_connect", F_NetworkConnect, 3},
        {"network_connect_raw", F_NetworkConnectRaw, 3},
        {"network_send_packet", F_NetworkSendPacket, 3},
        {"network_send_raw", F_NetworkSendRaw, 3},
        {"network_send_broadcast", F_NetworkSendBroadcast, 4},
        {"network_send_udp", F_NetworkSendUdp, 5},
        {"network_send_udp_raw", F_NetworkSendUdpRaw, 5},
        {"network_resolve", F_NetworkResolve, 1},
        {"network_destroy", F_NetworkDestroy, 1},
        {"network_set_timeout", F_NetworkSetTimeout, 3},
        {"network_set_config", F_NetworkSetConfig, 2},
    };
    static_assert(sizeof rows / sizeof rows[0] == 15, "the network family has 15 built-ins");
    Network_Shutdown();
    Code_Function_AddRows(rows);
}
