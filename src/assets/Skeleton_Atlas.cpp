// Texture atlases of skeletons: pages of "name" then "key: value" lines, each followed by its
// regions ("name" then indented "key: value" lines); a blank line ends a page.
#include <cstdlib>
#include <cstring>

#include "assets/Skeleton_Runtime.h"
#include "graphics/Graphics_Texture.h"

namespace {

std::string Trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t' || s[begin] == '\r')) ++begin;
    while (end > begin && (s[end - 1] == ' ' || s[end - 1] == '\t' || s[end - 1] == '\r')) --end;
    return s.substr(begin, end - begin);
}

// "a, b" as two whole numbers (missing ones 0).
void Pair(const std::string& value, int32_t* a, int32_t* b) {
    const char* text = value.c_str();
    char* end = nullptr;
    *a = int32_t(std::strtol(text, &end, 10));
    const char* comma = std::strchr(text, ',');
    *b = comma ? int32_t(std::strtol(comma + 1, nullptr, 10)) : 0;
}

void FinishRegion(SkeletonAtlas& atlas) {
    if (atlas.regions.empty() || atlas.pages.empty()) return;
    SkeletonAtlasRegion& r = atlas.regions.back();
    const SkeletonAtlasPage& page = atlas.pages[size_t(r.page)];
    const float pw = page.width > 0 ? float(page.width) : 1.0f,
                ph = page.height > 0 ? float(page.height) : 1.0f;
    r.u = float(r.x) / pw;
    r.v = float(r.y) / ph;
    r.u2 = float(r.x + (r.rotate ? r.height : r.width)) / pw;
    r.v2 = float(r.y + (r.rotate ? r.width : r.height)) / ph;
    if (r.originalWidth == 0) r.originalWidth = r.width;
    if (r.originalHeight == 0) r.originalHeight = r.height;
}

}  // namespace

std::unique_ptr<SkeletonAtlas> SkeletonAtlas::Parse(const char* text, int64_t length,
                                                    const std::string& folder, SkeletonTextureLoader loader,
                                                    void* context) {
    auto atlas = std::make_unique<SkeletonAtlas>();
    if (!text || length <= 0) return nullptr;
    bool pageOpen = false, inRegion = false;
    auto closePage = [&] {
        if (!pageOpen) return;
        FinishRegion(*atlas);
        pageOpen = inRegion = false;
    };
    int64_t at = 0;
    while (at < length) {
        int64_t end = at;
        while (end < length && text[end] != '\n') ++end;
        const std::string raw(text + at, size_t(end - at));
        at = end + 1;
        const std::string line = Trim(raw);
        if (line.empty()) {
            closePage();
            continue;
        }
        const size_t colon = line.find(':');
        if (!pageOpen) {
            if (colon != std::string::npos) continue;  // stray key before any page
            atlas->pages.push_back({line, 0, 0, -1});
            pageOpen = true;
            continue;
        }
        if (colon == std::string::npos) {
            FinishRegion(*atlas);
            SkeletonAtlasRegion region;
            region.name = line;
            region.page = int32_t(atlas->pages.size()) - 1;
            atlas->regions.push_back(region);
            inRegion = true;
            continue;
        }
        const std::string key = Trim(line.substr(0, colon)), value = Trim(line.substr(colon + 1));
        if (!inRegion) {
            if (key == "size") Pair(value, &atlas->pages.back().width, &atlas->pages.back().height);
            continue;
        }
        SkeletonAtlasRegion& r = atlas->regions.back();
        if (key == "rotate")
            r.rotate = value == "true" || value == "90";
        else if (key == "xy")
            Pair(value, &r.x, &r.y);
        else if (key == "size")
            Pair(value, &r.width, &r.height);
        else if (key == "orig")
            Pair(value, &r.originalWidth, &r.originalHeight);
        else if (key == "offset")
            Pair(value, &r.offsetX, &r.offsetY);
    }
    closePage();
    if (atlas->pages.empty()) return nullptr;
    // Textures last: a page without a size takes the picture's, and its regions are measured
    // again against it.
    for (SkeletonAtlasPage& page : atlas->pages) {
        const int32_t w = page.width, h = page.height;
        if (loader) loader(page, folder + page.name, context);
        if (w == 0 || h == 0) {
            for (size_t i = 0; i < atlas->regions.size(); ++i) {
                if (&atlas->pages[size_t(atlas->regions[i].page)] != &page) continue;
                std::swap(atlas->regions[i], atlas->regions.back());
                FinishRegion(*atlas);
                std::swap(atlas->regions[i], atlas->regions.back());
            }
        }
    }
    return atlas;
}

SkeletonAtlas::~SkeletonAtlas() {
    if (!ownsTextures) return;
    for (const SkeletonAtlasPage& page : pages)
        if (page.textureId >= 0) GR_Texture_Free(page.textureId);
}

const SkeletonAtlasRegion* SkeletonAtlas::FindRegion(const std::string& name) const {
    for (const SkeletonAtlasRegion& r : regions)
        if (r.name == name) return &r;
    return nullptr;
}
