// Debug views of the physics state drawn with the 2-D primitives in room coordinates: the
// whole world as the library walks it, or one body's fixtures and joints.
#pragma once

#include <box2d/box2d.h>

#include <cstdint>

class CPhysicsObject;
class CPhysicsWorld;

// Where the debug views draw; the screen by default, a recorder in tests.
class PhysicsDebugCanvas {
public:
    virtual ~PhysicsDebugCanvas() = default;
    virtual void SetColour(uint32_t colour) = 0;  // 0xBBGGRR
    virtual void Line(float x1, float y1, float x2, float y2) = 0;
    virtual void Triangle(float x1, float y1, float x2, float y2, float x3, float y3) = 0;  // filled
    virtual void Ellipse(float x1, float y1, float x2, float y2, bool outline) = 0;
};

// The draw primitives of the current drawing.
PhysicsDebugCanvas& PhysicsDebug_Screen();

// The draw colour of a library colour: each component x 256, its low 8 bits kept.
uint32_t PhysicsDebug_Colour(const b2Color& colour);

// The library flags selected by the script's debug flags.
uint32_t PhysicsDebug_LibraryFlags(uint32_t scriptFlags);

// Draws the world through the library's debug walk with the flags mapped; the renderer's flags
// are 0 again afterwards.
void PhysicsDebug_DrawWorld(CPhysicsWorld* world, uint32_t scriptFlags,
                            PhysicsDebugCanvas& canvas = PhysicsDebug_Screen());

// Draws the body's fixtures, then its joints, in the current draw colour; scale is 1 / factor.
void PhysicsDebug_DrawObject(const CPhysicsObject* object, float scale,
                             PhysicsDebugCanvas& canvas = PhysicsDebug_Screen());
