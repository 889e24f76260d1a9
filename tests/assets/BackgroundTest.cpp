// Backgrounds: the "BGND" reader over formpack files, the run-time operations of the table, the
// draw_background family in both forms, and the texture and UV built-ins.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SpriteDrawSupport.h"
#include "assets/Background_Main.h"
#include "assets/Function_Asset.h"
#include "assets/Function_Background_Draw.h"
#include "assets/Function_Background_Resource.h"
#include "assets/Function_Font_Resource.h"
#include "assets/Function_Texture.h"
#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "formpack/Png.h"
#include "io/LoadSave.h"

using namespace spritetest;

namespace {

// One 8 x 4 page: background 0 ("bg_sky") draws its left half, background 2 ("bg_sea") all of it.
formpack::FormFile BackgroundFile(int32_t major = 1) {
    std::vector<uint32_t> page(8 * 4, 0x00FF00FFu);
    formpack::FormFile file =
        SpriteFile({}, {{0, 0, 4, 4, 0, 0, 4, 4, 4, 4, 0}, {0, 0, 8, 4, 0, 0, 8, 4, 8, 4, 0}}, major);
    file.sprites.reset();
    file.textures = std::vector<formpack::TexturePage>{{0, RawBlob(8, 4, page)}};
    formpack::Background sky;
    sky.name = "bg_sky";
    sky.transparent = true;
    sky.pageEntry = 0;
    formpack::Background sea;
    sea.name = "bg_sea";
    sea.preload = true;
    sea.pageEntry = 1;
    file.backgrounds = std::vector<std::optional<formpack::Background>>{sky, std::nullopt, sea};
    return file;
}

formpack::BackgroundTileSet TileSet() {
    formpack::BackgroundTileSet t;
    t.tileWidth = 2;
    t.tileHeight = 2;
    t.borderX = 1;
    t.columns = 2;
    t.framesPerTile = 2;
    t.tileCount = 3;
    t.frameTime = 0x100000002ull;
    t.tileIds = {0, 1, 2, 3, 4, 5};
    return t;
}

uint32_t BackgroundEntry(const std::vector<uint8_t>& bytes, uint32_t i) {
    return ReadU32(bytes, ChunkData(bytes, "BGND") + 4 + 4 * i);
}

class BackgroundTest : public SpriteDrawFixture<TextureTest> {
protected:
    void SetUp() override {
        SpriteDrawFixture::SetUp();
        static const bool registered = (InitBackgroundDrawFunctions(), InitTextureFunctions(), true);
        (void)registered;
        Background_InstallHooks();
        OpenInFrame();
        g_VisibleBounds = {-1000, -1000, 1000, 1000};
        g_VisibleBoundsDirty = false;
        char folder[] = "/tmp/hv_background_XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_root = folder;
        LoadSave_SetSaveArea((m_root + "/").c_str());
        LoadSave_SetBundleFolder((m_root + "/bundle/").c_str());
        std::filesystem::create_directories(m_root + "/bundle");
        Image_SetSavePathResolver([](char* buffer, int32_t size, const char* name) {
            return LoadSave_GetSavePath(buffer, static_cast<size_t>(size), name);
        });
    }
    void TearDown() override {
        Background_Shutdown();
        g_GameHeader.layerModel = false;
        Image_SetSavePathResolver(nullptr);
        std::filesystem::remove_all(m_root);
        SpriteDrawFixture::TearDown();
    }

    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(m_root + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    static bool LoadBytes(const std::vector<uint8_t>& bytes) {
        return Form_SetData(bytes.data(), uint32_t(bytes.size())) &&
               Form_FirstPass(Form_Base(), Form_Size()) && LoadGameData(Form_Base(), Form_Size());
    }
    static std::string LoadError() { return Form_LoadError() ? Form_LoadError() : ""; }

    static std::vector<double> Reals(const RValue& array) {
        std::vector<double> out;
        if (array.kind != VALUE_ARRAY || !array.arr || array.arr->rowCount < 1) return out;
        const ArrayRow& row = array.arr->rows[0];
        for (int32_t i = 0; i < row.length; ++i) out.push_back(row.items[i].val);
        return out;
    }

    std::string m_root;
};

// ---- the chunk -------------------------------------------------------------------------------

TEST_F(BackgroundTest, TheChunkFillsTheTableWithEmptySlotsNamesAndFlags) {
    ASSERT_TRUE(Load(BackgroundFile())) << Form_LoadError();
    ASSERT_EQ(Background_Count(), 3);
    EXPECT_FALSE(Background_Exists(1));
    EXPECT_STREQ(Background_GetName(1), "<undefined>");
    EXPECT_STREQ(Background_GetName(2), "bg_sea");
    EXPECT_EQ(Background_Find("bg_sea"), 2);
    EXPECT_EQ(Background_Find("bg_se"), -1);
    const CBackground* sky = Background_Get(0);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->GetWidth(), 4);
    EXPECT_EQ(sky->GetHeight(), 4);
    EXPECT_TRUE(sky->GetTransparent());
    EXPECT_FALSE(sky->GetPreload());
    EXPECT_TRUE(Background_Get(2)->GetPreload());
    EXPECT_NE(sky->GetPageEntry(), nullptr);
    EXPECT_EQ(sky->GetTextureId(), -1);
    EXPECT_EQ(Background_Get(3), nullptr);
    EXPECT_EQ(Background_Get(-1), nullptr);
}

TEST_F(BackgroundTest, AnEmptyChunkGivesAnEmptyTable) {
    formpack::FormFile file = BackgroundFile();
    file.backgrounds->clear();
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(Background_Count(), 0);
}

TEST_F(BackgroundTest, TheTileSetIsReadOnlyInLayerMode) {
    for (int32_t major : {1, 2}) {
        formpack::FormFile file = BackgroundFile(major);
        (*file.backgrounds)[2]->tileSet = TileSet();
        ASSERT_TRUE(Load(file)) << Form_LoadError();
        g_GameHeader.layerModel = false;
        const BackgroundTileSet& t = Background_Get(2)->GetTileSet();
        if (major == 1) {
            EXPECT_EQ(t.tileCount, 0);
            EXPECT_EQ(t.tileIds, nullptr);
            continue;
        }
        EXPECT_EQ(t.tileWidth, 2);
        EXPECT_EQ(t.borderX, 1);
        EXPECT_EQ(t.columns, 2);
        EXPECT_EQ(t.framesPerTile, 2);
        EXPECT_EQ(t.tileCount, 3);
        EXPECT_EQ(t.frameTime, 0x100000002ll);
        ASSERT_NE(t.tileIds, nullptr);
        EXPECT_EQ(t.tileIds[5], 5u);
        EXPECT_EQ(Background_Get(0)->GetTileSet().tileCount, 0);  // version word 0
    }
}

// Offsets and counts that point past the file fail the load with a message naming the chunk.
TEST_F(BackgroundTest, OffsetsAndCountsOutsideTheFileFailTheLoad) {
    struct Case {
        const char* what;
        uint32_t word;  // of background 2's entry
        uint32_t value;
    };
    const Case cases[] = {
        {"page entry", 4, 0xFFFFFF00u},
        {"tile count", 12, 0x40000000u},
        {"negative frames", 11, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        formpack::FormFile file = BackgroundFile(2);
        (*file.backgrounds)[2]->tileSet = TileSet();
        std::vector<uint8_t> bytes = BuildFile(file);
        WriteU32(bytes, BackgroundEntry(bytes, 2) + 4 * c.word, c.value);
        EXPECT_FALSE(LoadBytes(bytes)) << c.what;
        EXPECT_NE(LoadError().find("BGND"), std::string::npos) << c.what << ": " << LoadError();
    }
    std::vector<uint8_t> bytes = BuildFile(BackgroundFile());
    WriteU32(bytes, ChunkData(bytes, "BGND") + 4, uint32_t(bytes.size()) - 8);  // entry at the file's end
    EXPECT_FALSE(LoadBytes(bytes));
    EXPECT_NE(LoadError().find("BGND"), std::string::npos) << LoadError();
}

// ---- run-time backgrounds ----------------------------------------------------------------------

TEST_F(BackgroundTest, AGradientOfFourPixelsReadsBackInEvenSteps) {
    const int32_t index = Background_AddEmpty();
    EXPECT_EQ(index, 0);
    EXPECT_STREQ(Background_GetName(index), "__newbackground0");
    CBackground* background = Background_Get(index);
    background->CreateGradient(4, 1, 0x000000, 0xFFFFFF, 0, false);
    ASSERT_NE(background->GetBitmap(), nullptr);
    EXPECT_EQ(background->GetWidth(), 4);
    EXPECT_GE(background->GetTextureId(), 0);
    const uint32_t* pixels = background->GetBitmap()->GetPixels();
    const uint32_t want[] = {0, 64, 128, 191};
    for (int32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(pixels[x] & 0xFF, want[x]) << x;
        EXPECT_EQ(pixels[x] >> 24, 0xFFu) << x;
    }
    background->CreateColour(0, 2, 0x0000FF, false);  // sides below 1 become 1 in the bitmap
    EXPECT_EQ(background->GetBitmap()->GetWidth(), 1);
    EXPECT_EQ(background->GetBitmap()->GetPixels()[0], 0xFFFF0000u);
}

TEST_F(BackgroundTest, FilesAreAddedReplacedAndUndecodableOnesStillTakeAnIndex) {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 6; ++i) rgba.insert(rgba.end(), {255, 0, 0, 128});
    WriteFile("red.png", formpack::EncodePng(3, 2, rgba));
    WriteFile("junk.png", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});

