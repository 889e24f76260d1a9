#include "io/Buffer_Async.h"

#include <cstring>
#include <string>

#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "data/Function_Data_Structures.h"
#include "io/Buffer_Manager.h"
#include "io/HTTP_Main.h"
#include "io/LoadSave.h"

namespace {

constexpr const char* kIllegalIndex = "Illegal Buffer Index";
constexpr const char* kMixed = "mixing async save and loads in the same group";
constexpr const char* kDefaultGroup = "default";

char* CopyText(const char* text) {
    const size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(MEM_ALLOC_RAW(length + 1));
    std::memcpy(copy, text, length + 1);
    return copy;
}

void ReplaceText(char*& slot, const char* text) {
    MEM_FREE(slot);
    slot = text ? CopyText(text) : nullptr;
}

// One file of a group. A load names its buffer by index and by the handle of the buffer living
// there when the load was asked for, so a buffer deleted (or replaced) meanwhile gets nothing.
struct AsyncBufferFile : MemoryManaged {
    AsyncBufferFile* next = nullptr;
    int32_t buffer = -1;
    uint32_t bufferHandle = 0;
    char* name = nullptr;
    uint8_t* data = nullptr;  // saves: the bytes to write, copied when asked
    int32_t size = 0;         // loads: -1 for the whole file
    int32_t offset = 0;

    ~AsyncBufferFile() {
        MEM_FREE(name);
        MEM_FREE(data);
    }
};

void FreeList(AsyncBufferFile* list) {
    while (list != nullptr) {
        AsyncBufferFile* next = list->next;
        delete list;
        list = next;
    }
}

// What is gathered between buffer_async_group_begin and buffer_async_group_end (or for the
// next single call). The options are kept for platforms with save dialogs.
struct PendingWork {
    char* groupName = nullptr;
    AsyncBufferFile* saves = nullptr;
    AsyncBufferFile* loads = nullptr;
    bool showDialog = false;
    char* subtitle = nullptr;
    char* slotTitle = nullptr;
    int32_t padIndex = 0;
    int32_t slotSize = 0;
} g_pending;

struct ASYNC_SAVE_LOAD_REQ_CONTEXT final : HTTP_REQ_CONTEXT {
    ASYNC_SAVE_LOAD_REQ_CONTEXT(AsyncBufferFile* files_, const char* group, bool isSave_, bool groupFlag_);
    ~ASYNC_SAVE_LOAD_REQ_CONTEXT() override {
        FreeList(files);
        MEM_FREE(groupName);
    }

