// The containers the JSON conversions use by default: the ds_map and ds_list tables.
#include "data/Function_Data_Structures.h"
#include "io/Support_Json.h"

namespace {

class DsTables final : public JsonContainers {
public:
    bool IsMap(int32_t index) override { return g_DsMapTable.Get(index) != nullptr; }
    bool IsList(int32_t index) override { return g_DsListTable.Get(index) != nullptr; }

    void ForEachMapEntry(int32_t index, void (*visit)(const RValue*, const RValue*, void*),
                         void* context) override {
        const CDS_Map* map = g_DsMapTable.Get(index);
        if (map == nullptr) return;
        for (const DSMapNode* node = map->FirstNode(); node != nullptr; node = map->NextNode(node))
            visit(&node->entry.key, &node->entry.value, context);
    }

    int32_t ListSize(int32_t index) override {
        const CDS_List* list = g_DsListTable.Get(index);
        return list != nullptr ? list->Size() : 0;
    }
    const RValue* ListItem(int32_t index, int32_t position) override {
        CDS_List* list = g_DsListTable.Get(index);
        return list != nullptr ? list->GetItem(position) : nullptr;
    }

    int32_t NewMap() override { return DsMap_Create(); }
    int32_t NewList() override {
        const int32_t index = DS_AllocListSlot();
        g_DsListTable.Store(index, new CDS_List());
        return index;
    }

    bool MapHas(int32_t index, const char* key) override {
        const CDS_Map* map = g_DsMapTable.Get(index);
        if (map == nullptr) return false;
        RValue name = RValue_Undefined();
        RValue_CreateString(&name, key);
        const bool found = map->Find(&name) != nullptr;
        RValue_Free(&name);
        return found;
    }
    void MapAdd(int32_t index, const char* key, const RValue* value) override {
        CDS_Map* map = g_DsMapTable.Get(index);
        if (map == nullptr) return;
        RValue name = RValue_Undefined();
        RValue_CreateString(&name, key);
        map->Add(&name, value);
        RValue_Free(&name);
    }
    void ListAdd(int32_t index, const RValue* value) override {
        if (CDS_List* list = g_DsListTable.Get(index)) list->Add(value);
    }
};

}  // namespace

JsonContainers* DefaultContainers() {
    static DsTables tables;
    return &tables;
}
