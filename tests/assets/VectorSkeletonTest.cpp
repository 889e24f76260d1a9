// Vector sprites drawn with their stencil masks (pixels read back from the GL device), and
// skeleton sprites: the block of a "SPRT" entry, poses from time and from the image index,
// bounding polygons, and the skeleton built-ins.
#include <cmath>

#include "SpriteDrawSupport.h"
#include "assets/Function_Skeleton.h"
#include "assets/Sprite_Skeleton.h"
#include "assets/Sprite_Vector.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "data/Function_Data_Structures.h"
#include "formpack/Png.h"
#include "formpack/SpriteKinds.h"
#include "world/World_Services.h"

namespace spritetest {
namespace {

// ---- vector sprites --------------------------------------------------------------------------

constexpr float kUnits = 20;  // data units per pixel

// A rectangle of pixels as a shape of two triangles in one solid colour (0xAARRGGBB).
formpack::VectorShape Rectangle(int32_t id, float x0, float y0, float x1, float y1, uint32_t colour) {
    formpack::VectorPart part;
    part.fillStyle = 0;
    part.fillVertices = {x0 * kUnits, y0 * kUnits, x1 * kUnits, y0 * kUnits,
                         x1 * kUnits, y1 * kUnits, x0 * kUnits, y1 * kUnits};
    part.fillTriangles = {0, 1, 2, 0, 2, 3};
    formpack::VectorFillStyle fill;
    fill.colour = colour;
    formpack::VectorShape shape;
    shape.id = id;
    shape.subShapes = {{{fill}, {}, {part}}};
    return shape;
}

formpack::VectorItem Item(int32_t shape, int32_t depth, int32_t clipDepth = 0) {
    formpack::VectorItem item;
    item.shape = shape;
    item.depth = depth;
    item.clipDepth = clipDepth;
    return item;
}

// A 40 x 40 vector sprite of one frame.
formpack::FormFile VectorFile(const std::vector<formpack::VectorShape>& shapes,
                              const std::vector<formpack::VectorItem>& items) {
    formpack::VectorData data;
    data.shapes = shapes;
    data.frames = {{{0, 40 * kUnits, 0, 40 * kUnits}, items}};
    data.bounds = {0, 40 * kUnits, 0, 40 * kUnits};
    formpack::Sprite sprite;
    sprite.name = "spr_vector";
    sprite.extended = true;
    sprite.kind = SPRITE_VECTOR;
    sprite.kindData = formpack::BuildVectorData(data);
    return SpriteFile({sprite});
}

class GlVectorTest : public SpriteDrawFixture<GlTextureTest> {
protected:
    // Draws sprite 0 at (0, 0) on black and reads the 40 x 40 target back.
    std::vector<uint32_t> DrawnPixels() {
        Open(0, 40, 40);
        EXPECT_TRUE(Start_Frame());
        GR_D3D_Clear(0xFF000000u, 1.0f, 0, 7);
        Sprite_Get(0)->Draw(0, 0, 0);
        EXPECT_TRUE(End_Frame(true));
        return ReadBackBuffer(g_D3D.device);
    }

