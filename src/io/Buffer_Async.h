// Asynchronous buffer saves and loads: buffer_save_async, buffer_load_async and the groups
// that gather several files into one request. The work is done by a record on the request
// list (io/HTTP_Main.h) in the next asynchronous stage, on the main thread, and reported as
// Other event 72 with "id", "status" and "error".
#pragma once

// Registers the five asynchronous buffer built-ins.
void InitBufferAsyncFunctions();
// Drops an open group and the files gathered for it (restart, tests).
void BufferAsync_Reset();
