#include <gtest/gtest.h>

#include <cstring>

#include "ValueTestSupport.h"

namespace {

TEST(Value, LayoutAndZeroBytesAreRealZero) {
    static_assert(sizeof(RValue) == 16);
    EXPECT_EQ(offsetof(RValue, flags), 8u);
    EXPECT_EQ(offsetof(RValue, kind), 12u);
    RValue zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(zero.kind, VALUE_REAL);
    EXPECT_EQ(zero.val, 0.0);
}

TEST(Value, CopyOnWriteThroughNonOwner) {
    Held a, b;
    for (int i = 0; i < 3; ++i) SetElement(&a.v, i, RValue_Real(i + 1));
    SharedArray* record = a.v.arr;
    ASSERT_EQ(record->owner, &a.v);

    RValue_Assign(&b.v, &a.v);
    EXPECT_EQ(b.v.arr, record);
    EXPECT_EQ(record->refCount, 2);

    SetElement(&b.v, 0, RValue_Real(99));
    EXPECT_NE(b.v.arr, record) << "B must get its own copy";
    EXPECT_EQ(record->refCount, 1);
    EXPECT_EQ(ItemAt(a.v, 0, 0).val, 1.0);
    EXPECT_EQ(ItemAt(b.v, 0, 0).val, 99.0);
    EXPECT_EQ(ItemAt(b.v, 0, 2).val, 3.0);
    EXPECT_EQ(b.v.arr->owner, &b.v);

    // The owner itself writes in place.
    SetElement(&a.v, 1, RValue_Real(-2));
    EXPECT_EQ(a.v.arr, record);
    EXPECT_EQ(ItemAt(a.v, 0, 1).val, -2.0);
}

TEST(Value, WritesGrowWithZeroGaps) {
    Held v(7.0);
    SetElement(&v.v, 5, RValue_Real(1));
    ASSERT_EQ(v.v.kind, VALUE_ARRAY);
    ASSERT_EQ(v.v.arr->rowCount, 1);
    ASSERT_EQ(v.v.arr->rows[0].length, 6);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ItemAt(v.v, 0, i).kind, VALUE_REAL);
        EXPECT_EQ(ItemAt(v.v, 0, i).val, 0.0);
    }

    Held grid;
    SetElement(&grid.v, 2 * ARRAY_ROW_STRIDE, RValue_Real(4));
    ASSERT_EQ(grid.v.arr->rowCount, 3);
    EXPECT_EQ(grid.v.arr->rows[0].length, 0);
    EXPECT_EQ(grid.v.arr->rows[1].length, 0);
    EXPECT_EQ(grid.v.arr->rows[2].length, 1);
}

TEST(Value, ReadOutsideFillsIndexError) {
    Held a, out;
    for (int i = 0; i < 3; ++i) SetElement(&a.v, i, RValue_Real(i));
    SetElement(&a.v, 2 * ARRAY_ROW_STRIDE, RValue_Real(1));  // three rows

    struct Case {
        int32_t index, row, column, rowCount, rowLength;
    } cases[] = {
        {7, 0, 7, 3, 3},
        {9 * ARRAY_ROW_STRIDE, 9, 0, 3, -1},
        {-1, 0, -1, 3, 3},
        {-ARRAY_ROW_STRIDE, -1, 0, 3, -1},
    };
    for (const Case& c : cases) {
        ArrayIndexError = {};
        RValue_SetString(&out.v, "stale");
        EXPECT_FALSE(RValue_GetIndexed(&out.v, &a.v, c.index)) << c.index;
        EXPECT_EQ(out.v.kind, VALUE_REAL);
        EXPECT_EQ(out.v.val, 0.0);
        EXPECT_EQ(ArrayIndexError.raised, 1);
        EXPECT_EQ(ArrayIndexError.row, c.row);
        EXPECT_EQ(ArrayIndexError.column, c.column);
        EXPECT_EQ(ArrayIndexError.rowCount, c.rowCount);
        EXPECT_EQ(ArrayIndexError.rowLength, c.rowLength);
    }

    // An array value without a record.
    Held empty;
    empty.v.kind = VALUE_ARRAY;
    empty.v.arr = nullptr;
    EXPECT_FALSE(RValue_GetIndexed(&out.v, &empty.v, 0));
    EXPECT_EQ(ArrayIndexError.rowCount, 0);
    EXPECT_EQ(ArrayIndexError.rowLength, -1);
}

