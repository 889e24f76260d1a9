// Collision tests of instance boxes, the collision stage in both regimes, and the command
// layer's queries and motion rules.
#include <random>

#include "MotionTestSupport.h"
#include "world/Function_Game.h"
#include "world/Run_Command.h"

using namespace motion_test;
using gameloop_test::Action;

namespace {

class Collisions : public WorldTest {};

TEST_F(Collisions, BoxEdgesAgainstPointsRectanglesAndSegments) {
    MakeRoom(false);
    Sprites()[0] = Rect(10, 10);
    CInstance* i = Make(AddObject(0), 10, 10);  // box 10..19 x 10..19
    EXPECT_TRUE(i->CollisionPoint(19.9f, 19.9f, true));
    EXPECT_FALSE(i->CollisionPoint(20, 20, true));
    EXPECT_FALSE(i->CollisionRectangle(20, 0, 30, 30, true));
    EXPECT_TRUE(i->CollisionRectangle(19.5f, 0, 30, 30, true));
    EXPECT_TRUE(i->CollisionRectangle(30, 30, 19.5f, 0, true)) << "corners in any order";
    EXPECT_TRUE(i->CollisionEllipse(10, 10, 10.4f, 30, true)) << "a degenerate ellipse is a rectangle";
    EXPECT_FALSE(i->CollisionEllipse(0, 0, 10.2f, 10.2f, true)) << "the corner lies outside the ellipse";

    CInstance* line = Make(AddObject(0), 40, 0);  // 40..49 x 0..9
    EXPECT_FALSE(line->CollisionLine(0, 0, 100, 100, false));
    line->SetPosition(40, 40);
    EXPECT_TRUE(line->CollisionLine(100, 100, 0, 0, false));

    EXPECT_FALSE(i->CollisionInstance(i, true));
    CInstance* twin = Make(AddObject(0), 15, 15);
    EXPECT_TRUE(i->CollisionInstance(twin, true));
    Command_InstanceDestroy(twin);
    EXPECT_FALSE(i->CollisionInstance(twin, true)) << "destroyed instances meet nothing";
}

TEST_F(Collisions, BoxesTouchOnlyWhenTheyShareAPixel) {
    MakeRoom(false);
    Sprites()[0] = Rect(10, 10);
    Sprites()[1] = Rect(11, 10);
    CInstance* a = Make(AddObject(0), 0, 0);
    CInstance* b = Make(AddObject(0), 10, 0);
    EXPECT_FALSE(a->CollisionInstance(b, false));
    a->sprite_index = 1;
    a->boxDirty = 1;
    EXPECT_TRUE(a->CollisionInstance(b, false));
}

TEST_F(Collisions, AnInstanceWithoutASpriteMeetsOnlyRectangles) {
    MakeRoom(false);
    CInstance* i = Make(AddObject(-1), 5.5f, 7.9f);
    EXPECT_FALSE(i->CollisionPoint(5.5f, 7.9f, false));
    EXPECT_TRUE(i->CollisionRectangle(5, 7, 5, 7, true));
    EXPECT_FALSE(i->CollisionRectangle(6, 8, 9, 9, true));
}

TEST_F(Collisions, QueriesBeforeAnyInstanceAnswerFromAnEmptyTree) {
    MakeRoom(true);
    const int32_t object = AddObject(0);
    EXPECT_EQ(Command_CollisionRectangle(nullptr, 0, 0, 100, 100, object, false, false), nullptr);
    EXPECT_EQ(Command_CollisionLine(nullptr, 0, 0, 100, 100, object, false, false), nullptr);
}

// The same queries in both regimes, over a random room.
TEST_F(Collisions, TreeAndListQueriesAgree) {
    Sprites()[0] = Rect(12, 8, 6, 4);
    Sprites()[1] = Rect(20, 20);
    for (int round = 0; round < 2; ++round) {
        std::vector<int32_t> answers[2];
        for (int mode = 0; mode < 2; ++mode) {
            MakeRoom(mode == 1);
            Object_FreeAll();
            Object_Init();
            const int32_t parent = AddObject(0), child = AddObject(1, true, parent), other = AddObject(0);
            std::mt19937 random(77 + round);
            for (int n = 0; n < 300; ++n)
                Make(n % 3 == 0 ? child : (n % 3 == 1 ? parent : other), static_cast<float>(random() % 600),
                     static_cast<float>(random() % 440));
            CInstance* probe = Make(other, 300, 200);
            for (int q = 0; q < 60; ++q) {
                const float x = static_cast<float>(random() % 640), y = static_cast<float>(random() % 480);
                const int32_t filter = q % 2 ? parent : child;
                auto id = [](CInstance* i) { return i ? i->id : -4; };
                answers[mode].push_back(
                    id(Command_CollisionRectangle(probe, x, y, x + 25, y + 15, filter, true, true)) != -4);
                answers[mode].push_back(
                    id(Command_CollisionLine(probe, x, y, x + 90, y - 40, filter, true, true)) != -4);
                answers[mode].push_back(Command_PlaceMeeting(probe, filter, x, y));
                answers[mode].push_back(Command_PlaceFree(probe, x, y));
                answers[mode].push_back(Command_PlaceEmpty(probe, x, y));
            }
        }
        EXPECT_EQ(answers[0], answers[1]) << "round " << round;
    }
}

class CollisionEvents : public gameloop_test::GameLoopTest {
protected:
    void TearDown() override {
        World_InstallServices(nullptr);
        g_GameOptions.collisionTreeMode = false;
        GameLoopTest::TearDown();
    }