    EXPECT_EQ(Background_Add("missing.png", false, false, false), -1);
    EXPECT_EQ(Background_Add(nullptr, false, false, false), -1);
    const int32_t red = Background_Add("red.png", false, false, false);
    ASSERT_EQ(red, 0);
    EXPECT_EQ(Background_Get(red)->GetWidth(), 3);
    EXPECT_EQ(Background_Get(red)->GetBitmap()->GetPixels()[0], 0x80FF0000u);  // alpha kept

    s_log.clear();
    const int32_t junk = Background_Add("junk.png", true, false, false);
    EXPECT_EQ(junk, 1);
    EXPECT_TRUE(Background_Exists(junk));
    EXPECT_EQ(Background_Get(junk)->GetWidth(), 0);
    EXPECT_EQ(Background_Get(junk)->GetBitmap(), nullptr);
    EXPECT_NE(s_log.find("Failed to decode background data in junk.png\n"), std::string::npos) << s_log;

    EXPECT_TRUE(Background_Replace(junk, "red.png", true, false, false));  // opaque and keyed
    EXPECT_EQ(Background_Get(junk)->GetBitmap()->GetPixels()[0] >> 24, 0u);
    EXPECT_FALSE(Background_Replace(5, "red.png", false, false, false));
    EXPECT_FALSE(Background_ReplaceAlpha(junk, "missing.png", false));
    EXPECT_EQ(Background_AddAlpha("red.png", false), 2);
}

