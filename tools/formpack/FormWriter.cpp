#include "formpack/FormWriter.h"

#include <algorithm>
#include <map>

#include "formpack/AudioChunks.h"
#include "formpack/ByteBuffer.h"

namespace formpack {

namespace {

// Chunks in the order the runner expects them; "STRG" and "VARI" come last.
struct Chunk {
    std::string tag;
    Section data;
};

constexpr uint32_t kActionCodeWord = 8;  // the code index sits at byte 32 of an action record
constexpr uint32_t kActionWords = 9;

void WriteAction(Section& s, int32_t codeIndex) {
    for (uint32_t i = 0; i < kActionWords; ++i) s.I32(i == kActionCodeWord ? codeIndex : 0);
}

// count, then one offset per slot (0 for an empty slot), then each entry written by `entry`.
template <typename T, typename Present, typename Write>
void WriteTable(Section& s, const std::vector<T>& items, Present present, Write entry) {
    s.U32(static_cast<uint32_t>(items.size()));
    std::vector<size_t> slots(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        if (present(items[i]))
            slots[i] = s.LocalOffsetLater();
        else
            s.U32(0);
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (!present(items[i])) continue;
        s.SetLocalOffsetHere(slots[i]);
        entry(items[i]);
    }
}

template <typename T, typename Write>
void WriteList(Section& s, const std::vector<T>& items, Write entry) {
    WriteTable(
        s, items, [](const T&) { return true; }, entry);
}

Section WriteHeader(const Header& h) {
    Section s;
    const int f = h.format;
    s.U32(h.flagByte | (static_cast<uint32_t>(h.format) << 8));
    s.OptionalString(h.fileName);
    s.String(h.configName);
    s.I32(h.lastInstanceId);
    s.I32(h.lastTileId);
    s.I32(h.gameId);
    const int fixedWords = f < 8 ? 3 : 4;  // below 8 the room order starts in word 9
    for (int i = 0; i < fixedWords; ++i) s.U32(h.words6to9[i]);
    if (f >= 8) {
        s.String(h.gameName);
        s.I32(h.major);
        s.I32(h.minor);
        s.I32(h.release);
        s.I32(h.build);
        s.I32(h.windowWidth);
        s.I32(h.windowHeight);
        s.U32(h.infoFlags);
        s.U32(h.word18);
        for (uint32_t w : h.words19to24) s.U32(w);
    }
    if (f >= 10) s.OptionalString(h.displayName);
    if (f >= 11) s.U64(h.value26);
    if (f >= 12) s.U64(h.optionFlags);
    if (f >= 13) s.I32(h.steamAppId);
    if (f >= 14) s.I32(h.debuggerPort);
    s.U32(static_cast<uint32_t>(h.roomOrder.size()));
    for (int32_t r : h.roomOrder) s.I32(r);
    if (f >= 14 && h.major >= 2) {
        for (uint32_t w : h.wordsAfterRooms) s.U32(w);
        s.F32(h.frameRate);
    }
    return s;
}

void WriteConstants(Section& s, const Options& o) {
    s.U32(static_cast<uint32_t>(o.constants.size()));
    for (const auto& [name, value] : o.constants) {
        s.String(name);
        s.String(value);
    }
}

Section WriteOptions(const Options& o) {
    Section s;
    if (o.newFormat) {
        s.U32(0x80000000u);
        s.I32(o.version);
        s.U32(o.flags);
        for (int w = 3; w <= 14; ++w) {
            if (w == 13)
                s.OptionalString(o.text);
            else
                s.I32(o.words[w]);
        }
    } else {
        for (int w = 0; w < 35; ++w) {
            if (w == 26)
                s.OptionalString(o.text);
            else
                s.I32(o.words[w]);
        }
    }
    WriteConstants(s, o);
    return s;
}

Section WriteLanguages(const LanguageTable& t) {
    Section s;
    s.U32(0);
    s.U32(static_cast<uint32_t>(t.languages.size()));
    s.U32(static_cast<uint32_t>(t.entryNames.size()));
    for (const auto& n : t.entryNames) s.String(n);
    for (const auto& lang : t.languages) {
        s.String(lang.name);
        s.String(lang.secondName);
        for (size_t e = 0; e < t.entryNames.size(); ++e)
            s.String(e < lang.texts.size() ? lang.texts[e] : std::string());
    }
    return s;
}

void WriteExtensionFunction(Section& s, const ExtensionFunction& f) {
    s.String(f.name);
    s.I32(f.id);
    s.I32(f.convention);
    s.I32(f.resultType);
    s.String(f.externalName);
    s.U32(static_cast<uint32_t>(f.argTypes.size()));
    for (int32_t type : f.argTypes) s.I32(type);
}

// The record with its function offsets, then the function records.
void WriteExtensionFile(Section& s, const ExtensionFile& file) {
    s.String(file.name);
    s.OptionalString(file.finalFunction);
    s.OptionalString(file.initFunction);
    s.I32(file.kind);
    WriteList(s, file.functions, [&](const ExtensionFunction& f) { WriteExtensionFunction(s, f); });
}

Section WriteExtensions(const std::vector<std::optional<ExtensionPackage>>& packages) {
    Section s;
    WriteTable(
        s, packages, [](const std::optional<ExtensionPackage>& p) { return p.has_value(); },
        [&](const std::optional<ExtensionPackage>& p) {
            s.OptionalString(p->name);
            s.OptionalString(p->secondText);
            s.OptionalString(p->thirdText);
            WriteTable(
                s, p->files, [](const std::optional<ExtensionFile>& f) { return f.has_value(); },
                [&](const std::optional<ExtensionFile>& f) { WriteExtensionFile(s, *f); });
        });
    return s;
}

Section WritePaths(const std::vector<Path>& paths) {
    Section s;
    WriteTable(
        s, paths, [](const Path& p) { return !p.name.empty(); },
        [&](const Path& p) {
            s.String(p.name);
            s.I32(p.kind);
            s.U32(p.closed ? 1 : 0);
            s.I32(p.precision);
            s.U32(static_cast<uint32_t>(p.points.size()));
            for (const auto& pt : p.points) {
                s.F32(pt.x);
                s.F32(pt.y);
                s.F32(pt.speed);
            }
        });
    return s;
}

Section WriteScripts(const std::vector<Script>& scripts) {
    Section s;
    WriteTable(
        s, scripts, [](const Script& sc) { return !sc.name.empty(); },
        [&](const Script& sc) {
            s.String(sc.name);
            s.I32(sc.codeIndex);
        });
    return s;
}

Section WriteGlobals(const std::vector<int32_t>& inits) {
    Section s;
    s.U32(static_cast<uint32_t>(inits.size()));
    for (int32_t c : inits) s.I32(c);
    return s;
}

// An event record: action count 1, the offset of its action, the action.
void WriteEventRecord(Section& s, int32_t codeIndex) {
    s.U32(1);
    const size_t action = s.LocalOffsetLater();
    s.SetLocalOffsetHere(action);
    WriteAction(s, codeIndex);
}

Section WriteTimeLines(const std::vector<TimeLine>& lines) {
    Section s;
    WriteTable(
        s, lines, [](const TimeLine& t) { return !t.name.empty(); },
        [&](const TimeLine& t) {
            s.String(t.name);
            s.U32(static_cast<uint32_t>(t.moments.size()));
            std::vector<size_t> records;
            for (const auto& m : t.moments) {
                s.I32(m.time);
                records.push_back(s.LocalOffsetLater());
            }
            for (size_t i = 0; i < t.moments.size(); ++i) {
                s.SetLocalOffsetHere(records[i]);
                WriteEventRecord(s, t.moments[i].codeIndex);
            }
        });
    return s;
}

void WriteObjectEntry(Section& s, const Object& o, int format) {
    s.String(o.name);
    s.I32(o.sprite);
    s.U32(o.visible);
    s.U32(o.solid);
    s.I32(o.depth);
    s.U32(o.persistent);
    s.I32(o.parent);
    s.I32(o.mask);
    if (format >= 6) {
        const ObjectPhysics& p = o.physics;
        s.U32(p.uses);
        s.U32(p.sensor);
        s.I32(p.shape);
        s.F32(p.density);
        s.F32(p.restitution);
        s.I32(p.group);
        s.F32(p.linearDamping);
        s.F32(p.angularDamping);
        s.U32(static_cast<uint32_t>(p.points.size()));
        if (format >= 9) {
            s.F32(p.friction);
            s.U32(p.awake);
            s.U32(p.kinematic);
        }
        for (const auto& [x, y] : p.points) {
            s.F32(x);
            s.F32(y);
        }
    }
    std::vector<std::vector<EventHandler>> types(o.events.begin(), o.events.end());
    WriteList(s, types, [&](const std::vector<EventHandler>& list) {
        WriteList(s, list, [&](const EventHandler& e) {
            s.I32(e.subtype);
            WriteEventRecord(s, e.codeIndex);
        });
    });
}

Section WriteObjects(const std::vector<std::optional<Object>>& objects, int format) {
    Section s;
    WriteTable(
        s, objects, [](const std::optional<Object>& o) { return o.has_value(); },
        [&](const std::optional<Object>& o) { WriteObjectEntry(s, *o, format); });
    return s;
}

void WriteRoomLists(Section& s, const Room& r, size_t bgAt, size_t viewAt, size_t instAt, size_t tileAt) {
    s.SetLocalOffsetHere(bgAt);
    WriteList(s, r.backgrounds, [&](const RoomBackground& b) {
        s.U32(b.visible);
        s.U32(b.foreground);
        s.I32(b.index);
        s.I32(b.x);
        s.I32(b.y);
        s.U32(b.tileX);
        s.U32(b.tileY);
        s.I32(b.speedX);
        s.I32(b.speedY);
        s.U32(b.stretch);
    });
    s.SetLocalOffsetHere(viewAt);
    WriteList(s, r.views, [&](const RoomView& v) {
        for (int32_t w : {int32_t(v.visible), v.viewX, v.viewY, v.viewW, v.viewH, v.portX, v.portY, v.portW,
                          v.portH, v.borderX, v.borderY, v.speedX, v.speedY, v.object})
            s.I32(w);
    });
    s.SetLocalOffsetHere(instAt);
    WriteList(s, r.instances, [&](const RoomInstance& i) {
        s.I32(i.x);
        s.I32(i.y);
        s.I32(i.object);
        s.I32(i.id);
        s.I32(i.creationCode);
        s.F32(i.scaleX);
        s.F32(i.scaleY);
        s.U32(i.colour);
        s.F32(i.rotation);
    });
    s.SetLocalOffsetHere(tileAt);
    WriteList(s, r.tiles, [&](const RoomTile& t) {
        for (int32_t w : {t.x, t.y, t.background, t.left, t.top, t.width, t.height, t.depth, t.id}) s.I32(w);
        s.F32(t.scaleX);
        s.F32(t.scaleY);
        s.U32(t.colour);
    });
}

void WriteTileRecord(Section& s, const RoomTile& t) {
    for (int32_t w : {t.x, t.y, t.background, t.left, t.top, t.width, t.height, t.depth, t.id}) s.I32(w);
    s.F32(t.scaleX);
    s.F32(t.scaleY);
    s.U32(t.colour);
}

void WriteSpriteAsset(Section& s, const RoomSpriteAsset& a) {
    s.OptionalString(a.name);
    s.I32(a.sprite);
    s.I32(a.x);
    s.I32(a.y);
    s.F32(a.scaleX);
    s.F32(a.scaleY);
    s.U32(a.colour);
    s.F32(a.speed);
    s.F32(a.index);
    s.F32(a.angle);
}

// An assets list: 0 when empty, else the offset of a count and record offsets.
template <typename T, typename Write>
void WriteAssetList(Section& s, size_t at, const std::vector<T>& items, Write write) {
    if (items.empty()) return;
    s.SetLocalOffsetHere(at);
    WriteList(s, items, [&](const T& item) { write(s, item); });
}

void WriteLayerRecord(Section& s, const RoomLayer& l) {
    s.OptionalString(l.name);
    s.I32(l.id);
    s.I32(l.type);
    s.I32(l.depth);
    s.F32(l.x);
    s.F32(l.y);
    s.F32(l.hspeed);
    s.F32(l.vspeed);
    s.U32(l.visible);
    switch (l.type) {
        case 1:
            for (uint32_t w : {uint32_t(l.bgVisible), uint32_t(l.bgForeground), uint32_t(l.bgSprite),
                               uint32_t(l.bgHTiled), uint32_t(l.bgVTiled), uint32_t(l.bgStretch), l.bgColour})
                s.U32(w);
            s.F32(l.bgIndex);
            s.F32(l.bgSpeed);
            break;
        case 2:
            s.U32(static_cast<uint32_t>(l.instances.size()));
            for (int32_t id : l.instances) s.I32(id);
            break;
        case 3: {
            const size_t tilesAt = l.tiles.empty() ? 0 : s.LocalOffsetLater();
            if (l.tiles.empty()) s.U32(0);
            const size_t spritesAt = l.sprites.empty() ? 0 : s.LocalOffsetLater();
            if (l.sprites.empty()) s.U32(0);
            WriteAssetList(s, tilesAt, l.tiles, WriteTileRecord);
            WriteAssetList(s, spritesAt, l.sprites, WriteSpriteAsset);
            break;
        }
        case 4:
            s.I32(l.tileSet);
            s.I32(l.tilemapWidth);
            s.I32(l.tilemapHeight);
            for (uint32_t cell : l.cells) s.U32(cell);
            break;
        default:
            break;
    }
}

void WriteRoomEntry(Section& s, const Room& r, int format) {
    s.String(r.name);
    s.OptionalString(r.caption);
    s.I32(r.width);
    s.I32(r.height);
    s.I32(r.speed);
    s.U32(r.persistent);
    s.U32(r.colour);
    s.U32(r.showColour);
    s.I32(r.creationCode);
    const uint32_t flags = (r.viewsEnabled ? 1u : 0u) | (r.clearWindow ? 2u : 0u) |
                           (r.keepDisplay ? 4u : 0u) |
                           (static_cast<uint32_t>(static_cast<uint16_t>(r.version)) << 16);
    s.U32(flags);
    const size_t bgAt = s.LocalOffsetLater();
    const size_t viewAt = s.LocalOffsetLater();
    const size_t instAt = s.LocalOffsetLater();
    const size_t tileAt = s.LocalOffsetLater();
    std::optional<size_t> layerAt;
    if (format >= 6) {
        s.U32(r.physics);
        s.Zeros(16);
        s.F32(r.gravityX);
        s.F32(r.gravityY);
        s.F32(r.pixelsToMetres);
        if (r.version >= 2) layerAt = s.LocalOffsetLater();
    }
    WriteRoomLists(s, r, bgAt, viewAt, instAt, tileAt);
    if (layerAt) {
        s.SetLocalOffsetHere(*layerAt);
        WriteList(s, r.layers, [&](const RoomLayer& l) { WriteLayerRecord(s, l); });
    }
}

Section WriteRooms(const std::vector<std::optional<Room>>& rooms, int format) {
    Section s;
    WriteTable(
        s, rooms, [](const std::optional<Room>& r) { return r.has_value(); },
        [&](const std::optional<Room>& r) { WriteRoomEntry(s, *r, format); });
    return s;
}

constexpr uint32_t kPageEntryBytes = 22;

// Page entries are referred to by file offset, so fonts point into the "TPAG" section.
Section WriteFonts(const FormFile& file, int pageSection) {
    Section s;
    const std::vector<std::optional<Font>>& fonts = *file.fonts;
    WriteTable(
        s, fonts, [](const std::optional<Font>& f) { return f.has_value(); },
        [&](const std::optional<Font>& f) {
            s.String(f->name);
            s.String(f->displayName);
            s.U32(f->size);
            s.U32(f->bold);
            s.U32(f->italic);
            const uint32_t aa = f->antialiasGiven ? uint32_t(f->antialias) + 1 : 0;
            s.U32(f->first | uint32_t(f->charset) << 16 | aa << 24);
            s.U32(f->last);
            const size_t pages = file.pageEntries ? file.pageEntries->size() : 0;
            if (f->pageEntry >= 0 && size_t(f->pageEntry) < pages && pageSection >= 0)
                s.ForeignOffset(pageSection, uint32_t(4 + 4 * pages + kPageEntryBytes * f->pageEntry));
            else
                s.U32(0);
            s.F32(f->scaleX);
            s.F32(f->scaleY);
            s.U32(static_cast<uint32_t>(f->glyphs.size()));
            std::vector<size_t> at;
            for (size_t i = 0; i < f->glyphs.size(); ++i) at.push_back(s.LocalOffsetLater());
            for (size_t i = 0; i < f->glyphs.size(); ++i) {
                const FontGlyph& g = f->glyphs[i];
                s.SetLocalOffsetHere(at[i]);
                s.U16(g.character);
                for (int16_t v : {g.x, g.y, g.width, g.height, g.advance, g.offset, int16_t(0)}) s.I16(v);
            }
        });
    for (int c = 0; c < 256; ++c) s.U16(file.fontCharTable ? (*file.fontCharTable)[c] : uint16_t(c));
    return s;
}

Section WriteShaders(const std::vector<std::optional<Shader>>& shaders) {
    Section s;
    WriteTable(
        s, shaders, [](const std::optional<Shader>& h) { return h.has_value(); },
        [&](const std::optional<Shader>& h) {
            s.String(h->name);
            s.U32(h->version >= 0 ? h->kind | 0x80000000u : h->kind);
            for (const std::string& text : h->texts) s.OptionalString(text);
            s.U32(static_cast<uint32_t>(h->attributes.size()));
            for (const std::string& attribute : h->attributes) s.String(attribute);
            if (h->version < 0) return;
            s.I32(h->version);
            std::vector<size_t> at;
            if (h->version >= 1) {
                for (const std::vector<uint8_t>& blob : h->blobs) {
                    if (blob.empty()) {
                        s.U32(0);
                        at.push_back(SIZE_MAX);
                    } else {
                        at.push_back(s.LocalOffsetLater());
                    }
                    s.U32(static_cast<uint32_t>(blob.size()));
                }
            }
            if (h->version >= 2) s.Zeros(16);
            for (size_t i = 0; i < at.size(); ++i) {
                if (at[i] == SIZE_MAX) continue;
                s.SetLocalOffsetHere(at[i]);
                s.Raw(h->blobs[i].data(), h->blobs[i].size());
            }
            s.Align(4);
        });
    return s;
}

Section WritePageEntries(const std::vector<PageEntry>& entries) {
    Section s;
    s.U32(static_cast<uint32_t>(entries.size()));
    std::vector<size_t> at;
    for (size_t i = 0; i < entries.size(); ++i) at.push_back(s.LocalOffsetLater());
    for (size_t i = 0; i < entries.size(); ++i) {
        const PageEntry& e = entries[i];
        s.SetLocalOffsetHere(at[i]);
        for (int16_t v : {e.sourceX, e.sourceY, e.sourceW, e.sourceH, e.targetX, e.targetY, e.targetW,
                          e.targetH, e.boundW, e.boundH, e.texture})
            s.I16(v);
    }
    return s;
}

// Frame offsets point at entries of the "TPAG" section `pages` (count, offsets, 22-byte entries).
void WriteSpriteEntry(Section& s, const Sprite& sp, bool layerMode, int pages, size_t pageCount) {
    s.String(sp.name);
    for (int32_t v : {sp.width, sp.height, sp.boxLeft, sp.boxRight, sp.boxBottom, sp.boxTop}) s.I32(v);
    for (bool b : {sp.transparent, sp.smooth, sp.preload}) s.U32(b);
    s.I32(sp.boxMode);
    s.U32(sp.precise);
    s.I32(sp.originX);
    s.I32(sp.originY);
    auto frames = [&] {
        s.U32(static_cast<uint32_t>(sp.frames.size()));
        for (int32_t f : sp.frames) {
            if (f < 0 || static_cast<size_t>(f) >= pageCount)
                s.U32(0);
            else
                s.ForeignOffset(pages,
                                4 + 4 * static_cast<uint32_t>(pageCount) + 22 * static_cast<uint32_t>(f));
        }
    };
    auto masks = [&] {
        s.U32(static_cast<uint32_t>(sp.masks.size()));
        for (const auto& m : sp.masks) s.Raw(m.data(), m.size());
        s.Align(4);
    };
    if (!sp.extended) {
        frames();
        masks();
        return;
    }
    s.I32(-1);
    s.U32(0);
    s.I32(sp.kind);
    if (layerMode) s.F32(sp.playbackSpeed);
    if (sp.kind == 0) {
        if (layerMode) frames();
        masks();
        return;
    }
    s.U32(0);
    s.Raw(sp.kindData.data(), sp.kindData.size());
    s.Align(4);
}

Section WriteSprites(const std::vector<std::optional<Sprite>>& sprites, bool layerMode, int pages,
                     size_t pageCount) {
    Section s;
    WriteTable(
        s, sprites, [](const std::optional<Sprite>& sp) { return sp.has_value(); },
        [&](const std::optional<Sprite>& sp) { WriteSpriteEntry(s, *sp, layerMode, pages, pageCount); });
    return s;
}

void WriteBackgroundEntry(Section& s, const Background& b, bool layerMode, int pages, size_t pageCount) {
    s.String(b.name);
    for (bool flag : {b.transparent, b.smooth, b.preload}) s.U32(flag);
    if (b.pageEntry < 0 || static_cast<size_t>(b.pageEntry) >= pageCount)
        s.U32(0);
    else
        s.ForeignOffset(pages,
                        4 + 4 * static_cast<uint32_t>(pageCount) + 22 * static_cast<uint32_t>(b.pageEntry));
    if (!b.tileSet) {
        if (layerMode) s.U32(0);
        return;
    }
    const BackgroundTileSet& t = *b.tileSet;
    s.U32(t.version);
    for (int32_t v :
         {t.tileWidth, t.tileHeight, t.borderX, t.borderY, t.columns, t.framesPerTile, t.tileCount})
        s.I32(v);
    s.U32(0);
    s.U64(t.frameTime);
    for (uint32_t id : t.tileIds) s.U32(id);
}

Section WriteBackgrounds(const std::vector<std::optional<Background>>& backgrounds, bool layerMode, int pages,
                         size_t pageCount) {
    Section s;
    WriteTable(
        s, backgrounds, [](const std::optional<Background>& b) { return b.has_value(); },
        [&](const std::optional<Background>& b) {
            WriteBackgroundEntry(s, *b, layerMode, pages, pageCount);
        });
    return s;
}

Section WriteTextures(const std::vector<TexturePage>& pages) {
    Section s;
    s.U32(static_cast<uint32_t>(pages.size()));
    std::vector<size_t> entryAt, blobAt;
    for (size_t i = 0; i < pages.size(); ++i) entryAt.push_back(s.LocalOffsetLater());
    for (size_t i = 0; i < pages.size(); ++i) {
        s.SetLocalOffsetHere(entryAt[i]);
        s.U32(pages[i].flags);
        blobAt.push_back(s.LocalOffsetLater());
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        s.Align(16);
        s.SetLocalOffsetHere(blobAt[i]);
        s.Raw(pages[i].blob.data(), pages[i].blob.size());
    }
    s.Align(4);
    return s;
}

// Where each entry's bytecode block lies inside the CODE section.
struct CodeLayout {
    std::vector<uint32_t> blockAt;     // per entry: section offset of its block
    std::vector<uint32_t> blockBytes;  // per entry: size of its block
};

bool ResolveBlocks(const Code& code, std::vector<int32_t>& owner, std::string& error) {
    owner.resize(code.entries.size());
    for (size_t i = 0; i < code.entries.size(); ++i) {
        const int32_t shared = code.entries[i].sharedWith;
        if (shared < 0) {
            owner[i] = static_cast<int32_t>(i);
        } else if (static_cast<size_t>(shared) < i) {
            owner[i] = owner[shared];
        } else {
            error = "code entry " + code.entries[i].name + " shares the block of a later entry";
            return false;
        }
    }
    return true;
}

bool WriteCode(const Code& code, int format, Section& s, CodeLayout& layout, std::string& error) {
    if (code.empty) return true;
    std::vector<int32_t> owner;
    if (!ResolveBlocks(code, owner, error)) return false;
    const size_t n = code.entries.size();
    layout.blockAt.assign(n, 0);
    layout.blockBytes.assign(n, 0);
    s.U32(static_cast<uint32_t>(n));
    std::vector<size_t> entryAt;
    for (size_t i = 0; i < n; ++i) entryAt.push_back(s.LocalOffsetLater());
    if (format < 15) {
        for (size_t i = 0; i < n; ++i) {
            const CodeEntry& e = code.entries[owner[i]];
            s.SetLocalOffsetHere(entryAt[i]);
            s.String(code.entries[i].name);
            s.U32(static_cast<uint32_t>(e.words.size() * 4));
            layout.blockAt[i] = s.Size();
            layout.blockBytes[i] = static_cast<uint32_t>(e.words.size() * 4);
            for (uint32_t w : e.words) s.U32(w);
        }
        return true;
    }
    std::vector<uint32_t> relAt(n);
    for (size_t i = 0; i < n; ++i) {
        const CodeEntry& e = code.entries[i];
        s.SetLocalOffsetHere(entryAt[i]);
        s.String(e.name);
        s.U32(static_cast<uint32_t>(code.entries[owner[i]].words.size() * 4));
        s.U16(e.locals);
        s.U16(e.arguments);
        relAt[i] = s.Size();
        s.U32(0);
        s.U32(e.start);
    }
    for (size_t i = 0; i < n; ++i) {
        if (owner[i] != static_cast<int32_t>(i)) continue;
        layout.blockAt[i] = s.Size();
        layout.blockBytes[i] = static_cast<uint32_t>(code.entries[i].words.size() * 4);
        for (uint32_t w : code.entries[i].words) s.U32(w);
    }
    for (size_t i = 0; i < n; ++i) {
        layout.blockAt[i] = layout.blockAt[owner[i]];
        layout.blockBytes[i] = layout.blockBytes[owner[i]];
        s.SetU32(relAt[i], static_cast<uint32_t>(static_cast<int64_t>(layout.blockAt[i]) - relAt[i]));
    }
    return true;
}

// Section offsets of a name's sites in file order; each site's operand must lie in its block.
bool PlaceSites(const std::vector<CodeSite>& sites, const CodeLayout& layout, const std::string& name,
                std::vector<uint32_t>& placed, std::string& error) {
    placed.clear();
    for (const CodeSite& site : sites) {
        if (site.entry < 0 || static_cast<size_t>(site.entry) >= layout.blockAt.size() ||
            static_cast<uint64_t>(site.offset) + 8 > layout.blockBytes[site.entry]) {
            error = "a code site of " + name + " lies outside its bytecode";
            return false;
        }
        placed.push_back(layout.blockAt[site.entry] + site.offset);
    }
    std::sort(placed.begin(), placed.end());
    return true;
}

// Writes the occurrence chain into the operands: each operand's distance field points to the
// next site; `keepMask` is the part of the operand that the chain leaves alone.
void ChainSites(Section& code, const std::vector<uint32_t>& placed, uint32_t keepMask) {
    for (size_t k = 0; k < placed.size(); ++k) {
        const uint32_t at = placed[k] + 4;
        const uint32_t distance = k + 1 < placed.size() ? placed[k + 1] - placed[k] : 0;
        code.SetU32(at, (code.GetU32(at) & keepMask) | (distance & ~keepMask));
    }
}

bool WriteReferences(const Code& code, int format, int codeSection, Section& codeData,
                     const CodeLayout& layout, Section& vari, Section& func, std::string& error) {
    if (code.empty) return true;
    const bool newFormat = format >= 15;
    if (newFormat) {
        vari.I32(code.globalCount);
        vari.I32(code.instanceCount);
        vari.I32(code.localCount);
    }
    std::vector<uint32_t> placed;
    for (const Variable& v : code.variables) {
        if (!PlaceSites(v.sites, layout, v.name, placed, error)) return false;
        ChainSites(codeData, placed, newFormat ? 0xF0000000u : 0xE0000000u);
        vari.String(v.name);
        if (newFormat) {
            vari.I32(v.scope);
            vari.I32(v.index);
        }
        vari.U32(static_cast<uint32_t>(placed.size()));
        if (placed.empty())
            vari.U32(0);
        else
            vari.ForeignOffset(codeSection, placed.front());
    }
    if (newFormat) func.U32(static_cast<uint32_t>(code.functions.size()));
    for (const Function& fn : code.functions) {
        if (!PlaceSites(fn.sites, layout, fn.name, placed, error)) return false;
        ChainSites(codeData, placed, 0);
        func.String(fn.name);
        func.U32(static_cast<uint32_t>(placed.size()));
        if (placed.empty())
            func.U32(0);
        else
            func.ForeignOffset(codeSection, placed.front());
    }
    if (newFormat) {
        func.U32(static_cast<uint32_t>(code.locals.size()));
        for (const ScriptLocals& l : code.locals) {
            func.String(l.script);
            func.U32(static_cast<uint32_t>(l.names.size()));
            for (const auto& name : l.names) func.String(name);
        }
    }
    return true;
}

// The string pool: listed strings first, then every other referenced text in order of use.
Section WriteStrings(const std::vector<std::string>& order, std::map<std::string, uint32_t>& textAt) {
    Section s;
    s.U32(static_cast<uint32_t>(order.size()));
    std::vector<size_t> at;
    for (size_t i = 0; i < order.size(); ++i) at.push_back(s.LocalOffsetLater());
    for (size_t i = 0; i < order.size(); ++i) {
        s.SetLocalOffsetHere(at[i]);
        s.U32(static_cast<uint32_t>(order[i].size()));
        textAt[order[i]] = s.Size();
        s.Raw(order[i].data(), order[i].size());
        s.U8(0);
        s.Align(4);
    }
    return s;
}

// Places the chunks one after another behind the FORM header and resolves their fixups.
std::vector<uint8_t> Assemble(std::vector<Chunk>& chunks, const std::map<std::string, uint32_t>& textAt,
                              int stringChunk) {
    std::vector<uint32_t> dataAt(chunks.size());
    uint32_t pos = 8;
    for (size_t i = 0; i < chunks.size(); ++i) {
        dataAt[i] = pos + 8;
        pos = dataAt[i] + chunks[i].data.Size();
    }
    std::vector<uint8_t> out;
    out.reserve(pos);
    Section head;
    head.Raw("FORM", 4);
    head.U32(pos - 8);
    out = head.Bytes();
    for (size_t i = 0; i < chunks.size(); ++i) {
        Section& s = chunks[i].data;
        for (const Fixup& f : s.Fixups()) {
            uint32_t value = 0;
            if (f.kind == Fixup::Kind::Offset) {
                value = (f.section < 0 ? dataAt[i] : dataAt[f.section]) + f.target;
            } else if (!(f.kind == Fixup::Kind::OptionalString && f.text.empty())) {
                value = dataAt[stringChunk] + textAt.at(f.text);
            }
            s.SetU32(f.at, value);
        }
        Section header;
        header.Raw(chunks[i].tag.data(), 4);
        header.U32(s.Size());
        out.insert(out.end(), header.Bytes().begin(), header.Bytes().end());
        out.insert(out.end(), s.Bytes().begin(), s.Bytes().end());
    }
    return out;
}

void CollectStrings(const std::vector<Chunk>& chunks, std::vector<std::string>& order,
                    std::map<std::string, uint32_t>& seen) {
    for (const Chunk& c : chunks)
        for (const Fixup& f : c.data.Fixups()) {
            if (f.kind == Fixup::Kind::Offset) continue;
            if (f.kind == Fixup::Kind::OptionalString && f.text.empty()) continue;
            if (seen.emplace(f.text, 0).second) order.push_back(f.text);
        }
}

}  // namespace

int32_t StringIndex(const FormFile& file, const std::string& text) {
    for (size_t i = 0; i < file.strings.size(); ++i)
        if (file.strings[i] == text) return static_cast<int32_t>(i);
    return -1;
}

std::vector<uint8_t> Build(const FormFile& file, std::string* errorOut) {
    const int format = file.header.format;
    std::vector<Chunk> chunks;
    auto add = [&](const char* tag, Section s) {
        chunks.push_back(Chunk{tag, std::move(s)});
        return static_cast<int>(chunks.size() - 1);
    };
    add("GEN8", WriteHeader(file.header));
    if (file.options) add("OPTN", WriteOptions(*file.options));
    if (file.languages) add("LANG", WriteLanguages(*file.languages));
    if (file.extensions) add("EXTN", WriteExtensions(*file.extensions));
    if (file.sounds) add("SOND", WriteSounds(*file.sounds));
    if (file.audioGroups) add("AGRP", WriteAudioGroups(*file.audioGroups));
    // Frames point into "TPAG", which comes later: the entries are written once its place is known.
    const int spriteChunk = file.sprites ? add("SPRT", Section()) : -1;
    const int backgroundChunk = file.backgrounds ? add("BGND", Section()) : -1;
    if (file.paths) add("PATH", WritePaths(*file.paths));
    if (file.scripts) add("SCPT", WriteScripts(*file.scripts));
    if (file.globalInits) add("GLOB", WriteGlobals(*file.globalInits));
    if (file.shaders) add("SHDR", WriteShaders(*file.shaders));
    if (file.fonts) {
        // "TPAG" follows the chunks written between the two.
        const int pageSection = file.pageEntries
                                    ? static_cast<int>(chunks.size()) + 1 + bool(file.timeLines) +
                                          bool(file.objects) + bool(file.rooms)
                                    : -1;
        add("FONT", WriteFonts(file, pageSection));
    }
    if (file.timeLines) add("TMLN", WriteTimeLines(*file.timeLines));
    if (file.objects) add("OBJT", WriteObjects(*file.objects, format));
    if (file.rooms) add("ROOM", WriteRooms(*file.rooms, format));
    const int pageChunk = file.pageEntries ? add("TPAG", WritePageEntries(*file.pageEntries)) : -1;
    if (spriteChunk >= 0) {
        chunks[spriteChunk].data = WriteSprites(*file.sprites, file.header.major >= 2, pageChunk,
                                                file.pageEntries ? file.pageEntries->size() : 0);
    }
    if (backgroundChunk >= 0) {
        chunks[backgroundChunk].data = WriteBackgrounds(*file.backgrounds, file.header.major >= 2, pageChunk,
                                                        file.pageEntries ? file.pageEntries->size() : 0);
    }

    std::string error;
    int codeChunk = -1, funcChunk = -1;
    CodeLayout layout;
    Section vari;
    if (file.code) {
        Section code;
        if (!WriteCode(*file.code, format, code, layout, error)) {
            if (errorOut) *errorOut = error;
            return {};
        }
        codeChunk = add("CODE", std::move(code));
        funcChunk = add("FUNC", Section());
        if (!WriteReferences(*file.code, format, codeChunk, chunks[codeChunk].data, layout, vari,
                             chunks[funcChunk].data, error)) {
            if (errorOut) *errorOut = error;
            return {};
        }
    }
    if (file.textures) add("TXTR", WriteTextures(*file.textures));
    if (file.audio) add("AUDO", WriteAudio(*file.audio));

    std::vector<std::string> order = file.strings;
    std::map<std::string, uint32_t> seen;
    for (const auto& s : order) seen.emplace(s, 0);
    CollectStrings(chunks, order, seen);
    if (file.code) {
        std::vector<Chunk> one;
        one.push_back(Chunk{"VARI", vari});
        CollectStrings(one, order, seen);
    }
    std::map<std::string, uint32_t> textAt;
    const int stringChunk = add("STRG", WriteStrings(order, textAt));
    if (file.code) add("VARI", std::move(vari));
    return Assemble(chunks, textAt, stringChunk);
}

std::vector<uint8_t> BuildDebugInfo(const DebugInfo& info) {
    auto texts = [](const std::vector<std::string>& items) {
        Section s;
        s.U32(static_cast<uint32_t>(items.size()));
        std::vector<size_t> at;
        for (size_t i = 0; i < items.size(); ++i) at.push_back(s.LocalOffsetLater());
        for (size_t i = 0; i < items.size(); ++i) {
            s.U32(static_cast<uint32_t>(items[i].size()));
            s.SetLocalOffsetHere(at[i]);
            s.Raw(items[i].data(), items[i].size());
            s.U8(0);
            s.Align(4);
        }
        return s;
    };
    std::vector<Chunk> chunks;
    Section lines;
    lines.U32(static_cast<uint32_t>(info.lineTables.size()));
    std::vector<size_t> at;
    for (size_t i = 0; i < info.lineTables.size(); ++i) at.push_back(lines.LocalOffsetLater());
    for (size_t i = 0; i < info.lineTables.size(); ++i) {
        lines.SetLocalOffsetHere(at[i]);
        lines.U32(static_cast<uint32_t>(info.lineTables[i].size() * 2));
        for (const auto& [offset, position] : info.lineTables[i]) {
            lines.I32(offset);
            lines.I32(position);
        }
    }
    chunks.push_back(Chunk{"DBGI", std::move(lines)});
    chunks.push_back(Chunk{"SCPT", texts(info.sources)});
    chunks.push_back(Chunk{"INST", texts(info.instances)});
    return Assemble(chunks, {}, -1);
}

std::vector<uint8_t> BuildAudioGroupFile(const std::vector<std::optional<std::vector<uint8_t>>>& audio) {
    std::vector<Chunk> chunks;
    chunks.push_back(Chunk{"AUDO", WriteAudio(audio)});
    return Assemble(chunks, {}, -1);
}

}  // namespace formpack
