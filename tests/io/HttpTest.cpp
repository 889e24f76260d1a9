// HTTP requests against a server of the test's own on 127.0.0.1, and the request list that
// carries every asynchronous result to the game.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <set>

#include "FileBuiltinTestSupport.h"
#include "HttpTestSupport.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Internal.h"
#include "io/HTTP_Main.h"

namespace {

using filetest::Arg;
using httptest::Events;
using httptest::Results;
using httptest::RunFramesUntil;

class HttpTest : public filetest::FileBuiltinTest {
protected:
    void SetUp() override {
        FileBuiltinTest::SetUp();
        env.Set("NO_PROXY", "*");
        env.Set("no_proxy", "*");
        InitDataStructureFunctions();
        InitBufferFunctions();
        InitHttpFunctions();
        Events().clear();
        httptest::DuringEvent() = nullptr;
        Async_SetEventPerformer(httptest::RecordEvent);
    }
    void TearDown() override {
        Async_FreeAll();
        Async_SetEventPerformer(nullptr);
        httptest::DuringEvent() = nullptr;
        Buffer_FreeAll();
        FileBuiltinTest::TearDown();
    }

    // A loopback port that nothing listens on: bound, read back and closed.
    static int RefusedPort() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        ::close(s);
        return ntohs(address.sin_port);
    }

    bool WaitForResults(size_t n) {
        return RunFramesUntil([&] { return Results().size() >= n && Async_RequestCount() == 0; });
    }

    int32_t NewMap(std::initializer_list<std::pair<const char*, Arg>> entries) {
        const int32_t map = DsMap_Create();
        for (const auto& [key, value] : entries) {
            RValue k = RValue_Undefined();
            RValue_CreateString(&k, key);
            DS_GetMap(map)->Add(&k, &value.v);
            RValue_Release(&k);
        }
        return map;
    }

    // Started by the first test that needs it.
    httptest::Server& Srv() {
        if (!m_server) m_server = std::make_unique<httptest::Server>();
        EXPECT_NE(m_server->port, 0);
        return *m_server;
    }

    std::unique_ptr<httptest::Server> m_server;
};

TEST_F(HttpTest, GetDeliversOneResultWithBodyStatusAndHeaders) {
    const double id = Real("http_get", {Srv().Url("/hello")});
    ASSERT_GE(id, 0);
    ASSERT_TRUE(WaitForResults(1));
    ASSERT_EQ(Results().size(), 1u);
    const httptest::Event e = Results()[0];
    EXPECT_EQ(e.subtype, 62);
    EXPECT_EQ(e.values.at("id"), std::to_string(int(id)));
    EXPECT_EQ(e.values.at("url"), Srv().Url("/hello"));
    EXPECT_EQ(e.values.at("result"), "hello world");
    EXPECT_EQ(e.values.at("http_status"), "200");
    EXPECT_EQ(e.values.at("status"), "0");
    EXPECT_EQ(e.headers.at("X-Custom"), "yes");
    EXPECT_EQ(e.headers.at("X-Seen-Agent"), "Halvane HTTP");
    EXPECT_EQ(e.headers.at("X-Dup"), "first");  // a repeated key keeps its first value
    // The event's map and the header map go with the record; async_load is -1 again.
    EXPECT_EQ(DS_GetMap(e.map), nullptr);
    EXPECT_EQ(DS_GetMap(std::stoi(e.values.at("response_headers"))), nullptr);
    EXPECT_EQ(Async_GetLoadMap(), -1);
}

// The headers are those of the response the body came with, not of the redirect before it.
TEST_F(HttpTest, RedirectIsFollowed) {
    Real("http_get", {Srv().Url("/moved")});
    ASSERT_TRUE(WaitForResults(1));
    const httptest::Event e = Results()[0];
    EXPECT_EQ(e.values.at("result"), "hello world");
    EXPECT_EQ(e.values.at("http_status"), "200");
    EXPECT_EQ(e.headers.count("X-Moved"), 0u);
    EXPECT_EQ(e.headers.at("X-Custom"), "yes");
}

