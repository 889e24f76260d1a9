#include "formpack/Manifest.h"

#include "formpack/TexturePacker.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

namespace formpack {

namespace {

const char* const kHelp =
    "usage: formpack MANIFEST -o OUTPUT\n"
    "       formpack --help\n"
    "\n"
    "Writes a game data file (\"FORM\") from a text manifest. One record a line; '#' starts a\n"
    "comment. A record is a keyword, then positional fields, then name=value fields. Texts with\n"
    "spaces go in double quotes (\\\" and \\\\ inside). Numbers are decimal or 0x hex.\n"
    "Records that belong to an object, room, path or time line follow it.\n"
    "\n"
    "  header format=14 major=1 name=TEXT config=TEXT display=TEXT id=N width=N height=N\n"
    "         flags=N rooms=N,N,... framerate=F lastinstance=N lasttile=N steam=N port=N\n"
    "  options [old] version=N flags=N colour=N depth=N resolution=N refresh=N\n"
    "  constant NAME VALUE\n"
    "  object NAME sprite=N visible=0|1 solid=0|1 depth=N persistent=0|1 parent=N mask=N\n"
    "  object -                                  (an empty slot)\n"
    "    event TYPE SUBTYPE CODEINDEX\n"
    "  room NAME caption=TEXT width=N height=N speed=N colour=N code=N persistent=0|1\n"
    "  room -                                    (an empty slot)\n"
    "    instance X Y OBJECT ID code=N\n"
    "    tile X Y BACKGROUND LEFT TOP WIDTH HEIGHT DEPTH ID\n"
    "    background INDEX x=N y=N visible=0|1 foreground=0|1\n"
    "    view x=N y=N w=N h=N portx=N porty=N portw=N porth=N object=N visible=0|1\n"
    "  path NAME kind=N closed=0|1 precision=N\n"
    "    point X Y SPEED\n"
    "  timeline NAME\n"
    "    moment TIME CODEINDEX\n"
    "  script NAME CODEINDEX\n"
    "  global CODEINDEX                          (a global initialiser)\n"
    "  code empty                                (empty CODE, VARI and FUNC chunks)\n"
    "  texture FILE.png flags=N raw=32|16        (a TXTR page; raw: stored as \"RAW \" pixels)\n"
    "  page SX SY SW SH TX TY TW TH BW BH TEXTURE (a TPAG entry)\n"
    "  image FILE.png                            (an image placed on a packed page: its TPAG\n"
    "                                             entry goes here, its page after all others)\n"
    "  packer size=N padding=N trim=0|1 shrink=0|1 raw=0|32|16 flags=N\n"
    "                                            (how images are packed; any place in the file)\n"
    "  sound NAME FILE flags=N volume=F pitch=F group=N type=TEXT\n"
    "                                            (a SOND entry; the WAV or Ogg FILE is its AUDO entry)\n"
    "  sound -                                   (an empty slot)\n"
    "  audiogroup NAME                           (an AGRP entry)\n";

struct Line {
    std::vector<std::string> words;
    std::map<std::string, std::string> fields;
};

bool Tokenize(const std::string& text, Line& line, std::string& error) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
            ++i;
            continue;
        }
        if (text[i] == '#') break;
        std::string token;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
            if (text[i] != '"') {
                token += text[i++];
                continue;
            }
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                token += text[i];
            }
            if (i >= text.size()) {
                error = "unterminated text";
                return false;
            }
            ++i;
        }
        tokens.push_back(token);
    }
    for (const std::string& t : tokens) {
        const size_t eq = t.find('=');
        if (eq != std::string::npos && !line.words.empty())
            line.fields[t.substr(0, eq)] = t.substr(eq + 1);
        else
            line.words.push_back(t);
    }
    return true;
}

class Reader {
public:
    Reader(const Line& line, std::string& error) : m_line(line), m_error(error) {}

    bool Ok() const { return m_error.empty(); }

    int64_t Number(const std::string& text) {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(text.c_str(), &end, 0);
        if (text.empty() || *end != 0 || errno) {
            if (Ok()) m_error = "not a number: " + text;
            return 0;
        }
        return v;
    }
    float Real(const std::string& text) {
        char* end = nullptr;
        const float v = std::strtof(text.c_str(), &end);
        if (text.empty() || *end != 0) {
            if (Ok()) m_error = "not a number: " + text;
            return 0;
        }
        return v;
    }
    const std::string& Word(size_t i) {
        static const std::string none;
        if (i < m_line.words.size()) return m_line.words[i];
        if (Ok()) m_error = "missing field " + std::to_string(i);
        return none;
    }
    int32_t Int(size_t i) { return static_cast<int32_t>(Number(Word(i))); }
    float Float(size_t i) { return Real(Word(i)); }

