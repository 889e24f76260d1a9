// The process's event queue. It works with no window and no video at all: the queue then
// holds only what the process posts to itself (and SDL's SIGINT/SIGTERM quit requests).
#pragma once

// Receives every event other than quit, as the native event record; the window layer
// registers its procedure here. With none registered such events are dropped.
using PlatformEventDispatcher = void (*)(const void* nativeEvent);
void PlatformEvents_SetDispatcher(PlatformEventDispatcher dispatcher);

// Takes events until the queue is empty, handing each to the dispatcher. A quit event ends
// the pump at once and leaves the events behind it queued; the result says one was taken.
bool PlatformEvents_Pump();

// Queues a quit event behind whatever is already queued. Safe from any thread.
void PlatformEvents_PostQuit();
