// Construction and instance tests, Arguments objects and element reads, property writes,
// property iteration order, the literal and operator built-ins, and error objects.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "core/VariableList.h"
#include "script/JS_Element.h"
#include "script/JS_Exception.h"
#include "script/JS_Property.h"
#include "script/JS_PropertyIterator.h"
#include "script/JS_VMHelpers.h"

namespace {

using script_test::Errors;
using script_test::ScriptTest;

class ObjectOperationsTest : public ScriptTest {
protected:
    void TearDown() override {
        JS_ResetExceptions();
        ScriptTest::TearDown();
    }
    static std::string ThrownMessage() {
        const RValue* thrown = JS_PendingValue();
        if (!RValue_IsObject(thrown)) return "<none>";
        const RValue* message = JS_FindOwnValue(thrown->obj, "message");
        return message ? RValue_GetStringText(message) : "<no message>";
    }
    static double Real(PWObjectBase* o, const char* name) {
        RValue v;
        JS_Get(o, &v, name);
        return RValue_IsReal(v) ? v.val : -999;
    }
    // All names the iterator gives, in order.
    static std::vector<std::string> Names(JS_PropertyIterator& it) {
        std::vector<std::string> names;
        RValue name = RValue_Undefined();
        while (it.Next(&name)) {
            names.push_back(RValue_GetStringText(&name));
            RValue_Release(&name);
        }
        return names;
    }
};

RValue NullValue() {
    RValue v = RValue_Undefined();
    v.kind = VALUE_NULL;
    return v;
}

// The bucket of a name, worked out here on its own: CRC-32 (reflected 0xEDB88320, start all
// ones, no final inversion), low six bits.
int32_t Bucket(const char* name) {
    uint32_t c = 0xFFFFFFFFu;
    for (const char* p = name; *p; ++p) {
        c ^= static_cast<uint8_t>(*p);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0);
    }
    return static_cast<int32_t>(c & 63);
}

PWObjectBase* g_setterThis = nullptr;
double g_setterValue = 0;
void RecordingSetter(RValue&, CInstance* self, CInstance*, int32_t argc, RValue* args) {
    g_setterThis = reinterpret_cast<PWObjectBase*>(self);
    g_setterValue = argc > 0 ? args[0].val : -1;
}

// --- Construction and instances ---

TEST_F(ObjectOperationsTest, ConstructTakesThePrototypeFromSlotZeroOrNull) {
    PWObjectBase* constructor = NewObject();
    PWObjectBase* proto = NewObject();
    *constructor->GetSlot(JS_SLOT_PROTOTYPE) = Object(proto, 6);
    RValue made = RValue_Undefined();
    JS_ScriptConstruct(made, reinterpret_cast<CInstance*>(constructor), nullptr, 0, nullptr);
    ASSERT_TRUE(RValue_IsObject(made));
    EXPECT_EQ(JS_PrototypeOf(made.obj), proto);

    *constructor->GetSlot(JS_SLOT_PROTOTYPE) = RValue_Real(5);  // F.prototype = 5
    JS_ScriptConstruct(made, reinterpret_cast<CInstance*>(constructor), nullptr, 0, nullptr);
    EXPECT_EQ(RValue_Kind(JS_FindOwnValue(made.obj, JS_PROTOTYPE)), VALUE_NULL);
}

TEST_F(ObjectOperationsTest, HasInstanceWalksTheChain) {
    PWObjectBase* f = NewObject();
    PWObjectBase* proto = NewObject();
    *f->GetSlot(JS_SLOT_PROTOTYPE) = Object(proto, 6);
    PWObjectBase* middle = NewObject();
    middle->AddObject(JS_PROTOTYPE, proto, 0);
    PWObjectBase* instance = NewObject();
    instance->AddObject(JS_PROTOTYPE, middle, 0);
    RValue v = Object(instance), number = RValue_Real(1), unrelated = Object(NewObject());
    EXPECT_EQ(JS_HasInstance(f, &v), 1);
    EXPECT_EQ(JS_HasInstance(f, &unrelated), 0);
    EXPECT_EQ(JS_HasInstance(f, &number), 0);
    *f->GetSlot(JS_SLOT_PROTOTYPE) = RValue_Real(3);
    EXPECT_EQ(JS_HasInstance(f, &v), 2);
    EXPECT_EQ(JS_HasInstance(f, &number), 0);  // a non-object value answers first
}

