// TrueType fonts over FreeType: the glyph table, measuring, the cache texture and its cells,
// and eviction while a line is being drawn. The installed DejaVu fonts are the test faces.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstring>

#include "TextTestSupport.h"
#include "core/MemoryManager.h"

using namespace texttest;

namespace {

constexpr const char* kFontFolder = "/usr/share/fonts/truetype/dejavu/";
constexpr const char* kSans = "DejaVuSans.ttf";

// The same face opened by the test itself.
class Face {
public:
    Face(const char* file, int32_t size) {
        EXPECT_EQ(FT_Init_FreeType(&m_library), 0);
        EXPECT_EQ(FT_New_Face(m_library, (std::string(kFontFolder) + file).c_str(), 0, &m_face), 0);
        EXPECT_EQ(FT_Set_Char_Size(m_face, 0, size * 64, 0, 0), 0);
    }
    ~Face() {
        FT_Done_Face(m_face);
        FT_Done_FreeType(m_library);
    }
    int32_t Advance(uint32_t c) {
        EXPECT_EQ(FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, c), FT_LOAD_DEFAULT), 0);
        return int32_t((m_face->glyph->metrics.horiAdvance + 63) >> 6);
    }
    // Rounded-up pixels of the size's height and greatest advance.
    int32_t Height() const { return int32_t((m_face->size->metrics.height + 63) >> 6); }
    int32_t MaxAdvance() const { return int32_t((m_face->size->metrics.max_advance + 63) >> 6); }
    FT_Face Get() const { return m_face; }

private:
    FT_Library m_library = nullptr;
    FT_Face m_face = nullptr;
};

struct Snapshot {
    std::vector<TestVertex> vertices;
    std::vector<uint8_t> pixels;
};

class TrueTypeTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        LoadSave_SetBundleFolder(kFontFolder);
        s_cacheRecord = nullptr;
        s_snapshots.clear();
    }
    void TearDown() override {
        LoadSave_SetBundleFolder("");
        s_snapshots.clear();
        TextTest::TearDown();
    }

    // Each flush of the cache texture keeps its vertices and the pixels they read.
    static void SnapshotAndBind(int32_t stage, TextureRecord* record) {
        if (record && record == s_cacheRecord && g_Batch.format == GR_FORMAT_XYZCUV) {
            const auto* v = reinterpret_cast<const TestVertex*>(g_Batch.vertices);
            const size_t bytes = size_t(GR_Texture_Width(record)) * GR_Texture_Height(record) * 4;
            s_snapshots.push_back({std::vector<TestVertex>(v, v + g_Batch.count),
                                   std::vector<uint8_t>(record->pixels, record->pixels + bytes)});
        }
        GR_D3D_Set_Texture(stage, record);
    }

    static inline TextureRecord* s_cacheRecord = nullptr;
    static inline std::vector<Snapshot> s_snapshots;
};

}  // namespace

TEST_F(TrueTypeTest, StringWidthIsTheSumOfFreeTypesRoundedAdvances) {
    const int32_t id = Font_AddTrueType(kSans, 16, false, false, 32, 127);
    Face face(kSans, 16);
    int32_t expected = 0;
    for (char c : std::string("Hello")) expected += face.Advance(uint8_t(c));
    Text_SetFont(id);
    EXPECT_EQ(Call("string_width", {S("Hello")}), expected);
    EXPECT_EQ(Call("string_height", {S("Hello")}), face.Height());

    CFontHV* font = Font_Get(id);
    EXPECT_STREQ(font->GetFontName(), kSans);
    EXPECT_EQ(font->GetFirst(), 32);
    EXPECT_EQ(font->GetLast(), 127);
    EXPECT_EQ(font->GetAntialias(), 3);
    // Glyphs are sorted, the space comes first and is never rendered.
    for (int32_t i = 1; i < font->GlyphCount(); ++i)
        ASSERT_LE(font->GlyphAt(i - 1)->character, font->GlyphAt(i)->character);
    EXPECT_EQ(font->GetGlyph(' ')->x, 0);
    EXPECT_EQ(font->GetGlyph(' ')->advance, face.Advance(' '));

    // A small face gets a 512 x 512 cache cut into cells of its greatest advance by its height.
    const GlyphCache* cache = font->Cache();
    ASSERT_NE(cache, nullptr);
    const TextureEntry* entry = GR_Texture_Get_Entry(font->GetOwnTexture());
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->record, nullptr);
    EXPECT_EQ(GR_Texture_Width(entry->record), 512);
    EXPECT_EQ(cache->CellWidth(), face.MaxAdvance());
    EXPECT_EQ(cache->CellHeight(), face.Height());
    EXPECT_EQ(cache->CellCount(), (508 / (face.MaxAdvance() + 2)) * (508 / (face.Height() + 2)));
}

