// The frame profiler: built-in calls, code runs and timed engine sections of every frame, kept
// in a tree of nested scopes with the profiler's own cost taken out, and reported to a text
// file every so many seconds and at the end of the run ("-profiledump FILE SECONDS").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Timed sections of the engine (category 6) and their report names.
enum ProfileSection : int32_t {
    PROFILE_HANDLE_COLLISION = 0,
    PROFILE_COLLISION_INSTANCE,
    PROFILE_COMPUTE_BOUNDING_BOX,
    PROFILE_PRECISE_COLLISION,
    PROFILE_HANDLE_STEP,
    PROFILE_HANDLE_INSTANCE_MOVEMENT,
    PROFILE_PHYSICS_WORLD_UPDATE,
    PROFILE_UPDATE_ACTIVE_LISTS,
    PROFILE_HANDLE_ALARM,
    PROFILE_HANDLE_MOUSE,
    PROFILE_HANDLE_OTHER,
    PROFILE_PARTICLES_UPDATE_ALL,
    PROFILE_DRAW_ROOM,
    PROFILE_DRAW_THE_ROOM,
    PROFILE_GRAPHICS_FLUSH,
    PROFILE_SPRITE_DRAW,
    PROFILE_SPRITE_DRAW_SIMPLE,
    PROFILE_SOUND_TICK,
    PROFILE_PROCESS_MESSAGES,
    PROFILE_MAINLOOP_PROCESS,
    PROFILE_ROOM_SPEED_SYNC,
    PROFILE_DO_A_STEP,
    PROFILE_ROUND_TRIP,
    PROFILE_PROFILE_CODE,
    PROFILE_TICK_DEBUGGER,
    PROFILE_START_FRAME,
    PROFILE_END_FRAME,
    PROFILE_SECTION_COUNT
};
const char* Profiler_SectionName(int32_t section);  // null outside the table

class Profiler {
public:
    // Starts measuring; with a dump file, recording from the next frame. A name without a
    // folder part goes into the save area. gamePath heads each report.
    void Start(const char* dumpFile, int32_t intervalSeconds, const char* gamePath);
    void FrameBegin();
    void FrameEnd();
    void BeginStep();
    void EndStep();
    // Scopes; callers open them only while g_ProfilerActive is set.
    void Begin(int32_t category, int32_t id);
    void End();
    // Rewrites the report file with the totals of the run so far.
    void Dump();
    void Shutdown();

    bool Recording() const { return m_recording; }
    int64_t Overhead() const { return m_overhead; }
    const std::string& DumpFile() const { return m_dumpFile; }

private:
    struct Node {
        uint32_t key;
        int64_t calls;
        int64_t time;
        int32_t firstChild;
        int32_t nextSibling;
        int64_t frameTime;
    };
    struct Scope {
        uint32_t key;
        int32_t node;
        int64_t start;
    };
    int32_t ChildWithKey(int32_t parent, uint32_t key);
    std::string EntryName(uint32_t key) const;

    int64_t m_overhead = 0;
    std::vector<Scope> m_stack;
    std::vector<Node> m_nodes;
    bool m_initialised = false, m_recording = false, m_inFrame = false;
    std::string m_dumpFile;
    std::string m_gamePath;
    int64_t m_dumpTimerStart = 0;
    std::vector<std::string> m_codeNames;
    bool m_codeNamesBuilt = false;
    int32_t m_interval = 0;
    int64_t m_frames = 0;
    int32_t m_builtinCount = 0, m_codeCount = 0;
    int64_t m_frameStart = 0, m_frameTotal = 0, m_stepStart = 0, m_stepTotal = 0, m_lastStepTime = 0;
    int32_t m_current = 0;
};

extern Profiler g_Profiler;
