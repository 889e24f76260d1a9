// Run-time sprites: frames cut from PNG files in the bundle, images from a local HTTP server
// delivered by the image-loaded event, copies, merges and deletes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/Function_Sprite_Resource.h"
#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "assets/Sprite_Main.h"
#include "assets/Sprite_Skeleton.h"
#include "assets/Sprite_Vector.h"
#include "graphics/TBitmap.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "io/HttpTestSupport.h"
#include "io/LoadSave.h"

namespace {

std::string MakeTempDir() {
    const char* base = std::getenv("HV_TEST_TMP");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/rtsprite-XXXXXX";
    std::system(("mkdir -p '" + std::string(base && *base ? base : "/tmp") + "'").c_str());
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

// A width x height PNG whose column x has alpha 0 when x % 8 == 0, else opaque red.
void WriteStrip(const std::string& path, int32_t width, int32_t height) {
    std::vector<uint8_t> rgba;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t alpha = x % 8 == 0 ? 0 : 255;
            rgba.insert(rgba.end(), {255, 0, 0, alpha});
        }
    ASSERT_TRUE(write_png_file(path.c_str(), rgba.data(), width, height));
}

class SpriteRunTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        Sprite_Init();
        m_dir = MakeTempDir();
        ASSERT_FALSE(m_dir.empty());
        LoadSave_SetBundleFolder(m_dir.c_str());
        LoadSave_SetSaveArea((m_dir + "/save").c_str());
        WriteStrip(m_dir + "/strip.png", 128, 32);
        if (FILE* f = std::fopen((m_dir + "/broken.png").c_str(), "wb")) {
            std::fputs("not a picture", f);
            std::fclose(f);
        }
    }
    void TearDown() override {
        Async_FreeAll();
        Async_SetEventPerformer(nullptr);
        Sprite_FreeAll();
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    std::string m_dir;
};

SpriteLoadOptions Frames(int32_t frames, bool precise = false) {
    SpriteLoadOptions o;
    o.frames = frames;
    o.precise = precise;
    return o;
}

// Transparent with the file's own alpha.
SpriteLoadOptions Transparent(int32_t frames, bool precise) {
    SpriteLoadOptions o = Frames(frames, precise);
    o.removeBackground = true;
    o.keepAlpha = true;
    return o;
}

TEST_F(SpriteRunTimeTest, AddCutsTheFileIntoFramesAndFailsWithoutASlotLeft) {
    const int32_t four = Sprite_Add("strip.png", Frames(4));
    ASSERT_GE(four, 0);
    const CSprite* sprite = Sprite_Get(four);
    EXPECT_EQ(sprite->m_frameCount, 4);
    EXPECT_EQ(sprite->m_width, 32);
    EXPECT_EQ(sprite->m_height, 32);
    EXPECT_STREQ(Sprite_GetName(four), ("__newsprite" + std::to_string(four)).c_str());
    EXPECT_EQ(Sprite_Find(Sprite_GetName(four)), four);
    // Not transparent: the box is the whole frame.
    EXPECT_EQ(sprite->m_box.left, 0);
    EXPECT_EQ(sprite->m_box.right, 31);

    const int32_t one = Sprite_Add("strip.png", Frames(0));
    ASSERT_GE(one, 0);
    EXPECT_EQ(Sprite_Get(one)->m_frameCount, 1);
    EXPECT_EQ(Sprite_Get(one)->m_width, 128);

    const int32_t count = Sprite_Count();
    EXPECT_EQ(Sprite_Add("missing.png", Frames(1)), -1);
    EXPECT_EQ(Sprite_Add("broken.png", Frames(1)), -1);
    EXPECT_EQ(Sprite_Add(nullptr, Frames(1)), -1);
    EXPECT_EQ(Sprite_Count(), count);
}

