#include <cstdio>
#include <cstring>

#include "core/MemoryManager.h"
#include "core/ResourceTable.h"
#include "world/Event_Main.h"
#include "base/GameFile.h"
#include "world/Object_Class.h"
#include "world/TimeLine.h"

namespace {

constexpr uint32_t kActionCodeIndexAt = 32;

ResourceTable<CTimeLine> g_timeLines;
char** g_names = nullptr;

bool IsScript(uintptr_t entry) {
    return (entry & 1u) != 0;
}
uintptr_t ScriptEntry(int32_t script) {
    return static_cast<uintptr_t>(script) * 2 + 1;
}


void ResizeTable(int32_t count) {
    for (int32_t i = count; i < g_timeLines.count; ++i) {
        delete g_timeLines.slots[i];
        MEM_FREE(g_names[i]);
    }
    if (count == 0) {
        MEM_FREE(g_timeLines.slots);
        MEM_FREE(g_names);
        g_timeLines.slots = nullptr;
        g_names = nullptr;
    } else {
        g_timeLines.slots =
            static_cast<CTimeLine**>(MEM_REALLOC(g_timeLines.slots, count * sizeof(CTimeLine*)));
        g_names = static_cast<char**>(MEM_REALLOC(g_names, count * sizeof(char*)));
    }
    g_timeLines.count = count;
}

// A moment's event record {action count, action offsets}: the first action's code index.
int32_t FirstActionCode(ChunkView& chunk, uint32_t record) {
    if (chunk.FileU32(record) == 0) return -1;
    return chunk.FileI32(chunk.FileU32(record + 4) + kActionCodeIndexAt);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CTimeLine

CTimeLine::~CTimeLine() {
    Clear();
}

void CTimeLine::ReleaseEntry(uintptr_t entry) {
    if (entry != 0 && !IsScript(entry)) delete reinterpret_cast<CEvent*>(entry);
}

void CTimeLine::Resize(int32_t count) {
    if (count == 0) {
        MEM_FREE(m_events);
        MEM_FREE(m_times);
        m_events = nullptr;
        m_times = nullptr;
    } else {
        m_events = static_cast<uintptr_t*>(MEM_REALLOC(m_events, count * sizeof(uintptr_t)));
        m_times = static_cast<int32_t*>(MEM_REALLOC(m_times, count * sizeof(int32_t)));
    }
    m_count = count;
}

void CTimeLine::Clear() {
    for (int32_t i = 0; i < m_count; ++i) ReleaseEntry(m_events[i]);
    Resize(0);
}

void CTimeLine::LoadFromChunk(ChunkView& chunk, uint32_t entry) {
    Clear();
    const uint32_t count = chunk.FileCount(entry + 4, 8);
    if (!chunk.Ok() || count == 0) return;
    Resize(static_cast<int32_t>(count));
    for (uint32_t i = 0; i < count; ++i) {
        m_times[i] = chunk.FileI32(entry + 8 + 8 * i);
        auto* event = new CEvent();
        event->Load(FirstActionCode(chunk, chunk.FileU32(entry + 12 + 8 * i)));
        m_events[i] = reinterpret_cast<uintptr_t>(event);
    }
}

bool CTimeLine::Compile(int32_t index) {
    g_CurrentEvent.object = index;
    g_CurrentEvent.type = EVENT_TIMELINE_MOMENT;
    for (int32_t i = 0; i < m_count; ++i) {
        g_CurrentEvent.number = m_times[i];
        if (m_events[i] != 0 && !IsScript(m_events[i])) reinterpret_cast<CEvent*>(m_events[i])->Compile();
    }
    return true;
}

int32_t CTimeLine::FindMoment(int32_t time) const {
    for (int32_t i = 0; i < m_count; ++i)
        if (m_times[i] == time) return i;
    return -1;
}

int32_t CTimeLine::FirstAtOrAfter(double position) const {
    if (m_count == 0) return 0;
    if (position > m_times[m_count - 1]) return m_count;
    int32_t low = 0, high = m_count - 1;
    while (low < high) {
        const int32_t mid = (low + high) / 2;
        if (m_times[mid] >= position)
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

int32_t CTimeLine::LastAtOrBefore(double position) const {
    if (m_count == 0 || position < m_times[0]) return -1;
    int32_t low = 0, high = m_count - 1;
    while (low < high) {
        const int32_t mid = (low + high + 1) / 2;
        if (m_times[mid] <= position)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

void CTimeLine::AddMoment(int32_t time, int32_t script) {
    int32_t at = 0;
    for (int32_t i = m_count - 1; i >= 0; --i) {
        if (m_times[i] < time) {
            at = i + 1;
            break;
        }
    }
    Resize(m_count + 1);
    for (int32_t i = m_count - 1; i > at; --i) {
        m_times[i] = m_times[i - 1];
        m_events[i] = m_events[i - 1];
    }
    m_times[at] = time;
    m_events[at] = ScriptEntry(script);
}

void CTimeLine::SetMomentScript(int32_t time, int32_t script) {
    const int32_t i = FindMoment(time);
    if (i < 0) return;
    ReleaseEntry(m_events[i]);
    m_events[i] = ScriptEntry(script);
}

void CTimeLine::ClearMoment(int32_t time) {
    if (m_count == 0) return;
    int32_t i = FirstAtOrAfter(time);
    if (i >= m_count) i = m_count - 1;
    if (m_times[i] != time) return;
    ReleaseEntry(m_events[i]);
    for (int32_t k = i; k + 1 < m_count; ++k) {
        m_times[k] = m_times[k + 1];
        m_events[k] = m_events[k + 1];
    }
    Resize(m_count - 1);
}

// ---------------------------------------------------------------------------------------------
// The table

void TimeLine_Init() {
    TimeLine_Free();
}

void TimeLine_Load(ChunkView& chunk) {
    const uint32_t count = chunk.Count(0, 4);
    if (!chunk.Ok()) return;
    ResizeTable(0);
    ResizeTable(static_cast<int32_t>(count));
    for (uint32_t i = 0; i < count; ++i) {
        g_timeLines.slots[i] = nullptr;
        g_names[i] = nullptr;
    }
    for (uint32_t i = 0; i < count && chunk.Ok(); ++i) {
        const uint32_t entry = chunk.U32(4 + 4 * i);
        if (entry == 0) continue;
        auto* line = new CTimeLine();
        line->LoadFromChunk(chunk, entry);
        g_timeLines.slots[i] = line;
        g_names[i] = MEM_COPY_TEXT(chunk.RequiredString(chunk.FileU32(entry)));
    }
}

bool TimeLine_Prepare() {
    for (int32_t i = 0; i < g_timeLines.count; ++i)
        if (g_timeLines.slots[i] != nullptr) g_timeLines.slots[i]->Compile(i);
    return true;
}

void TimeLine_Free() {
    ResizeTable(0);
}
void TimeLine_FreeAll() {
    ResizeTable(0);
}

int32_t TimeLine_Count() {
    return g_timeLines.count;
}
bool TimeLine_Exists(int32_t index) {
    return TimeLine_Get(index) != nullptr;
}

CTimeLine* TimeLine_Get(int32_t index) {
    return g_timeLines.Get(index);
}

const char* TimeLine_GetName(int32_t index) {
    return TimeLine_Exists(index) && g_names[index] != nullptr ? g_names[index] : "<undefined>";
}

int32_t TimeLine_FindByName(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < g_timeLines.count; ++i)
        if (g_timeLines.slots[i] != nullptr && g_names[i] != nullptr && std::strcmp(g_names[i], name) == 0)
            return i;
    return -1;
}

int32_t TimeLine_Add() {
    const int32_t index = g_timeLines.count;
    ResizeTable(g_timeLines.count + 1);
    char name[64];
    std::snprintf(name, sizeof name, "__newtimeline%d", index);
    g_names[index] = MEM_COPY_TEXT(name);
    g_timeLines.slots[index] = new CTimeLine();
    return index;
}

bool TimeLine_Delete(int32_t index) {
    if (!TimeLine_Exists(index)) return false;
    delete g_timeLines.slots[index];
    MEM_FREE(g_names[index]);
    g_timeLines.slots[index] = nullptr;
    g_names[index] = nullptr;
    return true;
}