TEST_F(HttpTest, PostStringSendsAFormBodyAndGetsTheResponse) {
    Real("http_post_string", {Srv().Url("/echo"), "a=1&b=two"});
    ASSERT_TRUE(WaitForResults(1));
    const httptest::Event e = Results()[0];
    EXPECT_EQ(e.values.at("result"), "a=1&b=two");
    EXPECT_EQ(e.headers.at("X-Seen-Method"), "POST");
    EXPECT_EQ(e.headers.at("X-Seen-Type"), "application/x-www-form-urlencoded");
}

TEST_F(HttpTest, RefusedConnectionGivesOneFailedResult) {
    const std::string url = "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/";
    Real("http_get", {url});
    ASSERT_TRUE(WaitForResults(1));
    ASSERT_EQ(Events().size(), 1u);
    const httptest::Event& e = Events()[0];
    EXPECT_EQ(e.values.at("status"), "-1");
    EXPECT_EQ(e.values.at("http_status"), "200");
    EXPECT_EQ(e.values.at("result"), "");
    bool logged = false;
    for (const std::string& line : iotest::ConsoleLines())
        logged |= line.rfind("HttpError:InternetConnect: ", 0) == 0;
    EXPECT_TRUE(logged);
}

TEST_F(HttpTest, SlowBodyGivesProgressEventsThenTheResult) {
    Real("http_get", {Srv().Url("/slow")});
    ASSERT_TRUE(WaitForResults(1));
    std::vector<httptest::Event> progress;
    for (const httptest::Event& e : Events())
        if (!e.values.count("result")) progress.push_back(e);
    ASSERT_GE(progress.size(), 2u);
    for (const httptest::Event& p : progress) {
        EXPECT_EQ(p.values.at("status"), "1");
        EXPECT_EQ(p.values.at("contentLength"), "30");
        EXPECT_EQ(p.values.at("url"), Srv().Url("/slow"));
    }
    EXPECT_NE(progress.front().values.at("sizeDownloaded"), progress.back().values.at("sizeDownloaded"));
    EXPECT_TRUE(Events().back().values.count("result"));
    EXPECT_EQ(Results()[0].values.at("result"),
              std::string(10, 'a') + std::string(10, 'b') + std::string(10, 'c'));
}

// A header map being filled stays out of sight until its request has finished.
TEST_F(HttpTest, HeaderMapIsFilledOnlyOnceTheRequestHasFinished) {
    Real("http_get", {Srv().Url("/slow")});
    static std::vector<size_t> s_sizes;
    s_sizes.clear();
    httptest::DuringEvent() = [](const httptest::Event& e) {
        if (e.values.count("result")) return;
        const CDS_Map* headers = DS_GetMap(Async_FirstRecord()->headerMap);
        s_sizes.push_back(headers ? static_cast<size_t>(headers->Size()) : 99);
    };
    ASSERT_TRUE(WaitForResults(1));
    ASSERT_FALSE(s_sizes.empty());
    for (size_t size : s_sizes) EXPECT_EQ(size, 0u);
    EXPECT_EQ(Results()[0].headers.at("Content-Length"), "30");
}

// The result block grows with what arrives, not to what the server announces; a body that
// breaks off is a failure, with what had arrived as the result.
TEST_F(HttpTest, AnnouncedLengthIsNotTrusted) {
    Real("http_get", {Srv().Url("/liar")});
    // Only the poll runs, so the finished record stays on the list to be looked at.
    for (int i = 0; i < 1000 && HTTP_RunningCount() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        HTTP_Poll();
    }
    ASSERT_EQ(Async_FirstRecord()->state.load(), HTTP_STATE_FINISHED);
    EXPECT_EQ(Async_FirstRecord()->resultCapacity, 0x20000);
    EXPECT_EQ(Async_FirstRecord()->contentLength.load(), 1500000000);
    ASSERT_TRUE(WaitForResults(1));
    EXPECT_EQ(Results()[0].values.at("result"), "short");
    EXPECT_EQ(Results()[0].values.at("status"), "-1");
}

