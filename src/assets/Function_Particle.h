// The part_* and effect_* built-ins: the game's faces of the particle types, systems, emitters
// and the ready-made effects.
#pragma once

// Registers the rows, in the order that gives them their built-in indices.
void InitParticleFunctions();