TEST_F(TrueTypeTest, MissingFilesAndFacesLeaveAnEmptyFontInItsSlot) {
    std::string log;
    static std::string* sink = nullptr;
    sink = &log;
    Console_SetDebuggerSink([](const char* text) { *sink += text; });
    const int32_t missing = Font_AddTrueType("no-such-font.ttf", 12, false, false, 0, 300);
    LoadSave_SetBundleFolder(HV_ASSETS_TEST_DIR);
    const int32_t broken = Font_AddTrueType("TextTestSupport.h", 12, false, false, -5, 300);
    Console_SetDebuggerSink(nullptr);
    EXPECT_NE(log.find("FreeType :: unable to find font file no-such-font.ttf\n"), std::string::npos) << log;
    EXPECT_NE(log.find(":: Unable to open font file TextTestSupport.h\n"), std::string::npos) << log;
    ASSERT_TRUE(Font_Exists(missing));
    ASSERT_TRUE(Font_Exists(broken));
    EXPECT_EQ(Font_Get(broken)->GetFirst(), 0);
    EXPECT_EQ(Font_Get(broken)->GetLast(), 255);
    Text_SetFont(missing);
    EXPECT_EQ(Text_Width("abc", -1, -1), 0);
    Text_Draw(0, 0, "abc", -1, -1);
    EXPECT_TRUE(Flushed().empty());
}

TEST_F(TrueTypeTest, ALineOfMoreGlyphsThanCellsReadsBackIntactAfterEviction) {
    // The largest size whose cache is still 512 x 512 has the fewest cells.
    int32_t size = 16;
    for (int32_t s = 16; s < 200; ++s) {
        Face probe(kSans, s);
        const int64_t area = int64_t(probe.Height() + 4) * (probe.MaxAdvance() + 4);
        if (262144 / area < 20) break;
        size = s;
    }
    const int32_t id = Font_AddTrueType(kSans, size, false, false, 32, 127);
    CFontHV* font = Font_Get(id);
    ASSERT_NE(font->Cache(), nullptr);
    const int32_t cells = font->Cache()->CellCount();
    ASSERT_GT(cells, 0);
    ASSERT_LT(cells, 40);
    s_cacheRecord = GR_Texture_Get_Entry(font->GetOwnTexture())->record;
    g_GRHooks.setTexture = SnapshotAndBind;

    const char* text = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";  // 40 distinct glyphs
    ASSERT_EQ(std::strlen(text), 40u);
    std::vector<uint16_t> line(text, text + 40);
    line.push_back(0);
    font->DrawText(0, 0, line.data(), 0xFFFFFF, 1.0f);
    GraphicsFlush();
    ASSERT_GT(s_snapshots.size(), 1u);  // eviction flushed the line part-way

    // Every quad, as it reached the device, reads its own glyph's pixels from the cache.
    Face face(kSans, size);
    const int32_t ascender = int32_t(face.Get()->size->metrics.ascender);
    const int32_t cellW = font->Cache()->CellWidth(), cellH = font->Cache()->CellHeight();
    size_t glyph = 0;
    for (const Snapshot& snap : s_snapshots) {
        for (size_t q = 0; q + 5 < snap.vertices.size(); q += 6, ++glyph) {
            ASSERT_LT(glyph, 40u);
            const int32_t cellX = int32_t(std::lround(snap.vertices[q].u * 512));
            const int32_t cellY = int32_t(std::lround(snap.vertices[q].v * 512));
            FT_Face f = face.Get();
            ASSERT_EQ(FT_Load_Glyph(f, FT_Get_Char_Index(f, uint8_t(text[glyph])), FT_LOAD_DEFAULT), 0);
            ASSERT_EQ(FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL), 0);
            const FT_Bitmap& bitmap = f->glyph->bitmap;
            const int32_t top = int32_t((ascender - f->glyph->metrics.horiBearingY + 63) >> 6);
            int32_t inked = 0;
            for (int32_t row = 0; row < cellH; ++row) {
                for (int32_t col = 0; col < cellW; ++col) {
                    const int32_t j = row - top;
                    const bool inside = j >= 0 && j < int32_t(bitmap.rows) && col < int32_t(bitmap.width);
                    const uint8_t want = inside ? bitmap.buffer[j * bitmap.pitch + col] : 0;
                    const uint8_t got = snap.pixels[(size_t(cellY + row) * 512 + cellX + col) * 4 + 3];
                    ASSERT_EQ(got, want) << "glyph " << text[glyph] << " at " << col << "," << row;
                    inked += want != 0;
                }
            }
            EXPECT_GT(inked, 0) << text[glyph];
        }
    }
    EXPECT_EQ(glyph, 40u);
}

