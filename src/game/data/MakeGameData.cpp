// Makes the embedded game's data file: the sprites' art (drawn here from simple shapes), the
// sounds (short generated tones), the speech font (rendered from a TrueType file), the objects
// with their events and the three rooms. The same program always writes the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "formpack/FormWriter.h"
#include "formpack/TexturePacker.h"
#include "game/Game_Assets.h"
#include "game/Game_Link.h"
#include "game/data/GlyphPage.h"

namespace {

using formpack::PackImage;

struct SpriteInfo {
    const char* name;
    int32_t width, height, originX, originY, frames;
};

const SpriteInfo kSprites[] = {
#define HVS_SPRITE_ROW(name, w, h, ox, oy, frames) {#name, w, h, ox, oy, frames},
    HVS_SPRITES(HVS_SPRITE_ROW)
#undef HVS_SPRITE_ROW
};

struct ObjectInfo {
    const char* name;
    int32_t parent;
};

const char* const kCodeNames[] = {
#define HVS_CODE_NAME(name) #name,
    HVS_CODE(HVS_CODE_NAME)
#undef HVS_CODE_NAME
};

const ObjectInfo kObjects[] = {
#define HVS_OBJECT_ROW(name, parent) {#name, parent},
    HVS_OBJECTS(HVS_OBJECT_ROW)
#undef HVS_OBJECT_ROW
};

uint32_t Hash(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

void Put(PackImage& image, int32_t x, int32_t y, uint32_t rgb, uint8_t alpha) {
    uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + static_cast<size_t>(x)) * 4];
    p[0] = static_cast<uint8_t>(rgb >> 16), p[1] = static_cast<uint8_t>(rgb >> 8),
    p[2] = static_cast<uint8_t>(rgb);
    p[3] = alpha;
}

// The vignette: white in the middle, falling to black at the edges.
PackImage Vignette(const SpriteInfo& s) {
    PackImage image{static_cast<uint32_t>(s.width), static_cast<uint32_t>(s.height), {}};
    image.rgba.assign(image.width * image.height * 4, 0);
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) {
            const double dx = (x + 0.5) / s.width * 2 - 1, dy = (y + 0.5) / s.height * 2 - 1;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double shade = d < 0.6 ? 1.0 : d > 1.0 ? 0.0 : (1.0 - d) / 0.4;
            const uint32_t level = static_cast<uint32_t>(std::lround(shade * 255));
            Put(image, x, y, level * 0x010101u, 255);
        }
    return image;
}

// Every other sprite: an ellipse in a colour of its own, its size pulsing over the frames.
PackImage Shape(const SpriteInfo& s, int32_t frame) {
    PackImage image{static_cast<uint32_t>(s.width), static_cast<uint32_t>(s.height), {}};
    image.rgba.assign(image.width * image.height * 4, 0);
    const uint32_t colour = (Hash(s.name) & 0x7F7F7Fu) + 0x404040u;
    const double grow = 0.75 + 0.25 * std::cos(frame * 6.283185307179586 / (s.frames > 0 ? s.frames : 1));
    const double rx = s.width / 2.0 * grow, ry = s.height / 2.0 * grow;
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) {
            const double dx = (x + 0.5 - s.width / 2.0) / rx, dy = (y + 0.5 - s.height / 2.0) / ry;
            if (dx * dx + dy * dy <= 1.0) Put(image, x, y, colour, 255);
        }
    return image;
}

// A mask from the first frame's opaque pixels: rows of (width + 7) / 8 bytes, bit 7 leftmost.
std::vector<uint8_t> MaskOf(const PackImage& image) {
    const size_t row = (image.width + 7) / 8;
    std::vector<uint8_t> mask(row * image.height, 0);
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x)
            if (image.rgba[(y * image.width + x) * 4 + 3] != 0)
                mask[y * row + x / 8] |= uint8_t(0x80 >> (x % 8));
    return mask;
}

