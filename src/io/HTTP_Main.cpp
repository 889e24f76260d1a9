// The request list, the asynchronous stage's walk of it, and the HTTP request threads.
#include "io/HTTP_Main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Console.h"
#include "core/Thread.h"
#include "data/Function_Data_Structures.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Internal.h"
#include "platform/HTTP_MainM.h"

namespace {

HTTP_REQ_CONTEXT* g_head = nullptr;
int32_t g_nextId = 0;
int32_t g_asyncLoad = -1;
uint64_t g_stageCount = 0;
uint64_t g_currentStage = 0;                   // 0 outside the asynchronous stage
AsyncEventPerformer g_perform = nullptr;       // a test's recorder, when set
AsyncEventPerformer g_worldPerform = nullptr;  // the game world's asynchronous event

char* CopyText(const char* text) {
    if (text == nullptr) return nullptr;
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(MEM_ALLOC_RAW(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

void Link(HTTP_REQ_CONTEXT* record, bool atEnd) {
    if (!atEnd || g_head == nullptr) {
        record->next = g_head;
        g_head = record;
        return;
    }
    HTTP_REQ_CONTEXT* last = g_head;
    while (last->next != nullptr) last = last->next;
    last->next = record;
}

void Unlink(HTTP_REQ_CONTEXT* record) {
    for (HTTP_REQ_CONTEXT** link = &g_head; *link != nullptr; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            record->next = nullptr;
            return;
        }
    }
}

void Perform(int32_t subtype) {
    if (g_perform != nullptr)
        g_perform(subtype);
    else if (g_worldPerform != nullptr)
        g_worldPerform(subtype);
}

// Destroys the map at the index only while the index still holds that map: an event handler
// that destroyed it and made another in its place keeps the new one.
void DestroyMapIfSame(int32_t index, const CDS_Map* map) {
    if (map != nullptr && DS_GetMap(index) == map) DS_DestroyMap(index);
}

void ProgressEvent(HTTP_REQ_CONTEXT* record) {
    const int32_t map = DsMap_CreateFromPairs(
        5, "id", static_cast<double>(record->id), static_cast<const char*>(nullptr), "status", 1.0,
        static_cast<const char*>(nullptr), "url", 0.0, record->url ? record->url : "", "contentLength",
        static_cast<double>(record->contentLength.load()), static_cast<const char*>(nullptr),
        "sizeDownloaded", static_cast<double>(record->received.load()), static_cast<const char*>(nullptr));
    const CDS_Map* held = DS_GetMap(map);
    g_asyncLoad = map;
    Perform(kAsyncEventHttp);
    DestroyMapIfSame(map, held);
    g_asyncLoad = -1;
}

void Deliver(HTTP_REQ_CONTEXT* record) {
    Unlink(record);
    g_asyncLoad = -1;
    int32_t map = -1;
    int32_t subtype = 0;
    if (record->completion != nullptr) subtype = record->completion(record, record->userData, &map);
    const CDS_Map* held = DS_GetMap(map);
    g_asyncLoad = map;
    if (subtype > 59) Perform(subtype);
    DestroyMapIfSame(map, held);
    g_asyncLoad = -1;
    if (record->cleanup != nullptr) record->cleanup(record);
    delete record;
}

// --- posted events -----------------------------------------------------------------------

struct PostedEvent : MemoryManaged {
    int32_t map;
    const CDS_Map* mapObject;
    int32_t subtype;
    int32_t buffer;
};

int32_t PostedCompletion(HTTP_REQ_CONTEXT*, void* userData, int32_t* map) {
    auto* posted = static_cast<PostedEvent*>(userData);
    *map = posted->map;
    return posted->subtype;
}

void PostedCleanup(HTTP_REQ_CONTEXT* record) {
    auto* posted = static_cast<PostedEvent*>(record->userData);
    DestroyMapIfSame(posted->map, posted->mapObject);
    if (posted->buffer >= 0) Buffer_Free(posted->buffer);
    delete posted;
    record->userData = nullptr;
}

}  // namespace

// --- the record --------------------------------------------------------------------------

HTTP_REQ_CONTEXT::HTTP_REQ_CONTEXT(const char* url_, int32_t resultSize, HttpCompletionFn completion_,
                                   HttpCleanupFn cleanup_, void* userData_, bool atEnd)
    : completion(completion_),
      cleanup(cleanup_),
      userData(userData_),
      url(CopyText(url_)),
      id(g_nextId++),
      headerMap(DsMap_Create()),
      madeInStage(g_currentStage) {
    m_headerMapObject = DS_GetMap(headerMap);
    if (resultSize > 0) {
        result = static_cast<uint8_t*>(MEM_ALLOC_RAW(resultSize));
        std::memset(result, 0xFF, static_cast<size_t>(resultSize));
        resultCapacity = resultSize;
    }
    Link(this, atEnd);
}

HTTP_REQ_CONTEXT::~HTTP_REQ_CONTEXT() {
    MEM_FREE(result);
    MEM_FREE(url);
    DestroyMapIfSame(headerMap, m_headerMapObject);
}

// --- the list ----------------------------------------------------------------------------

HTTP_REQ_CONTEXT* Async_PostMapEvent(int32_t map, int32_t subtype) {
    return Async_PostMapBufferEvent(map, -1, subtype);
}

HTTP_REQ_CONTEXT* Async_PostMapBufferEvent(int32_t map, int32_t buffer, int32_t subtype) {
    auto* posted = new PostedEvent{};
    posted->map = map;
    posted->mapObject = DS_GetMap(map);
    posted->subtype = subtype;
    posted->buffer = buffer;
    auto* record = new HTTP_REQ_CONTEXT(nullptr, 0, PostedCompletion, PostedCleanup, posted, true);
    record->state.store(HTTP_STATE_FINISHED);
    return record;
}

void Async_ProcessRequests() {
    const uint64_t stage = ++g_stageCount;
    g_currentStage = stage;
    for (HTTP_REQ_CONTEXT* record = g_head; record != nullptr;) {
        if (!record->active || record->madeInStage == stage) {
            record = record->next;
            continue;
        }
        if (record->poll != nullptr) record->poll(record);
        const int32_t state = record->state.load();
        if (state == HTTP_STATE_FINISHED) {
            Deliver(record);
            record = g_head;  // events may have changed the list: start again
            continue;
        }
        if (state == HTTP_STATE_RECEIVING && record->completion != nullptr) ProgressEvent(record);
        record = record->next;
    }
    g_currentStage = 0;
}

int32_t Async_GetLoadMap() {
    return g_asyncLoad;
}

void Async_SetLoadMap(int32_t map) {
    g_asyncLoad = map;
}

void Async_PerformEventNow(int32_t map, int32_t subtype) {
    const int32_t outer = g_asyncLoad;
    g_asyncLoad = map;
    Perform(subtype);
    g_asyncLoad = outer;
}

void Async_SetEventPerformer(AsyncEventPerformer perform) {
    g_perform = perform;
}

void Async_SetWorldEventPerformer(AsyncEventPerformer perform) {
    g_worldPerform = perform;
}

int32_t Async_RequestCount() {
    int32_t count = 0;
    for (const HTTP_REQ_CONTEXT* record = g_head; record != nullptr; record = record->next) ++count;
    return count;
}

void Async_FreeAll() {
    HTTP_StopAll();
    while (g_head != nullptr) {
        HTTP_REQ_CONTEXT* record = g_head;
        g_head = record->next;
        if (record->cleanup != nullptr) record->cleanup(record);
        delete record;
    }
    g_asyncLoad = -1;
}

int32_t Async_NextId() {
    return g_nextId;
}

int32_t Async_TakeId() {
    return g_nextId++;
}

HTTP_REQ_CONTEXT* Async_FirstRecord() {
    return g_head;
}

void Async_Unlink(HTTP_REQ_CONTEXT* record) {
    Unlink(record);
}
