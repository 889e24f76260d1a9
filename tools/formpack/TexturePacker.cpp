#include "formpack/TexturePacker.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "formpack/Png.h"

namespace formpack {

namespace {

constexpr uint32_t kRawMagic = 0x20574152;  // "RAW "
constexpr uint32_t kLargestSide = 8192;

void PutLE32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The smallest rectangle holding every pixel whose alpha is not 0.
struct Rect {
    uint32_t x = 0, y = 0, width = 0, height = 0;
};

Rect OpaqueBounds(const PackImage& image) {
    uint32_t left = image.width, top = image.height, right = 0, bottom = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            if (image.rgba[(size_t(y) * image.width + x) * 4 + 3] == 0) continue;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x + 1);
            bottom = std::max(bottom, y + 1);
        }
    }
    if (right == 0) return {0, 0, 1, 1};  // nothing visible: one clear pixel stands for it
    return {left, top, right - left, bottom - top};
}

uint32_t PowerOfTwoAtLeast(uint32_t value) {
    uint32_t side = 1;
    while (side < value) side *= 2;
    return side;
}

struct Placement {
    uint32_t page = 0, x = 0, y = 0;
    Rect trimmed;
};

struct Shelf {
    uint32_t y, height, x;
};

struct PageSpace {
    std::vector<Shelf> shelves;
    uint32_t nextY;
    uint32_t usedWidth = 0, usedHeight = 0;
};

// Shelf packing: tallest images first; each goes on the first shelf with room, else on a new
// shelf, else on a new page.
bool Place(const std::vector<Rect>& rects, const PackOptions& options, std::vector<Placement>* placements,
           std::vector<PageSpace>* pages, std::string* error) {
    std::vector<size_t> order(rects.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&rects](size_t a, size_t b) {
        return rects[a].height != rects[b].height ? rects[a].height > rects[b].height
                                                  : rects[a].width > rects[b].width;
    });
    const uint32_t pad = options.padding, side = options.pageSize;
    placements->resize(rects.size());
    for (size_t index : order) {
        const Rect& r = rects[index];
        if (r.width + 2 * pad > side || r.height + 2 * pad > side) {
            *error = "image " + std::to_string(index) + " (" + std::to_string(r.width) + " x " +
                     std::to_string(r.height) + ") does not fit a " + std::to_string(side) + " page";
            return false;
        }
        bool placed = false;
        for (uint32_t p = 0; p < pages->size() && !placed; ++p) {
            PageSpace& page = (*pages)[p];
            for (Shelf& shelf : page.shelves) {
                if (r.height <= shelf.height && shelf.x + r.width + pad <= side) {
                    (*placements)[index] = {p, shelf.x, shelf.y, r};
                    shelf.x += r.width + pad;
                    placed = true;
                    break;
                }
            }
            if (!placed && page.nextY + r.height + pad <= side) {
                page.shelves.push_back({page.nextY, r.height, pad + r.width + pad});
                (*placements)[index] = {p, pad, page.nextY, r};
                page.nextY += r.height + pad;
                placed = true;
            }
        }
        if (!placed) {
            PageSpace page;
            page.shelves.push_back({pad, r.height, pad + r.width + pad});
            page.nextY = pad + r.height + pad;
            pages->push_back(page);
            (*placements)[index] = {static_cast<uint32_t>(pages->size() - 1), pad, pad, r};
        }
        const Placement& at = (*placements)[index];
        PageSpace& page = (*pages)[at.page];
        page.usedWidth = std::max(page.usedWidth, at.x + r.width + pad);
        page.usedHeight = std::max(page.usedHeight, at.y + r.height + pad);
    }
    return true;
}

}  // namespace

std::vector<uint8_t> EncodeRawTexture(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba,
                                      RawFormat format) {
    const size_t count = size_t(width) * height;
    if (width == 0 || height == 0 || rgba.size() != count * 4) return {};
    const size_t bytesPerPixel = format == RawFormat::Rgba16 ? 2 : 4;
    std::vector<uint8_t> blob(16 + count * bytesPerPixel);
    PutLE32(&blob[0], kRawMagic);
    PutLE32(&blob[4], width);
    PutLE32(&blob[8], height);
    PutLE32(&blob[12], static_cast<uint32_t>(format));
    if (format == RawFormat::Rgba32) {
        std::copy(rgba.begin(), rgba.end(), blob.begin() + 16);
        return blob;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &rgba[4 * i];
        const uint16_t v =
            static_cast<uint16_t>((p[2] >> 4) << 12 | (p[1] >> 4) << 8 | (p[0] >> 4) << 4 | p[3] >> 4);
        blob[16 + 2 * i] = static_cast<uint8_t>(v);
        blob[17 + 2 * i] = static_cast<uint8_t>(v >> 8);
    }
    return blob;
}