// A bubble that hangs below its origin: a tail from just under the origin down to a rounded,
// dark, outlined body, so whoever stands at the origin stays in sight above it.
PackImage Bubble(const SpriteInfo& s) {
    PackImage image{static_cast<uint32_t>(s.width), static_cast<uint32_t>(s.height), {}};
    image.rgba.assign(image.width * image.height * 4, 0);
    constexpr uint32_t kFill = 0x1C2333u, kEdge = 0xEDEDEDu;
    constexpr double kRadius = 12, kEdgeWidth = 2;
    const double left = 2, right = s.width - 2, top = s.originY + 14, bottom = s.height - 2;
    const double tipY = s.originY + 4, tailHalf = 10;
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            // Distance inside the rounded body (negative outside).
            const double cx = std::clamp(px, left + kRadius, right - kRadius);
            const double cy = std::clamp(py, top + kRadius, bottom - kRadius);
            const double inside = kRadius - std::hypot(px - cx, py - cy);
            // The tail narrows from the body's top to its tip.
            const double along = (py - tipY) / (top - tipY);
            const bool tail = along >= 0 && along <= 1.2 && std::fabs(px - s.originX) <= tailHalf * along;
            if (inside >= 0)
                Put(image, x, y, inside < kEdgeWidth ? kEdge : kFill, inside < kEdgeWidth ? 255 : 215);
            else if (tail)
                Put(image, x, y, kFill, 215);
        }
    return image;
}

// Writes `line` in white onto `image` from the glyph page, centred on `centreX`, its cells' top at `top`.
void Print(PackImage& image, const gamedata::GlyphPage& font, const std::string& line, int32_t centreX,
           int32_t top) {
    auto glyphOf = [&](char c) -> const formpack::FontGlyph* {
        for (const formpack::FontGlyph& g : font.glyphs)
            if (g.character == static_cast<unsigned char>(c)) return &g;
        return nullptr;
    };
    int32_t width = 0;
    for (char c : line)
        if (const formpack::FontGlyph* g = glyphOf(c)) width += g->advance;
    int32_t pen = centreX - width / 2;
    for (char c : line) {
        const formpack::FontGlyph* g = glyphOf(c);
        if (!g) continue;
        for (int32_t y = 0; y < g->height; ++y)
            for (int32_t x = 0; x < g->width; ++x) {
                const int32_t tx = pen + g->offset + x, ty = top + y;
                if (tx < 0 || ty < 0 || tx >= int32_t(image.width) || ty >= int32_t(image.height)) continue;
                const uint8_t coverage =
                    font.image.rgba[(size_t(g->y + y) * font.image.width + size_t(g->x + x)) * 4 + 3];
                if (coverage == 0) continue;
                uint8_t* p = &image.rgba[(size_t(ty) * image.width + size_t(tx)) * 4];
                for (int i = 0; i < 3; ++i) p[i] = uint8_t(p[i] + (255 - p[i]) * coverage / 255);
                p[3] = std::max(p[3], coverage);
            }
        pen += g->advance;
    }
}

// The help bubble: how to walk and jump, under the player.
PackImage HelpBubble(const SpriteInfo& s, const char* fontFile) {
    PackImage image = Bubble(s);
    gamedata::GlyphPage font;
    std::string error;
    if (!gamedata::RenderGlyphPage(fontFile, 13, 32, 126, 512, &font, &error)) {
        std::fprintf(stderr, "rendering the help text: %s\n", error.c_str());
        return image;
    }
    const int32_t body = s.originY + 14, lineHeight = font.glyphs.empty() ? 20 : font.glyphs[0].height;
    const int32_t first = body + (s.height - 2 - body - 2 * lineHeight) / 2;
    Print(image, font, "Arrow keys or WASD to walk", s.width / 2, first);
    Print(image, font, "Space to jump", s.width / 2, first + lineHeight);
    return image;
}

PackImage SpriteArt(const SpriteInfo& s, int32_t frame, const char* fontFile) {
    const std::string name = s.name;
    if (name == "spr_vignette") return Vignette(s);
    if (name == "spr_speech") return Bubble(s);
    if (name == "spr_help") return HelpBubble(s, fontFile);
    return Shape(s, frame);
}

