#include "assets/ImageTestSupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace imagetest {

std::string MakeScratchFolder() {
    const char* root = std::getenv("HV_TEST_TMP");
    std::string base = root && *root ? root : std::filesystem::temp_directory_path().string();
    std::error_code ignored;
    std::filesystem::create_directories(base, ignored);
    std::string pattern = base + "/images-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

namespace {
bool RunQuietly(const std::string& command) {
    int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
}  // namespace

// Debian's Pillow belongs to Debian's interpreter, which a version manager may hide from PATH.
const std::string& PythonWithPil() {
    static const std::string found = [] {
        for (const char* candidate : {"/usr/bin/python3", "python3"}) {
            if (RunQuietly(std::string(candidate) + " -c 'import PIL'")) return std::string(candidate);
        }
        return std::string();
    }();
    return found;
}

bool RunImageScript(const std::string& arguments) {
    return RunQuietly(PythonWithPil() + " " HV_ASSETS_TEST_DIR "/make_images.py " + arguments);
}

Rgba ReadRgba(const std::string& path) {
    std::vector<uint8_t> file = ReadFile(path);
    Rgba out;
    if (file.size() < 8) return out;
    auto word = [&](size_t at) {
        return (int32_t)(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24);
    };
    out.width = word(0);
    out.height = word(4);
    out.bytes.assign(file.begin() + 8, file.end());
    return out;
}

Rgba FromArgbWords(const uint8_t* pixels, int32_t width, int32_t height) {
    Rgba out;
    out.width = width;
    out.height = height;
    if (!pixels) return out;
    size_t count = (size_t)width * height;
    out.bytes.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = pixels + i * 4;  // blue, green, red, alpha
        out.bytes[i * 4 + 0] = p[2];
        out.bytes[i * 4 + 1] = p[1];
        out.bytes[i * 4 + 2] = p[0];
        out.bytes[i * 4 + 3] = p[3];
    }
    return out;
}

std::string CompareRgba(const Rgba& actual, const Rgba& expected, int tolerance, bool ignoreHiddenColour) {
    char text[160];
    if (actual.width != expected.width || actual.height != expected.height) {
        std::snprintf(text, sizeof(text), "size %dx%d, expected %dx%d", actual.width, actual.height,
                      expected.width, expected.height);
        return text;
    }
    if (actual.bytes.size() != expected.bytes.size()) return "pixel byte counts differ";
    for (size_t i = 0; i < expected.bytes.size(); i += 4) {
        const uint8_t* a = &actual.bytes[i];
        const uint8_t* e = &expected.bytes[i];
        for (int c = 0; c < 4; ++c) {
            if (ignoreHiddenColour && e[3] == 0 && c < 3) continue;
            if (std::abs(a[c] - e[c]) > tolerance) {
                size_t pixel = i / 4;
                std::snprintf(text, sizeof(text), "pixel (%zu, %zu) is %d,%d,%d,%d, expected %d,%d,%d,%d",
                              pixel % expected.width, pixel / expected.width, a[0], a[1], a[2], a[3], e[0],
                              e[1], e[2], e[3]);
                return text;
            }
        }
    }
    return "";
}

}  // namespace imagetest
