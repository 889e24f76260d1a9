// Object.prototype's methods and the Object constructor's functions.
#include <string>

#include "StandardObjectsSupport.h"

namespace {

using script_test::Errors;
using script_test::StandardTest;

class ObjectConstructorTest : public StandardTest {
protected:
    static RValue ObjectFn(const char* name, std::vector<RValue> args) {
        return Call(nullptr, Property(Property(g_JSStandard.global, "Object").obj, name).obj,
                    std::move(args));
    }
    // A descriptor object {value, writable, enumerable, configurable}.
    static RValue Descriptor(double value, bool writable, bool enumerable, bool configurable) {
        return MakeObject({{"value", RValue_Real(value)},
                           {"writable", RValue_Bool(writable)},
                           {"enumerable", RValue_Bool(enumerable)},
                           {"configurable", RValue_Bool(configurable)}});
    }
};

TEST_F(ObjectConstructorTest, PrototypeMethods) {
    PWObjectBase* toString = Property(g_JSStandard.objectPrototype, "toString").obj;
    EXPECT_EQ(Text(Call(MakeArray({}).obj, toString, {})), "[object Array]");
    EXPECT_EQ(Text(Call(g_JSStandard.arrayPrototype, toString, {})), "[object [[Array]]]");
    EXPECT_EQ(Text(MakeObject({})), "[object Object]");
    RValue object = MakeObject({{"a", RValue_Undefined()}});
    EXPECT_EQ(Method(object, "hasOwnProperty", {Str("a")}).val, 1);
    EXPECT_EQ(Method(object, "hasOwnProperty", {Str("toString")}).val, 0);
    // Enumerable but undefined: 0, as a number.
    RValue enumerable = Method(object, "propertyIsEnumerable", {Str("a")});
    EXPECT_TRUE(RValue_IsReal(enumerable));
    EXPECT_EQ(enumerable.val, 0);
    RValue withB = MakeObject({{"b", RValue_Real(1)}});
    EXPECT_EQ(Method(withB, "propertyIsEnumerable", {Str("b")}).val, 1);
    EXPECT_EQ(Method(Obj(g_JSStandard.objectPrototype), "isPrototypeOf", {withB}).val, 1);
    EXPECT_EQ(Method(withB, "isPrototypeOf", {RValue_Real(5)}).val, 0);
    EXPECT_EQ(Method(withB, "valueOf", {}).obj, withB.obj);
    // Array toLocaleString calls each element's own toLocaleString.
    RValue localised = MakeObject({{"toLocaleString", Obj(NativeFunction(script_test::AnswerFortyTwo))}});
    EXPECT_EQ(Text(Method(MakeArray({localised, RValue_Undefined(), localised}), "toLocaleString", {})),
              "42,,42");
}

TEST_F(ObjectConstructorTest, CallAndConstruct) {
    RValue made = CallGlobal("Object", {});
    EXPECT_EQ(JS_PrototypeOf(made.obj), g_JSStandard.objectPrototype);
    RValue same = MakeObject({});
    EXPECT_EQ(CallGlobal("Object", {same}).obj, same.obj);
    EXPECT_EQ(Construct("Object", {same}).obj, same.obj);
    EXPECT_EQ(JS_PrototypeOf(Construct("Object", {Null()}).obj), g_JSStandard.objectPrototype);
    EXPECT_EQ(JS_PrototypeOf(CallGlobal("Object", {RValue_Undefined()}).obj), g_JSStandard.objectPrototype);
}

TEST_F(ObjectConstructorTest, PrototypesAndCreate) {
    EXPECT_EQ(RValue_Kind(ObjectFn("getPrototypeOf", {Obj(g_JSStandard.objectPrototype)})), VALUE_NULL);
    EXPECT_EQ(ObjectFn("getPrototypeOf", {MakeArray({})}).obj, g_JSStandard.arrayPrototype);
    RValue bare = ObjectFn("create", {Null()});
    EXPECT_EQ(JS_PrototypeOf(bare.obj), nullptr);
    RValue p = MakeObject({});
    RValue properties = MakeObject({{"a", Descriptor(3, true, true, true)}});
    RValue child = ObjectFn("create", {p, properties});
    EXPECT_EQ(JS_PrototypeOf(child.obj), p.obj);
    EXPECT_EQ(Property(child.obj, "a").val, 3);
    EXPECT_EQ(JS_FindOwnValue(p.obj, "a"), nullptr);
    ObjectFn("create", {RValue_Real(1)});
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
}

TEST_F(ObjectConstructorTest, DefinePropertyAndDescriptors) {
    RValue object = MakeObject({});
    EXPECT_EQ(ObjectFn("defineProperty", {object, Str("x"), Descriptor(5, false, false, true)}).obj,
              object.obj);
    const RValue* stored = JS_FindOwnValue(object.obj, "x");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->flags, JS_CONFIGURABLE);
    RValue descriptor = ObjectFn("getOwnPropertyDescriptor", {object, Str("x")});
    EXPECT_EQ(Property(descriptor.obj, "value").val, 5);
    EXPECT_EQ(Property(descriptor.obj, "writable").val, 0);
    EXPECT_EQ(Property(descriptor.obj, "configurable").val, 1);
    EXPECT_EQ(RValue_Kind(ObjectFn("getOwnPropertyDescriptor", {object, Str("missing")})), VALUE_UNDEFINED);
    // defineProperties defines in order and stops at the first refusal.
    RValue locked = MakeObject({});
    ObjectFn("defineProperty", {locked, Str("fixed"), Descriptor(1, false, true, false)});
    RValue list = MakeObject({{"first", Descriptor(1, true, true, true)}});
    ObjectFn("defineProperties", {locked, list});
    EXPECT_EQ(Property(locked.obj, "first").val, 1);
    ObjectFn("defineProperties", {locked, MakeObject({{"fixed", Descriptor(2, true, true, true)}})});
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
    ObjectFn("defineProperty", {RValue_Real(5), Str("x"), Descriptor(1, true, true, true)});
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
    ObjectFn("defineProperty", {object, Str("y"), RValue_Real(1)});
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
}