    // Rows top..bottom show the colour (0xRRGGBB, each channel on or off) in columns
    // left..right - 1 and black elsewhere. The item colour's 8-bit arithmetic takes a full
    // channel to 254, so "on" is anything from 0xF0.
    static void ExpectRows(const std::vector<uint32_t>& pixels, int top, int bottom, uint32_t colour,
                           int left, int right) {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inside = x >= left && x < right;
                const uint32_t p = pixels[size_t(y * 40 + x)];
                uint32_t seen = 0;
                for (int shift : {0, 8, 16}) seen |= (p >> shift & 0xFF) >= 0xF0 ? 0xFFu << shift : 0;
                const bool clean = [&] {
                    for (int shift : {0, 8, 16})
                        if ((p >> shift & 0xFF) != 0 && (p >> shift & 0xFF) < 0xF0) return false;
                    return true;
                }();
                EXPECT_TRUE(clean && seen == (inside ? colour : 0u))
                    << std::hex << p << " at " << std::dec << x << "," << y;
            }
    }
};

TEST_F(GlVectorTest, ARedSquareMaskedToItsLeftHalfIsRedOnlyThere) {
    ASSERT_TRUE(
        Load(VectorFile({Rectangle(1, 10, 10, 20, 30, 0xFF0000FF), Rectangle(2, 10, 10, 30, 30, 0xFFFF0000)},
                        {Item(0, 1, 2), Item(1, 2)})));
    ASSERT_EQ(Sprite_Get(0)->m_kind, SPRITE_VECTOR);
    const std::vector<uint32_t> pixels = DrawnPixels();
    ExpectRows(pixels, 10, 30, 0xFF0000u, 10, 20);
    ExpectRows(pixels, 0, 10, 0, 0, 0);
    ExpectRows(pixels, 30, 40, 0, 0, 0);
}

TEST_F(GlVectorTest, NestedMasksClipToBothThenToTheOuterOneThenNotAtAll) {
    // Mask A (x 10..25) holds to depth 5, mask B (x 15..30) to depth 3: the red band (depth 3)
    // shows where both are, the green band (depth 4) where A is, the blue band (depth 6)
    // everywhere.
    ASSERT_TRUE(
        Load(VectorFile({Rectangle(1, 10, 0, 25, 40, 0xFFFFFFFF), Rectangle(2, 15, 0, 30, 40, 0xFFFFFFFF),
                         Rectangle(3, 5, 5, 35, 15, 0xFFFF0000), Rectangle(4, 5, 15, 35, 25, 0xFF00FF00),
                         Rectangle(5, 5, 25, 35, 35, 0xFF0000FF)},
                        {Item(0, 1, 5), Item(1, 2, 3), Item(2, 3), Item(3, 4), Item(4, 6)})));
    const std::vector<uint32_t> pixels = DrawnPixels();
    ExpectRows(pixels, 5, 15, 0xFF0000u, 15, 25);
    ExpectRows(pixels, 15, 25, 0x00FF00u, 10, 25);
    ExpectRows(pixels, 25, 35, 0x0000FFu, 5, 35);
}

TEST_F(GlVectorTest, TheMasksLeaveTheStencilAndWritesAsTheyFoundThem) {
    ASSERT_TRUE(
        Load(VectorFile({Rectangle(1, 10, 10, 20, 30, 0xFF0000FF), Rectangle(2, 10, 10, 30, 30, 0xFFFF0000)},
                        {Item(0, 1, 2), Item(1, 2)})));
    DrawnPixels();
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_STENCILENABLE), 0u);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_COLORWRITEENABLE),
              GPU_RenderStateDefaults[GPU_RS_COLORWRITEENABLE]);
}

class VectorTest : public SpriteDrawFixture<TextureTest> {};

TEST_F(VectorTest, IndicesOutsideTheirArraysRefuseTheSprite) {
    struct Case {
        const char* name;
        void (*spoil)(formpack::VectorPart&);
    } cases[] = {
        {"triangle past the vertices", [](formpack::VectorPart& p) { p.fillTriangles[2] = 4; }},
        {"negative triangle index", [](formpack::VectorPart& p) { p.fillTriangles[0] = -1; }},
        {"edge past the normals",
         [](formpack::VectorPart& p) {
             p.fillEdges = {0, 3};
             p.fillNormals = {0, 1, 0, 1};
         }},
    };
    for (const Case& c : cases) {
        formpack::VectorShape shape = Rectangle(1, 0, 0, 10, 10, 0xFFFFFFFF);
        c.spoil(shape.subShapes[0].parts[0]);
        const formpack::FormFile file = VectorFile({shape}, {Item(0, 1)});
        EXPECT_FALSE(Load(file)) << c.name;
        Form_Free();
        Sprite_FreeAll();
    }
    ASSERT_TRUE(Load(VectorFile({Rectangle(1, 0, 0, 10, 10, 0xFFFFFFFF)}, {Item(0, 1)})));
    EXPECT_EQ(Sprite_Get(0)->m_width, 40);
}

