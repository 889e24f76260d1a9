#include "core/Variable.h"

#include <cstring>

#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/ObjectBase.h"
#include "core/RuntimeError.h"
#include "core/ScriptObjectHooks.h"
#include "core/Value_Convert.h"
#include "core/VariableList.h"
#include "core/SerialBuffer.h"

VariableSettings g_VariableSettings;
PWObjectBase* g_GlobalObject = nullptr;
bool Variable_NotFound = false;

BuiltinVariable g_BuiltinRows[BUILTIN_VARIABLE_ROWS];
int32_t g_BuiltinRowCount = 0;

namespace {

uint8_t* g_flags = nullptr;
int32_t g_flagCount = 0;

constexpr int32_t kInitialFlagCount = 10000;
constexpr uint32_t kFlagsOfNewVariable = 7;

void MessageToConsole(const char* text) {
    ErrorConsole.Output("%s\n", text);
}
VariableMessageHook g_messageHook = MessageToConsole;

// Slot number of a script variable id; -1 (a slot no object holds) for ids below the range.
int32_t SlotOf(int32_t id) {
    return id >= VARIABLE_ID_BASE ? id - VARIABLE_ID_BASE : -1;
}

bool IsAccessor(const RValue* value) {
    return RValue_IsObject(value) && value->obj != nullptr &&
           value->obj->objectClass == OBJECT_CLASS_ACCESSOR;
}

// Writes a variable keeping its attribute flags; a variable that was unset gets the flags
// of a new one. The ownership bit always comes from the stored value, never from the old
// attributes.
void StoreKeepingFlags(RValue* variable, RValue* value, int32_t index) {
    uint32_t kept = RValue_IsUnset(variable) ? kFlagsOfNewVariable : variable->flags;
    RValue_SetIndexed(variable, value, index);
    variable->flags = (kept & ~VALUE_FLAG_OWNS_OBJECT) | (variable->flags & VALUE_FLAG_OWNS_OBJECT);
}

// --- Instance variables -----------------------------------------------------------------

bool ReadObjectVariable(PWObjectBase* object, int32_t id, int32_t index, RValue* out) {
    if (object->slotCount == 0 && object->variables != nullptr)
        return object->variables->GetValue(id, index, out);
    return RValue_GetIndexed(out, object->GetSlot(SlotOf(id)), index);
}

void WriteObjectVariable(PWObjectBase* object, int32_t id, int32_t index, RValue* value) {
    if (object->slotCount == 0 && object->variables != nullptr) {
        object->variables->SetValue(id, index, value);
        return;
    }
    RValue_SetIndexed(object->GetSlot(SlotOf(id)), value, index);
}

// --- Targets ----------------------------------------------------------------------------

bool IsLive(const CInstance* instance) {
    return !instance->destroyed && !instance->deactivated;
}

bool IsObjectIndex(int32_t target) {
    return target >= 0 && target < VARIABLE_ID_BASE;
}

// Matching of the pending lists: through the ancestry, or by the instance's own object.
enum class PendingMatch { Ancestry, OwnIndex };

bool Matches(const CInstance* instance, int32_t objectIndex, PendingMatch match) {
    if (match == PendingMatch::OwnIndex) return instance->object_index == objectIndex;
    return InstanceWorld().objectInherits(instance->object_index, objectIndex);
}

struct FirstSearch {
    int32_t objectIndex;
    PendingMatch match;
    CInstance* found = nullptr;
};

bool TakeFirstLive(CInstance* instance, void* context) {
    auto* search = static_cast<FirstSearch*>(context);
    if (!IsLive(instance)) return true;
    search->found = instance;
    return false;
}

bool TakeFirstPending(CInstance* instance, void* context) {
    auto* search = static_cast<FirstSearch*>(context);
    if (!IsLive(instance) || !Matches(instance, search->objectIndex, search->match)) return true;
    search->found = instance;
    return false;
}

CInstance* FirstActive() {
    InstanceList* list = InstanceWorld().activeList();
    for (CInstance* instance = list ? list->head : nullptr; instance; instance = instance->depthNext) {
        if (IsLive(instance)) return instance;
    }
    return nullptr;
}

CInstance* FirstOnTarget(int32_t target, PendingMatch match) {
    const InstanceWorldHooks& world = InstanceWorld();
    if (target == SCOPE_ALL) return FirstActive();
    if (target >= VARIABLE_ID_BASE) {
        CInstance* instance = Instance_Find(target);
        return instance != nullptr && !instance->destroyed ? instance : nullptr;
    }
    if (!IsObjectIndex(target)) return nullptr;
    FirstSearch search{target, match};
    world.forEachObjectInstance(target, TakeFirstLive, &search);
    if (search.found == nullptr) world.forEachPending(PENDING_OBJECT_CHANGE, TakeFirstPending, &search);
    if (search.found == nullptr) world.forEachPending(PENDING_ACTIVATION, TakeFirstPending, &search);
    return search.found;
}

// A write to every instance of a target; `write` stores into one instance.
struct WriteAll {
    int32_t objectIndex;
    PendingMatch match;
    bool (*write)(CInstance* instance, const WriteAll& job);
    int32_t id;
    int32_t index;
    RValue* value;
    bool result = false;
    int32_t written = 0;
};

bool WriteOne(CInstance* instance, WriteAll& job) {
    job.result = job.write(instance, job);
    ++job.written;
    return true;
}

bool WriteIfLive(CInstance* instance, void* context) {
    auto& job = *static_cast<WriteAll*>(context);
    return IsLive(instance) ? WriteOne(instance, job) : true;
}

bool WriteIfPendingMatch(CInstance* instance, void* context) {
    auto& job = *static_cast<WriteAll*>(context);
    if (!IsLive(instance) || !Matches(instance, job.objectIndex, job.match)) return true;
    return WriteOne(instance, job);
}

void WriteActive(WriteAll& job) {
    InstanceList* list = InstanceWorld().activeList();
    CInstance* instance = list ? list->head : nullptr;
    while (instance != nullptr) {
        // Read ahead: a setter may move the instance.
        CInstance* next = instance->depthNext;
        WriteIfLive(instance, &job);
        instance = next;
    }
}

void WriteObject(WriteAll& job, bool activationListToo) {
    const InstanceWorldHooks& world = InstanceWorld();
    world.forEachObjectInstance(job.objectIndex, WriteIfLive, &job);
    world.forEachPending(PENDING_OBJECT_CHANGE, WriteIfPendingMatch, &job);
    if (activationListToo) world.forEachPending(PENDING_ACTIVATION, WriteIfPendingMatch, &job);
}

bool WriteVariable(CInstance* instance, const WriteAll& job) {
    return Variable_SetValue(instance, job.id, job.index, job.value);
}

bool WriteSlot(CInstance* instance, const WriteAll& job) {
    RValue_SetIndexed(instance->GetSlot(job.id), job.value, job.index);
    return true;
}

// --- Scope chain ------------------------------------------------------------------------

struct ScopedFind {
    PWObjectBase* owner = nullptr;
    RValue* value = nullptr;
    CVariableNode* node = nullptr;  // when the value lives in a list
};

// The first object of the chain in which the variable is set.
ScopedFind FindScoped(int32_t id, const char* name) {
    ScopedFind found;
    for (PWObjectBase* object = ScriptObjects().scopeChainHead(); object; object = object->scopeLink) {
        if (object->slotCount > 0) {
            RValue* slot = object->PeekSlot(SlotOf(id));
            if (slot != nullptr && !RValue_IsUnset(slot)) {
                found.owner = object;
                found.value = slot;
                return found;
            }
        }
        if (object->variables != nullptr) {
            CVariableNode* node = object->variables->FindName(name);
            if (node != nullptr && !RValue_IsUnset(&node->value)) {
                found.owner = object;
                found.value = &node->value;
                found.node = node;
                return found;
            }
        }
    }
    return found;
}

}  // namespace

