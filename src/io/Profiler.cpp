#include "io/Profiler.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>

#include "core/Code_Function.h"
#include "core/Code_Main.h"
#include "core/Console.h"
#include "core/ProfilerScope.h"
#include "core/Timing.h"
#include "io/LoadSave.h"

Profiler g_Profiler;

namespace {

constexpr const char* kSectionNames[] = {
    "HandleCollision",
    "Collision_Instance",
    "Compute_BoundingBox",
    "PreciseCollision",
    "HandleStep",
    "HandleInstanceMovement",
    "PhysicsWorldUpdate",
    "UpdateActiveLists",
    "HandleAlarm",
    "HandleMouse",
    "HandleOther",
    "ParticleSystem_UpdateAll",
    "DrawRoom",
    "DrawTheRoom",
    "GraphicsFlush",
    "SpriteDraw",
    "SpriteDrawSimple",
    "SoundTick",
    "ProcessMessages",
    "Mainloop_Process",
    "RoomSpeedSync",
    "DoAStep",
    "RoundTrip",
    "ProfileCode",
    "TickDebugger",
    "Start_Frame",
    "End_Frame",
};
static_assert(std::size(kSectionNames) == PROFILE_SECTION_COUNT, "one name per section");

constexpr size_t kDumpPathCapacity = 1024;
constexpr uint32_t kIdMask = 0x0FFFFFFF;

uint32_t Key(int32_t category, int32_t id) {
    return (static_cast<uint32_t>(category) << 28) | (static_cast<uint32_t>(id) & kIdMask);
}

void ScopeBegin(int32_t category, int32_t id) {
    g_Profiler.Begin(category, id);
}
void ScopeEnd() {
    g_Profiler.End();
}

}  // namespace

const char* Profiler_SectionName(int32_t section) {
    return section >= 0 && section < PROFILE_SECTION_COUNT ? kSectionNames[section] : nullptr;
}

void Profiler::Start(const char* dumpFile, int32_t intervalSeconds, const char* gamePath) {
    m_overhead = m_frameStart = m_frameTotal = m_stepStart = m_stepTotal = m_lastStepTime = 0;
    m_frames = 0;
    m_dumpTimerStart = 0;
    m_stack.clear();
    m_stack.reserve(10);
    m_nodes.clear();
    m_nodes.reserve(128);
    m_nodes.push_back({0, 0, 0, -1, -1, 0});
    m_current = 0;
    m_builtinCount = Code_Function_Count();
    m_codeCount = 0;
    for (CCode* code = Code_ListHead(); code != nullptr; code = code->next)
        m_codeCount = std::max(m_codeCount, code->index + 1);
    m_codeNames.clear();
    m_codeNamesBuilt = false;
    m_interval = intervalSeconds;
    m_gamePath = gamePath ? gamePath : "";
    m_recording = false;
    m_dumpFile.clear();
    if (dumpFile != nullptr && *dumpFile != '\0') {
        m_recording = true;
        if (std::strchr(dumpFile, '/') != nullptr) {
            m_dumpFile = dumpFile;
        } else {
            char path[kDumpPathCapacity];
            m_dumpFile = LoadSave_GetSavePath(path, sizeof path, dumpFile) ? path : dumpFile;
        }
    }
    m_initialised = true;
    ProfilerScope_SetHooks(ScopeBegin, ScopeEnd);
}

void Profiler::FrameBegin() {
    if (!m_recording) {
        g_ProfilerActive = false;
        m_frameStart = 0;
        return;
    }
    g_ProfilerActive = true;
    m_inFrame = true;
    m_overhead = 0;
    m_stack.clear();
    m_current = 0;
    m_frameStart = Timing_Time();
}

void Profiler::FrameEnd() {
    m_inFrame = false;
    if (!g_ProfilerActive) return;
    g_ProfilerActive = false;
    ++m_frames;
    const int64_t now = Timing_Time();
    m_frameTotal += now - m_overhead - m_frameStart;
    if (!m_recording || m_interval <= 0) return;
    if (m_dumpTimerStart == 0) {
        m_dumpTimerStart = now;
    } else if (now - m_dumpTimerStart > static_cast<int64_t>(m_interval) * 1000000) {
        Dump();
        m_dumpTimerStart = now;
    }
}

void Profiler::BeginStep() {
    if (!g_ProfilerActive) return;
    m_stepStart = Timing_Time() - m_overhead;
    m_lastStepTime = 0;
    Begin(PROFILE_SECTION, PROFILE_DO_A_STEP);
}

void Profiler::EndStep() {
    if (!g_ProfilerActive) return;
    End();
    m_lastStepTime = Timing_Time() - m_overhead - m_stepStart;
    m_stepTotal += m_lastStepTime;
}

int32_t Profiler::ChildWithKey(int32_t parent, uint32_t key) {
    int32_t last = -1;
    for (int32_t child = m_nodes[parent].firstChild; child >= 0; child = m_nodes[child].nextSibling) {
        if (m_nodes[child].key == key) return child;
        last = child;
    }
    if (m_nodes.size() + 1 >= m_nodes.capacity()) m_nodes.reserve(m_nodes.capacity() * 2);
    const int32_t added = static_cast<int32_t>(m_nodes.size());
    m_nodes.push_back({key, 0, 0, -1, -1, 0});
    if (last < 0)
        m_nodes[parent].firstChild = added;
    else
        m_nodes[last].nextSibling = added;
    return added;
}

