// The object model and the property operations: prototype chains, hooks, accessors, the
// default define, delete and [[CanPut]], and descriptor objects.
#include <cstring>

#include "ScriptTestSupport.h"
#include "core/VariableList.h"
#include "script/JS_Convert.h"
#include "script/JS_Property.h"

namespace {

using script_test::Errors;
using script_test::ScriptTest;

class ObjectModelTest : public ScriptTest {};

PWObjectBase* g_hookSaw = nullptr;
void RecordingHook(PWObjectBase* object, RValue* result, const char* name) {
    g_hookSaw = object;
    *result = std::strcmp(name, "answer") == 0 ? RValue_Real(42) : RValue{{0}, 0, VALUE_UNSET};
}

PWObjectBase* g_thisSeen = nullptr;
void GetterReturnsThisPx(RValue& result, CInstance* self, CInstance*, int32_t, RValue*) {
    g_thisSeen = reinterpret_cast<PWObjectBase*>(self);
    RValue value;
    JS_GetOwnProperty(g_thisSeen, &value, "px");
    result = RValue_IsUnset(value) ? RValue_Real(-1) : value;
}
double g_setterArg = 0;
void SetterRecords(RValue&, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    g_thisSeen = reinterpret_cast<PWObjectBase*>(self);
    g_setterArg = argc == 1 ? args[0].val : -1;
}

TEST_F(ObjectModelTest, PrototypeChainReadsNearestOwnerAndStopsAtUndefined) {
    PWObjectBase* base = NewObject();
    PWObjectBase* derived = NewObject();
    derived->AddObject(JS_PROTOTYPE, base, 0);
    base->AddReal("shared", 1, 7);
    base->AddReal("shadowed", 2, 7);
    const RValue undefined = RValue_Undefined();
    derived->AddValue("shadowed", &undefined, 7);

    RValue r;
    JS_GetProperty(derived, &r, "shared");
    EXPECT_EQ(r.val, 1);
    JS_GetProperty(derived, &r, "shadowed");  // an undefined found on the way is the answer
    EXPECT_EQ(RValue_Kind(r), VALUE_UNDEFINED);
    JS_GetProperty(derived, &r, "missing");
    EXPECT_TRUE(RValue_IsUnset(r));

    derived->AddNull(JS_PROTOTYPE, 0);  // a null prototype: own properties only
    JS_GetProperty(derived, &r, "shared");
    EXPECT_TRUE(RValue_IsUnset(r));
}

TEST_F(ObjectModelTest, HookOnPrototypeServesDerivedObjectWithItself) {
    PWObjectBase* base = NewObject();
    base->AddPointer(JS_GET_OWN_PROPERTY, reinterpret_cast<void*>(RecordingHook), 0);
    PWObjectBase* derived = NewObject();
    derived->AddObject(JS_PROTOTYPE, base, 0);
    derived->variables->Remove(derived->variables->FindName(JS_GET_OWN_PROPERTY));

    RValue r;
    JS_GetOwnProperty(derived, &r, "answer");
    EXPECT_EQ(g_hookSaw, derived);
    EXPECT_EQ(r.val, 42);

    // A null hook reports nothing and leaves the result as it was.
    derived->AddPointer(JS_GET_OWN_PROPERTY, nullptr, 0);
    r = RValue_Real(7);
    JS_GetOwnProperty(derived, &r, "answer");
    EXPECT_EQ(r.val, 7);
}

TEST_F(ObjectModelTest, ReservedSlotsAndInstanceVariableNamesLiveInSlots) {
    PWObjectBase* o = NewObject();
    RValue v = Data(5, 7);
    EXPECT_EQ(JS_DefaultDefineOwnProperty(o, "px", &v, false), 1);
    EXPECT_EQ(o->PeekSlot(2)->val, 5);
    EXPECT_EQ(o->variables->FindName("px"), nullptr);
    RValue proto = Object(NewObject(), 6);
    JS_DefaultDefineOwnProperty(o, "prototype", &proto, false);
    EXPECT_EQ(o->PeekSlot(JS_SLOT_PROTOTYPE)->obj, proto.obj);
}

TEST_F(ObjectModelTest, GetRunsInheritedGetterWithTheObjectReadAsThis) {
    PWObjectBase* proto = NewObject();
    RValue accessor = Accessor(NewFunction(GetterReturnsThisPx), nullptr, 3);
    ASSERT_EQ(JS_DefaultDefineOwnProperty(proto, "value", &accessor, false), 1);
    PWObjectBase* o = NewObject();
    o->AddObject(JS_PROTOTYPE, proto, 0);
    RValue px = Data(9, 7);
    JS_DefaultDefineOwnProperty(o, "px", &px, false);

    RValue r;
    JS_Get(o, &r, "value");
    EXPECT_EQ(g_thisSeen, o);
    EXPECT_EQ(r.val, 9);

    // An accessor without a getter reads undefined.
    RValue setterOnly = Accessor(nullptr, NewFunction(SetterRecords), 3);
    JS_DefaultDefineOwnProperty(o, "w", &setterOnly, false);
    JS_Get(o, &r, "w");
    EXPECT_EQ(RValue_Kind(r), VALUE_UNDEFINED);
    RValue five = RValue_Real(5);
    JS_CallSetter(o, &five, &setterOnly);
    EXPECT_EQ(g_thisSeen, o);
    EXPECT_EQ(g_setterArg, 5);
}

TEST_F(ObjectModelTest, IsCallableByKind) {
    RValue f = Object(NewFunction(GetterReturnsThisPx));
    RValue plain = Object(NewObject());
    EXPECT_TRUE(JS_IsCallable(&f));
    EXPECT_FALSE(JS_IsCallable(&plain));
    RValue text = String("x");
    EXPECT_FALSE(JS_IsCallable(&text));
    EXPECT_TRUE(Errors().empty());
    RValue pointer = RValue_Undefined();
    pointer.kind = VALUE_PTR;
    EXPECT_FALSE(JS_IsCallable(&pointer));
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0], "unhandled type for JS_IsCallable");
}

