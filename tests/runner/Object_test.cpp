// Objects: the OBJT reader, the table, parent chains, the handler lookup and the event lists.
#include "GameLoopTestSupport.h"

using namespace gameloop_test;

namespace {

class Objects : public GameLoopTest {};

TEST_F(Objects, TableOfThreeSlotsWithAGap) {
    ASSERT_TRUE(Load(MakeGame({MakeObject("A"), std::nullopt, MakeObject("B")}, {}, {})));
    EXPECT_EQ(Object_Count(), 3);
    EXPECT_TRUE(Object_Exists(0));
    EXPECT_FALSE(Object_Exists(1));
    EXPECT_TRUE(Object_Exists(2));
    EXPECT_STREQ(Object_GetName(1), "<undefined>");
    EXPECT_STREQ(Object_GetName(2), "B");
    EXPECT_EQ(Object_FindByName("B"), 2);
    EXPECT_EQ(Object_FindByName("b"), -1);
    EXPECT_EQ(Object_FindByName("C"), -1);
}

TEST_F(Objects, AddedObjectsTakeFreshIndicesAfterDeletion) {
    std::vector<std::optional<formpack::Object>> objects;
    for (int i = 0; i < 33; ++i) objects.push_back(MakeObject("o" + std::to_string(i)));
    ASSERT_TRUE(Load(MakeGame(objects, {}, {})));
    EXPECT_EQ(Object_Add(), 33);
    EXPECT_STREQ(Object_GetName(33), "__newobject33");
    const CObjectHV* added = Object_Find(33);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->spriteIndex, -1);
    EXPECT_EQ(added->flags, OBJECT_DEFAULT_FLAGS);
    EXPECT_TRUE(Object_Delete(33));
    EXPECT_FALSE(Object_Exists(33));
    EXPECT_EQ(Object_Add(), 34);
}

TEST_F(Objects, EntryFieldsAndFlags) {
    formpack::Object o = MakeObject("O");
    o.sprite = 5;
    o.visible = false;
    o.solid = true;
    o.persistent = true;
    o.depth = -7;
    o.mask = 3;
    formpack::Object high = MakeObject("High");
    high.sprite = static_cast<int32_t>(0x80000004u);  // bits 28-30 clear: the low 31 bits
    ASSERT_TRUE(Load(MakeGame({o, high}, {}, {})));
    const CObjectHV* obj = Object_Find(0);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->spriteIndex, 5);
    EXPECT_EQ(obj->maskIndex, 3);
    EXPECT_EQ(obj->depth, -7);
    EXPECT_EQ(obj->flags, OBJECT_SOLID | OBJECT_PERSISTENT | OBJECT_COLLISIONS);
    EXPECT_EQ(obj->parentIndex, -100);
    EXPECT_EQ(obj->parent, nullptr);
    EXPECT_FALSE(obj->IsDescendantOf(-100));
    EXPECT_FALSE(obj->IsDescendantOf(0));
    EXPECT_EQ(Object_Find(1)->spriteIndex, 4);
}

TEST_F(Objects, PhysicsBlockByFormat) {
    struct Case {
        uint8_t format;
        bool uses;
        float friction;
        bool kinematic;
    };
    for (const Case& c :
         {Case{5, false, 0.2f, false}, Case{8, true, 0.2f, false}, Case{9, true, 0.75f, true}}) {
        ResetWorld();
        formpack::Object o = MakeObject("P", {{EVENT_STEP, STEP_NORMAL, 1}});
        o.physics.uses = true;
        o.physics.friction = 0.75f;
        o.physics.kinematic = true;
        o.physics.points = {{1.0f, 2.0f}, {3.0f, 4.0f}};
        formpack::FormFile f = MakeGame({o}, {}, {});
        f.header.format = c.format;
        ASSERT_TRUE(Load(f)) << int(c.format);
        const CObjectHV* obj = Object_Find(0);
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(obj->physics.uses, c.uses) << int(c.format);
        EXPECT_FLOAT_EQ(obj->physics.friction, c.friction) << int(c.format);
        EXPECT_EQ(obj->physics.kinematic, c.kinematic) << int(c.format);
        EXPECT_EQ(obj->physics.points.size(), c.uses ? 2u : 0u) << int(c.format);
        // The event table follows the block (or the mask index in format 5).
        EXPECT_NE(obj->GetEvent(EVENT_STEP, STEP_NORMAL), nullptr) << int(c.format);
    }
}