// --- Registry ---------------------------------------------------------------------------

int32_t Variable_BuiltIn_Add(const char* name, BuiltinVarGetter getter, BuiltinVarSetter setter) {
    if (g_BuiltinRowCount >= BUILTIN_VARIABLE_ROWS) {
        g_messageHook("INTERNAL ERROR: Adding too many variables");
        return -1;
    }
    BuiltinVariable& row = g_BuiltinRows[g_BuiltinRowCount];
    row.name = String_Duplicate(name);
    row.getter = getter;
    row.setter = setter;
    row.settable = setter != nullptr ? 1 : 0;
    row.argument = -1;
    return g_BuiltinRowCount++;
}

int32_t Variable_BuiltIn_Find(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < g_BuiltinRowCount; ++i) {
        if (g_BuiltinRows[i].name != nullptr && std::strcmp(g_BuiltinRows[i].name, name) == 0) return i;
    }
    return -1;
}

const char* Variable_BuiltIn_GetName(int32_t index) {
    if (index < 0 || index >= g_BuiltinRowCount || g_BuiltinRows[index].name == nullptr)
        return "<unknown built-in variable>";
    return g_BuiltinRows[index].name;
}

void Variable_BuiltIn_SetArgument(int32_t index, int32_t n) {
    if (index >= 0 && index < g_BuiltinRowCount && n >= 0 && n < 64)
        g_BuiltinRows[index].argument = static_cast<int8_t>(n);
}

