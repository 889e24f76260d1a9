// The runner reaches layers only through its seams; this fills them, and steps the layers of
// the running room once per frame.
#include "room/Layer_Manager.h"
#include "room/Layer_Tilemap.h"
#include "world/Room_Services.h"
#include "world/World_Services.h"

namespace {

float LayerDepth(const CLayer* layer) {
    return layer != nullptr ? static_cast<float>(layer->depth) : 0.0f;
}

void StepElement(CLayerElement* element, double rate, int64_t elapsed) {
    switch (element->kind) {
        case eLayerElement_Background: {
            LayerBackgroundData* data = static_cast<LayerBackgroundElement*>(element)->data;
            if (data != nullptr) data->index += static_cast<float>(data->speed / rate);
            break;
        }
        case eLayerElement_Sprite: {
            auto* sprite = static_cast<LayerSpriteElement*>(element);
            sprite->index += static_cast<float>(sprite->speed / rate);
            break;
        }
        case eLayerElement_Tilemap: {
            auto* tilemap = static_cast<LayerTilemapElement*>(element);
            TileSetInfo set;
            if (!TileSet_Get(tilemap->tileSet, &set) || set.frameTime <= 0 || set.framesPerTile <= 0) break;
            tilemap->frame = static_cast<int32_t>((elapsed / set.frameTime) % set.framesPerTile);
            break;
        }
        default:
            break;
    }
}

}  // namespace

void Room_StepLayers(CRoom* room) {
    for (CLayer* layer = Room_FirstLayer(room); layer != nullptr; layer = layer->next) {
        layer->clock.Update();
        layer->x += layer->hspeed;
        layer->y += layer->vspeed;
        const double rate = layer->clock.GetFps();
        const int64_t elapsed = layer->clock.accumulated;
        for (CLayerElement* e = layer->elements.head; e != nullptr; e = e->next)
            StepElement(e, rate, elapsed);
    }
}

void Layer_InstallHooks() {
    LayerPools_Init();
    g_RoomServices.buildLayers = Room_BuildLayers;
    g_RoomServices.copyLayers = Room_CopyLayers;
    g_RoomServices.freeLayers = Room_FreeLayers;
    g_RoomServices.startLayers = Room_StartLayers;
    g_RoomServices.unlinkLayerElements = Room_UnlinkLayerElements;
    g_RoomServices.layerAddInstance = Layer_AddInstance;
    g_RoomServices.layerRemoveInstance = Layer_RemoveInstance;
    g_RoomServices.layerAttachInstance = Layer_AttachInstance;
    g_RoomServices.layerDepth = LayerDepth;
    g_RoomServices.layerForInstanceId = Layer_GetInstanceLayerId;
    g_RoomServices.layerInstanceDepthChanged = Layer_InstanceDepthChanged;
    WorldServices services;
    services.layerFind = Layer_Find;
    services.layerFindByName = Layer_FindByName;
    World_InstallServices(&services);
}
