// Running moments: one at a time for PerformTimelineMoment, and the time-line stage.
#include "core/Instance.h"
#include "core/Script_Main.h"
#include "core/Value.h"
#include "world/Event_Main.h"
#include "world/World_Step.h"
#include "world/Room_Class.h"
#include "world/Run.h"
#include "world/TimeLine.h"

namespace {

// Moments in [from, to) ascending, or (to, from] descending. The time line is looked up again
// before every moment, since a moment may change or delete it.
void RunMoments(CInstance* instance, int32_t index, int32_t from, int32_t to, bool descending) {
    for (int32_t m = from; descending ? m > to : m < to; m += descending ? -1 : 1) {
        const CTimeLine* line = TimeLine_Get(index);
        if (line == nullptr || m < 0 || m >= line->GetCount()) return;
        PerformTimelineMoment(instance, instance, index, m);
    }
}

void StepTimeLine(CInstance* instance, const CTimeLine* line) {
    const int32_t index = instance->timeline_index;
    const float p = instance->timeline_position;
    const float s = instance->timeline_speed;
    float q = p;
    if (s == 0.0f) {
        // Moments a change of position made by game code passed over since the last stage.
        RunMoments(instance, index, line->FirstAtOrAfter(instance->timelinePrevious), line->FirstAtOrAfter(p),
                   false);
    } else if (s > 0.0f) {
        q = p + s;
        RunMoments(instance, index, line->FirstAtOrAfter(p), line->FirstAtOrAfter(q), false);
    } else {
        q = p + s;
        RunMoments(instance, index, line->LastAtOrBefore(p), line->LastAtOrBefore(q), true);
    }
    // A moment that moved the position keeps its position.
    if (instance->timeline_position == p) instance->timeline_position = q;
    instance->timelinePrevious = p;
    if (!instance->timeline_loop) return;
    const CTimeLine* now = TimeLine_Get(index);
    if (now == nullptr || now->GetCount() == 0) return;
    const float last = static_cast<float>(now->GetTime(now->GetCount() - 1));
    if (s >= 0.0f && instance->timeline_position > last) instance->timeline_position = 0.0f;
    if (s < 0.0f && instance->timeline_position < 0.0f) instance->timeline_position = last;
}

}  // namespace

void PerformTimelineMoment(CInstance* self, CInstance* other, int32_t timeLine, int32_t moment) {
    if (NewRoomCode != ROOM_NO_CHANGE) return;
    const CTimeLine* line = TimeLine_Get(timeLine);
    if (line == nullptr) return;
    const uintptr_t entry = line->GetEvent(moment);
    if (entry == 0) return;
    const CurrentEvent saved = g_CurrentEvent;
    g_CurrentEvent.object = timeLine;
    g_CurrentEvent.type = EVENT_TIMELINE_MOMENT;
    g_CurrentEvent.number = line->GetTime(moment);
    if ((entry & 1u) != 0) {
        RValue result{};
        Script_Run(static_cast<int32_t>(entry >> 1), self, other, 0, &result, nullptr);
        RValue_Free(&result);
    } else {
        reinterpret_cast<CEvent*>(entry)->Execute(self, other);
    }
    g_CurrentEvent.object = saved.object;
    g_CurrentEvent.type = saved.type;
    g_CurrentEvent.number = saved.number;
}

void HandleTimeLines() {
    CRoom* room = Run_Room();
    if (room == nullptr) return;
    const uint64_t pass = EventPassCounter++;
    for (CInstance* instance = room->active.head; instance != nullptr;) {
        CInstance* next = instance->depthNext;
        if (!instance->destroyed && !instance->deactivated && instance->creationPass <= pass &&
            instance->timeline_running && instance->timeline_index >= 0) {
            const CTimeLine* line = TimeLine_Get(instance->timeline_index);
            if (line != nullptr && line->GetCount() > 0) StepTimeLine(instance, line);
        }
        instance = next;
    }
}
