// The maker-prefixed module's services that meet the runner's loop: the per-step tick (the
// achievement pump and the pause event), the cloud-save completion, the queue of script calls
// platform services may post, and shutdown.
#pragma once

#include <cstdint>

struct HTTP_REQ_CONTEXT;

// Once a game step, right after the input layer's start of step.
void Pell_Tick();
// At runner shutdown: the achievement cache is saved.
void Pell_Shutdown();

// --- cloud saves ---------------------------------------------------------------------------------

// The cloud event's subtype.
constexpr int32_t kAsyncEventCloud = 67;
// The completion a cloud service hands its requests: builds the completion map from the
// request's id, status and result bytes, writes its index to *map and answers 67.
int32_t Pell_CloudComplete(HTTP_REQ_CONTEXT* request, void* unused, int32_t* map);

// --- pending script calls ------------------------------------------------------------------------

// The ds_queue a platform service posts script calls to (-1: none). Each call is the script
// index, the argument count n and n values; the service takes Pell_CallbackLock around its
// enqueue.
void Pell_SetCallbackQueue(int32_t queue);
int32_t Pell_CallbackQueue();
class Mutex;
Mutex& Pell_CallbackLock();
// Runs the queued calls (the asynchronous stage, after the in-app purchase events).
void Pell_ProcessCallbacks();

// --- the pause event -----------------------------------------------------------------------------

// The window lost its activation to another program.
void Pell_RegisterPauseEvent();
// A registered pause becomes the paused flag for one step (the tick's last step).
void Pell_UpdatePauseEvent();
bool Pell_IsPaused();