// --- Arguments objects and elements ---

TEST_F(ObjectOperationsTest, ArgumentsReadByIndexNameAndFallThroughPastTheCount) {
    PWObjectBase* callee = NewFunction([](RValue&, CInstance*, CInstance*, int32_t, RValue*) {});
    callee->AddReal("length", 3, 0);
    RValue args[2] = {RValue_Real(10), String("two")};
    RValue arguments = RValue_Undefined();
    JS_CreateArgumentsObject(&arguments, callee, 2, args, false);
    PWObjectBase* a = arguments.obj;
    EXPECT_EQ(Real(a, "length"), 2);
    EXPECT_EQ(JS_ElementStore(a)->slotCount, 3);
    RValue v;
    JS_Get(a, &v, "1");
    EXPECT_STREQ(RValue_GetStringText(&v), "two");
    RValue_Release(&v);
    EXPECT_EQ(Real(a, ""), 10);  // the empty name is index 0
    JS_Get(a, &v, "2");          // declared but not passed
    EXPECT_EQ(RValue_Kind(v), VALUE_UNDEFINED);
    JS_Get(a, &v, "5");
    EXPECT_TRUE(RValue_IsUnset(v));
    JS_Get(a, &v, "callee");
    EXPECT_EQ(v.obj, callee);

    // Writing an existing element goes to the store; past the count it makes a named property.
    RValue seven = RValue_Real(7), five = RValue_Real(5);
    JS_Put(a, &seven, "0", false);
    EXPECT_EQ(JS_ElementStore(a)->GetSlot(0)->val, 7);
    JS_Put(a, &five, "5", false);
    EXPECT_EQ(Real(a, "5"), 5);
    EXPECT_NE(a->variables->FindName("5"), nullptr);
    EXPECT_EQ(Real(a, "length"), 2);
    RValue_Release(&args[1]);
}

TEST_F(ObjectOperationsTest, GetElementOfArraysByIndexAndOfObjectsByKey) {
    RValue items[3] = {RValue_Real(0), RValue_Real(10), RValue_Real(20)};
    RValue array = RValue_Undefined();
    F_JS_NewArray(array, nullptr, nullptr, 3, items);
    struct Case {
        RValue key;
        double expected;  // NaN: undefined
    };
    const Case cases[] = {{RValue_Real(-1), NAN},
                          {RValue_Real(3), NAN},
                          {RValue_Real(1.9), 10},
                          {RValue_Int32(2), 20},
                          {RValue_Real(0), 0}};
    for (const Case& c : cases) {
        RValue r = RValue_Real(-5);
        EXPECT_TRUE(JS_GetElement(&array, &c.key, &r));
        if (std::isnan(c.expected))
            EXPECT_EQ(RValue_Kind(r), VALUE_UNDEFINED) << &c - cases;
        else
            EXPECT_EQ(r.val, c.expected) << &c - cases;
    }
    // Another object: the key value itself in the named list.
    PWObjectBase* o = NewObject();
    RValue key = String("k"), missing = String("z");
    o->AddReal("k", 4, 7);
    RValue holder = Object(o), r = RValue_Undefined();
    EXPECT_TRUE(JS_GetElement(&holder, &key, &r));
    EXPECT_EQ(r.val, 4);
    EXPECT_FALSE(JS_GetElement(&holder, &missing, &r));
    const RValue number = RValue_Real(1);
    EXPECT_FALSE(JS_GetElement(&number, &key, &r));
    RValue_Release(&key);
    RValue_Release(&missing);
}

// --- Property write ---

