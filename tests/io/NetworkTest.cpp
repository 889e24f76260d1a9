// Sockets, servers, the login handshake, framed packets and reliable UDP, through the network
// built-ins and the pump, against Python peers and against the runner itself on 127.0.0.1.
#include <memory>

#include "FileBuiltinTestSupport.h"
#include "NetworkTestSupport.h"
#include "core/CRC32.h"
#include "core/Timing.h"
#include "io/Network_Rely.h"
#include "io/Network_Socket.h"

namespace {

using nettest::OfType;
using nettest::PumpUntil;
using nettest::PyPeer;

class NetworkTest : public filetest::FileBuiltinTest {
protected:
    void SetUp() override {
        FileBuiltinTest::SetUp();
        InitDataStructureFunctions();
        InitBufferFunctions();
        InitNetworkingFunctions();
        nettest::Events().clear();
        nettest::DuringEvent() = nullptr;
        Async_SetEventPerformer(nettest::RecordEvent);
        errors.TakeNonFatal();
    }
    void TearDown() override {
        Network_Shutdown();
        g_NetSettings = NetSettings{};
        Async_SetEventPerformer(nullptr);
        nettest::DuringEvent() = nullptr;
        Buffer_FreeAll();
        FileBuiltinTest::TearDown();
    }

    std::unique_ptr<PyPeer> Peer(const std::string& body, const std::vector<std::string>& args) {
        return std::make_unique<PyPeer>(std::string(nettest::kPrelude) + body, args);
    }

    // Pumps until the peer has ended; its output.
    std::string Finish(PyPeer& peer) {
        EXPECT_TRUE(PumpUntil([&] { return peer.Finished(); })) << peer.Output();
        EXPECT_EQ(peer.Status(), 0) << peer.Output();
        return peer.Output();
    }

    int32_t BufferOf(const std::string& bytes) {
        const int32_t index = Buffer_Create(static_cast<int32_t>(bytes.size()), 0, 1);
        if (!bytes.empty()) std::memcpy(Buffer_GetByIndex(index)->GetData(), bytes.data(), bytes.size());
        return index;
    }

    int Port(int32_t slot) { return Network_LocalPort(slot); }
};

// --- a server of the game against a Python client ------------------------------------------------

TEST_F(NetworkTest, ServerGreetsLogsInAndAssemblesPacketsDribbledByteByByte) {
    const int32_t server = static_cast<int32_t>(Real("network_create_server", {0, 0, 4}));
    ASSERT_GE(server, 0);
    auto peer = Peer(R"PY(
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
g = recv_exact(s, 18)
s.settimeout(0.3)
try: extra = s.recv(100)
except socket.timeout: extra = b""
print("greeting", g == GREETING and extra == b"", flush=True)
s.settimeout(5)
s.sendall(LOGIN)
print("accepted", recv_exact(s, 12) == ACCEPT, flush=True)
for p in (b"hello", b"", bytes(range(256)) + b"tail"):
    for b in frame(p):
        s.send(bytes([b]))
        time.sleep(0.0005)
time.sleep(0.3)
s.close()
)PY",
                     {std::to_string(Port(server))});
    const std::string out = Finish(*peer);
    EXPECT_NE(out.find("greeting True"), std::string::npos) << out;
    EXPECT_NE(out.find("accepted True"), std::string::npos) << out;
    ASSERT_TRUE(PumpUntil([] { return !OfType(NETWORK_EVENT_DISCONNECT).empty(); }));

    const auto connects = OfType(NETWORK_EVENT_CONNECT);
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(connects[0].Get("id"), server);
    const int client = connects[0].Get("socket");
    EXPECT_EQ(connects[0].values.at("ip"), "127.0.0.1");
    EXPECT_EQ(connects[0].Get("port"), Port(server));

