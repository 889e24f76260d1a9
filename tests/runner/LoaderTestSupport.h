// Shared by the loader tests: captures the debug console and loads formpack-made files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/RunSwitches.h"
#include "formpack/FormWriter.h"
#include "base/CodeLink.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "base/GameOptions.h"
#include "base/Language.h"
#include "base/LoadGame.h"
#include "base/TextureChunks.h"

namespace loadertest {

inline std::vector<std::string>& CapturedLines() {
    static std::vector<std::string> lines;
    return lines;
}

inline void CaptureLine(const char* text) {
    CapturedLines().emplace_back(text);
}

inline std::string Captured() {
    std::string all;
    for (const auto& l : CapturedLines()) all += l;
    return all;
}

// Every test starts from a runner that has loaded nothing, with the console captured.
class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        Form_Free();
        Form_ResetChunkReaders();
        g_LoaderHooks = LoaderHooks();
        g_CodeLink = CodeLinkInterface();
        g_LoadState = LoadState();
        TXTR_SetTextureCreator(nullptr);
        g_Switches.headless = true;
        CapturedLines().clear();
        Console_SetDebuggerSink(CaptureLine);
    }
    void TearDown() override {
        Console_SetDebuggerSink(nullptr);
        Form_Free();
        Form_ResetChunkReaders();
        g_LoaderHooks = LoaderHooks();
        g_CodeLink = CodeLinkInterface();
        TXTR_SetTextureCreator(nullptr);
        g_Switches.headless = false;
    }

    // Both passes over a copy of `bytes`; false when either reports a bad file.
    static bool LoadBoth(const std::vector<uint8_t>& bytes) {
        if (!Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size()))) return false;
        if (!Form_FirstPass(Form_Base(), Form_Size())) return false;
        return LoadGameData(Form_Base(), Form_Size());
    }

    static std::vector<uint8_t> Build(const formpack::FormFile& file) {
        std::string error;
        std::vector<uint8_t> bytes = formpack::Build(file, &error);
        EXPECT_FALSE(bytes.empty()) << error;
        return bytes;
    }
};

inline uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void WriteU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    std::memcpy(&bytes[at], &v, 4);
}

// File offset of the data of the first chunk with `tag` (0 when none).
inline uint32_t ChunkData(const std::vector<uint8_t>& bytes, const char* tag) {
    for (uint32_t pos = 8; pos + 8 <= bytes.size(); pos += 8 + ReadU32(&bytes[pos + 4]))
        if (std::memcmp(&bytes[pos], tag, 4) == 0) return pos + 8;
    return 0;
}

}  // namespace loadertest
