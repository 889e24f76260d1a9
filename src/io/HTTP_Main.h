// The asynchronous request list and the HTTP client on it. Every result a worker or another
// part of the runner hands to the game travels as a request record on one list; the
// asynchronous stage of the frame walks the list, performs the Other events of finished
// records with async_load holding their map, and deletes them. HTTP requests run on threads of
// their own, at most 8 at a time, the rest queued.
//
// Everything here is main-thread only, except what a request's own thread writes into its own
// record (state, byte counts, the result block, the raw header text).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/MemoryManager.h"

class CDS_Map;
struct HTTP_REQ_CONTEXT;

// Builds the event's map, stores its index in *map and gives the Other event subtype to
// perform (59 or less: none).
using HttpCompletionFn = int32_t (*)(HTTP_REQ_CONTEXT* record, void* userData, int32_t* map);
// Called after the completion (and the event); may be null.
using HttpCleanupFn = void (*)(HTTP_REQ_CONTEXT* record);
// Called by the asynchronous stage every frame for an active record, before its state is read.
using HttpPollFn = void (*)(HTTP_REQ_CONTEXT* record);

enum HttpRequestState : int32_t {
    HTTP_STATE_RUNNING = 1,
    HTTP_STATE_RECEIVING = 3,  // response headers in, body arriving
    HTTP_STATE_SENDING = 5,
    HTTP_STATE_SENDING_POST = 6,  // http_request with the method "POST"
    HTTP_STATE_FINISHED = 7,
    HTTP_STATE_QUEUED_POST = 8,
    HTTP_STATE_QUEUED_GET = 9,
    HTTP_STATE_QUEUED_REQUEST = 10,
};

// The OTHER event subtypes of asynchronous results.
constexpr int32_t kAsyncEventHttp = 62;
constexpr int32_t kAsyncEventSaveLoad = 72;

struct HTTP_REQ_CONTEXT : MemoryManaged {
    // Takes the next id and a new header map; links the record at the head of the list, or at
    // its end when atEnd is set. A result size above 0 makes the result block (filled with
    // 0xFF); url may be null.
    HTTP_REQ_CONTEXT(const char* url, int32_t resultSize, HttpCompletionFn completion, HttpCleanupFn cleanup,
                     void* userData, bool atEnd);
    // Frees the result block and the URL and destroys the header map.
    virtual ~HTTP_REQ_CONTEXT();
    HTTP_REQ_CONTEXT(const HTTP_REQ_CONTEXT&) = delete;
    HTTP_REQ_CONTEXT& operator=(const HTTP_REQ_CONTEXT&) = delete;

    HTTP_REQ_CONTEXT* next = nullptr;
    bool active = true;
    std::atomic<int32_t> state{HTTP_STATE_RUNNING};
    HttpCompletionFn completion;
    HttpCleanupFn cleanup;
    HttpPollFn poll = nullptr;
    void* userData;
    char* url = nullptr;
    int32_t id;
    int32_t httpStatus = 200;
    int32_t headerMap;
    uint8_t* result = nullptr;
    int32_t resultCapacity = 0;
    std::atomic<int32_t> received{0};
    std::atomic<int32_t> contentLength{-1};
    // Set when the request failed; the result then holds whatever had arrived.
    bool failed = false;
    // The asynchronous stage that was running when the record was made (0: none). A record made
    // by an event of a stage waits for the next stage.
    uint64_t madeInStage;

private:
    const CDS_Map* m_headerMapObject = nullptr;
};

// --- the request list --------------------------------------------------------------------

// A finished record that delivers the map as an Other event of the subtype in the next
// asynchronous stage; the stage destroys the map afterwards. Posted records go to the end of
// the list, so they are delivered in the order they were posted.
HTTP_REQ_CONTEXT* Async_PostMapEvent(int32_t map, int32_t subtype);
// The same; the buffer is freed after the event.
HTTP_REQ_CONTEXT* Async_PostMapBufferEvent(int32_t map, int32_t buffer, int32_t subtype);

// The id the next record will take, shared by every kind of request.
int32_t Async_NextId();
// Takes that id for an operation whose result comes later by another way (a store's or a
// service's call), so the next record takes the one after.
int32_t Async_TakeId();

// The asynchronous stage's walk of the list (after HTTP_Poll): progress events of records in
// state 3, then the events of finished records, which are unlinked and deleted.
void Async_ProcessRequests();

// The async_load built-in variable: the map of the asynchronous event being performed, -1
// outside one. The networking events set it too.
int32_t Async_GetLoadMap();
void Async_SetLoadMap(int32_t map);

// Performs the Other event of the subtype at once with async_load holding the map, then puts
// back the async_load that was in force (the networking events, which are not queued).
void Async_PerformEventNow(int32_t map, int32_t subtype);

// Performs the Other event of a subtype on every instance that has it: the game world's
// dispatcher, installed at start-up, unless a test installs another. Null restores the
// dispatcher.
using AsyncEventPerformer = void (*)(int32_t subtype);
void Async_SetWorldEventPerformer(AsyncEventPerformer perform);
void Async_SetEventPerformer(AsyncEventPerformer perform);

// Records on the list (tests and diagnostics).
int32_t Async_RequestCount();
// Stops every request thread, waits for it, and deletes every record (shutdown, tests).
void Async_FreeAll();

// --- HTTP --------------------------------------------------------------------------------

// Start a request and give its id. The completion builds the event of the finished request;
// the clean-up frees what userData holds. When the transfer library cannot start the error is
// printed, nothing is made and the id the request would have had is given.
int32_t HTTP_Get(const char* url, HttpCompletionFn completion, HttpCleanupFn cleanup, void* userData);
int32_t HTTP_Post(const char* url, const char* body, HttpCompletionFn completion, HttpCleanupFn cleanup,
                  void* userData);
// headers: lines "Key: value\r\n"; body (bodyLength bytes) may be null.
int32_t HTTP_Request(const char* url, const char* method, const char* headers, const uint8_t* body,
                     HttpCompletionFn completion, HttpCleanupFn cleanup, void* userData, int32_t bodyLength);

// Once per frame, before Async_ProcessRequests: finished request threads finish their records
// (state 7, header map filled) and queued requests start in their place.
void HTTP_Poll();
// Request threads running now.
int32_t HTTP_RunningCount();
// The largest response a request keeps; the rest of a longer one is refused.
constexpr int32_t kHttpMaxResponseBytes = 0x40000000;

// Registers http_get, http_get_file, http_post_string and http_request.
void InitHttpFunctions();