TEST_F(ObjectOperationsTest, PutRunsAnInheritedSetterOnTheObject) {
    PWObjectBase* proto = NewObject();
    const RValue setter = Accessor(nullptr, NewFunction(RecordingSetter), 3);
    proto->AddValue("p", &setter, 3);
    PWObjectBase* o = NewObject();
    o->AddObject(JS_PROTOTYPE, proto, 0);
    RValue nine = RValue_Real(9);
    JS_Put(o, &nine, "p", true);
    EXPECT_EQ(g_setterThis, o);
    EXPECT_EQ(g_setterValue, 9);
    EXPECT_EQ(o->variables->FindName("p"), nullptr);
}

TEST_F(ObjectOperationsTest, PutOnAnInheritedReadOnlyPropertyRefusesAndThrowsOnlyWhenAsked) {
    PWObjectBase* proto = NewObject();
    proto->AddReal("r", 1, JS_ENUMERABLE);
    PWObjectBase* o = NewObject();
    o->AddObject(JS_PROTOTYPE, proto, 0);
    RValue two = RValue_Real(2);
    JS_Put(o, &two, "r", false);
    EXPECT_EQ(o->variables->FindName("r"), nullptr);
    EXPECT_TRUE(Errors().empty());
    JS_Put(o, &two, "r", true);
    EXPECT_EQ(o->variables->FindName("r"), nullptr);
    EXPECT_EQ(ThrownMessage(), "NoMessage");
}

TEST_F(ObjectOperationsTest, PutKeepsAttributesOfAValueButResetsThoseOfAnUndefined) {
    PWObjectBase* o = NewObject();
    const RValue undefined = RValue_Undefined();
    o->AddValue("u", &undefined, JS_WRITABLE | JS_CONFIGURABLE);
    o->AddReal("d", 1, JS_WRITABLE | JS_CONFIGURABLE);
    RValue five = RValue_Real(5);
    JS_Put(o, &five, "u", false);
    JS_Put(o, &five, "d", false);
    EXPECT_EQ(JS_FindOwnValue(o, "u")->flags & JS_ATTRIBUTES, JS_ATTRIBUTES);
    EXPECT_EQ(JS_FindOwnValue(o, "d")->flags & JS_ATTRIBUTES, JS_WRITABLE | JS_CONFIGURABLE);
    EXPECT_EQ(Real(o, "u"), 5);
    EXPECT_EQ(Real(o, "d"), 5);
}

// --- Iteration ---

TEST_F(ObjectOperationsTest, ForInVisitsNamesInBucketOrder) {
    RValue pairs[4] = {String("b"), RValue_Real(1), String("a"), RValue_Real(2)};
    RValue object = RValue_Undefined();
    F_JS_NewObjectLiteral(object, nullptr, nullptr, 4, pairs);
    RValue iterator = RValue_Undefined();
    F_JS_ForInIterator(iterator, nullptr, nullptr, 1, &object);
    ASSERT_EQ(RValue_Kind(iterator), VALUE_ITERATOR);
    std::vector<std::string> seen;
    for (;;) {
        RValue name = RValue_Undefined();
        F_JS_ForInIteratorGetNext(name, nullptr, nullptr, 1, &iterator);
        if (RValue_Kind(name) == VALUE_UNDEFINED) break;
        seen.push_back(RValue_GetStringText(&name));
        RValue_Release(&name);
    }
    RValue ignored = RValue_Undefined();
    F_JS_ForInIteratorDelete(ignored, nullptr, nullptr, 1, &iterator);
    const std::vector<std::string> expected =
        Bucket("a") <= Bucket("b") ? std::vector<std::string>{"a", "b"} : std::vector<std::string>{"b", "a"};
    EXPECT_NE(Bucket("a"), Bucket("b"));
    EXPECT_EQ(seen, expected);
    RValue_Release(&pairs[0]);
    RValue_Release(&pairs[2]);
}

