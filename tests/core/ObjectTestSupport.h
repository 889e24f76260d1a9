// A small game world for the object and variable tests: objects with parents and instance
// lists, a current room's active list, the frame loop's pending lists and sprites, installed
// as the instance-world hooks for the lifetime of the fixture.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/Instance.h"
#include "core/InstanceWorld.h"
#include "core/Variable.h"

struct FakeObject {
    int32_t index = 0;
    int32_t parent = -1;
    std::string name;
    ObjectDefaults defaults{-1, -1, 0.0f, 0, false};
    std::vector<CInstance*> instances;  // this object's own instances
};

class FakeWorld {
public:
    FakeWorld() {
        s_current = this;
        InstanceWorldHooks hooks{};
        hooks.findObject = [](int32_t index) -> CObjectHV* {
            s_current->lookups.push_back(index);
            return AsHandle(s_current->Find(index));
        };
        hooks.objectDefaults = [](const CObjectHV* object, ObjectDefaults* out) {
            *out = Of(object)->defaults;
        };
        hooks.objectName = [](int32_t index) -> const char* {
            FakeObject* object = s_current->Find(index);
            return object ? object->name.c_str() : nullptr;
        };
        hooks.objectInherits = [](int32_t index, int32_t ancestor) {
            return s_current->Inherits(index, ancestor);
        };
        hooks.addInstance = [](CObjectHV* object, CInstance* instance) {
            Of(object)->instances.push_back(instance);
        };
        hooks.removeInstance = [](CObjectHV* object, CInstance* instance) {
            auto& list = Of(object)->instances;
            list.erase(std::remove(list.begin(), list.end(), instance), list.end());
        };
        hooks.forEachObjectInstance = [](int32_t index, InstanceVisitor visit, void* context) {
            for (auto& [i, object] : s_current->objects) {
                if (!s_current->Inherits(i, index)) continue;
                for (CInstance* instance : std::vector<CInstance*>(object.instances))
                    if (!visit(instance, context)) return;
            }
        };
        hooks.activeList = []() { return s_current->roomCurrent ? &s_current->active : nullptr; };
        hooks.forEachPending = [](PendingList which, InstanceVisitor visit, void* context) {
            auto& list =
                which == PENDING_OBJECT_CHANGE ? s_current->pendingChange : s_current->pendingActivation;
            for (CInstance* instance : list)
                if (!visit(instance, context)) return;
        };
        hooks.queueObjectChange = [](CInstance* instance) { s_current->queuedChanges.push_back(instance); };
        hooks.spriteInfo = [](int32_t sprite, SpriteInfo* out) {
            auto it = s_current->sprites.find(sprite);
            if (it == s_current->sprites.end()) return false;
            *out = it->second;
            return true;
        };
        InstanceWorld_Install(&hooks);
    }
    ~FakeWorld() {
        InstanceWorld_Install(nullptr);
        s_current = nullptr;
    }
    FakeWorld(const FakeWorld&) = delete;
    FakeWorld& operator=(const FakeWorld&) = delete;

    FakeObject& AddObject(int32_t index, const char* name, int32_t parent = -1) {
        FakeObject& object = objects[index];
        object.index = index;
        object.name = name;
        object.parent = parent;
        return object;
    }
    FakeObject* Find(int32_t index) {
        auto it = objects.find(index);
        return it == objects.end() ? nullptr : &it->second;
    }
    bool Inherits(int32_t index, int32_t ancestor) {
        for (int32_t guard = 0; index >= 0 && guard < 100; ++guard) {
            if (index == ancestor) return true;
            FakeObject* object = Find(index);
            index = object ? object->parent : -1;
        }
        return false;
    }
    static CObjectHV* AsHandle(FakeObject* object) { return reinterpret_cast<CObjectHV*>(object); }
    static FakeObject* Of(const CObjectHV* object) {
        return reinterpret_cast<FakeObject*>(const_cast<CObjectHV*>(object));
    }

    std::map<int32_t, FakeObject> objects;
    InstanceList active;
    bool roomCurrent = true;
    std::vector<CInstance*> pendingChange, pendingActivation, queuedChanges;
    std::map<int32_t, SpriteInfo> sprites;
    std::vector<int32_t> lookups;

private:
    static inline FakeWorld* s_current = nullptr;
};

// Settings of a loaded game for the duration of a test, restored afterwards.
class GameSettingsScope {
public:
    explicit GameSettingsScope(int32_t instanceSlots, bool objectMode = false) : m_saved(g_VariableSettings) {
        g_VariableSettings.instanceSlotCount = instanceSlots;
        g_VariableSettings.objectMode = objectMode;
    }
    ~GameSettingsScope() { g_VariableSettings = m_saved; }
    GameSettingsScope(const GameSettingsScope&) = delete;
    GameSettingsScope& operator=(const GameSettingsScope&) = delete;

private:
    VariableSettings m_saved;
};

// Collects what the consoles print while it lives.
class ConsoleCapture {
public:
    ConsoleCapture() {
        Text().clear();
        Console_SetDebuggerSink([](const char* text) { Text() += text; });
    }
    ~ConsoleCapture() { Console_SetDebuggerSink(nullptr); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    static std::string& Text() {
        static std::string text;
        return text;
    }
    int Count(const std::string& needle) const {
        int n = 0;
        for (size_t at = Text().find(needle); at != std::string::npos; at = Text().find(needle, at + 1)) ++n;
        return n;
    }
};
