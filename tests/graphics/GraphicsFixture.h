// A fixture that runs the device layer on a TraceDevice (or on the real GL device) from a
// clean state, with the debug console captured.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/Console.h"
#include "graphics/GPUState.h"
#include "graphics/Graphics_3D.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_Clear.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "platform/TraceDevice.h"

class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetState();
        s_trace = nullptr;
        s_log.clear();
        g_GRHooks.createDevice = CreateTrace;
        Console_SetDebuggerSink([](const char* text) { s_log += text; });
    }

    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        GR_D3D_Shutdown();
        GR_Hooks_Reset();
        s_trace = nullptr;
    }

    // Start-up's device creation for an off-screen 640 x 480 game.
    void Open(uint32_t flags = 0, int32_t width = 640, int32_t height = 480) {
        ASSERT_TRUE(GR_D3D_Init(nullptr, width, height, flags));
    }

    // Opens, begins a frame, sends what set-up left pending (the fog range of the first
    // projection) and forgets the calls made so far.
    void OpenInFrame() {
        Open();
        ASSERT_TRUE(Start_Frame());
        GraphicsFlush();
        Trace().ClearCalls();
    }

    TraceDevice& Trace() { return *s_trace; }

    static uint32_t Bits(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    }

    static HRESULT CreateTrace(void*, GpuPresentParameters* params, uint32_t, Device** device) {
        s_trace = new TraceDevice(*params);
        *device = s_trace;
        return D3D_OK;
    }

    static void ResetState() {
        GR_Hooks_Reset();
        GR_Batch_Free_All();
        g_D3D = GRDeviceState{};
        Run_ResetCountdown = 0;
        g_BatchMethod = 0;
        g_Batch.drawCalls = 0;
        g_Batch.textureStage = 0;
        g_3DMode = false;
        g_DrawDepth = 0.0f;
        g_SpriteCullBypass = false;
        GR_Transform_Stack_Clear();
        g_Viewport = {-1, -1, -1, -1};
        g_HalfPixelAdjust = true;
        g_Perspective = true;
        for (Matrix4& matrix : g_Matrices) matrix = Matrix_Identity;
        g_Projection = {true, 1.0f, 32000.0f};
        g_VisibleBoundsDirty = true;
        GPUState_Init(&g_GPUState);
    }

    static inline TraceDevice* s_trace = nullptr;
    static inline std::string s_log;
};