int32_t Variable_BuiltIn_Count() {
    return g_BuiltinRowCount;
}

void Variable_BuiltIn_Free() {
    for (BuiltinVariable& row : g_BuiltinRows) {
        MEM_FREE(row.name);
        row = BuiltinVariable{};
    }
    g_BuiltinRowCount = 0;
    MEM_FREE(g_flags);
    g_flags = nullptr;
    g_flagCount = 0;
}

void Variable_SetMessageHook(VariableMessageHook hook) {
    g_messageHook = hook != nullptr ? hook : MessageToConsole;
}

// --- Flags ------------------------------------------------------------------------------

void Variable_InitFlags() {
    MEM_FREE(g_flags);
    g_flags = static_cast<uint8_t*>(MemoryManager::Alloc(kInitialFlagCount, "cARRAY_STRUCTURE", 106, true));
    g_flagCount = kInitialFlagCount;
}

uint8_t Variable_GetFlags(int32_t id) {
    int32_t n = SlotOf(id);
    return n >= 0 && n < g_flagCount ? g_flags[n] : 0;
}

int32_t Variable_FlagCount() {
    return g_flagCount;
}

// --- Access -----------------------------------------------------------------------------

bool Variable_GetValue(CInstance* instance, int32_t id, int32_t index, RValue* out) {
    if (id < VARIABLE_BUILTIN_LIMIT) {
        const BuiltinVariable* row = Variable_BuiltIn_Row(id);
        return row != nullptr && row->getter != nullptr && row->getter(instance, index, out);
    }
    if (instance == nullptr || id < VARIABLE_ID_BASE) return false;
    return ReadObjectVariable(instance, id, index, out);
}

bool Variable_SetValue(CInstance* instance, int32_t id, int32_t index, RValue* value) {
    if (id < VARIABLE_BUILTIN_LIMIT) {
        const BuiltinVariable* row = Variable_BuiltIn_Row(id);
        return row != nullptr && row->settable && row->setter(instance, index, value);
    }
    if (instance == nullptr || id < VARIABLE_ID_BASE) return false;
    WriteObjectVariable(instance, id, index, value);
    return true;
}

void Variable_MakeBuiltinFunctionObject(RValue* out, int32_t functionIndex) {
    const BuiltinFunction* row = Code_Function_Row(functionIndex);
    RValue_Release(out);
    RValue_NewObject(out);
    out->obj->AddPointer("[[Call_Cpp]]", row != nullptr ? reinterpret_cast<void*>(row->function) : nullptr,
                         0);
}

namespace {

// A built-in function of that name stands in for a variable nobody set.
bool BuiltinFunctionFallback(const char* name, RValue* out) {
    int32_t function = -1;
    if (!Code_Function_Find(name, &function) || Code_Function_Row(function) == nullptr) return false;
    Variable_MakeBuiltinFunctionObject(out, function);
    return true;
}

}  // namespace

