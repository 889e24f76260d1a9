// Shaders, vertex formats and vertex buffers on the trace device: the SHDR reader, uniforms laid
// out in registers, the wanted and current shader, format layouts, the vertex builder's checks
// and how buffers reach the batch.
#include <cstring>

#include "ShaderSupport.h"
#include "base/GameFile.h"
#include "formpack/FormWriter.h"
#include "io/Buffer_Manager.h"
#include "io/IBuffer.h"

namespace shader_trace_test {

const char* const kVertex = "attribute vec3 in_Position;\nuniform mat4 hv_Matrices[5];\nvoid main() {}\n";
const char* const kFragment = "uniform sampler2D hv_BaseTexture;\nvoid main() {}\n";

// Loads a file holding these shaders through the SHDR reader; false when the chunk was bad.
bool LoadShaders(const std::vector<std::optional<formpack::Shader>>& shaders,
                 void (*patch)(std::vector<uint8_t>&, uint32_t chunk) = nullptr) {
    formpack::FormFile file;
    file.shaders = shaders;
    std::vector<uint8_t> bytes = formpack::Build(file);
    // The chunk's data: after "FORM", its size, then tag and length words.
    uint32_t at = 8, length = 0;
    while (at + 8 <= bytes.size()) {
        std::memcpy(&length, &bytes[at + 4], 4);
        if (std::memcmp(&bytes[at], "SHDR", 4) == 0) break;
        at += 8 + length;
    }
    at += 8;
    if (patch) patch(bytes, at);
    Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()));
    ChunkView view("SHDR", at, length);
    Shader_Load(view);
    return view.Ok();
}

formpack::Shader Entry(const char* name, const char* fragment = kFragment) {
    formpack::Shader shader;
    shader.name = name;
    shader.texts[0] = kVertex;
    shader.texts[1] = fragment;
    shader.attributes = {"in_Position"};
    return shader;
}

TEST_F(ShaderTest, ChunkEntriesTakeIndexesInOrderSkippingEmptyOffsetsAndKeepTheirBlocks) {
    Open();
    formpack::Shader b = Entry("sh_b");
    b.kind = 3;
    b.version = 1;
    b.blobs = {std::vector<uint8_t>{1, 2, 3}, {}, std::vector<uint8_t>{4}, {}};
    formpack::Shader broken = Entry("sh_broken", "#error no\n");
    formpack::Shader empty = Entry("sh_empty", "");
    ASSERT_TRUE(LoadShaders({Entry("sh_a"), std::nullopt, b, broken, empty}));
    ASSERT_EQ(Shader_Count(), 4);
    EXPECT_EQ(Shader_Find("sh_b"), 1);
    EXPECT_EQ(Shader_Find("sh_c"), -1);
    const ShaderRecord* a = Shader_Get(0);
    EXPECT_EQ(a->kind, 1);
    EXPECT_EQ(a->blobs[0], nullptr);
    ASSERT_EQ(a->attributes.size(), 1u);
    EXPECT_STREQ(a->attributes[0], "in_Position");
    EXPECT_EQ(a->baseTextureSampler, 0);
    EXPECT_GE(a->builtinUniforms[SHADER_U_MATRICES], 0);
    const ShaderRecord* rb = Shader_Get(1);
    EXPECT_EQ(rb->kind, 3);  // bit 31 cleared
    ASSERT_NE(rb->blobs[0], nullptr);
    EXPECT_EQ(rb->blobSizes[0], 3);
    EXPECT_EQ(rb->blobs[0][2], 3);
    EXPECT_EQ(rb->blobs[1], nullptr);
    EXPECT_EQ(rb->blobs[2][0], 4);
    EXPECT_EQ(rb->extraBlobs[0], nullptr);
    EXPECT_TRUE(Shader_Get(2)->failed);
    EXPECT_EQ(Shader_Get(2)->errorStage, 1);
    EXPECT_EQ(Shader_Get(3)->errorText, "Invalid shader");
    EXPECT_NE(
        s_log.find("Invalid shader (is it marked as incompatible type for this target?) \"sh_empty\":\n"),
        std::string::npos);
    EXPECT_EQ(CallReal("shader_is_compiled", {RValue_Real(0)}), 1);
    EXPECT_EQ(CallReal("shader_is_compiled", {RValue_Real(2)}), 0);
    EXPECT_EQ(CallReal("shader_is_compiled", {RValue_Real(4)}), 0);
    EXPECT_EQ(LastError().find("Illegal shader handle") != std::string::npos, true);
}

