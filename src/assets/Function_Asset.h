// Looking assets up by name from game code.
#pragma once

// Registers asset_get_index and asset_get_type.
void InitAssetFunctions();
