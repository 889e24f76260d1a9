#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/Instance.h"
#include "core/ObjectTestSupport.h"
#include "core/ValueTestSupport.h"
#include "core/VariableList.h"
#include "io/IBuffer.h"

namespace {

class InstanceTest : public testing::Test {
protected:
    InstanceTest() : settings(4) {}
    ~InstanceTest() override {
        for (CInstance* instance : made) delete instance;
    }
    CInstance* Make(float x, float y, int32_t id, int32_t object, bool add = true) {
        made.push_back(new CInstance(x, y, id, object, add));
        return made.back();
    }

    GameSettingsScope settings;
    FakeWorld world;
    std::vector<CInstance*> made;
};

TEST_F(InstanceTest, ANewInstanceStartsFromItsDefaultsAndItsObject) {
    FakeObject& ball = world.AddObject(3, "ball");
    ball.defaults = {7, 8, -20.0f, OBJECT_FLAG_SOLID | OBJECT_FLAG_PERSISTENT, false};
    world.sprites[7] = {1, false, 0.0};
    EventPassCounter = 41;
    CInstance* instance = Make(12.5f, -3.0f, 100007, 3);

    for (int32_t a : instance->alarm) EXPECT_EQ(a, -1);
    EXPECT_EQ(instance->image_xscale, 1.0f);
    EXPECT_EQ(instance->image_yscale, 1.0f);
    EXPECT_EQ(instance->image_alpha, 1.0f);
    EXPECT_EQ(instance->image_speed, 1.0f);
    EXPECT_EQ(instance->image_blend, 0xFFFFFFu);
    EXPECT_EQ(instance->gravity_direction, 270.0f);
    EXPECT_EQ(instance->path_index, -1);
    EXPECT_EQ(instance->path_scale, 1.0f);
    EXPECT_EQ(instance->timeline_index, -1);
    EXPECT_EQ(instance->timeline_speed, 1.0f);
    EXPECT_EQ(instance->layer, -1);
    EXPECT_EQ(instance->mouseOverState, 2);
    EXPECT_EQ(instance->collisionPass, -1);
    EXPECT_EQ(instance->xstart, 12.5f);
    EXPECT_EQ(instance->xprevious, 12.5f);
    EXPECT_EQ(instance->ystart, -3.0f);
    EXPECT_EQ(instance->yprevious, -3.0f);
    EXPECT_EQ(instance->creationPass, 41u);
    EXPECT_EQ(instance->id, 100007);
    EXPECT_EQ(instance->objectClass, OBJECT_CLASS_INSTANCE);
    EXPECT_EQ(instance->slotCount, 4);
    EXPECT_EQ(instance->slots, nullptr);
    EXPECT_GE(instance->collectorSlot, 0);
    EXPECT_EQ(instance->movedLink.next, &instance->movedLink);
    // From the object.
    EXPECT_EQ(instance->sprite_index, 7);
    EXPECT_EQ(instance->mask_index, 8);
    EXPECT_EQ(instance->depth, -20.0f);
    EXPECT_TRUE(instance->solid);
    EXPECT_FALSE(instance->visible);
    EXPECT_TRUE(instance->persistent);
    EXPECT_EQ(ball.instances, std::vector<CInstance*>{instance});
    EventPassCounter = 0;
}

TEST_F(InstanceTest, ObjectIndexMinusOneStoresZeroButLooksUpMinusOne) {
    world.AddObject(0, "object zero");
    CInstance* instance = Make(0, 0, 100001, -1);
    EXPECT_EQ(instance->object_index, 0);
    EXPECT_EQ(instance->object, nullptr);
    EXPECT_EQ(world.lookups, std::vector<int32_t>{-1});
}

TEST_F(InstanceTest, EqualDepthsKeepTheirInsertionOrder) {
    InstanceList list;
    float depths[] = {10, 5, 10, 7};
    std::vector<CInstance*> inserted;
    for (float depth : depths) {
        CInstance* instance = Make(0, 0, 100000 + int32_t(inserted.size()), -1);
        instance->depth = depth;
        list.InsertByDepth(instance);
        inserted.push_back(instance);
    }
    std::vector<CInstance*> order;
    for (CInstance* i = list.head; i; i = i->depthNext) order.push_back(i);
    EXPECT_EQ(order, (std::vector<CInstance*>{inserted[1], inserted[3], inserted[0], inserted[2]}));
    EXPECT_EQ(list.tail, inserted[2]);
    EXPECT_EQ(list.count, 4);

    // Backward links agree; removing twice counts once.
    std::vector<CInstance*> backward;
    for (CInstance* i = list.tail; i; i = i->depthPrev) backward.insert(backward.begin(), i);
    EXPECT_EQ(backward, order);
    list.Remove(inserted[3]);
    list.Remove(inserted[3]);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(inserted[1]->depthNext, inserted[0]);
}

TEST_F(InstanceTest, SpriteChangeResetsAnImageIndexPastTheLastFrame) {
    world.sprites[4] = {3, false, 0.0};
    CInstance* instance = Make(0, 0, 100001, -1);
    struct Case {
        float before;
        int32_t sprite;
        float after;
    } cases[] = {{4.5f, 4, 0.0f}, {2.9f, 4, 2.9f}, {3.0f, 4, 0.0f}, {0.5f, 99, 0.0f}};
    for (const Case& c : cases) {
        instance->image_index = c.before;
        instance->SetSpriteIndex(c.sprite);
        EXPECT_EQ(instance->image_index, c.after) << c.before << " on sprite " << c.sprite;
        EXPECT_EQ(instance->sprite_index, c.sprite);
    }
    world.sprites[5] = {0, true, 2.0};  // a 2-second skeleton animation at 30 frames a second
    instance->SetSpriteIndex(5);
    EXPECT_EQ(instance->GetImageNumber(), 60);
}

TEST_F(InstanceTest, ObjectChangeIsTwoPhase) {
    FakeObject& from = world.AddObject(1, "from");
    FakeObject& to = world.AddObject(2, "to");
    to.defaults.depth = 50.0f;
    world.active.InsertByDepth(Make(0, 0, 100001, -1));
    CInstance* instance = Make(0, 0, 100002, 1);
    world.active.InsertByDepth(instance);

    instance->SetObjectIndex(2);
    EXPECT_EQ(instance->object_index, 2);
    EXPECT_EQ(instance->depth, 50.0f);
    EXPECT_EQ(world.queuedChanges, std::vector<CInstance*>{instance});
    EXPECT_EQ(from.instances.size(), 1u);  // still listed under the old object
    EXPECT_TRUE(to.instances.empty());

    instance->RelinkObject();
    EXPECT_TRUE(from.instances.empty());
    EXPECT_EQ(to.instances, std::vector<CInstance*>{instance});
    EXPECT_EQ(world.active.tail, instance);
    EXPECT_EQ(instance->previousObject, nullptr);
}

// Fills every saved field with its own value so a field read into the wrong place shows.
void FillSavedFields(CInstance* instance) {
    float f = 1.25f;
    int32_t i = 11;
    auto nextF = [&f] { return f += 1.0f; };
    auto nextI = [&i] { return i += 3; };
    instance->sprite_index = nextI();
    for (float* p : {&instance->image_index,
                     &instance->image_speed,
                     &instance->image_xscale,
                     &instance->image_yscale,
                     &instance->image_angle,
                     &instance->image_alpha,
                     &instance->depth,
                     &instance->x,
                     &instance->y,
                     &instance->xstart,
                     &instance->ystart,
                     &instance->xprevious,
                     &instance->yprevious,
                     &instance->direction,
                     &instance->speed,
                     &instance->friction,
                     &instance->gravity_direction,
                     &instance->gravity,
                     &instance->hspeed,
                     &instance->vspeed,
                     &instance->path_position,
                     &instance->path_positionprevious,
                     &instance->path_speed,
                     &instance->path_scale,
                     &instance->path_orientation,
                     &instance->pathStartX,
                     &instance->pathStartY,
                     &instance->timelinePrevious,
                     &instance->timeline_position,
                     &instance->timeline_speed})
        *p = nextF();
    instance->image_blend = 0x123456;
    for (int32_t* p : {&instance->mask_index, &instance->bbox_left, &instance->bbox_top,
                       &instance->bbox_right, &instance->bbox_bottom, &instance->path_index,
                       &instance->path_endaction, &instance->timeline_index})
        *p = nextI();
    for (int32_t& a : instance->alarm) a = nextI();
    for (uint8_t* p : {&instance->precise, &instance->visible, &instance->solid, &instance->persistent,
                       &instance->destroyed, &instance->timeline_running, &instance->timeline_loop,
                       &instance->outsideRoom})
        *p = 1;
    instance->boxDirty = 0;
}

void ExpectSavedFieldsEqual(const CInstance* a, const CInstance* b, bool pathStartToo = true) {
    EXPECT_EQ(a->id, b->id);
    EXPECT_EQ(a->deactivated, b->deactivated);
    EXPECT_EQ(a->object_index, b->object_index);
    EXPECT_EQ(a->sprite_index, b->sprite_index);
    EXPECT_EQ(a->image_index, b->image_index);
    EXPECT_EQ(a->image_speed, b->image_speed);
    EXPECT_EQ(a->image_xscale, b->image_xscale);
    EXPECT_EQ(a->image_yscale, b->image_yscale);
    EXPECT_EQ(a->image_angle, b->image_angle);
    EXPECT_EQ(a->image_alpha, b->image_alpha);
    EXPECT_EQ(a->image_blend, b->image_blend);
    EXPECT_EQ(a->mask_index, b->mask_index);
    EXPECT_EQ(a->depth, b->depth);
    EXPECT_EQ(a->precise, b->precise);
    for (auto field : {&CInstance::x,
                       &CInstance::y,
                       &CInstance::xstart,
                       &CInstance::ystart,
                       &CInstance::xprevious,
                       &CInstance::yprevious,
                       &CInstance::direction,
                       &CInstance::speed,
                       &CInstance::friction,
                       &CInstance::gravity_direction,
                       &CInstance::gravity,
                       &CInstance::hspeed,
                       &CInstance::vspeed,
                       &CInstance::path_position,
                       &CInstance::path_positionprevious,
                       &CInstance::path_speed,
                       &CInstance::path_scale,
                       &CInstance::path_orientation,
                       &CInstance::timelinePrevious,
                       &CInstance::timeline_position,
                       &CInstance::timeline_speed})
        EXPECT_EQ(a->*field, b->*field);
    if (pathStartToo) {
        EXPECT_EQ(a->pathStartX, b->pathStartX);
        EXPECT_EQ(a->pathStartY, b->pathStartY);
    }
    EXPECT_EQ(a->bbox_left, b->bbox_left);
    EXPECT_EQ(a->bbox_top, b->bbox_top);
    EXPECT_EQ(a->bbox_right, b->bbox_right);
    EXPECT_EQ(a->bbox_bottom, b->bbox_bottom);
    EXPECT_EQ(a->visible, b->visible);
    EXPECT_EQ(a->solid, b->solid);
    EXPECT_EQ(a->persistent, b->persistent);
    for (int i = 0; i < INSTANCE_ALARM_COUNT; ++i) EXPECT_EQ(a->alarm[i], b->alarm[i]) << "alarm " << i;
    EXPECT_EQ(a->destroyed, b->destroyed);
    EXPECT_EQ(a->path_index, b->path_index);
    EXPECT_EQ(a->path_endaction, b->path_endaction);
    EXPECT_EQ(a->timeline_index, b->timeline_index);
    EXPECT_EQ(a->timeline_running, b->timeline_running);
    EXPECT_EQ(a->timeline_loop, b->timeline_loop);
    EXPECT_EQ(a->outsideRoom, b->outsideRoom);
}

TEST_F(InstanceTest, SaveAndLoadRestoreEveryFieldAndSlot) {
    FakeObject& object = world.AddObject(6, "saved");
    object.defaults = {-1, 2, 99.0f, OBJECT_FLAG_VISIBLE, false};
    CInstance* original = Make(3, 4, 100042, 6);
    FillSavedFields(original);
    *original->GetSlot(0) = RValue_Real(-8.5);
    RValue_CreateString(original->GetSlot(3), "slot three");
    Buffer_Standard buffer;
    original->SaveState(&buffer);

    Buffer_Standard reader(buffer.GetData(), buffer.GetUsedSize(), eBufferType_Fixed, 1, false);
    CInstance* loaded = Make(0, 0, 1, -1);
    ASSERT_TRUE(loaded->LoadState(&reader, true));
    EXPECT_EQ(reader.Seek(1, 0), buffer.GetUsedSize());
    ExpectSavedFieldsEqual(original, loaded);
    EXPECT_EQ(loaded->object, FakeWorld::AsHandle(&object));
    EXPECT_EQ(object.instances.size(), 2u);
    EXPECT_EQ(loaded->GetSlot(0)->val, -8.5);
    EXPECT_STREQ(RValue_GetStringText(loaded->GetSlot(3)), "slot three");
    EXPECT_EQ(loaded->GetSlot(1)->kind, uint32_t(VALUE_UNSET));
}

TEST_F(InstanceTest, ASaveWithFewerSlotsWarnsAndLeavesTheRestUnset) {
    g_VariableSettings.instanceSlotCount = 2;
    CInstance* original = Make(0, 0, 100001, -1);
    *original->GetSlot(0) = RValue_Real(1);
    *original->GetSlot(1) = RValue_Real(2);
    Buffer_Standard buffer;
    original->SaveState(&buffer);

    g_VariableSettings.instanceSlotCount = 4;
    CInstance* loaded = Make(0, 0, 100002, -1);
    Buffer_Standard reader(buffer.GetData(), buffer.GetUsedSize(), eBufferType_Fixed, 1, false);
    ConsoleCapture console;
    ASSERT_TRUE(loaded->LoadState(&reader, false));
    EXPECT_EQ(console.Count("WARNING! game_load variable mismatch - unpredictable results!\n"), 1);
    EXPECT_EQ(loaded->GetSlot(1)->val, 2.0);
    EXPECT_EQ(loaded->GetSlot(2)->kind, uint32_t(VALUE_UNSET));
    EXPECT_EQ(loaded->GetSlot(3)->kind, uint32_t(VALUE_UNSET));
}

// A save from a game with more slots, or with a count it cannot hold, is read without
// writing past what the instance has and without losing step.
TEST_F(InstanceTest, LoadBoundsTheSlotCountOfTheSave) {
    g_VariableSettings.instanceSlotCount = 6;
    CInstance* original = Make(0, 0, 100001, -1);
    for (int32_t i = 0; i < 6; ++i) *original->GetSlot(i) = RValue_Real(i * 10);
    Buffer_Standard buffer;
    original->SaveState(&buffer);
    RValue tail = RValue_Int32(0x7A11);
    buffer.Write(eBuffer_S32, &tail);

    g_VariableSettings.instanceSlotCount = 4;
    CInstance* loaded = Make(0, 0, 100002, -1);
    Buffer_Standard reader(buffer.GetData(), buffer.GetUsedSize(), eBufferType_Fixed, 1, false);
    ConsoleCapture console;
    ASSERT_TRUE(loaded->LoadState(&reader, false));
    EXPECT_EQ(loaded->GetSlot(3)->val, 30.0);
    EXPECT_EQ(loaded->PeekSlot(4), nullptr);
    RValue after = RValue_Undefined();
    ASSERT_EQ(reader.Read(eBuffer_S32, &after), 0);
    EXPECT_EQ(after.val, double(0x7A11));

    // The slot count sits just before the values: make it absurd.
    std::vector<uint8_t> bytes(buffer.GetData(), buffer.GetData() + buffer.GetUsedSize() - 4);
    int32_t countAt = 63 * 4;
    int32_t huge = 0x40000000;
    std::memcpy(bytes.data() + countAt, &huge, 4);
    Buffer_Standard bad(bytes.data(), int32_t(bytes.size()), eBufferType_Fixed, 1, false);
    CInstance* refused = Make(0, 0, 100003, -1);
    EXPECT_FALSE(refused->LoadState(&bad, false));
    EXPECT_EQ(refused->slotHash, nullptr);

    // A record cut short stops where the bytes end.
    Buffer_Standard cut(bytes.data(), 40, eBufferType_Fixed, 1, false);
    EXPECT_FALSE(Make(0, 0, 100004, -1)->LoadState(&cut, false));
}

TEST_F(InstanceTest, CopyTakesStateAndSharesSlotValues) {
    FakeObject& object = world.AddObject(2, "copied");
    CInstance* source = Make(5, 6, 100010, 2);
    FillSavedFields(source);
    source->layer = 17;
    source->deactivated = 1;
    Held text("carried along");
    RValue_Assign(source->GetSlot(2), &text.v);

    CInstance* copy = Make(0, 0, 100011, -1);
    copy->carried = 1;
    *copy->GetSlot(0) = RValue_Real(1);  // replaced by the source's slots
    copy->CopyFrom(source, true);

    ExpectSavedFieldsEqual(source, copy, false);
    EXPECT_EQ(copy->pathStartX, 0.0f);  // a copy starts its own path
    EXPECT_EQ(copy->carried, 0);
    EXPECT_EQ(copy->layer, 17);
    EXPECT_EQ(copy->object, source->object);
    EXPECT_EQ(object.instances.size(), 2u);
    EXPECT_EQ(copy->PeekSlot(0), nullptr);
    ASSERT_NE(copy->PeekSlot(2), nullptr);
    EXPECT_NE(copy->PeekSlot(2), source->PeekSlot(2));
    EXPECT_EQ(text.v.str->refCount, 3);
}

TEST_F(InstanceTest, InstancesAreFoundById) {
    CInstance* five = Make(0, 0, 5, -1);
    CInstance* other = Make(0, 0, 517, -1);
    Instance_IdHash().Insert(5, five);
    Instance_IdHash().Insert(517, other);
    EXPECT_EQ(Instance_Find(5), five);
    EXPECT_EQ(Instance_Find(517), other);
    EXPECT_EQ(Instance_Find(-5), nullptr);
    Instance_IdHash().Delete(5);
    Instance_IdHash().Delete(517);
}

TEST_F(InstanceTest, FreeAllDeletesEveryInstanceOfTheIdHash) {
    FakeObject& object = world.AddObject(1, "listed");
    for (int32_t id = 100000; id < 100003; ++id)
        Instance_IdHash().Insert(id, new CInstance(0, 0, id, 1, true));
    EXPECT_EQ(object.instances.size(), 3u);
    Instance_FreeAll();
    EXPECT_EQ(Instance_IdHash().Count(), 0);
    EXPECT_TRUE(object.instances.empty());
}

}  // namespace