TEST_F(ObjectModelTest, BuiltinGlobalNames) {
    EXPECT_TRUE(JS_IsBuiltinGlobalName("room_speed"));
    EXPECT_TRUE(JS_IsBuiltinGlobalName("score"));
    EXPECT_TRUE(JS_IsBuiltinGlobalName("argument15"));
    EXPECT_FALSE(JS_IsBuiltinGlobalName("x"));
    EXPECT_FALSE(JS_IsBuiltinGlobalName("speed"));
    EXPECT_FALSE(JS_IsBuiltinGlobalName("Score"));
}

// --- The default define -----------------------------------------------------------------

// Current property, descriptor and throw flag against the answer and what is stored after.
struct DefineCase {
    const char* what;
    int current;  // 0 missing, 1 holds undefined, 2 data, 3 accessor
    uint32_t currentFlags;
    bool descriptorAccessor;
    double descriptorValue;
    uint32_t descriptorFlags;
    bool throwFlag;
    int32_t answer;
    bool stored;
};

const DefineCase kDefineGrid[] = {
    {"new property", 0, 0, false, 1, 7, false, 1, true},
    {"property holding undefined replaced whatever its flags", 1, 0, false, 1, 0, false, 1, true},
    {"same value and flags: no-op", 2, 7, false, 5, 7, false, 1, false},
    {"configurable data: new value and flags", 2, 7, false, 6, 1, false, 1, true},
    {"non-configurable made configurable", 2, 4, false, 6, 6, false, 0, false},
    {"non-configurable made configurable, throw", 2, 4, false, 6, 6, true, 2, false},
    {"non-configurable made enumerable", 2, 4, false, 6, 5, true, 2, false},
    {"non-configurable writable: new value", 2, 4, false, 6, 4, false, 1, true},
    {"non-configurable writable made read-only", 2, 4, false, 5, 0, false, 1, true},
    {"read-only made writable", 2, 0, false, 5, 4, true, 2, false},
    {"read-only: other value", 2, 0, false, 6, 0, false, 0, false},
    {"read-only: same value", 2, 0, false, 5, 0, false, 1, false},
    {"configurable data to accessor", 2, 2, true, 0, 2, false, 1, true},
    {"non-configurable data to accessor", 2, 0, true, 0, 0, true, 2, false},
    {"configurable accessor to data", 3, 3, false, 8, 7, false, 1, true},
    {"non-configurable accessor to data", 3, 1, false, 8, 1, false, 0, false},
    {"configurable accessor to another accessor", 3, 2, true, 0, 2, false, 1, true},
    {"non-configurable accessor to another accessor", 3, 0, true, 0, 0, true, 2, false},
};

