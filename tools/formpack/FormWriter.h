// Writes game data files ("FORM"): tests build them in memory, the formpack command from a
// manifest. The caller fills plain records; Build() lays out every chunk in the runner's order,
// pools the strings in "STRG" and resolves every string reference and file offset. The same
// records always give the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace formpack {

// General header ("GEN8"). Which words are written follows the bytecode format number.
struct Header {
    uint8_t flagByte = 0;
    uint8_t format = 14;  // the bytecode format number F
    std::string fileName;
    std::string configName = "Default";
    int32_t lastInstanceId = 100000;
    int32_t lastTileId = 10000000;
    int32_t gameId = 0;
    std::array<uint32_t, 4> words6to9{};
    std::string gameName = "game";
    int32_t major = 1, minor = 0, release = 0, build = 0;
    int32_t windowWidth = 640, windowHeight = 480;
    uint32_t infoFlags = 0;
    uint32_t word18 = 0;
    std::array<uint32_t, 6> words19to24{};
    std::string displayName;  // empty: no display name (written as 0)
    uint64_t value26 = 0;
    uint64_t optionFlags = ~0ull;
    int32_t steamAppId = 0;
    int32_t debuggerPort = 6502;
    std::vector<int32_t> roomOrder;
    std::array<uint32_t, 10> wordsAfterRooms{};  // F >= 14 and major >= 2 only
    float frameRate = 60.0f;                     // F >= 14 and major >= 2 only
};

// "OPTN". In the new format words 0-2 are written by the writer (marker, version, flags) and
// words 3-14 come from `words`; in the old format word k of `words` lies at byte 4k. The text
// goes to the string field (new word 13, old byte 104).
struct Options {
    bool newFormat = true;
    int32_t version = 2;  // new format only
    uint32_t flags = 0;   // new format only
    std::array<int32_t, 35> words{};
    std::string text;
    std::vector<std::pair<std::string, std::string>> constants;  // name, value
};

// "LANG".
struct Language {
    std::string name, secondName;
    std::vector<std::string> texts;  // one per entry name
};
struct LanguageTable {
    std::vector<std::string> entryNames;
    std::vector<Language> languages;
};

// "EXTN": extension packages. Types and results: 1 a string, any other value (2) a real.
struct ExtensionFunction {
    std::string name;          // what game code calls
    std::string externalName;  // what the library exports
    int32_t id = 1;
    int32_t convention = 12;  // 12 declares cdecl, any other value stdcall
    int32_t resultType = 2;
    std::vector<int32_t> argTypes;
};
struct ExtensionFile {
    std::string name;                         // a library's file name
    std::string finalFunction, initFunction;  // empty: none
    int32_t kind = 1;                         // 1 a library, 4 a file whose functions do nothing here
    std::vector<ExtensionFunction> functions;
};
struct ExtensionPackage {
    std::string name, secondText, thirdText;
    std::vector<std::optional<ExtensionFile>> files;  // nullopt: the file keeps its defaults (offset 0)
};

// One handler: the event's subtype and the code index of its (single) action.
struct EventHandler {
    int32_t subtype = 0;
    int32_t codeIndex = -1;
};

struct ObjectPhysics {
    bool uses = false, sensor = false;
    int32_t shape = 0;
    float density = 0.5f, restitution = 0.1f;
    int32_t group = 0;
    float linearDamping = 0.1f, angularDamping = 0.1f;
    float friction = 0.2f;
    bool awake = true, kinematic = false;
    std::vector<std::pair<float, float>> points;
};

struct Object {
    std::string name;
    int32_t sprite = -1;
    bool visible = true, solid = false;
    int32_t depth = 0;
    bool persistent = false;
    int32_t parent = -100;  // -100: none
    int32_t mask = -1;
    ObjectPhysics physics;  // written for formats 6 and later
    std::array<std::vector<EventHandler>, 12> events;
};

struct RoomBackground {
    bool visible = false, foreground = false;
    int32_t index = -1, x = 0, y = 0;
    bool tileX = true, tileY = true;
    int32_t speedX = 0, speedY = 0;
    bool stretch = false;
};