bool DecodePng(const std::vector<uint8_t>& file, uint32_t* width, uint32_t* height,
               std::vector<uint8_t>* rgba, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        *error = std::string("not a readable PNG: ") + image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    if (image.width > kLargestSide || image.height > kLargestSide) {
        png_image_free(&image);
        *error = "PNG larger than " + std::to_string(kLargestSide) + " pixels a side";
        return false;
    }
    rgba->assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr)) {
        *error = std::string("PNG data unreadable: ") + image.message;
        png_image_free(&image);
        return false;
    }
    *width = image.width;
    *height = image.height;
    return true;
}

bool PackTextures(const std::vector<PackImage>& images, const PackOptions& options, int16_t firstPage,
                  PackResult* result, std::string* error) {
    std::string reason;
    if (!error) error = &reason;
    if (options.pageSize < 1 || options.pageSize > kLargestSide) {
        *error = "page size must lie between 1 and " + std::to_string(kLargestSide);
        return false;
    }
    std::vector<Rect> rects;
    for (size_t i = 0; i < images.size(); ++i) {
        const PackImage& image = images[i];
        if (image.width == 0 || image.height == 0 || image.width > 32767 || image.height > 32767 ||
            image.rgba.size() != size_t(image.width) * image.height * 4) {
            *error = "image " + std::to_string(i) + " has no pixels of its size";
            return false;
        }
        rects.push_back(options.trim ? OpaqueBounds(image) : Rect{0, 0, image.width, image.height});
    }
    std::vector<Placement> placements;
    std::vector<PageSpace> spaces;
    if (!Place(rects, options, &placements, &spaces, error)) return false;
    if (firstPage + spaces.size() > 32767) {
        *error = "too many texture pages";
        return false;
    }

    std::vector<std::vector<uint8_t>> pixels;
    std::vector<uint32_t> widths, heights;
    for (const PageSpace& space : spaces) {
        const uint32_t w = options.shrink ? std::min(PowerOfTwoAtLeast(space.usedWidth), options.pageSize)
                                          : options.pageSize;
        const uint32_t h = options.shrink ? std::min(PowerOfTwoAtLeast(space.usedHeight), options.pageSize)
                                          : options.pageSize;
        widths.push_back(w);
        heights.push_back(h);
        pixels.emplace_back(size_t(w) * h * 4, 0);
    }
    result->entries.clear();
    for (size_t i = 0; i < images.size(); ++i) {
        const Placement& at = placements[i];
        const Rect& r = at.trimmed;
        std::vector<uint8_t>& page = pixels[at.page];
        for (uint32_t row = 0; row < r.height; ++row) {
            const uint8_t* from = &images[i].rgba[((size_t(r.y) + row) * images[i].width + r.x) * 4];
            std::copy(from, from + size_t(r.width) * 4,
                      &page[((size_t(at.y) + row) * widths[at.page] + at.x) * 4]);
        }
        PageEntry e;
        e.sourceX = static_cast<int16_t>(at.x);
        e.sourceY = static_cast<int16_t>(at.y);
        e.sourceW = e.targetW = static_cast<int16_t>(r.width);
        e.sourceH = e.targetH = static_cast<int16_t>(r.height);
        e.targetX = static_cast<int16_t>(r.x);
        e.targetY = static_cast<int16_t>(r.y);
        e.boundW = static_cast<int16_t>(images[i].width);
        e.boundH = static_cast<int16_t>(images[i].height);
        e.texture = static_cast<int16_t>(firstPage + at.page);
        result->entries.push_back(e);
    }
    result->pages.clear();
    for (size_t p = 0; p < pixels.size(); ++p) {
        TexturePage page;
        page.flags = options.flags;
        page.blob = options.raw ? EncodeRawTexture(widths[p], heights[p], pixels[p], options.rawFormat)
                                : EncodePng(widths[p], heights[p], pixels[p]);
        result->pages.push_back(std::move(page));
    }
    return true;
}

int32_t AddPackedTextures(FormFile& file, const std::vector<PackImage>& images, const PackOptions& options,
                          std::string* error) {
    const size_t firstPage = file.textures ? file.textures->size() : 0;
    PackResult result;
    if (firstPage > 32767 || !PackTextures(images, options, static_cast<int16_t>(firstPage), &result, error))
        return -1;
    if (!file.textures) file.textures.emplace();
    if (!file.pageEntries) file.pageEntries.emplace();
    const auto first = static_cast<int32_t>(file.pageEntries->size());
    file.textures->insert(file.textures->end(), result.pages.begin(), result.pages.end());
    file.pageEntries->insert(file.pageEntries->end(), result.entries.begin(), result.entries.end());
    return first;
}

}  // namespace formpack