TEST_F(BackgroundTest, DuplicatesAssignsAndDeletesKeepTheTableConsistent) {
    ASSERT_TRUE(Load(BackgroundFile()));
    EXPECT_EQ(Background_Duplicate(1), -1);
    EXPECT_FALSE(Background_Assign(0, 1));  // empty source
    EXPECT_FALSE(Background_Assign(9, 0));  // destination outside the table
    EXPECT_TRUE(Background_Assign(1, 2));   // an empty destination gets a background
    EXPECT_EQ(Background_Get(1)->GetPageEntry(), Background_Get(2)->GetPageEntry());
    EXPECT_EQ(Background_Get(1)->GetTextureId(), -1);

    s_log.clear();
    Background_Get(0)->SetAlphaFromBackground(Background_Get(2));
    EXPECT_NE(s_log.find("Both bitmaps need to be duplicated first\n"), std::string::npos);

    EXPECT_TRUE(Background_Delete(1));
    EXPECT_FALSE(Background_Delete(1));
    EXPECT_STREQ(Background_GetName(1), "<undefined>");
    EXPECT_EQ(Background_AddEmpty(), 3);  // appended, never reusing a slot
}

RValue Name(const char* text) {
    RValue v = RValue_Undefined();
    RValue_SetString(&v, text);
    return v;
}