struct RoomView {
    bool visible = false;
    int32_t viewX = 0, viewY = 0, viewW = 640, viewH = 480;
    int32_t portX = 0, portY = 0, portW = 640, portH = 480;
    int32_t borderX = 32, borderY = 32, speedX = -1, speedY = -1;
    int32_t object = -1;
};

struct RoomInstance {
    int32_t x = 0, y = 0, object = 0, id = 100001, creationCode = -1;
    float scaleX = 1.0f, scaleY = 1.0f;
    uint32_t colour = 0xFFFFFFFFu;  // alpha in the top byte, 0xBBGGRR below
    float rotation = 0.0f;
};

struct RoomTile {
    int32_t x = 0, y = 0, background = 0, left = 0, top = 0, width = 16, height = 16;
    int32_t depth = 1000000, id = 10000001;
    float scaleX = 1.0f, scaleY = 1.0f;
    uint32_t colour = 0xFFFFFFFFu;
};

// A sprite placed on an assets layer (40 bytes in the file).
struct RoomSpriteAsset {
    std::string name;  // empty: none
    int32_t sprite = 0, x = 0, y = 0;
    float scaleX = 1.0f, scaleY = 1.0f;
    uint32_t colour = 0xFFFFFFFFu;  // alpha in the top byte, 0xBBGGRR below
    float speed = 1.0f, index = 0.0f, angle = 0.0f;
};

// One layer record of a room entry of version 2 or later. The body written follows the type:
// 1 background, 2 instances, 3 assets (tiles and sprites), 4 tilemap; other types have none.
struct RoomLayer {
    std::string name;  // empty: none
    int32_t id = 0, type = 0, depth = 0;
    float x = 0.0f, y = 0.0f, hspeed = 0.0f, vspeed = 0.0f;
    bool visible = true;
    // type 1
    bool bgVisible = true, bgForeground = false;
    int32_t bgSprite = -1;
    bool bgHTiled = false, bgVTiled = false, bgStretch = false;
    uint32_t bgColour = 0xFFFFFFFFu;
    float bgIndex = 0.0f, bgSpeed = 0.0f;
    // type 2: instance ids of the room's instance records
    std::vector<int32_t> instances;
    // type 3: an empty list is written as offset 0
    std::vector<RoomTile> tiles;
    std::vector<RoomSpriteAsset> sprites;
    // type 4: width x height cells, row by row
    int32_t tileSet = -1, tilemapWidth = 0, tilemapHeight = 0;
    std::vector<uint32_t> cells;
};

struct Room {
    std::string name, caption;
    int32_t width = 640, height = 480, speed = 30;
    bool persistent = false;
    uint32_t colour = 0xC0C0C0;
    bool showColour = true;
    int32_t creationCode = -1;
    bool viewsEnabled = false, clearWindow = false, keepDisplay = false;
    int16_t version = 0;            // 2 or more adds the layer-list offset (format 6 and later)
    std::vector<RoomLayer> layers;  // written for version 2 and later
    std::vector<RoomBackground> backgrounds;
    std::vector<RoomView> views;
    std::vector<RoomInstance> instances;
    std::vector<RoomTile> tiles;
    bool physics = false;  // formats 6 and later
    float gravityX = 0.0f, gravityY = 10.0f, pixelsToMetres = 0.1f;
};

struct PathPoint {
    float x = 0, y = 0, speed = 100;
};
struct Path {
    std::string name;
    int32_t kind = 0;
    bool closed = true;
    int32_t precision = 4;
    std::vector<PathPoint> points;
};

struct Moment {
    int32_t time = 0;
    int32_t codeIndex = -1;
};
struct TimeLine {
    std::string name;
    std::vector<Moment> moments;
};

struct Script {
    std::string name;
    int32_t codeIndex = 0;
};

// A code entry: its bytecode as instruction words. Entries of format 15 and later may share
// one bytecode block: `sharedWith` names an earlier entry whose words this one starts into.
struct CodeEntry {
    std::string name;
    std::vector<uint32_t> words;
    uint16_t locals = 0, arguments = 0;
    int32_t sharedWith = -1;
    uint32_t start = 0;  // byte offset inside the (shared) block
};

// A place in bytecode that refers to a variable or function: the byte offset of the
// instruction inside its entry's words. Its operand (the next word) is rewritten by the writer
// into the occurrence chain.
struct CodeSite {
    int32_t entry = 0;
    uint32_t offset = 0;
};