// Subtypes outside their type's range are not loaded; keys up to 255 are.
TEST_F(Objects, EventSubtypesOutsideTheirRangeAreSkipped) {
    formpack::Object o = MakeObject("O", {{EVENT_ALARM, 11, 1},
                                          {EVENT_ALARM, 12, 2},
                                          {EVENT_STEP, 3, 3},
                                          {EVENT_CREATE, 1, 4},
                                          {EVENT_KEYPRESS, 200, 5},
                                          {EVENT_KEYBOARD, 256, 6},
                                          {EVENT_OTHER, -1, 7},
                                          {EVENT_COLLISION, 1, 8},
                                          {EVENT_COLLISION, 2, 9}});
    ASSERT_TRUE(Load(MakeGame({o, MakeObject("B")}, {}, {})));
    const CObjectHV* obj = Object_Find(0);
    EXPECT_NE(obj->GetEvent(EVENT_ALARM, 11), nullptr);
    EXPECT_EQ(obj->GetEvent(EVENT_ALARM, 12), nullptr);
    EXPECT_EQ(obj->GetEvent(EVENT_STEP, 3), nullptr);
    EXPECT_EQ(obj->GetEvent(EVENT_CREATE, 1), nullptr);
    EXPECT_NE(obj->GetEvent(EVENT_KEYPRESS, 200), nullptr);
    EXPECT_EQ(obj->GetEvent(EVENT_KEYBOARD, 256), nullptr);
    EXPECT_NE(obj->GetEvent(EVENT_COLLISION, 1), nullptr);
    EXPECT_EQ(obj->GetEvent(EVENT_COLLISION, 2), nullptr);
    EXPECT_LE(obj->eventLists[EVENT_ALARM].count, 12);
    EXPECT_LE(obj->eventLists[EVENT_COLLISION].count, 2);

    Object_BuildEventLists();
    const EventObjectList& list = Event_ObjectList(EVENT_KEYPRESS, 200);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.objects[0], 0);
}

// A handler without code is absent: the parent's runs.
TEST_F(Objects, EventWithoutCodeCountsAsAbsent) {
    ASSERT_TRUE(Load(MakeGame(
        {MakeObject("P", {{EVENT_STEP, 0, 1}}), MakeObject("C", {{EVENT_STEP, 0, -1}}, 0)}, {}, {})));
    int32_t from = -1;
    EXPECT_NE(FindEventHandler(1, EVENT_STEP, 0, &from), nullptr);
    EXPECT_EQ(from, 0);
}

// Objects A, P and B with B's parent P; Q is P's parent.
TEST_F(Objects, CollisionHandlerIsFoundThroughTheOtherObjectsParents) {
    const auto game = [](bool handlerForB, bool handlerForQ) {
        std::vector<std::array<int32_t, 3>> handlers = {{EVENT_COLLISION, 1, 10}};
        if (handlerForB) handlers.push_back({EVENT_COLLISION, 2, 11});
        if (handlerForQ) handlers.push_back({EVENT_COLLISION, 3, 12});
        return MakeGame(
            {MakeObject("A", handlers), MakeObject("P", {}, 3), MakeObject("B", {}, 1), MakeObject("Q")}, {},
            {});
    };
    struct Case {
        bool forB, forQ;
        int32_t code;
    };
    for (const Case& c : {Case{false, false, 10}, Case{true, false, 11}, Case{false, true, 10}}) {
        ResetWorld();
        ASSERT_TRUE(Load(game(c.forB, c.forQ)));
        int32_t from = -1;
        CEvent* event = FindEventHandler(0, EVENT_COLLISION, 2, &from);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(event, Object_Find(0)->GetEvent(EVENT_COLLISION, c.code == 10 ? 1 : 2));
        EXPECT_EQ(from, 0);
    }
    // Without any handler for B's chain there is none; a subtype naming nothing ends the lookup.
    int32_t from = -1;
    EXPECT_EQ(FindEventHandler(2, EVENT_COLLISION, 0, &from), nullptr);
    EXPECT_EQ(FindEventHandler(0, EVENT_COLLISION, 40, &from), nullptr);
}