TEST_F(VectorTest, AntiAliasingAddsTwoTrianglesPerFringeEdge) {
    formpack::VectorShape shape = Rectangle(1, 0, 0, 10, 10, 0xFFFFFFFF);
    shape.subShapes[0].parts[0].fillEdges = {0, 1, 1, 2, 2, 3, 3, 0};
    shape.subShapes[0].parts[0].fillNormals = {-1, -1, 1, -1, 1, 1, -1, 1};
    ASSERT_TRUE(Load(VectorFile({shape}, {Item(0, 1)})));
    OpenInFrame();
    CSprite* sprite = Sprite_Get(0);
    const VectorItem& item = sprite->m_vectorFrames->frames[0].items[0];
    EXPECT_EQ(sprite->DrawVectorItem(item, Matrix_Identity, Matrix_Identity, 0xFFFFFFFF, 0x00FFFFFF, false),
              2);
    EXPECT_EQ(sprite->DrawVectorItem(item, Matrix_Identity, Matrix_Identity, 0xFFFFFFFF, 0x00FFFFFF, true),
              10);
}

// ---- skeletons -------------------------------------------------------------------------------

const char* const kAtlas =
    "\npage.png\nsize: 16,16\nformat: RGBA8888\nfilter: Nearest,Nearest\nrepeat: none\n"
    "sq\n  rotate: false\n  xy: 0, 0\n  size: 10, 10\n  orig: 10, 10\n  offset: 0, 0\n  index: -1\n";

// A root with a box of 20 x 20 around it and an arm whose 10 x 10 square reaches out along
// its x axis; "spin" turns the arm from 0 to 90 degrees in one second, "still" lasts no time.
const char* const kJson = R"({
  "bones": [{"name": "root"}, {"name": "arm", "parent": "root"}],
  "slots": [{"name": "s", "bone": "arm", "attachment": "sq"},
            {"name": "box", "bone": "root", "attachment": "hit"},
            {"name": "empty", "bone": "root"}],
  "skins": {"default": {"s": {"sq": {"x": 5, "width": 10, "height": 10}},
                        "box": {"hit": {"type": "boundingbox",
                                        "vertices": [-10, -10, 10, -10, 10, 10, -10, 10]}}}},
  "animations": {
    "spin": {"bones": {"arm": {"rotate": [{"time": 0, "angle": 0}, {"time": 1, "angle": 90}]}}},
    "still": {"slots": {"s": {"color": [{"time": 0, "color": "ff000080"}]}}}
  }
})";

formpack::FormFile SkeletonFile() {
    formpack::Sprite sprite;
    sprite.name = "spr_skeleton";
    sprite.extended = true;
    sprite.kind = SPRITE_SKELETON;
    const std::vector<uint8_t> png = formpack::EncodePng(16, 16, std::vector<uint8_t>(16 * 16 * 4, 0xFF));
    sprite.kindData = formpack::BuildSkeletonBlock(kJson, kAtlas, png, 16, 16);
    sprite.precise = true;
    formpack::Sprite bitmap;
    bitmap.name = "spr_plain";
    return SpriteFile({sprite, bitmap});
}

// The corner of a point (x, y) of the data's y-up space turned by the angle, placed at
// (px, py) on the y-down screen.
void ExpectCorner(const float* world, float x, float y, float degrees, float px, float py) {
    const double r = degrees * 3.14159265358979323846 / 180.0;
    EXPECT_NEAR(world[0], px + (x * std::cos(r) - y * std::sin(r)), 1e-4);
    EXPECT_NEAR(world[1], py - (x * std::sin(r) + y * std::cos(r)), 1e-4);
}

class SkeletonTest : public SpriteDrawFixture<TextureTest> {
protected:
    void SetUp() override {
        SpriteDrawFixture::SetUp();
        static const bool registered = (InitSkeletonFunctions(), true);
        (void)registered;
        m_hooks = InstanceWorld();
        InstanceWorldHooks hooks = m_hooks;
        hooks.frameRate = [] { return 30.0; };
        InstanceWorld_Install(&hooks);
        OpenInFrame();
        ASSERT_TRUE(Load(SkeletonFile()));
        m_asset = Skeleton_AssetOf(0);
        ASSERT_NE(m_asset, nullptr);
    }
    void TearDown() override {
        InstanceWorld_Install(&m_hooks);
        SpriteDrawFixture::TearDown();
    }

