// With-statements for compiled code (WithIterator) and bytecode (pushenv and popenv). Both
// collect their targets the same way and fix the list when the block is entered.
#include <cstring>

#include "core/Code_Variable.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/MemoryManager.h"
#include "core/VMStack.h"
#include "core/WithIterator.h"

namespace {

// --- The gathering list -----------------------------------------------------------------

CInstance** g_gather = nullptr;
int32_t g_gatherCount = 0, g_gatherCapacity = 0;

int32_t Find(CInstance* instance) {
    for (int32_t i = 0; i < g_gatherCount; ++i)
        if (g_gather[i] == instance) return i;
    return -1;
}

void Push(CInstance* instance) {
    if (g_gatherCount == g_gatherCapacity) {
        const int32_t capacity = g_gatherCapacity ? 2 * g_gatherCapacity : 64;
        g_gather = static_cast<CInstance**>(
            MEM_REALLOC(g_gather, sizeof(CInstance*) * static_cast<size_t>(capacity)));
        g_gatherCapacity = capacity;
    }
    g_gather[g_gatherCount++] = instance;
}

bool IsLive(const CInstance* instance) {
    return !instance->destroyed && !instance->deactivated;
}

struct FillJob {
    int32_t objectIndex;
    bool once;
};

bool TakeOwn(CInstance* instance, void*) {
    if (IsLive(instance)) Push(instance);
    return true;
}

bool TakePending(CInstance* instance, void* context) {
    const auto* job = static_cast<const FillJob*>(context);
    if (!IsLive(instance) || instance->object_index != job->objectIndex) return true;
    if (job->once)
        WithList_AppendOnce(instance);
    else
        WithList_Append(instance);
    return true;
}

// The live instances of the current room, in room order.
int32_t CollectRoom() {
    WithList_Reset();
    InstanceList* list = InstanceWorld().activeList();
    for (CInstance* instance = list ? list->head : nullptr; instance; instance = instance->depthNext)
        if (IsLive(instance)) Push(instance);
    return g_gatherCount;
}

// A list block of null followed by the first n - 1 gathered instances; the cursor is one past
// its last entry.
CInstance** MakeList(int32_t n) {
    auto* list = static_cast<CInstance**>(MEM_ALLOC(sizeof(CInstance*) * static_cast<size_t>(n)));
    list[0] = nullptr;
    for (int32_t i = 1; i < n; ++i) list[i] = g_gather[i - 1];
    return list;
}

// --- Environment records ----------------------------------------------------------------
// Every word of a record is pointer-sized: the saved self and other, then the markers.

constexpr int32_t kWord = static_cast<int32_t>(sizeof(intptr_t));

uint8_t* PushWord(uint8_t* sp, intptr_t word) {
    sp -= kWord;
    VM_Store(sp, word);
    return sp;
}

intptr_t WordAt(const uint8_t* at) {
    return VM_Load<intptr_t>(at);
}

template <typename T>
intptr_t AsWord(T* pointer) {
    return reinterpret_cast<intptr_t>(pointer);
}

// Jumps to the instruction a pushenv or popenv names.
void JumpTo(uint32_t word, VMExecContext* ctx) {
    const int64_t target = static_cast<int64_t>(ctx->currentInstruction) + 4 * int64_t{VM_BranchWords(word)};
    if (target < 0 || target > ctx->codeSize ||
        !ctx->buffer->IsInstructionStart(static_cast<int32_t>(target))) {
        VM_Error(ctx, "%s :: branch to 0x%llx leaves the code", Code_OpcodeName(VM_Opcode(word)),
                 static_cast<long long>(target));
        return;
    }
    ctx->pc = static_cast<int32_t>(target);
    ctx->nextInstruction = ctx->wordMap[target / 4];
}

// The targets of a record from the gathered list: three or more in a list block, two with
// the second on top, one alone; none skips the block.
uint8_t* PushTargets(uint32_t word, uint8_t* sp, VMExecContext* ctx, int32_t n) {
    if (n >= 3) {
        CInstance** list = MakeList(n);
        ctx->self = g_gather[n - 1];
        sp = PushWord(sp, AsWord(list));
        sp = PushWord(sp, AsWord(list + n));
        sp = PushWord(sp, -1);
    } else if (n == 2) {
        ctx->self = g_gather[0];
        sp = PushWord(sp, 0);
        sp = PushWord(sp, AsWord(g_gather[1]));
    } else if (n == 1) {
        ctx->self = g_gather[0];
        sp = PushWord(sp, 0);
    } else {
        sp = PushWord(sp, 0);
        JumpTo(word, ctx);
    }
    WithList_Reset();
    return sp;
}

}  // namespace

