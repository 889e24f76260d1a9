// The physics built-ins as game code calls them: the rows in order, targets and messages, the
// world's built-ins, and a bounded run of random calls that must never end the process.
#include <chrono>
#include <cstdlib>
#include <random>

#include "PhysicsFuzzDriver.h"
#include "PhysicsTestSupport.h"

using namespace physicstest;

namespace {

class PhysicsBuiltinsTest : public PhysicsTest {};

TEST_F(PhysicsBuiltinsTest, RowsRegisterInOrderWithTheirArgumentCounts) {
    Builtin("physics_world_create");  // registers the rows
    const int32_t argcs[] = {1, 2, 1, 1, 1, 1, 0, 1,  2,  2,  2,  2, 2, 2, 2, 2, 2, 3,
                             5, 1, 2, 3, 2, 4, 1, 4,  4,  1,  4,  4, 1, 4, 0, 4, 2, 1,
                             1, 1, 2, 2, 2, 7, 8, 11, 13, 12, 12, 5, 8, 7, 2, 2, 3, 1};
    static_assert(sizeof argcs / sizeof argcs[0] == physicsfuzz::kNameCount);
    int32_t first = -1;
    for (int32_t i = 0; i < Code_Function_Count() && first < 0; ++i)
        if (std::strcmp(Code_Function_Row(i)->name, "physics_world_create") == 0) first = i;
    ASSERT_GE(first, 0);
    for (int32_t i = 0; i < physicsfuzz::kNameCount; ++i) {
        const BuiltinFunction* row = Code_Function_Row(first + i);
        ASSERT_NE(row, nullptr);
        EXPECT_STREQ(row->name, physicsfuzz::kNames[i]);
        EXPECT_EQ(row->argc, argcs[i]) << row->name;
    }
}

TEST_F(PhysicsBuiltinsTest, BindingTargetsAndTheirMessages) {
    MakeObjects(2);
    MakeRoom();
    CInstance* a = MakeRoomInstance(10, 10, 0);
    MakeRoomInstance(50, 10, 0);
    MakeRoomInstance(90, 10, 1);
    CInstance* asleep = MakeRoomInstance(130, 10, 1);
    asleep->deactivated = 1;
    const double fixture = Call("physics_fixture_create", nullptr, {});
    Call("physics_fixture_set_circle_shape", nullptr, {fixture, 4});
    EXPECT_EQ(Call("physics_fixture_bind", a, {fixture, -3}), 0);  // three bodies, each its key 0
    EXPECT_EQ(Call("physics_fixture_bind", a, {fixture, -1}), 1);  // the caller's second fixture
    EXPECT_EQ(asleep->physicsBody, nullptr);
    EXPECT_EQ(Call("physics_fixture_bind_ext", a, {fixture, 1, 5, 5}), 1);
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(Call("physics_fixture_bind", a, {fixture, 777777}), -1);
    EXPECT_EQ(Call("physics_fixture_bind", a, {fixture + 100, 0}), -1);
    EXPECT_EQ(Call("physics_test_overlap", a, {10, 10, 0, 777777}), 0);
    EXPECT_EQ(Call("physics_get_density", asleep, {0}), -1);
    Call("physics_fixture_add_point", nullptr, {fixture, 1, 1});
    EXPECT_EQ(
        Reports(),
        (std::vector<std::string>{
            "  is not valid.", "The physics fixture does not exist", "physics_test_overlap:   is not valid.",
            "The instance does not have an associated physics representation",
            "The fixture must be a polygon shape, convex, ordered clockwise and have no more "
            "than 8 points"}));
    EXPECT_EQ(Call("physics_test_overlap", a, {50, 10, 0, -3}), 1);
    EXPECT_EQ(Call("physics_test_overlap", a, {500, 500, 0, 1}), 0);
    EXPECT_EQ(Call("physics_remove_fixture", a, {-1, 1}), 1);
    EXPECT_EQ(Call("physics_remove_fixture", a, {-1, 1}), 0);
    EXPECT_EQ(a->physicsBody->FixtureCount(), 1);
}

TEST_F(PhysicsBuiltinsTest, WorldBuiltinsNeedARoomAndAWorld) {
    const double fixture = Call("physics_fixture_create", nullptr, {});
    Call("physics_world_gravity", nullptr, {0, 5});
    Call("physics_fixture_set_circle_shape", nullptr, {fixture, 4});
    EXPECT_EQ(Fixture_Find(static_cast<int32_t>(fixture))->shape, PHYSICS_SHAPE_NONE);
    Call("physics_world_create", nullptr, {0.1});
    m_room = new CRoom();
    m_room->speed = 45;
    Run_SetCurrentRoom(m_room);
    Call("physics_world_gravity", nullptr, {0, 5});
    Call("physics_pause_enable", nullptr, {1});
    EXPECT_EQ(Reports(), (std::vector<std::string>{
                             "No room is available to create a physics world for",
                             "The current room does not have a physics world representation",
                             "No room is available to create a physics world for",
                             "The current room does not have a physics world representation",
                             "physics_pause_enable() The current room does not have a physics world "
                             "representation"}));
    Call("physics_world_create", nullptr, {0.1});
    CPhysicsWorld* world = m_room->physicsWorld;
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->UpdateSpeed(), 45);
    Call("physics_world_gravity", nullptr, {0, 5});
    Call("physics_world_update_iterations", nullptr, {4});
    Call("physics_pause_enable", nullptr, {1});
    Call("physics_world_update_speed", nullptr, {120});
    Call("physics_world_create", nullptr, {0.5});  // only the factor and the speed change
    EXPECT_EQ(m_room->physicsWorld, world);
    EXPECT_EQ(world->PixelsToMetres(), 0.5f);
    EXPECT_EQ(world->UpdateSpeed(), 45);
    EXPECT_EQ(world->Gravity().y, 5.0f);
    EXPECT_EQ(world->Iterations(), 4);
    EXPECT_TRUE(world->Paused());
}

