// Shared by the files of the maker-prefixed built-ins: the built-in signature and each file's
// row families, which the registrar adds in its fixed order.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"
#include "core/Value.h"
#include "services/Pell_Functions.h"

class CInstance;

#define PELL_BUILTIN(name) \
    void F_##name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
                  [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
                  [[maybe_unused]] RValue* args)

// Pell_Functions_Input.cpp
void PellRows_VirtualKeys();
void PellRows_Display();
void PellRows_Pointers();
void PellRows_PauseAndFocus();
void PellRows_ReleaseAndSurface();
// Pell_Functions_Text.cpp
void PellRows_TextAndHashes();
// Pell_Functions_OS.cpp
void PellRows_Urls();
void PellRows_DeviceQueries();
void PellRows_OSAndAnalytics();
void PellRows_PlayerLaunch();
void F_HvsReleaseMode(RValue& result, CInstance* self, CInstance* other, int32_t argc, RValue* args);

const PellRunnerHooks& Pell_RunnerHooks();