TEST_F(TrueTypeTest, EvictedGlyphsAreRenderedAgainIntoTheOldestCell) {
    const int32_t id = Font_AddTrueType(kSans, 16, false, false, 32, 127);
    CFontHV* font = Font_Get(id);
    const int32_t cells = font->Cache()->CellCount();
    FontGlyph* a = font->GetGlyph('A');
    const int16_t ax = a->x;
    EXPECT_NE(ax, -1);
    EXPECT_EQ(font->Cache()->Head()->glyph, a);
    // Fill every other cell with glyphs the face has; one more glyph takes A's cell.
    int32_t rendered = 1;
    for (int32_t i = 1; rendered < cells && i < font->GlyphCount(); ++i) {
        const uint16_t c = font->GlyphAt(i)->character;
        if (c == 'A' || c == 'B') continue;
        font->GetGlyph(c);
        ++rendered;
    }
    ASSERT_EQ(rendered, cells);
    EXPECT_EQ(a->x, ax);
    font->GetGlyph('B');
    EXPECT_EQ(a->x, -1);
    EXPECT_EQ(a->y, -1);
    font->GetGlyph('A');
    EXPECT_NE(a->x, -1);
    EXPECT_EQ(font->Cache()->Head()->glyph, a);
}

TEST_F(TrueTypeTest, GlyphsNeverReachPastTheirCells) {
    const int32_t id = Font_AddTrueType("DejaVuSans-Bold.ttf", 20, true, false, 32, 127);
    CFontHV* font = Font_Get(id);
    const GlyphCache* cache = font->Cache();
    ASSERT_NE(cache, nullptr);
    for (int32_t i = 0; i < font->GlyphCount(); ++i) {
        const FontGlyph* g = font->GlyphAt(i);
        ASSERT_LE(g->width, cache->CellWidth()) << g->character;
        ASSERT_LE(g->height, cache->CellHeight()) << g->character;
        ASSERT_GE(g->height, 0) << g->character;
    }
    // Glyphs that reach above the ascender or below the cell render without leaving it.
    for (uint32_t c :
         {0x00C5u, 0x01FAu, 0x0250u, 0x2211u, 0x222Bu, uint32_t('g'), uint32_t('j'), uint32_t('|')})
        font->GetGlyph(c);
    SUCCEED();
}

TEST(GlyphBitmap, EveryGreyDepthReachesFullCoverage) {
    const uint8_t mono[] = {0x81};
    const uint8_t grey2[] = {0x1B};  // levels 0, 1, 2, 3
    const uint8_t grey4[] = {0x0F};  // levels 0, 15
    const uint8_t grey8[] = {0, 128, 255};
    struct Case {
        int32_t mode;
        const uint8_t* row;
        uint32_t pixel;
        uint8_t alpha;
    } cases[] = {{FT_PIXEL_MODE_MONO, mono, 0, 255},  {FT_PIXEL_MODE_MONO, mono, 1, 0},
                 {FT_PIXEL_MODE_MONO, mono, 7, 255},  {FT_PIXEL_MODE_GRAY2, grey2, 0, 0},
                 {FT_PIXEL_MODE_GRAY2, grey2, 1, 85}, {FT_PIXEL_MODE_GRAY2, grey2, 3, 255},
                 {FT_PIXEL_MODE_GRAY4, grey4, 0, 0},  {FT_PIXEL_MODE_GRAY4, grey4, 1, 255},
                 {FT_PIXEL_MODE_GRAY, grey8, 1, 128}, {FT_PIXEL_MODE_GRAY, grey8, 2, 255}};
    for (const Case& c : cases)
        EXPECT_EQ(Font_BitmapCoverage(c.mode, c.row, c.pixel), c.alpha) << c.mode << "/" << c.pixel;
}