    // Runs three steps of a random scene of moving instances of two objects, A colliding with
    // A and with B; answers each (self, other) pair's event count.
    std::map<std::pair<int32_t, int32_t>, int> Run(bool treeMode) {
        ResetWorld();
        Sprites().clear();
        Sprites()[0] = Rect(16, 16);
        WorldServices services;
        services.spriteMask = SpriteMaskOf;
        World_InstallServices(&services);
        std::map<std::pair<int32_t, int32_t>, int> events;
        Action record = [&](CInstance* self, CInstance* other) { ++events[{self->id, other->id}]; };
        Label(1, "", record);
        auto a = gameloop_test::MakeObject("a", {{EVENT_COLLISION, 0, 1}, {EVENT_COLLISION, 1, 1}});
        auto b = gameloop_test::MakeObject("b");
        a.sprite = b.sprite = 0;
        std::mt19937 random(5);
        std::vector<formpack::RoomInstance> placed;
        for (int n = 0; n < 60; ++n)
            placed.push_back(gameloop_test::At(n % 2, 100001 + n, static_cast<int32_t>(random() % 200),
                                               static_cast<int32_t>(random() % 200)));
        EXPECT_TRUE(Load(gameloop_test::MakeGame({a, b}, {gameloop_test::MakeRoom("r", placed)}, {0})));
        g_GameOptions.collisionTreeMode = treeMode;
        Start();
        std::mt19937 speeds(9);
        for (CInstance* i = Run_Room()->active.head; i != nullptr; i = i->depthNext) {
            i->SetHSpeed(static_cast<float>(static_cast<int>(speeds() % 7) - 3));
            i->SetVSpeed(static_cast<float>(static_cast<int>(speeds() % 7) - 3));
        }
        for (int step = 0; step < 3; ++step) DoAStep();
        return events;
    }
};

TEST_F(CollisionEvents, TreeAndListRegimesAgree) {
    const auto list = Run(false);
    const auto tree = Run(true);
    ASSERT_FALSE(list.empty());
    // Without the tree a same-object pair is met in both orders, so each side gets its event
    // twice; with it, once.
    std::map<std::pair<int32_t, int32_t>, int> halved;
    for (const auto& [pair, count] : list) {
        const bool sameObject = (pair.first - 100001) % 2 == (pair.second - 100001) % 2;
        halved[pair] = sameObject ? count / 2 : count;
        if (sameObject) {
            EXPECT_EQ(count % 2, 0);
        }
    }
    EXPECT_EQ(halved, tree);
}

// P, with children A and B; instances A1, A2 and B1 overlap and stand still. One step without
// the tree: every instance gets one event per other instance of another object; two instances
// of the same object are met in both orders and get theirs twice. Each count names the object
// that supplied the handler.
TEST_F(CollisionEvents, ParentHandlersRunOncePerOtherObjectsInstance) {
    enum { P, A, B };
    struct Case {
        const char* name;
        std::vector<std::array<int32_t, 3>> parentEvents, childAEvents;
        std::map<std::string, int> expected;
    };
    const Case cases[] = {
        {"P with P",
         {{EVENT_COLLISION, P, 1}},
         {},
         {{"A1 A2 by P", 2},
          {"A2 A1 by P", 2},
          {"A1 B1 by P", 1},
          {"B1 A1 by P", 1},
          {"A2 B1 by P", 1},
          {"B1 A2 by P", 1}}},
        {"A with P beside P with P",
         {{EVENT_COLLISION, P, 1}},
         {{EVENT_COLLISION, P, 2}},
         {{"A1 A2 by A", 2},
          {"A2 A1 by A", 2},
          {"A1 B1 by A", 1},
          {"B1 A1 by P", 1},
          {"A2 B1 by A", 1},
          {"B1 A2 by P", 1}}},
        {"A with A beside P with P",
         {{EVENT_COLLISION, P, 1}},
         {{EVENT_COLLISION, A, 2}},
         {{"A1 A2 by A", 2},
          {"A2 A1 by A", 2},
          {"A1 B1 by P", 1},
          {"B1 A1 by P", 1},
          {"A2 B1 by P", 1},
          {"B1 A2 by P", 1}}},
        {"A with A alone", {}, {{EVENT_COLLISION, A, 2}}, {{"A1 A2 by A", 2}, {"A2 A1 by A", 2}}},
    };
    const char* const objectNames[] = {"P", "A", "B"};
    const std::map<int32_t, std::string> instanceNames = {{100001, "A1"}, {100002, "A2"}, {100003, "B1"}};
    for (const Case& c : cases) {
        ResetWorld();
        Sprites().clear();
        Sprites()[0] = Rect(16, 16);
        WorldServices services;
        services.spriteMask = SpriteMaskOf;
        World_InstallServices(&services);
        std::map<std::string, int> events;
        Action record = [&](CInstance* self, CInstance* other) {
            EXPECT_EQ(g_CurrentEvent.number, other->object_index) << c.name;
            ++events[instanceNames.at(self->id) + " " + instanceNames.at(other->id) + " by " +
                     objectNames[g_CurrentEvent.object]];
        };
        Label(1, "", record);
        Label(2, "", record);
        auto parent = gameloop_test::MakeObject("P", c.parentEvents);
        auto childA = gameloop_test::MakeObject("A", c.childAEvents, P);
        auto childB = gameloop_test::MakeObject("B", {}, P);
        parent.sprite = childA.sprite = childB.sprite = 0;
        const std::vector<formpack::RoomInstance> placed = {gameloop_test::At(A, 100001, 10, 10),
                                                            gameloop_test::At(A, 100002, 14, 10),
                                                            gameloop_test::At(B, 100003, 18, 10)};
        ASSERT_TRUE(Load(
            gameloop_test::MakeGame({parent, childA, childB}, {gameloop_test::MakeRoom("r", placed)}, {0})));
        Start();
        DoAStep();
        EXPECT_EQ(events, c.expected) << c.name;
    }
}

TEST_F(Collisions, SolidPairsGoBackAndNonSolidOnesOnlyGetTheEvents) {
    MakeRoom(false);
    Sprites()[0] = Rect(10, 10);
    CInstance* a = Make(AddObject(0, true), 0, 0);
    CInstance* b = Make(AddObject(0), 20, 0);
    a->xprevious = 0;
    a->SetPosition(15, 0);
    b->xprevious = 20;
    Collision_Resolve(a, b);
    EXPECT_EQ(a->x, 0.0f) << "still overlapping after the repeated motion: back again";
    EXPECT_EQ(b->x, 20.0f);

    CInstance* c = Make(AddObject(0), 0, 100);
    CInstance* d = Make(AddObject(0), 5, 100);
    c->xprevious = -50;
    Collision_Resolve(c, d);
    EXPECT_EQ(c->x, 0.0f);
}

// --- Commands ---

class Commands : public WorldTest {};

TEST_F(Commands, MotionRules) {
    MakeRoom(false, 200, 100);
    Sprites()[0] = Rect(10, 10);
    const int32_t wall = AddObject(0, true), mover = AddObject(0);
    Make(wall, 50, 0);
    CInstance* i = Make(mover, 0, 0);
    Command_MoveContact(i, 0, 0, false);
    EXPECT_EQ(i->x, 40.0f) << "one-pixel steps up to the wall";
    i->SetPosition(45, 0);
    Command_MoveContact(i, 0, 0, false);
    EXPECT_EQ(i->x, 45.0f) << "started inside a solid: no move";
    EXPECT_FALSE(Command_MoveOutside(i, 180, 3, false));
    EXPECT_EQ(i->x, 42.0f);
    EXPECT_TRUE(Command_MoveOutside(i, 180, 0, false));
    EXPECT_EQ(i->x, 40.0f);
    EXPECT_TRUE(Command_MoveOutside(i, 180, 0, false)) << "free already: no step";
    EXPECT_EQ(i->x, 40.0f);

    i->SetHSpeed(3);
    i->SetVSpeed(0);
    Command_MoveBounce(i, false, false);
    EXPECT_EQ(i->hspeed, -3.0f);
    EXPECT_EQ(i->vspeed, 0.0f);

    i->SetPosition(23.9f, 8);
    Command_MoveSnap(i, 16, 16);
    EXPECT_EQ(i->x, 16.0f);
    EXPECT_EQ(i->y, 0.0f);
    i->SetPosition(24, 40);
    Command_MoveSnap(i, 16, 16);
    EXPECT_EQ(i->x, 32.0f);
    EXPECT_EQ(i->y, 32.0f);

    i->SetSpeed(0);
    i->SetDirection(90);
    Command_MoveTowardsPoint(i, i->x, i->y, 4);
    EXPECT_EQ(i->direction, 90.0f) << "no motion before: the old direction stays";
    EXPECT_EQ(i->vspeed, -4.0f);
    Command_MoveTowardsPoint(i, i->x, i->y, 4);
    EXPECT_EQ(i->direction, 0.0f) << "moving before: the direction becomes 0";
    EXPECT_EQ(i->hspeed, 4.0f);
}

TEST_F(Commands, DestroyAndChangePerformTheirEventsOnce) {
    MakeRoom(false);
    const int32_t a = AddObject(-1), b = AddObject(-1);
    CInstance* i = Make(a, 0, 0);
    Command_InstanceDestroy(i);
    Command_InstanceDestroy(i);
    EXPECT_TRUE(i->destroyed);
    EXPECT_EQ(m_room->destroyedCount, 1);
    CInstance* j = Make(a, 0, 0);
    Command_InstanceChange(j, a, true);
    EXPECT_EQ(j->object_index, a);
    Command_InstanceChange(j, b, true);
    EXPECT_EQ(j->object_index, b);
    Command_InstanceChange(j, 999, true);
    EXPECT_NE(std::string(Error_LastText()).find("Asking to change into non-existing object: 999"),
              std::string::npos);
    EXPECT_EQ(j->object_index, b);
}

TEST_F(Commands, CountsNearestAndFind) {
    MakeRoom(false);
    const int32_t parent = AddObject(-1), child = AddObject(-1, false, parent);
    CInstance* p = Make(parent, 0, 0);
    CInstance* c = Make(child, 10, 0);
    CInstance* far = Make(child, 100, 0);
    EXPECT_EQ(Command_InstanceNumber(parent), 3);
    EXPECT_EQ(Command_InstanceNumber(child), 2);
    EXPECT_EQ(Command_InstanceNumber(kFilterAll), 3);
    EXPECT_EQ(Command_InstanceNearest(8, 0, parent), c);
    EXPECT_EQ(Command_InstanceNearest(8, 0, c->id), nullptr);
    EXPECT_EQ(Command_InstanceFurthest(8, 0, parent), far);
    EXPECT_EQ(Command_InstanceNearest(5, 0, parent), p) << "ties go to the earliest";
    EXPECT_TRUE(Game_InstanceExistsDirect(nullptr, nullptr, child));
    EXPECT_FALSE(Game_InstanceExistsDirect(nullptr, nullptr, -4));
    EXPECT_EQ(Instance_IdAt(0), p->id);
    EXPECT_EQ(Instance_IdAt(3), -4);
}

}  // namespace