void AddSprites(formpack::FormFile& file, const char* fontFile) {
    std::vector<PackImage> images;
    for (const SpriteInfo& s : kSprites)
        for (int32_t f = 0; f < s.frames; ++f) images.push_back(SpriteArt(s, f, fontFile));
    formpack::PackOptions options;
    options.pageSize = 2048;
    std::string error;
    int32_t entry = formpack::AddPackedTextures(file, images, options, &error);
    if (entry < 0) {
        std::fprintf(stderr, "packing the sprites: %s\n", error.c_str());
        return;
    }
    file.sprites.emplace();
    size_t first = 0;
    for (const SpriteInfo& s : kSprites) {
        formpack::Sprite sprite;
        sprite.name = s.name;
        sprite.width = s.width, sprite.height = s.height;
        sprite.originX = s.originX, sprite.originY = s.originY;
        sprite.boxRight = s.width - 1, sprite.boxBottom = s.height - 1;
        for (int32_t f = 0; f < s.frames; ++f) sprite.frames.push_back(entry++);
        sprite.masks.push_back(MaskOf(images[first]));
        first += static_cast<size_t>(s.frames);
        file.sprites->push_back(std::move(sprite));
    }
}

// A short mono 16-bit tone, falling in pitch, as a WAV file.
std::vector<uint8_t> Tone(double hertz, double seconds) {
    const uint32_t rate = 22050, count = static_cast<uint32_t>(rate * seconds);
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) { out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8)); };
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("RIFF"), u32(36 + count * 2), tag("WAVE"), tag("fmt "), u32(16), u16(1), u16(1), u32(rate),
        u32(rate * 2);
    u16(2), u16(16), tag("data"), u32(count * 2);
    double phase = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / count;
        phase += 6.283185307179586 * hertz * (1.0 - 0.5 * t) / rate;
        u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::sin(phase) * (1.0 - t) * 12000))));
    }
    return out;
}

void AddSounds(formpack::FormFile& file) {
    const char* const names[] = {
#define HVS_SOUND_NAME(name) #name,
        HVS_SOUNDS(HVS_SOUND_NAME)
#undef HVS_SOUND_NAME
    };
    file.sounds.emplace();
    file.audio.emplace();
    file.audioGroups = std::vector<std::string>{"audiogroup_default"};
    int32_t i = 0;
    for (const char* name : names) {
        formpack::Sound sound;
        sound.name = name;
        sound.fileName = std::string(name) + ".wav";
        sound.audio = i;
        file.sounds->push_back(sound);
        file.audio->push_back(Tone(220.0 + 55.0 * i, 0.12));
        ++i;
    }
}

// The cats' speech font: printable ASCII, which covers every word the game says, on a page of
// its own. The page is not trimmed, as the glyph rectangles lie inside its whole source rectangle.
bool AddFonts(formpack::FormFile& file, const char* fontFile) {
    constexpr uint32_t kPoints = 10;
    constexpr uint16_t kFirst = 32, kLast = 126;
    // 252 pixels and the packer's padding on both sides fill a page 256 wide.
    constexpr uint32_t kGlyphsWidth = 252;
    gamedata::GlyphPage page;
    std::string error;
    if (!gamedata::RenderGlyphPage(fontFile, kPoints, kFirst, kLast, kGlyphsWidth, &page, &error)) {
        std::fprintf(stderr, "rendering the speech font: %s\n", error.c_str());
        return false;
    }
    formpack::PackOptions options;
    options.trim = false;
    const int32_t entry = formpack::AddPackedTextures(file, {page.image}, options, &error);
    if (entry < 0) {
        std::fprintf(stderr, "packing the speech font: %s\n", error.c_str());
        return false;
    }
    formpack::Font font;
    font.name = "fnt_speech_cat";
    font.displayName = "DejaVu Sans";
    font.size = kPoints;
    font.first = kFirst, font.last = kLast;
    font.pageEntry = entry;
    font.glyphs = std::move(page.glyphs);
    file.fonts.emplace(kFontCount);
    (*file.fonts)[FNT_fnt_speech_cat] = std::move(font);
    return true;
}