TEST_F(Objects, ParentChainsAndEventLists) {
    // Z (parent Y), Y (parent X), X with a step event, W unrelated.
    ASSERT_TRUE(Load(MakeGame({MakeObject("X", {{EVENT_STEP, 0, 1}}), MakeObject("Y", {}, 0),
                               MakeObject("Z", {}, 1), MakeObject("W", {{EVENT_COLLISION, 2, 3}})},
                              {}, {})));
    const CObjectHV* z = Object_Find(2);
    EXPECT_TRUE(z->IsDescendantOf(0));
    EXPECT_TRUE(z->IsDescendantOf(1));
    EXPECT_FALSE(z->IsDescendantOf(2));
    EXPECT_TRUE(z->HasEvent(EVENT_STEP, 0));
    int32_t from = -1;
    EXPECT_NE(FindEventHandler(2, EVENT_STEP, 0, &from), nullptr);
    EXPECT_EQ(from, 0);

    Object_BuildEventLists();
    const EventObjectList& steps = Event_ObjectList(EVENT_STEP, 0);
    EXPECT_EQ(std::vector<int32_t>(steps.objects, steps.objects + steps.count),
              (std::vector<int32_t>{0, 1, 2}));
    // W collides with Z, so with Y's and X's instances only through inheritance: one pair.
    ASSERT_EQ(CollisionObjectPairs_Count(), 1);
    EXPECT_EQ(CollisionObjectPairs()[0].first, 3);
    EXPECT_EQ(CollisionObjectPairs()[0].second, 2);
    EXPECT_TRUE(Object_Find(3)->flags & OBJECT_IN_COLLISION_PAIR);
    EXPECT_TRUE(Object_Find(2)->flags & OBJECT_IN_COLLISION_PAIR);
    EXPECT_FALSE(Object_Find(0)->flags & OBJECT_IN_COLLISION_PAIR);
}

// A parent chain that loops in the data file ends every walk instead of hanging.
TEST_F(Objects, LoopingParentChainEndsTheWalks) {
    ASSERT_TRUE(Load(MakeGame({MakeObject("A", {}, 1), MakeObject("B", {}, 0)}, {}, {})));
    int32_t from = -1;
    EXPECT_EQ(FindEventHandler(0, EVENT_STEP, 0, &from), nullptr);
    EXPECT_FALSE(Object_Find(0)->HasEvent(EVENT_STEP, 0));
    EXPECT_TRUE(Object_Find(0)->IsDescendantOf(1));
    EXPECT_FALSE(Object_Find(0)->IsDescendantOf(7));
    Object_BuildEventLists();
    EXPECT_EQ(Event_ObjectList(EVENT_STEP, 0).count, 0);
}

TEST_F(Objects, DeletingAParentLeavesNoDanglingReference) {
    ASSERT_TRUE(Load(MakeGame({MakeObject("P", {{EVENT_STEP, 0, 1}}), MakeObject("C", {}, 0)}, {}, {})));
    ASSERT_EQ(Object_Find(1)->parent, Object_Find(0));
    Object_Delete(0);
    EXPECT_EQ(Object_Find(1)->parent, nullptr);
    int32_t from = -1;
    EXPECT_EQ(FindEventHandler(1, EVENT_STEP, 0, &from), nullptr);
}

}  // namespace
