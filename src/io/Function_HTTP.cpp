// The http_* built-ins and the event maps of their results (Other event 62).
#include <cstdlib>
#include <cstring>

#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Internal.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"

namespace {

constexpr const char* kNoText = nullptr;
constexpr size_t kPathSize = 1024;

bool IsHttpUrl(const char* url) {
    return url != nullptr && (std::strncmp(url, "http://", 7) == 0 || std::strncmp(url, "https://", 8) == 0);
}

// A request that failed part-way has not delivered its response, whatever had arrived.
bool Succeeded(const HTTP_REQ_CONTEXT* record) {
    return record->received.load() > 0 && !record->failed;
}

const char* Url(const HTTP_REQ_CONTEXT* record) {
    return record->url ? record->url : "";
}

int32_t TextResult(HTTP_REQ_CONTEXT* record, void*, int32_t* map) {
    const int32_t received = record->received.load();
    auto* text = static_cast<char*>(MEM_ALLOC_RAW(received + 1));
    if (received > 0) std::memcpy(text, record->result, static_cast<size_t>(received));
    text[received] = '\0';
    *map = DsMap_CreateFromPairs(6, "id", static_cast<double>(record->id), kNoText, "url", 0.0, Url(record),
                                 "result", 0.0, text, "http_status", static_cast<double>(record->httpStatus),
                                 kNoText, "response_headers", static_cast<double>(record->headerMap), kNoText,
                                 "status", Succeeded(record) ? 0.0 : -1.0, kNoText);
    MEM_FREE(text);
    return kAsyncEventHttp;
}

// userData: the resolved path, owned.
int32_t FileResult(HTTP_REQ_CONTEXT* record, void* userData, int32_t* map) {
    const char* path = static_cast<const char*>(userData);
    const bool written = record->received.load() >= 0 && !record->failed &&
                         LoadSave_WriteFile(path, record->result, record->received.load());
    *map = DsMap_CreateFromPairs(6, "id", static_cast<double>(record->id), kNoText, "url", 0.0, Url(record),
                                 "result", 0.0, path, "http_status", static_cast<double>(record->httpStatus),
                                 kNoText, "response_headers", static_cast<double>(record->headerMap), kNoText,
                                 "status", written ? 0.0 : -1.0, kNoText);
    return kAsyncEventHttp;
}

void FreeUserData(HTTP_REQ_CONTEXT* record) {
    MEM_FREE(record->userData);
    record->userData = nullptr;
}

// The buffer that receives a response, by index and by the handle that names the buffer living
// in that index now: one deleted (and perhaps replaced) while the request ran gets nothing.
struct BufferTarget {
    int32_t index;
    uint32_t handle;
};

IBuffer* LiveBuffer(const BufferTarget* target) {
    IBuffer* buffer = Buffer_GetByIndex(target->index);
    if (buffer == nullptr || Buffer_GetAddressHandle(target->index) != target->handle) return nullptr;
    return buffer;
}

int32_t BufferResult(HTTP_REQ_CONTEXT* record, void* userData, int32_t* map) {
    const int32_t received = record->received.load();
    IBuffer* buffer = LiveBuffer(static_cast<const BufferTarget*>(userData));
    bool stored = false;
    if (buffer != nullptr && received > 0) {
        const int32_t end = IBuffer_CopyFromMemory(buffer, record->result, received, 0, received,
                                                   buffer->GetPosition(), true, false, false);
        if (end >= 0) buffer->Seek(0, end);
        stored = end >= 0;
    }
    const double position = buffer != nullptr ? buffer->GetPosition() : -1.0;
    *map = DsMap_CreateFromPairs(
        8, "id", static_cast<double>(record->id), kNoText, "url", 0.0, Url(record), "result", position,
        kNoText, "http_status", static_cast<double>(record->httpStatus), kNoText, "response_headers",
        static_cast<double>(record->headerMap), kNoText, "contentLength", static_cast<double>(received),
        kNoText, "sizeDownloaded", static_cast<double>(received), kNoText, "status",
        Succeeded(record) && stored ? 0.0 : -1.0, kNoText);
    return kAsyncEventHttp;
}

// --- http_request's headers and body ------------------------------------------------------

void AppendText(char*& cursor, char*& base, int32_t& capacity, const RValue* value) {
    if (value->kind == VALUE_STRING) {
        const char* text = RValue_GetStringText(value);
        TextBuffer_Append(cursor, base, capacity, text ? text : "");
    } else {
        RValue_AppendText(cursor, base, capacity, value);
    }
}

// "Key: value\r\n" for every entry of the map in its own order; the "Content-Length" entry's
// value as an integer goes to contentLength (-1 without one). Null when the map has no entries.
char* HeaderText(const CDS_Map* map, int32_t* contentLength) {
    *contentLength = -1;
    char* base = nullptr;
    char* cursor = nullptr;
    int32_t capacity = 0;
    for (DSMapNode* node = map->FirstNode(); node != nullptr; node = map->NextNode(node)) {
        const ptrdiff_t keyOffset = base ? cursor - base : 0;
        AppendText(cursor, base, capacity, &node->entry.key);
        const bool isLength = std::strcmp(base + keyOffset, "Content-Length") == 0;
        TextBuffer_Append(cursor, base, capacity, ": ");
        const ptrdiff_t valueOffset = cursor - base;
        AppendText(cursor, base, capacity, &node->entry.value);
        if (isLength) *contentLength = std::atoi(base + valueOffset);
        TextBuffer_Append(cursor, base, capacity, "\r\n");
    }
    return base;
}

// The body of a buffer whose position is not 0: from its start, as many bytes as the
// "Content-Length" entry says, else up to the first zero byte; never past the buffer.
int32_t BufferBodyLength(const IBuffer* buffer, int32_t contentLength) {
    const int32_t size = buffer->GetSize();
    if (contentLength >= 0) return contentLength < size ? contentLength : size;
    const void* zero = size > 0 ? std::memchr(buffer->GetData(), 0, static_cast<size_t>(size)) : nullptr;
    return zero ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - buffer->GetData()) : size;
}

