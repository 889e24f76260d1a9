// The containers the JSON conversions use by default.
#include "io/Support_Json.h"

namespace {

// Until the ds_* tables are linked in, no container exists and none can be made.
class NoContainers final : public JsonContainers {
public:
    bool IsMap(int32_t) override { return false; }
    bool IsList(int32_t) override { return false; }
    void ForEachMapEntry(int32_t, void (*)(const RValue*, const RValue*, void*), void*) override {}
    int32_t ListSize(int32_t) override { return 0; }
    const RValue* ListItem(int32_t, int32_t) override { return nullptr; }
    int32_t NewMap() override { return -1; }
    int32_t NewList() override { return -1; }
    bool MapHas(int32_t, const char*) override { return false; }
    void MapAdd(int32_t, const char*, const RValue*) override {}
    void ListAdd(int32_t, const RValue*) override {}
};

}  // namespace

JsonContainers* DefaultContainers() {
    static NoContainers none;
    return &none;
}
