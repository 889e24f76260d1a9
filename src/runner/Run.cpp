#include "runner/Run.h"

#include "runner/HalvaneM.h"
#include "runner/Options.h"

void EndGame() {}

void Run_FreeGlobals() {
    Options_Close();
    Runner_SetDataFilePath(nullptr);
    Runner_ClearBundleFolder();
}
