// Shared by the files of the math module: the registrar of each family and the helpers they
// all use. Not for other modules.
#pragma once

#include <cstdint>

#include "core/Code_Function.h"
#include "core/Value.h"

// Rows of the string built-ins and of the type, conversion and array built-ins.
void InitStringFunctions();
void InitArrayFunctions();

// A non-fatal script error through the installed reporter.
void Function_ReportError(const char* message);

// Makes the result a string holding a copy of n bytes (a terminator is added).

// The signature of every built-in of the module; most ignore self, other and the count.
#define HV_BUILTIN(name) \
    void name([[maybe_unused]] RValue& result, [[maybe_unused]] CInstance* self, \
              [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
              [[maybe_unused]] RValue* args)
