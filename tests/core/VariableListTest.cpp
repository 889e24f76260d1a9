#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/Code_Variable.h"
#include "core/ObjectTestSupport.h"
#include "core/ValueTestSupport.h"
#include "core/VariableList.h"
#include "io/IBuffer.h"

namespace {

// Bucket of a name: CRC-32 of the name without the final complement, low six bits. The
// expected values come from Python: zlib.crc32(name) ^ 0xFFFFFFFF.
TEST(VariableListTest, NamesLandInTheBucketOfTheirCrc) {
    struct Case {
        const char* name;
        uint32_t crc;
    } cases[] = {
        {"x", 0x7323e97c},
        {"score", 0xcd66c8ae},
        {"hp_max", 0xa211d7cb},
        {"[[Extensible]]", 0x5c882165},
        {"a_rather_longer_variable_name", 0xbeed214f},
        {"", 0xffffffff},
    };
    CVariableList list;
    for (const Case& c : cases) list.Insert(CVariableNode_AllocByName(c.name));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CVariableNode* node = list.FindName(c.name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(uint32_t(node->hash), c.crc);
        bool inBucket = false;
        for (CVariableNode* n = list.Bucket(c.crc & 63); n; n = n->next) inBucket |= n == node;
        EXPECT_TRUE(inBucket);
    }
    EXPECT_EQ(list.FindName("X"), nullptr);  // case-sensitive
}

TEST(VariableListTest, IdsSharingABucketAreFoundAndRemovalKeepsTheRest) {
    CVariableList list;
    for (int32_t id : {100000, 100064, 100128, 100001}) list.Insert(CVariableNode_AllocById(id));
    EXPECT_EQ(list.Count(), 4);
    ASSERT_NE(list.FindById(100000), nullptr);
    EXPECT_EQ(list.FindById(100000)->hash & 63, 32);
    EXPECT_EQ(list.FindById(100064)->hash & 63, 32);

    // 100064 is neither first nor last of bucket 32 (inserts go to the front).
    list.Remove(list.FindById(100064));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_FALSE(list.HasId(100064));
    for (int32_t id : {100000, 100128, 100001}) EXPECT_TRUE(list.HasId(id)) << id;

    // The bucket-order walk sees exactly the rest.
    int seen = 0;
    CVariableList::Iterator it(&list);
    for (CVariableNode* node = it.node; node; node = it.Next()) ++seen;
    EXPECT_EQ(seen, 3);
}

TEST(VariableListTest, MissingIdsReadAsZeroOrAsTheMarker) {
    CVariableList list;
    VariableSettings saved = g_VariableSettings;
    for (bool marked : {false, true}) {
        SCOPED_TRACE(marked);
        g_VariableSettings.markUnsetReads = marked;
        Held out;
        bool result = list.GetValue(100005, ARRAY_INDEX_WHOLE, &out.v);
        EXPECT_EQ(result, !marked);
        EXPECT_EQ(out.v.kind, uint32_t(VALUE_REAL));
        uint64_t bits;
        std::memcpy(&bits, &out.v.val, 8);
        EXPECT_EQ(bits, marked ? 0x41678C29DCCCCCCDull : 0ull);
    }
    g_VariableSettings = saved;
}

TEST(VariableListTest, SettingAnElementOfAMissingIdMakesAPaddedArray) {
    CVariableList list;
    RValue seven = RValue_Real(7);
    list.SetValue(100003, 3, &seven);
    CVariableNode* node = list.FindById(100003);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->value.kind, uint32_t(VALUE_ARRAY));
    ASSERT_EQ(node->value.arr->rowCount, 1);
    const ArrayRow& row = node->value.arr->rows[0];
    ASSERT_EQ(row.length, 4);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(row.items[i].val, 0.0) << i;
    EXPECT_EQ(row.items[3].val, 7.0);
}

TEST(VariableListTest, CopyHoldsItsOwnReferences) {
    CVariableList source, copy;
    RValue text = RValue_Undefined();
    RValue_CreateString(&text, "shared");
    source.SetValue(100001, ARRAY_INDEX_WHOLE, &text);
    copy.CopyFrom(&source);
    EXPECT_EQ(text.str->refCount, 3);
    source.Clear();
    EXPECT_EQ(text.str->refCount, 2);
    EXPECT_STREQ(RValue_GetStringText(&copy.FindById(100001)->value), "shared");
    RValue_Release(&text);
}

// Saved by name, loaded by name: a name the game no longer has is warned about and skipped
// without losing step with the rest of the buffer.
TEST(VariableListTest, LoadSkipsNamesThatNoLongerExist) {
    VariableSettings saved = g_VariableSettings;
    g_VariableSettings.newFormat = false;
    int32_t alpha = Code_Variable_FindOrAdd("vl_alpha");
    int32_t beta = Code_Variable_FindOrAdd("vl_beta");
    int32_t gamma = Code_Variable_FindOrAdd("vl_gamma");

    CVariableList list;
    Held text("beta text");
    RValue one = RValue_Real(1), three = RValue_Real(3);
    list.SetValue(alpha, ARRAY_INDEX_WHOLE, &one);
    list.SetValue(beta, ARRAY_INDEX_WHOLE, &text.v);
    list.SetValue(gamma, ARRAY_INDEX_WHOLE, &three);
    Buffer_Standard buffer;
    list.Save(&buffer);
    RValue tail = RValue_Int32(0x5EED);
    buffer.Write(eBuffer_S32, &tail);

    // Rename beta in the saved bytes, as if the game had dropped that variable.
    uint8_t* data = buffer.GetData();
    uint8_t* at = std::search(data, data + buffer.GetUsedSize(), "vl_beta", "vl_beta" + 7);
    ASSERT_NE(at, data + buffer.GetUsedSize());
    at[3] = 'X';

    Buffer_Standard reader(buffer.GetData(), buffer.GetUsedSize(), eBufferType_Fixed, 1, false);
    CVariableList loaded;
    ConsoleCapture console;
    ASSERT_TRUE(loaded.Load(&reader));
    EXPECT_EQ(console.Count("WARNING: Load game failed to find variable \"vl_Xeta\"\n"), 1);
    EXPECT_EQ(loaded.Count(), 2);
    EXPECT_EQ(loaded.FindById(alpha)->value.val, 1.0);
    EXPECT_EQ(loaded.FindById(gamma)->value.val, 3.0);
    RValue after = RValue_Undefined();
    ASSERT_EQ(reader.Read(eBuffer_S32, &after), 0);
    EXPECT_EQ(after.val, double(0x5EED));
    g_VariableSettings = saved;
}

TEST(VariableListTest, LoadRefusesCountsTheBufferCannotHold) {
    for (int32_t count : {0x7FFFFFFF, 3}) {
        Buffer_Standard buffer;
        RValue value = RValue_Int32(count);
        buffer.Write(eBuffer_S32, &value);
        buffer.WriteString("vl_alpha");  // one short entry at most
        Buffer_Standard reader(buffer.GetData(), buffer.GetUsedSize(), eBufferType_Fixed, 1, false);
        CVariableList list;
        ConsoleCapture console;
        EXPECT_FALSE(list.Load(&reader)) << count;
    }
}

}  // namespace
