#include "script/JS_Exception.h"

#include <algorithm>
#include <vector>

#include "core/Code_Main.h"
#include "core/RuntimeError.h"
#include "core/VM.h"
#include "core/VMStack.h"
#include "core/Value_Convert.h"
#include "script/JS_Number.h"

namespace {

// The handlers of every frame, newest last. A frame is known by its run and the serial kept in
// its record's spare word (0 until the frame's first try): a popped frame's serial is never
// given again, so its forgotten handlers match nothing and are swept at the next try.
struct FrameHandler {
    VMExecContext* context;
    int32_t serial;
    JS_TryHandler handler;
};
std::vector<FrameHandler> g_handlers;
int32_t g_nextSerial = 0;
bool g_pending = false;

VMFrame* CurrentFrame(VMExecContext* ctx) {
    return ctx != nullptr && ctx->frame != nullptr ? reinterpret_cast<VMFrame*>(ctx->frame) : nullptr;
}

bool IsLiveRun(VMExecContext* ctx) {
    for (VMExecContext* run = VM_Current; run != nullptr; run = run->outer)
        if (run == ctx) return true;
    return false;
}

bool FrameOnChain(VMExecContext* ctx, int32_t serial) {
    for (uint8_t* record = ctx->frame; record != nullptr;) {
        auto* frame = reinterpret_cast<VMFrame*>(record);
        if (frame->spare == serial) return true;
        if (frame->callerFrame == 0 || frame->callerCode == nullptr) break;
        record += frame->callerFrame;
    }
    return false;
}

void SweepHandlers() {
    std::erase_if(g_handlers, [](const FrameHandler& h) {
        return !IsLiveRun(h.context) || !FrameOnChain(h.context, h.serial);
    });
}

FrameHandler* TopHandler(VMExecContext* ctx) {
    VMFrame* frame = CurrentFrame(ctx);
    if (frame == nullptr || frame->spare == 0) return nullptr;
    for (auto it = g_handlers.rbegin(); it != g_handlers.rend(); ++it)
        if (it->context == ctx && it->serial == frame->spare) return &*it;
    return nullptr;
}

void ResumeAt(VMExecContext* ctx, int32_t offset) {
    const int32_t start = ctx->codeObject != nullptr ? ctx->codeObject->start : 0;
    ctx->pc = start + offset;
    if (ctx->wordMap != nullptr && ctx->pc >= 0 && ctx->pc < ctx->codeSize)
        ctx->nextInstruction = ctx->wordMap[ctx->pc / 4];
    VM_PendingException.catcher = ctx;
}

void StorePending(const RValue* value) {
    RValue_Assign(&VM_PendingException.value, value);
    g_pending = true;
}

void ThrowError(const char* kind, int32_t index, const char* message) {
    RValue text = RValue_Undefined();
    RValue_SetString(&text, message);
    RValue error = RValue_Undefined();
    JS_CreateError(kind, g_JSStandard.errorPrototypes[index], error, nullptr, nullptr, 1, &text);
    JS_Throw(&error);
    RValue_Release(&error);
    RValue_Release(&text);
}

}  // namespace

bool JS_ExceptionPending() {
    return g_pending;
}

const RValue* JS_PendingValue() {
    return &VM_PendingException.value;
}

void JS_ResetExceptions() {
    g_handlers.clear();
    g_pending = false;
    VM_PendingException.pending = false;
    VM_PendingException.catcher = nullptr;
    VM_PendingException.position = 0;
    RValue_Release(&VM_PendingException.value);
}

JS_TryHandler* JS_CurrentTryHandler() {
    FrameHandler* top = TopHandler(VM_Current);
    return top != nullptr ? &top->handler : nullptr;
}

void JS_Throw(const RValue* value) {
    StorePending(value);
    JS_UnwindToHandler();
}

void JS_UnwindToHandler() {
    for (VMExecContext* ctx = VM_Current; ctx != nullptr; ctx = ctx->outer) {
        while (ctx->depth >= 1 && TopHandler(ctx) == nullptr) VM_Unwind(ctx->frame, ctx);
        VM_PendingException.position = VM_FromEnd(ctx, ctx->frame);
        VM_PendingException.pending = true;
        if (FrameHandler* top = TopHandler(ctx)) {
            if (top->handler.catchOffset != -1) {
                ResumeAt(ctx, top->handler.catchOffset);
                return;
            }
            if (top->handler.finallyOffset != -1) {
                ResumeAt(ctx, top->handler.finallyOffset);
                return;
            }
        }
    }
    VM_PendingException.pending = false;
    VM_PendingException.catcher = nullptr;
    // The runs whose frames were popped cannot go on where they stood: end them all.
    for (VMExecContext* ctx = VM_Current; ctx != nullptr; ctx = ctx->outer) {
        ctx->aborted = true;
        ctx->pc = ctx->codeSize;
    }
    RValue text = RValue_Undefined();
    if (JS_ToString(&text, &VM_PendingException.value) != JS_DONE) RValue_SetString(&text, "");
    const char* shown = RValue_GetStringText(&text);
    Runtime_Error("Unable to find a handler for exception %s", shown ? shown : "");
    RValue_Release(&text);
}

