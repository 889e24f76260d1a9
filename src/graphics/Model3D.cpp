#include "graphics/Model3D.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "graphics/GPUState.h"
#include "graphics/Graphics_Batch.h"
#include "graphics/Graphics_DisplayM.h"
#include "graphics/Graphics_Hooks.h"
#include "graphics/Graphics_Matrix.h"
#include "graphics/Graphics_Primitive.h"
#include "io/LoadSave.h"
#include "platform/Device.h"

namespace {

std::vector<Model3D*> s_Models;

// The most commands a model file may announce; larger counts are refused, not allocated.
constexpr int32_t kMaxFileCommands = 1 << 22;

float F(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Which values of each command type are integers (bit i: value i + 1).
uint32_t IntegerMask(int32_t type) {
    switch (type) {
        case 3:
            return 1u << 3;
        case 5:
            return 1u << 5;
        case 7:
            return 1u << 6;
        case 9:
            return 1u << 8;
        case 11:
        case 12:
            return 1u << 8 | 1u << 9;
        case 13:
            return 1u << 8;
        default:
            return 0;
    }
}

// Types whose vertices take the draw colour.
bool UsesDrawColour(int32_t type) {
    return type == 2 || type == 4 || type == 6 || type == 8 || (type >= 10 && type <= 15);
}

void Append(RecorderList& list, const Vertex3D* vertices, int32_t count) {
    list.vertices.insert(list.vertices.end(), vertices, vertices + count);
}

void ClearModel(Model3D* model) {
    model->commands.clear();
    model->commands.shrink_to_fit();
    for (GraphicsRecorder* recorder : model->recorders) GraphicsRecorder_Free(recorder);
    model->recorders.clear();
}

void Replay(const Model3D& model, int32_t texture, bool* usedDrawColour) {
    for (const ModelCommand& c : model.commands) {
        const uint32_t* v = c.values;
        const auto f = [v](int32_t i) { return F(v[i]); };
        const auto n = [v](int32_t i) { return static_cast<int32_t>(v[i]); };
        if (UsesDrawColour(c.type)) *usedDrawColour = true;
        switch (c.type) {
            case 0:
                GR_D3D_Primitive_Begin(static_cast<int32_t>(std::lround(f(0))), texture);
                break;
            case 1:
                GR_D3D_Primitive_End();
                break;
            case 2:
                GR_D3D_Vertex(f(0), f(1), f(2));
                break;
            case 3:
                GR_D3D_Vertex_Colour(f(0), f(1), f(2), n(3), f(4));
                break;
            case 4:
                GR_D3D_Vertex_Texture(f(0), f(1), f(2), f(3), f(4));
                break;
            case 5:
                GR_D3D_Vertex_Texture_Colour(f(0), f(1), f(2), f(3), f(4), n(5), f(6));
                break;
            case 6:
                GR_D3D_Vertex_Normal(f(0), f(1), f(2), f(3), f(4), f(5));
                break;
            case 7:
                GR_D3D_Vertex_Normal_Colour(f(0), f(1), f(2), f(3), f(4), f(5), n(6), f(7));
                break;
            case 8:
                GR_D3D_Vertex_Normal_Texture(f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7));
                break;
            case 9:
                GR_D3D_Vertex_Normal_Texture_Colour(f(0), f(1), f(2), f(3), f(4), f(5), f(6), f(7), n(8),
                                                    f(9));
                break;
            case 10:
                GR_D3D_Draw_Block(f(0), f(1), f(2), f(3), f(4), f(5), texture, f(6), f(7));
                break;
            case 11:
                GR_D3D_Draw_Cylinder(f(0), f(1), f(2), f(3), f(4), f(5), texture, f(6), f(7), n(8) != 0,
                                     n(9));
                break;
            case 12:
                GR_D3D_Draw_Cone(f(0), f(1), f(2), f(3), f(4), f(5), texture, f(6), f(7), n(8) != 0, n(9));
                break;
            case 13:
                GR_D3D_Draw_Ellipsoid(f(0), f(1), f(2), f(3), f(4), f(5), texture, f(6), f(7), n(8));
                break;
            case 14:
                GR_D3D_Draw_Wall(f(0), f(1), f(2), f(3), f(4), f(5), texture, f(6), f(7));
                break;
            case 15:
                GR_D3D_Draw_Floor(f(0), f(1), f(2), f(3), f(4), f(5), texture, f(6), f(7));
                break;
            default:
                break;
        }
    }
}

// One line of a model file: leading line ends and NULs skipped, up to the next terminator.
bool ReadLine(const std::string& text, size_t* at, std::string* line) {
    size_t i = *at;
    while (i < text.size() && (text[i] == '\n' || text[i] == '\r' || text[i] == '\0')) ++i;
    if (i >= text.size()) {
        *at = i;
        return false;
    }
    size_t end = i;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r' && text[end] != '\0') ++end;
    *line = text.substr(i, end - i);
    *at = end;
    return true;
}

GpuVertexBuffer* CreateBuffer(const std::vector<Vertex3D>& vertices) {
    GpuVertexBuffer* buffer = nullptr;
    const uint32_t bytes = static_cast<uint32_t>(vertices.size() * sizeof(Vertex3D));
    if (!g_D3D.device ||
        g_D3D.device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0x152, D3DPOOL_MANAGED, &buffer) < 0 ||
        !buffer)
        return nullptr;
    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, 0) >= 0 && data) {
        std::memcpy(data, vertices.data(), bytes);
        buffer->Unlock();
    }
    return buffer;
}

}  // namespace