    template <typename T>
    void Field(const char* name, T& into) {
        auto it = m_line.fields.find(name);
        if (it == m_line.fields.end()) return;
        if constexpr (std::is_same_v<T, std::string>)
            into = it->second;
        else if constexpr (std::is_same_v<T, bool>)
            into = Number(it->second) != 0;
        else if constexpr (std::is_floating_point_v<T>)
            into = Real(it->second);
        else
            into = static_cast<T>(Number(it->second));
    }

private:
    const Line& m_line;
    std::string& m_error;
};

struct State {
    FormFile& file;
    std::string folder;
    std::string error;
    Object* object = nullptr;
    Room* room = nullptr;
    Path* path = nullptr;
    TimeLine* timeLine = nullptr;
    PackOptions packer = {};
    std::vector<PackImage> images = {};     // packed after the last line
    std::vector<size_t> imageEntries = {};  // the TPAG place of each
};

void ReadHeader(Reader& r, Header& h) {
    int32_t format = h.format;
    r.Field("format", format);
    h.format = static_cast<uint8_t>(format);
    r.Field("major", h.major);
    r.Field("name", h.gameName);
    r.Field("config", h.configName);
    r.Field("display", h.displayName);
    r.Field("id", h.gameId);
    r.Field("width", h.windowWidth);
    r.Field("height", h.windowHeight);
    r.Field("flags", h.infoFlags);
    r.Field("framerate", h.frameRate);
    r.Field("lastinstance", h.lastInstanceId);
    r.Field("lasttile", h.lastTileId);
    r.Field("steam", h.steamAppId);
    r.Field("port", h.debuggerPort);
    std::string rooms;
    r.Field("rooms", rooms);
    std::stringstream list(rooms);
    for (std::string item; std::getline(list, item, ',');)
        h.roomOrder.push_back(static_cast<int32_t>(r.Number(item)));
}

void ReadOptions(Reader& r, const Line& line, Options& o) {
    o.newFormat = !(line.words.size() > 1 && line.words[1] == "old");
    r.Field("version", o.version);
    r.Field("flags", o.flags);
    const bool n = o.newFormat;
    r.Field("colour", o.words[n ? 5 : 8]);
    r.Field("depth", o.words[n ? 6 : 10]);
    r.Field("resolution", o.words[n ? 7 : 11]);
    r.Field("refresh", o.words[n ? 8 : 12]);
}