// --- Error objects ----------------------------------------------------------------------

void JS_CreateError(const char* kindName, PWObjectBase* kindPrototype, RValue& result, CInstance*, CInstance*,
                    int32_t argc, RValue* args) {
    // The message is the text of any value; an undefined one leaves it empty.
    RValue text = RValue_Undefined();
    const uint32_t kind = argc > 0 ? RValue_Kind(args[0]) : VALUE_UNDEFINED;
    if (kind != VALUE_UNDEFINED && kind != VALUE_UNSET && JS_ToString(&text, &args[0]) != JS_DONE) {
        RValue_Release(&text);
        return;
    }
    const char* message = RValue_IsString(text) ? RValue_GetStringText(&text) : "";
    JS_NewObject(result, nullptr, nullptr, 0, nullptr);
    PWObjectBase* error = result.obj;
    RValue* prototype = error->FindName(JS_PROTOTYPE);
    RValue_Release(prototype);
    if (kindPrototype != nullptr) {
        prototype->obj = kindPrototype;
        prototype->kind = VALUE_OBJECT;
    } else {
        prototype->kind = VALUE_NULL;
    }
    error->AddString(JS_CLASS, "Error", 0);
    error->AddString("message", message != nullptr ? message : "", 0);
    error->AddString("name", kindName, 0);
    PWObjectBase* constructorPrototype = JS_NewBareObject();
    constructorPrototype->AddObject("constructor", error, JS_CONFIGURABLE | JS_WRITABLE);
    if (g_JSStandard.objectPrototype != nullptr)
        constructorPrototype->AddObject(JS_PROTOTYPE, g_JSStandard.objectPrototype, 0);
    else
        constructorPrototype->AddNull(JS_PROTOTYPE, 0);
    RValue* slot = error->GetSlot(JS_SLOT_PROTOTYPE);
    RValue_Release(slot);
    slot->obj = constructorPrototype;
    slot->kind = VALUE_OBJECT;
    slot->flags = JS_CONFIGURABLE | JS_WRITABLE;
    RValue_Release(&text);
}

#define HV_ERROR_CONSTRUCTOR(Name, index) \
    void F_JS_##Name(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args) { \
        JS_CreateError(#Name, g_JSStandard.errorPrototypes[index], result, self, other, argc, args); \
    }
HV_ERROR_CONSTRUCTOR(Error, 0)
HV_ERROR_CONSTRUCTOR(EvalError, 1)
HV_ERROR_CONSTRUCTOR(RangeError, 2)
HV_ERROR_CONSTRUCTOR(ReferenceError, 3)
HV_ERROR_CONSTRUCTOR(SyntaxError, 4)
HV_ERROR_CONSTRUCTOR(TypeError, 5)
HV_ERROR_CONSTRUCTOR(URIError, 6)
#undef HV_ERROR_CONSTRUCTOR

void JS_ThrowTypeError(const char* message) {
    ThrowError("TypeError", 5, message);
}
void JS_ThrowSyntaxError(const char* message) {
    ThrowError("SyntaxError", 4, message);
}
void JS_ThrowRangeError(const char* message) {
    ThrowError("RangeError", 2, message);
}
void JS_ThrowReferenceError(const char* message) {
    ThrowError("ReferenceError", 3, message);
}

// --- The built-ins ----------------------------------------------------------------------

void F_JS_TryHook(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    VMExecContext* ctx = VM_Current;
    VMFrame* frame = CurrentFrame(ctx);
    if (frame == nullptr) return;
    SweepHandlers();
    if (frame->spare == 0) frame->spare = ++g_nextSerial;
    const int32_t catchOffset = argc > 0 ? Arg_GetInt32(args, 0) : -1;
    const int32_t finallyOffset = argc > 1 ? Arg_GetInt32(args, 1) : -1;
    g_handlers.push_back({ctx, frame->spare, {nullptr, catchOffset, finallyOffset}});
}

void F_JS_TryUnhook(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    if (FrameHandler* top = TopHandler(VM_Current))
        g_handlers.erase(g_handlers.begin() + (top - g_handlers.data()));
}

void F_JS_ThrowValue(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    const RValue undefined = RValue_Undefined();
    JS_Throw(argc > 0 ? &args[0] : &undefined);
}

void F_JS_FinishCatch(RValue&, CInstance*, CInstance*, int32_t, RValue*) {
    g_pending = false;
    VM_PendingException.catcher = nullptr;
}

void F_JS_FinishFinally(RValue& result, CInstance*, CInstance*, int32_t, RValue*) {
    if (!g_pending) return;
    RValue thrown = RValue_Undefined();
    RValue_Assign(&thrown, &VM_PendingException.value);
    JS_UnwindToHandler();
    RValue_Release(&result);
    result = thrown;
}

void F_JS_TestError(RValue&, CInstance*, CInstance*, int32_t argc, RValue* args) {
    RValue text = RValue_Undefined();
    if (argc > 0 && JS_ToString(&text, &args[0]) != JS_DONE) RValue_SetString(&text, "");
    const char* shown = RValue_GetStringText(&text);
    Runtime_Error("%s", shown ? shown : "");
    RValue_Release(&text);
}