    std::string big;
    for (int i = 0; i < 256; ++i) big.push_back(static_cast<char>(i));
    big += "tail";
    const auto data = OfType(NETWORK_EVENT_DATA);
    ASSERT_EQ(data.size(), 3u);
    const std::string expected[] = {"hello", "", big};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(data[i].payload, expected[i]) << i;
        EXPECT_EQ(data[i].Get("size"), static_cast<int>(expected[i].size()));
        EXPECT_EQ(data[i].bufferSize, static_cast<int>(expected[i].size()));
        EXPECT_EQ(data[i].Get("id"), client);
        // The buffer lives only during its event.
        EXPECT_EQ(Buffer_GetByIndex(data[i].Get("buffer")), nullptr);
    }
    const auto gone = OfType(NETWORK_EVENT_DISCONNECT);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].Get("id"), server);
    EXPECT_EQ(gone[0].Get("socket"), client);
    EXPECT_EQ(Network_GetSlot(client), nullptr);
}

TEST_F(NetworkTest, ServerRefusesBeyondItsMaximumAndOnABadLogin) {
    const int32_t server = static_cast<int32_t>(Real("network_create_server", {0, 0, 2}));
    ASSERT_GE(server, 0);
    auto peer = Peer(R"PY(
port = int(sys.argv[1])
def login(words):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    recv_exact(s, 18)
    s.sendall(struct.pack("<4I", *words))
    return s
a = login((0xCAFEBABE, 0xDEADB00B, 16, 0x12345678))
print("fourth word free", recv_exact(a, 12) == ACCEPT, flush=True)
b = login((0xCAFEBABE, 0xDEADB00A, 16, 0))
print("bad login closed", closed(b), flush=True)
early = socket.create_connection(("127.0.0.1", port), timeout=5)
recv_exact(early, 18)
extra = socket.create_connection(("127.0.0.1", port), timeout=5)
print("refused", recv_exact(extra, 6) == b"HV:BYE" and closed(extra), flush=True)
early.close()
time.sleep(0.3)
a.close()
time.sleep(0.3)
)PY",
                     {std::to_string(Port(server))});
    const std::string out = Finish(*peer);
    EXPECT_NE(out.find("fourth word free True"), std::string::npos) << out;
    EXPECT_NE(out.find("bad login closed True"), std::string::npos) << out;
    EXPECT_NE(out.find("refused True"), std::string::npos) << out;
    ASSERT_TRUE(PumpUntil([] { return !OfType(NETWORK_EVENT_DISCONNECT).empty(); }));
    // Only the client that logged in is reported, coming and going.
    EXPECT_EQ(OfType(NETWORK_EVENT_CONNECT).size(), 1u);
    EXPECT_EQ(OfType(NETWORK_EVENT_DISCONNECT).size(), 1u);
    EXPECT_EQ(OfType(NETWORK_EVENT_CONNECT)[0].Get("socket"),
              OfType(NETWORK_EVENT_DISCONNECT)[0].Get("socket"));
}

TEST_F(NetworkTest, RawServerSplitsFramesHoldsSplitHeadersAndDropsOversizedOnes) {
    const int32_t server = static_cast<int32_t>(Real("network_create_server_raw", {0, 0, 4}));
    ASSERT_GE(server, 0);
    auto peer = Peer(R"PY(
port = int(sys.argv[1])
s = socket.create_connection(("127.0.0.1", port), timeout=5)
s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
s.sendall(frame(b"one") + frame(b"two"))
time.sleep(0.2)
s.sendall(b"hi")
time.sleep(0.2)
f = frame(b"split")
s.sendall(f[:5]); time.sleep(0.2); s.sendall(f[5:])
time.sleep(0.2)
s.sendall(struct.pack("<3I", 0xDEADC0DE, 12, 0x7FFFFFF0) + b"x")
print("oversized dropped", closed(s), flush=True)
)PY",
                     {std::to_string(Port(server))});
    const std::string out = Finish(*peer);
    EXPECT_NE(out.find("oversized dropped True"), std::string::npos) << out;
    ASSERT_TRUE(PumpUntil([] { return !OfType(NETWORK_EVENT_DISCONNECT).empty(); }));
    // A raw server's client is announced at once, without a greeting.
    ASSERT_EQ(OfType(NETWORK_EVENT_CONNECT).size(), 1u);
    std::vector<std::string> payloads;
    for (const auto& e : OfType(NETWORK_EVENT_DATA)) payloads.push_back(e.payload);
    EXPECT_EQ(payloads, (std::vector<std::string>{"one", "two", "hi", "split"}));
    EXPECT_EQ(OfType(NETWORK_EVENT_DISCONNECT).size(), 1u);
}

