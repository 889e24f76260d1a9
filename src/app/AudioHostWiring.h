// Connects the sound layers to the files, buffers, maps, error dialog and asynchronous stage
// of the runner (they sit below those subsystems and reach them only through these hooks).
#pragma once

void AudioHost_Install();
