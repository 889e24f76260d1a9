#include "formpack/SpriteKinds.h"

#include <cstring>

namespace formpack {

namespace {

struct Words {
    std::vector<uint8_t> bytes;
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (i * 8)));
    }
    void I32(int32_t v) { U32(uint32_t(v)); }
    void F32(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        U32(v);
    }
    void Colour(uint32_t argb) {
        // Bytes red, green, blue, alpha.
        bytes.insert(bytes.end(),
                     {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)});
    }
    void Raw(const std::vector<uint8_t>& b) { bytes.insert(bytes.end(), b.begin(), b.end()); }
    void Pad() {
        while (bytes.size() % 4) bytes.push_back(0);
    }
    void Matrix(const std::array<float, 6>& m) {
        for (float f : m) F32(f);
    }
};

void FillStyle(Words& w, const VectorFillStyle& f) {
    w.I32(f.kind);
    if (f.kind == 1) {
        w.Colour(f.colour);
    } else if (f.kind == 2) {
        w.I32(f.gradientKind);
        w.Matrix(f.matrix);
        for (int i = 0; i < 3; ++i) w.U32(0);
        w.U32(uint32_t(f.stops.size()));
        for (const auto& [ratio, colour] : f.stops) {
            w.I32(ratio);
            w.Colour(colour);
        }
    } else if (f.kind == 3) {
        w.I32(f.bitmapMode);
        w.I32(f.bitmapId);
        w.Matrix(f.matrix);
        for (int i = 0; i < 3; ++i) w.U32(0);
    }
}

void Part(Words& w, const VectorPart& p, int32_t version) {
    w.I32(0);
    w.I32(p.fillStyle);
    w.I32(p.lineStyle);
    w.U32(uint32_t(p.fillVertices.size() / 2));
    w.U32(0);  // pairs
    w.U32(uint32_t(p.fillTriangles.size() / 3));
    w.U32(uint32_t(p.lineVertices.size() / 2));
    w.U32(uint32_t(p.lineTriangles.size() / 3));
    if (version >= 5) {
        w.U32(uint32_t(p.fillEdges.size() / 2));
        w.U32(uint32_t(p.fillNormals.size() / 2));
    }
    if (version >= 6) {
        w.U32(uint32_t(p.lineEdges.size() / 2));
        w.U32(uint32_t(p.lineNormals.size() / 2));
    }
    auto floats = [&](const std::vector<float>& v) {
        for (float f : v) w.F32(f);
    };
    auto shorts = [&](const std::vector<int16_t>& v) {
        for (int16_t s : v) w.I32(s);
    };
    floats(p.fillVertices);
    shorts(p.fillTriangles);
    floats(p.lineVertices);
    shorts(p.lineTriangles);
    if (version >= 5) {
        shorts(p.fillEdges);
        floats(p.fillNormals);
    }
    if (version >= 6) {
        shorts(p.lineEdges);
        floats(p.lineNormals);
    }
}

void Scramble(std::vector<uint8_t>& out, const std::string& text, uint8_t seed) {
    uint8_t key = seed;
    for (char c : text) {
        out.push_back(uint8_t(uint8_t(c) + key));
        key = uint8_t(key * (key + 1));
    }
}

}  // namespace

std::vector<uint8_t> BuildVectorData(const VectorData& d) {
    Words w;
    const auto tables = uint32_t(d.jpegTables.size());
    if (d.version == 4) {
        w.U32(tables);
    } else {
        w.U32(tables | 0x80000000u);
        w.I32(d.version);
    }
    w.Raw(d.jpegTables);
    w.Pad();
    w.U32(uint32_t(d.shapes.size()));
    for (const VectorShape& s : d.shapes) {
        w.I32(s.kind);
        w.I32(s.id);
        if (s.kind == 1) {
            for (int i = 0; i < 4; ++i) w.U32(0);
            w.U32(uint32_t(s.subShapes.size()));
            for (const VectorSubShape& sub : s.subShapes) {
                w.U32(uint32_t(sub.fills.size()));
                w.U32(uint32_t(sub.lineColours.size()));
                w.U32(uint32_t(sub.parts.size()));
                for (const VectorFillStyle& f : sub.fills) FillStyle(w, f);
                for (uint32_t c : sub.lineColours) w.Colour(c);
                for (const VectorPart& p : sub.parts) Part(w, p, d.version);
            }
        } else if (s.kind == 2) {
            for (int32_t v : {s.format, s.width, s.height}) w.I32(v);
            for (const auto* b : {&s.data, &s.alpha, &s.palette}) w.U32(uint32_t(b->size()));
            w.Raw(s.data);
            w.Raw(s.alpha);
            w.Raw(s.palette);
            w.Pad();
        }
    }
    w.U32(0);
    w.U32(uint32_t(d.frames.size()));
    for (float f : d.bounds) w.F32(f);
    w.U32(uint32_t(d.masks.size()));
    w.I32(d.maskWidth);
    w.I32(d.maskHeight);
    for (const VectorFrame& frame : d.frames) {
        w.U32(uint32_t(frame.items.size()));
        for (float f : frame.bounds) w.F32(f);
        for (const VectorItem& item : frame.items) {
            for (int32_t v : {item.kind, item.shape, item.depth, item.clipDepth}) w.I32(v);
            for (int32_t v : item.multiply) w.I32(v);
            for (int32_t v : item.add) w.I32(v);
            for (float f : item.bounds) w.F32(f);
            w.Matrix(item.matrix);
            for (int i = 0; i < 3; ++i) w.U32(0);
        }
    }
    for (const std::vector<uint8_t>& m : d.masks) {
        w.U32(uint32_t(m.size()));
        w.Raw(m);
        w.Pad();
    }
    return w.bytes;
}

std::vector<uint8_t> BuildSkeletonBlock(const std::string& json, const std::string& atlas,
                                        const std::vector<uint8_t>& png, uint32_t width, uint32_t height) {
    Words w;
    w.U32(uint32_t(json.size()));
    w.U32(uint32_t(atlas.size()));
    w.U32(uint32_t(png.size()));
    w.U32(width);
    w.U32(height);
    Scramble(w.bytes, json, kSkeletonJsonSeed);
    Scramble(w.bytes, atlas, kSkeletonAtlasSeed);
    w.Raw(png);
    w.Pad();
    return w.bytes;
}

}  // namespace formpack
