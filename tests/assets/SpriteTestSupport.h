// Shared by the sprite tests: formpack-made data files loaded through the real chunk pass with
// the sprite reader installed, and the debug console captured.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assets/Sprite_Main.h"
#include "core/Console.h"
#include "core/RunSwitches.h"
#include "formpack/FormWriter.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "base/LoadGame.h"
#include "base/TextureChunks.h"

namespace spritetest {

inline std::string& Log() {
    static std::string log;
    return log;
}

// A file with `pages` page entries on one texture page and the given sprites.
inline formpack::FormFile SpriteFile(std::vector<std::optional<formpack::Sprite>> sprites,
                                     std::vector<formpack::PageEntry> pages = {}, int32_t major = 1) {
    formpack::FormFile file;
    file.header.major = major;
    file.sprites = std::move(sprites);
    file.pageEntries = std::move(pages);
    return file;
}

inline std::vector<uint8_t> BuildFile(const formpack::FormFile& file) {
    std::string error;
    std::vector<uint8_t> bytes = formpack::Build(file, &error);
    EXPECT_FALSE(bytes.empty()) << error;
    return bytes;
}

inline uint32_t ChunkData(const std::vector<uint8_t>& bytes, const char* tag) {
    for (uint32_t pos = 8; pos + 8 <= bytes.size();) {
        uint32_t length;
        std::memcpy(&length, &bytes[pos + 4], 4);
        if (std::memcmp(&bytes[pos], tag, 4) == 0) return pos + 8;
        pos += 8 + length;
    }
    return 0;
}

inline uint32_t ReadU32(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t v;
    std::memcpy(&v, &bytes[at], 4);
    return v;
}

inline void WriteU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    std::memcpy(&bytes[at], &v, 4);
}

// The file offset of sprite i's entry.
inline uint32_t SpriteEntry(const std::vector<uint8_t>& bytes, uint32_t i) {
    return ReadU32(bytes, ChunkData(bytes, "SPRT") + 4 + 4 * i);
}

class SpriteLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form_Free();
        Form_ResetChunkReaders();
        g_LoadState = LoadState();
        g_Switches.headless = true;
        Sprite_InstallHooks();
        Log().clear();
        Console_SetDebuggerSink([](const char* text) { Log() += text; });
    }
    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        Form_Free();
        Form_ResetChunkReaders();
        Sprite_FreeAll();
        g_Switches.headless = false;
    }

    // Both passes over a copy of the bytes; false when the file is bad.
    static bool Load(const std::vector<uint8_t>& bytes) {
        if (!Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
        if (!Form_FirstPass(Form_Base(), Form_Size())) return false;
        return LoadGameData(Form_Base(), Form_Size());
    }
    static std::string LoadError() {
        const char* error = Form_LoadError();
        return error ? error : "";
    }
};

}  // namespace spritetest
