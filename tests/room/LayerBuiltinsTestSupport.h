// Shared by the layer built-in tests: a current room made by hand beside two room definitions,
// one tile set loaded from a formpack file, the built-ins called by name as game code calls them,
// and the console and error text each call printed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "assets/Background_Main.h"
#include "core/Code_Function.h"
#include "core/Console.h"
#include "core/Instance.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "formpack/FormWriter.h"
#include "room/Function_Layer.h"
#include "room/Layer_Manager.h"
#include "base/Error_Report.h"
#include "base/GEN8.h"
#include "base/GameFile.h"
#include "base/GameOptions.h"
#include "world/Room_Main.h"
#include "world/Run.h"

namespace layer_test {

// Background 0 is a 16 x 8 tile set of 10 tiles; background 1 is a plain background.
constexpr int32_t kTileSet = 0;
constexpr int32_t kPlainBackground = 1;
constexpr int32_t kTileWidth = 16, kTileHeight = 8, kTileCount = 10;
constexpr int32_t kTargetRoom = 1;  // the definition that the target-room cases act on

inline std::string& Printed() {
    static std::string text;
    return text;
}

// What an Error_Show of this text prints.
inline std::string Shown(const std::string& text) {
    return "ERROR!!! :: " + text + "\n";
}

struct Array {
    std::vector<double> items;
};
struct Text {
    std::string text;
};
struct NoResult {};
using Expected = std::variant<double, Array, Text, NoResult>;

inline RValue R(double d) {
    return RValue_Real(d);
}
inline RValue S(const char* text) {
    RValue v = RValue_Undefined();
    RValue_CreateString(&v, text);
    return v;
}

inline std::vector<double> ArrayItems(const RValue& value) {
    std::vector<double> out;
    if (value.kind != VALUE_ARRAY || value.arr == nullptr || value.arr->rowCount < 1) return out;
    const ArrayRow& row = value.arr->rows[0];
    for (int32_t i = 0; i < row.length; ++i) out.push_back(row.items[i].val);
    return out;
}

// Compares a result with what a case expects; an empty string when they agree.
inline std::string Mismatch(const RValue& result, const Expected& expected) {
    if (const double* d = std::get_if<double>(&expected)) {
        if (result.kind != VALUE_REAL) return "kind " + std::to_string(result.kind) + ", expected a real";
        if (result.val != *d)
            return "result " + std::to_string(result.val) + ", expected " + std::to_string(*d);
    } else if (const Array* a = std::get_if<Array>(&expected)) {
        if (result.kind != VALUE_ARRAY) return "kind " + std::to_string(result.kind) + ", expected an array";
        if (ArrayItems(result) != a->items) return "array items differ";
    } else if (const Text* t = std::get_if<Text>(&expected)) {
        if (result.kind != VALUE_STRING) return "kind " + std::to_string(result.kind) + ", expected a string";
        const char* text = RValue_GetStringText(&result);
        if (t->text != (text ? text : "")) return std::string("text \"") + (text ? text : "") + "\"";
    } else if (result.kind != VALUE_UNDEFINED) {
        return "a result was set";
    }
    return "";
}

// Calls the row of that name with these arguments (released afterwards); the result is
// the caller's to release. What the call printed is in Printed().
inline RValue Call(const char* name, std::vector<RValue> args, CInstance* self = nullptr) {
    Printed().clear();
    RValue result = RValue_Undefined();
    int32_t id = -1;
    const BuiltinFunction* row = Code_Function_Find(name, &id) ? Code_Function_Row(id) : nullptr;
    EXPECT_NE(row, nullptr) << name;
    if (row != nullptr) {
        Builtin_Current = row;
        row->function(result, self, self, static_cast<int32_t>(args.size()), args.data());
        Builtin_Current = nullptr;
    }
    for (RValue& a : args) RValue_Release(&a);
    return result;
}
inline double Real(const char* name, std::vector<RValue> args, CInstance* self = nullptr) {
    RValue result = Call(name, std::move(args), self);
    EXPECT_EQ(result.kind, VALUE_REAL) << name;
    const double value = result.kind == VALUE_REAL ? result.val : -12345.0;
    RValue_Release(&result);
    return value;
}

class LayerBuiltinsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_Switches.headless = true;
        g_GameOptions.errorsFatal = false;
        Error_ClearFatalMark();
        Console_SetDebuggerSink([](const char* text) { Printed() += text; });
        int32_t id = -1;
        if (!Code_Function_Find("layer_get_id", &id)) InitLayerFunctions();
        LoadTileSets();
        Room_Init();
        Room_Add();
        Room_Add();
        m_room = new CRoom();
        Run_SetCurrentRoom(m_room);
        LayerTargetRoom = -1;
        TileGlobalMask = kTileDefaultMask;
        LayerDepthForced = false;
        LayerForcedDepth = 0;
        Printed().clear();
    }

    void TearDown() override {
        LayerTargetRoom = -1;
        TileGlobalMask = kTileDefaultMask;
        LayerDepthForced = false;
        LayerForcedDepth = 0;
        Room_FreeLayers(m_room);
        Run_SetCurrentRoom(nullptr);
        delete m_room;
        for (int32_t i = 0; i < Room_Count(); ++i) Room_FreeLayers(Room_Get(i));
        Room_FreeAll();
        Instance_FreeAll();
        Form_Free();
        Form_ResetChunkReaders();
        Console_SetDebuggerSink(nullptr);
        Error_ClearFatalMark();
        g_GameHeader.layerModel = false;
        g_Switches.headless = false;
    }

    static void LoadTileSets() {
        formpack::FormFile file;
        file.header.major = 2;
        formpack::BackgroundTileSet set;
        set.tileWidth = kTileWidth;
        set.tileHeight = kTileHeight;
        set.columns = 5;
        set.tileCount = kTileCount;
        for (int32_t i = 0; i < kTileCount; ++i) set.tileIds.push_back(static_cast<uint32_t>(i));
        formpack::Background tiles;
        tiles.name = "ts_ground";
        tiles.tileSet = set;
        formpack::Background plain;
        plain.name = "bg_plain";
        file.backgrounds = std::vector<std::optional<formpack::Background>>{tiles, plain};
        std::string error;
        const std::vector<uint8_t> bytes = formpack::Build(file, &error);
        ASSERT_TRUE(error.empty()) << error;
        Form_Free();
        Form_ResetChunkReaders();
        Background_InstallHooks();
        ASSERT_TRUE(Form_SetData(bytes.data(), static_cast<uint32_t>(bytes.size())));
        ASSERT_TRUE(Form_FirstPass(Form_Base(), Form_Size())) << Form_LoadError();
        ASSERT_TRUE(LoadGameData(Form_Base(), Form_Size())) << Form_LoadError();
        g_GameHeader.layerModel = true;
    }

    // One call of the table: the result and the exact text printed.
    using Arg = std::variant<double, const char*>;
    struct Case {
        const char* name;
        std::vector<Arg> args;
        Expected expected;
        std::string printed;
    };
    static void RunCases(const std::vector<Case>& cases, const char* where) {
        for (const Case& c : cases) {
            std::vector<RValue> args;
            for (const Arg& a : c.args)
                args.push_back(std::holds_alternative<double>(a) ? R(std::get<double>(a))
                                                                 : S(std::get<const char*>(a)));
            RValue result = Call(c.name, std::move(args));
            EXPECT_EQ(Mismatch(result, c.expected), "") << where << ": " << c.name;
            EXPECT_EQ(Printed(), c.printed) << where << ": " << c.name;
            RValue_Release(&result);
        }
    }

    // An instance of the current room, on no layer.
    CInstance* MakeInstance(float depth = 0.0f) { return m_room->CreateInstanceDepth(0.0f, 0.0f, depth, -1); }

    CRoom* m_room = nullptr;
};

}  // namespace layer_test
