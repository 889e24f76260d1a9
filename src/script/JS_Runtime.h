// What the value layer and the interpreter ask of the script object runtime, answered by it.
#pragma once

// Installs the runtime's answers in core's script-object interface (start-up, every mode:
// string and object arguments convert to numbers through the runtime's ToNumber).
void JS_InstallCoreHooks();
