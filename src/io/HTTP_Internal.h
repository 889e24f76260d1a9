// What the request list and the HTTP request threads share inside io.
#pragma once

#include <cstdint>

// Stops every request thread and waits for it; the records stay on the list.
void HTTP_StopAll();

struct HTTP_REQ_CONTEXT;
// The head of the request list.
HTTP_REQ_CONTEXT* Async_FirstRecord();
// Takes the record off the list (it is not deleted).
void Async_Unlink(HTTP_REQ_CONTEXT* record);
// Starts the transfer library if needed; false, with its error printed, when it cannot.
bool HTTP_Open();
