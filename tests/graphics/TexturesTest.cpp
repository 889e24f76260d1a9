// Device textures: sizes, "RAW " and image blobs, uploads, binding, the render-target stack and
// on-demand creation, on the trace device.
#include <cstring>
#include <string>
#include <vector>

#include "TextureTestSupport.h"
#include "formpack/Png.h"

namespace {

std::vector<uint8_t> RawBlob(uint32_t width, uint32_t height, uint32_t format,
                             const std::vector<uint8_t>& pixels) {
    const uint32_t header[4] = {0x20574152u, width, height, format};
    std::vector<uint8_t> blob(16 + pixels.size());
    std::memcpy(blob.data(), header, 16);
    std::copy(pixels.begin(), pixels.end(), blob.begin() + 16);
    return blob;
}

uint32_t Word(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

class TexturesTest : public TextureTest {};

TEST_F(TexturesTest, SidesRoundUpToPowersOfTwoWithinTheLimitUnlessOnDemandOrATarget) {
    struct Case {
        int32_t width, height;
        uint32_t flags;
        bool onDemand;
        uint32_t limit;
        int32_t wantWidth, wantHeight;
    };
    const Case cases[] = {
        {1000, 300, 0, false, 8192, 1024, 512},
        {5000, 3, 0, false, 2048, 2048, 4},
        {1, 1, 0, false, 8192, 1, 1},
        {0, -5, 0, false, 8192, 1, 1},
        {1000, 300, 0, true, 8192, 1000, 300},
        {1000, 300, TEXCREATE_RENDER_TARGET, false, 8192, 1000, 300},
        {5000, 300, TEXCREATE_RENDER_TARGET, false, 2048, 2048, 300},
    };
    Open();
    for (const Case& c : cases) {
        g_Switches.createTexturesOnDemand = c.onDemand;
        g_D3D.caps.MaxTextureWidth = c.limit;
        TextureRecord* record = GR_Texture_Create(c.width, c.height, c.flags, TEXFMT_A8R8G8B8);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(GR_Texture_Width(record), c.wantWidth) << c.width << " x " << c.height;
        EXPECT_EQ(GR_Texture_Height(record), c.wantHeight) << c.width << " x " << c.height;
        EXPECT_EQ(record->texture != nullptr, !c.onDemand);
        GR_Texture_Free_Record(record);
    }
    EXPECT_EQ(Trace().Count("CreateTexture(1024,512,1,0,21,"), 1u);
}

TEST_F(TexturesTest, RenderTargetsGetTheirOwnSurfaceAndDepthAndStartInTheDefaultPool) {
    Open();
    Trace().ClearCalls();
    TextureRecord* target =
        GR_Texture_Create(100, 50, TEXCREATE_RENDER_TARGET | TEXCREATE_DEPTH, TEXFMT_A8R8G8B8);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(Trace().Count("CreateTexture(100,50,1,1,21,0)"), 1u);
    EXPECT_EQ(Trace().Count("CreateRenderTarget(100,50,21,0,0)"), 1u);
    EXPECT_EQ(Trace().Count("CreateDepthStencilSurface(100,50,75,0)"), 1u);
    EXPECT_NE(target->depthStencil, nullptr);
    EXPECT_EQ(target->flags & (TEXREC_POOL_DEFAULT | TEXREC_POOL_MANAGED), TEXREC_POOL_DEFAULT);
    GR_Texture_Free_Record(target);
}

TEST_F(TexturesTest, RawBlobsConvertToDeviceOrderInACopyAndLeaveTheBlobAlone) {
    Open();
    const std::vector<uint8_t> blob32 = RawBlob(2, 1, 0, {10, 20, 30, 255, 1, 2, 3, 4});
    const std::vector<uint8_t> blob16 = RawBlob(1, 1, 1, {0x34, 0x12});  // nibbles 1, 2, 3, 4
    for (int pass = 0; pass < 2; ++pass) {                               // a second load reads the same bytes
        GR_ImageInfo info;
        TextureRecord* record = GR_Texture_Create_From_Blob(blob32.data(), uint32_t(blob32.size()), &info, 6);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(Word(record->pixels), 0xFF0A141Eu);
        EXPECT_EQ(Word(record->pixels + 4), 0x04010203u);
        EXPECT_EQ(info.Depth, 32u);
        EXPECT_EQ(info.Format, 6);
        EXPECT_EQ(info.ImageFileFormat, 6);
        EXPECT_EQ(info.ResourceType, -1);
        GR_Texture_Free_Record(record);

        record = GR_Texture_Create_From_Blob(blob16.data(), uint32_t(blob16.size()), &info, 6);
        ASSERT_NE(record, nullptr);
        uint16_t pixel;
        std::memcpy(&pixel, record->pixels, 2);
        EXPECT_EQ(pixel, 0x4321);
        EXPECT_EQ(info.Depth, 16u);
        EXPECT_EQ(info.Format, 11);
        EXPECT_EQ(record->format, TEXFMT_A4R4G4B4);
        GR_Texture_Free_Record(record);
    }
    EXPECT_EQ(blob32[16], 10);
    EXPECT_EQ(blob16[16], 0x34);
}

TEST_F(TexturesTest, RawBlobsThatDoNotFitTheirHeaderAreRefused) {
    struct Case {
        const char* what;
        std::vector<uint8_t> blob;
        uint32_t length;  // 0: the blob's size
    };
    const std::vector<uint8_t> fourPixels(16, 0xFF);
    const Case cases[] = {
        {"pixel format 2", RawBlob(2, 2, 2, fourPixels), 0},
        {"width 0", RawBlob(0, 2, 0, fourPixels), 0},
        {"height 0", RawBlob(2, 0, 0, fourPixels), 0},
        {"width above 8192", RawBlob(8193, 1, 0, std::vector<uint8_t>(8193 * 4)), 0},
        {"pixels past the chunk", RawBlob(2, 2, 0, fourPixels), 31},
        {"header past the chunk", RawBlob(2, 2, 0, fourPixels), 12},
        {"sides whose product wraps", RawBlob(0x10000, 0x10000, 0, fourPixels), 0},
    };
    Open();
    const int32_t records = GR_Texture_Record_Count();
    for (const Case& c : cases) {
        GR_ImageInfo info;
        const uint32_t length = c.length ? c.length : uint32_t(c.blob.size());
        EXPECT_EQ(GR_Texture_Create_From_Blob(c.blob.data(), length, &info, 6), nullptr) << c.what;
    }
    EXPECT_EQ(GR_Texture_Record_Count(), records);
}

TEST_F(TexturesTest, RawBlobOfOddSizeReportsTheRoundedTextureSoCoordinatesMatchIt) {
    Open();
    const std::vector<uint8_t> blob = RawBlob(3, 3, 0, std::vector<uint8_t>(36, 0x80));
    GR_ImageInfo info;
    TextureRecord* record = GR_Texture_Create_From_Blob(blob.data(), uint32_t(blob.size()), &info, 6);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(GR_Texture_Width(record), 4);
    EXPECT_EQ(info.Width, 4u);
    EXPECT_EQ(info.Height, 4u);
    EXPECT_EQ(Word(record->pixels + 12), 0u);  // the padding column stays clear
    GR_Texture_Free_Record(record);
}

TEST_F(TexturesTest, UploadFillsOnlyThePictureAndRegionsOutsideChangeNothing) {
    Open();
    TextureRecord* record = GR_Texture_Create(100, 64, 0, TEXFMT_A8R8G8B8);
    ASSERT_EQ(GR_Texture_Width(record), 128);
    const std::vector<uint32_t> pixels(64 * 64, 0xFF112233u);
    ASSERT_TRUE(GR_Texture_Upload(record, 0, 64, 64, pixels.data()));
    GpuLockedRect locked{};
    ASSERT_EQ(record->texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* device = static_cast<const uint32_t*>(locked.pBits);
    for (int row : {0, 63}) {
        EXPECT_EQ(device[row * 128 + 63], 0xFF112233u);
        EXPECT_EQ(device[row * 128 + 64], 0u);
        EXPECT_EQ(Word(record->pixels + (row * 128 + 64) * 4), 0u);
    }
    record->texture->UnlockRect(0);

    std::memset(record->pixels, 0x55, 128 * 64 * 4);  // written but not sent
    for (const GpuRect r : {GpuRect{128, 0, 10, 10}, GpuRect{0, 64, 4, 4}, GpuRect{-20, 0, 10, 4}}) {
        EXPECT_TRUE(GR_Texture_Upload_Region(record, r.left, r.top, r.right, r.bottom));
    }
    EXPECT_TRUE(GR_Texture_Upload_Region(record, 120, 60, 50, 50));  // clipped to 8 x 4
    record->texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    device = static_cast<const uint32_t*>(locked.pBits);
    EXPECT_EQ(device[0], 0xFF112233u);
    EXPECT_EQ(device[60 * 128 + 120], 0x55555555u);
    EXPECT_EQ(device[63 * 128 + 127], 0x55555555u);
    EXPECT_EQ(device[59 * 128 + 120], 0u);
    record->texture->UnlockRect(0);
    GR_Texture_Free_Record(record);
}

TEST_F(TexturesTest, BindingTheSameTextureTwiceCountsOneSwitch) {
    Open();
    TextureRecord* a = GR_Texture_Create(4, 4, 0, TEXFMT_A8R8G8B8);
    TextureRecord* b = GR_Texture_Create(4, 4, 0, TEXFMT_A8R8G8B8);
    const uint32_t before = TextureSwitchCount;
    GR_D3D_Set_Texture(0, a);
    GR_D3D_Set_Texture(0, a);
    EXPECT_EQ(TextureSwitchCount, before + 1);
    GR_D3D_Set_Texture(1, b);
    EXPECT_EQ(TextureSwitchCount, before + 2);
    Trace().ClearCalls();
    GR_D3D_Set_Texture(8, a);
    GR_D3D_Set_Texture(-1, a);
    EXPECT_EQ(Trace().Count("SetTexture("), 0u);
    GR_D3D_Set_Texture(0, nullptr);
    EXPECT_EQ(Trace().Count("SetTexture(0,null)"), 1u);
    GR_Texture_Free_Record(a);
    GR_Texture_Free_Record(b);
}

TEST_F(TexturesTest, ATargetDrawnIntoIsCopiedToItsTextureOnceBeforeBinding) {
    Open();
    TextureRecord* target = GR_Texture_Create(32, 32, TEXCREATE_RENDER_TARGET, TEXFMT_A8R8G8B8);
    ASSERT_TRUE(GR_Target_Push());
    ASSERT_TRUE(GR_Target_Set(0, target));
    ASSERT_TRUE(GR_Target_Pop());
    EXPECT_TRUE(target->flags & TEXREC_TARGET_PENDING);
    Trace().ClearCalls();
    GR_D3D_Set_Texture(0, target);
    GR_D3D_Set_Texture(0, target);
    EXPECT_EQ(Trace().Count("StretchRect("), 1u);
    EXPECT_EQ(Trace().Count("StretchRect(surf"), 1u);
    EXPECT_FALSE(target->flags & TEXREC_TARGET_PENDING);
    EXPECT_LT(Trace().Find("StretchRect("), Trace().Find("SetTexture(0,"));
    GR_Texture_Free_Record(target);
}

TEST_F(TexturesTest, TheStackHoldsEightFramesAndAnEmptyStackDoesNotPop) {
    Open();
    EXPECT_FALSE(GR_Target_Pop());
    for (int i = 0; i < GR_TARGET_STACK_DEPTH; ++i) ASSERT_TRUE(GR_Target_Push());
    EXPECT_FALSE(GR_Target_Push());
    GR_Target_Pop_All();
    EXPECT_EQ(GR_Target_Depth(), 0);
    EXPECT_FALSE(GR_Target_Pop());
}

TEST_F(TexturesTest, SettingSlotOneLeavesTheDepthSurfaceAndSlotsPastTheLimitFail) {
    Open();
    TextureRecord* target = GR_Texture_Create(16, 16, TEXCREATE_RENDER_TARGET, TEXFMT_A8R8G8B8);
    Trace().ClearCalls();
    EXPECT_TRUE(GR_Target_Set(1, target));
    EXPECT_EQ(Trace().Count("SetRenderTarget(1,"), 1u);
    EXPECT_EQ(Trace().Count("SetDepthStencilSurface("), 0u);
    EXPECT_EQ(GR_Target_Current(1), target);
    g_D3D.renderTargetLimit = 1;
    EXPECT_FALSE(GR_Target_Set(1, target));
    EXPECT_FALSE(GR_Target_Set(0, nullptr));
    GR_Texture_Free_Record(target);
    EXPECT_EQ(GR_Target_Current(1), nullptr);
}

TEST_F(TexturesTest, FreeingACurrentOrSavedTargetEmptiesItsSlotsAndPopsStillRestore) {
    Open();
    TextureRecord* outer = GR_Texture_Create(16, 16, TEXCREATE_RENDER_TARGET, TEXFMT_A8R8G8B8);
    TextureRecord* inner = GR_Texture_Create(16, 16, TEXCREATE_RENDER_TARGET, TEXFMT_A8R8G8B8);
    ASSERT_TRUE(GR_Target_Push());
    ASSERT_TRUE(GR_Target_Set(0, outer));
    ASSERT_TRUE(GR_Target_Push());
    ASSERT_TRUE(GR_Target_Set(0, inner));
    GR_Texture_Free_Record(outer);  // saved on the stack
    GR_Texture_Free_Record(inner);  // current
    EXPECT_EQ(GR_Target_Current(0), nullptr);
    EXPECT_TRUE(GR_Target_Pop());  // back to the freed outer target's surface, held by the stack
    EXPECT_EQ(GR_Target_Current(0), nullptr);
    Trace().ClearCalls();
    EXPECT_TRUE(GR_Target_Pop());
    EXPECT_EQ(Trace().Count("SetRenderTarget(0,backbuffer)"), 1u);
    EXPECT_EQ(GR_Target_Current(0), nullptr);
}

TEST_F(TexturesTest, EndOfSceneDropsInnerFramesAndRestoresTheBackBuffer) {
    OpenInFrame();
    TextureRecord* a = GR_Texture_Create(16, 16, TEXCREATE_RENDER_TARGET, TEXFMT_A8R8G8B8);
    TextureRecord* b = GR_Texture_Create(16, 16, TEXCREATE_RENDER_TARGET, TEXFMT_A8R8G8B8);
    GR_Target_Push();
    GR_Target_Set(0, a);
    GR_Target_Push();
    GR_Target_Set(0, b);
    Trace().ClearCalls();
    ASSERT_TRUE(End_Frame(false));
    EXPECT_EQ(GR_Target_Depth(), 0);
    const int restore = Trace().Find("SetRenderTarget(0,backbuffer)");
    ASSERT_GE(restore, 0);
    EXPECT_LT(restore, Trace().Find("EndScene("));
    EXPECT_EQ(Trace().Count("SetRenderTarget(0,"), 1u);  // the inner frame is not restored first
    GR_Texture_Free_Record(a);
    GR_Texture_Free_Record(b);
}

TEST_F(TexturesTest, FreeingARecordDrawsWhatWasBatchedWithItFirst) {
    OpenInFrame();
    TextureRecord* record = GR_Texture_Create(4, 4, 0, TEXFMT_A8R8G8B8);
    GR_Batch_Alloc(D3DPT_TRIANGLELIST, record, GR_FORMAT_XYZCUV, 3);
    Trace().ClearCalls();
    GR_Texture_Free_Record(record);
    EXPECT_EQ(Trace().Count("DrawPrimitiveUP(4,1,24)"), 1u);
    ASSERT_EQ(s_batches.size(), 1u);
    EXPECT_EQ(s_batches[0].texture, record);
    EXPECT_NE(g_Batch.texture, record);
}

TEST_F(TexturesTest, OnDemandRecordsGetTheirTextureAtFirstUseAndAgainAfterAFlush) {
    Open();
    g_Switches.createTexturesOnDemand = true;
    const std::vector<uint8_t> blob = RawBlob(2, 1, 0, {10, 20, 30, 255, 40, 50, 60, 128});
    GR_ImageInfo info;
    TextureRecord* record = GR_Texture_Create_From_Blob(blob.data(), uint32_t(blob.size()), &info, 6);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->texture, nullptr);
    EXPECT_EQ(record->pixels, nullptr);
    EXPECT_EQ(record->blob, blob.data());
    for (int use = 0; use < 2; ++use) {
        GR_D3D_Set_Texture(0, record);
        ASSERT_NE(record->texture, nullptr);
        EXPECT_EQ(record->texture->Width(), 2u);
        GpuLockedRect locked{};
        record->texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
        EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0xFF0A141Eu);
        EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[1], 0x8028323Cu);
        record->texture->UnlockRect(0);
        GR_Texture_Flush_All();
        EXPECT_EQ(record->texture, nullptr);
    }
    EXPECT_EQ(blob[16], 10);