bool Variable_GetGlobal(int32_t id, int32_t index, RValue* out) {
    PWObjectBase* global = g_GlobalObject;
    if (global == nullptr) return false;
    if (global->slotCount == 0 && global->variables != nullptr)
        return global->variables->GetValue(id, index, out);
    bool result = RValue_GetIndexed(out, global->GetSlot(SlotOf(id)), index);
    if (global->variables == nullptr || !RValue_IsUnset(out)) return result;
    const char* name = Code_Variable_GetName(nullptr, SCOPE_GLOBAL, id);
    if (CVariableNode* node = global->variables->FindName(name)) {
        RValue_Assign(out, &node->value);
        return true;
    }
    return BuiltinFunctionFallback(name, out) || result;
}

bool Variable_SetGlobal(int32_t id, int32_t index, RValue* value) {
    PWObjectBase* global = g_GlobalObject;
    if (global == nullptr) return false;
    if (global->slotCount > 0 || global->variables == nullptr) {
        StoreKeepingFlags(global->GetSlot(SlotOf(id)), value, index);
        return true;
    }
    global->variables->SetValue(id, index, value);
    return true;
}

bool Variable_GetOnTarget(int32_t target, int32_t id, int32_t index, RValue* out) {
    Variable_NotFound = false;
    CInstance* instance = FirstOnTarget(target, PendingMatch::Ancestry);
    if (instance == nullptr) {
        Variable_NotFound = true;
        return false;
    }
    return Variable_GetValue(instance, id, index, out);
}

bool Variable_SetOnTarget(int32_t target, int32_t id, int32_t index, RValue* value) {
    WriteAll job{target, PendingMatch::Ancestry, WriteVariable, id, index, value};
    if (target == SCOPE_ALL) {
        WriteActive(job);
        if (job.written == 0) Runtime_Error("Unable to find any instance for object index '%d'", target);
        return job.result;
    }
    if (target >= VARIABLE_ID_BASE) {
        CInstance* instance = Instance_Find(target);
        if (instance == nullptr || instance->destroyed) {
            Runtime_Error("Unable to find any instance for object index '%d'", target);
            return false;
        }
        return Variable_SetValue(instance, id, index, value);
    }
    if (!IsObjectIndex(target)) return false;
    WriteObject(job, true);
    if (job.written == 0) {
        if (const char* name = InstanceWorld().objectName(target))
            Runtime_Error("Unable to find any instance for object index '%d' name '%s'", target, name);
        else
            Runtime_Error("Unable to find any instance for object index '%d'", target);
    }
    return job.result;
}

bool Variable_GetSlotOnTarget(int32_t target, int32_t slot, int32_t index, RValue* out) {
    CInstance* instance = FirstOnTarget(target, PendingMatch::OwnIndex);
    if (instance == nullptr) return false;
    return RValue_GetIndexed(out, instance->GetSlot(slot), index);
}

bool Variable_SetSlotOnTarget(int32_t target, int32_t slot, int32_t index, RValue* value) {
    WriteAll job{target, PendingMatch::OwnIndex, WriteSlot, slot, index, value};
    if (target == SCOPE_ALL) {
        WriteActive(job);
    } else if (target >= VARIABLE_ID_BASE) {
        CInstance* instance = Instance_Find(target);
        if (instance != nullptr && !instance->destroyed) WriteOne(instance, job);
    } else if (IsObjectIndex(target)) {
        WriteObject(job, false);
    }
    return job.result;
}

bool Variable_GetScoped(int32_t id, int32_t index, RValue* out) {
    const char* name = Code_Variable_GetName(nullptr, SCOPE_CHAIN, id);
    ScopedFind found = FindScoped(id, name);
    if (found.value == nullptr) return BuiltinFunctionFallback(name, out);
    if (IsAccessor(found.value)) {
        RValue accessor = RValue_Undefined();
        RValue_Assign(&accessor, found.value);
        RValue_Release(out);
        ScriptObjects().callGetter(found.owner, out, &accessor);
        RValue_Release(&accessor);
        return true;
    }
    RValue_GetIndexed(out, found.value, index);
    return true;
}

bool Variable_SetScoped(int32_t id, int32_t index, RValue* value) {
    const char* name = Code_Variable_GetName(nullptr, SCOPE_CHAIN, id);
    ScopedFind found = FindScoped(id, name);
    if (found.value == nullptr) {
        PWObjectBase* head = ScriptObjects().scopeChainHead();
        if (head == nullptr) return false;
        found.owner = head;
        found.value = head->slotCount > 0 ? head->GetSlot(SlotOf(id)) : head->FindName(name);
    }
    if (IsAccessor(found.value)) {
        ScriptObjects().callSetter(found.owner, value, found.value);
        return true;
    }
    StoreKeepingFlags(found.value, value, index);
    return true;
}