TEST_F(BackgroundTest, ResourceBuiltinsAnswerForMissingBackgroundsAndFonts) {
    static const bool registered =
        (InitBackgroundResourceFunctions(), InitFontResourceFunctions(), InitAssetFunctions(), true);
    (void)registered;
    ASSERT_TRUE(Load(BackgroundFile()));
    const std::pair<const char*, double> missing[] = {
        {"background_exists", 0},
        {"background_get_width", -1},
        {"background_get_height", -1},
        {"background_get_transparent", -1},
        {"background_get_smooth", -1},
        {"background_get_preload", -1},
        {"font_exists", 0},
        {"font_get_size", 0},
        {"font_get_bold", 0},
        {"font_get_italic", 0},
        {"font_get_first", -1},
        {"font_get_last", -1},
    };
    for (const auto& [name, want] : missing) EXPECT_EQ(CallReal(name, {R(1)}), want) << name;
    RValue name = Call("background_get_name", {R(1)});
    EXPECT_STREQ(RValue_GetStringText(&name), "<undefined>");
    RValue_Release(&name);
    RValue fontName = Call("font_get_fontname", {R(1)});
    EXPECT_EQ(fontName.kind, VALUE_UNDEFINED);
    EXPECT_TRUE(Reports().empty());

    EXPECT_EQ(CallReal("background_delete", {R(1)}), 0);
    EXPECT_EQ(CallReal("background_duplicate", {R(1)}), -1);
    EXPECT_EQ(CallReal("background_replace", {R(1), Name("red.png"), R(0), R(0)}), 0);
    EXPECT_EQ(CallReal("font_delete", {R(1)}), 0);
    EXPECT_EQ(CallReal("font_add_sprite", {R(5), R(32), R(0), R(0)}), -1);
    EXPECT_EQ(Reports(), (std::vector<std::string>{
                             "Trying to delete non-existing background.",
                             "Trying to duplicate non-existing background.",
                             "Trying to replace non-existing background.",
                             "Trying to delete non-existing font.",
                             "Trying to create font from non-existing sprite.",
                         }));

    EXPECT_EQ(CallReal("asset_get_index", {Name("bg_sea")}), 2);
    EXPECT_EQ(CallReal("asset_get_type", {Name("bg_sea")}), 4);
    EXPECT_EQ(CallReal("asset_get_index", {Name("bg_none")}), -1);
    EXPECT_EQ(CallReal("asset_get_type", {Name("bg_none")}), -1);
}

