// Array objects: the element store's growth, the length accessor, the hooks that route
// all-digit names to the store, the constructor and isArray.
#include <string>

#include "StandardObjectsSupport.h"

namespace {

using script_test::Errors;
using script_test::StandardTest;

class ArrayObjectTest : public StandardTest {
protected:
    static PWObjectBase* Store(const RValue& array) { return JS_ElementStore(array.obj); }
    static void PutNumber(const RValue& target, const char* name, double value) {
        RValue v = RValue_Real(value);
        JS_Put(target.obj, &v, name, true);
    }
};

TEST_F(ArrayObjectTest, WritesGrowTheStoreByHalfAgain) {
    RValue array = Construct("Array", {});
    PWObjectBase* store = Store(array);
    const int32_t expected[] = {1, 2, 3, 4, 6};
    for (int32_t i = 0; i < 5; ++i) {
        PutNumber(array, std::to_string(i).c_str(), i);
        EXPECT_EQ(JS_ArrayStore_Capacity(store), expected[i]) << i;
    }
    EXPECT_EQ(Property(array.obj, "length").val, 5);

    // Writing past the end fills the gap with undefined, not holes.
    RValue sparse = Construct("Array", {});
    PutNumber(sparse, "5", 9);
    EXPECT_EQ(Property(sparse.obj, "length").val, 6);
    EXPECT_EQ(JS_ArrayStore_Capacity(Store(sparse)), 6);
    for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(RValue_Kind(Store(sparse)->slots[i]), VALUE_UNDEFINED);
    // Index-written elements are writable and configurable but not enumerable; literal ones are.
    EXPECT_EQ(Store(sparse)->slots[5].flags, JS_WRITABLE | JS_CONFIGURABLE);
    EXPECT_EQ(Store(MakeArray({RValue_Real(1)}))->slots[0].flags, JS_ATTRIBUTES);
    // The empty name is element 0.
    PutNumber(sparse, "", 4);
    EXPECT_EQ(Property(sparse.obj, "0").val, 4);
    EXPECT_EQ(Property(sparse.obj, "").val, 4);
}

TEST_F(ArrayObjectTest, LengthSetterCutsAndExtends) {
    RValue array = MakeArray({RValue_Real(1), RValue_Real(2), Str("three"), RValue_Real(4), RValue_Real(5)});
    PutNumber(array, "length", 2);
    EXPECT_EQ(Property(array.obj, "length").val, 2);
    EXPECT_EQ(JS_ArrayStore_Capacity(Store(array)), 2);
    EXPECT_EQ(RValue_Kind(Property(array.obj, "3")), VALUE_UNDEFINED);
    PutNumber(array, "length", 8);
    EXPECT_EQ(Property(array.obj, "length").val, 8);
    for (int32_t i = 2; i < 8; ++i) EXPECT_EQ(RValue_Kind(Store(array)->slots[i]), VALUE_UNDEFINED);
    // "length" stays an accessor after the writes.
    EXPECT_TRUE(JS_IsAccessor(JS_FindOwnValue(array.obj, "length")));
    // A length whose slots cannot be had throws instead of ending the run.
    PutNumber(array, "length", 4294967295.0);
    EXPECT_EQ(ThrownText(), "RangeError: Unable to resize array");
    EXPECT_EQ(Property(array.obj, "length").val, 8);
}

TEST_F(ArrayObjectTest, Constructor) {
    RValue holes = Construct("Array", {RValue_Real(3)});
    ASSERT_EQ(Store(holes)->slotCount, 3);
    EXPECT_TRUE(RValue_IsUnset(Store(holes)->slots[2]));
    RValue one = CallGlobal("Array", {Str("3")});
    EXPECT_EQ(Property(one.obj, "length").val, 1);
    EXPECT_EQ(Text(Property(one.obj, "0")), "3");
    RValue list = Construct("Array", {RValue_Real(1), Str("b")});
    EXPECT_EQ(Text(list), "1,b");
    EXPECT_EQ(Store(list)->slots[1].flags, JS_WRITABLE | JS_CONFIGURABLE);
    for (double bad : {1.5, -1.0, 4294967296.0}) {
        Construct("Array", {RValue_Real(bad)});
        EXPECT_EQ(ThrownText(), "RangeError: NoMessage") << bad;
    }
    EXPECT_EQ(JS_PrototypeOf(list.obj), g_JSStandard.arrayPrototype);
    EXPECT_EQ(Property(list.obj, "constructor").obj, Property(g_JSStandard.global, "Array").obj);
}

TEST_F(ArrayObjectTest, ReadsHasOwnPropertyAndIsArray) {
    RValue array = MakeArray({RValue_Real(1), RValue_Real(2), RValue_Real(3)});
    // An index past the end is an own property holding undefined.
    EXPECT_EQ(Method(array, "hasOwnProperty", {Str("10")}).val, 1);
    EXPECT_EQ(RValue_Kind(Property(array.obj, "10")), VALUE_UNDEFINED);
    EXPECT_EQ(Method(array, "hasOwnProperty", {Str("push")}).val, 0);
    PWObjectBase* isArray = Property(Property(g_JSStandard.global, "Array").obj, "isArray").obj;
    EXPECT_EQ(Call(nullptr, isArray, {array}).val, 1);
    EXPECT_EQ(Call(nullptr, isArray, {Obj(g_JSStandard.arrayPrototype)}).val, 0);
    EXPECT_EQ(Call(nullptr, isArray, {}).val, 0);
    // Deleting an element leaves undefined and keeps the length.
    RValue answer = RValue_Undefined();
    JS_DefaultDelete(array.obj, &answer, "1", true);
    EXPECT_EQ(RValue_Kind(Store(array)->slots[1]), VALUE_UNDEFINED);
    EXPECT_EQ(Property(array.obj, "length").val, 3);
    // A named property of an Array is an ordinary one.
    RValue tag = Str("t");
    JS_Put(array.obj, &tag, "tag", true);
    EXPECT_EQ(Text(Property(array.obj, "tag")), "t");
}

}  // namespace
