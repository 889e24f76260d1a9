#include "platform/HTTP_MainM.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <type_traits>

namespace {

std::mutex g_openMutex;  // guards g_opened
bool g_opened = false;

// libcurl and the 25-odd libraries it brings are loaded at the first transfer, not at start-up:
// most games never make one, and every library loaded at start slows the process's start (each
// later symbol lookup, Mesa's among them, walks past all of them). Filled once by Open.
struct CurlCalls {
    CURLcode (*globalInit)(long flags);
    const char* (*easyStrerror)(CURLcode code);
    CURL* (*easyInit)();
    CURLcode (*easySetopt)(CURL* curl, CURLoption option, ...);
    CURLcode (*easyPerform)(CURL* curl);
    void (*easyCleanup)(CURL* curl);
    curl_slist* (*slistAppend)(curl_slist* list, const char* text);
    void (*slistFreeAll)(curl_slist* list);
} g_curl;

constexpr const char* kCurlLibrary = "libcurl.so.4";

// Loads libcurl and fills g_curl; false with the reason in `error` when any part is missing.
bool LoadCurl(char* error, size_t errorSize);

constexpr long kConnectTimeoutSeconds = 60;
constexpr long kMaxRedirects = 30;

void CopyText(char* out, size_t size, const char* text) {
    if (out == nullptr || size == 0) return;
    std::snprintf(out, size, "%s", text ? text : "");
}

bool StartsWithNoCase(const char* text, size_t length, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return length >= n && strncasecmp(text, prefix, n) == 0;
}

// A redirect that libcurl follows by itself: its header block is not the response the game gets.
bool IsFollowedRedirect(int32_t status, bool hasLocation) {
    return hasLocation && (status == 301 || status == 302 || status == 303 || status == 307 || status == 308);
}

// What one transfer keeps while it runs. Header lines are held until their block ends, because
// only then is it known whether the block is the final response's.
struct Transfer {
    HttpTransferSink* sink;
    std::string blockLines;  // lines of the block being received, each ending in '\n'
    int32_t blockStatus = 0;
    bool blockHasLocation = false;
    bool inBlock = false;
    bool headersDone = false;
    int32_t finalStatus = 0;

    void BeginBlock(const char* line, size_t length) {
        blockLines.clear();
        blockHasLocation = false;
        inBlock = true;
        // "HTTP/1.1 200 OK", "HTTP/2 200": the number after the first space.
        const char* space = static_cast<const char*>(std::memchr(line, ' ', length));
        blockStatus = space ? std::atoi(std::string(space + 1, line + length).c_str()) : 0;
    }

    void DeliverBlock() {
        const char* at = blockLines.data();
        const char* end = at + blockLines.size();
        while (at < end) {
            const char* eol = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
            sink->OnHeaderLine(at, static_cast<size_t>(eol - at));
            at = eol + 1;
        }
        headersDone = true;
        finalStatus = blockStatus;
        sink->OnHeadersDone(blockStatus);
        inBlock = false;
    }

    void EndBlock() {
        const bool interim = blockStatus < 200 || IsFollowedRedirect(blockStatus, blockHasLocation);
        if (interim) {
            inBlock = false;
            blockLines.clear();
            return;
        }
        DeliverBlock();
    }

    void OnLine(const char* line, size_t length) {
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) --length;
        if (headersDone) return;  // trailers
        if (length == 0) {
            if (inBlock) EndBlock();
            return;
        }
        if (StartsWithNoCase(line, length, "HTTP/")) BeginBlock(line, length);
        if (!inBlock) return;
        if (StartsWithNoCase(line, length, "Location:")) blockHasLocation = true;
        blockLines.append(line, length);
        blockLines += '\n';
    }
};

size_t HeaderCallback(char* data, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->OnLine(data, size * count);
    return size * count;
}

size_t BodyCallback(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    if (!transfer->headersDone && transfer->inBlock) transfer->DeliverBlock();
    const size_t length = size * count;
    return transfer->sink->OnBody(reinterpret_cast<const uint8_t*>(data), length) ? length : 0;
}

int ProgressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->sink->Cancelled() ? 1 : 0;
}

// The caller's header text as list entries. The body length is ours to state, and a body is
// sent without waiting for a "100 Continue" first.
curl_slist* HeaderList(const char* headers, bool hasBody) {
    curl_slist* list = nullptr;
    for (const char* at = headers; at != nullptr && *at != '\0';) {
        const size_t length = std::strcspn(at, "\r\n");
        if (length > 0 && !StartsWithNoCase(at, length, "Content-Length:"))
            list = g_curl.slistAppend(list, std::string(at, length).c_str());
        at += length;
        at += std::strspn(at, "\r\n");
    }
    if (hasBody) list = g_curl.slistAppend(list, "Expect:");
    return list;
}

HttpTransferResult Classify(CURLcode code, bool headersDone) {
    if (code == CURLE_OK) return HTTP_TRANSFER_OK;
    if (headersDone) return HTTP_TRANSFER_READ_FAILED;
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
            return HTTP_TRANSFER_CONNECT_FAILED;
        default:
            return HTTP_TRANSFER_SEND_FAILED;
    }
}

