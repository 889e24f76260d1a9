// The event built-ins: performing an event, a user event, another object's event or the
// parent's version of the running one.
#pragma once

void InitEventFunctions();
