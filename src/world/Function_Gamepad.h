// The gamepad built-ins (gamepad_*), read through the pad table.
#pragma once

// The "Gamepad.." registrar: looks for the controller layer, then adds the rows.
void InitGamepadFunctions();
