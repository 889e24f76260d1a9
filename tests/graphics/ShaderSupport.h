// What the shader, vertex-format and vertex-buffer tests share: the built-ins registered once,
// calls by name, and a clean table of shaders, formats and buffers around each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GraphicsFixture.h"
#include "base/Error_Report.h"
#include "base/GameOptions.h"
#include "core/Code_Function.h"
#include "core/RunSwitches.h"
#include "core/Value.h"
#include "graphics/Buffer_Vertex.h"
#include "graphics/ShaderM.h"
#include "graphics/VertexFormat.h"

inline RValue CallBuiltin(const char* name, std::vector<RValue> args = {}) {
    int32_t id = -1;
    EXPECT_TRUE(Code_Function_Find(name, &id)) << name;
    RValue result = RValue_Undefined();
    if (const BuiltinFunction* row = Code_Function_Row(id))
        row->function(result, nullptr, nullptr, static_cast<int32_t>(args.size()), args.data());
    return result;
}

inline double CallReal(const char* name, std::vector<RValue> args = {}) {
    RValue result = CallBuiltin(name, std::move(args));
    const double value = RValue_IsReal(&result) ? result.val : -12345.0;
    RValue_Release(&result);
    return value;
}

// A one-row array of the given reals.
inline RValue RealArray(const std::vector<double>& values) {
    RValue array = RValue_Undefined();
    for (size_t i = 0; i < values.size(); ++i) {
        RValue item = RValue_Real(values[i]);
        RValue_SetIndexed(&array, &item, static_cast<int32_t>(i));
    }
    return array;
}

class ShaderTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        g_Switches.headless = true;
        g_GameOptions.errorsFatal = false;
        Error_ClearFatalMark();
        int32_t id = -1;
        if (!Code_Function_Find("shader_set", &id)) {
            InitShaderFunctions();
            InitVertexFormatFunctions();
            InitVertexBufferFunctions();
        }
        VertexBuffer_Set_Checked(true);
    }

    void TearDown() override {
        VertexBuffer_Free_All();
        VertexFormat_Free_All();
        Shader_FreeAll();
        Error_ClearFatalMark();
        g_Switches.headless = false;
        GraphicsTest::TearDown();
    }

    // The last report's text (and forgets it, so the next fatal one is shown too).
    static std::string LastError() {
        std::string text = Error_LastText();
        Error_ClearFatalMark();
        return text;
    }

    static ShaderRecord* AddShader(const char* name, const char* vertex, const char* fragment) {
        const char* texts[8] = {vertex, fragment};
        const uint8_t* blobs[4] = {};
        const int32_t sizes[4] = {};
        const uint8_t* extra[2] = {};
        ShaderRecord* record = Shader_Add(name, 1, texts, blobs, sizes, extra, {"in_Position", "in_Colour"});
        GR_Shader_Compile(record);
        return record;
    }

    // A closed format of the given (type, usage) elements; its id.
    static double MakeFormat(const std::vector<std::pair<int, int>>& elements) {
        CallBuiltin("vertex_format_begin");
        for (auto [type, usage] : elements)
            CallBuiltin("vertex_format_add_custom", {RValue_Real(type), RValue_Real(usage)});
        return CallReal("vertex_format_end");
    }
};
