#include <gtest/gtest.h>

#include <vector>

#include "core/Code_Variable.h"
#include "core/GarbageCollector.h"
#include "core/ObjectBase.h"
#include "core/ObjectTestSupport.h"
#include "core/ValueTestSupport.h"
#include "core/VariableList.h"

namespace {

TEST(ObjectBaseTest, APooledObjectTakenWithMoreSlotsGetsALargerArray) {
    PWObjectBase* small = PWObjectBase_Alloc(2, VALUE_UNSET, true);
    RValue_CreateString(&small->slots[1], "released when pooled");
    PWObjectBase_Free(small);
    EXPECT_EQ(small->collectorSlot, -1);
    EXPECT_EQ(small->slots[1].kind, uint32_t(VALUE_UNDEFINED));

    // The pool hands back the object just freed.
    PWObjectBase* again = PWObjectBase_Alloc(6, VALUE_UNSET, true);
    ASSERT_EQ(again, small);
    EXPECT_GE(again->slotCapacity, 6);
    EXPECT_EQ(again->slotCount, 6);
    ASSERT_NE(again->slots, nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(again->slots[i].kind, uint32_t(VALUE_UNSET)) << i;
    EXPECT_GE(again->collectorSlot, 0);
    EXPECT_EQ(GCTable_Entry(again->collectorSlot), again);
    PWObjectBase_Free(again);
}

TEST(ObjectBaseTest, PropertiesOfANonExtensibleObjectStayAsTheyWere) {
    PWObjectBase* object = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    object->AddReal("kept", 1.0, 7);
    object->AddBool("[[Extensible]]", false, 0);
    EXPECT_FALSE(object->IsExtensible());
    object->AddReal("kept", 2.0, 7);
    object->AddString("added", "no", 7);
    EXPECT_EQ(object->variables->FindName("kept")->value.val, 1.0);
    EXPECT_EQ(object->variables->FindName("added"), nullptr);

    object->AddInt("[[Extensible]]", 1, 0);  // ignored as well: the object stays closed
    EXPECT_FALSE(object->IsExtensible());
    PWObjectBase_Free(object);
}

TEST(ObjectBaseTest, PropertySettersStoreKindAndAttributes) {
    PWObjectBase* object = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    PWObjectBase* target = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    Held array;
    SetElement(&array.v, 0, RValue_Real(1));
    int anchor = 0;
    object->AddObject("o", target, 1);
    object->AddInt("i", -4, 2);
    object->AddString("s", "text", 3);
    object->AddPointer("p", &anchor, 0xF);
    object->AddNull("n", 4);
    object->AddValue("a", &array.v, 5);
    struct Case {
        const char* name;
        uint32_t kind;
        uint32_t flags;
    } cases[] = {{"o", VALUE_OBJECT, 1}, {"i", VALUE_REAL, 2}, {"s", VALUE_STRING, 3},
                 {"p", VALUE_PTR, 7},    {"n", VALUE_NULL, 4}, {"a", VALUE_ARRAY, 5}};
    for (const Case& c : cases) {
        CVariableNode* node = object->variables->FindName(c.name);
        ASSERT_NE(node, nullptr) << c.name;
        EXPECT_EQ(node->value.kind, c.kind) << c.name;
        // A pointer property never owns what it points at, whatever the attributes say.
        EXPECT_EQ(node->value.flags, c.flags) << c.name;
    }
    EXPECT_EQ(object->variables->FindName("i")->value.val, -4.0);
    EXPECT_EQ(array.v.arr->refCount, 2);
    PWObjectBase_Free(object);
    EXPECT_EQ(array.v.arr->refCount, 1);
    PWObjectBase_Free(target);
}

TEST(ObjectBaseTest, NamesOfVariablesResolveToSlotsBelowTheSlotCount) {
    Code_Variable_InitTables(0, 3);
    Code_Variable_SetName("ob_first", SCOPE_SELF, 0);
    Code_Variable_SetName("ob_third", SCOPE_SELF, 2);
    PWObjectBase* object = PWObjectBase_Alloc(2, VALUE_UNSET, true);
    EXPECT_EQ(object->FindName("ob_first"), &object->slots[0]);
    RValue* beyond = object->FindName("ob_third");  // index 2 is past the two slots: a named node
    ASSERT_NE(object->variables, nullptr);
    EXPECT_EQ(&object->variables->FindName("ob_third")->value, beyond);
    EXPECT_EQ(beyond->val, 0.0);
    PWObjectBase_Free(object);
    Code_Variable_InitTables(0, 0);
}

TEST(ObjectBaseTest, TheCollectorTableGrowsByHalfWhenFull) {
    std::vector<PWObjectBase*> objects;
    // Fill whatever room the table has, then one more.
    objects.push_back(PWObjectBase_Alloc(0, VALUE_UNSET, false));
    int32_t capacity = GCTable_Capacity();
    while (GCTable_Count() < capacity) objects.push_back(PWObjectBase_Alloc(0, VALUE_UNSET, false));
    EXPECT_EQ(GCTable_Capacity(), capacity);
    objects.push_back(PWObjectBase_Alloc(0, VALUE_UNSET, false));
    EXPECT_EQ(GCTable_Capacity(), capacity * 3 / 2);
    EXPECT_EQ(GCTable_Entry(objects.back()->collectorSlot), objects.back());

    // A freed entry is the next one used.
    int32_t freed = objects[1]->collectorSlot;
    PWObjectBase_Free(objects[1]);
    objects[1] = PWObjectBase_Alloc(0, VALUE_UNSET, false);
    EXPECT_EQ(objects[1]->collectorSlot, freed);
    for (PWObjectBase* object : objects) PWObjectBase_Free(object);
}

TEST(ObjectBaseTest, DeletingAnObjectLeavesTheCollectorTable) {
    PWObjectBase* object = PWObjectBase_Alloc(1, VALUE_UNSET, false);
    int32_t slot = object->collectorSlot;
    int32_t count = GCTable_Count();
    delete object;
    EXPECT_EQ(GCTable_Entry(slot), nullptr);
    EXPECT_EQ(GCTable_Count(), count - 1);
}

}  // namespace
