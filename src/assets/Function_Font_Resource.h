// The font rows of the resource built-ins.
#pragma once

// Registers font_exists, the font_get_* queries, and adding, replacing and deleting fonts made
// from TrueType files and sprites.
void InitFontResourceFunctions();
