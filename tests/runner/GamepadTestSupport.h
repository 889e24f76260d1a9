// The pad layer's test bench: a fake device layer with scripted controllers and joysticks, the
// system events recorded as they are delivered, and the gamepad built-ins called by name.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/Code_Function.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/Value.h"
#include "data/Function_Data_Structures.h"
#include "data/Support_Data_Structures.h"
#include "io/HTTP_Main.h"
#include "platform/GamepadM.h"
#include "world/Function_Gamepad.h"
#include "base/GEN8.h"
#include "world/Gamepad_Class.h"

namespace gamepad_test {

struct PadEvent {
    int32_t subtype;
    std::string type;
    double index;
};

struct FakeDevices {
    bool controllers = true;
    bool joysticks = true;
    bool plugged[PAD_CONTROLLERS] = {};
    PadControllerState state[PAD_CONTROLLERS];
    uint16_t vibration[PAD_CONTROLLERS][2] = {};
    std::vector<PadJoystickInfo> attached;
    std::map<uint64_t, PadJoystickState> sticks;
    std::vector<uint64_t> released;

    void Attach(uint64_t key, const char* product) {
        PadJoystickInfo info;
        info.key = key;
        std::snprintf(info.productName, sizeof info.productName, "%s", product);
        attached.push_back(info);
        sticks[key] = PadJoystickState{};
    }
    void Detach(uint64_t key) {
        for (size_t i = 0; i < attached.size(); ++i)
            if (attached[i].key == key) attached.erase(attached.begin() + static_cast<std::ptrdiff_t>(i));
        sticks.erase(key);
    }
};

inline FakeDevices& Fake() {
    static FakeDevices devices;
    return devices;
}

inline const GamepadDeviceLayer* FakeLayer() {
    static const GamepadDeviceLayer layer = {
        [] { return Fake().controllers; },
        [](int32_t n, PadControllerState* out) {
            if (!Fake().plugged[n]) return false;
            *out = Fake().state[n];
            return true;
        },
        [](int32_t) { return 1; },
        [](int32_t n, uint16_t l, uint16_t r) {
            Fake().vibration[n][0] = l;
            Fake().vibration[n][1] = r;
        },
        [] { return Fake().joysticks; },
        [](PadJoystickInfo* out, int32_t max) {
            int32_t n = 0;
            for (const PadJoystickInfo& info : Fake().attached)
                if (n < max) out[n++] = info;
            return n;
        },
        [](uint64_t key, PadJoystickState* out) {
            auto it = Fake().sticks.find(key);
            if (it == Fake().sticks.end()) return false;
            *out = it->second;
            return true;
        },
        [](uint64_t key) { Fake().released.push_back(key); },
        [] {},
    };
    return &layer;
}

inline std::vector<PadEvent>& Events() {
    static std::vector<PadEvent> events;
    return events;
}

inline std::vector<std::string>& Errors() {
    static std::vector<std::string> errors;
    return errors;
}

inline void RecordEvent(int32_t subtype) {
    PadEvent event{subtype, "", -2};
    if (CDS_Map* map = DS_GetMap(Async_GetLoadMap())) {
        for (DSMapNode* node = map->FirstNode(); node != nullptr; node = map->NextNode(node)) {
            const std::string key = RValue_GetStringText(&node->entry.key);
            if (key == "event_type") event.type = RValue_GetStringText(&node->entry.value);
            if (key == "pad_index") event.index = node->entry.value.val;
        }
    }
    Events().push_back(event);
}

// The events queued so far, delivered as the asynchronous stage delivers them.
inline std::vector<PadEvent> Deliver() {
    Events().clear();
    Async_ProcessRequests();
    return Events();
}

class GamepadTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fake() = FakeDevices{};
        Errors().clear();
        g_Switches.noDirectInput = false;
        g_GameHeader.optionFlags = ~0ull;
        Async_SetEventPerformer(RecordEvent);
        m_previousReporter = Runtime_SetNonFatalReporter([](const char* m) { Errors().push_back(m); });
        Gamepad_SetDeviceLayer(FakeLayer());
        int32_t id = -1;
        if (!Code_Function_Find("gamepad_is_supported", &id)) InitGamepadFunctions();
        Gamepad_InitXInput();
    }
    void TearDown() override {
        Gamepad_Shutdown();
        Gamepad_SetDeviceLayer(nullptr);
        Async_FreeAll();
        Async_SetEventPerformer(nullptr);
        Runtime_SetNonFatalReporter(m_previousReporter);
    }

    static RValue Call(const char* name, std::vector<double> args) {
        int32_t id = -1;
        EXPECT_TRUE(Code_Function_Find(name, &id)) << name;
        const BuiltinFunction* row = Code_Function_Row(id);
        RValue result = RValue_Undefined();
        if (row == nullptr) return result;
        std::vector<RValue> values;
        for (double d : args) values.push_back(RValue_Real(d));
        row->function(result, nullptr, nullptr, static_cast<int32_t>(values.size()), values.data());
        return result;
    }
    static double Real(const char* name, std::vector<double> args) {
        RValue r = Call(name, std::move(args));
        EXPECT_EQ(r.kind, VALUE_REAL) << name;
        return r.val;
    }
    static std::string Text(const char* name, std::vector<double> args) {
        RValue r = Call(name, std::move(args));
        std::string text = RValue_GetStringText(&r);
        RValue_Free(&r);
        return text;
    }

private:
    RuntimeErrorReporter m_previousReporter = nullptr;
};

}  // namespace gamepad_test
