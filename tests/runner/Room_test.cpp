// Rooms: the ROOM reader, the order, rooms made at run time, editor records, legacy tiles, and
// entering and leaving rooms with persistence and creation code.
#include "GameLoopTestSupport.h"

using namespace gameloop_test;

namespace {

class Rooms : public GameLoopTest {};

formpack::RoomBackground Background(int32_t index, int32_t x) {
    formpack::RoomBackground b;
    b.visible = true;
    b.index = index;
    b.x = x;
    b.speedX = 2;
    return b;
}

TEST_F(Rooms, DefinitionFieldsAndListsOfAtMostEightRecords) {
    formpack::Room r = MakeRoom("level");
    r.caption = "Level One";
    r.width = 800;
    r.height = 600;
    r.speed = 45;
    r.persistent = true;
    r.colour = 0x123456;
    r.viewsEnabled = true;
    r.keepDisplay = true;
    for (int i = 0; i < 9; ++i) r.backgrounds.push_back(Background(i, 10 * i));
    r.backgrounds[0].stretch = true;
    for (int i = 0; i < 9; ++i) {
        formpack::RoomView v;
        v.visible = true;
        v.viewX = i;
        r.views.push_back(v);
    }
    WorldServices backgrounds;
    backgrounds.backgroundSize = [](int32_t, int32_t* w, int32_t* h) {
        *w = 400;
        *h = 0;
        return true;
    };
    World_InstallServices(&backgrounds);
    ASSERT_TRUE(Load(MakeGame({}, {r}, {0})));
    const CRoom* room = Room_Get(0);
    ASSERT_NE(room, nullptr);
    EXPECT_STREQ(room->Name(), "level");
    EXPECT_STREQ(room->caption, "Level One");
    EXPECT_EQ(room->width, 800);
    EXPECT_EQ(room->speed, 45);
    EXPECT_TRUE(room->persistent);
    EXPECT_EQ(room->colour, 0x123456);
    EXPECT_TRUE(room->viewsEnabled);
    EXPECT_FALSE(room->clearDisplay);
    EXPECT_FLOAT_EQ(room->backgrounds[7].x, 70.0f);
    EXPECT_FLOAT_EQ(room->backgrounds[7].hspeed, 2.0f);
    EXPECT_FLOAT_EQ(room->backgrounds[0].xscale, 2.0f);
    EXPECT_FLOAT_EQ(room->backgrounds[0].yscale, 1.0f);
    EXPECT_FLOAT_EQ(room->views[7].viewX, 7.0f);
    EXPECT_TRUE(room->views[7].visible);
    EXPECT_EQ(room->views[0].hborder, 32);
    // Nothing of a ninth view spilled over the fields after the eight.
    EXPECT_EQ(room->layerListOffset, 0u);
    EXPECT_EQ(room->layers, nullptr);

    // Nor of a ninth background, in a room without views.
    ResetWorld();
    r.views.clear();
    ASSERT_TRUE(Load(MakeGame({}, {r}, {0})));
    EXPECT_EQ(Room_Get(0)->views[0].viewX, 0.0f);
    EXPECT_FALSE(Room_Get(0)->views[0].visible);
}

TEST_F(Rooms, OrderAndNeighbours) {
    std::vector<std::optional<formpack::Room>> rooms = {MakeRoom("r0"), MakeRoom("r1"), MakeRoom("r2"),
                                                        MakeRoom("r3")};
    ASSERT_TRUE(Load(MakeGame({}, rooms, {2, 0, 1})));
    EXPECT_EQ(Room_First(), 2);
    EXPECT_EQ(Room_Last(), 1);
    EXPECT_EQ(Room_Next(2), 0);
    EXPECT_EQ(Room_Previous(0), 2);
    EXPECT_EQ(Room_Previous(2), -1);
    EXPECT_EQ(Room_Next(1), -1);
    EXPECT_EQ(Room_Next(3), -1);  // not in the order
    EXPECT_EQ(Room_FindByName("r3"), 3);
    EXPECT_EQ(Room_FindByName("R3"), -1);

    ResetWorld();
    ASSERT_TRUE(Load(MakeGame({}, rooms, {1})));
    EXPECT_EQ(Room_Next(1), -1);
    EXPECT_EQ(Room_Previous(1), -1);
}

TEST_F(Rooms, RoomsMadeAtRunTime) {
    ASSERT_TRUE(Load(
        MakeGame({MakeObject("A")},
                 {MakeRoom("r0", {At(0, 100001), At(0, 100002)}), MakeRoom("r1"), MakeRoom("r2")}, {0})));
    EXPECT_EQ(Room_Add(), 3);
    EXPECT_STREQ(Room_GetName(3), "__newroom3");
    EXPECT_EQ(Room_Get(3)->speed, 30);
    EXPECT_EQ(Room_Duplicate(0), 4);
    EXPECT_STREQ(Room_GetName(4), "__newroom4");
    EXPECT_EQ(Room_Get(4)->instanceRecordCount, 2);
    EXPECT_EQ(Instance_IdHash().Count(), 0);

    // The assigned room holds records, not instances: entering it makes each instance once.
    EXPECT_TRUE(Room_Assign(1, 0));
    EXPECT_EQ(Instance_IdHash().Count(), 0);
    EXPECT_STREQ(Room_GetName(1), "r1");
    Start();
    SwitchRoom(1);
    EXPECT_EQ(CountInstances(0), 2);
    EXPECT_EQ(Instance_IdHash().Count(), 2);

    EXPECT_EQ(Room_Duplicate(-1), -1);
    EXPECT_EQ(Room_Duplicate(9), -1);
    EXPECT_FALSE(Room_Assign(9, 0));
    EXPECT_FALSE(Room_Assign(0, 9));
    EXPECT_EQ(Room_Get(99), nullptr);
    EXPECT_STREQ(Room_GetName(-1), "<undefined>");
}

TEST_F(Rooms, AddedInstanceRecordsTakeTheNextIdAndAppearWhenTheRoomIsEntered) {
    ASSERT_TRUE(Load(MakeGame({MakeObject("A")}, {MakeRoom("r0"), MakeRoom("r1", {At(0, 100001)})}, {0, 1})));
    const int32_t id = Room_Get(1)->AddInstanceRecord(5.9f, 6.2f, 0);
    EXPECT_EQ(id, 200001);
    Start();
    SwitchRoom(1);
    EXPECT_EQ(CountInstances(0), 2);
    CInstance* added = Instance_Find(id);
    ASSERT_NE(added, nullptr);
    EXPECT_FLOAT_EQ(added->x, 5.0f);
}

TEST_F(Rooms, EditorRecordsBecomeInstances) {
    formpack::RoomInstance tinted = At(0, 100002, 3, 4);
    tinted.colour = 0x80FF0000u;
    tinted.scaleX = 2.0f;
    tinted.rotation = 45.0f;
    tinted.creationCode = 2;
    ASSERT_TRUE(Load(MakeGame({MakeObject("A", {{EVENT_CREATE, 0, 1}})},
                              {MakeRoom("r0", {At(-1, 100001), tinted})}, {0})));
    Label(1, "create");
    Label(2, "instance creation code");
    Start();
    EXPECT_EQ(Instance_Find(100001), nullptr);
    CInstance* i = Instance_Find(100002);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->image_blend, 0xFF0000u);
    EXPECT_FLOAT_EQ(i->image_alpha, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(i->image_xscale, 2.0f);
    EXPECT_FLOAT_EQ(i->image_angle, 45.0f);
    EXPECT_TRUE(i->created);
    EXPECT_EQ(Log(), (std::vector<std::string>{"create", "instance creation code"}));
}

TEST_F(Rooms, LegacyTiles) {
    CRoom room;
    auto tile = [](float x, float depth, int32_t w) {
        RoomTile t;
        t.x = x;
        t.depth = depth;
        t.width = w;
        t.height = 10;
        return t;
    };
    room.AddTile(tile(0, 10, 20));  // centre 10
    room.AddTile(tile(8, 0, 10));   // another depth
    room.AddTile(tile(6, 10, 10));  // centre 11
    EXPECT_EQ(room.FindTileAt(10, 9.0f, 5.0f), 0);
    EXPECT_EQ(room.FindTileAt(10, 12.0f, 5.0f), 2);
    EXPECT_EQ(room.FindTileAt(10, 30.0f, 5.0f), -1);
    const int32_t id = room.tiles[2].id;
    room.SortTiles();
    EXPECT_EQ(room.tiles[0].depth, 10.0f);
    EXPECT_EQ(room.tiles[1].id, id);
    EXPECT_EQ(room.tiles[2].depth, 0.0f);
    EXPECT_EQ(room.FindTile(id), 1);
    room.DeleteTile(7);
    room.DeleteTilesAt(10, 1.0f, 1.0f);
    EXPECT_EQ(room.tileCount, 2);
    room.DeleteTileLayer(10);
    EXPECT_EQ(room.tileCount, 1);
    room.DeleteTile(0);
    EXPECT_EQ(room.tileCount, 0);
    EXPECT_EQ(room.FindTile(id), -1);
}

TEST_F(Rooms, PersistentRoomKeepsItsInstancesAndSkipsItsCreationWhenRevisited) {
    formpack::Room kept = MakeRoom("kept", {At(0, 100001)});
    kept.persistent = true;
    kept.creationCode = 3;
    ASSERT_TRUE(Load(MakeGame({MakeObject("A", {{EVENT_CREATE, 0, 1}, {EVENT_OTHER, OTHER_ROOM_START, 2}})},
                              {kept, MakeRoom("other")}, {0, 1})));
    g_Switches.headless = false;
    Label(1, "create");
    Label(2, "room start");
    Label(3, "room code");
    Start();
    CInstance* first = Instance_Find(100001);
    first->x = 55.0f;
    NewRoomCode = 1;
    Harness_RunFrames(1);
    EXPECT_EQ(Instance_Find(100001), nullptr);  // out of every lookup while the room waits
    EXPECT_EQ(Object_Find(0)->instances.Count(), 0);
    NewRoomCode = 0;
    Harness_RunFrames(1);
    EXPECT_EQ(Run_RoomIndex(), 0);
    EXPECT_EQ(Instance_Find(100001), first);
    EXPECT_FLOAT_EQ(first->x, 55.0f);
    EXPECT_EQ(Log(), (std::vector<std::string>{"create", "room code", "room start", "room start"}));
}

// In object mode the collector runs every step; a kept room's instances are out of the id table
// but must survive it.
TEST_F(Rooms, KeptRoomSurvivesTheCollector) {
    formpack::Room kept = MakeRoom("kept", {At(0, 100001)});
    kept.persistent = true;
    ASSERT_TRUE(Load(MakeGame({MakeObject("A")}, {kept, MakeRoom("other")}, {0, 1})));
    g_VariableSettings.objectMode = true;
    Start();
    CInstance* first = Instance_Find(100001);
    NewRoomCode = 1;
    Harness_RunFrames(3);
    EXPECT_FALSE(VM_CollectGarbage(first));
    NewRoomCode = 0;
    Harness_RunFrames(1);
    EXPECT_EQ(Instance_Find(100001), first);
    g_VariableSettings.objectMode = false;
}

TEST_F(Rooms, WhatIsCarriedOutOfARoom) {
    formpack::Object keeper = MakeObject("Keeper", {{EVENT_OTHER, OTHER_ROOM_END, 1}});
    keeper.persistent = true;
    ASSERT_TRUE(Load(MakeGame(
        {keeper}, {MakeRoom("r0", {At(0, 100001), At(0, 100002), At(0, 100003)}), MakeRoom("r1")}, {0, 1})));
    // 100002 destroys itself in its Room End event; 100003 is deactivated.
    Label(1, "", [](CInstance* self, CInstance*) {
        if (self->id == 100002) self->destroyed = 1;
    });
    Start();
    Instance_Find(100003)->deactivated = 1;
    Pending_AddActivation(Instance_Find(100003));
    UpdateActiveLists();
    SwitchRoom(1);
    EXPECT_NE(Instance_Find(100001), nullptr);
    EXPECT_EQ(Instance_Find(100002), nullptr);
    EXPECT_EQ(Instance_Find(100003), nullptr);
    EXPECT_EQ(CountInstances(0), 1);
}

TEST_F(Rooms, RoomGotoInTheFirstRoomsCreationCodeSwitchesBeforeTheFirstFrame) {
    formpack::Room first = MakeRoom("first", {At(0, 100001)});
    first.creationCode = 3;
    ASSERT_TRUE(Load(MakeGame({MakeObject("A", {{EVENT_OTHER, OTHER_ROOM_START, 1},
                                                {EVENT_OTHER, OTHER_ROOM_END, 2},
                                                {EVENT_OTHER, OTHER_GAME_END, 4}}),
                               MakeObject("B", {{EVENT_OTHER, OTHER_ROOM_START, 5}})},
                              {first, MakeRoom("second", {At(1, 100002)})}, {0, 1})));
    g_Switches.headless = false;
    Label(1, "A room start");
    Label(2, "A room end");
    Label(3, "room code", [](CInstance*, CInstance*) { NewRoomCode = 1; });
    Label(4, "A game end");
    Label(5, "B room start");
    Start();
    EXPECT_EQ(Run_RoomIndex(), 1);
    EXPECT_EQ(Log(), (std::vector<std::string>{"room code", "A room end", "B room start"}));
}

TEST_F(Rooms, HeadlessRunEndsAfterTheFirstRoomsCreationCode) {
    formpack::Room first = MakeRoom("first");
    first.creationCode = 3;
    ASSERT_TRUE(Load(MakeGame({}, {first}, {0})));
    EXPECT_EXIT(Start(), ::testing::ExitedWithCode(0), "");
    ResetWorld();
    ASSERT_TRUE(Load(MakeGame({}, {MakeRoom("no code")}, {0})));
    Start();
    EXPECT_EQ(Harness_RunFrames(3), 3);
}

// While a room change is pending only Create, Destroy, Alarm and Other events run, and only
// for persistent instances or in persistent rooms.
TEST_F(Rooms, EventsWhileARoomChangeIsPending) {
    formpack::Object keeper = MakeObject(
        "Keeper",
        {{EVENT_DESTROY, 0, 1}, {EVENT_OTHER, OTHER_USER0, 2}, {EVENT_STEP, 0, 3}, {EVENT_DRAW, 0, 4}});
    keeper.persistent = true;
    formpack::Object plain = MakeObject("Plain", {{EVENT_DESTROY, 0, 5}, {EVENT_OTHER, OTHER_USER0, 6}});
    ASSERT_TRUE(Load(
        MakeGame({keeper, plain}, {MakeRoom("r0", {At(0, 100001), At(1, 100002)}), MakeRoom("r1")}, {0, 1})));
    Label(1, "keeper destroy");
    Label(2, "keeper user 0");
    Label(3, "keeper step");
    Label(4, "keeper draw");
    Label(5, "plain destroy");
    Label(6, "plain user 0");
    Start();
    NewRoomCode = 1;
    for (CInstance* i : {Instance_Find(100001), Instance_Find(100002)})
        for (int32_t type : {EVENT_DESTROY, EVENT_OTHER, EVENT_STEP, EVENT_DRAW})
            PerformEvent_Instance(i, i, type, type == EVENT_OTHER ? OTHER_USER0 : 0);
    PerformEvent_All(EVENT_OTHER, OTHER_USER0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"keeper destroy", "keeper user 0"}));
    Log().clear();
    NewRoomCode = ROOM_NO_CHANGE;
    PerformEvent_All(EVENT_OTHER, OTHER_USER0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"keeper user 0", "plain user 0"}));
}