// A small shape far from its body's origin leaves the library an inertia that rounding
// makes negative: the body turns to fixed rotation after a report.
TEST_F(PhysicsBuiltinsTest, InertiaLostToRoundingFallsBackToFixedRotation) {
    MakeObjects(1);
    CPhysicsWorld* world = MakeWorld();
    CPhysicsFixture* far = Fixture_Create();
    far->SetPolygonShape();
    const PhysicsPoint square[] = {{1000, 1000}, {1000.1f, 1000}, {1000.1f, 1000.1f}, {1000, 1000.1f}};
    for (const PhysicsPoint& p : square) ASSERT_TRUE(far->AddPoint(p.x, p.y));
    far->density = 1;
    CInstance* instance = MakeInstance(0, 0, 0);
    ASSERT_EQ(world->BindFixture(far, instance, 0, 0), 0);
    EXPECT_TRUE(instance->physicsBody->Body()->IsFixedRotation());
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0], "m_I > 0.0f ");
    world->Step(60, false);
}

// Random calls over every row for a bounded time; PHYSICS_FUZZ_SECONDS sets a longer run and
// PHYSICS_FUZZ_SEED another sequence.
TEST_F(PhysicsBuiltinsTest, RandomCallsNeverEndTheProcess) {
    Builtin("physics_world_create");
    const std::vector<physicsfuzz::Row> rows = physicsfuzz::FindRows();
    ASSERT_EQ(rows.size(), static_cast<size_t>(physicsfuzz::kNameCount));
    MakeObjects(4, {{0, 1}, {1, 2}, {2, 2}});
    Runtime_SetReportHooks([](const char*, bool) {}, [](const char*, bool) {});
    Runtime_SetErrorReporter([](const char*) {});
    const char* seconds = std::getenv("PHYSICS_FUZZ_SECONDS");
    const double limit = seconds != nullptr ? std::atof(seconds) : 1.5;
    const auto start = std::chrono::steady_clock::now();
    const char* seed = std::getenv("PHYSICS_FUZZ_SEED");
    std::mt19937 random(seed != nullptr ? static_cast<uint32_t>(std::atol(seed)) : 20261211u);
    int64_t runs = 0;
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < limit &&
           (seconds != nullptr || runs < 400)) {
        MakeRoom(0.1f, 60);
        std::vector<CInstance*> instances;
        for (int32_t i = 0; i < 4; ++i)
            instances.push_back(MakeRoomInstance(static_cast<float>(40 * i), 100, i));
        std::vector<uint8_t> bytes(64 + random() % 448);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
        physicsfuzz::Run(bytes.data(), bytes.size(), rows, instances);
        Run_SetCurrentRoom(nullptr);
        delete m_room;
        m_room = nullptr;
        Fixture_DeleteAll();
        ++runs;
    }
    std::printf("%lld random runs in %.1f s\n", static_cast<long long>(runs),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    EXPECT_GT(runs, 0);
}

}  // namespace
