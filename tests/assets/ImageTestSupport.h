// Helpers of the image tests: scratch folders, whole files, and Python with Pillow as the
// independent maker and reader of image files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imagetest {

// A fresh folder under $HV_TEST_TMP (else the system's temporary folder); removed with RemoveTree.
std::string MakeScratchFolder();
void RemoveTree(const std::string& path);

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The Python interpreter that can import PIL, or "" when there is none.
const std::string& PythonWithPil();
// Runs tests/assets/make_images.py with the arguments; true when it succeeded.
bool RunImageScript(const std::string& arguments);

// Pixels as red, green, blue, alpha bytes, rows top-down.
struct Rgba {
    int32_t width = -1;
    int32_t height = -1;
    std::vector<uint8_t> bytes;
};
// Reads a .rgba file of the script: width, height, then the bytes.
Rgba ReadRgba(const std::string& path);
// Decoder output (0xAARRGGBB words) as RGBA bytes.
Rgba FromArgbWords(const uint8_t* pixels, int32_t width, int32_t height);

// "" when the two agree within tolerance per channel; otherwise where and how they differ.
// With ignoreHiddenColour the colour of pixels whose expected alpha is 0 is not compared.
std::string CompareRgba(const Rgba& actual, const Rgba& expected, int tolerance,
                        bool ignoreHiddenColour = false);

}  // namespace imagetest