TEST_F(ShaderTest, OffsetsOutsideTheFileFailTheChunkWithoutReadingThere) {
    Open();
    EXPECT_FALSE(LoadShaders({Entry("sh_a")}, [](std::vector<uint8_t>& bytes, uint32_t chunk) {
        const uint32_t far = 0xFFFFFF00u;
        std::memcpy(&bytes[chunk + 4], &far, 4);  // the first entry's offset
    }));
    EXPECT_EQ(Shader_Count(), 0);
}

TEST_F(ShaderTest, SettingShadersFlushesOnceAndFillsTheBuiltInUniforms) {
    OpenInFrame();
    AddShader("plain", "uniform vec4 u;\nvoid main() {}\n", "void main() {}\n");
    AddShader("textured", kVertex, kFragment);
    Trace().ClearCalls();
    CallBuiltin("shader_set", {RValue_Real(-1)});  // none is current: nothing happens
    EXPECT_EQ(Trace().Calls().size(), 0u);
    CallBuiltin("shader_set", {RValue_Real(1)});
    ASSERT_EQ(Trace().Count("SetShaderProgram(prog"), 1u);
    // hv_Matrices: view, projection, world, ..., four registers each, after the program.
    const int sent = Trace().Find("SetShaderConstantF(0,20,");
    EXPECT_GT(sent, Trace().Find("SetShaderProgram(prog"));
    EXPECT_NE(Trace().Calls()[static_cast<size_t>(sent)].find(",1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1,"),
              std::string::npos);
    EXPECT_EQ(g_Batch.textureStage, 0);
    Trace().ClearCalls();
    CallBuiltin("shader_set", {RValue_Real(1)});  // already current
    EXPECT_EQ(Trace().Calls().size(), 0u);
    CallBuiltin("shader_set", {RValue_Real(0)});  // no base texture: the batch binds none
    EXPECT_EQ(g_Batch.textureStage, -1);
    CallBuiltin("shader_set", {RValue_Real(7)});
    EXPECT_NE(LastError().find("Illegal shader handle"), std::string::npos);
    EXPECT_EQ(Shader_Current(), Shader_Get(0));
    CallBuiltin("shader_reset");
    EXPECT_EQ(Trace().Calls().back(), "SetShaderProgram(null)");
    EXPECT_EQ(g_Batch.textureStage, 0);
}

