// Time lines: lists of moments (a step count and a handler), read from "TMLN" or built at run
// time, and the stage that runs the moments an instance's time-line position passes.
#pragma once

#include <cstdint>

class CEvent;
class CInstance;
class ChunkView;

class CTimeLine {
public:
    CTimeLine() = default;
    virtual ~CTimeLine();
    CTimeLine(const CTimeLine&) = delete;
    CTimeLine& operator=(const CTimeLine&) = delete;

    // Reads an entry at file offset `entry`: name, moment count and {time, event record}.
    void LoadFromChunk(ChunkView& chunk, uint32_t entry);
    bool Compile(int32_t index);

    int32_t GetCount() const { return m_count; }
    // A moment's handler word: a CEvent, a script as index * 2 + 1 (odd), or 0; 0 outside.
    uintptr_t GetEvent(int32_t i) const { return i >= 0 && i < m_count ? m_events[i] : 0; }
    int32_t GetTime(int32_t i) const { return i >= 0 && i < m_count ? m_times[i] : 0; }
    int32_t FindMoment(int32_t time) const;
    // First index with time >= position (the count when past the last); 0 when empty.
    int32_t FirstAtOrAfter(double position) const;
    // Last index with time <= position; -1 when empty or before the first.
    int32_t LastAtOrBefore(double position) const;

    void AddMoment(int32_t time, int32_t script);
    void SetMomentScript(int32_t time, int32_t script);
    void ClearMoment(int32_t time);
    void Clear();

private:
    void Resize(int32_t count);
    static void ReleaseEntry(uintptr_t entry);

    int32_t m_count = 0;
    uintptr_t* m_events = nullptr;
    int32_t* m_times = nullptr;
};

void TimeLine_Init();
// The "TMLN" reader.
void TimeLine_Load(ChunkView& chunk);
// "TimeLine_Prepare() ": compiles every moment; true.
bool TimeLine_Prepare();
// When the data file is released, and at shutdown: every time line and name freed.
void TimeLine_Free();
void TimeLine_FreeAll();

int32_t TimeLine_Count();
bool TimeLine_Exists(int32_t index);
CTimeLine* TimeLine_Get(int32_t index);
const char* TimeLine_GetName(int32_t index);
int32_t TimeLine_FindByName(const char* name);
int32_t TimeLine_Add();
// Deletes the time line and leaves its slot empty, so no other index moves.
bool TimeLine_Delete(int32_t index);

// Runs one moment for (self, other); nothing while a room change is pending.
void PerformTimelineMoment(CInstance* self, CInstance* other, int32_t timeLine, int32_t moment);
// The time-line stage of the step.
void HandleTimeLines();
