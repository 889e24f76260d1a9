// Bytes read as a run of physics built-in calls on a small room: fixtures defined, shaped,
// bound and removed, bodies pushed and re-massed, joints made, changed and deleted, bodies
// dropped and the world stepped. Whatever the bytes, nothing may end the process: values the
// library cannot take are caught in front of it. Shared by the bounded test and the fuzz target.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "PhysicsRowNames.h"
#include "core/Code_Function.h"
#include "core/Instance.h"
#include "core/Value.h"
#include "physics/Physics_Fixture.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_World.h"
#include "world/Room_Class.h"
#include "world/Run.h"

namespace physicsfuzz {

constexpr int32_t kNameCount = static_cast<int32_t>(sizeof kNames / sizeof kNames[0]);

struct Row {
    BuiltinProc proc;
    int32_t argc;
};

// The rows by name; empty when the physics built-ins are not registered.
inline std::vector<Row> FindRows() {
    std::vector<Row> rows;
    for (const char* name : kNames)
        for (int32_t i = 0; i < Code_Function_Count(); ++i)
            if (std::strcmp(Code_Function_Row(i)->name, name) == 0) {
                rows.push_back({Code_Function_Row(i)->function, Code_Function_Row(i)->argc});
                break;
            }
    return rows;
}

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool More() const { return m_at < m_size; }
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    float RawFloat() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | Byte();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// What the calls so far made: fixture definitions and joints, and the instances' ids.
struct Made {
    std::vector<double> fixtures, joints, recent;
    std::vector<double> instanceIds;
};

// Row indices of kNames by family.
constexpr int32_t kFirstFixtureRow = 7, kLastFixtureRow = 24;  // those taking a fixture id first
constexpr int32_t kFirstJointCreateRow = 41, kGearRow = 47, kLastJointCreateRow = 49;
constexpr int32_t kFirstJointRow = 50, kLastJointRow = 53;  // enable, get, set, delete

// Any number: small integers, earlier results, extremes, room-sized values, any bit pattern.
inline double Number(Reader& in, const Made& made) {
    static const double kExtremes[] = {0.0,
                                       -0.0,
                                       1.0,
                                       -1.0,
                                       0.5,
                                       1e-7,
                                       1e-30,
                                       1e8,
                                       1e9,
                                       1e30,
                                       -1e30,
                                       3.4e38,
                                       1e300,
                                       std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::infinity(),
                                       -std::numeric_limits<double>::infinity()};
    const uint8_t kind = in.Byte();
    const uint8_t v = in.Byte();
    switch (kind % 8) {
        case 0:
            return static_cast<int32_t>(v % 8) - 3;
        case 1:
            return made.recent.empty() ? 0.0 : made.recent[v % made.recent.size()];
        case 2:
            return kExtremes[v % (sizeof kExtremes / sizeof kExtremes[0])];
        case 3:
            return in.RawFloat();
        case 4:
        case 5:
            return (static_cast<int32_t>(v) - 128) * 2.0 + in.Byte() / 256.0;  // room-sized values
        case 6:
            return (static_cast<int32_t>(v) - 128) * 1000.0;
        default:
            return v % 5;
    }
}

inline double Pick(Reader& in, const std::vector<double>& from, const Made& made) {
    const uint8_t v = in.Byte();
    if (from.empty() || v % 8 == 0) return Number(in, made);  // now and then anything
    return from[(v >> 3) % from.size()];
}

// An instance as targets and joints name one: the caller, the other, all, an id or an object.
inline double Target(Reader& in, const Made& made) {
    const uint8_t v = in.Byte();
    switch (v % 6) {
        case 0:
            return -1;
        case 1:
            return -2;
        case 2:
            return -3;
        case 3:
            return (v >> 3) % 5;  // an object index
        case 4:
            return Number(in, made);
        default:
            return made.instanceIds[(v >> 3) % made.instanceIds.size()];
    }
}

inline double Argument(Reader& in, const Made& made, int32_t row, int32_t n) {
    if (n == 0 && row >= kFirstFixtureRow && row <= kLastFixtureRow) return Pick(in, made.fixtures, made);
    if ((row == 22 || row == 23) && n == 1) return Target(in, made);  // fixture bind targets
    if ((row == 33 && n == 3) || (row == 34 && n == 0)) return Target(in, made);
    if (row >= kFirstJointCreateRow && row <= kLastJointCreateRow && n < 2) return Target(in, made);
    if (row == kGearRow && (n == 2 || n == 3)) return Pick(in, made.joints, made);
    if (row >= kFirstJointRow && row <= kLastJointRow && n == 0) return Pick(in, made.joints, made);
    if ((row == 51 || row == 52) && n == 1) return in.Byte() % 27;  // value codes and two beyond
    return Number(in, made);
}

// Runs the calls the bytes describe in the current room, whose instances are given: each
// first gets a body of its own, then the bytes choose built-ins and their arguments, frames of
// the world and instances losing their bodies.
inline void Run(const uint8_t* data, size_t size, const std::vector<Row>& rows,
                const std::vector<CInstance*>& instances) {
    Reader in(data, size);
    Made made;
    for (CInstance* instance : instances) made.instanceIds.push_back(instance->id);
    const int32_t count = static_cast<int32_t>(instances.size());
    const auto call = [&](int32_t row, CInstance* self, CInstance* other, std::vector<double> values) {
        std::vector<RValue> args;
        for (double v : values) args.push_back(RValue_Real(v));
        RValue result = RValue_Real(-1.0);
        rows[row].proc(result, self, other, static_cast<int32_t>(args.size()), args.data());
        return RValue_IsReal(result) ? result.val : -1.0;
    };
    for (int32_t i = 0; i < count; ++i) {
        const double fixture = call(6, nullptr, nullptr, {});
        const uint8_t shape = in.Byte();
        if (shape & 1)
            call(17, nullptr, nullptr, {fixture, 4.0 + shape % 16, 4.0 + shape / 16});
        else
            call(16, nullptr, nullptr, {fixture, 2.0 + shape % 16});
        call(9, nullptr, nullptr, {fixture, (shape & 6) ? 1.0 : 0.0});
        call(22, nullptr, nullptr, {fixture, made.instanceIds[i]});
        made.fixtures.push_back(fixture);
    }
    std::vector<double> values;
    for (int32_t calls = 0; in.More() && calls < 200; ++calls) {
        const uint8_t op = in.Byte();
        const int32_t which = op % (static_cast<int32_t>(rows.size()) + 2);
        if (which == static_cast<int32_t>(rows.size())) {  // a frame of the world
            CRoom* room = Run_Room();
            if (room != nullptr && room->physicsWorld != nullptr)
                room->physicsWorld->Step(1 + in.Byte() % 90, (in.Byte() & 1) != 0);
            continue;
        }
        if (which == static_cast<int32_t>(rows.size()) + 1) {  // an instance loses its body
            CInstance* instance = instances[in.Byte() % count];
            delete instance->physicsBody;
            instance->physicsBody = nullptr;
            continue;
        }
        CInstance* self = instances[in.Byte() % count];
        CInstance* other = instances[in.Byte() % count];
        values.clear();
        for (int32_t n = 0; n < rows[which].argc; ++n) values.push_back(Argument(in, made, which, n));
        const double result = call(which, self, other, values);
        if (!std::isfinite(result)) continue;
        if (which == 6) made.fixtures.push_back(result);
        if (which >= kFirstJointCreateRow && which <= kLastJointCreateRow && result > 0)
            made.joints.push_back(result);
        made.recent.push_back(result);
        if (made.recent.size() > 16) made.recent.erase(made.recent.begin());
    }
    // The solver gets to see whatever was built.
    for (int32_t frame = 0; frame < 3; ++frame) {
        CRoom* room = Run_Room();
        if (room != nullptr && room->physicsWorld != nullptr) room->physicsWorld->Step(30, false);
    }
}

}  // namespace physicsfuzz