TEST_F(ShaderTest, UniformValuesAreLaidOutInRegisters) {
    OpenInFrame();
    AddShader("u",
              "uniform vec3 u_v3[2];\nuniform vec4 u_v4[2];\nuniform float _u_f;\nuniform mat4 u_m;\nvoid "
              "main() {}\n",
              "void main() {}\n");
    CallBuiltin("shader_set", {RValue_Real(0)});
    const ShaderRecord* record = Shader_Get(0);
    const int v3 = GR_Shader_Get_Uniform(record, "u_v3"), v4 = GR_Shader_Get_Uniform(record, "u_v4");
    const int f = GR_Shader_Get_Uniform(record, "u_f"), m = GR_Shader_Get_Uniform(record, "u_m");
    ASSERT_EQ((std::vector<int>{v3, v4, f, m}), (std::vector<int>{0, 1, 2, 3}));  // "_u_f" found as "u_f"
    struct Case {
        const char* what;
        int uniform;
        std::vector<float> values;
        const char* call;
    };
    const Case cases[] = {
        {"vec3 from six values: two padded registers",
         v3,
         {1, 2, 3, 4, 5, 6},
         "SetShaderConstantF(0,2,1,2,3,0,4,5,6,0)"},
        {"vec4 from eight values: sent as they are",
         v4,
         {1, 2, 3, 4, 5, 6, 7, 8},
         "SetShaderConstantF(1,2,1,2,3,4,5,6,7,8)"},
        {"vec4 from seven values: the eighth is 0",
         v4,
         {1, 2, 3, 4, 5, 6, 7},
         "SetShaderConstantF(1,2,1,2,3,4,5,6,7,0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Trace().ClearCalls();
        EXPECT_TRUE(
            GR_Shader_Set_Uniform_F_Array(c.uniform, static_cast<int32_t>(c.values.size()), c.values.data()));
        EXPECT_EQ(Trace().Calls().back(), c.call);
    }
    Trace().ClearCalls();
    CallBuiltin("shader_set_uniform_f", {RValue_Real(f)});
    EXPECT_EQ(Trace().Calls().back(), "SetShaderConstantF(2,1,0,0,0,0)");
    CallBuiltin("shader_set_uniform_i", {RValue_Real(f), RValue_Real(2.9), RValue_Real(-1.5)});
    EXPECT_EQ(Trace().Calls().back(), "SetShaderConstantI(2,1,2,-1,0,0)");
    std::vector<double> twenty(20);
    for (int i = 0; i < 20; ++i) twenty[static_cast<size_t>(i)] = i;
    Trace().ClearCalls();
    CallBuiltin("shader_set_uniform_matrix_array", {RValue_Real(m), RealArray(twenty)});
    ASSERT_EQ(Trace().Count("SetShaderConstantF(3,4,0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15)"), 1u);
    twenty.resize(15);
    CallBuiltin("shader_set_uniform_matrix_array", {RValue_Real(m), RealArray(twenty)});
    EXPECT_NE(LastError().find("Illegal array count"), std::string::npos);
    CallBuiltin("shader_set_uniform_f_array", {RValue_Real(m), RValue_Real(3)});
    EXPECT_NE(LastError().find("Illegal argument type"), std::string::npos);
    Trace().ClearCalls();
    EXPECT_FALSE(GR_Shader_Set_Uniform_F(4, 1, 1, 0, 0, 0));  // the uniform count itself
    EXPECT_EQ(Trace().Calls().size(), 0u);
    EXPECT_EQ(CallReal("texture_get_texel_width", {RValue_Real(-1)}), 1.0);
}

TEST_F(ShaderTest, FormatsLayTheirElementsOutAndReuseDeletedIds) {
    Open();
    CallBuiltin("vertex_format_begin");
    CallBuiltin("vertex_format_add_position");
    CallBuiltin("vertex_format_add_colour");
    CallBuiltin("vertex_format_add_texcoord");
    CallBuiltin("vertex_format_add_textcoord");
    const double id = CallReal("vertex_format_end");
    EXPECT_EQ(id, 0x1000000);
    const VertexFormat* format = VertexFormat_Get(0x1000000);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->stride, 28);
    EXPECT_EQ(format->usageMask, 15u);
    EXPECT_EQ(format->elements[2].offset, 12);
    // POSITION 0 FLOAT2, COLOR 0 D3DCOLOR, TEXCOORD 0 and 1 FLOAT2.
    EXPECT_EQ(Trace().Count("CreateVertexDeclaration(decl"), 1u);
    EXPECT_NE(Trace().Calls().back().find(",0:1:0:0;8:4:10:0;12:1:5:0;20:1:5:1)"), std::string::npos);

    CallBuiltin("vertex_format_add_position");
    EXPECT_NE(LastError().find("vertex_format_add_position(): haven't started a new format."),
              std::string::npos);
    CallBuiltin("vertex_format_begin");
    for (int i = 0; i < 33; ++i) CallBuiltin("vertex_format_add_custom", {RValue_Real(1), RValue_Real(5)});
    EXPECT_NE(LastError().find("vertex_format_add_custom(): Too many elements"), std::string::npos);
    CallBuiltin("vertex_format_add_custom", {RValue_Real(7), RValue_Real(5)});
    CallBuiltin("vertex_format_begin");
    EXPECT_NE(LastError().find("Can't start a new format, still creating another one."), std::string::npos);
    EXPECT_EQ(CallReal("vertex_format_end"), 0x1000001);
    EXPECT_EQ(VertexFormat_Get(0x1000001)->elements.size(), 32u);

    CallBuiltin("vertex_format_delete", {RValue_Real(0x1000000)});
    EXPECT_EQ(VertexFormat_Get(0x1000000), nullptr);
    EXPECT_EQ(MakeFormat({}), 0x1000000);  // the freed slot, a format of stride 0
    EXPECT_EQ(VertexFormat_Get(0x1000000)->stride, 0);
    RValue text = RValue_Undefined();
    RValue_SetStringBytes(&text, "x", 1);
    CallBuiltin("vertex_format_delete", {text});
    EXPECT_NE(LastError().find("FATAL ERROR"), std::string::npos);
    RValue_Release(&text);
}