TEST_F(SpriteRunTimeTest, PreciseSpritesGetMasksFromAlphaAndCollideThroughThem) {
    const int32_t index = Sprite_Add("strip.png", Transparent(4, true));
    CSprite* sprite = Sprite_Get(index);
    ASSERT_EQ(sprite->m_maskCount, 4);
    // The box is the union of the frames' opaque pixels: columns 1..31 of a 32-wide frame.
    EXPECT_EQ(sprite->m_box.left, 1);
    EXPECT_EQ(sprite->m_box.right, 31);
    EXPECT_EQ(Sprite_Get(Sprite_Add("strip.png", Transparent(4, false)))->m_maskCount, 0);
    const int32_t box[4] = {0, 0, 31, 31};
    EXPECT_FALSE(sprite->CollisionPoint(2, box, 0, 0, 1, 1, 0, 0, 5));  // column 0 is clear
    EXPECT_TRUE(sprite->CollisionPoint(2, box, 0, 0, 1, 1, 0, 1, 5));
    sprite->SetPrecise(false);
    EXPECT_EQ(sprite->m_maskCount, 0);
}

TEST_F(SpriteRunTimeTest, AlphaVariantsKeepThePicturesAlphaAndTakeFilesOnly) {
    const int32_t index = Sprite_AddAlpha("strip.png", 4, true, false, 2, 3);
    ASSERT_GE(index, 0);
    const CSprite* sprite = Sprite_Get(index);
    EXPECT_EQ(sprite->m_frameCount, 4);
    EXPECT_TRUE(sprite->m_transparent);
    EXPECT_FALSE(sprite->m_smooth);
    EXPECT_FALSE(sprite->m_preload);
    EXPECT_EQ(sprite->m_originX, 2);
    EXPECT_EQ(sprite->m_originY, 3);
    EXPECT_EQ(sprite->m_box.left, 1);  // column 0 of each frame is clear in the file
    EXPECT_EQ(sprite->m_bitmaps[0]->GetPixels()[0] >> 24, 0u);
    EXPECT_EQ(sprite->m_bitmaps[0]->GetPixels()[1], 0xFFFF0000u);
    EXPECT_STREQ(Sprite_GetName(index), ("__newsprite" + std::to_string(index)).c_str());

    const int32_t count = Sprite_Count();
    for (const char* name : {"missing.png", "broken.png", "http://127.0.0.1:1/a.png"})
        EXPECT_EQ(Sprite_AddAlpha(name, 1, false, false, 0, 0), -1) << name;
    EXPECT_EQ(Sprite_AddAlpha(nullptr, 1, false, false, 0, 0), -1);
    EXPECT_EQ(Sprite_Count(), count);

    ASSERT_TRUE(Sprite_ReplaceAlpha(index, "strip.png", 1, false, true, 0, 0));
    EXPECT_EQ(Sprite_Get(index)->m_frameCount, 1);
    EXPECT_EQ(Sprite_Get(index)->m_width, 128);
    EXPECT_TRUE(Sprite_Get(index)->m_preload);
    EXPECT_STREQ(Sprite_Get(index)->GetName(), Sprite_GetName(index));
    EXPECT_FALSE(Sprite_ReplaceAlpha(index, "missing.png", 1, false, true, 0, 0));
    EXPECT_FALSE(Sprite_ReplaceAlpha(index, "http://127.0.0.1:1/a.png", 1, false, true, 0, 0));
    EXPECT_FALSE(Sprite_ReplaceAlpha(count, "strip.png", 1, false, true, 0, 0));
    EXPECT_EQ(Sprite_Get(index)->m_width, 128);
}

// Vector data as the little-endian words of the format.
struct VectorWords {
    std::vector<int32_t> words;
    VectorWords& operator<<(int32_t w) {
        words.push_back(w);
        return *this;
    }
    VectorWords& F(float f) {
        int32_t w;
        std::memcpy(&w, &f, 4);
        return *this << w;
    }
    void Write(const std::string& path, size_t cut = 0) const {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(words.data(), 4, words.size() - cut, f);
        std::fclose(f);
    }
};