    static void ArmCorners(const CSkeletonInstance& state, float out[8]) {
        const Skeleton& skeleton = *state.GetSkeleton();
        skeleton.ComputeRegionVertices(skeleton.slots[0], *skeleton.slots[0].attachment, out);
    }

    InstanceWorldHooks m_hooks{};
    CSkeletonAsset* m_asset = nullptr;
};

TEST_F(SkeletonTest, TheBlockReadsItsBonesSlotsSkinsAndAnimations) {
    EXPECT_EQ(Sprite_Get(0)->m_frameCount, SPRITE_SKELETON_FRAMES);
    const SkeletonData* data = m_asset->Data();
    ASSERT_EQ(data->bones.size(), 2u);
    EXPECT_EQ(data->slots.size(), 3u);
    ASSERT_EQ(data->animations.size(), 2u);
    EXPECT_FLOAT_EQ(data->animations[0].duration, 1.0f);
    EXPECT_FLOAT_EQ(data->animations[1].duration, 0.0f);
    EXPECT_EQ(data->skins[size_t(data->defaultSkin)].name, "default");
}

TEST_F(SkeletonTest, HalfASecondOfTheSpinPutsTheSquareAtFortyFiveDegrees) {
    CSkeletonInstance state(m_asset);
    state.UpdateByTime(0.5f, 100, 50, 1, 1, 0);
    float corners[8];
    ArmCorners(state, corners);
    const float local[4][2] = {{0, -5}, {0, 5}, {10, 5}, {10, -5}};
    for (int i = 0; i < 4; ++i) ExpectCorner(corners + i * 2, local[i][0], local[i][1], 45, 100, 50);
}

TEST_F(SkeletonTest, ImageIndexFifteenAtThirtyFramesASecondPosesAtHalfASecond) {
    CSkeletonInstance state(m_asset);
    state.Update(15, 100, 50, 1, 1, 0, nullptr);
    EXPECT_NEAR(state.GetSkeleton()->bones[1].rotation, 45.0f, 1e-4);
    float corners[8];
    ArmCorners(state, corners);
    ExpectCorner(corners + 4, 10, 5, 45, 100, 50);
    // 15 -> 28 -> 2 wraps the 30-index cycle: 13 and then 4 more thirtieths.
    state.Update(28, 100, 50, 1, 1, 0, nullptr);
    state.Update(2, 100, 50, 1, 1, 0, nullptr);
    EXPECT_NEAR(state.State()->Track(0)->time, 32.0f / 30.0f, 1e-5);
    // A new position at the same index re-poses without advancing.
    state.Update(2, 120, 50, 1, 1, 0, nullptr);
    EXPECT_NEAR(state.State()->Track(0)->time, 32.0f / 30.0f, 1e-5);
    EXPECT_NEAR(state.GetSkeleton()->bones[0].worldX, 120.0f, 1e-4);
}

TEST_F(SkeletonTest, AnAnimationOfNoDurationNeverAdvancesButFollowsThePlacement) {
    CSkeletonInstance state(m_asset);
    state.SetAnimation("still");
    state.Update(7, 10, 20, 2, 2, 30, nullptr);
    state.UpdateByTime(3.0f, 10, 20, 2, 2, 30);
    EXPECT_FLOAT_EQ(state.State()->Track(0)->time, 0.0f);
    EXPECT_NEAR(state.GetSkeleton()->bones[0].worldX, 10.0f, 1e-5);
    EXPECT_NEAR(state.GetSkeleton()->bones[0].WorldScaleX(), 2.0f, 1e-5);
    EXPECT_NEAR(state.GetSkeleton()->slots[0].colour.a, 128.0f / 255.0f, 1e-5);
}

