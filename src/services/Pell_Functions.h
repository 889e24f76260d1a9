// The maker-prefixed built-ins: the services other platforms give games (achievements, cloud
// saves, advertising, social networks, tiles, consoles, stores) and the device, display, text,
// URL and operating-system queries registered beside them. Here most of the services are stubs
// that read their arguments and answer a fixed value.
#pragma once

#include <cstdint>

// Registers the module's rows in their family order; once, in the registration pass, after
// InitPushFunctions and before InitWin8Functions.
void Pell_Functions_Init();
// The 93 platform constants (os_*, device_*, browser_*, asset_*, ds_type_* ...); the constant
// table's platform registrar.
void Pell_RegisterOSConstants();
// The live-tile and charm rows of Windows 8 and the local push-notification rows.
void InitWin8Functions();
void InitPushFunctions();

// What the launch built-ins ask of the runner's process layer, filled by the start-up.
struct PellRunnerHooks {
    void (*setReleaseMode)(bool checked) = nullptr;
    // Another game to run once this one ends: its path, the game to return to, its save folder.
    void (*setPendingGame)(const char* game, const char* returnFile, const char* saveFolder) = nullptr;
};
void Pell_SetRunnerHooks(const PellRunnerHooks& hooks);