TEST_F(ShaderTest, CheckedWritersTakeElementsInAnyOrderOnceEachVertex) {
    Open();
    const double format = MakeFormat({{2, 1}, {5, 2}, {2, 4}});
    const RValue buffer = RValue_Real(CallReal("vertex_create_buffer"));
    CallBuiltin("vertex_begin", {buffer, RValue_Real(format)});
    CallBuiltin("vertex_colour", {buffer, RValue_Real(0x0000FF), RValue_Real(0.5)});
    CallBuiltin("vertex_float2",
                {buffer, RValue_Real(3), RValue_Real(4)});  // the first free float2: position
    CallBuiltin("vertex_float2", {buffer, RValue_Real(0.25), RValue_Real(0.75)});  // then the texcoord
    EXPECT_EQ(CallReal("vertex_get_number", {buffer}), 1);
    const VertexBuffer* vb = VertexBuffer_Get(0);
    float xy[2];
    uint32_t colour;
    std::memcpy(xy, vb->data, 8);
    std::memcpy(&colour, vb->data + 8, 4);
    EXPECT_EQ(xy[0], 3.0f);
    EXPECT_EQ(colour, 0x7FFF0000u);
    CallBuiltin("vertex_colour", {buffer, RValue_Real(0), RValue_Real(1)});
    CallBuiltin("vertex_argb", {buffer, RValue_Real(0)});
    EXPECT_EQ(
        LastError().find("VERTEX BUILDER: element already written, must write the whole vertex first\n\n") !=
            std::string::npos,
        true);
    CallBuiltin("vertex_normal", {buffer, RValue_Real(0), RValue_Real(0), RValue_Real(0)});
    EXPECT_NE(LastError().find("VERTEX BUILDER: Vertex format does not contain selected type."),
              std::string::npos);
    CallBuiltin("vertex_end", {buffer});
    EXPECT_NE(LastError().find("vertex_end: Must finish writing vertex before end."), std::string::npos);

    const RValue small = RValue_Real(CallReal("vertex_create_buffer_ext", {RValue_Real(10)}));
    EXPECT_EQ(CallReal("vertex_get_buffer_size", {small}), 256);
    CallBuiltin("vertex_freeze", {small});  // never finished
    EXPECT_NE(LastError().find("vertex_freeze: must end the vertex builder first"), std::string::npos);
    EXPECT_FALSE(VertexBuffer_Get(1)->frozen);
}

TEST_F(ShaderTest, UncheckedWritersAppendInFormatOrder) {
    Open();
    VertexBuffer_Set_Checked(false);
    const double format = MakeFormat({{2, 1}, {5, 2}});
    const RValue buffer = RValue_Real(CallReal("vertex_create_buffer_ext", {RValue_Real(1)}));
    CallBuiltin("vertex_position", {RValue_Real(99), RValue_Real(1), RValue_Real(2)});  // no such buffer
    CallBuiltin("vertex_begin", {buffer, RValue_Real(format)});
    for (int i = 0; i < 40; ++i) {
        CallBuiltin("vertex_position", {buffer, RValue_Real(i), RValue_Real(2)});
        CallBuiltin("vertex_argb", {buffer, RValue_Real(0xFF00FF00u)});
    }
    CallBuiltin("vertex_end", {buffer});
    const VertexBuffer* vb = VertexBuffer_Get(0);
    EXPECT_EQ(vb->vertexCount, 40);
    EXPECT_EQ(vb->writeOffset, 480u);
    float x;
    std::memcpy(&x, vb->data + 39 * 12, 4);
    EXPECT_EQ(x, 39.0f);
}

