// libFuzzer target for the image readers: every input goes to the PNG, JPEG and GIF decoders
// and the "BM" reader (each turns away what is not its own at the first bytes), and a bitmap
// that reads is put through the background removal and smoothing that loading may apply.
#include <cstddef>
#include <cstdint>

#include "assets/Graphics_Bitmap32.h"
#include "assets/ImageDecode.h"
#include "assets/TBitmap.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_Switches.headless = true;  // the decoders' console lines would only slow the run
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
