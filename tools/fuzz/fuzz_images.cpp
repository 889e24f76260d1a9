// libFuzzer target for the image readers: every input goes to the PNG, JPEG and GIF decoders,
// the "BM" reader and the DDS reader (each turns away what is not its own at the first bytes),
// and to texture creation from a TXTR blob (on demand, so no device is needed); a bitmap that
// reads is put through the background removal and smoothing that loading may apply.
#include <cstddef>
#include <cstdint>

#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "graphics/TBitmap.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "graphics/DDS_Main.h"
#include "graphics/TexturesM.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_Switches.headless = true;  // the decoders' console lines would only slow the run
    g_Switches.createTexturesOnDemand = true;
    Image_InstallTextureReader();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    const int32_t n = (int32_t)size;
    int32_t w = 0, h = 0;
    PNG_Decode(data, n, &w, &h);
    PNG_Release();
    PNG_GetSize(data, n, &w, &h, true);
    MEM_FREE(JPEG_Decode(data, n, &w, &h));
    MEM_FREE(GIF_Decode(data, n, &w, &h));
    MEM_FREE(DDS_Decode(data, uint32_t(size), &w, &h));
    GR_ImageInfo info;
    GR_Texture_Free_Record(GR_Texture_Create_From_Blob(data, uint32_t(size), &info, TEXFMT_A8R8G8B8));

    CMemoryReadStream stream(data, n);
    TBitmap bitmap;
    bitmap.LoadFromStream(&stream);
    if (bitmap.HasPixels()) {
        CBitmap32 picture(&bitmap, true, true);
        int32_t* bounds = picture.GetOpaqueBounds();
        MEM_FREE(bounds);
    }
    return 0;
}
