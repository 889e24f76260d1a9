// Binds the runtime's code objects and scripts to the loaded game: the compiled game's code
// table, the bytecode entries and debug information of the data file, the global initialisers,
// and the script chunk ("SCPT").
#pragma once

class ChunkView;

// Installs the code source and the script environment and registers the script chunk's reader.
void GameCode_Install();

// The script chunk: a count, then the file offset of each entry (0: no script there); an entry
// holds the name and either the code index (a game with code) or the source text.
void Script_Load(ChunkView& chunk);
