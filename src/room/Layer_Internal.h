// What the layer module's own files share and nobody else needs.
#pragma once

#include "room/Layer_Manager.h"

CLayer* LayerPool_TakeLayer();
void LayerPool_GiveLayer(CLayer* layer);
TileBatch* LayerPool_TakeBatch();
void LayerPool_GiveBatch(TileBatch* batch);
void LayerElement_DeleteByKind(CLayerElement* element);

// The next element id from the one counter of the whole run; -1 once ids have run out.
int32_t LayerIds_NextElementId();
// Frees the layer's own name and gives it, with an empty element list, back to the pool.
void Layer_ReleaseToPool(CLayer* layer);
void Layer_Unlink(RoomLayers* layers, CLayer* layer);
void Layer_AppendLayer(RoomLayers* layers, CLayer* layer);
void ElementList_Unlink(LayerElementList& list, CLayerElement* element);
void ElementList_Append(LayerElementList& list, CLayerElement* element);
bool Layer_RoomsUseLayers();