struct Variable {
    std::string name;
    int32_t scope = -1;  // -1 instance, -5 global, -6 built-in, -7 local (format 15 and later)
    int32_t index = 0;
    std::vector<CodeSite> sites;
};

struct Function {
    std::string name;
    std::vector<CodeSite> sites;
};

struct ScriptLocals {
    std::string script;
    std::vector<std::string> names;
};

// "CODE", "VARI" and "FUNC". With `empty` the three chunks are written with no data.
struct Code {
    bool empty = false;
    std::vector<CodeEntry> entries;
    std::vector<Variable> variables;
    std::vector<Function> functions;
    std::vector<ScriptLocals> locals;                            // format 15 and later
    int32_t globalCount = 0, instanceCount = 0, localCount = 0;  // format 15 and later
};

// TPAG entry: eleven signed 16-bit fields; `texture` is the TXTR entry number.
struct PageEntry {
    int16_t sourceX = 0, sourceY = 0, sourceW = 0, sourceH = 0;
    int16_t targetX = 0, targetY = 0, targetW = 0, targetH = 0;
    int16_t boundW = 0, boundH = 0;
    int16_t texture = 0;
};

// "SPRT" entry. Frames name TPAG entries by number (-1: no entry for that frame); masks are
// packed, height rows of (width + 7) / 8 bytes, bit 7 leftmost. The extended form carries a
// kind and, in files whose header major version is 2 or more, the playback speed and (kind 0)
// the frame count; in older files its kind-0 data is the mask block alone. Kinds 1 and 2
// carry `kindData` after one unused word.
struct Sprite {
    std::string name;
    int32_t width = 1, height = 1;
    int32_t boxLeft = 0, boxRight = 0, boxBottom = 0, boxTop = 0;
    bool transparent = true, smooth = false, preload = true;
    int32_t boxMode = 0;
    bool precise = false;
    int32_t originX = 0, originY = 0;
    bool extended = false;
    int32_t kind = 0;
    float playbackSpeed = 30.0f;
    std::vector<int32_t> frames;
    std::vector<std::vector<uint8_t>> masks;
    std::vector<uint8_t> kindData;
};

// The tile-set block of a "BGND" entry; the runner reads it in layer mode when the version is 2
// or more. `tileIds` holds tileCount x framesPerTile words.
struct BackgroundTileSet {
    uint32_t version = 2;
    int32_t tileWidth = 16, tileHeight = 16, borderX = 0, borderY = 0, columns = 1;
    int32_t framesPerTile = 1, tileCount = 0;
    uint64_t frameTime = 0;
    std::vector<uint32_t> tileIds;
};

// "BGND" entry. `pageEntry` names a TPAG entry by number (-1: none). Without a tile set, files
// whose header major version is 2 or more get a version word of 0.
struct Background {
    std::string name;
    bool transparent = false, smooth = false, preload = false;
    int32_t pageEntry = -1;
    std::optional<BackgroundTileSet> tileSet;
};

// "FONT" glyph record (written with no kerning pairs).
struct FontGlyph {
    uint16_t character = 0;
    int16_t x = 0, y = 0, width = 0, height = 0;
    int16_t advance = 0, offset = 0;
};

// "FONT" entry. Glyphs must be listed in ascending character order.
struct Font {
    std::string name, displayName;
    uint32_t size = 12;
    bool bold = false, italic = false;
    uint16_t first = 32;
    uint8_t charset = 0;
    uint8_t antialias = 0;  // written as level + 1 when `antialiasGiven`
    bool antialiasGiven = false;
    uint32_t last = 127;
    int32_t pageEntry = -1;  // index into the "TPAG" entries; -1: none
    float scaleX = 1.0f, scaleY = 1.0f;
    std::vector<FontGlyph> glyphs;
};

// "SHDR" entry. Texts 1 and 2 (`texts[0]`, `texts[1]`) are the GLSL ES vertex and fragment
// programs the runner compiles; an empty text is written as 0. With `version` 0 or more the kind
// word gets bit 31 and the extended block follows the attribute names: the version, then for
// version 1 and later four {offset, size} pairs of `blobs` (an empty blob: offset 0), and for
// version 2 and later two more pairs of zeros.
struct Shader {
    std::string name;
    uint32_t kind = 1;
    std::array<std::string, 8> texts;
    std::vector<std::string> attributes;
    int32_t version = -1;
    std::array<std::vector<uint8_t>, 4> blobs;
};

