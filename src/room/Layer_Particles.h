// Particle systems on layers: each system of a layer-mode game keeps a particle-system element
// on the current room's layer at its depth; the particle module asks for it through its hooks.
#pragma once

// Points the particle module's layer hooks at the room layers.
void Layer_InstallParticleHooks();
