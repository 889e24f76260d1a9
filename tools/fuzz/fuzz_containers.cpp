// libFuzzer target for container texts: the first byte picks the container kind, whether the
// rest is taken as the text itself or as the bytes of a stream spelled in hex, and the legacy
// flag. Whatever a text makes is walked, written, and its writing read back, which must
// write the same text again (maps aside: array keys hash by address, so their order may move).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "data/Support_Data_Structures.h"

namespace {

template <typename T>
std::string Written(const T& container) {
    char* text = container.Write();
    std::string result = text ? text : "";
    MEM_FREE(text);
    return result;
}

template <typename T, typename... Make>
void Exercise(const std::string& text, bool legacy, bool checkRoundTrip, Make... make) {
    T first(make...);
    first.Read(text.c_str(), legacy);
    const std::string written = Written(first);
    T second(make...);
    if (!second.Read(written.c_str(), false)) std::abort();
    if (checkRoundTrip && Written(second) != written) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_Switches.headless = true;  // the unsupported-kind lines would only slow the run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 18)) return 0;
    const uint8_t control = data[0];
    std::string text;
    if (control & 0x10) {
        text.assign(reinterpret_cast<const char*>(data + 1), size - 1);
        text = text.c_str();  // a text ends at its first zero
    } else {
        static const char digits[] = "0123456789ABCDEF";
        for (size_t i = 1; i < size; ++i) {
            text += digits[data[i] >> 4];
            text += digits[data[i] & 15];
        }
    }
    const bool legacy = (control & 0x20) != 0;
    switch (control % 6) {
        case 0:
            Exercise<CDS_Stack>(text, legacy, true);
            break;
        case 1:
            Exercise<CDS_Queue>(text, legacy, true);
            break;
        case 2: {
            Exercise<CDS_List>(text, legacy, true);
            CDS_List list;
            list.Read(text.c_str(), legacy);
            list.Sort(true);
            list.Shuffle();
            break;
        }
        case 3: {
            Exercise<CDS_Map>(text, legacy, false);
            CDS_Map map;
            map.Read(text.c_str(), legacy);
            // The walk by key visits every entry once: no map holds a key twice.
            int32_t steps = 0;
            for (const RValue* key = map.FindFirst(); key != nullptr; key = map.FindNext(key)) {
                if (++steps > map.Size()) std::abort();
                if (map.Size() > 256) break;  // each step walks the whole map
            }
            break;
        }
        case 4:
            Exercise<CDS_Priority>(text, legacy, true);
            break;
        default: {
            Exercise<CDS_Grid>(text, legacy, true, 1, 1);
            CDS_Grid grid(1, 1);
            grid.Read(text.c_str(), legacy);
            RValue result = RValue_Undefined();
            grid.SumDisk(&result, 1, 1, 2);
            grid.MaxRegion(&result, 0, 0, 3, 3, "fuzz");
            grid.Sort(0, 1);
            RValue_Release(&result);
            break;
        }
    }
    return 0;
}
