// Shared by the files of the file built-ins; not for other modules.
#pragma once

#include <cstdint>
#include <string>

#include "core/Code_Function.h"
#include "core/Value.h"

// The signature of every built-in of the module; most ignore self, other and the count.
#define HV_FILE_BUILTIN(name) \
    void name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
              [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
              [[maybe_unused]] RValue* args)

// The rows of each family.
void InitFileTableFunctions();
void InitIniFunctions();
void InitFileNameFunctions();
void InitFileFormatFunctions();

void Ini_FreeCurrent();

// printf of one number in the "C" locale, whatever locale the process runs in.
std::string File_FormatNumber(const char* format, double value);