// Version 6: one shape (a solid and a two-stop gradient fill, one line colour, one part with
// every array), one 2 x 1 raw bitmap, two frames of one item and one 4 x 2 mask. Bounds
// (20, 60)..(100, 200) data units are (1, 3)..(5, 10) pixels.
VectorWords VectorFile(int32_t maskCount) {
    VectorWords v;
    v << int32_t(0x80000000u) << 6;        // no JPEG tables, version 6
    v << 2;                                // shapes
    v << 1 << 7 << 0 << 0 << 0 << 0 << 1;  // shape 7, four kept words, one sub-shape
    v << 2 << 1 << 1;                      // fill styles, line styles, parts
    v << 1 << int32_t(0x80FF2010u);        // solid: bytes 10 20 FF 80
    v << 2 << 0;                           // linear gradient
    v.F(1).F(0).F(0).F(0).F(1).F(0) << 0 << 0 << 0 << 2;
    v << 0 << int32_t(0xFF000000u) << 255 << int32_t(0xFFFFFFFFu);
    v << int32_t(0xFF0000FFu);  // line colour: red
    v << 0 << 0 << 0 << 3 << 0 << 1 << 0 << 0 << 2 << 3 << 0 << 0;
    v.F(0).F(0).F(20).F(0).F(0).F(20);          // fill vertices
    v << 0 << 1 << 2;                           // one triangle
    v << 0 << 1 << 1 << 2;                      // two fringe edges
    v.F(0).F(-1).F(1).F(0).F(0).F(1);           // three normals
    v << 2 << 9 << 6 << 2 << 1 << 8 << 0 << 0;  // bitmap 9: raw, 2 x 1
    v << int32_t(0xFF0000FFu) << int32_t(0x8000FF00u);
    v << 0 << 2;  // frame header: kept, two frames
    v.F(20).F(100).F(60).F(200) << maskCount << 4 << 2;
    for (int frame = 0; frame < 2; ++frame) {
        v << 1;
        v.F(20).F(100).F(60).F(200);
        v << 1 << 0 << frame + 1 << 0 << 256 << 256 << 256 << 256 << 0 << 0 << 0 << 0;
        v.F(20).F(100).F(60).F(200).F(1).F(0).F(0).F(0).F(1).F(0) << 0 << 0 << 0;
    }
    for (int m = 0; m < maskCount; ++m) v << 3 << int32_t(0x00008280u);  // 1, then 1 x 3, then 0
    return v;
}

TEST_F(SpriteRunTimeTest, SkeletonFilesLoadFromTheJsonBesideItsAtlas) {
    auto write = [&](const std::string& name, const std::string& text) {
        if (FILE* f = std::fopen((m_dir + "/" + name).c_str(), "wb")) {
            std::fputs(text.c_str(), f);
            std::fclose(f);
        }
    };
    // The atlas gives no page size: the page takes the picture's.
    write("skel.atlas", "strip.png\nsq\n  xy: 0, 0\n  size: 8, 8\n");
    write("skel.json",
          R"({"bones": [{"name": "root"}], "slots": [{"name": "s", "bone": "root", "attachment": "sq"}],
                           "skins": {"default": {"s": {"sq": {}}}}, "animations": {"idle": {}}})");
    write("bad.json", "{\"bones\": 3}");
    const int32_t index = Sprite_Add("skel.json", Frames(1));
    ASSERT_GE(index, 0);
    const CSprite* sprite = Sprite_Get(index);
    EXPECT_EQ(sprite->m_kind, SPRITE_SKELETON);
    EXPECT_EQ(sprite->m_frameCount, SPRITE_SKELETON_FRAMES);
    ASSERT_NE(sprite->m_skeleton, nullptr);
    EXPECT_TRUE(sprite->m_skeleton->IsValid());
    EXPECT_EQ(sprite->m_skeleton->Data()->animations.front().name, "idle");
    // Data that does not read is tried as a picture, which it is not either.
    EXPECT_EQ(Sprite_Add("bad.json", Frames(1)), -1);
}