void WithList_Reset() {
    g_gatherCount = 0;
}

void WithList_Append(CInstance* instance) {
    const int32_t at = Find(instance);
    if (at >= 0) {
        std::memmove(&g_gather[at], &g_gather[at + 1],
                     sizeof(CInstance*) * static_cast<size_t>(g_gatherCount - at - 1));
        --g_gatherCount;
    }
    Push(instance);
}

bool WithList_AppendOnce(CInstance* instance) {
    if (Find(instance) >= 0) return true;
    Push(instance);
    return false;
}

int32_t WithList_Fill(int32_t objectIndex, bool once) {
    WithList_Reset();
    const InstanceWorldHooks& world = InstanceWorld();
    if (world.findObject(objectIndex) == nullptr) return 0;
    world.forEachObjectInstance(objectIndex, TakeOwn, nullptr);
    FillJob job{objectIndex, once};
    world.forEachPending(PENDING_OBJECT_CHANGE, TakePending, &job);
    world.forEachPending(PENDING_ACTIVATION, TakePending, &job);
    return g_gatherCount;
}

int32_t WithList_Count() {
    return g_gatherCount;
}

// --- Compiled code ----------------------------------------------------------------------

int32_t WithIterator_Begin(WithIterator* it, CInstance** self, CInstance** other, int32_t target) {
    it->savedSelf = *self;
    it->savedOther = *other;
    it->list = nullptr;
    it->cursor = nullptr;
    auto single = [&](CInstance* newSelf, CInstance* newOther) {
        it->list = static_cast<CInstance**>(MEM_ALLOC(sizeof(CInstance*)));
        it->cursor = it->list + 1;
        *self = newSelf;
        *other = newOther;
        return 1;
    };
    switch (target) {
        case SCOPE_SELF:
        case SCOPE_BUILTIN:
            return single(it->savedSelf, it->savedSelf);
        case SCOPE_OTHER:
            return single(it->savedOther, it->savedSelf);
        case SCOPE_NOONE:
        case SCOPE_GLOBAL:
        case SCOPE_LOCAL:
            return -1;
        default:
            break;
    }
    if (target >= VARIABLE_ID_BASE) {
        CInstance* instance = Instance_Find(target);
        if (instance == nullptr || !IsLive(instance)) return 0;
        return single(instance, it->savedSelf);
    }
    int32_t n = 0;
    if (target == SCOPE_ALL)
        n = CollectRoom();
    else if (target >= 0)
        n = WithList_Fill(target, false);
    if (n == 0) {
        WithList_Reset();
        return 0;
    }
    it->list = MakeList(n);
    it->cursor = it->list + n;
    *self = g_gather[n - 1];
    *other = it->savedSelf;
    WithList_Reset();
    return n;
}

bool WithIterator_Next(WithIterator* it, CInstance** self) {
    if (it->list == nullptr || it->cursor == it->list) return false;
    --it->cursor;
    if (*it->cursor == nullptr) return false;
    *self = *it->cursor;
    return true;
}

void WithIterator_Finish(WithIterator* it, CInstance** self, CInstance** other) {
    MEM_FREE(it->list);
    it->list = it->cursor = nullptr;
    *self = it->savedSelf;
    *other = it->savedOther;
}

// --- Bytecode ---------------------------------------------------------------------------

