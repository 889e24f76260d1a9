// The start-up chain: the global and namespace objects, the prototype links every standard
// object gets, Function.prototype and the Function constructor, and the error kinds.
#include <cmath>
#include <cstring>
#include <string>

#include "StandardObjectsSupport.h"
#include "core/Code_Constant.h"
#include "core/Code_Function.h"
#include "core/Variable.h"
#include "world/Path_Main.h"

namespace {

using script_test::EchoThisAndArguments;
using script_test::StandardTest;

class StandardObjectsTest : public StandardTest {};

TEST_F(StandardObjectsTest, PrototypeChainsHoldAfterStartUp) {
    PWObjectBase* global = g_JSStandard.global;
    PWObjectBase* objectPrototype = g_JSStandard.objectPrototype;
    PWObjectBase* functionPrototype = g_JSStandard.functionPrototype;
    ASSERT_NE(objectPrototype, nullptr);
    EXPECT_EQ(JS_PrototypeOf(objectPrototype), nullptr);
    EXPECT_EQ(RValue_Kind(JS_FindOwnValue(objectPrototype, JS_PROTOTYPE)), VALUE_NULL);
    for (PWObjectBase* early : {functionPrototype, global, g_JSStandard.namespaceObject})
        EXPECT_EQ(JS_PrototypeOf(early), objectPrototype);
    for (const char* name : {"Function", "Object", "Array", "Error", "TypeError"}) {
        PWObjectBase* constructor = Property(global, name).obj;
        ASSERT_NE(constructor, nullptr) << name;
        EXPECT_EQ(JS_PrototypeOf(constructor), functionPrototype) << name;
        PWObjectBase* prototype = constructor->PeekSlot(JS_SLOT_PROTOTYPE)->obj;
        EXPECT_EQ(Property(prototype, "constructor").obj, constructor) << name;
    }
    PWObjectBase* arrayPrototype = Property(global, "Array").obj->PeekSlot(JS_SLOT_PROTOTYPE)->obj;
    EXPECT_EQ(arrayPrototype, g_JSStandard.arrayPrototype);
    EXPECT_EQ(JS_PrototypeOf(arrayPrototype), objectPrototype);
    EXPECT_STREQ(JS_ClassOf(arrayPrototype), "[[Array]]");
    // The derived error kinds chain through Error.prototype.
    EXPECT_EQ(JS_PrototypeOf(g_JSStandard.errorPrototypes[5]), g_JSStandard.errorPrototypes[0]);
    EXPECT_EQ(JS_PrototypeOf(g_JSStandard.errorPrototypes[0]), objectPrototype);
    // A method made by a step links to Function.prototype.
    EXPECT_EQ(JS_PrototypeOf(Property(objectPrototype, "toString").obj), functionPrototype);
}

TEST_F(StandardObjectsTest, GlobalObjectHoldsValuesAndLinksTheNamespace) {
    PWObjectBase* global = g_JSStandard.global;
    EXPECT_EQ(Property(global, "global").obj, global);
    EXPECT_EQ(JS_FindOwnValue(global, "global")->flags, JS_ENUMERABLE);
    RValue nan = Property(global, "NaN");
    uint64_t bits;
    std::memcpy(&bits, &nan.val, sizeof bits);
    EXPECT_EQ(bits, 0x7FFFFFFFFFFFFFFFull);
    EXPECT_EQ(JS_FindOwnValue(global, "NaN")->flags, 0u);
    EXPECT_TRUE(std::isinf(Property(global, "Infinity").val));
    EXPECT_EQ(RValue_Kind(Property(global, "undefined")), VALUE_UNDEFINED);
    for (const char* name : {"isNaN", "parseInt", "decodeURI", "encodeURIComponent"}) {
        const RValue* stored = JS_FindOwnValue(global, name);
        ASSERT_NE(stored, nullptr) << name;
        EXPECT_EQ(stored->flags, JS_WRITABLE | JS_CONFIGURABLE) << name;
        EXPECT_TRUE(JS_IsCallable(stored));
    }
    EXPECT_EQ(global->scopeLink, g_JSStandard.namespaceObject);
    EXPECT_EQ(Property(global, "hv").obj, g_JSStandard.namespaceObject);
    EXPECT_EQ(g_JSStandard.namespaceObject->scopeLink, nullptr);
}

TEST_F(StandardObjectsTest, NamespaceCopiesRowsAndConstantsButNotGlobal) {
    PWObjectBase* names = g_JSStandard.namespaceObject;
    RValue row = Property(names, "test_row_any");
    ASSERT_TRUE(RValue_IsObject(row));
    EXPECT_EQ(Property(row.obj, "length").val, -1);
    EXPECT_EQ(Call(nullptr, row.obj, {}).val, 42);
    EXPECT_EQ(Property(names, "test_constant").val, 7);
    EXPECT_TRUE(RValue_IsUnset(Property(names, "global")));
    // A built-in global variable reads through its getter.
    EXPECT_TRUE(JS_IsAccessor(JS_FindOwnValue(names, "room")));
    EXPECT_EQ(Property(names, "room").val, 7);
}

TEST_F(StandardObjectsTest, ResourceObjectNamesEveryResource) {
    const int32_t path = Path_Add();
    JS_CreateResourceObject();
    RValue resources = Property(g_JSStandard.global, "resource");
    ASSERT_TRUE(RValue_IsObject(resources));
    EXPECT_EQ(Property(resources.obj, Path_GetName(path)).val, path);
    EXPECT_EQ(JS_FindOwnValue(resources.obj, Path_GetName(path))->flags, JS_ENUMERABLE);
    Path_Delete(path);
}

TEST_F(StandardObjectsTest, FunctionPrototypeMethods) {
    PWObjectBase* functionPrototype = g_JSStandard.functionPrototype;
    PWObjectBase* toString = Property(functionPrototype, "toString").obj;
    EXPECT_EQ(Text(Call(Property(g_JSStandard.global, "Object").obj, toString, {})), "function () {}");
    // Function.prototype's own class is "[[Function]]": toString refuses it.
    Call(functionPrototype, toString, {});
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
    // Function.prototype is callable and answers undefined.
    EXPECT_EQ(RValue_Kind(Call(nullptr, functionPrototype, {RValue_Real(1)})), VALUE_UNDEFINED);

    PWObjectBase* echo = NativeFunction(EchoThisAndArguments);
    PWObjectBase* apply = Property(functionPrototype, "apply").obj;
    PWObjectBase* call = Property(functionPrototype, "call").obj;
    RValue list =
        MakeObject({{"length", RValue_Real(2.5)}, {"0", Str("a")}, {"1", Str("b")}, {"2", Str("c")}});
    EXPECT_EQ(Text(Call(echo, apply, {Obj(g_JSStandard.global), list})), "global|a,b");
    EXPECT_EQ(Text(Call(echo, apply, {Null()})), "global|");
    EXPECT_EQ(Text(Call(echo, call, {Obj(list.obj), Str("x"), RValue_Real(3)})), "object|x,3");
    Call(echo, apply, {RValue_Undefined(), RValue_Real(7)});
    EXPECT_EQ(ThrownText(), "TypeError: Second argument to Function.prototype.apply is not an object");
    Call(list.obj, apply, {});
    EXPECT_EQ(ThrownText(), "TypeError: Using Function.prototype.apply on a non-callable object");
    Call(list.obj, call, {});
    EXPECT_EQ(ThrownText(), "TypeError: Using Function.prototype.call on a non-callable object");

    // Function makes nothing, called or constructed.
    PWObjectBase* function = Property(g_JSStandard.global, "Function").obj;
    RValue result = RValue_Real(5);
    JS_Call(nullptr, &result, function, 1, nullptr);
    EXPECT_EQ(result.val, 5);
}

TEST_F(StandardObjectsTest, ErrorKinds) {
    RValue error = Construct("RangeError", {Str("bad")});
    EXPECT_EQ(Text(Method(error, "toString", {})), "RangeError: bad");
    EXPECT_EQ(Text(Own(error.obj, "message")), "bad");
    EXPECT_EQ(JS_PrototypeOf(error.obj), g_JSStandard.errorPrototypes[2]);
    EXPECT_EQ(Text(Method(CallGlobal("Error", {}), "toString", {})), "Error");
    RValue nameless = Construct("TypeError", {Str("only message")});
    nameless.obj->AddString("name", "", 0);
    EXPECT_EQ(Text(Method(nameless, "toString", {})), "only message");
    // Each kind's prototype has its own toString; deleting it reveals Error.prototype's.
    PWObjectBase* rangePrototype = g_JSStandard.errorPrototypes[2];
    RValue own = Own(rangePrototype, "toString");
    EXPECT_NE(own.obj, Own(g_JSStandard.errorPrototypes[0], "toString").obj);
    RValue deleted = RValue_Undefined();
    JS_DefaultDelete(rangePrototype, &deleted, "toString", false);
    EXPECT_EQ(deleted.val, 0);  // not configurable: it stays
    PWObjectBase* errorToString = Own(g_JSStandard.errorPrototypes[0], "toString").obj;
    Call(MakeObject({}).obj, errorToString, {});
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
    // A runtime TypeError is an object of the same kind.
    Call(MakeObject({}).obj, Property(g_JSStandard.functionPrototype, "apply").obj, {});
    RValue thrown = TakeThrown();
    EXPECT_EQ(JS_PrototypeOf(thrown.obj), g_JSStandard.errorPrototypes[5]);
    EXPECT_EQ(Text(Method(thrown, "toString", {})),
              "TypeError: Using Function.prototype.apply on a non-callable object");
    // A message of another kind is its text.
    EXPECT_EQ(Text(Method(Construct("Error", {RValue_Real(5)}), "toString", {})), "Error: 5");
}

}  // namespace
