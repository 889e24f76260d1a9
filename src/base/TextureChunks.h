// Texture pages ("TPAG", kept in place) and textures ("TXTR": each blob becomes a texture and
// the page entries' texture numbers become texture ids).
#pragma once

#include <cstdint>

class ChunkView;

// Makes a texture from an image blob; answers its id (below 0 on failure). `length` is the
// number of bytes from the blob to the end of its chunk: a decoder never reads past it.
using TextureCreateFn = int32_t (*)(const uint8_t* blob, uint32_t length, bool flag);
// The width and height an image blob decodes to, read from its header alone; false when the
// header is not one the creator knows.
using TextureSizeFn = bool (*)(const uint8_t* blob, uint32_t length, int32_t* width, int32_t* height);
void TXTR_SetTextureCreator(TextureCreateFn create, TextureSizeFn sizeOf = nullptr);

// What the textures of one file may take once decoded, checked before any is made: no side
// over the device layer's limit, and in all no more than a fixed allowance plus a multiple of
// the file's size (real pages compress a few times over; a bomb compresses thousands).
constexpr int32_t TXTR_PAGE_SIDE_LIMIT = 8192;
uint64_t TXTR_DecodeBudget(uint32_t fileSize);

void TPAG_Load(ChunkView& chunk);
void TXTR_Load(ChunkView& chunk);

// The page entries kept from "TPAG": their count and the address of entry i (22 bytes, in
// place), or null when the entry no longer lies inside the file.
uint32_t TPAG_Count();
uint8_t* TPAG_Entry(uint32_t i);
// The texture ids made from "TXTR", by entry number.
uint32_t TXTR_Count();
int32_t TXTR_TextureId(uint32_t i);

void TextureChunks_Reset();
