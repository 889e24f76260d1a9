// Hands the sound chunks of the data file to the sound system the game's options chose.
#pragma once

// Registers the "SOND", "AUDO" and "AGRP" readers with the data-file loader and the sound
// name lookups with the constant table. Start-up calls it once before the game is loaded.
void Audio_RegisterChunkReaders();
