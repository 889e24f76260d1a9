// The viewport and the device clear of the current targets.
#pragma once

#include <cstdint>

struct GRViewport {
    int32_t x, y, width, height;
};

extern GRViewport g_Viewport;  // -1 each until first set

// colour is a game colour with alpha, 0xAABBGGRR; flags: 1 colour, 2 depth, 4 stencil.
// Only inside a scene.
void GR_D3D_Clear(uint32_t colour, float depth, uint32_t stencil, uint32_t flags);
void GR_D3D_Set_Viewport(int32_t x, int32_t y, int32_t width, int32_t height);
void GR_Set_Viewport(int32_t x, int32_t y, int32_t width, int32_t height);

class TBitmap;
struct TextureRecord;

// Pixel read-back. Pixels are 0xAARRGGBB words, rows top first, exactly width x 4 bytes apart,
// in a memory-manager block the caller frees.

// A rectangle of the current render target (the back buffer, or the surface drawn into) of a
// targetWidth x targetHeight area. Negative x and y read from 0; the size is cut to the area
// and to the target and written back. Null when nothing can be read.
uint32_t* GR_D3D_Read_Target_Pixels(int32_t targetWidth, int32_t targetHeight, int32_t x, int32_t y,
                                    int32_t* width, int32_t* height);
// One pixel of the current target inside the render size, as 0xAABBGGRR; 0 outside it or
// when it cannot be read.
uint32_t GR_Get_Pixel(int32_t x, int32_t y);
// A 32-bit bitmap of a rectangle of the current view's pixels (null when the rectangle is
// empty after clipping); its pixels stay clear when they cannot be read.
TBitmap* GR_Screen_To_Bitmap(int32_t x, int32_t y, int32_t width, int32_t height);

// A rectangle of a texture: a block of the requested size (rows width x 4 bytes apart) whose
// part outside the texture stays 0. Negative x and y read from 0. Null when nothing can be read.
uint32_t* GR_D3D_Read_Texture_Pixels(TextureRecord* record, int32_t x, int32_t y, int32_t width,
                                     int32_t height);
uint32_t* GR_Texture_Read_Pixels(TextureRecord* record, int32_t x, int32_t y, int32_t width, int32_t height);
// Writes rows of width pixels (width x 4 bytes apart) into a texture at (x, y), cut to the
// texture; negative x and y write from 0.
void GR_D3D_Write_Texture_Pixels(const uint32_t* pixels, TextureRecord* record, int32_t x, int32_t y,
                                 int32_t width, int32_t height);
// Copies a rectangle of one texture into another (or elsewhere in the same one), clipped as
// GR_Clip_Copy_Region says.
void GR_D3D_Copy_Texture_Region(TextureRecord* destination, int32_t destinationX, int32_t destinationY,
                                TextureRecord* source, int32_t sourceX, int32_t sourceY, int32_t width,
                                int32_t height);

// The rectangle a texture-to-texture copy can take: a negative source position moves the
// destination by as much and shortens the copy, then likewise a negative destination
// position; the size is cut to both textures. False when nothing is left to copy.
bool GR_Clip_Copy_Region(int32_t destinationWidth, int32_t destinationHeight, int32_t* destinationX,
                         int32_t* destinationY, int32_t sourceWidth, int32_t sourceHeight, int32_t* sourceX,
                         int32_t* sourceY, int32_t* width, int32_t* height);
