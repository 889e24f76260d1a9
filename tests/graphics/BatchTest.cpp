// The vertex batch on the trace device: what joins a batch, what closes it, and what each
// draw call carries.
#include <cstring>

#include "GraphicsFixture.h"

namespace {

int g_textureA, g_textureB;
TextureRecord* const kTextureA = reinterpret_cast<TextureRecord*>(&g_textureA);
TextureRecord* const kTextureB = reinterpret_cast<TextureRecord*>(&g_textureB);

class BatchTest : public GraphicsTest {
protected:
    // Reserves n vertices of the 24-byte format and fills them.
    void Reserve(int32_t kind, TextureRecord* texture, int32_t n, uint32_t format = GR_FORMAT_XYZCUV) {
        void* vertices = GR_Batch_Alloc(kind, texture, format, n);
        ASSERT_NE(vertices, nullptr);
        std::memset(vertices, 0, static_cast<size_t>(n) * GR_FVF_Stride(GR_Format_To_FVF(format)));
    }
};

TEST_F(BatchTest, QuadsWithOneTextureShareADrawUntilABlendChange) {
    OpenInFrame();
    Reserve(D3DPT_TRIANGLELIST, kTextureA, 6);
    Reserve(D3DPT_TRIANGLELIST, kTextureA, 6);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive("), 1u);
    EXPECT_EQ(Trace().Count("DrawPrimitive(4,0,4)"), 1u);

    Trace().ClearCalls();
    Reserve(D3DPT_TRIANGLELIST, kTextureA, 6);
    GR_Set_Blend_Mode(1);
    Reserve(D3DPT_TRIANGLELIST, kTextureA, 6);
    GraphicsFlush();
    const int first = Trace().Find("DrawPrimitive(");
    const int blend = Trace().Find("SetRenderState(20,2)");
    const int second = Trace().Find("DrawPrimitive(", first + 1);
    ASSERT_GE(first, 0);
    EXPECT_GT(blend, first);
    EXPECT_GT(second, blend);
    EXPECT_EQ(g_Batch.drawCalls, 3u);
}

TEST_F(BatchTest, TextureKindOrFormatChangesStartANewBatch) {
    OpenInFrame();
    Reserve(D3DPT_TRIANGLELIST, kTextureA, 3);
    Reserve(D3DPT_TRIANGLELIST, kTextureB, 3);
    Reserve(D3DPT_LINELIST, kTextureB, 2);
    Reserve(D3DPT_LINELIST, kTextureB, 2, GR_FORMAT_XYZC);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive("), 4u);
    EXPECT_EQ(Trace().Count("SetFVF(0x42)"), 1u);
    EXPECT_EQ(Trace().Count("SetFVF(0x142)"), 3u);
}

TEST_F(BatchTest, EveryStripOrFanIsDrawnAlone) {
    OpenInFrame();
    for (int32_t kind : {D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN, D3DPT_LINESTRIP}) {
        Reserve(kind, nullptr, 4);
    }
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive("), 4u);
    EXPECT_EQ(Trace().Count("DrawPrimitive(5,0,2)"), 2u);
    EXPECT_EQ(Trace().Count("DrawPrimitive(3,0,3)"), 1u);
}

TEST_F(BatchTest, PrimitiveCountsFollowTheKind) {
    struct Case {
        int32_t kind, vertices;
        const char* draw;
    };
    const Case cases[] = {
        {D3DPT_LINELIST, 5, "DrawPrimitive(2,0,2)"},
        {D3DPT_TRIANGLELIST, 7, "DrawPrimitive(4,0,2)"},
        {D3DPT_POINTLIST, 3, "DrawPrimitive(1,0,3)"},
        {9, 3, "DrawPrimitive(1,0,3)"},  // unknown kinds are points
    };
    OpenInFrame();
    for (const Case& c : cases) {
        Trace().ClearCalls();
        Reserve(c.kind, nullptr, c.vertices);
        GraphicsFlush();
        EXPECT_EQ(Trace().Count(c.draw), 1u) << c.kind;
    }
    // Too few vertices for one primitive draw nothing.
    Trace().ClearCalls();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 2);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive"), 0u);
}

TEST_F(BatchTest, UnreserveGivesBackUnwrittenVerticesButNeverMoreThanReserved) {
    OpenInFrame();
    Reserve(D3DPT_LINELIST, nullptr, 100);
    GR_Batch_Unreserve(40);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive(2,0,30)"), 1u);

    Trace().ClearCalls();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 6);
    GR_Batch_Unreserve(50);
    Reserve(D3DPT_TRIANGLELIST, nullptr, 3);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive("), 1u);
    EXPECT_EQ(Trace().Count("DrawPrimitive(4,0,1)"), 1u);
}

TEST_F(BatchTest, AFlushWithNoBatchStillAppliesDirtyStates) {
    OpenInFrame();
    GR_Set_Blend_Mode(1);
    GraphicsFlush();
    EXPECT_EQ(Trace().Calls(), (std::vector<std::string>{"SetRenderState(20,2)"}));
}

TEST_F(BatchTest, TheRingGrowsByDoublingForALargeBatchAndWrapsToItsStart) {
    OpenInFrame();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 3);
    GraphicsFlush();
    const std::string& created = Trace().Calls()[Trace().Find("CreateVertexBuffer(")];
    EXPECT_EQ(created.rfind("CreateVertexBuffer(294912,512,0,2)", 0), 0u) << created;

    // 13,000 vertices of 24 bytes do not fit in 294,912 bytes: the buffer is made anew, twice as large.
    Trace().ClearCalls();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 12999);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("CreateVertexBuffer(589824,"), 1u);
    EXPECT_EQ(Trace().Count("SetStreamSource(0,vb2,0,24)"), 1u);