    TextureRecord* target = GR_Texture_Create(30, 20, TEXCREATE_RENDER_TARGET, TEXFMT_A8R8G8B8);
    EXPECT_EQ(target->pixels, nullptr);
    EXPECT_EQ(target->texture, nullptr);
    ASSERT_TRUE(GR_Target_Set(0, target));
    EXPECT_NE(target->surface, nullptr);
    EXPECT_NE(target->depthStencil, nullptr);
    GR_Target_Pop_All();
    GR_Texture_Free_Record(record);
    GR_Texture_Free_Record(target);
}

TEST_F(TexturesTest, FailedCreationIsLoggedAndGivesNoRecord) {
    UseSoftwareGl();
    GR_Hooks_Reset();
    GR_Texture_Startup();
    Open(0, 16, 16);
    const int32_t records = GR_Texture_Record_Count();
    // Formats 12 and 13 name no device format.
    EXPECT_EQ(GR_Texture_Create(8, 8, 0, 12), nullptr);
    EXPECT_NE(s_log.find("CreateTexture failed - 8876086c\n"), std::string::npos);
    EXPECT_EQ(GR_Texture_Record_Count(), records);
}

// ---- image blobs ---------------------------------------------------------------------------

class ImageBlobTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        Image_InstallTextureReader();
        std::vector<uint8_t> rgba;
        for (int i = 0; i < 6 * 3; ++i) rgba.insert(rgba.end(), {uint8_t(i), 100, 200, 255});
        png = formpack::EncodePng(6, 3, rgba);
    }
    std::vector<uint8_t> png;
};

