// HTTP request records and their threads. A request's thread writes only its own record: its
// state, the byte counts, the result block, the raw header text and the error text. The main
// thread reads the state and the counts every frame, and everything else only once the thread
// has ended, when HTTP_Poll turns the raw header text into the record's header map.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Console.h"
#include "core/Thread.h"
#include "data/Function_Data_Structures.h"
#include "io/HTTP_Internal.h"
#include "io/HTTP_Main.h"
#include "platform/HTTP_MainM.h"

namespace {

constexpr int32_t kMaxThreads = 8;
constexpr int32_t kResultSize = 0x20000;
constexpr int32_t kReadChunk = 0x8000;
constexpr int32_t kErrorTextSize = 512;
// Header blocks are small; one that is not is cut here rather than held whole.
constexpr int32_t kMaxRawHeaders = 0x100000;
constexpr const char* kUserAgent = "Halvane HTTP";
constexpr const char* kFormContentType = "Content-Type: application/x-www-form-urlencoded\r\n";

enum HttpKind { HTTP_KIND_GET, HTTP_KIND_POST, HTTP_KIND_REQUEST };

char* CopyText(const char* text) {
    if (text == nullptr) return nullptr;
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(MEM_ALLOC_RAW(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

bool HasPrefixNoCase(const char* text, size_t length, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return length >= n && strncasecmp(text, prefix, n) == 0;
}

class HttpRequestRecord final : public HTTP_REQ_CONTEXT, public HttpTransferSink {
public:
    HttpRequestRecord(HttpKind kind, const char* url, const char* method, const char* headers,
                      const uint8_t* body, int32_t bodyLength, HttpCompletionFn completion,
                      HttpCleanupFn cleanup, void* userData)
        : HTTP_REQ_CONTEXT(url, kResultSize, completion, cleanup, userData, false),
          m_kind(kind),
          m_method(CopyText(method)),
          m_headers(CopyText(headers)) {
        if (body != nullptr && bodyLength >= 0) {
            // The body keeps a block of its own: the response is written while it may still be sent.
            m_body = static_cast<uint8_t*>(MEM_ALLOC_RAW(bodyLength > 0 ? bodyLength : 1));
            if (bodyLength > 0) std::memcpy(m_body, body, static_cast<size_t>(bodyLength));
            m_bodyLength = bodyLength;
        }
    }

    ~HttpRequestRecord() override {
        m_cancel.store(true);
        if (thread.handle.joinable()) thread.Join();
        MEM_FREE(m_method);
        MEM_FREE(m_headers);
        MEM_FREE(m_body);
        MEM_FREE(m_rawHeaders);
        MEM_FREE(m_errorText);
    }

    int32_t QueuedState() const {
        switch (m_kind) {
            case HTTP_KIND_POST:
                return HTTP_STATE_QUEUED_POST;
            case HTTP_KIND_REQUEST:
                return HTTP_STATE_QUEUED_REQUEST;
            default:
                return HTTP_STATE_QUEUED_GET;
        }
    }

    void Cancel() { m_cancel.store(true); }

    // On the request's thread.
    int Run() {
        state.store(SendingState());
        HttpTransferRequest request;
        request.url = url;
        request.method = m_method;
        request.headers = m_headers;
        request.body = m_body;
        request.bodyLength = m_bodyLength;
        request.userAgent = kUserAgent;
        char message[kErrorTextSize - 32];  // room for the operation name
        const HttpTransferResult outcome = HttpTransfer_Perform(request, *this, message, sizeof message);
        if (outcome == HTTP_TRANSFER_OK) return 0;
        failed = true;
        SetError(OperationName(outcome), message);
        return -1;
    }

    // On the main thread, once the thread has ended.
    void Finish() {
        if (thread.handle.joinable()) thread.Join();
        // A request stopped by the runner itself (shutdown) is not an error of the request.
        if (m_errorText != nullptr && !m_cancel.load()) DebugConsole.Output("HttpError:%s\n", m_errorText);
        ParseHeaders();
        state.store(HTTP_STATE_FINISHED);
    }

    Thread thread;

    // --- HttpTransferSink, on the request's thread ---

    void OnHeaderLine(const char* line, size_t length) override {
        if (HasPrefixNoCase(line, length, "Content-Length:"))
            m_announcedLength = std::atoi(std::string(line + 15, line + length).c_str());
        AppendRaw(line, length);
        AppendRaw("\r\n", 2);
    }

    void OnHeadersDone(int32_t status) override {
        httpStatus = status;
        contentLength.store(m_announcedLength);
        state.store(HTTP_STATE_RECEIVING);
    }

    // The block grows with what arrives, never to a length the server merely announces.
    bool OnBody(const uint8_t* bytes, size_t length) override {
        const int64_t have = received.load();
        const int64_t needed = have + static_cast<int64_t>(length);
        if (needed > kHttpMaxResponseBytes) {
            char message[128];
            std::snprintf(message, sizeof message, "the response is larger than %d bytes",
                          kHttpMaxResponseBytes);
            SetError("InternetReadFile", message);
            return false;
        }
        if (needed > resultCapacity) {
            int64_t grown = int64_t{resultCapacity} + resultCapacity / 2;
            if (grown < needed) grown = needed + kReadChunk;
            if (grown > kHttpMaxResponseBytes) grown = kHttpMaxResponseBytes;
            result = static_cast<uint8_t*>(MEM_REALLOC(result, grown));
            resultCapacity = static_cast<int32_t>(grown);
        }
        std::memcpy(result + have, bytes, length);
        received.store(static_cast<int32_t>(needed));
        return true;
    }

    bool Cancelled() override { return m_cancel.load(); }

private:
    int32_t SendingState() const {
        if (m_kind != HTTP_KIND_REQUEST) return HTTP_STATE_SENDING;
        if (std::strcmp(m_method, "POST") == 0) return HTTP_STATE_SENDING_POST;
        if (std::strcmp(m_method, "GET") == 0) return HTTP_STATE_SENDING;
        return HTTP_STATE_RUNNING;
    }

    static const char* OperationName(HttpTransferResult outcome) {
        switch (outcome) {
            case HTTP_TRANSFER_CONNECT_FAILED:
                return "InternetConnect";
            case HTTP_TRANSFER_READ_FAILED:
                return "InternetReadFile";
            default:
                return "HttpSendRequest";
        }
    }

    // The first error is the one reported.
    void SetError(const char* operation, const char* message) {
        if (m_errorText != nullptr) return;
        m_errorText = static_cast<char*>(MEM_ALLOC(kErrorTextSize));
        std::snprintf(m_errorText, kErrorTextSize, "%s: %s\n", operation, message);
    }

    void AppendRaw(const char* bytes, size_t length) {
        if (m_rawLength + static_cast<int64_t>(length) + 1 > kMaxRawHeaders) return;
        if (m_rawLength + static_cast<int64_t>(length) + 1 > m_rawCapacity) {
            m_rawCapacity = m_rawCapacity == 0 ? 1024 : m_rawCapacity * 2;
            while (m_rawCapacity < m_rawLength + static_cast<int64_t>(length) + 1) m_rawCapacity *= 2;
            m_rawHeaders = static_cast<char*>(MEM_REALLOC(m_rawHeaders, m_rawCapacity));
        }
        std::memcpy(m_rawHeaders + m_rawLength, bytes, length);
        m_rawLength += static_cast<int64_t>(length);
        m_rawHeaders[m_rawLength] = '\0';
    }

    // Lines split at runs of CR and LF; "Key: value" lines go into the header map, the first
    // value of a key staying; the status line has no ": " and is skipped.
    void ParseHeaders() {
        CDS_Map* map = DS_GetMap(headerMap);
        if (map == nullptr || m_rawHeaders == nullptr) return;
        for (char* line = m_rawHeaders; *line != '\0';) {
            const size_t length = std::strcspn(line, "\r\n");
            char* end = line + length;
            const char saved = *end;
            *end = '\0';
            if (char* separator = std::strstr(line, ": ")) {
                *separator = '\0';
                map->AddByName(line, 0.0, separator + 2);
                *separator = ':';
            }
            *end = saved;
            line = end + std::strspn(end, "\r\n");
        }
    }

    HttpKind m_kind;
    char* m_method;
    char* m_headers;
    uint8_t* m_body = nullptr;
    int32_t m_bodyLength = 0;
    char* m_rawHeaders = nullptr;
    int64_t m_rawLength = 0;
    int64_t m_rawCapacity = 0;
    int32_t m_announcedLength = -1;
    char* m_errorText = nullptr;
    std::atomic<bool> m_cancel{false};
};

struct ThreadSlot {
    HttpRequestRecord* record;
};

ThreadSlot g_threads[kMaxThreads];
int32_t g_threadCount = 0;

int HttpThreadMain(Thread* thread) {
    return static_cast<HttpRequestRecord*>(thread->data)->Run();
}

// False when 8 threads run (the caller queues the record). A thread that cannot be made
// drops the record.
bool StartThread(HttpRequestRecord* record) {
    if (g_threadCount >= kMaxThreads) return false;
    record->state.store(HTTP_STATE_RUNNING);
    if (!record->thread.Start(HttpThreadMain, record)) {
        DebugConsole.Output("%s: %s\n", "Create Http Thread",
                            std::strerror(static_cast<int>(record->thread.lastError)));
        HTTP_REQ_CONTEXT* base = record;
        if (record->cleanup != nullptr) record->cleanup(base);
        Async_Unlink(base);
        delete record;
        return true;
    }
    g_threads[g_threadCount++].record = record;
    return true;
}

bool IsQueued(int32_t state) {
    return state == HTTP_STATE_QUEUED_POST || state == HTTP_STATE_QUEUED_GET ||
           state == HTTP_STATE_QUEUED_REQUEST;
}

// The oldest queued request: records are put at the head, so the last queued one in list order.
HttpRequestRecord* OldestQueued() {
    HTTP_REQ_CONTEXT* found = nullptr;
    for (HTTP_REQ_CONTEXT* record = Async_FirstRecord(); record != nullptr; record = record->next)
        if (IsQueued(record->state.load())) found = record;
    return static_cast<HttpRequestRecord*>(found);
}

int32_t Start(HttpKind kind, const char* url, const char* method, const char* headers, const uint8_t* body,
              int32_t bodyLength, HttpCompletionFn completion, HttpCleanupFn cleanup, void* userData) {
    if (!HTTP_Open()) return Async_NextId();
    auto* record =
        new HttpRequestRecord(kind, url, method, headers, body, bodyLength, completion, cleanup, userData);
    const int32_t id = record->id;
    if (!StartThread(record)) record->state.store(record->QueuedState());
    return id;
}

}  // namespace

bool HTTP_Open() {
    char error[256];
    if (HttpTransfer_Open(error, sizeof error)) return true;
    DebugConsole.Output("%s: %s\n", "InternetOpen", error);
    return false;
}

int32_t HTTP_Get(const char* url, HttpCompletionFn completion, HttpCleanupFn cleanup, void* userData) {
    return Start(HTTP_KIND_GET, url, "GET", nullptr, nullptr, 0, completion, cleanup, userData);
}

int32_t HTTP_Post(const char* url, const char* body, HttpCompletionFn completion, HttpCleanupFn cleanup,
                  void* userData) {
    const char* text = body ? body : "";
    return Start(HTTP_KIND_POST, url, "POST", kFormContentType, reinterpret_cast<const uint8_t*>(text),
                 static_cast<int32_t>(std::strlen(text)), completion, cleanup, userData);
}

int32_t HTTP_Request(const char* url, const char* method, const char* headers, const uint8_t* body,
                     HttpCompletionFn completion, HttpCleanupFn cleanup, void* userData, int32_t bodyLength) {
    return Start(HTTP_KIND_REQUEST, url, method ? method : "GET", headers, body, bodyLength, completion,
                 cleanup, userData);
}

void HTTP_Poll() {
    for (int32_t i = 0; i < g_threadCount;) {
        HttpRequestRecord* record = g_threads[i].record;
        if (record->thread.running.load()) {
            ++i;
            continue;
        }
        record->Finish();
        g_threads[i] = g_threads[--g_threadCount];
    }
    while (g_threadCount < kMaxThreads) {
        HttpRequestRecord* queued = OldestQueued();
        if (queued == nullptr || !StartThread(queued)) break;
    }
}

int32_t HTTP_RunningCount() {
    return g_threadCount;
}

void HTTP_StopAll() {
    for (int32_t i = 0; i < g_threadCount; ++i) g_threads[i].record->Cancel();
    for (int32_t i = 0; i < g_threadCount; ++i) g_threads[i].record->Finish();
    g_threadCount = 0;
}
