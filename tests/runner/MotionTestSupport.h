// Shared by the motion, collision and command tests: a room made by hand as the current room,
// objects added at run time, and a sprite table of plain rectangles behind the sprite seam.
#pragma once

#include <map>

#include "GameLoopTestSupport.h"
#include "world/Collision_Main.h"
#include "base/GameOptions.h"
#include "world/World_Services.h"

namespace motion_test {

inline std::map<int32_t, SpriteCollisionShape>& Sprites() {
    static std::map<int32_t, SpriteCollisionShape> sprites;
    return sprites;
}

inline bool SpriteMaskOf(int32_t sprite, SpriteCollisionShape* out) {
    auto it = Sprites().find(sprite);
    if (it == Sprites().end()) return false;
    *out = it->second;
    return true;
}

inline bool SpriteInfoOf(int32_t sprite, SpriteInfo* out) {
    SpriteCollisionShape m;
    if (!SpriteMaskOf(sprite, &m)) return false;
    *out = SpriteInfo{m.frames, false, 0.0};
    return true;
}

// A w x h sprite whose mask fills it, with its origin.
inline SpriteCollisionShape Rect(int32_t w, int32_t h, int32_t xo = 0, int32_t yo = 0) {
    return SpriteCollisionShape{0, 0, w - 1, h - 1, xo, yo, w, h, 1, false};
}

class WorldTest : public gameloop_test::GameLoopTest {
protected:
    void SetUp() override {
        GameLoopTest::SetUp();
        Sprites().clear();
        g_GameOptions.collisionTreeMode = false;
        Room_SetLastInstanceID(100000);  // instance ids start where a game's would
        WorldServices services;
        services.spriteMask = SpriteMaskOf;
        World_InstallServices(nullptr);
        World_InstallServices(&services);
        InstanceWorldHooks hooks = InstanceWorld();
        hooks.spriteInfo = SpriteInfoOf;
        InstanceWorld_Install(&hooks);
    }

    void TearDown() override {
        DropRoom();
        World_InstallServices(nullptr);
        g_GameOptions.collisionTreeMode = false;
        GameLoopTest::TearDown();
    }

    // A current room of the given size; tree mode is chosen before any instance exists.
    CRoom* MakeRoom(bool treeMode, int32_t width = 640, int32_t height = 480) {
        DropRoom();
        g_GameOptions.collisionTreeMode = treeMode;
        Collision_Reset();
        m_room = new CRoom();
        m_room->width = width;
        m_room->height = height;
        Run_SetCurrentRoom(m_room);
        return m_room;
    }

    static int32_t AddObject(int32_t sprite, bool solid = false, int32_t parent = -1) {
        const int32_t index = Object_Add();
        CObjectHV* object = Object_Find(index);
        object->spriteIndex = sprite;
        if (solid) object->flags |= OBJECT_SOLID;
        object->parentIndex = parent;
        Object_LinkParents();
        return index;
    }

    CInstance* Make(int32_t object, float x, float y) { return m_room->CreateInstance(x, y, object); }

    void DropRoom() {
        if (m_room == nullptr) return;
        Run_SetCurrentRoom(nullptr);
        delete m_room;
        m_room = nullptr;
        Collision_Reset();
    }

    CRoom* m_room = nullptr;
};

}  // namespace motion_test