// Object events by code index: the code table names say which object and event each is.
void AddObjects(formpack::FormFile& file) {
    static const char* const kEventNames[] = {"Create",    "Destroy",  "Alarm",     "Step",
                                              "Collision", "Keyboard", "Mouse",     "Other",
                                              "Draw",      "KeyPress", "KeyRelease"};
    static const int32_t kEventTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    file.objects.emplace();
    for (const ObjectInfo& o : kObjects) {
        formpack::Object object;
        object.name = o.name;
        object.parent = o.parent;
        const std::string prefix = std::string("hvs_Object_") + o.name + "_";
        for (int32_t code = 0; code < hvs::kCodeCount; ++code) {
            const std::string name = kCodeNames[code];
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            const std::string rest = name.substr(prefix.size());
            const size_t cut = rest.rfind('_');
            for (int32_t e = 0; e < 11; ++e)
                if (rest.substr(0, cut) == kEventNames[e])
                    object.events[kEventTypes[e]].push_back({std::stoi(rest.substr(cut + 1)), code});
        }
        file.objects->push_back(std::move(object));
    }
    auto set = [&](int32_t index, int32_t sprite, bool visible, bool solid) {
        formpack::Object& o = *(*file.objects)[index];
        o.sprite = sprite, o.visible = visible, o.solid = solid;
    };
    set(OBJ_obj_dude, SPR_spr_dude_idle_down, true, false);
    (*file.objects)[OBJ_obj_dude]->mask = SPR_spr_mask_dude;
    set(OBJ_objj_grass_spawner, SPR_spr_circle_2, false, false);
    set(OBJ_obj_tree_spawner, SPR_spr_circle, false, false);
    set(OBJ_obj_stone_small, SPR_spr_stone_1, true, true);
    set(OBJ_obj_rock_large, SPR_spr_rock_large, true, true);
    set(OBJ_obj_trunk, SPR_spr_trunk_1, true, true);
    set(OBJ_obj_tree_1, SPR_spr_tree_1_trunk, true, true);
    set(OBJ_obj_stepping_stones, SPR_spr_stepping_stones, true, false);
    set(OBJ_obj_blocked, SPR_spr_blocked, false, true);
    set(OBJ_obj_artefact, SPR_spr_artefact_1, true, false);
    set(OBJ_obj_artefact_poof, SPR_spr_artefact_poof, true, false);
    (*file.objects)[OBJ_obj_artefact_poof]->depth = -10000;
    set(OBJ_obj_speech, SPR_spr_speech, true, false);
    set(OBJ_obj_speech_poof, SPR_spr_speech_poof, true, false);
    set(OBJ_obj_help, SPR_spr_help, true, false);
    set(OBJ_obj_help_poof, SPR_spr_help_poof, true, false);
    for (int32_t bubble : {OBJ_obj_speech, OBJ_obj_speech_poof, OBJ_obj_help, OBJ_obj_help_poof})
        (*file.objects)[bubble]->depth = -10000;
    set(OBJ_obj_cat_1, SPR_spr_cat_idle_1_down, true, false);
    set(OBJ_obj_cat_2, SPR_spr_cat_idle_1_down, false, false);
    set(OBJ_obj_cat_3, SPR_spr_cat_idle_1_down, false, false);
    set(OBJ_obj_cat_poof, SPR_spr_cat_poof, true, false);
    set(OBJ_obj_gunman, SPR_spr_gunman_idle_1_down, true, false);
    (*file.objects)[OBJ_obj_gunman]->mask = SPR_spr_mask_dude;
    set(OBJ_obj_bullet_1, SPR_spr_bullet_1, true, false);
    set(OBJ_obj_bullet_poof_1, SPR_spr_bullet_poof_1, true, false);
    set(OBJ_obj_dead_poof, SPR_spr_dead_poof, true, false);
}

struct Placement {
    int32_t object, x, y;
    float scaleX = 1, scaleY = 1;
};

formpack::Room MakeRoom(const char* name, int32_t code, const std::vector<Placement>& cast, int32_t& nextId) {
    formpack::Room room;
    room.name = name;
    room.width = 1600, room.height = 1600, room.speed = 60;
    room.colour = 0x3A5A3A;
    room.creationCode = code;
    room.viewsEnabled = true;
    formpack::RoomView view;
    view.visible = true;
    view.viewW = 640, view.viewH = 360, view.portW = 1280, view.portH = 720;
    room.views.push_back(view);
    // Walls along the four edges (32 x 32 blocks stretched), then the game's own instances.
    std::vector<Placement> all = {{OBJ_obj_blocked, 0, 0, 50, 1},
                                  {OBJ_obj_blocked, 0, 1568, 50, 1},
                                  {OBJ_obj_blocked, 0, 32, 1, 48},
                                  {OBJ_obj_blocked, 1568, 32, 1, 48}};
    all.insert(all.end(), cast.begin(), cast.end());
    for (const Placement& p : all) {
        formpack::RoomInstance i;
        i.object = p.object, i.x = p.x, i.y = p.y, i.id = nextId++;
        i.scaleX = p.scaleX, i.scaleY = p.scaleY;
        room.instances.push_back(i);
    }
    return room;
}

