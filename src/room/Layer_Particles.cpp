#include "room/Layer_Particles.h"

#include "assets/Particle_Main.h"
#include "room/Layer_Manager.h"
#include "base/GEN8.h"
#include "world/Run.h"

namespace {

bool LayerMode() {
    return g_GameHeader.layerModel;
}

// A new element for the system on the layer at that depth (a dynamic layer when there is none).
int32_t AddParticleElement(int32_t system, int32_t depth) {
    CRoom* room = Run_Room();
    if (room == nullptr) return -1;
    LayerParticleElement* element = LayerElement_NewParticleSystem();
    if (element == nullptr) return -1;
    element->systemIndex = system;
    const int32_t id = Layer_AddElementAtDepth(room, depth, element, true, true);
    if (id == -1) LayerElement_Discard(element);
    return id;
}

void RemoveParticleElement(int32_t elementId) {
    if (CRoom* room = Run_Room()) Layer_RemoveElement(room, elementId, true);
}

}  // namespace

void Layer_InstallParticleHooks() {
    g_ParticleLayerHooks.layerMode = LayerMode;
    g_ParticleLayerHooks.addElement = AddParticleElement;
    g_ParticleLayerHooks.removeElement = RemoveParticleElement;
}
