// The process's event queue. It works with no window and no video at all: the queue then
// holds only what the process posts to itself (and SDL's SIGINT/SIGTERM quit requests).
#pragma once

#include <cstdint>

#include "platform/WindowMessage.h"

// Receives every message the queue's events stand for; the window layer registers its
// procedure here. With none registered such events are dropped.
using PlatformEventDispatcher = void (*)(const WindowMessage& message);
void PlatformEvents_SetDispatcher(PlatformEventDispatcher dispatcher);

// Takes events until the queue is empty, handing each event's messages to the dispatcher. A
// quit event ends the pump at once and leaves the events behind it queued; the result says
// one was taken.
bool PlatformEvents_Pump();

// Queues a quit event behind whatever is already queued. Safe from any thread.
void PlatformEvents_PostQuit();

// The messages one native (SDL) event stands for, in the order the window gets them; at most
// capacity are written and their number is answered. Events that mean nothing to the window
// give none.
int32_t PlatformEvents_Translate(const void* nativeEvent, WindowMessage* out, int32_t capacity);
