// The extension packages a game carries: named groups of files whose functions game code calls
// by name like built-ins. Only a library file's functions do work; a file may name an
// initialisation and a finalisation function run as the game starts and ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The file kinds that mean something here.
constexpr int32_t EXTENSION_FILE_LIBRARY = 1;
constexpr int32_t EXTENSION_FILE_INERT = 4;  // its functions do nothing on this platform

constexpr int32_t EXTENSION_MAX_ARGUMENTS = 16;
// Argument and result types: 1 a text; any other value a real (2 by default).
constexpr int32_t EXTENSION_TYPE_STRING = 1;
constexpr int32_t EXTENSION_TYPE_REAL = 2;
// The calling-convention code that declares cdecl; any other declares stdcall.
constexpr int32_t EXTENSION_CONVENTION_CDECL = 12;

struct CExtensionFunction {
    std::string name;          // what game code calls
    std::string externalName;  // what the library exports
    int32_t convention = 0;
    int32_t id = -1;  // -1: refused (negative or too large in the file)
    int32_t argCount = -1;
    int32_t argTypes[EXTENSION_MAX_ARGUMENTS] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    int32_t resultType = EXTENSION_TYPE_REAL;

    // Types past the sixteenth read as reals.
    int32_t ArgType(int32_t n) const {
        return n >= 0 && n < EXTENSION_MAX_ARGUMENTS ? argTypes[n] : EXTENSION_TYPE_REAL;
    }
};

struct CExtensionConstant {
    std::string name, value;
};

struct CExtensionFile {
    std::string name;  // a library's file name
    int32_t kind = 0;
    std::string initFunction, finalFunction;
    std::vector<std::unique_ptr<CExtensionFunction>> functions;
    std::vector<std::unique_ptr<CExtensionConstant>> constants;  // never filled from the data file
};

struct CExtensionPackage {
    // Named "temp%d" with a draw of the game's random generator below 999 until the data
    // file's name replaces it.
    CExtensionPackage();

    std::string name, secondText, thirdText;  // the two texts are kept, never read
    std::vector<std::unique_ptr<CExtensionFile>> files;
};