// Scenery away from the walking lines between the dude, the cats and the artefacts: trees and
// rocks in the north and south bands, stones and plants along the paths' edges.
std::vector<Placement> Scenery(int32_t count) {
    const int32_t kinds[] = {OBJ_obj_tree_1,         OBJ_obj_rock_large, OBJ_obj_stone_small,
                             OBJ_objj_grass_spawner, OBJ_obj_trunk,      OBJ_obj_tree_spawner,
                             OBJ_obj_stepping_stones};
    std::vector<Placement> out;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t band = i % 2;
        const int32_t x = 120 + (i * 173) % 1360;
        const int32_t y = band ? 180 + (i * 37) % 160 : 1040 + (i * 53) % 420;
        out.push_back({kinds[i % 7], x, y});
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    formpack::FormFile file;
    file.header.gameName = "halvane";
    file.header.displayName = "Halvane";
    file.header.windowWidth = 1280, file.header.windowHeight = 720;
    file.header.lastInstanceId = 110000;
    file.header.roomOrder = {0, 1, 2};
    // The game plays its sounds through the audio engine (audio_play_sound); the cursor shows.
    constexpr uint32_t kNewAudioEngine = 1u << 2, kShowCursor = 1u << 4;
    file.options.emplace().flags = kNewAudioEngine | kShowCursor;
    file.extensions.emplace();  // no extension packages
    file.scripts = std::vector<formpack::Script>{{"scr_particle_1", 0},
                                                 {"scr_particle_2", 1},
                                                 {"scr_particle_3", 2},
                                                 {"scr_particle_4", 3},
                                                 {"scr_particle_5", 4},
                                                 {"scr_create_speech", 5},
                                                 {"npow", 6}};
    AddSprites(file, HV_GAME_FONT_FILE);
    AddSounds(file);
    if (!AddFonts(file, HV_GAME_FONT_FILE)) return 1;
    AddObjects(file);
    int32_t nextId = 100001;
    std::vector<Placement> game = {{OBJ_obj_dude, 260, 820},     {OBJ_obj_cat_1, 460, 740},
                                   {OBJ_obj_cat_2, 940, 560},    {OBJ_obj_cat_3, 1260, 560},
                                   {OBJ_obj_artefact, 880, 620}, {OBJ_obj_artefact, 1200, 620},
                                   {OBJ_obj_gunman, 620, 500},   {OBJ_obj_gunman, 860, 480},
                                   {OBJ_obj_gunman, 1080, 440},  {OBJ_obj_gunman, 1300, 420}};
    // A little scenery about the player's start, off his line to the first cat, then the rest;
    // with the four walls, 41 scenery instances.
    std::vector<Placement> scenery = {{OBJ_obj_tree_1, 180, 760},
                                      {OBJ_obj_stone_small, 330, 870},
                                      {OBJ_objj_grass_spawner, 300, 920},
                                      {OBJ_obj_stepping_stones, 220, 884}};
    const std::vector<Placement> spread = Scenery(33);
    scenery.insert(scenery.end(), spread.begin(), spread.end());
    game.insert(game.end(), scenery.begin(), scenery.end());
    std::vector<Placement> one = {{OBJ_obj_dude, 780, 700}, {OBJ_obj_gunman, 820, 320}};
    std::vector<Placement> zero = {{OBJ_obj_dude, 800, 800}, {OBJ_obj_cat_1, 960, 920}};
    std::vector<Placement> few = Scenery(12);
    one.insert(one.end(), few.begin(), few.end());
    zero.insert(zero.end(), few.begin(), few.end());
    file.rooms = std::vector<std::optional<formpack::Room>>{MakeRoom("rm_game", 93, game, nextId),
                                                            MakeRoom("room1", 94, one, nextId),
                                                            MakeRoom("room0", 95, zero, nextId)};
    std::string error;
    const std::vector<uint8_t> bytes = formpack::Build(file, &error);
    if (bytes.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 1;
}