bool Variable_DeleteScoped(int32_t id, int32_t) {
    ScopedFind found = FindScoped(id, Code_Variable_GetName(nullptr, SCOPE_CHAIN, id));
    if (found.value == nullptr) return true;
    if ((found.value->flags & PROPERTY_DELETABLE) == 0) return false;
    if (found.node != nullptr) {
        found.owner->variables->Remove(found.node);
    } else {
        RValue_Release(found.value);
        found.value->kind = VALUE_UNSET;
    }
    return true;
}

const char* Variable_TargetObjectName(int32_t target) {
    const char* name = nullptr;
    const InstanceWorldHooks& world = InstanceWorld();
    if (target == SCOPE_ALL) {
        if (CInstance* instance = FirstActive())
            name = world.objectName(instance->object_index);
        else
            Variable_NotFound = true;
    } else if (IsObjectIndex(target)) {
        name = world.objectName(target);
    } else if (target >= VARIABLE_ID_BASE) {
        CInstance* instance = Instance_Find(target);
        if (instance != nullptr && !instance->destroyed) name = world.objectName(instance->object_index);
    }
    return name != nullptr ? name : "<unknown_object>";
}

// --- Saved games ------------------------------------------------------------------------

namespace {

void PutInt(SerialBuffer* buffer, int32_t number) {
    RValue value = RValue_Real(number);
    buffer->PutNumber(eBuffer_S32, &value);
}

// A count the rest of the buffer could hold, each entry taking at least 4 bytes.
bool ReadCount(SerialBuffer* buffer, int32_t* count) {
    if (buffer->BytesLeft() < 4) return false;
    RValue value = RValue_Undefined();
    if (buffer->GetNumber(eBuffer_S32, &value) != 0) return false;
    *count = static_cast<int32_t>(value.val);
    return *count >= 0 && *count <= buffer->BytesLeft() / 4;
}

}  // namespace

void Variable_SaveGlobals(SerialBuffer* buffer) {
    PWObjectBase* global = g_GlobalObject;
    int32_t count = global != nullptr ? global->slotCount : 0;
    PutInt(buffer, count);
    for (int32_t i = 0; i < count; ++i) {
        RValue unset = {{0.0}, 0, global->defaultSlotKind};
        const RValue* value = global->PeekSlot(i);
        RValue_Serialise(value ? value : &unset, buffer);
    }
    PutInt(buffer, g_flagCount);
    for (int32_t i = 0; i < g_flagCount; ++i) PutInt(buffer, g_flags[i]);
}

bool Variable_LoadGlobals(SerialBuffer* buffer) {
    PWObjectBase* global = g_GlobalObject;
    int32_t current = global != nullptr ? global->slotCount : 0;
    int32_t count;
    if (!ReadCount(buffer, &count)) return false;
    if (count != current) Runtime_Error("Save game format has changed");
    for (int32_t i = 0; i < count; ++i) {
        bool read;
        if (i < current) {
            read = RValue_Deserialise(global->GetSlot(i), buffer);
        } else {
            // Globals this game does not have are read past, keeping the flags in step.
            RValue surplus = RValue_Undefined();
            read = RValue_Deserialise(&surplus, buffer);
            RValue_Release(&surplus);
        }
        if (!read) return false;
    }

    int32_t flagCount;
    if (!ReadCount(buffer, &flagCount)) return false;
    MEM_FREE(g_flags);
    g_flags = flagCount > 0 ? static_cast<uint8_t*>(MEM_ALLOC(static_cast<uint32_t>(flagCount))) : nullptr;
    g_flagCount = flagCount;
    for (int32_t i = 0; i < flagCount; ++i) {
        RValue value = RValue_Undefined();
        if (buffer->GetNumber(eBuffer_S32, &value) != 0) return false;
        g_flags[i] = value.val != 0.0 ? 1 : 0;
    }
    return true;
}