uint8_t* VM_HandlerPushEnv(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const bool objectForm = (word & 0x00800000u) != 0;
    const int64_t taken = objectForm ? 16 : 4;
    if (!VM_HaveItems(sp, ctx, taken, "pushenv")) return sp;
    RValue object = RValue_Undefined();
    int32_t target = 0;
    if (objectForm) {
        object = VM_Load<RValue>(sp);
        if (!RValue_IsObject(object)) {
            VM_Error(ctx, "FOo");
            return sp;
        }
    } else {
        target = VM_Load<int32_t>(sp);
    }
    if (target == SCOPE_GLOBAL || target == SCOPE_LOCAL) {
        VM_Error(ctx, target == SCOPE_GLOBAL ? "Cannot use global in with statement"
                                             : "Cannot use local in with statement");
        return sp;
    }
    uint8_t* room = VM_Reserve(sp + taken, ctx, 5 * kWord);
    if (room == nullptr) return sp;
    sp = room;
    CInstance* const self = ctx->self;
    CInstance* const other = ctx->other;
    sp = PushWord(sp, AsWord(self));
    sp = PushWord(sp, AsWord(other));
    if (objectForm) {
        ctx->other = self;
        ctx->self = reinterpret_cast<CInstance*>(object.obj);
        return PushWord(sp, 0);
    }
    switch (target) {
        case SCOPE_SELF:
        case SCOPE_BUILTIN:
            ctx->other = self;
            return PushWord(sp, 0);
        case SCOPE_OTHER:
            ctx->self = other;
            ctx->other = self;
            return PushWord(sp, 0);
        case SCOPE_ALL:
            ctx->other = self;
            return PushTargets(word, sp, ctx, CollectRoom());
        default:
            break;
    }
    if (target >= 0 && target < VARIABLE_ID_BASE) {
        ctx->other = self;
        return PushTargets(word, sp, ctx, WithList_Fill(target, true));
    }
    if (target >= VARIABLE_ID_BASE) {
        CInstance* instance = Instance_Find(target);
        if (instance && IsLive(instance)) {
            ctx->self = instance;
            ctx->other = self;
            return PushWord(sp, 0);
        }
    }
    sp = PushWord(sp, 0);
    JumpTo(word, ctx);
    return sp;
}

uint8_t* VM_HandlerPopEnv(uint32_t word, uint8_t* sp, const uint8_t*, VMExecContext* ctx) {
    const bool leaving = ((word >> 16) & 0xFF) == 0xF0;
    if (!VM_HaveItems(sp, ctx, 3 * kWord, "popenv")) return sp;
    intptr_t top = WordAt(sp);
    if (top == -1) {
        if (!VM_HaveItems(sp, ctx, 5 * kWord, "popenv")) return sp;
        auto** list = reinterpret_cast<CInstance**>(WordAt(sp + 2 * kWord));
        auto** cursor = reinterpret_cast<CInstance**>(WordAt(sp + kWord));
        if (!leaving && cursor > list) {
            --cursor;
            VM_Store(sp + kWord, AsWord(cursor));
            if (*cursor != nullptr) {
                ctx->self = *cursor;
                JumpTo(word, ctx);
                return sp;
            }
        }
        MEM_FREE(list);
        sp += 3 * kWord;
    } else if (leaving) {
        // Drop words up to and including the first 0.
        while (VM_HaveItems(sp, ctx, 3 * kWord, "popenv") && WordAt(sp) != 0) sp += kWord;
        if (ctx->aborted) return sp;
        sp += kWord;
    } else {
        sp += kWord;
        if (top != 0) {
            ctx->self = reinterpret_cast<CInstance*>(top);
            JumpTo(word, ctx);
            return sp;
        }
    }
    if (!VM_HaveItems(sp, ctx, 2 * kWord, "popenv")) return sp;
    ctx->other = reinterpret_cast<CInstance*>(WordAt(sp));
    ctx->self = reinterpret_cast<CInstance*>(WordAt(sp + kWord));
    return sp + 2 * kWord;
}
