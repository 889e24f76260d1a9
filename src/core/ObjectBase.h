// The object base: everything that carries script variables (instances, the global object,
// interpreter locals, script objects). Slots live in a fixed array or in a slot hash; named
// properties in a variable list; every object has an entry in the collector's table.
#pragma once

#include <cstdint>

#include "core/MemoryManager.h"
#include "core/Value.h"

class CVariableList;
class SlotHash;

// Classes of objects: plain ones are pooled; the others are deleted when freed.
enum ObjectClass : int32_t {
    OBJECT_CLASS_PLAIN = 0,
    OBJECT_CLASS_INSTANCE = 1,
    OBJECT_CLASS_ACCESSOR = 2,  // accessor property object of the script object runtime
};

// Attribute bits of a property's flags word.
constexpr uint32_t PROPERTY_DELETABLE = 2;

class CInstanceBase : public MemoryManaged {
public:
    virtual ~CInstanceBase() = default;
    // Address of slot n; compiled game code reaches its variables through this.
    virtual RValue* SlotRef(int32_t slot) = 0;
};

class PWObjectBase : public CInstanceBase {
public:
    // Slot count and capacity = slotCount; no slot array and no slot hash yet; a variable
    // list in object mode.
    PWObjectBase(int32_t slotCount, uint32_t defaultKind);
    ~PWObjectBase() override;
    PWObjectBase(const PWObjectBase&) = delete;
    PWObjectBase& operator=(const PWObjectBase&) = delete;

    RValue* SlotRef(int32_t slot) override { return GetSlot(slot); }
    // In the fixed array when there is one, else in the slot hash, where a missing slot is
    // made with the default kind. A slot number the object cannot hold (negative, or past the
    // slot count of a fixed array) gives a scratch value that reads unset and keeps nothing.
    RValue* GetSlot(int32_t slot);
    // The slot when it already exists, else null; makes nothing.
    RValue* PeekSlot(int32_t slot) const;

    // Address of a named variable: its slot when the name is one of this object's variable
    // names below the slot count, else the variable-list node of the name (made, real 0.0,
    // when absent).
    RValue* FindName(const char* name);
    bool IsExtensible();

    // Property setters; each ignores a non-extensible object, and stores the value with its
    // flags word = the attribute flags.
    void AddObject(const char* name, PWObjectBase* object, uint32_t flags);
    void AddBool(const char* name, bool value, uint32_t flags);
    void AddInt(const char* name, int32_t value, uint32_t flags);
    void AddReal(const char* name, double value, uint32_t flags);
    void AddString(const char* name, const char* text, uint32_t flags);
    void AddPointer(const char* name, void* pointer, uint32_t flags);
    void AddNull(const char* name, uint32_t flags);
    void AddValue(const char* name, const RValue* value, uint32_t flags);

    // Releases every slot value (fixed array and slot hash); the array stays, the hash goes.
    void ReleaseSlots();
    // Makes the slot hash (8 cells) when the object has none.
    SlotHash* EnsureSlotHash();

    RValue* slots = nullptr;  // fixed array of slotCapacity values, or null
    PWObjectBase* freeLink = nullptr;
    PWObjectBase* scopeLink = nullptr;
    int32_t slotCount;
    int32_t slotCapacity;
    CVariableList* variables = nullptr;
    int64_t visitStamp = 0;  // the text form's cycle guard
    int64_t markStamp = 0;   // the last collection that marked the object
    int32_t collectorSlot = -1;
    int32_t objectClass = OBJECT_CLASS_PLAIN;
    uint32_t defaultSlotKind;
    SlotHash* slotHash = nullptr;

private:
    RValue* SetProperty(const char* name, uint32_t flags);
};

// A pooled object (or a new one) with count slots, registered with the collector. With
// wantArray the slots are a fixed array of count values (their kind words set unless the
// kind is undefined).
PWObjectBase* PWObjectBase_Alloc(int32_t slotCount, uint32_t defaultKind, bool wantArray);
// Unregisters the object, then deletes it (non-plain classes) or releases what it holds and
// pools it.
void PWObjectBase_Free(PWObjectBase* object);
// Deletes every pooled object (at restart).
void PWObjectBase_ReleasePool();
int32_t PWObjectBase_PoolCount();

// Makes the value an object value (kind 6) holding a new empty object.
void RValue_NewObject(RValue* value);