TEST_F(ObjectModelTest, DefineGrid) {
    PWObjectBase* getter = NewFunction(GetterReturnsThisPx);
    for (const DefineCase& c : kDefineGrid) {
        SCOPED_TRACE(c.what);
        PWObjectBase* o = NewObject();
        RValue current = c.current == 1 ? RValue_Undefined() : Data(5, 0);
        if (c.current == 3) current = Accessor(getter, nullptr, 0);
        current.flags = c.currentFlags;
        if (c.current != 0) o->AddValue("p", &current, c.currentFlags);

        RValue descriptor = c.descriptorAccessor ? Accessor(NewFunction(SetterRecords), nullptr, 0)
                                                 : RValue_Real(c.descriptorValue);
        descriptor.flags = c.descriptorFlags;
        EXPECT_EQ(JS_DefaultDefineOwnProperty(o, "p", &descriptor, c.throwFlag), c.answer);
        CVariableNode* node = o->variables->FindName("p");
        ASSERT_NE(node, nullptr);
        const bool nowDescriptor =
            node->value.flags == descriptor.flags &&
            (c.descriptorAccessor ? node->value.obj == descriptor.obj
                                  : RValue_IsReal(node->value) && node->value.val == c.descriptorValue);
        if (c.stored) {
            EXPECT_TRUE(nowDescriptor);
        } else if (c.current != 0) {
            EXPECT_EQ(node->value.flags, c.currentFlags);
        }
    }
    EXPECT_TRUE(Errors().empty()) << Errors()[0];
}

TEST_F(ObjectModelTest, DefineRespectsExtensibility) {
    PWObjectBase* o = NewObject();
    o->AddReal("p", 1, 7);
    o->AddReal(JS_EXTENSIBLE, 0, 0);
    RValue d = Data(2, 7);
    EXPECT_EQ(JS_DefaultDefineOwnProperty(o, "q", &d, false), 0);
    EXPECT_EQ(JS_DefaultDefineOwnProperty(o, "q", &d, true), 2);
    EXPECT_EQ(o->variables->FindName("q"), nullptr);
    // An existing property still changes on an object that takes no new ones.
    EXPECT_EQ(JS_DefaultDefineOwnProperty(o, "p", &d, false), 1);
    EXPECT_EQ(o->variables->FindName("p")->value.val, 2);

    // No "[[Extensible]]" at all: the define adds nothing, though IsExtensible says yes.
    PWObjectBase* bare = JS_NewBareObject();
    EXPECT_EQ(JS_DefaultDefineOwnProperty(bare, "q", &d, false), 0);
    EXPECT_TRUE(bare->IsExtensible());
    // An object without hooks is read as it is stored: its read-only property stays.
    bare->AddReal("fixed", 1, 0);
    EXPECT_EQ(JS_DefaultDefineOwnProperty(bare, "fixed", &d, false), 0);
    EXPECT_EQ(bare->variables->FindName("fixed")->value.val, 1);
}

TEST_F(ObjectModelTest, BoolValuesNeverCompareEqualForDefine) {
    RValue a = RValue_Bool(1), b = RValue_Bool(1);
    EXPECT_FALSE(JS_DescriptorValueEquals(&a, &b));
    PWObjectBase* o = NewObject();
    o->AddValue("flag", &a, 0);  // read-only, non-configurable
    b.flags = 0;
    EXPECT_EQ(JS_DefaultDefineOwnProperty(o, "flag", &b, false), 0);
    RValue nan1 = RValue_Real(JS_NaN()), nan2 = RValue_Real(JS_NaN());
    EXPECT_FALSE(JS_DescriptorValueEquals(&nan1, &nan2));
    RValue s1 = String("abc"), s2 = String("abc");
    EXPECT_TRUE(JS_DescriptorValueEquals(&s1, &s2));
}