TEST(Value, WholeReadMakesSourceOwner) {
    Held a, b, whole;
    SetElement(&a.v, 0, RValue_Real(1));
    RValue_Assign(&b.v, &a.v);
    RValue_Release(&a.v);  // the owner lets go: the record has none
    ASSERT_EQ(b.v.arr->owner, nullptr);

    EXPECT_TRUE(RValue_GetIndexed(&whole.v, &b.v, ARRAY_INDEX_WHOLE));
    EXPECT_EQ(b.v.arr->owner, &b.v);
    EXPECT_EQ(whole.v.arr, b.v.arr);
    EXPECT_EQ(b.v.arr->refCount, 2);
}

TEST(Value, IndexingANonArrayIsAnError) {
    RuntimeErrorRecorder errors;
    Held number(5.0), out;
    EXPECT_TRUE(RValue_GetIndexed(&out.v, &number.v, 3));
    EXPECT_EQ(errors.Take(), "trying to index a variable which is not an array");
    EXPECT_EQ(out.v.val, 5.0);
}

TEST(Value, ReleaseOfSharedArrayKeepsRecordAndClearsOwner) {
    Held b;
    RValue a = RValue_Undefined();
    SetElementText(&a, 0, "kept");
    RValue_Assign(&b.v, &a);
    SharedArray* record = a.arr;
    RValue_Free(&a);
    EXPECT_EQ(record->refCount, 1);
    EXPECT_EQ(record->owner, nullptr);
    EXPECT_STREQ(RValue_GetStringText(&ItemAt(b.v, 0, 0)), "kept");
    RValue_Free(&a);  // a second release of a released value is harmless
    EXPECT_EQ(record->refCount, 1);
}

TEST(Value, NullStringRecordReadsAsNoText) {
    Held s;
    s.v.kind = VALUE_STRING;
    s.v.str = nullptr;
    EXPECT_EQ(RValue_GetStringText(&s.v), nullptr);
    EXPECT_EQ(TextOf(&s.v), "");
    Held copy(s.v);
    EXPECT_EQ(copy.v.kind, VALUE_STRING);
    EXPECT_EQ(copy.v.str, nullptr);

    Held nullText;
    RValue_CreateString(&nullText.v, nullptr);
    ASSERT_NE(nullText.v.str, nullptr);
    EXPECT_EQ(nullText.v.str->length, 0);
    EXPECT_EQ(RValue_GetStringText(&nullText.v), nullptr);
}

TEST(Value, StringsShareRecords) {
    Held a("héllo"), b;
    ASSERT_EQ(a.v.str->length, 6);
    RValue_Assign(&b.v, &a.v);
    EXPECT_EQ(b.v.str, a.v.str);
    EXPECT_EQ(a.v.str->refCount, 2);
    // Setting a string from its own text copies before releasing.
    RValue_SetString(&a.v, RValue_GetStringText(&a.v));
    EXPECT_STREQ(RValue_GetStringText(&a.v), "héllo");
    EXPECT_EQ(b.v.str->refCount, 1);
    RValue_SetStringRecord(&b.v, b.v.str);
    EXPECT_STREQ(RValue_GetStringText(&b.v), "héllo");
}

// The RValue_Set* setters drop the reference the value held; each leaves its own kind.
TEST(Value, SettersReleaseWhatTheValueHeld) {
    struct Case {
        const char* name;
        void (*set)(RValue* value);
        uint32_t kind;
        double val;
    };
    const Case cases[] = {
        {"real", [](RValue* v) { RValue_SetReal(v, 2.5); }, VALUE_REAL, 2.5},
        {"flag", [](RValue* v) { RValue_SetFlag(v, true); }, VALUE_REAL, 1.0},
        {"bool", [](RValue* v) { RValue_SetBool(v, true); }, VALUE_BOOL, 1.0},
    };
    for (const Case& c : cases) {
        Held keeper("text"), v;
        RValue_Assign(&v.v, &keeper.v);
        v.v.flags = 4;
        ASSERT_EQ(keeper.v.str->refCount, 2);
        c.set(&v.v);
        EXPECT_EQ(keeper.v.str->refCount, 1) << c.name;
        EXPECT_EQ(v.v.kind, c.kind) << c.name;
        EXPECT_EQ(v.v.flags, 0u) << c.name;
        EXPECT_EQ(v.v.val, c.val) << c.name;
    }
}