TEST_F(Rooms, DepthChangesAndActivationApplyAfterTheStage) {
    ASSERT_TRUE(Load(MakeGame({MakeObject("A", {{EVENT_STEP, 0, 1}})},
                              {MakeRoom("r0", {At(0, 100001), At(0, 100002), At(0, 100003)})}, {0})));
    Label(1, "", [](CInstance* self, CInstance*) { Log().push_back(std::to_string(self->id)); });
    Start();
    CInstance* a = Instance_Find(100001);
    a->depth = 5.0f;
    Pending_AddDepthChange(a);
    CInstance* b = Instance_Find(100002);
    b->deactivated = 1;
    Pending_AddActivation(b);
    UpdateActiveLists();
    CRoom* room = Run_Room();
    EXPECT_EQ(room->active.tail, a);
    EXPECT_EQ(room->deactivated.head, b);
    EXPECT_EQ(room->active.count, 2);
    // Event passes walk the object's own list, which no longer holds the deactivated one.
    Harness_RunFrames(1);
    EXPECT_EQ(Log(), (std::vector<std::string>{"100001", "100003"}));
    b->deactivated = 0;
    Pending_AddActivation(b);
    UpdateActiveLists();
    EXPECT_EQ(room->active.count, 3);
    EXPECT_EQ(Object_Find(0)->instances.Count(), 3);
}

TEST_F(Rooms, ScrollingMovesBackgroundsEachStep) {
    formpack::Room r = MakeRoom("r0");
    r.backgrounds.push_back(Background(0, 10));
    ASSERT_TRUE(Load(MakeGame({}, {r}, {0})));
    Start();
    Harness_RunFrames(3);
    EXPECT_FLOAT_EQ(Run_Room()->backgrounds[0].x, 16.0f);
    EXPECT_FLOAT_EQ(Room_Get(0)->backgrounds[0].x, 10.0f);
}

}  // namespace