TEST_F(ImageBlobTest, AnImageBecomesATextureOfItsOwnSize) {
    Open();
    GR_ImageInfo info;
    TextureRecord* record = GR_Texture_Create_From_Blob(png.data(), uint32_t(png.size()), &info, 6);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->texture, nullptr);
    EXPECT_EQ(record->texture->Width(), 6u);
    EXPECT_EQ(GR_Texture_Width(record), 6);
    EXPECT_EQ(GR_Texture_Height(record), 3);
    EXPECT_EQ(info.Width, 6u);
    EXPECT_EQ(info.Format, 6);
    EXPECT_EQ(info.ImageFileFormat, GR_IMAGE_FILE_PNG);
    GpuLockedRect locked{};
    record->texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[5], 0xFF0564C8u);
    record->texture->UnlockRect(0);
    GR_Texture_Free_Record(record);

    const uint8_t junk[] = {'J', 'U', 'N', 'K', 0, 0, 0, 0};
    EXPECT_EQ(GR_Texture_Create_From_Blob(junk, sizeof junk, &info, 6), nullptr);
    EXPECT_EQ(GR_Texture_Create_From_Blob(png.data(), 20, &info, 6), nullptr);  // cut short
}

TEST_F(ImageBlobTest, OnDemandImagesKeepTheBlobAndTakeTheScaledHeaderSize) {
    Open();
    g_Switches.createTexturesOnDemand = true;
    g_TextureGlobalScale = 2;
    GR_ImageInfo info;
    TextureRecord* record = GR_Texture_Create_From_Blob(png.data(), uint32_t(png.size()), &info, 6);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->texture, nullptr);
    EXPECT_EQ(GR_Texture_Width(record), 3);
    EXPECT_EQ(GR_Texture_Height(record), 1);
    EXPECT_EQ(info.Depth, 32u);
    GR_Texture_Prefetch(record);
    ASSERT_NE(record->texture, nullptr);
    EXPECT_EQ(record->texture->Width(), 3u);  // divided once, not twice
    GR_Texture_Free_Record(record);

    // A PNG whose header cannot be read stays 1 x 1 and says so.
    std::vector<uint8_t> broken = png;
    broken[12] = 'X';  // not an IHDR chunk
    record = GR_Texture_Create_From_Blob(broken.data(), uint32_t(broken.size()), &info, 6);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(GR_Texture_Width(record), 1);
    EXPECT_NE(s_log.find("an error occured"), std::string::npos);
    GR_Texture_Prefetch(record);
    EXPECT_EQ(record->texture, nullptr);
    GR_Texture_Free_Record(record);
}

TEST_F(ImageBlobTest, BuiltInImagesAreMadeFromTheTable) {
    Open();
    struct Case {
        int32_t index, width, height;
    };
    for (const Case c : {Case{0, 64, 64}, Case{7, 64, 64}, Case{15, 256, 128}, Case{16, 1024, 1024}}) {
        TextureRecord* record = GR_Builtin_Image_Texture(c.index);
        ASSERT_NE(record, nullptr) << c.index;
        EXPECT_EQ(GR_Texture_Width(record), c.width) << c.index;
        EXPECT_EQ(GR_Texture_Height(record), c.height) << c.index;
        EXPECT_NE(record->texture, nullptr);
        GR_Texture_Free_Record(record);
    }
    EXPECT_EQ(GR_Builtin_Image_Texture(17), nullptr);
    EXPECT_EQ(GR_Builtin_Image_Texture(-1), nullptr);
}

}  // namespace
