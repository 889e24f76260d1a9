#include "services/Pell_Services.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/Error_Report.h"
#include "core/Console.h"
#include "core/RuntimeError.h"
#include "core/Script_Main.h"
#include "core/Thread.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "services/Achievement_Cache.h"

namespace {

int32_t g_callbackQueue = -1;
bool g_pauseRegistered = false;
bool g_paused = false;

}  // namespace

void Pell_Tick() {
    Pell_ProcessPending();
    Pell_UpdatePauseEvent();
}

void Pell_Shutdown() {
    Pell_SaveAchievementCache();
}

// Status below 0: the bytes are the error text. 0: a description, a zero byte, then the
// result. Above 0: the bytes are the result.
int32_t Pell_CloudComplete(HTTP_REQ_CONTEXT* request, void*, int32_t* map) {
    const int32_t length =
        request->result != nullptr ? std::clamp(request->received.load(), 0, request->resultCapacity) : 0;
    std::vector<char> block(static_cast<size_t>(length) + 2, '\0');
    if (length > 0) std::memcpy(block.data(), request->result, static_cast<size_t>(length));
    const int32_t status = request->httpStatus;
    const char* error = nullptr;
    const char* result = nullptr;
    const char* description = nullptr;
    if (status < 0) {
        error = block.data();
    } else if (status == 0) {
        description = block.data();
        result = block.data() + std::strlen(block.data()) + 1;
    } else {
        result = block.data();
    }
    *map = DsMap_CreateFromPairs(5, "id", static_cast<double>(request->id), nullptr, "errorString", 0.0,
                                 error, "resultString", 0.0, result, "status", static_cast<double>(status),
                                 nullptr, "description", 0.0, description);
    return kAsyncEventCloud;
}

void Pell_SetCallbackQueue(int32_t queue) {
    g_callbackQueue = queue;
}

int32_t Pell_CallbackQueue() {
    return g_callbackQueue;
}

Mutex& Pell_CallbackLock() {
    static Mutex lock("comshvscallbacks");
    return lock;
}

// A value that is not a script index is dropped; a call announcing more values than the
// queue holds runs with those it has.
void Pell_ProcessCallbacks() {
    std::lock_guard<Mutex> hold(Pell_CallbackLock());
    while (g_callbackQueue != -1 && DsQueue_Size(g_callbackQueue) > 0) {
        RValue script = RValue_Undefined();
        DsQueue_Dequeue(g_callbackQueue, &script);
        if (!RValue_IsReal(script) || script.val < 0) {
            RValue_Free(&script);
            continue;
        }
        RValue count = RValue_Undefined();
        DsQueue_Dequeue(g_callbackQueue, &count);
        const int32_t wanted = RValue_IsReal(count) && count.val > 0 ? static_cast<int32_t>(count.val) : 0;
        RValue_Free(&count);
        std::vector<RValue> args;
        while (static_cast<int32_t>(args.size()) < wanted && DsQueue_Size(g_callbackQueue) > 0) {
            args.push_back(RValue_Undefined());
            DsQueue_Dequeue(g_callbackQueue, &args.back());
        }
        const int32_t index = static_cast<int32_t>(script.val);
        RValue result = RValue_Undefined();
        const bool ok = Script_Run(index, nullptr, nullptr, static_cast<int32_t>(args.size()), &result,
                                   args.empty() ? nullptr : args.data());
        RValue_Free(&result);
        if (!ok && Script_Get(index) != nullptr) Error_Report(Runtime_ErrorText(), false);
    }
}

void Pell_RegisterPauseEvent() {
    g_pauseRegistered = true;
}

void Pell_UpdatePauseEvent() {
    if (g_pauseRegistered) {
        DebugConsole.Output("Pause event has been registered for this frame\n");
        g_paused = true;
        g_pauseRegistered = false;
    } else if (g_paused) {
        DebugConsole.Output("Pause event has been unregistered\n");
        g_paused = false;
    }
}

bool Pell_IsPaused() {
    return g_paused;
}