    // The next batch continues behind it, the one after that no longer fits and starts at 0.
    Trace().ClearCalls();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 3);
    GraphicsFlush();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 12000);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("SetStreamSource(0,vb2,311976,24)"), 1u);
    EXPECT_EQ(Trace().Count("SetStreamSource(0,vb2,0,24)"), 1u);
}

TEST_F(BatchTest, AFirstBatchLargerThanTheRingGetsARingThatHoldsIt) {
    OpenInFrame();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 15000);
    GraphicsFlush();
    const std::string& created = Trace().Calls()[Trace().Find("CreateVertexBuffer(")];
    EXPECT_GE(std::stoul(created.substr(std::strlen("CreateVertexBuffer("))), 15000u * 24) << created;
    EXPECT_EQ(Trace().Count("DrawPrimitive(4,0,5000)"), 1u);
}

TEST_F(BatchTest, SystemMemoryMethodDrawsFromTheArray) {
    g_BatchMethod = 2;
    OpenInFrame();
    Reserve(D3DPT_TRIANGLELIST, nullptr, 6);
    Reserve(D3DPT_TRIANGLELIST, nullptr, 3);
    GraphicsFlush();
    EXPECT_EQ(Trace().Calls().back(), "DrawPrimitiveUP(4,3,24)");
    EXPECT_EQ(Trace().Count("CreateVertexBuffer"), 0u);
}

TEST_F(BatchTest, PerFormatBuffersRestFourFramesAfterUse) {
    g_BatchMethod = 1;
    OpenInFrame();
    End_Frame(true);
    for (int frame = 0; frame < 7; ++frame) {
        Start_Frame();
        Reserve(D3DPT_TRIANGLELIST, nullptr, 3);
        End_Frame(true);
    }
    // Frames F..F+4 each need a fresh buffer; from F+5 the first one is free again.
    EXPECT_EQ(Trace().Count("CreateVertexBuffer(393216,512,322,2)"), 5u);
}

}  // namespace