// --- Delete and CanPut ------------------------------------------------------------------

TEST_F(ObjectModelTest, DeleteNamedSlotsAndElements) {
    PWObjectBase* o = NewObject();
    o->AddReal("gone", 1, 2);
    o->AddReal("fixed", 1, 0);
    RValue px = Data(3, 2);
    JS_DefaultDefineOwnProperty(o, "px", &px, false);
    RValue r;
    JS_DefaultDelete(o, &r, "gone", false);
    EXPECT_EQ(RValue_Kind(r), VALUE_BOOL);
    EXPECT_EQ(r.val, 1);
    EXPECT_EQ(o->variables->FindName("gone"), nullptr);
    JS_DefaultDelete(o, &r, "px", false);
    EXPECT_EQ(r.val, 1);
    EXPECT_TRUE(RValue_IsUnset(o->PeekSlot(2)));
    JS_DefaultDelete(o, &r, "never", false);
    EXPECT_EQ(r.val, 1);
    JS_DefaultDelete(o, &r, "fixed", false);
    EXPECT_EQ(r.val, 0);
    EXPECT_TRUE(Errors().empty());
    JS_DefaultDelete(o, &r, "fixed", true);
    EXPECT_EQ(r.val, 0);
    ASSERT_EQ(Errors().size(), 1u);  // thrown, and uncaught here
    const RValue* thrown = JS_PendingValue();
    ASSERT_TRUE(RValue_IsObject(thrown));
    EXPECT_STREQ(RValue_GetStringText(JS_FindOwnValue(thrown->obj, "message")),
                 "Trying to delete a non-configurable variable in a strict mode script.");
    JS_ResetExceptions();
    EXPECT_NE(o->variables->FindName("fixed"), nullptr);

    // An Array of length 2: '1' becomes undefined, '3' is refused, the count stays.
    PWObjectBase* array = NewObject();
    array->AddString(JS_CLASS, "Array", 0);
    PWObjectBase* store = PWObjectBase_Alloc(2, VALUE_UNDEFINED, false);
    *store->GetSlot(0) = RValue_Real(10);
    *store->GetSlot(1) = RValue_Real(11);
    *array->GetSlot(JS_SLOT_ELEMENTS) = Object(store);
    JS_DefaultDelete(array, &r, "3", false);
    EXPECT_EQ(r.val, 0);
    JS_DefaultDelete(array, &r, "1", false);
    EXPECT_EQ(r.val, 1);
    EXPECT_EQ(RValue_Kind(store->PeekSlot(1)), VALUE_UNDEFINED);
    EXPECT_EQ(store->slotCount, 2);
}

TEST_F(ObjectModelTest, CanPut) {
    PWObjectBase* proto = NewObject();
    proto->AddReal("ro", 1, 0);
    proto->AddReal("rw", 1, 4);
    RValue withSetter = Accessor(nullptr, NewFunction(SetterRecords), 2);
    JS_DefaultDefineOwnProperty(proto, "inheritedAccessor", &withSetter, false);
    PWObjectBase* o = NewObject();
    o->AddObject(JS_PROTOTYPE, proto, 0);
    o->AddReal("own", 1, 4);
    o->AddReal("ownRo", 1, 1);
    RValue getterOnly = Accessor(NewFunction(GetterReturnsThisPx), nullptr, 2);
    RValue setterOnly = Accessor(nullptr, NewFunction(SetterRecords), 2);
    JS_DefaultDefineOwnProperty(o, "getOnly", &getterOnly, false);
    JS_DefaultDefineOwnProperty(o, "setOnly", &setterOnly, false);

    EXPECT_FALSE(JS_CanPut(o, "ro"));
    EXPECT_TRUE(JS_CanPut(o, "rw"));
    EXPECT_TRUE(JS_CanPut(o, "own"));
    EXPECT_FALSE(JS_CanPut(o, "ownRo"));
    EXPECT_FALSE(JS_CanPut(o, "getOnly"));
    EXPECT_TRUE(JS_CanPut(o, "setOnly"));
    EXPECT_TRUE(JS_CanPut(o, "inheritedAccessor"));  // the object's extensibility
    EXPECT_TRUE(JS_CanPut(o, "fresh"));
    o->AddReal(JS_EXTENSIBLE, 0, 0);
    EXPECT_FALSE(JS_CanPut(o, "fresh"));
    EXPECT_FALSE(JS_CanPut(o, "inheritedAccessor"));
}