void Profiler::Begin(int32_t category, int32_t id) {
    if (!m_initialised) return;
    const int64_t t0 = Timing_Time();
    const uint32_t key = Key(category, id);
    const int32_t node = ChildWithKey(m_current, key);
    m_current = node;
    m_stack.push_back({key, node, 0});
    const int64_t t1 = Timing_Time();
    m_overhead += t1 - t0;
    m_stack.back().start = t1 - m_overhead;
}

void Profiler::End() {
    if (m_stack.empty()) return;
    const int64_t t = Timing_Time();
    const Scope scope = m_stack.back();
    m_stack.pop_back();
    Node& node = m_nodes[scope.node];
    const int64_t elapsed = t - (m_overhead + scope.start);
    ++node.calls;
    node.time += elapsed;
    node.frameTime += elapsed;
    m_current = m_stack.empty() ? 0 : m_stack.back().node;
}

std::string Profiler::EntryName(uint32_t key) const {
    const int32_t category = static_cast<int32_t>(key >> 28);
    const int32_t id = static_cast<int32_t>(key & kIdMask);
    if (category == PROFILE_SECTION && id < PROFILE_SECTION_COUNT)
        return std::string("[") + kSectionNames[id] + "]";
    if (category == PROFILE_CODE && id < m_codeCount && id < static_cast<int32_t>(m_codeNames.size()))
        return m_codeNames[id];
    if (category == PROFILE_BUILTIN && id < m_builtinCount) {
        const char* name = nullptr;
        BuiltinProc function = nullptr;
        int32_t argc = 0;
        Code_Function_GetInfo(id, &name, &function, &argc);
        if (name != nullptr) return name;
    }
    return "<?>";
}

void Profiler::Dump() {
    // The save area's folder is made on its first write.
    if (!m_dumpFile.empty()) File_CreateDirectoryForFile(m_dumpFile.c_str());
    FILE* file = m_dumpFile.empty() ? nullptr : LoadSave_wfopen(m_dumpFile.c_str(), "w");
    DebugConsole.Output("Dumping profile data to %s\n", m_dumpFile.c_str());
    if (file == nullptr) {
        DebugConsole.Output("...FAILED to open file\n");
        return;
    }
    if (!m_codeNamesBuilt) {
        m_codeNames.assign(static_cast<size_t>(m_codeCount), "<?>");
        for (CCode* code = Code_ListHead(); code != nullptr; code = code->next)
            if (code->index >= 0 && code->index < m_codeCount && code->name != nullptr)
                m_codeNames[code->index] = code->name;
        m_codeNamesBuilt = true;
    }
    struct Entry {
        uint32_t key;
        int64_t calls, time;
    };
    std::map<uint32_t, Entry> merged;
    for (size_t i = 1; i < m_nodes.size(); ++i) {
        Entry& entry = merged.try_emplace(m_nodes[i].key, Entry{m_nodes[i].key, 0, 0}).first->second;
        entry.calls += m_nodes[i].calls;
        entry.time += m_nodes[i].time;
    }
    std::vector<Entry> entries;
    entries.reserve(merged.size());
    for (const auto& [key, entry] : merged) entries.push_back(entry);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.time > b.time; });

    // Before the first frame there is nothing to average: the averages read 0.
    const double frames = m_frames > 0 ? static_cast<double>(m_frames) : 1.0;
    std::fprintf(file, "%s (%s)\n", m_gamePath.c_str(), "Linux");
    std::fprintf(file, "%-30s %" PRId64 "\n", "Frame Count:", m_frames);
    std::fprintf(file, "%-30s %" PRId64 "\n", "Frame total ms:", m_frameTotal / 1000);
    std::fprintf(file, "%-30s %.2f\n",
                 "Average frame time(ms):", static_cast<double>(m_frameTotal) / frames / 1000.0);
    std::fprintf(file, "%-30s %.2f\n",
                 "Average step time(ms):", static_cast<double>(m_stepTotal) / frames / 1000.0);
    std::fprintf(file, "\n");
    std::fprintf(file, "%-50s %-12s %-12s %s\n", "CALL", "MS/FRAME", "MS/CALL", "CALLS/FRAME");
    for (const Entry& entry : entries) {
        const double time = static_cast<double>(entry.time);
        const double calls = entry.calls > 0 ? static_cast<double>(entry.calls) : 1.0;
        std::fprintf(file, "%-50s %-12.3f %-12.3f %.3f\n", EntryName(entry.key).c_str(),
                     time / frames / 1000.0, time / calls / 1000.0,
                     static_cast<double>(entry.calls) / frames);
    }
    std::fclose(file);
}

void Profiler::Shutdown() {
    ProfilerScope_SetHooks(nullptr, nullptr);
    g_ProfilerActive = false;
    m_stack = {};
    m_nodes = {};
    m_codeNames = {};
    m_dumpFile = {};
    m_gamePath = {};
    m_initialised = m_recording = m_inFrame = m_codeNamesBuilt = false;
}
