// The physics module's start-up: rooms get their worlds through it, instances their bodies.
#pragma once

class CInstance;
class CPhysicsWorld;
class CRoom;

// Fills the world's physics services and the instances' body hooks, and turns the library
// checks' reports on.
void Physics_Install();

// Gives an instance of a physics object the body its object describes, in the world given.
void Physics_CreateInstanceBody(CInstance* instance, CPhysicsWorld* world);

// The frame rate a room runs at: the game clock's rate in the layer model, else the room speed.
double Physics_RoomFrameRate(const CRoom* room);