// --- Descriptor objects -----------------------------------------------------------------

TEST_F(ObjectModelTest, ToPropertyDescriptor) {
    PWObjectBase* getter = NewFunction(GetterReturnsThisPx);
    auto describe = [](PWObjectBase* o, RValue* out) {
        RValue v = Object(o);
        return JS_ToPropertyDescriptor(out, &v);
    };
    RValue d;
    PWObjectBase* data = NewObject();
    data->AddReal("value", 3, 7);
    data->AddBool("writable", true, 7);
    data->AddReal("enumerable", 1, 7);
    ASSERT_EQ(describe(data, &d), JS_DONE);
    EXPECT_EQ(d.val, 3);
    EXPECT_EQ(d.flags, JS_WRITABLE | JS_ENUMERABLE);

    PWObjectBase* both = NewObject();
    both->AddReal("value", 3, 7);
    both->AddObject("get", getter, 7);
    EXPECT_EQ(describe(both, &d), JS_FAILED);

    PWObjectBase* badGetter = NewObject();
    badGetter->AddReal("get", 5, 7);
    EXPECT_EQ(describe(badGetter, &d), JS_FAILED);

    PWObjectBase* undefinedGetter = NewObject();
    RValue undef = RValue_Undefined();
    undefinedGetter->AddValue("get", &undef, 7);
    undefinedGetter->AddBool("configurable", true, 7);
    ASSERT_EQ(describe(undefinedGetter, &d), JS_DONE);
    ASSERT_TRUE(JS_IsAccessor(&d));
    EXPECT_TRUE(RValue_IsUnset(d.obj->PeekSlot(0)));
    EXPECT_EQ(d.flags, JS_CONFIGURABLE);

    RValue text = String("x");
    EXPECT_EQ(JS_ToPropertyDescriptor(&d, &text), JS_FAILED);
}

TEST_F(ObjectModelTest, FromPropertyDescriptorRoundTrips) {
    PWObjectBase* getter = NewFunction(GetterReturnsThisPx);
    RValue accessor = Accessor(getter, nullptr, JS_ENUMERABLE);
    RValue object;
    JS_FromPropertyDescriptor(&object, &accessor);
    RValue field;
    JS_GetProperty(object.obj, &field, "get");
    EXPECT_EQ(field.obj, getter);
    JS_GetProperty(object.obj, &field, "set");
    EXPECT_EQ(RValue_Kind(field), VALUE_UNDEFINED);
    JS_GetProperty(object.obj, &field, "enumerable");
    EXPECT_EQ(RValue_Kind(field), VALUE_BOOL);
    EXPECT_EQ(field.val, 1);

    RValue back;
    ASSERT_EQ(JS_ToPropertyDescriptor(&back, &object), JS_DONE);
    EXPECT_TRUE(JS_IsAccessor(&back));
    EXPECT_EQ(back.obj->PeekSlot(0)->obj, getter);
    EXPECT_EQ(back.flags, JS_ENUMERABLE);

    RValue data = Data(4, JS_WRITABLE | JS_CONFIGURABLE);
    JS_FromPropertyDescriptor(&object, &data);
    ASSERT_EQ(JS_ToPropertyDescriptor(&back, &object), JS_DONE);
    EXPECT_EQ(back.val, 4);
    EXPECT_EQ(back.flags, JS_WRITABLE | JS_CONFIGURABLE);

    RValue none = RValue_Undefined();
    JS_FromPropertyDescriptor(&object, &none);
    EXPECT_EQ(RValue_Kind(object), VALUE_UNDEFINED);
}

}  // namespace
