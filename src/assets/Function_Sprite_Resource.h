// The sprite rows of the resource built-ins.
#pragma once

// Registers sprite_exists, the sprite_get_* queries, sprite_add, sprite_replace, sprite_delete,
// sprite_duplicate, sprite_assign, sprite_merge, sprite_collision_mask, sprite_save and
// sprite_save_strip, and the rows that answer without doing anything.
void InitSpriteResourceFunctions();
