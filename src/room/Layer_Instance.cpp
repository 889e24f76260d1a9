// Instances on layers: how instances of the current room join a layer, leave it and follow
// their depth. An instance is held on a layer by one instance element.
#include <cmath>

#include "core/Instance.h"
#include "room/Layer_Internal.h"
#include "room/Layer_Manager.h"

namespace {

int32_t TruncatedDepth(const CInstance* instance) {
    const float depth = instance->depth;
    // NaN and depths beyond int32 land on the nearest representable layer depth.
    if (std::isnan(depth)) return 0;
    if (depth >= 2147483647.0f) return INT32_MAX;
    if (depth <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(std::trunc(depth));
}

LayerInstanceElement* InstanceElementOf(CLayer* layer, const CInstance* instance) {
    for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next)
        if (e->kind == eLayerElement_Instance && static_cast<LayerInstanceElement*>(e)->instance == instance)
            return static_cast<LayerInstanceElement*>(e);
    return nullptr;
}

// Unlinks an instance element and gives it back; the dynamic layer it leaves empty goes too.
void DropInstanceElement(CRoom* room, CLayer* layer, LayerInstanceElement* element) {
    RoomLayers* layers = Room_Layers(room);
    if (layers->elementIds.Find(element->id) == element) layers->elementIds.Remove(element->id);
    if (layers->lastElement == element) layers->lastElement = nullptr;
    ElementList_Unlink(layer->elements, element);
    LayerElement_DeleteByKind(element);
    if (layer->dynamic && layer->elements.count == 0) Layer_Destroy(room, layer->id);
}

}  // namespace

void Layer_AddInstance(CRoom* room, CInstance* instance) {
    if (room == nullptr || instance == nullptr || !Layer_RoomsUseLayers() || instance->onLayer) return;
    if (instance->layer == -1) {
        const int32_t depth = TruncatedDepth(instance);
        CLayer* layer = Layer_FindAtDepth(room, depth, true);
        if (layer == nullptr) layer = Layer_NewDynamic(room, depth);
        Layer_AttachInstance(room, layer, instance);
        return;
    }
    Layer_AttachInstance(room, Layer_Find(room, instance->layer), instance);
}

void Layer_AttachInstance(CRoom* room, CLayer* layer, CInstance* instance) {
    if (room == nullptr || layer == nullptr || instance == nullptr || instance->onLayer) return;
    const int32_t id = LayerIds_NextElementId();
    if (id < 0) return;
    LayerInstanceElement* element = LayerElement_NewInstance();
    element->instanceId = instance->id;
    element->instance = instance;
    instance->layer = layer->id;
    instance->onLayer = 1;
    element->ready = true;
    element->id = id;
    Layer_LinkElement(room, layer, element);
}

void Layer_RemoveInstance(CRoom* room, CInstance* instance) {
    if (room == nullptr || instance == nullptr || !instance->onLayer) return;
    CLayer* layer = Layer_Find(room, instance->layer);
    if (layer != nullptr) {
        Layer_RemoveInstanceElement(room, layer, instance);
        return;
    }
    instance->onLayer = 0;
    instance->layer = -1;
}

void Layer_RemoveInstanceElement(CRoom* room, CLayer* layer, CInstance* instance) {
    if (room == nullptr || layer == nullptr || instance == nullptr || !instance->onLayer) return;
    LayerInstanceElement* element = InstanceElementOf(layer, instance);
    if (element == nullptr) return;
    instance->onLayer = 0;
    instance->layer = -1;
    DropInstanceElement(room, layer, element);
}

void Layer_RemoveInstanceById(CRoom* room, CLayer* layer, int32_t instanceId) {
    if (room == nullptr || layer == nullptr || instanceId == -1) return;
    for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next) {
        if (e->kind != eLayerElement_Instance) continue;
        if (static_cast<LayerInstanceElement*>(e)->instanceId != instanceId) continue;
        DropInstanceElement(room, layer, static_cast<LayerInstanceElement*>(e));
        return;
    }
}

int32_t Layer_GetInstanceLayerId(CRoom* room, int32_t instanceId) {
    for (CLayer* layer = Room_FirstLayer(room); layer != nullptr; layer = layer->next)
        for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next)
            if (e->kind == eLayerElement_Instance &&
                static_cast<LayerInstanceElement*>(e)->instanceId == instanceId)
                return layer->id;
    return -1;
}

void Layer_InstanceDepthChanged(CRoom* room, CInstance* instance) {
    if (room == nullptr || instance == nullptr || !instance->onLayer) return;
    CLayer* layer = Layer_Find(room, instance->layer);
    if (layer == nullptr) return;
    const int32_t depth = TruncatedDepth(instance);
    if (depth == layer->depth) return;
    if (layer->elements.count == 1) {
        CLayerElement* only = layer->elements.head;
        const bool own = only->kind == eLayerElement_Instance &&
                         static_cast<LayerInstanceElement*>(only)->instance == instance;
        if (own) Layer_SetDepth(room, layer, depth, true);
        return;
    }
    Layer_RemoveInstance(room, instance);
    instance->layer = -1;
    Layer_AddInstance(room, instance);
}