// --- a client socket of the game against a Python server ----------------------------------------

constexpr const char* kPythonServer = R"PY(
srv = socket.socket(); srv.bind(("127.0.0.1", 0)); srv.listen(5)
print(srv.getsockname()[1], flush=True)
srv.settimeout(10)
for _ in range(int(sys.argv[1])):
    c, _ = srv.accept()
    c.settimeout(5)
    c.sendall(GREETING)
    ok = recv_exact(c, 16) == LOGIN
    c.sendall(ACCEPT + frame(b"welcome"))
    h = recv_exact(c, 12)
    n = struct.unpack("<3I", h)[2]
    c.sendall(frame(b"echo:" + recv_exact(c, n)))
    print("login", ok, flush=True)
    time.sleep(0.3)
    c.close()
)PY";

int ReadPort(PyPeer& peer) {
    for (int i = 0; i < 500; ++i) {
        const std::string out = peer.Output();
        if (out.find('\n') != std::string::npos) return std::atoi(out.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

TEST_F(NetworkTest, ClientConnectsWithTheHandshakeBlockingAndNot) {
    auto peer = Peer(kPythonServer, {"2"});
    const int port = ReadPort(*peer);
    ASSERT_GT(port, 0) << peer->Output();

    for (const bool nonBlocking : {false, true}) {
        SCOPED_TRACE(nonBlocking ? "non-blocking" : "blocking");
        nettest::Events().clear();
        Call("network_set_config", {1, nonBlocking ? 1 : 0});
        const int32_t socket = static_cast<int32_t>(Real("network_create_socket", {0}));
        EXPECT_EQ(Real("network_connect", {socket, "127.0.0.1", port}), 0.0);
        if (nonBlocking) {
            ASSERT_TRUE(PumpUntil([] { return !OfType(NETWORK_EVENT_NONBLOCKING_CONNECT).empty(); }));
            const auto done = OfType(NETWORK_EVENT_NONBLOCKING_CONNECT)[0];
            EXPECT_EQ(done.Get("succeeded"), 1);
            EXPECT_EQ(done.Get("socket"), socket);
            EXPECT_EQ(done.Get("port"), port);
        }
        const int32_t buffer = BufferOf("ping");
        EXPECT_EQ(Real("network_send_packet", {socket, buffer, 4}), 16.0);
        // The packet the server sent right behind its acceptance is not lost to the handshake.
        ASSERT_TRUE(PumpUntil([] { return OfType(NETWORK_EVENT_DATA).size() >= 2; }));
        EXPECT_EQ(OfType(NETWORK_EVENT_DATA)[0].payload, "welcome");
        EXPECT_EQ(OfType(NETWORK_EVENT_DATA)[1].payload, "echo:ping");
        EXPECT_EQ(OfType(NETWORK_EVENT_DATA)[1].Get("id"), socket);
        Call("network_destroy", {socket});
    }
    const std::string out = Finish(*peer);
    EXPECT_NE(out.find("login True\nlogin True"), std::string::npos) << out;
}

TEST_F(NetworkTest, ConnectsToAClosedPortFail) {
    // A port that nothing listens on: bound by a socket of our own, then freed.
    const int32_t probe = static_cast<int32_t>(Real("network_create_socket_ext", {0, 0}));
    const int port = Port(probe);
    Call("network_destroy", {probe});

    const int32_t blocking = static_cast<int32_t>(
        Real("network_connect_raw",
             {static_cast<int32_t>(Real("network_create_socket", {0})), "127.0.0.1", port}));
    EXPECT_EQ(blocking, -1);
    Call("network_set_config", {1, 1});
    const int32_t socket = static_cast<int32_t>(Real("network_create_socket", {0}));
    EXPECT_EQ(Real("network_connect_raw", {socket, "localhost", port}), 0.0);
    ASSERT_TRUE(PumpUntil([] { return !OfType(NETWORK_EVENT_NONBLOCKING_CONNECT).empty(); }, 3000));
    EXPECT_EQ(OfType(NETWORK_EVENT_NONBLOCKING_CONNECT)[0].Get("succeeded"), 0);
    // Reported once, not again as a success on a later frame.
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(OfType(NETWORK_EVENT_NONBLOCKING_CONNECT).size(), 1u);
}

// --- the game talking to itself ------------------------------------------------------------------

TEST_F(NetworkTest, ClientsOfADestroyedServerLiveOnAsOrdinarySockets) {
    const int32_t server = static_cast<int32_t>(Real("network_create_server", {0, 0, 8}));
    const int32_t client = static_cast<int32_t>(Real("network_create_socket", {0}));
    // The blocking connect polls the server itself while it waits for the greeting.
    ASSERT_EQ(Real("network_connect", {client, "127.0.0.1", Port(server)}), 0.0);
    ASSERT_EQ(OfType(NETWORK_EVENT_CONNECT).size(), 1u);
    const int accepted = OfType(NETWORK_EVENT_CONNECT)[0].Get("socket");

    const int32_t buffer = BufferOf("abc");
    EXPECT_EQ(Real("network_send_packet", {client, buffer, 3}), 15.0);
    ASSERT_TRUE(PumpUntil([] { return OfType(NETWORK_EVENT_DATA).size() == 1; }));
    EXPECT_EQ(OfType(NETWORK_EVENT_DATA)[0].Get("id"), accepted);

    Call("network_destroy", {server});
    EXPECT_EQ(Real("network_send_packet", {client, buffer, 2}), 14.0);
    EXPECT_EQ(Real("network_send_packet", {accepted, buffer, 1}), 13.0);
    ASSERT_TRUE(PumpUntil([] { return OfType(NETWORK_EVENT_DATA).size() == 3; }));
    std::map<int, std::string> byId;
    for (const auto& e : OfType(NETWORK_EVENT_DATA)) byId[e.Get("id")] += e.payload;
    EXPECT_EQ(byId[accepted], "abcab");
    EXPECT_EQ(byId[client], "a");
}

TEST_F(NetworkTest, DestroyingASocketDuringItsOwnEventIsSafe) {
    const int32_t server = static_cast<int32_t>(Real("network_create_server_raw", {0, 0, 8}));
    const int32_t client = static_cast<int32_t>(Real("network_create_socket", {0}));
    ASSERT_EQ(Real("network_connect_raw", {client, "127.0.0.1", Port(server)}), 0.0);
    const int32_t buffer = BufferOf("x");
    for (int i = 0; i < 3; ++i) Real("network_send_packet", {client, buffer, 1});
    ASSERT_TRUE(PumpUntil([] { return OfType(NETWORK_EVENT_CONNECT).size() == 1; }));
    nettest::DuringEvent() = [this](const nettest::NetEvent& e) {
        if (e.Type() == NETWORK_EVENT_DATA) {
            Call("network_destroy", {e.Get("id")});
            Call("network_destroy", {e.Get("id")});
        }
    };
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(OfType(NETWORK_EVENT_DATA).size(), 1u);
}

// --- reliable UDP --------------------------------------------------------------------------------

TEST_F(NetworkTest, ReliablePacketIsDeliveredOnceAndAcknowledgedWithAValidCrc) {
    const int32_t socket = static_cast<int32_t>(Real("network_create_socket_ext", {1, 0}));
    ASSERT_GE(socket, 0);
    EXPECT_EQ(Real("network_set_config", {2, socket}), 0.0);
    auto peer = Peer(R"PY(
u = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); u.bind(("127.0.0.1", 0))
to = ("127.0.0.1", int(sys.argv[1]))
bad = bytearray(rely(1, 8, b"spoilt")); bad[-1] ^= 1
body = struct.pack("<I", 0) + b"plain"
plain = struct.pack("<I", crc(body)) + body
for d in (rely(1, 7, b"rely"), rely(1, 7, b"rely"), bytes(bad), b"abc", plain, rely(9, 1, b"")):
    u.sendto(d, to)
u.settimeout(2.0)
start = time.time()
d, _ = u.recvfrom(65536)
kind, pid = struct.unpack("<2I", d[4:12])
ids = list(struct.unpack("<%dI" % ((len(d) - 12) // 4), d[12:]))
print("ack", struct.unpack("<I", d[:4])[0] == crc(d[4:]), kind, ids, time.time() - start < 2.0, flush=True)
)PY",
                     {std::to_string(Port(socket))});
    const std::string out = Finish(*peer);
    EXPECT_NE(out.find("ack True 2 [7] True"), std::string::npos) << out;
    std::vector<std::string> payloads;
    for (const auto& e : OfType(NETWORK_EVENT_DATA)) payloads.push_back(e.payload);
    EXPECT_EQ(payloads, (std::vector<std::string>{"rely", "plain"}));
    EXPECT_EQ(OfType(NETWORK_EVENT_DATA)[0].Get("id"), socket);
    EXPECT_EQ(OfType(NETWORK_EVENT_DATA)[0].values.at("ip"), "127.0.0.1");
}

class StepClock : public ITimingClock {
public:
    int64_t Now() override { return now; }
    void Sleep(int64_t microseconds) override { now += microseconds; }
    int64_t now = 0;
};

TEST_F(NetworkTest, UnacknowledgedPacketIsResentAfterThreeSecondsAndAnAckEndsIt) {
    StepClock clock;
    ITimingClock* previous = Timing_SetClock(&clock);
    const int32_t sender = static_cast<int32_t>(Real("network_create_socket_ext", {1, 0}));
    const int32_t listener = static_cast<int32_t>(Real("network_create_socket_ext", {1, 0}));
    Call("network_set_config", {2, sender});
    const int32_t buffer = BufferOf("again");
    EXPECT_EQ(Real("network_send_udp", {sender, "127.0.0.1", Port(listener), buffer, 5}), 5.0);
    ASSERT_TRUE(PumpUntil([] { return OfType(NETWORK_EVENT_DATA).size() == 1; }, 2000));
    const std::string first = OfType(NETWORK_EVENT_DATA)[0].payload;
    EXPECT_EQ(first.size(), 17u);
    EXPECT_EQ(first.substr(12), "again");

    clock.now = 3'000'000;  // not strictly more than 3 s
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(OfType(NETWORK_EVENT_DATA).size(), 1u);
    clock.now = 3'000'001;
    ASSERT_TRUE(PumpUntil([] { return OfType(NETWORK_EVENT_DATA).size() == 2; }, 2000));
    EXPECT_EQ(OfType(NETWORK_EVENT_DATA)[1].payload, first);
    EXPECT_EQ(Rely_ResendCount(), 1);

    // Once the listener speaks reliable UDP it acknowledges the next copy, which ends the resends.
    Call("network_set_config", {2, listener});
    clock.now = 6'500'000;
    ASSERT_TRUE(PumpUntil([] { return OfType(NETWORK_EVENT_DATA).size() == 3; }, 2000));
    clock.now = 7'600'000;
    EXPECT_TRUE(PumpUntil([] { return Rely_ResendCount() == 1; }, 2000));  // only the ack itself waits
    Timing_SetClock(previous);
}

TEST_F(NetworkTest, ReliableLayerRefusesShortDatagramsAndBoundsItsPeers) {
    auto packet = [](uint32_t type, uint32_t id, int32_t keep) {
        std::vector<uint8_t> bytes(12, 0);
        for (int i = 0; i < 4; ++i) {
            bytes[4 + i] = static_cast<uint8_t>(type >> (8 * i));
            bytes[8 + i] = static_cast<uint8_t>(id >> (8 * i));
        }
        bytes.resize(static_cast<size_t>(keep));
        const uint32_t crc = CRC32_Bytes(bytes.data() + 4, keep - 4);
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(crc >> (8 * i));
        return bytes;
    };
    int32_t offset = -1;
    // Too short for any header, and a reliable or acknowledgement packet without its id.
    for (const auto& [type, keep] :
         std::vector<std::pair<uint32_t, int32_t>>{{0, 5}, {1, 8}, {1, 11}, {2, 9}}) {
        const auto bytes = packet(type, 1, keep);
        EXPECT_FALSE(Rely_Receive(700, bytes.data(), keep, "127.0.0.1", 9, &offset)) << type << "/" << keep;
    }
    EXPECT_EQ(Rely_PeerCount(), 0);
    // Slot 700 is free: acknowledgements to the peers go nowhere, but the peers are kept.
    for (int32_t port = 1; port <= kRelyMaxPeers + 10; ++port) {
        const auto bytes = packet(1, 5, 12);
        EXPECT_TRUE(Rely_Receive(700, bytes.data(), 12, "127.0.0.1", port, &offset));
    }
    EXPECT_EQ(Rely_PeerCount(), kRelyMaxPeers);
    // The newest peers are the ones remembered: a copy from the last is still a duplicate.
    const auto again = packet(1, 5, 12);
    EXPECT_FALSE(Rely_Receive(700, again.data(), 12, "127.0.0.1", kRelyMaxPeers + 10, &offset));
}

// --- the built-ins' checks -----------------------------------------------------------------------

TEST_F(NetworkTest, BuiltinsCheckTheirArguments) {
    struct Case {
        const char* name;
        std::vector<filetest::Arg> args;
        double result;
        const char* message;
    };
    const Case cases[] = {
        {"network_create_server",
         {0, 0, 0},
         -1,
         "Maximum number of clients for server cannot be less than 1"},
        {"network_create_server",
         {0, 0, 1015},
         -1,
         "Maximum number of clients for server must be less than 1014 on this platform"},
        {"network_connect", {0, "127.0.0.1", "80"}, -1, "Illegal argument type"},
        {"network_connect", {-1, "127.0.0.1", 80}, -1, "Illegal socket index"},
        {"network_connect", {1024, "127.0.0.1", 80}, -1, "Illegal socket index"},
        {"network_connect_raw", {77, "127.0.0.1", 80}, -1, "Illegal socket index"},
        {"network_send_packet", {1024, 0, 1}, -1, ""},
        {"network_send_packet", {5, 0, 1}, -1, ""},
        {"network_send_udp_raw", {-3, "127.0.0.1", 1, 0, 1}, -1, ""},
        {"network_set_config", {4, 0}, -1, "network_set_config : unknown parameter"},
        {"network_set_config", {2, 1023}, 0, ""},
        {"network_set_timeout", {1023, 10, 10}, 0, ""},
        {"network_create_socket", {7}, -1, "Illegal socket type 7"},
    };
    for (const Case& c : cases) {
        int32_t id = -1;
        ASSERT_TRUE(Code_Function_Find(c.name, &id));
        const BuiltinFunction* row = Code_Function_Row(id);
        std::vector<RValue> values;
        for (const auto& a : c.args) values.push_back(a.v);
        RValue result = RValue_Undefined();
        row->function(result, nullptr, nullptr, static_cast<int32_t>(values.size()), values.data());
        EXPECT_EQ(result.val, c.result) << c.name;
        EXPECT_EQ(errors.TakeNonFatal(), c.message) << c.name;
    }
    EXPECT_EQ(ShowCall("network_resolve", {"localhost"}), "string:127.0.0.1");
    EXPECT_EQ(ShowCall("network_resolve", {"10.1.2.3"}), "string:10.1.2.3");
    EXPECT_EQ(ShowCall("network_resolve", {""}), "string:");
    const double maxed = Real("network_create_server", {0, 0, 1014});
    EXPECT_GE(maxed, 0.0);
    EXPECT_EQ(errors.TakeNonFatal(), "");
}

TEST_F(NetworkTest, SendsNeverReadPastTheBuffer) {
    const int32_t server = static_cast<int32_t>(Real("network_create_server_raw", {0, 0, 2}));
    const int32_t client = static_cast<int32_t>(Real("network_create_socket", {0}));
    ASSERT_EQ(Real("network_connect_raw", {client, "127.0.0.1", Port(server)}), 0.0);
    const int32_t buffer = BufferOf("four");
    EXPECT_EQ(Real("network_send_raw", {client, buffer, 1000000}), 4.0);
    EXPECT_EQ(Real("network_send_packet", {client, buffer, -5}), 12.0);
}

}  // namespace