TEST_F(ObjectOperationsTest, ForInOverNullOrUndefinedRunsNoIteration) {
    for (RValue v : {NullValue(), RValue_Undefined()}) {
        RValue it = RValue_Real(1);
        F_JS_ForInIterator(it, nullptr, nullptr, 1, &v);
        EXPECT_EQ(RValue_Kind(it), VALUE_UNDEFINED);
        RValue name = RValue_Real(1);
        F_JS_ForInIteratorGetNext(name, nullptr, nullptr, 1, &it);
        EXPECT_EQ(RValue_Kind(name), VALUE_UNDEFINED);
    }
    RValue number = RValue_Real(3), name = RValue_Undefined();
    F_JS_ForInIteratorGetNext(name, nullptr, nullptr, 1, &number);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0],
              "For-in loop stack inbalance - expecting the iterator to be on top of the stack at this point");
}

TEST_F(ObjectOperationsTest, ChainWalkKeepsOnlyPrototypeNamesTheObjectSeesTheSame) {
    PWObjectBase* proto = NewObject();
    proto->AddReal("same", 1, 7);
    proto->AddReal("differs", 1, 7);
    proto->AddReal("inherited", 1, 7);
    PWObjectBase* o = NewObject();
    o->AddObject(JS_PROTOTYPE, proto, 0);
    o->AddReal("same", 1, 7);
    o->AddReal("differs", 2, 7);
    o->AddReal("hidden", 2, 6);
    JS_PropertyIterator it(o, 1);
    it.walkChain = 1;
    std::vector<std::string> names = Names(it);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"differs", "inherited", "same", "same"}));

    // Every property, internal ones only when asked.
    JS_PropertyIterator all(o, 0);
    names = Names(all);
    EXPECT_NE(std::find(names.begin(), names.end(), "hidden"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), JS_CLASS), names.end());
    JS_PropertyIterator internal(o, 0);
    internal.includeInternal = 1;
    names = Names(internal);
    EXPECT_NE(std::find(names.begin(), names.end(), JS_CLASS), names.end());
}

TEST_F(ObjectOperationsTest, ArrayLiteralVisitsElementsThenNamedProperties) {
    RValue items[2] = {RValue_Real(5), RValue_Real(6)};
    RValue array = RValue_Undefined();
    F_JS_NewArray(array, nullptr, nullptr, 2, items);
    array.obj->AddReal("extra", 1, 7);
    JS_PropertyIterator it(array.obj, 1);
    EXPECT_EQ(Names(it), (std::vector<std::string>{"0", "1", "extra"}));
}

// --- Literals and operators ---

TEST_F(ObjectOperationsTest, ObjectLiteralWithARepeatedNameKeepsOneProperty) {
    RValue pairs[4] = {String("a"), RValue_Real(1), String("a"), RValue_Real(2)};
    RValue object = RValue_Undefined();
    F_JS_NewObjectLiteral(object, nullptr, nullptr, 4, pairs);
    EXPECT_EQ(Real(object.obj, "a"), 2);
    JS_PropertyIterator it(object.obj, 1);
    EXPECT_EQ(Names(it), std::vector<std::string>{"a"});
    RValue_Release(&pairs[0]);
    RValue_Release(&pairs[2]);
}

TEST_F(ObjectOperationsTest, AccessorLiteralPutsGetterInSlotZero) {
    PWObjectBase* getter = NewObject();
    RValue args[2] = {RValue_Undefined(), Object(getter)};  // (setter, getter)
    RValue record = RValue_Undefined();
    F_JS_NewProperty(record, nullptr, nullptr, 2, args);
    ASSERT_TRUE(JS_IsAccessor(&record));
    EXPECT_EQ(record.obj->GetSlot(0)->obj, getter);
    EXPECT_EQ(RValue_Kind(record.obj->GetSlot(0)), VALUE_ACCESSOR);
    EXPECT_TRUE(RValue_IsUnset(record.obj->GetSlot(1)));
}

