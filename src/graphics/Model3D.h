// 3-D models: lists of drawing commands built by scripts, saved to and loaded from a small text
// file, and drawn through graphics recorders. The first draw with a texture handle replays the
// commands into a recorder, which keeps every primitive as plain triangle, line and point lists;
// later draws send those lists from static device buffers.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/Graphics_Primitive3D.h"

struct ModelCommand {
    int32_t type;
    uint32_t values[10];  // floats, or 32-bit integers for colours, the closed flag and steps
};

struct GpuVertexBuffer;

struct RecorderList {
    std::vector<Vertex3D> vertices;
    GpuVertexBuffer* buffer = nullptr;
};

struct GraphicsRecorder {
    uint32_t colour = 0;  // the draw colour its draw-colour vertices carry (bit 0 clear), or 0
    int32_t texture = -1;
    TextureRecord* record = nullptr;
    RecorderList lists[3];  // triangles, lines, points
};

struct Model3D {
    std::vector<ModelCommand> commands;
    std::vector<GraphicsRecorder*> recorders;  // one per texture handle, oldest first
};

int32_t Model3D_Create();
void Model3D_Destroy_By_Index(int32_t index);
void Model3D_Clear_By_Index(int32_t index);
bool Model3D_Save_By_Index(int32_t index, const char* path);
bool Model3D_Load_By_Index(int32_t index, const char* path);
void Model3D_Draw_By_Index(int32_t index, float x, float y, float z, int32_t texture);
Model3D* Model3D_Get(int32_t index);  // null for a bad index or a free slot
void Model3D_Free_All();

// Command appenders: the values of each command type in order (integers where the type has them).
void Model3D_Add_Command(int32_t index, int32_t type, const float* values, int32_t count,
                         uint32_t intMask = 0, const int32_t* ints = nullptr);

// Recorder operations.
void GraphicsRecorder_Set_Colour(GraphicsRecorder* recorder, uint32_t colour);
void GraphicsRecorder_Draw(GraphicsRecorder* recorder, float x, float y, float z);
void GraphicsRecorder_Release_Buffers(GraphicsRecorder* recorder);
void GraphicsRecorder_Free(GraphicsRecorder* recorder);
