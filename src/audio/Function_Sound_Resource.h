// The sound rows of the resource built-ins.
#pragma once

// Registers sound_exists, the sound_get_* queries, and adding, replacing, discarding, restoring
// and deleting legacy sounds.
void InitSoundResourceFunctions();
