// The GPU state cache: only real changes reach the device, at a flush; the stack; fog; and
// the translation of the runner's values.
#include "GraphicsFixture.h"

namespace {

using GPUStateTest = GraphicsTest;

TEST_F(GPUStateTest, AStateSetBackBeforeTheFlushSendsNothing) {
    OpenInFrame();
    GR_Set_Blend_Mode(1);
    GR_Set_Blend_Mode(0);
    EXPECT_EQ(g_GPUState.dirty, 0u);
    GraphicsFlush();
    EXPECT_TRUE(Trace().Calls().empty());
}

TEST_F(GPUStateTest, StatesAreSentInIdOrderOnlyAtTheFlush) {
    OpenInFrame();
    GR_D3D_Set_Culling(true);
    GR_Set_Blend_Mode_Ext(20, 9);  // an unknown factor is D3DBLEND_ZERO
    GR_Texture_Set_Repeat_Ext(1, true);
    EXPECT_TRUE(Trace().Calls().empty());
    GraphicsFlush();
    EXPECT_EQ(Trace().Calls(), (std::vector<std::string>{"SetRenderState(19,1)", "SetRenderState(20,9)",
                                                         "SetRenderState(22,3)", "SetSamplerState(1,1,1)",
                                                         "SetSamplerState(1,2,1)"}));
}

TEST_F(GPUStateTest, TheStackStopsAtItsEndsWithAMessage) {
    OpenInFrame();
    GR_Set_Alpha_Test_Ref(7);
    for (int i = 0; i < GPU_STACK_DEPTH; ++i) GPUState_Push(&g_GPUState);
    GR_Set_Alpha_Test_Ref(9);
    GPUState_Push(&g_GPUState);
    EXPECT_EQ(g_GPUState.stackDepth, GPU_STACK_DEPTH);
    EXPECT_EQ(s_log.substr(s_log.size() - 37), "GPU state stack has run out of space\n");
    GPUState_Pop(&g_GPUState);
    EXPECT_EQ(GR_Get_Alpha_Test_Ref(), 7u);
    while (g_GPUState.stackDepth > 0) GPUState_Pop(&g_GPUState);
    GR_Set_Alpha_Test_Ref(11);
    s_log.clear();
    GPUState_Pop(&g_GPUState);
    EXPECT_EQ(s_log, "Attempting to drop below bottom of GPU state stack\n");
    EXPECT_EQ(g_GPUState.stackDepth, 0);
    EXPECT_EQ(GR_Get_Alpha_Test_Ref(), 7u);  // the bottom entry is loaded again
}

TEST_F(GPUStateTest, APopSendsOnlyWhatDiffersFromTheDevice) {
    OpenInFrame();
    GPUState_Push(&g_GPUState);
    GR_D3D_Set_ZWriteEnable(false);
    GraphicsFlush();
    GR_Set_Blend_Mode(1);  // wanted, never sent
    Trace().ClearCalls();
    GPUState_Pop(&g_GPUState);
    GraphicsFlush();
    EXPECT_EQ(Trace().Calls(), (std::vector<std::string>{"SetRenderState(14,1)"}));
}

TEST_F(GPUStateTest, SamplerStatesReachTheDeviceAgainAfterARestart) {
    OpenInFrame();               // without interpolation: every stage filters by point
    GPUState_Init(&g_GPUState);  // a game restart forgets what was applied
    GraphicsFlush();
    GR_Texture_Set_Interpolation_Ext(1, true);
    Trace().ClearCalls();
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("SetSamplerState(1,5,2)"), 1u);
    EXPECT_EQ(Trace().Count("SetSamplerState(1,6,2)"), 1u);
}

TEST_F(GPUStateTest, InterpolationAndRepeatIgnoreStagesPastTheLast) {
    OpenInFrame();
    GR_Texture_Set_Interpolation_Ext(8, false);
    GR_Texture_Set_Repeat_Ext(-1, true);
    EXPECT_EQ(g_GPUState.dirty, 0u);
}

TEST_F(GPUStateTest, DepthTestFollowsHiddenSurfacesOnlyIn3DMode) {
    OpenInFrame();
    GR_D3D_Set_Hidden(true);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_ZTESTENABLE), 0u);
    GR_D3D_Set_3D_Mode(true);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_ZTESTENABLE), 1u);
    GR_D3D_Set_Hidden(false);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_ZTESTENABLE), 0u);
}