void SetMethod(CURL* curl, const HttpTransferRequest& request) {
    const char* method = request.method ? request.method : "GET";
    const bool hasBody = request.body != nullptr;
    if (hasBody) {
        g_curl.easySetopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.bodyLength));
        g_curl.easySetopt(curl, CURLOPT_POSTFIELDS, reinterpret_cast<const char*>(request.body));
    }
    if (std::strcmp(method, "GET") == 0 && !hasBody) {
        g_curl.easySetopt(curl, CURLOPT_HTTPGET, 1L);
    } else if (std::strcmp(method, "POST") == 0) {
        if (!hasBody) g_curl.easySetopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
        if (!hasBody) g_curl.easySetopt(curl, CURLOPT_POSTFIELDS, "");
    } else if (std::strcmp(method, "HEAD") == 0) {
        g_curl.easySetopt(curl, CURLOPT_NOBODY, 1L);
    } else {
        g_curl.easySetopt(curl, CURLOPT_CUSTOMREQUEST, method);
    }
}

bool LoadCurl(char* error, size_t errorSize) {
    static void* library = nullptr;
    if (!library) library = dlopen(kCurlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        CopyText(error, errorSize,
                 (std::string("cannot load ") + kCurlLibrary + ": " + (reason ? reason : "")).c_str());
        return false;
    }
    bool all = true;
    auto find = [&](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name));
        if (!slot && all) {
            CopyText(error, errorSize, (std::string(kCurlLibrary) + " lacks " + name).c_str());
            all = false;
        }
    };
    find(g_curl.globalInit, "curl_global_init");
    find(g_curl.easyStrerror, "curl_easy_strerror");
    find(g_curl.easyInit, "curl_easy_init");
    find(g_curl.easySetopt, "curl_easy_setopt");
    find(g_curl.easyPerform, "curl_easy_perform");
    find(g_curl.easyCleanup, "curl_easy_cleanup");
    find(g_curl.slistAppend, "curl_slist_append");
    find(g_curl.slistFreeAll, "curl_slist_free_all");
    return all;
}

}  // namespace

bool HttpTransfer_Open(char* error, size_t errorSize) {
    std::lock_guard<std::mutex> lock(g_openMutex);
    if (g_opened) return true;
    if (!LoadCurl(error, errorSize)) return false;
    const CURLcode code = g_curl.globalInit(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK) {
        CopyText(error, errorSize, g_curl.easyStrerror(code));
        return false;
    }
    g_opened = true;
    return true;
}

HttpTransferResult HttpTransfer_Perform(const HttpTransferRequest& request, HttpTransferSink& sink,
                                        char* message, size_t messageSize) {
    CopyText(message, messageSize, "");
    if (!HttpTransfer_Open(message, messageSize)) return HTTP_TRANSFER_CONNECT_FAILED;
    CURL* curl = g_curl.easyInit();
    if (curl == nullptr) {
        CopyText(message, messageSize, "cannot make a transfer handle");
        return HTTP_TRANSFER_CONNECT_FAILED;
    }
    Transfer transfer;
    transfer.sink = &sink;
    char errorText[CURL_ERROR_SIZE] = "";
    curl_slist* headers = HeaderList(request.headers, request.body != nullptr);

    g_curl.easySetopt(curl, CURLOPT_URL, request.url ? request.url : "");
    g_curl.easySetopt(curl, CURLOPT_ERRORBUFFER, errorText);
    g_curl.easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (request.userAgent) g_curl.easySetopt(curl, CURLOPT_USERAGENT, request.userAgent);
    g_curl.easySetopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    g_curl.easySetopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    g_curl.easySetopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    g_curl.easySetopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    g_curl.easySetopt(curl, CURLOPT_HTTPHEADER, headers);
    g_curl.easySetopt(curl, CURLOPT_HEADERFUNCTION, HeaderCallback);
    g_curl.easySetopt(curl, CURLOPT_HEADERDATA, &transfer);
    g_curl.easySetopt(curl, CURLOPT_WRITEFUNCTION, BodyCallback);
    g_curl.easySetopt(curl, CURLOPT_WRITEDATA, &transfer);
    g_curl.easySetopt(curl, CURLOPT_XFERINFOFUNCTION, ProgressCallback);
    g_curl.easySetopt(curl, CURLOPT_XFERINFODATA, &transfer);
    g_curl.easySetopt(curl, CURLOPT_NOPROGRESS, 0L);
    SetMethod(curl, request);

    const CURLcode code = g_curl.easyPerform(curl);
    // A response that ended in a redirect libcurl would not follow is still the response.
    if (code == CURLE_OK && !transfer.headersDone && transfer.inBlock) transfer.DeliverBlock();
    const HttpTransferResult result = Classify(code, transfer.headersDone);
    if (result != HTTP_TRANSFER_OK)
        CopyText(message, messageSize, errorText[0] ? errorText : g_curl.easyStrerror(code));

    g_curl.slistFreeAll(headers);
    g_curl.easyCleanup(curl);
    return result;
}
