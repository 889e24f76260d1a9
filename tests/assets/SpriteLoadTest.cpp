// The "SPRT" reader and the sprite table: both entry forms, masks, radius, empty slots, the
// name index, and files whose offsets or counts point outside them.
#include "SpriteTestSupport.h"
#include "graphics/Graphics_Texture.h"

namespace spritetest {
namespace {

std::vector<formpack::PageEntry> Pages(int n) {
    std::vector<formpack::PageEntry> pages(n);
    for (int i = 0; i < n; ++i) pages[i] = {int16_t(i), 0, 4, 4, 0, 0, 4, 4, 4, 4, 0};
    return pages;
}

formpack::Sprite Legacy(const std::string& name, int frames) {
    formpack::Sprite s;
    s.name = name;
    s.width = 32;
    s.height = 32;
    s.originX = 16;
    s.originY = 24;
    s.boxLeft = 1;
    s.boxTop = 2;
    s.boxRight = 30;
    s.boxBottom = 31;
    for (int i = 0; i < frames; ++i) s.frames.push_back(i);
    return s;
}

TEST_F(SpriteLoadTest, LegacyEntryGivesItsFramesMaskBoxAndRadius) {
    formpack::Sprite s = Legacy("spr_ten", 10);
    s.width = 10;  // masks of width 10 take 2 bytes a row
    s.height = 3;
    s.masks = {std::vector<uint8_t>{0xFF, 0xC0, 0x00, 0x80, 0x01, 0x00}};
    formpack::Sprite big = Legacy("spr_big", 1);
    ASSERT_TRUE(Load(BuildFile(SpriteFile({s, std::nullopt, big}, Pages(10)))));

    ASSERT_EQ(Sprite_Count(), 3);
    CSprite* ten = Sprite_Get(0);
    ASSERT_NE(ten, nullptr);
    EXPECT_EQ(ten->m_frameCount, 10);
    for (int i = 0; i < 10; ++i) {
        ASSERT_NE(ten->GetPageEntry(i), nullptr);
        EXPECT_EQ(ten->GetPageEntry(i)->sourceX, i);
    }
    EXPECT_EQ(ten->m_packedMaskCount, 1);
    EXPECT_FALSE(ten->m_masksPerFrame);
    ASSERT_NE(ten->m_packedMasks, nullptr);
    EXPECT_EQ(ten->m_packedMasks[1], 0xC0);  // pixel 8 of row 0: bit 7 of the second byte
    EXPECT_EQ(ten->m_box.left, 1);
    EXPECT_EQ(ten->m_box.top, 2);
    EXPECT_EQ(ten->m_box.right, 30);
    EXPECT_EQ(ten->m_box.bottom, 31);
    EXPECT_FLOAT_EQ(ten->m_playbackSpeed, 30.0f);
    EXPECT_STREQ(ten->GetName(), "spr_ten");
    EXPECT_EQ(ten->m_index, 0);

    EXPECT_FALSE(Sprite_Exists(1));
    EXPECT_EQ(Sprite_Get(1), nullptr);
    EXPECT_STREQ(Sprite_GetName(1), "<undefined>");
    EXPECT_EQ(Sprite_Get(3), nullptr);
    EXPECT_EQ(Sprite_Get(-1), nullptr);
    EXPECT_EQ(Sprite_Find("spr_big"), 2);
    EXPECT_EQ(Sprite_Find("spr_none"), -1);
    EXPECT_EQ(Sprite_Get(2)->m_boundingRadius, 29);  // 32 x 32, origin (16, 24): sqrt(832) rounded up

    // Frame -1 of a 10-frame sprite is frame 9; the vector-only answer is -1.
    EXPECT_EQ(ten->GetPageEntry(-1), ten->GetPageEntry(9));
    EXPECT_EQ(ten->GetTextureId(0), -1);
}

TEST_F(SpriteLoadTest, BoundingRadiusTakesTheFarthestCorner) {
    struct Case {
        int32_t w, h, ox, oy, radius;
    } cases[] = {
        {32, 32, 16, 24, 29}, {32, 32, 0, 0, 46}, {10, 10, -10, -10, 29}, {1, 1, 0, 0, 2}, {4, 4, 2, 2, 3}};
    for (const Case& c : cases) {
        CSprite sprite;
        sprite.m_width = c.w;
        sprite.m_height = c.h;
        sprite.m_originX = c.ox;
        sprite.m_originY = c.oy;
        sprite.ComputeBoundingRadius();
        EXPECT_EQ(sprite.m_boundingRadius, c.radius) << c.w << "x" << c.h << " at " << c.ox << "," << c.oy;
    }
}

TEST_F(SpriteLoadTest, ExtendedEntryReadsSpeedAndCountOnlyInLayerMode) {
    formpack::Sprite s = Legacy("spr_ext", 3);
    s.extended = true;
    s.playbackSpeed = 15.0f;
    s.masks = std::vector<std::vector<uint8_t>>(3, std::vector<uint8_t>(4 * 32, 0xAA));
    ASSERT_TRUE(Load(BuildFile(SpriteFile({s}, Pages(3), 2))));
    CSprite* layer = Sprite_Get(0);
    ASSERT_NE(layer, nullptr);
    EXPECT_FLOAT_EQ(layer->m_playbackSpeed, 15.0f);
    EXPECT_EQ(layer->m_frameCount, 3);
    EXPECT_EQ(layer->m_packedMaskCount, 3);
    EXPECT_TRUE(layer->m_masksPerFrame);
    Form_Free();

    // Before layer mode the extended kind-0 entry has no frames: the word after the kind is the mask count.
    s.masks.resize(1);
    ASSERT_TRUE(Load(BuildFile(SpriteFile({s}, Pages(3), 1))));
    CSprite* legacy = Sprite_Get(0);
    ASSERT_NE(legacy, nullptr);
    EXPECT_EQ(legacy->m_frameCount, 0);
    EXPECT_EQ(legacy->m_packedMaskCount, 1);
    EXPECT_FLOAT_EQ(legacy->m_playbackSpeed, 30.0f);
}

TEST_F(SpriteLoadTest, DamagedVectorAndSkeletonEntriesFailTheLoadNamingTheSprite) {
    formpack::Sprite vector = Legacy("spr_vector", 0);
    vector.extended = true;
    vector.kind = SPRITE_VECTOR;
    vector.kindData = {1, 2, 3, 4};
    formpack::Sprite skeleton = vector;
    skeleton.name = "spr_skeleton";
    skeleton.kind = SPRITE_SKELETON;
    EXPECT_FALSE(Load(BuildFile(SpriteFile({vector}, {}, 2))));
    EXPECT_NE(LoadError().find("spr_vector"), std::string::npos) << LoadError();
    EXPECT_FALSE(Load(BuildFile(SpriteFile({skeleton}, {}, 2))));
    EXPECT_NE(LoadError().find("spr_skeleton"), std::string::npos) << LoadError();
}

// Each patch breaks one offset or count of the second sprite; the load fails naming it.
TEST_F(SpriteLoadTest, OffsetsAndCountsOutsideTheFileFailTheLoadNamingTheSprite) {
    formpack::Sprite first = Legacy("spr_good", 1);
    formpack::Sprite second = Legacy("spr_bad", 2);
    second.masks = {std::vector<uint8_t>(4 * 32, 0)};
    const std::vector<uint8_t> good = BuildFile(SpriteFile({first, second}, Pages(2)));
    const uint32_t entry = SpriteEntry(good, 1);
    const uint32_t size = static_cast<uint32_t>(good.size());
    struct Patch {
        uint32_t at, value;
        const char* what;
    } patches[] = {
        {entry + 15 * 4, size - 10, "a frame offset near the end"},
        {entry + 16 * 4, 0xFFFFFFF0u, "a frame offset far outside"},
        {entry + 14 * 4, 0x40000000u, "a frame count past the file"},
        {entry + 17 * 4, 0x7FFFFFFFu, "a mask count past the file"},
        {ChunkData(good, "SPRT") + 8, size + 100, "the entry offset"},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> bad = good;
        WriteU32(bad, p.at, p.value);
        EXPECT_FALSE(Load(bad)) << p.what;
        EXPECT_NE(LoadError().find("SPRT"), std::string::npos) << p.what << ": " << LoadError();
        if (p.at != ChunkData(good, "SPRT") + 8) {
            EXPECT_NE(LoadError().find("spr_bad"), std::string::npos) << p.what << ": " << LoadError();
        }
        Form_Free();
    }
    ASSERT_TRUE(Load(good));
    EXPECT_EQ(Sprite_Get(1)->m_packedMaskCount, 1);
}

// ---- the name index ----------------------------------------------------------------------------

TEST(SpriteHash, MurmurMatchesThePublishedFunction) {
    EXPECT_EQ(MurmurHash3_x86_32("", 0, 0), 0u);
    EXPECT_EQ(MurmurHash3_x86_32("", 0, 1), 0x514E28B7u);
    EXPECT_EQ(Hash_String("hello"), 0x248BFA47u);
}

class SpriteNameIndex : public ::testing::Test {
protected:
    void SetUp() override { SpriteNameHash::Clear(); }
    void TearDown() override { SpriteNameHash::Clear(); }
};

TEST_F(SpriteNameIndex, NamesWhoseHashesCollideStayDistinct) {
    const char* a = "spr_64232";
    const char* b = "spr_73307";
    ASSERT_EQ(Hash_String(a) & 0x7FFFFFFF, Hash_String(b) & 0x7FFFFFFF);
    SpriteNameHash::Insert(a, 4);
    EXPECT_EQ(SpriteNameHash::Find(b), -1);
    SpriteNameHash::Insert(b, 7);
    EXPECT_EQ(SpriteNameHash::Find(a), 4);
    EXPECT_EQ(SpriteNameHash::Find(b), 7);
    EXPECT_EQ(SpriteNameHash::Count(), 2);
    EXPECT_TRUE(SpriteNameHash::Remove(a));
    EXPECT_EQ(SpriteNameHash::Find(a), -1);
    EXPECT_EQ(SpriteNameHash::Find(b), 7);
}

TEST_F(SpriteNameIndex, InsertingAPresentNameUpdatesItWithoutCountingIt) {
    SpriteNameHash::Insert("spr_a", 1);
    SpriteNameHash::Insert("spr_a", 2);
    EXPECT_EQ(SpriteNameHash::Count(), 1);
    EXPECT_EQ(SpriteNameHash::Find("spr_a"), 2);
}

TEST_F(SpriteNameIndex, GrowsPastEightyPercentAndKeepsEveryName) {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) names.push_back("name" + std::to_string(i));
    for (int i = 0; i < 102; ++i) SpriteNameHash::Insert(names[i].c_str(), i);
    EXPECT_EQ(SpriteNameHash::Capacity(), 128);
    SpriteNameHash::Insert(names[102].c_str(), 102);
    EXPECT_EQ(SpriteNameHash::Capacity(), 256);  // the 103rd name doubles it
    for (int i = 103; i < 300; ++i) SpriteNameHash::Insert(names[i].c_str(), i);
    EXPECT_EQ(SpriteNameHash::Count(), 300);
    for (int i = 0; i < 300; i += 2) ASSERT_TRUE(SpriteNameHash::Remove(names[i].c_str()));
    for (int i = 0; i < 300; ++i) ASSERT_EQ(SpriteNameHash::Find(names[i].c_str()), i % 2 ? i : -1) << i;
    EXPECT_EQ(SpriteNameHash::Count(), 150);
}

TEST_F(SpriteLoadTest, DeletedSpritesLeaveTheirSlotAndNameForGood) {
    ASSERT_TRUE(Load(BuildFile(SpriteFile({Legacy("spr_a", 1)}, Pages(1)))));
    const int32_t added = Sprite_CreateEmpty();
    EXPECT_EQ(added, 1);
    EXPECT_STREQ(Sprite_GetName(added), "__newsprite1");
    EXPECT_EQ(Sprite_Find("__newsprite1"), 1);
    EXPECT_TRUE(Sprite_Delete(0));
    EXPECT_FALSE(Sprite_Delete(0));
    EXPECT_EQ(Sprite_Find("spr_a"), -1);
    EXPECT_EQ(Sprite_CreateEmpty(), 2);  // never the deleted index
    SpriteBox box;
    int32_t ox = 0, oy = 0;
    EXPECT_FALSE(Sprite_GetBoundingBox(0, &box, &ox, &oy));
    EXPECT_TRUE(Sprite_GetBoundingBox(2, &box, &ox, &oy));
}

}  // namespace
}  // namespace spritetest