TEST_F(SpriteRunTimeTest, VectorFilesLoadTheirShapesFramesAndMasks) {
    VectorFile(1).Write(m_dir + "/shape.pws");
    const int32_t index = Sprite_Add("shape.pws", Frames(1));
    ASSERT_GE(index, 0);
    const CSprite* sprite = Sprite_Get(index);
    EXPECT_EQ(sprite->m_kind, SPRITE_VECTOR);
    EXPECT_EQ(sprite->m_frameCount, 2);
    EXPECT_EQ(sprite->m_width, 4);  // the mask's size
    EXPECT_EQ(sprite->m_height, 2);
    EXPECT_TRUE(sprite->m_precise);
    EXPECT_EQ(sprite->m_box.left, 1);
    EXPECT_EQ(sprite->m_box.top, 3);
    EXPECT_EQ(sprite->m_box.right, 5);
    EXPECT_EQ(sprite->m_box.bottom, 10);
    EXPECT_EQ(sprite->m_boundingRadius, 11);  // corner (5, 10) from origin (0, 0)
    EXPECT_STREQ(sprite->GetName(), Sprite_GetName(index));
    ASSERT_EQ(sprite->m_maskCount, 1);
    const std::vector<uint8_t> mask(sprite->m_masks[0].data, sprite->m_masks[0].data + 8);
    EXPECT_EQ(mask, (std::vector<uint8_t>{1, 1, 1, 1, 0, 0, 0, 0}));

    ASSERT_EQ(sprite->m_vectorShapeCount, 2);
    const VectorShape* shape = sprite->m_vectorShapes[0];
    ASSERT_EQ(shape->subShapeCount, 1);
    const VectorSubShape& sub = shape->subShapes[0];
    EXPECT_EQ(sub.fillStyles[0]->colour, 0x801020FFu);
    EXPECT_EQ(sub.lineColours[0], 0xFFFF0000u);
    const VectorPart& part = sub.parts[0];
    EXPECT_EQ(part.fillVertexCount, 3);
    EXPECT_EQ(part.fillEdgeCount, 2);
    EXPECT_EQ(part.fillNormalCount, 3);
    EXPECT_EQ(part.fillTriangles[2], 2);
    EXPECT_FLOAT_EQ(part.fillNormals[1], -1);
    // Stops at 0 and 255 looked up at 128: d = 128, so each byte is (b0 x 128) >> 8 + (b1 x 128) >> 8.
    EXPECT_EQ(VectorGradient_Lookup(sub.fillStyles[1], 128), 0xFE7F7F7Fu);
    EXPECT_NE(sub.fillStyles[1]->textureId, -1);
    EXPECT_EQ(sprite->m_vectorShapes[1]->width, 2);
    EXPECT_NE(sprite->m_vectorShapes[1]->textureId, -1);
    ASSERT_EQ(sprite->m_vectorFrames->frameCount, 2);
    const VectorItem& item = sprite->m_vectorFrames->frames[1].items[0];
    EXPECT_EQ(item.depth, 2);
    EXPECT_FLOAT_EQ(item.maxY, 10);
    EXPECT_FLOAT_EQ(item.matrix[0], 1);

    // Without masks the size is the bounds' far corner and the sprite is not precise.
    VectorFile(0).Write(m_dir + "/plain.PWS");
    const CSprite* plain = Sprite_Get(Sprite_Add("plain.PWS", Frames(1)));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->m_width, 5);
    EXPECT_EQ(plain->m_height, 10);
    EXPECT_FALSE(plain->m_precise);
    EXPECT_EQ(plain->m_maskCount, 0);

    // Cut short anywhere, the file fails and its slot is given up.
    const int32_t count = Sprite_Count();
    const VectorWords whole = VectorFile(1);
    for (size_t cut : {size_t(1), size_t(5), size_t(30), whole.words.size() - 3}) {
        whole.Write(m_dir + "/short.pws", cut);
        EXPECT_EQ(Sprite_Add("short.pws", Frames(1)), -1) << cut;
    }
    EXPECT_EQ(Sprite_Count(), count);
}

TEST_F(SpriteRunTimeTest, DuplicateAssignMergeAndDelete) {
    const int32_t source = Sprite_Add("strip.png", Frames(4));
    const int32_t copy = Sprite_Duplicate(source);
    ASSERT_GE(copy, 0);
    EXPECT_NE(copy, source);
    EXPECT_EQ(Sprite_Get(copy)->m_frameCount, 4);
    EXPECT_STREQ(Sprite_GetName(copy), ("__newsprite" + std::to_string(copy)).c_str());
    EXPECT_EQ(Sprite_Duplicate(-1), -1);

    const int32_t wide = Sprite_Add("strip.png", Frames(1));
    ASSERT_TRUE(Sprite_Assign(wide, source));
    EXPECT_EQ(Sprite_Get(wide)->m_frameCount, 4);
    EXPECT_EQ(Sprite_Get(wide)->m_index, wide);
    EXPECT_STREQ(Sprite_Get(wide)->GetName(), Sprite_GetName(wide));
    EXPECT_FALSE(Sprite_Assign(wide, 999));

    // A 128 x 32 single frame merged into a 32 x 32 sprite is shrunk to 32 x 32.
    const int32_t whole = Sprite_Add("strip.png", Frames(1));
    ASSERT_TRUE(Sprite_Get(copy)->Merge(*Sprite_Get(whole)));
    EXPECT_EQ(Sprite_Get(copy)->m_frameCount, 5);
    TBitmap* frame = Sprite_Get(copy)->GetFrameBitmap(4);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetWidth(), 32);
    delete frame;
    EXPECT_EQ(Sprite_Get(copy)->GetFrameBitmap(5), nullptr);

    EXPECT_TRUE(Sprite_Delete(copy));
    EXPECT_FALSE(Sprite_Exists(copy));
    EXPECT_EQ(Sprite_Find(("__newsprite" + std::to_string(copy)).c_str()), -1);
    EXPECT_FALSE(Sprite_Delete(copy));
}