TEST_F(SkeletonTest, TheBoundingSquareAnswersPointAndSegmentTests) {
    CSkeletonInstance state(m_asset);
    int32_t box[4];
    ASSERT_TRUE(state.GetBounds(box, 0, 50, 50, 1, 1, 0));
    EXPECT_EQ(std::vector<int32_t>(box, box + 4), (std::vector<int32_t>{40, 40, 60, 60}));
    struct Point {
        float x, y;
        bool inside;
    } points[] = {{50, 50, true}, {59.9f, 40.1f, true}, {60.5f, 50, false}, {50, 39, false}, {25, 25, false}};
    for (const Point& p : points)
        EXPECT_EQ(state.CollidePoint(0, 50, 50, 1, 1, 0, p.x, p.y), p.inside) << p.x << "," << p.y;
    struct Segment {
        float x1, y1, x2, y2;
        bool crosses;
    } segments[] = {
        {30, 50, 70, 50, true},   // straight through
        {30, 45, 50, 45, true},   // into it through the left edge
        {45, 45, 55, 55, false},  // wholly inside: crosses no edge
        {30, 30, 30, 70, false},  // beside it
        {30, 75, 75, 30, true},   // across the bottom-right corner
        {50, 75, 75, 50, false},  // past the corner
    };
    for (const Segment& s : segments)
        EXPECT_EQ(state.CollideLine(0, 50, 50, 1, 1, 0, s.x1, s.y1, s.x2, s.y2), s.crosses)
            << s.x1 << "," << s.y1 << " " << s.x2 << "," << s.y2;
    EXPECT_TRUE(state.CollideRectangle(0, 50, 50, 1, 1, 0, 55, 55, 70, 70));
    const int32_t ellipse[4] = {58, 45, 70, 55};
    EXPECT_TRUE(state.CollideEllipse(0, 50, 50, 1, 1, 0, ellipse));
    const int32_t flat[4] = {45, 50, 55, 50};  // no height: only its centre line
    EXPECT_TRUE(state.CollideEllipse(0, 50, 50, 1, 1, 0, flat));
}

TEST_F(SkeletonTest, InstanceCollisionsGoThroughTheBoundingPolygons) {
    const WorldServices saved = World();
    Skeleton_InstallHooks();
    CInstance self(50, 50, 100001, -1, false);
    self.sprite_index = 0;
    self.skeleton = new CSkeletonInstance(m_asset);
    self.boxDirty = 1;
    EXPECT_TRUE(self.CollisionPoint(50, 50, true));
    EXPECT_EQ(std::vector<int32_t>({self.bbox_left, self.bbox_top, self.bbox_right, self.bbox_bottom}),
              (std::vector<int32_t>{40, 40, 60, 60}));
    EXPECT_TRUE(self.CollisionLine(30, 50, 70, 50, true));
    // Inside the box but across no edge of the square: the polygons decide, not the box.
    EXPECT_FALSE(self.CollisionLine(45, 45, 55, 55, true));
    EXPECT_TRUE(self.CollisionLine(45, 45, 55, 55, false));
    EXPECT_FALSE(self.CollisionRectangle(44, 44, 56, 56, true));
    delete self.skeleton;
    self.skeleton = nullptr;
    World_InstallServices(nullptr);
    World_InstallServices(&saved);
}

TEST_F(SkeletonTest, APoseOutlivingItsSpriteIsReleasedWithIt) {
    CSkeletonInstance state(m_asset);
    CSkeletonInstance copy(nullptr);
    copy.CopyFrom(state);
    ASSERT_NE(copy.GetSkeleton(), nullptr);
    ASSERT_TRUE(Sprite_Delete(0));
    for (CSkeletonInstance* s : {&state, &copy}) {
        EXPECT_EQ(s->GetSkeleton(), nullptr);
        s->Update(3, 10, 10, 1, 1, 0, nullptr);
        s->SetAnimation("spin");
        int32_t box[4];
        EXPECT_FALSE(s->GetBounds(box, 3, 10, 10, 1, 1, 0));
        EXPECT_FALSE(s->CollidePoint(3, 10, 10, 1, 1, 0, 10, 10));
        EXPECT_STREQ(s->GetAnimation(0), "");
    }
}