    AsyncBufferFile* files;
    char* groupName;
    bool isSave;
    int32_t status = 1;
    int32_t error = 0;
    int32_t groupFlag;
};

std::string InGroup(const char* group, const char* name) {
    return std::string(group) + "/" + name;
}

// The file's bytes: group/name in the save area, else in the bundle; then the plain name, save
// area first. Null when none of them can be read.
void* ReadForLoad(const char* group, const char* name, int64_t* size) {
    const std::string grouped = InGroup(group, name);
    if (LoadSave_SaveFileExists(grouped.c_str())) return LoadSave_ReadSaveFile(grouped.c_str(), size);
    if (LoadSave_BundleFileExists(grouped.c_str())) return LoadSave_ReadBundleFile(grouped.c_str(), size);
    if (LoadSave_SaveFileExists(name)) return LoadSave_ReadSaveFile(name, size);
    return LoadSave_ReadBundleFile(name, size);
}

bool LoadOne(const char* group, const AsyncBufferFile* file) {
    IBuffer* buffer = Buffer_GetByIndex(file->buffer);
    if (buffer == nullptr || Buffer_GetAddressHandle(file->buffer) != file->bufferHandle) return false;
    int64_t size = 0;
    auto* bytes = static_cast<uint8_t*>(ReadForLoad(group, file->name, &size));
    if (bytes == nullptr) return false;
    bool loaded = size <= IBuffer::kMaxSize;
    if (loaded && size > 0) {
        // Always allowed to grow, whatever the buffer's kind, and never wrapping.
        loaded = IBuffer_CopyFromMemory(buffer, bytes, static_cast<int32_t>(size), 0, file->size,
                                        file->offset, true, false, false) >= 0;
    }
    MEM_FREE(bytes);
    return loaded;
}

void AsyncBuffer_Work(HTTP_REQ_CONTEXT* base) {
    auto* record = static_cast<ASYNC_SAVE_LOAD_REQ_CONTEXT*>(base);
    if (record->state.load() == HTTP_STATE_FINISHED) return;
    for (const AsyncBufferFile* file = record->files; file != nullptr; file = file->next) {
        bool done;
        if (record->isSave) {
            done = LoadSave_WriteFile(InGroup(record->groupName, file->name).c_str(), file->data, file->size);
        } else {
            done = LoadOne(record->groupName, file);
        }
        if (!done) record->status = 0;
    }
    record->state.store(HTTP_STATE_FINISHED);
}

int32_t AsyncBuffer_Completion(HTTP_REQ_CONTEXT* base, void*, int32_t* map) {
    auto* record = static_cast<ASYNC_SAVE_LOAD_REQ_CONTEXT*>(base);
    *map = DsMap_CreateFromPairs(3, "id", static_cast<double>(record->id), static_cast<const char*>(nullptr),
                                 "status", static_cast<double>(record->status),
                                 static_cast<const char*>(nullptr), "error",
                                 static_cast<double>(record->error), static_cast<const char*>(nullptr));
    return kAsyncEventSaveLoad;
}

ASYNC_SAVE_LOAD_REQ_CONTEXT::ASYNC_SAVE_LOAD_REQ_CONTEXT(AsyncBufferFile* files_, const char* group,
                                                         bool isSave_, bool groupFlag_)
    : HTTP_REQ_CONTEXT(nullptr, 0, AsyncBuffer_Completion, nullptr, nullptr, false),
      files(files_),
      groupName(CopyText(group)),
      isSave(isSave_),
      groupFlag(groupFlag_ ? 1 : 0) {
    poll = AsyncBuffer_Work;
}

// A load group reads either from the bundle or from the save area, not from both.
bool LoadSourcesAgree(const char* group, const AsyncBufferFile* list) {
    int32_t files = 0;
    int32_t inBundle = 0;
    for (const AsyncBufferFile* file = list; file != nullptr; file = file->next) {
        DebugConsole.Output("LOAD: checking file %s\n", file->name);
        ++files;
        if (LoadSave_BundleFileExists(InGroup(group, file->name).c_str()) ||
            LoadSave_BundleFileExists(file->name))
            ++inBundle;
    }
    DebugConsole.Output("LOAD: numFiles %d, numBundleFiles %d\n", files, inBundle);
    return inBundle == 0 || inBundle == files;
}

// The request takes the list; both pending lists are emptied. -1 when nothing was made.
int32_t AsyncBuffer_Request(bool isSave, AsyncBufferFile* list, const char* group, bool groupFlag) {
    if (isSave)
        FreeList(g_pending.loads);
    else
        FreeList(g_pending.saves);
    g_pending.saves = nullptr;
    g_pending.loads = nullptr;
    if (!isSave && !LoadSourcesAgree(group, list)) {
        FreeList(list);
        Runtime_Error("Do not mix buffer loads from bundle and savedata in one group.");
        return -1;
    }
    auto* record = new ASYNC_SAVE_LOAD_REQ_CONTEXT(list, group, isSave, groupFlag);
    return record->id;
}

// Outside a group each call is a request of its own; inside one the result is -1.
int32_t RequestUnlessGrouped(bool isSave) {
    if (g_pending.groupName != nullptr) return -1;
    AsyncBufferFile* list = isSave ? g_pending.saves : g_pending.loads;
    return AsyncBuffer_Request(isSave, list, kDefaultGroup, false);
}

bool IsLegalGroupName(const char* name) {
    return std::strpbrk(name, " \t\r\n\\/") == nullptr;
}

// --- built-ins ---------------------------------------------------------------------------

void F_BufferSaveAsync(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    if (g_pending.loads != nullptr) {
        Runtime_Error("%s", kMixed);
        return;
    }
    const int32_t index = Arg_GetInt32(args, 0);
    const char* name = Arg_GetString(args, 1);
    IBuffer* buffer = Buffer_GetByIndex(index);
    if (buffer == nullptr) {
        Runtime_ErrorNonFatal("%s", kIllegalIndex);
        return;
    }
    if (name == nullptr) return;
    auto* file = new AsyncBufferFile;
    file->name = CopyText(name);
    // The range is clamped to the buffer: a save never reads outside it.
    file->data = buffer->CopyRangeOut(&file->size, Arg_GetInt32(args, 2), Arg_GetInt32(args, 3));
    file->next = g_pending.saves;
    g_pending.saves = file;
    result = RValue_Real(RequestUnlessGrouped(true));
}

void F_BufferLoadAsync(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(-1.0);
    if (g_pending.saves != nullptr) {
        Runtime_Error("%s", kMixed);
        return;
    }
    const int32_t index = Arg_GetInt32(args, 0);
    const char* name = Arg_GetString(args, 1);
    if (Buffer_GetByIndex(index) == nullptr) {
        Runtime_ErrorNonFatal("%s", kIllegalIndex);
        return;
    }
    if (name == nullptr) return;
    auto* file = new AsyncBufferFile;
    file->buffer = index;
    file->bufferHandle = Buffer_GetAddressHandle(index);
    file->name = CopyText(name);
    file->offset = Arg_GetInt32(args, 2);
    file->size = Arg_GetInt32(args, 3);
    file->next = g_pending.loads;
    g_pending.loads = file;
    result = RValue_Real(RequestUnlessGrouped(false));
}

void F_BufferAsyncGroupBegin(RValue&, CInstance*, CInstance*, int32_t, RValue* args) {
    if (g_pending.groupName != nullptr) {
        Runtime_Error("only one buffer group at a time");
        return;
    }
    const char* name = Arg_GetString(args, 0);
    if (name == nullptr) return;
    if (!IsLegalGroupName(name)) {
        Runtime_Error("Group name should not contain whitespace or slash characters.");
        return;
    }
    g_pending.groupName = CopyText(name);
}

void F_BufferAsyncGroupEnd(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    result = RValue_Real(-1.0);
    if (g_pending.groupName == nullptr) {
        Runtime_Error("no matching buffer_group_begin");
        return;
    }
    char* group = g_pending.groupName;
    g_pending.groupName = nullptr;
    if (g_pending.loads != nullptr) {
        result = RValue_Real(AsyncBuffer_Request(false, g_pending.loads, group, true));
    } else if (g_pending.saves != nullptr) {
        result = RValue_Real(AsyncBuffer_Request(true, g_pending.saves, group, true));
    } else {
        Runtime_Error("no content in group to save");
    }
    MEM_FREE(group);
}

void F_BufferAsyncGroupOption(RValue& result, CInstance*, CInstance*, int32_t, RValue* args) {
    result = RValue_Real(0.0);
    const char* option = Arg_GetString(args, 0);
    if (option == nullptr) return;
    if (std::strcmp(option, "subtitle") == 0 || std::strcmp(option, "slottitle") == 0) {
        ReplaceText(option[1] == 'u' ? g_pending.subtitle : g_pending.slotTitle, Arg_GetString(args, 1));
        result = RValue_Real(1.0);
    } else if (std::strcmp(option, "showdialog") == 0) {
        g_pending.showDialog = Arg_GetBool(args, 1);
        result = RValue_Real(1.0);
    } else if (std::strcmp(option, "temprloc") == 0) {
        if (const char* folder = Arg_GetString(args, 1))
            LoadSave_AddAllowedPath(LOADSAVE_WRITE_LIST, folder, true);
    } else if (std::strcmp(option, "savepadindex") == 0) {
        g_pending.padIndex = Arg_GetInt32(args, 1);
    } else if (std::strcmp(option, "saveslotsize") == 0) {
        g_pending.slotSize = Arg_GetInt32(args, 1);
    } else {
        DebugConsole.Output("unknown option %s passed to F_BUFFER_Async_Group_Option\n", option);
    }
}

}  // namespace

void InitBufferAsyncFunctions() {
    Code_Function_Add("buffer_save_async", F_BufferSaveAsync, 4);
    Code_Function_Add("buffer_load_async", F_BufferLoadAsync, 4);
    Code_Function_Add("buffer_async_group_begin", F_BufferAsyncGroupBegin, 1);
    Code_Function_Add("buffer_async_group_end", F_BufferAsyncGroupEnd, 0);
    Code_Function_Add("buffer_async_group_option", F_BufferAsyncGroupOption, 2);
}

void BufferAsync_Reset() {
    MEM_FREE(g_pending.groupName);
    MEM_FREE(g_pending.subtitle);
    MEM_FREE(g_pending.slotTitle);
    FreeList(g_pending.saves);
    FreeList(g_pending.loads);
    g_pending = PendingWork{};
}