// Bytes past n are not read, a zero inside is kept, and the source may be the value's own text.
TEST(Value, StringFromBytes) {
    Held v("abcdef");
    RValue_SetStringBytes(&v.v, RValue_GetStringText(&v.v) + 1, 3);
    ASSERT_EQ(v.v.kind, VALUE_STRING);
    EXPECT_STREQ(RValue_GetStringText(&v.v), "bcd");
    EXPECT_EQ(v.v.str->length, 3);
    RValue_SetStringBytes(&v.v, "x\0y", 3);
    EXPECT_EQ(std::memcmp(v.v.str->text, "x\0y", 4), 0);
    RValue_SetStringBytes(&v.v, nullptr, 0);
    EXPECT_STREQ(RValue_GetStringText(&v.v), "");
}

TEST(Value, AddReal) {
    RuntimeErrorRecorder errors;
    struct Case {
        RValue source;
        double add;
        uint32_t kind;
        double expected;
    } cases[] = {
        {RValue_Real(1.25), 1.5, VALUE_REAL, 2.75},
        {RValue_Int32(3), 1.5, VALUE_INT32, 4},
        {RValue_Int32(3), -1.5, VALUE_INT32, 2},
        {RValue_Int64(int64_t(1) << 40), 2.9, VALUE_INT64, double((int64_t(1) << 40) + 2)},
        {RValue_Bool(1.0), 1.5, VALUE_BOOL, 2.5},
    };
    for (const Case& c : cases) {
        RValue out;
        RValue_AddReal(&out, &c.source, c.add);
        EXPECT_EQ(out.kind, c.kind);
        double got = out.kind == VALUE_INT32 ? out.v32 : out.kind == VALUE_INT64 ? double(out.v64) : out.val;
        EXPECT_EQ(got, c.expected);
    }

    Held s("text");
    RValue_AddReal(&s.v, &s.v, 1.0);  // in place: the reference is not doubled
    EXPECT_EQ(errors.Take(), "unable to add a number to string");
    EXPECT_EQ(s.v.kind, VALUE_STRING);
    EXPECT_EQ(s.v.str->refCount, 1);
}

TEST(Value, SourceInsideTheReleasedArrayStaysValid) {
    // x = [[ "deep" ]]; x = x[0][0] and x[0] = x[0][0] while x is the only holder.
    Held x;
    RValue* inner = RValue_ElementRef(&x.v, 0);
    SetElementText(inner, 0, "deep");
    RValue_Assign(&x.v, &ItemAt(ItemAt(x.v, 0, 0), 0, 0));
    EXPECT_STREQ(RValue_GetStringText(&x.v), "deep");

    Held y;
    inner = RValue_ElementRef(&y.v, 0);
    SetElementText(inner, 0, "deep");
    RValue_SetIndexed(&y.v, &ItemAt(ItemAt(y.v, 0, 0), 0, 0), 0);
    EXPECT_STREQ(RValue_GetStringText(&ItemAt(y.v, 0, 0)), "deep");

    // Writing an element from a source that the growth of the same row moves.
    Held z;
    SetElementText(&z.v, 0, "first");
    RValue_SetIndexed(&z.v, &z.v.arr->rows[0].items[0], 500);
    EXPECT_STREQ(RValue_GetStringText(&ItemAt(z.v, 0, 500)), "first");
}