TEST_F(SkeletonTest, MixingBlendsTheOutgoingAnimationIntoTheNextOverTheMixTime) {
    const SkeletonData* data = m_asset->Data();
    Skeleton skeleton(data);
    SkeletonAnimationStateData mixes(data);
    ASSERT_TRUE(mixes.SetMixByName("spin", "still", 0.5f));
    EXPECT_FALSE(mixes.SetMixByName("spin", "nothing", 0.5f));
    SkeletonAnimationState state(&mixes);
    state.SetAnimation(0, data->FindAnimation("spin"), true);
    state.Update(0.5f);
    state.SetAnimation(0, data->FindAnimation("still"), true);
    state.Update(0.25f);
    state.Apply(skeleton);
    // The spin went on to 0.75 s (67.5 degrees); "still" keys no bone, so the arm keeps it.
    EXPECT_NEAR(skeleton.bones[1].rotation, 67.5f, 1e-4);
    // The colour is halfway from white to "still"'s key.
    EXPECT_NEAR(skeleton.slots[0].colour.g, 0.5f, 1e-5);
    state.Update(0.5f);
    EXPECT_EQ(state.Track(0)->previous, nullptr);
}

TEST_F(SkeletonTest, CurvesEaseTheFractionBetweenKeys) {
    const SkeletonCurve linear, stepped{SKELETON_STEPPED},
        straight{SKELETON_BEZIER, 0.25f, 0.25f, 0.75f, 0.75f},
        easeIn{SKELETON_BEZIER, 0.5f, 0.0f, 1.0f, 1.0f};
    EXPECT_FLOAT_EQ(linear.Apply(0.3f), 0.3f);
    EXPECT_FLOAT_EQ(stepped.Apply(0.9f), 0.0f);
    EXPECT_NEAR(straight.Apply(0.3f), 0.3f, 1e-5);
    EXPECT_LT(easeIn.Apply(0.5f), 0.5f);
    EXPECT_NEAR(easeIn.Apply(1.0f), 1.0f, 1e-5);
}

TEST_F(SkeletonTest, BrokenSkeletonDataLeavesTheAssetInvalid) {
    struct Case {
        const char* name;
        std::string json;
    } cases[] = {
        {"not JSON", "{bones"},
        {"no bones", R"({"slots": []})"},
        {"missing region", R"({"bones": [{"name": "r"}], "slots": [{"name": "s", "bone": "r"}],
                              "skins": {"default": {"s": {"nope": {}}}}})"},
        {"mesh index out of range",
         R"({"bones": [{"name": "r"}], "slots": [{"name": "s", "bone": "r"}],
             "skins": {"default": {"s": {"sq": {"type": "mesh", "uvs": [0, 0, 1, 0, 1, 1],
                                               "vertices": [0, 0, 1, 0, 1, 1], "triangles": [0, 1, 3]}}}}})"},
    };
    const std::unique_ptr<SkeletonAtlas> atlas =
        SkeletonAtlas::Parse(kAtlas, int64_t(std::strlen(kAtlas)), "", nullptr, nullptr);
    ASSERT_NE(atlas, nullptr);
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(SkeletonData_Read(c.json.data(), int64_t(c.json.size()), atlas.get(), &error), nullptr)
            << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