TEST_F(GPUStateTest, FogRangeFollowsTheOrthographicNearAndFarPlanes) {
    OpenInFrame();
    GR_Set_Fog(true, 0x0000FF, 100, 32100);
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("SetRenderState(28,1)"), 1u);
    EXPECT_EQ(Trace().Count("SetRenderState(35,3)"), 1u);
    EXPECT_EQ(Trace().Count("SetRenderState(34,4294901760)"), 1u);  // 0xFFFF0000: red
    EXPECT_EQ(Trace().Count("SetRenderState(36," + std::to_string(Bits(99.0f / 31999.0f)) + ")"), 1u);
    EXPECT_EQ(Trace().Count("SetRenderState(37," + std::to_string(Bits(32099.0f / 31999.0f)) + ")"), 1u);
    EXPECT_NEAR(99.0f / 31999.0f, 0.0030938, 1e-7);
}

TEST_F(GPUStateTest, FogDistancesSaturateAtSixteenBits) {
    OpenInFrame();
    GR_Set_Fog(true, 0, 40000, -70000);
    EXPECT_EQ(g_FogStart, 32767.0f);
    EXPECT_EQ(g_FogEnd, -32768.0f);
}

TEST_F(GPUStateTest, FogStaysOffOnADeviceWithoutFog) {
    OpenInFrame();
    g_D3D.caps.RasterCaps = 0;
    GR_Set_Fog(true, 0xFFFFFF, 0, 100);
    EXPECT_FALSE(g_FogOn);
    EXPECT_EQ(GPUState_GetRenderState(&g_GPUState, GPU_RS_FOGENABLE), 0u);
}

TEST_F(GPUStateTest, AlphaTestNeedsADevice) {
    GR_Set_Alpha_Test(true);
    EXPECT_FALSE(GR_Get_Alpha_Test());
    OpenInFrame();
    GR_Set_Alpha_Test(true);
    EXPECT_TRUE(GR_Get_Alpha_Test());
}

TEST_F(GPUStateTest, RunnerValuesTranslateToDeviceValues) {
    struct Case {
        uint32_t (*translate)(uint32_t);
        uint32_t value, expected;
    };
    const Case cases[] = {
        {GR_D3D_Blend_Factor, 11, 11},
        {GR_D3D_Blend_Factor, 17, 17},
        {GR_D3D_Blend_Factor, 18, D3DBLEND_ZERO},
        {GR_D3D_Blend_Factor, 0, D3DBLEND_ZERO},
        {GR_D3D_Compare_Func, 7, 7},
        {GR_D3D_Compare_Func, 0, D3DCMP_ALWAYS},
        {GR_D3D_Stencil_Op, 8, 8},
        {GR_D3D_Stencil_Op, 1, D3DSTENCILOP_KEEP},
        {GR_D3D_Fog_Mode, 2, D3DFOG_EXP2},
        {GR_D3D_Fog_Mode, 7, D3DFOG_LINEAR},
        {GR_D3D_Cull_Mode, 1, D3DCULL_CW},
        {GR_D3D_Cull_Mode, 2, D3DCULL_CCW},
        {GR_D3D_Cull_Mode, 0, D3DCULL_NONE},
        {GR_D3D_Fill_Mode, 2, D3DFILL_WIREFRAME},
        {GR_D3D_Fill_Mode, 9, D3DFILL_SOLID},
        {GR_D3D_Shade_Mode, 1, D3DSHADE_FLAT},
        {GR_D3D_Shade_Mode, 0, D3DSHADE_GOURAUD},
    };
    for (const Case& c : cases) EXPECT_EQ(c.translate(c.value), c.expected) << c.value;
}

TEST_F(GPUStateTest, ColourWriteMaskAndCacheOnlyStatesStayOffTheDevice) {
    OpenInFrame();
    GR_Set_Colour_Write_Enable(true, false, true, false);
    GPUState_SetRenderState(&g_GPUState, GPU_RS_SEPALPHAENABLE, 1);
    GraphicsFlush();
    EXPECT_EQ(Trace().Calls(), (std::vector<std::string>{"SetRenderState(168,5)"}));
}

}  // namespace