TEST_F(BackgroundTest, ResourceBuiltinsCreateSaveAndPrefetch) {
    static const bool registered = (InitBackgroundResourceFunctions(), true);
    (void)registered;
    ASSERT_TRUE(Load(BackgroundFile()));
    const double gradient = CallReal("background_create_gradient", {R(6), R(2), R(0), R(0xFFFFFF), R(0)});
    EXPECT_EQ(gradient, 3);
    EXPECT_EQ(CallReal("background_get_width", {R(gradient)}), 6);
    EXPECT_EQ(CallReal("background_get_preload", {R(gradient)}), 1);
    const double colour = CallReal("background_create_colour", {R(3), R(2), R(0x0000FF), R(0)});
    EXPECT_EQ(CallReal("background_get_preload", {R(colour)}), 0);

    // A page background has no bitmap of its own to save; a made one is written whole.
    s_log.clear();
    Call("background_save", {R(0), Name("page.png")});
    EXPECT_NE(s_log.find("background_save() failed - no bitmap data available\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_root + "/page.png"));
    Call("background_save", {R(colour), Name("colour.png")});
    std::ifstream saved(m_root + "/colour.png", std::ios::binary);
    const std::vector<uint8_t> png((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    int32_t w = 0, h = 0;
    EXPECT_TRUE(PNG_GetSize(png.data(), int32_t(png.size()), &w, &h, false));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    Call("background_save", {R(1), Name("none.png")});
    EXPECT_EQ(Reports(), std::vector<std::string>{"Trying to save non-existing background bitmap."});

    // Flush shares prefetch, messages included.
    s_log.clear();
    EXPECT_EQ(CallReal("background_prefetch", {R(2)}), 0);
    EXPECT_EQ(CallReal("background_flush", {R(1)}), 0);
    EXPECT_EQ(s_log, "background_prefetch: Background id 1 not found\n");
    s_log.clear();
    EXPECT_EQ(CallReal("background_flush_multi", {R(2)}), -1);
    EXPECT_EQ(s_log, "background_prefetch_multi: parameter should be array of sprite indices\n");
}

TEST_F(BackgroundTest, SetAlphaFromAnotherBitmapTakesItsBrightness) {
    CBackground* a = Background_Get(Background_AddEmpty());
    CBackground* b = Background_Get(Background_AddEmpty());
    a->CreateColour(2, 2, 0x0000FF, false);
    b->CreateColour(1, 1, 0x303030, false);
    a->SetAlphaFromBackground(b);
    EXPECT_EQ(a->GetBitmap()->GetPixels()[0], 0x30FF0000u);
    EXPECT_EQ(a->GetBitmap()->GetPixels()[1], 0xFFFF0000u);  // outside the other picture
}

// ---- drawing built-ins -------------------------------------------------------------------------

TEST_F(BackgroundTest, TheLegacyFormDrawsBackgroundsAndTheLayerFormSprites) {
    formpack::FormFile file = StripFile(4, 4, {0xFF0000FFu, 0x00FF00FFu}, 0, 0);
    formpack::Background sea;
    sea.name = "bg_sea";
    sea.pageEntry = 1;
    file.backgrounds = std::vector<std::optional<formpack::Background>>{std::nullopt, sea};
    ASSERT_TRUE(Load(file)) << Form_LoadError();

    Call("draw_background", {R(1), R(10), R(20)});
    std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_FLOAT_EQ(v[0].x, 10);
    EXPECT_FLOAT_EQ(v[0].u, 0.5f);  // the second frame of the page

    s_batches.clear();
    Call("draw_background", {R(0), R(10), R(20)});
    EXPECT_EQ(Reports(), std::vector<std::string>{"Trying to draw non-existing background."});

    s_batches.clear();
    Reports().clear();
    g_GameHeader.layerModel = true;  // index 0 is now sprite 0, frame 0
    Call("draw_background_ext", {R(0), R(10), R(20), R(1), R(1), R(0), R(0xFFFFFF), R(1)});
    Call("draw_background", {R(1), R(10), R(20)});
    v = Flushed();
    ASSERT_EQ(v.size(), 6u);
    EXPECT_FLOAT_EQ(v[0].u, 0.0f);
    EXPECT_EQ(Reports(), std::vector<std::string>{"Trying to draw non-existing background."});
}

TEST_F(BackgroundTest, StretchedPartAndTiledRowsFillInWhiteAndTheDrawAlpha) {
    ASSERT_TRUE(Load(BackgroundFile()));
    GR_Draw_Set_Alpha(0.5f);
    Call("draw_background_stretched", {R(2), R(0), R(0), R(0), R(8)});  // width 0: nothing
    EXPECT_TRUE(Flushed().empty());
    Call("draw_background_stretched", {R(2), R(0), R(0), R(16), R(8)});
    Call("draw_background_part", {R(2), R(0), R(0), R(2), R(2), R(5), R(5)});
    Call("draw_background_stretched_ext", {R(2), R(0), R(0), R(16), R(8), R(0x0000FF), R(1)});
    const std::vector<TestVertex> v = Flushed();
    ASSERT_EQ(v.size(), 18u);
    EXPECT_EQ(v[0].colour, 0x7FFFFFFFu);
    EXPECT_FLOAT_EQ(v[1].x - v[0].x, 16.0f);
    EXPECT_EQ(v[6].colour, 0x7FFFFFFFu);
    EXPECT_EQ(v[12].colour, 0xFFFF0000u);
    EXPECT_TRUE(Reports().empty());
}

// ---- texture and UV built-ins --------------------------------------------------------------------

TEST_F(BackgroundTest, SpriteUVsFollowThePageEntryOnItsTexture) {
    formpack::Sprite sprite;
    sprite.name = "spr_uv";
    sprite.width = 40;
    sprite.height = 20;
    sprite.frames = {0, 0};
    formpack::FormFile file = SpriteFile({sprite}, {{64, 32, 32, 16, 2, 3, 32, 16, 40, 20, 0}});
    file.textures = std::vector<formpack::TexturePage>{
        {0, RawBlob(1024, 512, std::vector<uint32_t>(1024 * 512, 0xFFFFFFFFu))}};
    ASSERT_TRUE(Load(file)) << Form_LoadError();

    RValue uvs = Call("sprite_get_uvs", {R(0), R(0)});
    EXPECT_EQ(Reals(uvs), (std::vector<double>{0.0625, 0.0625, 0.09375, 0.09375, 2, 3, 0.8, 0.8}));
    RValue_Release(&uvs);

    RValue handle = Call("sprite_get_texture", {R(0), R(5)});
    ASSERT_EQ(handle.kind, VALUE_PTR);
    RValue copy = handle;
    RValue same = Call("texture_get_uvs", {copy});
    EXPECT_EQ(Reals(same).size(), 8u);
    EXPECT_DOUBLE_EQ(Reals(same)[0], 0.0625);
    RValue_Release(&same);
    EXPECT_EQ(CallReal("texture_exists", {handle}), 0);  // a page entry is no texture id

    RValue whole = Call("texture_get_uvs", {R(0)});
    EXPECT_EQ(Reals(whole), (std::vector<double>{0, 0, 1, 1, 0, 0, 1, 1}));
    RValue_Release(&whole);

    Call("sprite_get_uvs", {R(3), R(0)});
    EXPECT_EQ(Reports(), std::vector<std::string>{"Trying to get texture from non-existing sprite."});
}

TEST_F(BackgroundTest, BackgroundUVsAndTexturesOfPageAndRunTimeBackgrounds) {
    ASSERT_TRUE(Load(BackgroundFile()));
    RValue page = Call("background_get_uvs", {R(0)});
    EXPECT_EQ(Reals(page), (std::vector<double>{0, 0, 0.5, 1}));  // 4 x 4 of an 8 x 4 texture
    RValue_Release(&page);

    CBackground* made = Background_Get(Background_AddEmpty());
    made->CreateColour(2, 2, 0, false);
    RValue own = Call("background_get_uvs", {R(3)});
    EXPECT_EQ(Reals(own), (std::vector<double>{0, 0, 1, 1}));
    RValue_Release(&own);
    RValue texture = Call("background_get_texture", {R(3)});
    EXPECT_EQ(texture.kind, VALUE_PTR);
    EXPECT_EQ(CallReal("texture_exists", {texture}), 1);

    RValue missing = Call("background_get_uvs", {R(1)});
    EXPECT_EQ(missing.kind, VALUE_UNDEFINED);
    Call("font_get_texture", {R(0)});
    EXPECT_EQ(Reports(), (std::vector<std::string>{"Trying to get texture from non-existing background.",
                                                   "trying to get texture from non-existing font"}));
}

TEST_F(BackgroundTest, TheGlobalTextureScaleTakesOnlyPowersOfTwo) {
    std::vector<std::string> fatal;
    static std::vector<std::string>* sink;
    sink = &fatal;
    Runtime_SetErrorReporter([](const char* message) { sink->push_back(message); });
    Call("texture_global_scale", {R(4)});
    EXPECT_EQ(g_TextureGlobalScale, 4);
    EXPECT_TRUE(fatal.empty());
    for (double bad : {3.0, 0.0, -2.0}) Call("texture_global_scale", {R(bad)});
    EXPECT_EQ(fatal.size(), 3u);
    if (!fatal.empty()) {
        EXPECT_NE(
            fatal[0].find("texture global scale needs to be a positive power of 2 integer (i.e. 1, 2, 4, "
                          "8....)"),
            std::string::npos);
    }
    Runtime_SetErrorReporter(nullptr);
    g_TextureGlobalScale = 1;
}

}  // namespace