TEST_F(ObjectConstructorTest, SealFreezeAndExtensibility) {
    // Sealing an object whose only property is writable but not enumerable: isFrozen holds,
    // because the walk of isFrozen sees enumerable properties only.
    RValue hidden = MakeObject({});
    ObjectFn("defineProperty", {hidden, Str("h"), Descriptor(1, true, false, true)});
    ObjectFn("seal", {hidden});
    EXPECT_EQ(ObjectFn("isSealed", {hidden}).val, 1);
    EXPECT_EQ(ObjectFn("isFrozen", {hidden}).val, 1);
    EXPECT_EQ(ObjectFn("isExtensible", {hidden}).val, 0);

    RValue open = MakeObject({{"a", RValue_Real(1)}});
    EXPECT_EQ(ObjectFn("isSealed", {open}).val, 0);
    ObjectFn("freeze", {open});
    EXPECT_EQ(ObjectFn("isFrozen", {open}).val, 1);
    RValue two = RValue_Real(2);
    JS_Put(open.obj, &two, "a", false);
    EXPECT_EQ(Property(open.obj, "a").val, 1);
    JS_Put(open.obj, &two, "b", false);
    EXPECT_TRUE(RValue_IsUnset(Property(open.obj, "b")));

    // A frozen Array's elements cannot be written either.
    RValue array = MakeArray({RValue_Real(1)});
    ObjectFn("freeze", {array});
    JS_Put(array.obj, &two, "0", false);
    EXPECT_EQ(Property(array.obj, "0").val, 1);

    RValue plain = MakeObject({});
    ObjectFn("preventExtensions", {plain});
    EXPECT_EQ(ObjectFn("isExtensible", {plain}).val, 0);
    EXPECT_EQ(ObjectFn("isSealed", {plain}).val, 1);
    // An object without its own [[Extensible]] answers as extensible rather than failing.
    RValue raw = RValue_Undefined();
    raw.obj = JS_NewBareObject();
    raw.kind = VALUE_OBJECT;
    EXPECT_EQ(ObjectFn("isExtensible", {raw}).val, 1);
    EXPECT_TRUE(Errors().empty());
    ObjectFn("isExtensible", {RValue_Real(3)});
    EXPECT_EQ(ThrownText(), "TypeError: NoMessage");
}

TEST_F(ObjectConstructorTest, KeysAndOwnPropertyNames) {
    RValue object = MakeObject({});
    ObjectFn("defineProperty", {object, Str("hidden"), Descriptor(1, true, false, true)});
    EXPECT_EQ(Property(ObjectFn("keys", {object}).obj, "length").val, 0);
    RValue names = ObjectFn("getOwnPropertyNames", {object});
    EXPECT_EQ(Text(names), "hidden");
    // The names are enumerable elements.
    EXPECT_EQ(JS_ElementStore(names.obj)->slots[0].flags, JS_ATTRIBUTES);
    RValue visible = MakeObject({{"a", RValue_Real(1)}, {"b", RValue_Real(2)}});
    RValue keys = ObjectFn("keys", {visible});
    EXPECT_EQ(Property(keys.obj, "length").val, 2);
    // Elements written by index are not enumerable; literal ones are.
    RValue array = MakeArray({RValue_Real(1)});
    RValue two = RValue_Real(2);
    JS_Put(array.obj, &two, "1", false);
    EXPECT_EQ(Text(ObjectFn("keys", {array})), "0");
}

}  // namespace