TEST_F(SkeletonTest, InstanceBuiltInsDriveTheInstancesSkeleton) {
    CInstance self(0, 0, 100001, -1, false);
    self.sprite_index = 0;
    self.image_index = 4;
    EXPECT_DOUBLE_EQ(Call("skeleton_animation_set", {Text("spin")}, &self).val, 1.0);
    RValue name = Call("skeleton_animation_get", {}, &self);
    EXPECT_STREQ(RValue_IsString(name) ? name.str->text : "", "spin");
    RValue_Release(&name);
    EXPECT_FLOAT_EQ(self.image_index, 0.0f);
    EXPECT_DOUBLE_EQ(Call("skeleton_animation_get_duration", {Text("spin")}, &self).val, 1.0);
    EXPECT_DOUBLE_EQ(Call("skeleton_animation_get_duration", {Text("gone")}, &self).val, 0.0);
    RValue track = Call("skeleton_animation_get_ext", {R(5)}, &self);
    EXPECT_STREQ(track.str->text, "");
    RValue_Release(&track);
    EXPECT_DOUBLE_EQ(Call("skeleton_attachment_set", {Text("s"), R(-1)}, &self).val, 1.0);
    RValue shown = Call("skeleton_attachment_get", {Text("s")}, &self);
    EXPECT_STREQ(shown.str->text, "");
    RValue_Release(&shown);
    Call("skeleton_attachment_set", {Text("s"), Text("sq")}, &self);
    shown = Call("skeleton_attachment_get", {Text("s")}, &self);
    EXPECT_STREQ(shown.str->text, "sq");
    RValue_Release(&shown);

    const int32_t map = DsMap_CreateFromPairs(0);
    EXPECT_DOUBLE_EQ(Call("skeleton_bone_state_get", {Text("arm"), R(map)}, &self).val, 1.0);
    EXPECT_DOUBLE_EQ(Call("skeleton_bone_state_get", {Text("leg"), R(map)}, &self).val, 0.0);
    CDS_Map* m = DS_GetMap(map);
    RValue key = RValue_Undefined();
    RValue_SetString(&key, "parent");
    ASSERT_NE(m->Find(&key), nullptr);
    EXPECT_STREQ(m->Find(&key)->value.str->text, "root");
    RValue_Release(&key);

    CInstance plain(0, 0, 100002, -1, false);
    plain.sprite_index = 1;
    EXPECT_DOUBLE_EQ(Call("skeleton_animation_set", {Text("spin")}, &plain).val, 0.0);
    EXPECT_DOUBLE_EQ(Call("skeleton_skin_set", {Text("default")}, &plain).val, -1.0);
    delete self.skeleton;
    self.skeleton = nullptr;
}

TEST_F(SkeletonTest, ListBuiltInsFillTheListOrSayWhatIsWrong) {
    const int32_t list = DsList_Create();
    EXPECT_DOUBLE_EQ(CallReal("skeleton_animation_list", {R(0), R(list)}), -1.0);
    EXPECT_DOUBLE_EQ(CallReal("skeleton_slot_data", {R(0), R(list)}), -1.0);
    CDS_List* l = g_DsListTable.Get(list);
    ASSERT_EQ(l->Size(), 5);
    EXPECT_STREQ(l->GetItem(1)->str->text, "still");
    CDS_Map* slot = DS_GetMap(int32_t(l->GetItem(4)->val));
    ASSERT_NE(slot, nullptr);
    RValue key = RValue_Undefined();
    RValue_SetString(&key, "attachment");
    EXPECT_STREQ(slot->Find(&key)->value.str->text, "(none)");
    RValue_Release(&key);
    DS_DestroyList(list);
    EXPECT_TRUE(Reports().empty());
    CallReal("skeleton_skin_list", {R(0), R(list)});
    CallReal("skeleton_animation_list", {R(1), R(list)});
    EXPECT_DOUBLE_EQ(CallReal("draw_skeleton", {R(1), Text(""), Text(""), R(0), R(0), R(0), R(1), R(1), R(0),
                                                R(0xFFFFFF), R(1)}),
                     -1.0);
    EXPECT_EQ(Reports(), (std::vector<std::string>{"Data structure with index does not exist.",
                                                   "skeleton_animation_list: Sprite is not a Skeleton"}));
}

TEST_F(SkeletonTest, DrawingPutsTheSquaresTwoTrianglesInTheBatch) {
    s_batches.clear();
    EXPECT_DOUBLE_EQ(CallReal("draw_skeleton_time", {R(0), Text("spin"), Text(""), R(0.5), R(100), R(50),
                                                     R(1), R(1), R(0), R(0x0000FF), R(2)}),
                     -1.0);
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    // Alpha 2 is clamped to opaque; the colour's red stays, the others go.
    EXPECT_EQ(v[0].colour, 0xFFFF0000u);
    EXPECT_NEAR(v[0].x, 100 - 5 * std::sin(0.7853982), 1e-3);  // the top-left corner, (0, 5) turned
}

}  // namespace
}  // namespace spritetest