std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
}

RValue Text(const char* text) {
    RValue v = RValue_Undefined();
    RValue_SetString(&v, text);
    return v;
}

// Calls the built-in row of that name as game code would.
RValue Call(const char* name, std::vector<RValue> args) {
    static const bool registered = (InitSpriteResourceFunctions(), true);
    (void)registered;
    RValue result = RValue_Undefined();
    int32_t id = -1;
    const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    EXPECT_NE(row, nullptr) << name;
    if (row) row->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    for (RValue& a : args) RValue_Release(&a);
    return result;
}

double Real(const char* name, std::vector<RValue> args) {
    RValue result = Call(name, std::move(args));
    return result.kind == VALUE_REAL ? result.val : -12345;
}

TEST_F(SpriteRunTimeTest, ResourceBuiltinsReadTheirArgumentsAndAnswerForMissingSprites) {
    Reports().clear();
    RuntimeErrorReporter previous =
        Runtime_SetNonFatalReporter([](const char* m) { Reports().push_back(m); });
    // sprite_add with 6 arguments: neither precise nor preloaded.
    const double index = Real("sprite_add", {Text("strip.png"), RValue_Real(4), RValue_Real(0),
                                             RValue_Real(0), RValue_Real(3), RValue_Real(5)});
    ASSERT_GE(index, 0);
    EXPECT_EQ(Real("sprite_get_number", {RValue_Real(index)}), 4);
    EXPECT_EQ(Real("sprite_get_width", {RValue_Real(index)}), 32);
    EXPECT_EQ(Real("sprite_get_xoffset", {RValue_Real(index)}), 3);
    EXPECT_EQ(Real("sprite_get_yoffset", {RValue_Real(index)}), 5);
    EXPECT_EQ(Real("sprite_get_precise", {RValue_Real(index)}), 0);
    EXPECT_EQ(Real("sprite_get_preload", {RValue_Real(index)}), 0);
    for (const char* query : {"sprite_get_number", "sprite_get_transparent", "sprite_get_bbox_left"})
        EXPECT_EQ(Real(query, {RValue_Real(777)}), -1) << query;
    EXPECT_EQ(Real("sprite_exists", {RValue_Real(777)}), 0);
    RValue name = Call("sprite_get_name", {RValue_Real(777)});
    EXPECT_STREQ(RValue_GetStringText(&name), "<undefined>");
    RValue_Release(&name);

    // sprite_replace with 7 arguments makes the sprite precise and preloaded.
    EXPECT_EQ(Real("sprite_replace", {RValue_Real(index), Text("strip.png"), RValue_Real(2), RValue_Real(0),
                                      RValue_Real(0), RValue_Real(0), RValue_Real(0)}),
              1);
    EXPECT_EQ(Real("sprite_get_number", {RValue_Real(index)}), 2);
    EXPECT_EQ(Real("sprite_get_precise", {RValue_Real(index)}), 1);
    EXPECT_EQ(Real("sprite_replace", {RValue_Real(777), Text("strip.png"), RValue_Real(2), RValue_Real(0),
                                      RValue_Real(0), RValue_Real(0), RValue_Real(0)}),
              -1);

    // A rectangle mask over a manual box.
    Call("sprite_collision_mask",
         {RValue_Real(index), RValue_Real(1), RValue_Real(2), RValue_Real(4), RValue_Real(6), RValue_Real(10),
          RValue_Real(12), RValue_Real(1), RValue_Real(0)});
    EXPECT_EQ(Real("sprite_get_bbox_left", {RValue_Real(index)}), 4);
    EXPECT_EQ(Real("sprite_get_bbox_bottom", {RValue_Real(index)}), 12);
    EXPECT_EQ(Sprite_Get(int32_t(index))->m_maskCount, 2);

    Call("sprite_assign", {RValue_Real(index), RValue_Real(777)});
    Call("sprite_merge", {RValue_Real(777), RValue_Real(index)});
    ASSERT_EQ(Reports().size(), 2u);
    EXPECT_EQ(Reports()[0], "Cannot assign to or from non-existing sprite");
    EXPECT_EQ(Reports()[1], "Cannot merge to or from non-existing sprite");

    const double copy = Real("sprite_duplicate", {RValue_Real(index)});
    EXPECT_EQ(Real("sprite_get_number", {RValue_Real(copy)}), 2);
    Call("sprite_merge", {RValue_Real(copy), RValue_Real(copy)});
    EXPECT_EQ(Real("sprite_get_number", {RValue_Real(copy)}), 4);

    // Saving a frame and the strip writes PNG files of the sprite's size.
    const std::string frame = m_dir + "/frame.png", strip = m_dir + "/strip_out.png";
    Call("sprite_save", {RValue_Real(copy), RValue_Real(1), Text(frame.c_str())});
    Call("sprite_save_strip", {RValue_Real(copy), Text(strip.c_str())});
    for (const auto& [path, width] : {std::pair{frame, 64}, std::pair{strip, 256}}) {
        int64_t size = 0;
        void* bytes = LoadSave_ReadWholeFile(path.c_str(), &size);
        ASSERT_NE(bytes, nullptr) << path;
        int32_t w = 0, h = 0;
        EXPECT_TRUE(PNG_GetSize(bytes, int32_t(size), &w, &h, false));
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, 32);
        MEM_FREE(bytes);
    }
    EXPECT_EQ(Real("sprite_delete", {RValue_Real(copy)}), 1);
    EXPECT_EQ(Real("sprite_delete", {RValue_Real(copy)}), -1);
    Runtime_SetNonFatalReporter(previous);
}