TEST_F(ShaderTest, LargeListsGoToTheBatchInChunksAndStripsOfThatSizeDrawNothing) {
    OpenInFrame();
    const double format = MakeFormat({{3, 1}, {5, 2}, {2, 4}});  // stride 24
    const RValue buffer = RValue_Real(CallReal("vertex_create_buffer"));
    VertexBuffer_Set_Checked(false);  // 100,000 vertices are quicker unchecked
    CallBuiltin("vertex_begin", {buffer, RValue_Real(format)});
    for (int i = 0; i < 100000; ++i) {
        CallBuiltin("vertex_position_3d", {buffer, RValue_Real(i % 640), RValue_Real(1), RValue_Real(0)});
        CallBuiltin("vertex_argb", {buffer, RValue_Real(0xFFFFFFFFu)});
        CallBuiltin("vertex_texcoord", {buffer, RValue_Real(0), RValue_Real(0)});
    }
    CallBuiltin("vertex_end", {buffer});
    VertexBuffer_Set_Checked(true);
    CallBuiltin("vertex_submit", {buffer, RValue_Real(4), RValue_Real(-1)});
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive("), 2u);
    EXPECT_EQ(Trace().Count("DrawPrimitive(4,0,21845)"), 1u);  // 65,535 vertices
    EXPECT_EQ(Trace().Count("DrawPrimitive(4,0,11488)"), 1u);  // 34,465
    EXPECT_EQ(Trace().Count("SetVertexDeclaration(decl"), 2u);
    Trace().ClearCalls();
    CallBuiltin("vertex_submit", {buffer, RValue_Real(5), RValue_Real(-1)});
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive"), 0u);

    CallBuiltin("vertex_freeze", {buffer});
    EXPECT_TRUE(VertexBuffer_Get(0)->frozen);
    CallBuiltin("vertex_submit", {buffer, RValue_Real(6), RValue_Real(-1)});
    EXPECT_NE(LastError().find("vertex_submit: Primitive type error."), std::string::npos);
    Trace().ClearCalls();
    CallBuiltin("vertex_submit", {buffer, RValue_Real(4), RValue_Real(-1)});
    EXPECT_EQ(Trace().Count("DrawPrimitive(4,0,33333)"), 1u);
}

TEST_F(ShaderTest, ABufferWhoseFormatWasDeletedDrawsNothing) {
    OpenInFrame();
    const double format = MakeFormat({{2, 1}, {5, 2}});
    const RValue buffer = RValue_Real(CallReal("vertex_create_buffer"));
    CallBuiltin("vertex_begin", {buffer, RValue_Real(format)});
    for (int i = 0; i < 3; ++i) {
        CallBuiltin("vertex_position", {buffer, RValue_Real(i), RValue_Real(0)});
        CallBuiltin("vertex_argb", {buffer, RValue_Real(0)});
    }
    CallBuiltin("vertex_end", {buffer});
    CallBuiltin("vertex_format_delete", {RValue_Real(format)});
    EXPECT_EQ(MakeFormat({{4, 1}}), format);  // a new format under the same id
    CallBuiltin("vertex_submit", {buffer, RValue_Real(4), RValue_Real(-1)});
    GraphicsFlush();
    EXPECT_EQ(Trace().Count("DrawPrimitive"), 0u);
    EXPECT_EQ(VertexBuffer_Get(0)->contents->stride, 12);  // the old layout is still there
}

TEST_F(ShaderTest, BuffersMadeFromBinaryBuffersCountWholeVertices) {
    Open();
    const double format = MakeFormat({{2, 1}, {5, 2}});
    const int32_t source = Buffer_Create(30, eBufferType_Fixed, 1);
    std::vector<uint8_t> bytes(30, 7);
    IBuffer_CopyFromMemory(Buffer_GetByIndex(source), bytes.data(), 30, 0, 30, 0, false, false, false);
    ASSERT_EQ(Buffer_GetByIndex(source)->GetUsedSize(), 30);
    const RValue made =
        RValue_Real(CallReal("vertex_create_buffer_from_buffer", {RValue_Real(source), RValue_Real(format)}));
    const VertexBuffer* vb = VertexBuffer_Get(static_cast<int32_t>(made.val));
    ASSERT_NE(vb, nullptr);
    EXPECT_EQ(vb->vertexCount, 2);
    EXPECT_EQ(vb->writeOffset, 30u);
    EXPECT_EQ(vb->capacity, 256u);
    EXPECT_EQ(vb->data[29], 7);
    const double ext = CallReal("vertex_create_buffer_from_buffer_ext",
                                {RValue_Real(source), RValue_Real(format), RValue_Real(12), RValue_Real(1)});
    EXPECT_EQ(VertexBuffer_Get(static_cast<int32_t>(ext))->capacity, 12u);
    CallBuiltin("vertex_create_buffer_from_buffer", {RValue_Real(source), RValue_Real(MakeFormat({}))});
    EXPECT_NE(LastError().find("specified vertex format doesn't exist"), std::string::npos);
    Buffer_Free(source);
}

}  // namespace shader_trace_test