TEST_F(ObjectOperationsTest, NewAndInstanceOfErrors) {
    struct Case {
        RValue args[2];
        int32_t argc;
        bool instanceOf;
        const char* message;
        const char* kind;
    };
    PWObjectBase* inherits = NewObject();
    PWObjectBase* withConstruct = NewObject();
    withConstruct->AddPointer(JS_CONSTRUCT, reinterpret_cast<void*>(JS_ScriptConstruct), 0);
    inherits->AddObject(JS_PROTOTYPE, withConstruct, 0);
    PWObjectBase* nullHook = NewObject();
    nullHook->AddPointer(JS_HAS_INSTANCE, nullptr, 0);
    const RValue unset = {{0}, 0, VALUE_UNSET};
    const Case cases[] = {
        {{unset}, 1, false, "Trying to find a constructor which does not exist", "ReferenceError"},
        {{RValue_Real(1)}, 1, false, "Trying to construct something which isn't an object", "TypeError"},
        {{Object(inherits)}, 1, false, "Trying to construct something that isn't a function", "TypeError"},
        {{Object(NewObject()), unset}, 2, true, "lhs of instanceof does not exist", "ReferenceError"},
        {{unset, RValue_Real(1)}, 2, true, "rhs of instanceof does not exist", "ReferenceError"},
        {{RValue_Real(1), RValue_Real(1)},
         2,
         true,
         "Trying to look for instances of something which isn't an object",
         "TypeError"},
        {{Object(NewObject()), RValue_Real(1)},
         2,
         true,
         "Trying to find instances of something which isn't a function (2)",
         "TypeError"},
        {{Object(nullHook), RValue_Real(1)},
         2,
         true,
         "Trying to find instances of something which isn't a function (1)",
         "TypeError"},
    };
    for (const Case& c : cases) {
        JS_ResetExceptions();
        RValue args[2] = {c.args[0], c.args[1]};
        RValue result = RValue_Undefined();
        (c.instanceOf ? F_JS_InstanceOf : F_JS_New)(result, nullptr, nullptr, c.argc, args);
        EXPECT_EQ(ThrownMessage(), c.message);
        const RValue* thrown = JS_PendingValue();
        ASSERT_TRUE(RValue_IsObject(thrown)) << c.message;
        EXPECT_STREQ(RValue_GetStringText(JS_FindOwnValue(thrown->obj, "name")), c.kind);
    }
}

TEST_F(ObjectOperationsTest, InstanceOfCallsTheHook) {
    PWObjectBase* f = NewObject();
    PWObjectBase* proto = NewObject();
    *f->GetSlot(JS_SLOT_PROTOTYPE) = Object(proto, 6);
    f->AddPointer(JS_HAS_INSTANCE, reinterpret_cast<void*>(JS_HasInstance), 0);
    PWObjectBase* o = NewObject();
    o->AddObject(JS_PROTOTYPE, proto, 0);
    RValue args[2] = {Object(f), Object(o)};
    RValue result = RValue_Undefined();
    F_JS_InstanceOf(result, nullptr, nullptr, 2, args);
    EXPECT_EQ(RValue_Kind(result), VALUE_BOOL);
    EXPECT_EQ(result.val, 1.0);
    args[1] = RValue_Real(4);
    F_JS_InstanceOf(result, nullptr, nullptr, 2, args);
    EXPECT_EQ(result.val, 0.0);
}

TEST_F(ObjectOperationsTest, ErrorObjectsHaveTheirKindAndAnEmptyMessage) {
    RValue error = RValue_Undefined();
    F_JS_TypeError(error, nullptr, nullptr, 0, nullptr);
    ASSERT_TRUE(RValue_IsObject(error));
    EXPECT_STREQ(RValue_GetStringText(JS_FindOwnValue(error.obj, "message")), "");
    EXPECT_STREQ(RValue_GetStringText(JS_FindOwnValue(error.obj, "name")), "TypeError");
    EXPECT_EQ(JS_FindOwnValue(error.obj, "message")->flags & JS_ENUMERABLE, 0u);
    EXPECT_EQ(JS_FindOwnValue(error.obj, "name")->flags & JS_ENUMERABLE, 0u);
    const RValue* proto = error.obj->PeekSlot(JS_SLOT_PROTOTYPE);
    ASSERT_TRUE(proto && RValue_IsObject(proto));
    EXPECT_EQ(JS_FindOwnValue(proto->obj, "constructor")->obj, error.obj);
}

}  // namespace