TEST_F(HttpTest, NinthRequestWaitsAndStillCompletes) {
    std::vector<double> ids;
    for (int i = 0; i < 9; ++i) ids.push_back(Real("http_get", {Srv().Url("/wait")}));
    EXPECT_EQ(HTTP_RunningCount(), 8);
    int32_t queued = 0;
    for (HTTP_REQ_CONTEXT* r = Async_FirstRecord(); r != nullptr; r = r->next)
        if (r->state.load() == HTTP_STATE_QUEUED_GET) ++queued;
    EXPECT_EQ(queued, 1);
    ASSERT_TRUE(WaitForResults(9));
    std::set<std::string> seen;
    for (const httptest::Event& e : Results()) {
        EXPECT_EQ(e.values.at("result"), "done");
        seen.insert(e.values.at("id"));
    }
    EXPECT_EQ(seen.size(), 9u);
    EXPECT_EQ(HTTP_RunningCount(), 0);
}

TEST_F(HttpTest, OnlyHttpAndHttpsUrlsMakeRequests) {
    for (const char* url : {"ftp://127.0.0.1/", "HTTP://127.0.0.1/", "127.0.0.1", ""}) {
        EXPECT_EQ(Real("http_get", {url}), -1) << url;
        EXPECT_EQ(Real("http_post_string", {url, "x"}), -1) << url;
    }
    EXPECT_EQ(Async_RequestCount(), 0);
}

TEST_F(HttpTest, EmptyResponseIsAFailureWithItsStatus) {
    Real("http_get", {Srv().Url("/empty")});
    ASSERT_TRUE(WaitForResults(1));
    EXPECT_EQ(Results()[0].values.at("status"), "-1");
    EXPECT_EQ(Results()[0].values.at("http_status"), "204");
}

TEST_F(HttpTest, RequestSendsMethodHeadersAndStringBody) {
    const int32_t headers = NewMap({{"X-A", "b"}});
    Real("http_request", {Srv().Url("/echo"), "PUT", headers, "payload"});
    ASSERT_TRUE(WaitForResults(1));
    const httptest::Event e = Results()[0];
    EXPECT_EQ(e.values.at("result"), "payload");
    EXPECT_EQ(e.headers.at("X-Seen-Method"), "PUT");
    EXPECT_EQ(e.headers.at("X-Seen-A"), "b");
}

// A buffer past position 0 is the body: Content-Length bytes of it, never more than it holds.
TEST_F(HttpTest, RequestBodyFromABufferStaysInsideTheBuffer) {
    struct Case {
        int contentLength;  // -1: no entry
        std::string sent;
    };
    for (const Case& c : {Case{4, "abcd"}, Case{100, std::string("abcdef\0h", 8)}, Case{-1, "abcdef"}}) {
        Events().clear();
        const int32_t buffer = Buffer_Create(8, eBufferType_Fixed, 1);
        Buffer_GetByIndex(buffer)->WriteBytes("abcdef\0h", 1, 8);
        const int32_t headers =
            c.contentLength >= 0 ? NewMap({{"Content-Length", c.contentLength}}) : NewMap({});
        Real("http_request", {Srv().Url("/echo"), "POST", headers, buffer});
        ASSERT_TRUE(WaitForResults(1));
        EXPECT_EQ(Results()[0].headers.at("X-Seen-Length"), std::to_string(c.sent.size())) << c.contentLength;
        EXPECT_EQ(Results()[0].values.at("result"), c.sent.substr(0, c.sent.find('\0')));
        Buffer_Free(buffer);
    }
}

TEST_F(HttpTest, RequestIntoABufferAtPositionZeroWritesTheResponseThere) {
    const int32_t buffer = Buffer_Create(4, eBufferType_Fixed, 1);
    Real("http_request", {Srv().Url("/hello"), "GET", NewMap({}), buffer});
    ASSERT_TRUE(WaitForResults(1));
    const httptest::Event e = Results()[0];
    EXPECT_EQ(e.values.at("result"), "11");
    EXPECT_EQ(e.values.at("sizeDownloaded"), "11");
    EXPECT_EQ(e.values.at("status"), "0");
    IBuffer* b = Buffer_GetByIndex(buffer);
    ASSERT_GE(b->GetSize(), 11);  // grown to fit, whatever its kind
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b->GetData()), 11), "hello world");
    EXPECT_EQ(b->GetPosition(), 11);
}