void GraphicsRecorder_Add(int32_t kind, int32_t count, const Vertex3D* v) {
    GraphicsRecorder* recorder = g_ActiveRecorder;
    if (!recorder || count <= 0) return;
    RecorderList& triangles = recorder->lists[0];
    RecorderList& lines = recorder->lists[1];
    switch (kind) {
        case 2:
            Append(lines, v, count);
            break;
        case 3:
            for (int32_t i = 0; i + 1 < count; ++i) Append(lines, v + i, 2);
            break;
        case 4:
            Append(triangles, v, count);
            break;
        case 5:
            for (int32_t k = 0; k + 2 < count; ++k) {
                const Vertex3D tri[3] = {k % 2 == 0 ? v[k] : v[k + 2], v[k + 1],
                                         k % 2 == 0 ? v[k + 2] : v[k]};
                Append(triangles, tri, 3);
            }
            break;
        case 6:
            for (int32_t i = 0; i + 2 < count; ++i) {
                const Vertex3D tri[3] = {v[0], v[i + 1], v[i + 2]};
                Append(triangles, tri, 3);
            }
            break;
        default:
            Append(recorder->lists[2], v, count);
            break;
    }
}

void GraphicsRecorder_Release_Buffers(GraphicsRecorder* recorder) {
    for (RecorderList& list : recorder->lists) {
        if (list.buffer) list.buffer->Release();
        list.buffer = nullptr;
    }
}

void GraphicsRecorder_Free(GraphicsRecorder* recorder) {
    if (!recorder) return;
    GraphicsRecorder_Release_Buffers(recorder);
    delete recorder;
}

void GraphicsRecorder_Set_Colour(GraphicsRecorder* recorder, uint32_t colour) {
    const uint32_t wanted = colour & ~1u;
    for (RecorderList& list : recorder->lists)
        for (Vertex3D& vertex : list.vertices)
            if (vertex.colour == recorder->colour) vertex.colour = wanted;
    GraphicsRecorder_Release_Buffers(recorder);
    recorder->colour = wanted;
}

void GraphicsRecorder_Draw(GraphicsRecorder* recorder, float x, float y, float z) {
    GraphicsFlush();
    if (!g_D3D.device) return;
    const Matrix4 world = g_Matrices[GR_MATRIX_WORLD];
    Matrix4 moved, translation = Matrix_Identity;
    translation.m[12] = x;
    translation.m[13] = y;
    translation.m[14] = z;
    Matrix_Multiply(&moved, translation, world);
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, moved);
    GR_Mark_Transform_Dirty();
    const bool repeat = GR_Texture_Get_Repeat();
    GR_Texture_Set_Repeat(true);
    GPUState_Apply(&g_GPUState);
    g_GRHooks.setTexture(g_Batch.textureStage, recorder->record);
    static const uint32_t kKinds[3] = {D3DPT_TRIANGLELIST, D3DPT_LINELIST, D3DPT_POINTLIST};
    static const uint32_t kPerPrimitive[3] = {3, 2, 1};
    for (int32_t i = 0; i < 3; ++i) {
        RecorderList& list = recorder->lists[i];
        if (list.vertices.empty()) continue;
        if (!list.buffer) {
            list.vertices.shrink_to_fit();
            list.buffer = CreateBuffer(list.vertices);
            if (!list.buffer) continue;
        }
        g_D3D.device->SetStreamSource(0, list.buffer, 0, sizeof(Vertex3D));
        g_D3D.device->SetFVF(0x152);
        const uint32_t primitives = static_cast<uint32_t>(list.vertices.size()) / kPerPrimitive[i];
        if (primitives > 0) g_D3D.device->DrawPrimitive(kKinds[i], 0, primitives);
        ++g_Batch.drawCalls;
    }
    GR_Batch_Close();
    GR_Texture_Set_Repeat(repeat);
    GR_D3D_Set_Matrix(GR_MATRIX_WORLD, world);
    GR_Mark_Transform_Dirty();
}

Model3D* Model3D_Get(int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(s_Models.size())) return nullptr;
    return s_Models[static_cast<size_t>(index)];
}

int32_t Model3D_Create() {
    for (size_t i = 0; i < s_Models.size(); ++i) {
        if (!s_Models[i]) {
            s_Models[i] = new Model3D();
            return static_cast<int32_t>(i);
        }
    }
    s_Models.push_back(new Model3D());
    return static_cast<int32_t>(s_Models.size() - 1);
}

