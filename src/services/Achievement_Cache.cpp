#include "services/Achievement_Cache.h"

#include <cstring>
#include <list>
#include <mutex>

#include "core/MemoryManager.h"
#include "core/Thread.h"
#include "io/LoadSave.h"

namespace {

struct PendingList {
    std::list<AchievementEntry> entries;
    std::list<AchievementEntry>::iterator current;
    bool hasCurrent = false;
    bool dirty = false;
    AchievementPumpState state = ACHIEVEMENT_IDLE;
    int32_t pause = 0;
};

PendingList g_pending;
bool g_available = false;
AchievementService* g_service = nullptr;

Mutex& CacheLock() {
    static Mutex lock("comsachievementcache");
    return lock;
}

// The platform's player id; this platform has one player.
const char* PlayerId() {
    return "player";
}

// The cache lives in the save area; a game without one (no name yet) keeps none.
bool HasSaveArea() {
    return !LoadSave_GetSaveArea().empty();
}

uint32_t ReadLE32(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
void WriteLE32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool Append(uint32_t kind, const char* name, uint32_t value) {
    if (static_cast<int32_t>(g_pending.entries.size()) >= kAchievementPendingMax) return false;
    g_pending.entries.push_back({kind, name != nullptr ? name : "", value});
    g_pending.dirty = true;
    return true;
}

void DeleteCurrent() {
    if (!g_pending.hasCurrent) return;
    g_pending.entries.erase(g_pending.current);
    g_pending.hasCurrent = false;
    g_pending.dirty = true;
    Pell_SaveAchievementCache();
}

// Hands the first entry to the service (none here: the send is not made).
void SendFirst() {
    g_pending.current = g_pending.entries.begin();
    g_pending.hasCurrent = true;
    g_pending.state = ACHIEVEMENT_WAITING;
    const AchievementEntry& entry = *g_pending.current;
    if (entry.kind == 1) {
        if (g_service) g_service->SendInt(entry.kind, entry.name.c_str(), static_cast<int32_t>(entry.value));
    } else if (entry.kind == 2 || entry.kind == 3) {
        float value;
        std::memcpy(&value, &entry.value, sizeof value);
        if (g_service) g_service->SendFloat(entry.kind, entry.name.c_str(), value);
    } else {
        DeleteCurrent();
        g_pending.pause = kAchievementPauseSteps;
        g_pending.state = ACHIEVEMENT_PAUSING;
    }
}

}  // namespace

void Pell_SetAchievementService(AchievementService* service) {
    g_service = service;
}

std::string Pell_AchievementCacheName() {
    return std::string(PlayerId()) + "achievementcache.dat";
}

void Pell_ResetAchievements() {
    std::lock_guard<Mutex> hold(CacheLock());
    g_pending = PendingList{};
}

// Records are walked while a whole one remains: a kind, a name up to its zero byte and a value.
// Loading adds the entries, then saves the list once, which leaves the file as saving after
// each addition would.
bool Pell_LoadAchievementCache() {
    if (!g_pending.entries.empty() || !HasSaveArea()) return false;
    const std::string name = Pell_AchievementCacheName();
    int64_t size = 0;
    auto* block = static_cast<uint8_t*>(LoadSave_ReadSaveFile(name.c_str(), &size));
    if (block == nullptr) return false;
    bool added = false;
    for (int64_t at = 0; at + 4 <= size;) {
        const uint32_t kind = ReadLE32(block + at);
        const auto* text = reinterpret_cast<const char*>(block + at + 4);
        const void* end = std::memchr(text, 0, static_cast<size_t>(size - at - 4));
        if (end == nullptr) break;
        const int64_t length = static_cast<const char*>(end) - text;
        const int64_t valueAt = at + 4 + length + 1;
        if (valueAt + 4 > size) break;
        added = Append(kind, text, ReadLE32(block + valueAt)) || added;
        at = valueAt + 4;
    }
    MEM_FREE(block);
    if (added) Pell_SaveAchievementCache();
    return false;
}

void Pell_SaveAchievementCache() {
    if (!g_pending.entries.empty() && HasSaveArea()) {
        size_t total = 0;
        for (const AchievementEntry& entry : g_pending.entries) total += entry.name.size() + 9;
        std::vector<uint8_t> block(total);
        uint8_t* out = block.data();
        for (const AchievementEntry& entry : g_pending.entries) {
            WriteLE32(out, entry.kind);
            std::memcpy(out + 4, entry.name.c_str(), entry.name.size() + 1);
            WriteLE32(out + 5 + entry.name.size(), entry.value);
            out += entry.name.size() + 9;
        }
        LoadSave_WriteFile(Pell_AchievementCacheName().c_str(), block.data(),
                           static_cast<int64_t>(block.size()));
    }
    g_pending.dirty = false;
}

void Pell_AddPending(uint32_t kind, const char* name, uint32_t value) {
    if (Append(kind, name, value)) Pell_SaveAchievementCache();
}

void Pell_SetAchievementsAvailable(bool available) {
    g_available = available;
}

bool Pell_AchievementsAvailable() {
    return g_available;
}

void Pell_ProcessPending() {
    if (!g_available || g_pending.entries.empty()) return;
    std::lock_guard<Mutex> hold(CacheLock());
    switch (g_pending.state) {
        case ACHIEVEMENT_IDLE:
            SendFirst();
            break;
        case ACHIEVEMENT_SUCCEEDED:
            DeleteCurrent();
            g_pending.state = ACHIEVEMENT_IDLE;
            break;
        case ACHIEVEMENT_FAILED:
            g_pending.pause = kAchievementPauseSteps;
            g_pending.state = ACHIEVEMENT_PAUSING;
            if (g_pending.hasCurrent) {
                g_pending.entries.splice(g_pending.entries.end(), g_pending.entries, g_pending.current);
                g_pending.dirty = true;
            }
            Pell_SaveAchievementCache();
            g_pending.hasCurrent = false;
            break;
        case ACHIEVEMENT_PAUSING:
            if (g_pending.pause > 0)
                --g_pending.pause;
            else
                g_pending.state = ACHIEVEMENT_IDLE;
            break;
        default:
            break;
    }
}

void Pell_SetAchievementOutcome(AchievementPumpState state) {
    std::lock_guard<Mutex> hold(CacheLock());
    g_pending.state = state;
}

std::vector<AchievementEntry> Pell_PendingEntries() {
    return {g_pending.entries.begin(), g_pending.entries.end()};
}

AchievementPumpState Pell_AchievementPumpState() {
    return g_pending.state;
}