TEST_F(SpriteRunTimeTest, PropertySettersChangeOriginBoxAndPrecision) {
    Reports().clear();
    RuntimeErrorReporter previous =
        Runtime_SetNonFatalReporter([](const char* m) { Reports().push_back(m); });
    const int32_t index = Sprite_Add("strip.png", Frames(4));
    ASSERT_GE(index, 0);
    CSprite* sprite = Sprite_Get(index);
    Call("sprite_set_offset", {RValue_Real(index), RValue_Real(7), RValue_Real(9)});
    EXPECT_EQ(Real("sprite_get_xoffset", {RValue_Real(index)}), 7);
    EXPECT_EQ(Real("sprite_get_yoffset", {RValue_Real(index)}), 9);

    // The box follows the mode; a manual box is taken only in manual mode.
    const SpriteBox automatic = sprite->m_box;
    Call("sprite_set_bbox",
         {RValue_Real(index), RValue_Real(1), RValue_Real(2), RValue_Real(3), RValue_Real(4)});
    EXPECT_EQ(sprite->m_box.left, automatic.left);
    EXPECT_EQ(sprite->m_box.bottom, automatic.bottom);
    Call("sprite_set_bbox_mode", {RValue_Real(index), RValue_Real(2)});
    Call("sprite_set_bbox",
         {RValue_Real(index), RValue_Real(1), RValue_Real(2), RValue_Real(3), RValue_Real(4)});
    EXPECT_EQ(Real("sprite_get_bbox_mode", {RValue_Real(index)}), 2);
    EXPECT_EQ(Real("sprite_get_bbox_left", {RValue_Real(index)}), 1);
    EXPECT_EQ(Real("sprite_get_bbox_bottom", {RValue_Real(index)}), 4);
    Call("sprite_set_bbox_mode", {RValue_Real(index), RValue_Real(3)});
    EXPECT_EQ(Real("sprite_get_bbox_mode", {RValue_Real(index)}), 2);

    Call("sprite_set_precise", {RValue_Real(index), RValue_Real(1)});
    EXPECT_EQ(Real("sprite_get_precise", {RValue_Real(index)}), 1);
    Call("sprite_set_offset", {RValue_Real(777), RValue_Real(1), RValue_Real(1)});
    EXPECT_TRUE(Reports().empty());

    // A vector sprite without masks cannot become precise; leaving it imprecise is fine.
    const int32_t vector = Sprite_CreateEmpty();
    Sprite_Get(vector)->m_kind = SPRITE_VECTOR;
    Sprite_Get(vector)->m_precise = false;
    Call("sprite_set_precise", {RValue_Real(vector), RValue_Real(1)});
    EXPECT_EQ(Real("sprite_get_precise", {RValue_Real(vector)}), 0);
    Call("sprite_set_precise", {RValue_Real(vector), RValue_Real(0)});
    EXPECT_EQ(Reports(), std::vector<std::string>{"sprite_set_precise: can't set precise collision on vector "
                                                  "sprite with no collision masks generated"});
    Sprite_Get(vector)->m_kind = SPRITE_BITMAP;
    Runtime_SetNonFatalReporter(previous);
}

