// The action built-ins: the ready-made steps of event handlers made of actions, each a thin
// call into the instance, motion, room, drawing, sound, particle and dialog operations, with
// the relative flag applied to positions and values.
#pragma once

class CInstance;

// Registers the action_* rows in their fixed order and resets the action particle system.
void InitActionFunctions();

// Destroys the instance as action_kill_object does: the Destroy event once, then the
// instance is marked for removal. Compiled game code calls it directly.
void Action_KillObject(CInstance* instance);
