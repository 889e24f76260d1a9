// Framed packets echoed through a loopback TCP pair: the runner's way (network_send_packet
// from a client socket, a server of the runner that echoes each data event back, the network
// pump assembling both streams into events) against a plain socket echo of the same frames in
// the same run. Prints packets per second of each and their ratio (higher is better).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "BenchRatio.h"
#include "core/Code_Function.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Main.h"
#include "io/Network_Main.h"

namespace {

constexpr int32_t kBatch = 100;
constexpr int32_t kPayload = 32;
constexpr int32_t kFrame = 12 + kPayload;

RValue CallRow(const char* name, std::initializer_list<RValue> args) {
    int32_t id = -1;
    Code_Function_Find(name, &id);
    RValue result = RValue_Undefined();
    std::vector<RValue> values(args);
    Code_Function_Row(id)->function(result, nullptr, nullptr, static_cast<int32_t>(values.size()),
                                    values.data());
    return result;
}

RValue Text(const char* text) {
    RValue value = RValue_Undefined();
    RValue_CreateString(&value, text);
    return value;
}

// The runner's pair: the server echoes every packet it gets; the client counts what comes back.
int32_t g_client = -1;
int32_t g_echoes = 0;

void EchoEvent(int32_t subtype) {
    if (subtype != kAsyncEventNetworking) return;
    const CDS_Map* map = DS_GetMap(Async_GetLoadMap());
    auto get = [&](const char* key) {
        RValue k = Text(key);
        const DSMapEntry* entry = map->Find(&k);
        RValue_Release(&k);
        return entry ? static_cast<int32_t>(entry->value.val) : -1;
    };
    if (get("type") != NETWORK_EVENT_DATA) return;
    const int32_t from = get("id");
    if (from == g_client) {
        ++g_echoes;
        return;
    }
    CallRow("network_send_packet", {RValue_Real(from), RValue_Real(get("buffer")), RValue_Real(get("size"))});
}

void Runner_PacketEcho(benchmark::State& state) {
    if (Code_Function_Count() == 0) {
        InitDataStructureFunctions();
        InitBufferFunctions();
        InitNetworkingFunctions();
    }
    Async_SetEventPerformer(EchoEvent);
    const int32_t server = static_cast<int32_t>(
        CallRow("network_create_server", {RValue_Real(0), RValue_Real(0), RValue_Real(4)}).val);
    g_client = static_cast<int32_t>(CallRow("network_create_socket", {RValue_Real(0)}).val);
    RValue host = Text("127.0.0.1");
    const double connected =
        CallRow("network_connect", {RValue_Real(g_client), host, RValue_Real(Network_LocalPort(server))}).val;
    RValue_Release(&host);
    if (connected != 0) {
        state.SkipWithError("no connection");
        return;
    }
    const int32_t buffer = Buffer_Create(kPayload, 0, 1);
    std::memset(Buffer_GetByIndex(buffer)->GetData(), 'p', kPayload);
    for (auto _ : state) {
        g_echoes = 0;
        for (int32_t i = 0; i < kBatch; ++i)
            CallRow("network_send_packet",
                    {RValue_Real(g_client), RValue_Real(buffer), RValue_Real(kPayload)});
        for (int32_t spins = 0; g_echoes < kBatch && spins < 1000000; ++spins) Network_Tick();
        if (g_echoes < kBatch) state.SkipWithError("echoes lost");
    }
    state.counters["packets_per_s"] =
        benchmark::Counter(double(state.iterations()) * kBatch, benchmark::Counter::kIsRate);
    Buffer_Free(buffer);
    Network_Shutdown();
    Async_SetEventPerformer(nullptr);
}
BENCHMARK(Runner_PacketEcho)->Unit(benchmark::kMicrosecond);

bool ReadAll(int fd, uint8_t* into, size_t n) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(fd, into + got, n - got, 0);
        if (r <= 0) return false;
        got += static_cast<size_t>(r);
    }
    return true;
}

// The same frames through a plain pair of blocking sockets: one side sends the batch, the
// other reads each frame by its header and sends it back, the first reads the echoes.
void Baseline_PacketEcho(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int a = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(a, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int b = ::accept(listener, nullptr, nullptr);
    const int on = 1;
    ::setsockopt(a, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(b, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    uint8_t frame[kFrame];
    const uint32_t header[3] = {0xDEADC0DEu, 12u, uint32_t(kPayload)};
    std::memcpy(frame, header, sizeof header);
    std::memset(frame + 12, 'p', kPayload);
    uint8_t in[kFrame];
    static uint8_t echoes[kFrame * kBatch];
    for (auto _ : state) {
        for (int32_t i = 0; i < kBatch; ++i) ::send(a, frame, kFrame, MSG_NOSIGNAL);
        for (int32_t i = 0; i < kBatch; ++i) {
            uint32_t words[3];
            ReadAll(b, reinterpret_cast<uint8_t*>(words), 12);
            std::memcpy(in, words, 12);
            ReadAll(b, in + 12, words[2]);
            ::send(b, in, 12 + words[2], MSG_NOSIGNAL);
        }
        if (!ReadAll(a, echoes, sizeof echoes)) state.SkipWithError("echoes lost");
    }
    state.counters["packets_per_s"] =
        benchmark::Counter(double(state.iterations()) * kBatch, benchmark::Counter::kIsRate);
    ::close(a);
    ::close(b);
    ::close(listener);
}
BENCHMARK(Baseline_PacketEcho)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ours = reporter.Counter("Runner_PacketEcho", "packets_per_s");
    const double base = reporter.Counter("Baseline_PacketEcho", "packets_per_s");
    std::printf("\nPackets per second echoed through a loopback TCP pair\n");
    std::printf("  runner %12.0f\n  plain  %12.0f\n", ours, base);
    if (base > 0) std::printf("  runner / plain %6.2f\n", ours / base);
    benchmark::Shutdown();
    return 0;
}