// A static file server on 127.0.0.1 over the test's folder.
class FileServer {
public:
    explicit FileServer(const std::string& dir) {
        m_pipe =
            ::popen(("exec python3 -u -c \"import http.server,functools,socketserver,os,threading;"
                     "H=functools.partial(http.server.SimpleHTTPRequestHandler,directory='" +
                     dir +
                     "');H.log_message=lambda *a:None;s=http.server.ThreadingHTTPServer(('127.0.0.1',0),H);"
                     "print(s.server_address[1],os.getpid(),flush=True);"
                     "threading.Timer(60,lambda:os._exit(0)).start();s.serve_forever()\"")
                        .c_str(),
                    "r");
        if (!m_pipe || std::fscanf(m_pipe, "%d %d", &port, &m_pid) != 2) port = 0;
    }
    ~FileServer() {
        if (m_pid > 0) ::kill(m_pid, SIGKILL);
        if (m_pipe) ::pclose(m_pipe);
    }
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    int port = 0;

private:
    FILE* m_pipe = nullptr;
    int m_pid = 0;
};

TEST_F(SpriteRunTimeTest, AUrlGivesAnEmptySpriteFilledWhenTheImageLoadedEventArrives) {
    setenv("NO_PROXY", "*", 1);
    FileServer server(m_dir);
    ASSERT_NE(server.port, 0);
    httptest::Events().clear();
    Async_SetEventPerformer(httptest::RecordEvent);

    const std::string url = server.Url("/strip.png");
    const int32_t index = Sprite_Add(url.c_str(), Frames(1));
    ASSERT_GE(index, 0);
    EXPECT_EQ(Sprite_Get(index)->m_frameCount, 0);
    const int32_t missing = Sprite_Add(server.Url("/nothing.png").c_str(), Frames(1));

    // Progress events of the transfer may come first; the image-loaded events are the ones read.
    auto loaded = [] {
        std::vector<httptest::Event> out;
        for (const httptest::Event& e : httptest::Events())
            if (e.subtype == 60) out.push_back(e);
        return out;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (loaded().size() < 2 && std::chrono::steady_clock::now() < deadline) {
        httptest::Frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::vector<httptest::Event> events = loaded();
    ASSERT_EQ(events.size(), 2u);
    for (const httptest::Event& event : events) {
        const bool mine = event.values.at("id") == std::to_string(index);
        EXPECT_EQ(event.values.at("filename"), mine ? url : server.Url("/nothing.png"));
        EXPECT_EQ(event.values.at("http_status"), mine ? "200" : "404");
        if (mine) {
            EXPECT_EQ(event.values.at("status"), "0");
        }
    }
    EXPECT_EQ(Sprite_Get(index)->m_frameCount, 1);
    EXPECT_EQ(Sprite_Get(index)->m_width, 128);
    EXPECT_STREQ(Sprite_Get(index)->GetName(), Sprite_GetName(index));
    EXPECT_EQ(Sprite_Get(missing)->m_frameCount, 0);
}

}  // namespace