bool ReadFileBytes(State& s, const std::string& name, std::vector<uint8_t>& out) {
    const std::string path = s.folder.empty() ? name : s.folder + "/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        s.error = "cannot read " + path;
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool RawFormatOf(State& s, int32_t bits, RawFormat* format) {
    if (bits != 32 && bits != 16) {
        s.error = "raw must be 32 or 16";
        return false;
    }
    *format = bits == 16 ? RawFormat::Rgba16 : RawFormat::Rgba32;
    return true;
}

void ToRaw(State& s, int32_t bits, std::vector<uint8_t>& blob) {
    RawFormat format;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
    if (RawFormatOf(s, bits, &format) && DecodePng(blob, &width, &height, &rgba, &s.error))
        blob = EncodeRawTexture(width, height, rgba, format);
}

void ReadPacker(State& s, Reader& r) {
    PackOptions& o = s.packer;
    r.Field("size", o.pageSize);
    r.Field("padding", o.padding);
    r.Field("trim", o.trim);
    r.Field("shrink", o.shrink);
    r.Field("flags", o.flags);
    int32_t raw = o.raw ? (o.rawFormat == RawFormat::Rgba16 ? 16 : 32) : 0;
    r.Field("raw", raw);
    o.raw = raw != 0;
    if (o.raw) RawFormatOf(s, raw, &o.rawFormat);
}

// Places the images of "image" lines and fills the entries their lines reserved.
void PackImages(State& s) {
    if (s.images.empty()) return;
    FormFile& f = s.file;
    const size_t firstPage = f.textures ? f.textures->size() : 0;
    PackResult packed;
    if (firstPage > 32767 ||
        !PackTextures(s.images, s.packer, static_cast<int16_t>(firstPage), &packed, &s.error))
        return;
    if (!f.textures) f.textures.emplace();
    f.textures->insert(f.textures->end(), packed.pages.begin(), packed.pages.end());
    for (size_t i = 0; i < packed.entries.size(); ++i)
        (*f.pageEntries)[s.imageEntries[i]] = packed.entries[i];
}

template <typename T>
T& Append(std::optional<std::vector<T>>& list) {
    if (!list) list.emplace();
    list->emplace_back();
    return list->back();
}

bool NeedOwner(State& s, const void* owner, const char* what) {
    if (!owner) s.error = std::string("\"") + what + "\" must follow the record it belongs to";
    return owner != nullptr;
}

void ReadRoomPart(State& s, Reader& r, const std::string& key) {
    if (!NeedOwner(s, s.room, key.c_str())) return;
    if (key == "instance") {
        RoomInstance& i = s.room->instances.emplace_back();
        i = RoomInstance{r.Int(1), r.Int(2), r.Int(3), r.Int(4)};
        r.Field("code", i.creationCode);
    } else if (key == "tile") {
        RoomTile& t = s.room->tiles.emplace_back();
        t.x = r.Int(1), t.y = r.Int(2), t.background = r.Int(3), t.left = r.Int(4), t.top = r.Int(5);
        t.width = r.Int(6), t.height = r.Int(7), t.depth = r.Int(8), t.id = r.Int(9);
    } else if (key == "background") {
        RoomBackground& b = s.room->backgrounds.emplace_back();
        b.index = r.Int(1);
        r.Field("x", b.x), r.Field("y", b.y), r.Field("visible", b.visible),
            r.Field("foreground", b.foreground);
    } else {
        RoomView& v = s.room->views.emplace_back();
        r.Field("x", v.viewX), r.Field("y", v.viewY), r.Field("w", v.viewW), r.Field("h", v.viewH);
        r.Field("portx", v.portX), r.Field("porty", v.portY), r.Field("portw", v.portW),
            r.Field("porth", v.portH);
        r.Field("object", v.object), r.Field("visible", v.visible);
    }
}

// A sound asset whose file becomes the next "AUDO" entry.
void ReadSound(State& s, Reader& r, FormFile& f) {
    auto& slot = Append(f.sounds);
    if (r.Word(1) == "-") return;
    Sound& sound = slot.emplace();
    sound.name = r.Word(1);
    sound.fileName = r.Word(2);
    const size_t dot = sound.fileName.rfind('.');
    sound.type = dot == std::string::npos ? std::string() : sound.fileName.substr(dot);
    r.Field("flags", sound.flags), r.Field("volume", sound.volume), r.Field("pitch", sound.pitch);
    r.Field("group", sound.group), r.Field("type", sound.type);
    auto& entry = Append(f.audio);
    sound.audio = static_cast<int32_t>(f.audio->size() - 1);
    if (!ReadFileBytes(s, sound.fileName, entry.emplace())) entry.reset();
}

void ReadRecord(State& s, const Line& line) {
    Reader r(line, s.error);
    const std::string& key = line.words[0];
    FormFile& f = s.file;
    if (key == "header") {
        ReadHeader(r, f.header);
    } else if (key == "options") {
        if (!f.options) f.options.emplace();
        ReadOptions(r, line, *f.options);
    } else if (key == "constant") {
        if (!f.options) f.options.emplace();
        f.options->constants.emplace_back(r.Word(1), r.Word(2));
    } else if (key == "object") {
        if (!f.objects) f.objects.emplace();
        auto& slot = f.objects->emplace_back();
        s.object = nullptr;
        if (r.Word(1) == "-") return;
        slot.emplace().name = r.Word(1);
        s.object = &*slot;
        r.Field("sprite", s.object->sprite), r.Field("visible", s.object->visible);
        r.Field("solid", s.object->solid), r.Field("depth", s.object->depth);
        r.Field("persistent", s.object->persistent), r.Field("parent", s.object->parent);
        r.Field("mask", s.object->mask);
    } else if (key == "event") {
        if (!NeedOwner(s, s.object, "event")) return;
        const int32_t type = r.Int(1);
        if (type < 0 || type > 11) {
            s.error = "event type must be 0..11";
            return;
        }
        s.object->events[type].push_back(EventHandler{r.Int(2), r.Int(3)});
    } else if (key == "room") {
        if (!f.rooms) f.rooms.emplace();
        auto& slot = f.rooms->emplace_back();
        s.room = nullptr;
        if (r.Word(1) == "-") return;
        slot.emplace().name = r.Word(1);
        s.room = &*slot;
        r.Field("caption", s.room->caption), r.Field("width", s.room->width);
        r.Field("height", s.room->height), r.Field("speed", s.room->speed);
        r.Field("colour", s.room->colour), r.Field("code", s.room->creationCode);
        r.Field("persistent", s.room->persistent);
    } else if (key == "instance" || key == "tile" || key == "background" || key == "view") {
        ReadRoomPart(s, r, key);
    } else if (key == "path") {
        s.path = &Append(f.paths);
        s.path->name = r.Word(1);
        r.Field("kind", s.path->kind), r.Field("closed", s.path->closed),
            r.Field("precision", s.path->precision);
    } else if (key == "point") {
        if (NeedOwner(s, s.path, "point"))
            s.path->points.push_back(PathPoint{r.Float(1), r.Float(2), r.Float(3)});
    } else if (key == "timeline") {
        s.timeLine = &Append(f.timeLines);
        s.timeLine->name = r.Word(1);
    } else if (key == "moment") {
        if (NeedOwner(s, s.timeLine, "moment")) s.timeLine->moments.push_back(Moment{r.Int(1), r.Int(2)});
    } else if (key == "script") {
        Script& sc = Append(f.scripts);
        sc.name = r.Word(1);
        sc.codeIndex = r.Int(2);
    } else if (key == "global") {
        if (!f.globalInits) f.globalInits.emplace();
        f.globalInits->push_back(r.Int(1));
    } else if (key == "code") {
        if (r.Word(1) != "empty") s.error = "only \"code empty\" is written from a manifest";
        f.code.emplace().empty = true;
    } else if (key == "texture") {
        TexturePage& page = Append(f.textures);
        r.Field("flags", page.flags);
        int32_t raw = 0;
        r.Field("raw", raw);
        if (ReadFileBytes(s, r.Word(1), page.blob) && raw) ToRaw(s, raw, page.blob);
    } else if (key == "image") {
        PackImage image;
        std::vector<uint8_t> file;
        if (ReadFileBytes(s, r.Word(1), file) &&
            DecodePng(file, &image.width, &image.height, &image.rgba, &s.error)) {
            Append(f.pageEntries);
            s.imageEntries.push_back(f.pageEntries->size() - 1);
            s.images.push_back(std::move(image));
        }
    } else if (key == "packer") {
        ReadPacker(s, r);
    } else if (key == "page") {
        PageEntry& e = Append(f.pageEntries);
        int16_t* fields[] = {&e.sourceX, &e.sourceY, &e.sourceW, &e.sourceH, &e.targetX, &e.targetY,
                             &e.targetW, &e.targetH, &e.boundW,  &e.boundH,  &e.texture};
        for (size_t i = 0; i < 11; ++i) *fields[i] = static_cast<int16_t>(r.Int(i + 1));
    } else if (key == "sound") {
        ReadSound(s, r, f);
    } else if (key == "audiogroup") {
        if (!f.audioGroups) f.audioGroups.emplace();
        f.audioGroups->push_back(r.Word(1));
    } else {
        s.error = "unknown record \"" + key + "\"";
    }
}

}  // namespace

bool ParseManifest(const std::string& text, const std::string& folder, FormFile& file, std::string& error) {
    State s{file, folder, {}};
    std::stringstream in(text);
    int number = 0;
    for (std::string raw; std::getline(in, raw);) {
        ++number;
        Line line;
        if (!Tokenize(raw, line, s.error) || line.words.empty()) {
            if (!s.error.empty()) break;
            continue;
        }
        ReadRecord(s, line);
        if (!s.error.empty()) break;
    }
    if (s.error.empty()) {
        PackImages(s);
        if (!s.error.empty()) {
            error = "packing images: " + s.error;
            return false;
        }
        return true;
    }
    error = "line " + std::to_string(number) + ": " + s.error;
    return false;
}

const char* ManifestHelp() {
    return kHelp;
}

}  // namespace formpack
