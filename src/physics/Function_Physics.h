// The physics_* built-ins of the world, fixtures, bodies and joints.
#pragma once

// Adds the rows from physics_world_create to physics_joint_delete.
void InitPhysicsFunctions();
