// The socket layer on 127.0.0.1: error codes in place of errno, and sends to a closed peer that
// fail instead of raising SIGPIPE.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/SocketM.h"

namespace {

constexpr uint32_t kLoopback = 0x7F000001u;

int32_t Listener(int32_t* port) {
    const int32_t handle = NetSocket_Create(NET_SOCKET_TCP);
    EXPECT_EQ(NetSocket_Bind(handle, NetAddress{kLoopback, 0}), 0);
    EXPECT_EQ(NetSocket_Listen(handle, 5), 0);
    *port = NetSocket_LocalPort(handle);
    return handle;
}

TEST(SocketTest, RefusedConnectReportsTheRefusal) {
    int32_t port = 0;
    NetSocket_Close(Listener(&port));  // the port is free again, and nothing listens there
    const int32_t handle = NetSocket_Create(NET_SOCKET_TCP);
    EXPECT_EQ(NetSocket_Connect(handle, NetAddress{kLoopback, port}), -1);
    EXPECT_EQ(NetSocket_LastError(), NET_ECONNREFUSED);
    NetSocket_Close(handle);

    // Non-blocking: "would block" first, the refusal from the pending error once it is writable.
    const int32_t quiet = NetSocket_Create(NET_SOCKET_TCP);
    ASSERT_EQ(NetSocket_SetNonBlocking(quiet, true), 0);
    if (NetSocket_Connect(quiet, NetAddress{kLoopback, port}) != 0) {
        EXPECT_TRUE(NetSocket_LastError() == NET_EWOULDBLOCK || NetSocket_LastError() == NET_ECONNREFUSED);
        const uint8_t want = NET_POLL_WRITE;
        uint8_t ready = 0;
        EXPECT_EQ(NetSocket_Poll(&quiet, &want, &ready, 1, 2'000'000), 1);
        EXPECT_EQ(NetSocket_PendingError(quiet), NET_ECONNREFUSED);
    }
    NetSocket_Close(quiet);
}

TEST(SocketTest, SendingToAClosedPeerFailsWithoutASignal) {
    int32_t port = 0;
    const int32_t listener = Listener(&port);
    const int32_t client = NetSocket_Create(NET_SOCKET_TCP);
    ASSERT_EQ(NetSocket_Connect(client, NetAddress{kLoopback, port}), 0);
    NetAddress peer;
    const int32_t accepted = NetSocket_Accept(listener, &peer);
    ASSERT_GE(accepted, 0);
    EXPECT_EQ(peer.ip, kLoopback);
    NetSocket_Close(accepted);

    const char bytes[1024] = {};
    int32_t result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = NetSocket_Send(client, bytes, sizeof bytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(NetSocket_LastError() == NET_ESHUTDOWN || NetSocket_LastError() == NET_ECONNRESET)
        << NetSocket_LastError();
    NetSocket_Close(client);
    NetSocket_Close(listener);
}

TEST(SocketTest, DatagramsCarryTheirSenderAndAddressesRoundTrip) {
    const int32_t a = NetSocket_Create(NET_SOCKET_UDP);
    const int32_t b = NetSocket_Create(NET_SOCKET_UDP);
    ASSERT_EQ(NetSocket_Bind(a, NetAddress{kLoopback, 0}), 0);
    ASSERT_EQ(NetSocket_Bind(b, NetAddress{kLoopback, 0}), 0);
    ASSERT_EQ(NetSocket_SendTo(a, "hey", 3, NetAddress{kLoopback, NetSocket_LocalPort(b)}), 3);
    const uint8_t want = NET_POLL_READ;
    uint8_t ready = 0;
    ASSERT_EQ(NetSocket_Poll(&b, &want, &ready, 1, 2'000'000), 1);
    EXPECT_EQ(NetSocket_Waiting(b), 3);
    char got[8] = {};
    NetAddress from;
    EXPECT_EQ(NetSocket_ReceiveFrom(b, got, sizeof got, &from), 3);
    EXPECT_STREQ(got, "hey");
    EXPECT_EQ(from.port, NetSocket_LocalPort(a));
    // Nothing more waits: the receive does not block.
    EXPECT_EQ(NetSocket_ReceiveFrom(b, got, sizeof got, &from), -1);
    EXPECT_EQ(NetSocket_LastError(), NET_EWOULDBLOCK);

    char text[16];
    NetSocket_FormatAddress(from.ip, text, sizeof text);
    EXPECT_STREQ(text, "127.0.0.1");
    uint32_t ip = 0;
    EXPECT_TRUE(NetSocket_ParseAddress("10.20.30.40", &ip));
    EXPECT_EQ(ip, 0x0A141E28u);
    EXPECT_FALSE(NetSocket_ParseAddress("10.20.30", &ip));
    NetSocket_Close(a);
    NetSocket_Close(b);
}

}  // namespace