struct TexturePage {
    uint32_t flags = 0;
    std::vector<uint8_t> blob;  // PNG (or any image) bytes
};

// "SOND" entry (36 bytes). The audio engine reads `flags` as the storage kind (0 in memory, 1-100
// streamed from the file, 102 compressed, 103 decoded at load), `volume`, `group` and `audio`;
// the legacy layer reads the same words as kind, `type` as the extension, `pitch` as pan and
// `group` as the preload flag.
struct Sound {
    std::string name;
    int32_t flags = 0;
    std::string type = ".wav";
    std::string fileName;
    uint32_t effects = 0;
    float volume = 1.0f;
    float pitch = 1.0f;
    int32_t group = 0;
    int32_t audio = 0;  // the "AUDO" entry
};

struct FormFile {
    Header header;
    std::optional<Options> options;
    std::optional<LanguageTable> languages;
    std::optional<std::vector<std::optional<ExtensionPackage>>> extensions;  // "EXTN"; nullopt: empty slot
    std::optional<std::vector<std::optional<Sound>>> sounds;                 // "SOND"; nullopt: empty slot
    std::optional<std::vector<std::string>> audioGroups;                     // "AGRP": group names
    std::optional<std::vector<std::optional<Sprite>>> sprites;               // "SPRT"; nullopt: empty slot
    std::optional<std::vector<std::optional<Background>>> backgrounds;       // "BGND"; nullopt: empty slot
    std::optional<std::vector<Path>> paths;                                  // "PATH"; empty name: empty slot
    std::optional<std::vector<Script>> scripts;                              // "SCPT"; empty name: empty slot
    std::optional<std::vector<int32_t>> globalInits;                         // "GLOB"
    std::optional<std::vector<std::optional<Shader>>> shaders;  // "SHDR"; nullopt: entry offset 0
    std::optional<std::vector<std::optional<Font>>> fonts;      // "FONT"; nullopt: empty slot
    // The last 512 bytes of "FONT": 8-bit codes to characters (unset: the identity).
    std::optional<std::array<uint16_t, 256>> fontCharTable;
    std::optional<std::vector<TimeLine>> timeLines;             // "TMLN"; empty name: empty slot
    std::optional<std::vector<std::optional<Object>>> objects;  // "OBJT"
    std::optional<std::vector<std::optional<Room>>> rooms;      // "ROOM"
    std::optional<std::vector<PageEntry>> pageEntries;          // "TPAG"
    std::optional<Code> code;                                   // "CODE", "FUNC", "VARI"
    std::optional<std::vector<TexturePage>> textures;           // "TXTR"
    // "AUDO": whole WAV or Ogg Vorbis file images, one per entry; nullopt: no entry.
    std::optional<std::vector<std::optional<std::vector<uint8_t>>>> audio;
    // Strings listed in "STRG" before any other, in this order: bytecode refers to strings
    // by their index in the table (see StringIndex).
    std::vector<std::string> strings;
};

// The index that `text` gets in the string table of a file built from `file`: its place in
// `strings`, or -1 when it is not listed there.
int32_t StringIndex(const FormFile& file, const std::string& text);

// The file's bytes; empty, with a reason in `error`, when the records cannot be written (a code
// site outside its bytecode, a shared entry that names no earlier entry).
std::vector<uint8_t> Build(const FormFile& file, std::string* error = nullptr);

// The debug-information file (".pwdebug"): per code entry its line table (code offset, source
// position pairs) and source text, and per instance a text.
struct DebugInfo {
    std::vector<std::vector<std::pair<int32_t, int32_t>>> lineTables;
    std::vector<std::string> sources;
    std::vector<std::string> instances;
};

std::vector<uint8_t> BuildDebugInfo(const DebugInfo& info);

// An audio-group file ("audiogroup%d.dat"): a "FORM" holding one "AUDO" chunk of these entries,
// whose offsets count from the start of that file.
std::vector<uint8_t> BuildAudioGroupFile(const std::vector<std::optional<std::vector<uint8_t>>>& audio);

}  // namespace formpack
