// The file built-ins: binary and text files by id, the legacy single file, whole files,
// folders, searches and attributes, ini files, JSON, zip archives and CSV, and the file-name,
// program and environment built-ins. Main thread only.
#pragma once

#include <cstdint>

// Closes every file the built-ins hold open and registers the built-ins.
void InitFileFunctions();
// Closes every open binary and text file (written back when open for writing), the legacy
// single file and the current ini (flushed), and ends a search. Shutdown and restart.
void File_FreeTables();

// The file-search back end: the entries of the save-area mask, then of the bundle mask,
// that the attributes take; each name once. The attribute bits of the first entry matching
// the path, masked with 0x37 (0 when none matches).
int32_t File_GetAttributes(const char* path);