TEST_F(HttpTest, ResponseForADeletedBufferGoesNowhere) {
    const int32_t buffer = Buffer_Create(4, eBufferType_Grow, 1);
    Real("http_request", {Srv().Url("/hello"), "GET", NewMap({}), buffer});
    Buffer_Free(buffer);
    const int32_t replacement = Buffer_Create(4, eBufferType_Grow, 1);
    ASSERT_EQ(replacement, buffer);
    ASSERT_TRUE(WaitForResults(1));
    EXPECT_EQ(Results()[0].values.at("status"), "-1");
    EXPECT_EQ(Buffer_GetByIndex(replacement)->GetPosition(), 0);
}

TEST_F(HttpTest, RequestWithAMissingBufferIsRefused) {
    EXPECT_EQ(Real("http_request", {Srv().Url("/hello"), "GET", NewMap({}), 77}), -1);
    EXPECT_EQ(errors.TakeNonFatal(), "Illegal Buffer Index");
    EXPECT_EQ(Async_RequestCount(), 0);
}

TEST_F(HttpTest, GetFileWritesTheBodyIntoTheSaveArea) {
    Real("http_get_file", {Srv().Url("/hello"), "downloads/hello.txt"});
    ASSERT_TRUE(WaitForResults(1));
    const httptest::Event e = Results()[0];
    EXPECT_EQ(e.values.at("status"), "0");
    EXPECT_EQ(e.values.at("result"), save + "downloads/hello.txt");
    EXPECT_EQ(SaveFile("downloads/hello.txt"), "hello world");
}

// --- the request list without HTTP ---------------------------------------------------------

TEST_F(HttpTest, PostedEventsArriveInOrderInTheNextStage) {
    const int32_t first = DsMap_CreateFromPairs(1, "n", 1.0, static_cast<const char*>(nullptr));
    const int32_t second = DsMap_CreateFromPairs(1, "n", 2.0, static_cast<const char*>(nullptr));
    Async_PostMapEvent(first, 63);
    Async_PostMapEvent(second, 72);
    Async_ProcessRequests();
    ASSERT_EQ(Events().size(), 2u);
    EXPECT_EQ(Events()[0].subtype, 63);
    EXPECT_EQ(Events()[0].map, first);
    EXPECT_EQ(Events()[1].subtype, 72);
    EXPECT_EQ(Events()[1].values.at("n"), "2");
    EXPECT_EQ(DS_GetMap(first), nullptr);
    EXPECT_EQ(DS_GetMap(second), nullptr);
    EXPECT_EQ(Async_GetLoadMap(), -1);
    EXPECT_EQ(Async_RequestCount(), 0);
}

// An event that posts another one every time would otherwise never let the stage end.
TEST_F(HttpTest, EventPostedByAnEventWaitsForTheNextStage) {
    httptest::DuringEvent() = [](const httptest::Event&) {
        Async_PostMapEvent(DsMap_CreateFromPairs(1, "n", 3.0, static_cast<const char*>(nullptr)), 75);
    };
    Async_PostMapEvent(DsMap_CreateFromPairs(1, "n", 1.0, static_cast<const char*>(nullptr)), 63);
    Async_ProcessRequests();
    EXPECT_EQ(Events().size(), 1u);
    EXPECT_EQ(Async_RequestCount(), 1);
    Async_ProcessRequests();
    ASSERT_EQ(Events().size(), 2u);
    EXPECT_EQ(Events()[1].subtype, 75);
}

TEST_F(HttpTest, PostedBufferIsFreedAfterItsEvent) {
    const int32_t buffer = Buffer_Create(8, eBufferType_Grow, 1);
    bool seenDuringEvent = false;
    static bool* s_seen;
    s_seen = &seenDuringEvent;
    httptest::DuringEvent() = [buffer](const httptest::Event&) {
        *s_seen = Buffer_GetByIndex(buffer) != nullptr;
    };
    Async_PostMapBufferEvent(DsMap_CreateFromPairs(1, "buffer_id", double(buffer), nullptr), buffer, 73);
    Async_ProcessRequests();
    EXPECT_TRUE(seenDuringEvent);
    EXPECT_EQ(Buffer_GetByIndex(buffer), nullptr);
}

}  // namespace