TEST(Value, OwnerFollowsItemsWhenTheRowGrows) {
    Held parent;
    RValue* slot = RValue_ElementRef(&parent.v, 0);
    SetElement(slot, 0, RValue_Real(1));
    ASSERT_EQ(slot->arr->owner, slot);
    for (int i = 1; i < 2000; i += 37) SetElement(&parent.v, i, RValue_Real(i));
    const RValue& moved = ItemAt(parent.v, 0, 0);
    EXPECT_EQ(moved.arr->owner, &moved);
}

TEST(Value, StaleOwnerAddressNeverWritesInPlace) {
    // X owns R; X's bytes move to another slot; a new holder of R now sits at X's old
    // address. Its write must copy, not change the array the moved X still holds.
    RValue* block = static_cast<RValue*>(MEM_ALLOC(2 * sizeof(RValue)));
    SetElement(&block[0], 0, RValue_Real(1));
    RValue_MoveRange(&block[1], &block[0], 1);
    block[0] = RValue_Undefined();  // the vacated slot is reused without release
    RValue_Assign(&block[0], &block[1]);
    EXPECT_EQ(block[1].arr->owner, &block[1]);

    SetElement(&block[0], 0, RValue_Real(2));
    EXPECT_EQ(ItemAt(block[1], 0, 0).val, 1.0);
    EXPECT_EQ(ItemAt(block[0], 0, 0).val, 2.0);

    // Moving a value the other way keeps its ownership too.
    RValue_Move(&block[0], &block[1]);
    EXPECT_EQ(block[0].arr->owner, &block[0]);
    EXPECT_EQ(block[1].kind, VALUE_UNDEFINED);
    RValue_Release(&block[0]);
    RValue_Release(&block[1]);
    MEM_FREE(block);
}

struct CountedObject final : COwnedObject {
    static int destroyed;
    ~CountedObject() override { ++destroyed; }
};
int CountedObject::destroyed = 0;

TEST(Value, OwnedPointerIsDeletedOnceWhateverIsCopied) {
    CountedObject::destroyed = 0;
    RValue owner = RValue_Undefined();
    owner.kind = VALUE_PTR;
    owner.flags = VALUE_FLAG_OWNS_OBJECT;
    owner.ptr = static_cast<COwnedObject*>(new CountedObject);
    RValue copy = RValue_Undefined();
    RValue_Assign(&copy, &owner);
    EXPECT_EQ(copy.ptr, owner.ptr);
    EXPECT_EQ(copy.flags & VALUE_FLAG_OWNS_OBJECT, 0u);
    RValue_Release(&copy);
    EXPECT_EQ(CountedObject::destroyed, 0);
    RValue_Release(&owner);
    EXPECT_EQ(CountedObject::destroyed, 1);
}

TEST(Value, ElementRef) {
    Held v("was a string");
    RValue* item = RValue_ElementRef(&v.v, ARRAY_ROW_STRIDE + 2);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(v.v.kind, VALUE_ARRAY);
    EXPECT_EQ(v.v.arr->owner, &v.v);
    EXPECT_EQ(v.v.arr->rows[1].length, 3);
    *item = RValue_Real(8);
    EXPECT_EQ(ItemAt(v.v, 1, 2).val, 8.0);
    EXPECT_EQ(RValue_ElementRef(&v.v, -5), nullptr);

    // Through a holder that does not own a shared array: copy first.
    Held other;
    RValue_Assign(&other.v, &v.v);
    RValue_ElementRef(&other.v, 0)->val = 5;
    EXPECT_NE(other.v.arr, v.v.arr);
    EXPECT_EQ(v.v.arr->rows[0].length, 0);
    EXPECT_EQ(ItemAt(other.v, 0, 0).val, 5.0);
    EXPECT_EQ(ItemAt(other.v, 1, 2).val, 8.0);
}

TEST(Value, NegativeElementWriteChangesNothing) {
    Held a;
    SetElement(&a.v, 0, RValue_Real(1));
    ArrayIndexError = {};
    SetElement(&a.v, -3, RValue_Real(2));
    EXPECT_EQ(ArrayIndexError.raised, 1);
    EXPECT_EQ(ArrayIndexError.column, -3);
    EXPECT_EQ(ArrayIndexError.rowLength, 1);
    EXPECT_EQ(a.v.arr->rows[0].length, 1);
}

}  // namespace