void Model3D_Destroy_By_Index(int32_t index) {
    Model3D* model = Model3D_Get(index);
    if (!model) return;
    ClearModel(model);
    delete model;
    s_Models[static_cast<size_t>(index)] = nullptr;
}

void Model3D_Clear_By_Index(int32_t index) {
    if (Model3D* model = Model3D_Get(index)) ClearModel(model);
}

void Model3D_Free_All() {
    for (size_t i = 0; i < s_Models.size(); ++i) Model3D_Destroy_By_Index(static_cast<int32_t>(i));
    s_Models.clear();
}

void Model3D_Add_Command(int32_t index, int32_t type, const float* values, int32_t count, uint32_t intMask,
                         const int32_t* ints) {
    Model3D* model = Model3D_Get(index);
    if (!model) return;
    if (model->commands.size() == model->commands.capacity())
        model->commands.reserve(model->commands.empty() ? 32 : model->commands.size() * 2);
    ModelCommand command = {type, {}};
    for (int32_t i = 0; i < count && i < 10; ++i)
        command.values[i] = (intMask >> i & 1u) ? static_cast<uint32_t>(ints[i]) : Bits(values[i]);
    model->commands.push_back(command);
}

bool Model3D_Save_By_Index(int32_t index, const char* path) {
    const Model3D* model = Model3D_Get(index);
    if (!model) return false;
    // Binary mode with explicit "\r\n": the files read the same wherever they were written.
    FILE* file = LoadSave_wfopen(path, "wb");
    if (!file) return false;
    std::fprintf(file, "100\r\n%d\r\n", static_cast<int32_t>(model->commands.size()));
    for (const ModelCommand& c : model->commands) {
        const uint32_t mask = IntegerMask(c.type);
        std::fprintf(file, "%d", c.type);
        for (int32_t i = 0; i < 10; ++i) {
            const double value = (mask >> i & 1u) ? static_cast<double>(static_cast<int32_t>(c.values[i]))
                                                  : static_cast<double>(F(c.values[i]));
            std::fprintf(file, " %10.4f", value);
        }
        std::fputs("\r\n", file);
    }
    std::fclose(file);
    return true;
}

bool Model3D_Load_By_Index(int32_t index, const char* path) {
    Model3D* model = Model3D_Get(index);
    if (!model) return false;
    ClearModel(model);
    FILE* file = LoadSave_wfopen(path, "rb");
    if (!file) return false;
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
    if (text.empty()) return false;
    size_t at = 0;
    std::string line;
    if (!ReadLine(text, &at, &line) || line != "100") return false;
    if (!ReadLine(text, &at, &line)) return true;
    const int32_t count = std::atoi(line.c_str());
    // A negative or huge count is a damaged file: refuse it rather than allocate for it.
    if (count < 0 || count > kMaxFileCommands) return false;
    model->commands.reserve(static_cast<size_t>(count));
    float numbers[10] = {};
    for (int32_t n = 0; n < count; ++n) {
        // Missing lines end the list: the model keeps the commands read so far.
        if (!ReadLine(text, &at, &line)) break;
        int32_t type = 0;
        std::sscanf(line.c_str(), "%d %f %f %f %f %f %f %f %f %f %f", &type, &numbers[0], &numbers[1],
                    &numbers[2], &numbers[3], &numbers[4], &numbers[5], &numbers[6], &numbers[7], &numbers[8],
                    &numbers[9]);
        ModelCommand command = {type, {}};
        const uint32_t mask = IntegerMask(type);
        for (int32_t i = 0; i < 10; ++i)
            command.values[i] =
                (mask >> i & 1u) ? static_cast<uint32_t>(static_cast<int32_t>(numbers[i])) : Bits(numbers[i]);
        model->commands.push_back(command);
    }
    return true;
}

void Model3D_Draw_By_Index(int32_t index, float x, float y, float z, int32_t texture) {
    Model3D* model = Model3D_Get(index);
    if (!model) return;
    const uint32_t drawColour = GR_D3D_Vertex_Draw_Colour();
    GraphicsRecorder* found = nullptr;
    for (GraphicsRecorder* recorder : model->recorders)
        if (recorder->texture == texture) found = recorder;
    if (found) {
        if (found->colour != drawColour) GraphicsRecorder_Set_Colour(found, drawColour);
    } else {
        found = new GraphicsRecorder();
        found->colour = drawColour;
        found->texture = texture;
        found->record = GR_D3D_Texture_Record(texture);
        model->recorders.push_back(found);
        g_ActiveRecorder = found;
        bool usedDrawColour = false;
        Replay(*model, texture, &usedDrawColour);
        if (!usedDrawColour) found->colour = 0;
        g_ActiveRecorder = nullptr;
    }
    GraphicsRecorder_Draw(found, x, y, z);
}