// --- built-ins ---------------------------------------------------------------------------

void F_HttpGet(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* url = Arg_GetString(args, 0);
    result = RValue_Real(IsHttpUrl(url) ? HTTP_Get(url, TextResult, nullptr, nullptr) : -1);
}

void F_HttpGetFile(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    const char* url = Arg_GetString(args, 0);
    const char* file = Arg_GetString(args, 1);
    if (!IsHttpUrl(url) || file == nullptr) return;
    if (!HTTP_Open()) {
        result = RValue_Real(Async_NextId());
        return;
    }
    auto* path = static_cast<char*>(MEM_ALLOC(kPathSize));
    if (!LoadSave_GetSavePath(path, kPathSize, file)) {
        MEM_FREE(path);
        return;
    }
    File_CreateDirectoryForFile(path);
    result = RValue_Real(HTTP_Get(url, FileResult, FreeUserData, path));
}

void F_HttpPostString(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    const char* url = Arg_GetString(args, 0);
    const char* body = Arg_GetString(args, 1);
    result = RValue_Real(IsHttpUrl(url) ? HTTP_Post(url, body, TextResult, nullptr, nullptr) : -1);
}

void F_HttpRequest(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    const char* url = Arg_GetString(args, 0);
    const char* method = Arg_GetString(args, 1);
    const int32_t mapIndex = Arg_GetInt32(args, 2);
    const CDS_Map* headers = DS_GetMap(mapIndex);
    if (headers == nullptr) DebugConsole.Output("http_request: header map %d does not exist\n", mapIndex);
    int32_t contentLength = -1;
    char* headerText = headers ? HeaderText(headers, &contentLength) : nullptr;

    const uint8_t* body = nullptr;
    int32_t bodyLength = 0;
    HttpCompletionFn completion = TextResult;
    BufferTarget* target = nullptr;
    if (args[3].kind == VALUE_STRING) {
        const char* text = RValue_GetStringText(&args[3]);
        body = reinterpret_cast<const uint8_t*>(text ? text : "");
        bodyLength = static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(body)));
    } else {
        const int32_t index = Arg_GetInt32(args, 3);
        IBuffer* buffer = Buffer_GetByIndex(index);
        if (buffer == nullptr) {
            // Neither a body nor a place for the response.
            Runtime_ErrorNonFatal("Illegal Buffer Index");
            MEM_FREE(headerText);
            return;
        }
        if (buffer->GetPosition() != 0) {
            body = buffer->GetData();
            bodyLength = BufferBodyLength(buffer, contentLength);
        } else if (HTTP_Open()) {
            target = static_cast<BufferTarget*>(MEM_ALLOC(sizeof(BufferTarget)));
            *target = BufferTarget{index, Buffer_GetAddressHandle(index)};
            completion = BufferResult;
        }
    }
    if (IsHttpUrl(url) && method != nullptr) {
        result = RValue_Real(HTTP_Request(url, method, headerText, body, completion,
                                          target ? FreeUserData : nullptr, target, bodyLength));
        target = nullptr;
    }
    MEM_FREE(target);
    MEM_FREE(headerText);
}

}  // namespace

void InitHttpFunctions() {
    Code_Function_Add("http_get", F_HttpGet, 1);
    Code_Function_Add("http_get_file", F_HttpGetFile, 2);
    Code_Function_Add("http_post_string", F_HttpPostString, 2);
    Code_Function_Add("http_request", F_HttpRequest, 4);
}
