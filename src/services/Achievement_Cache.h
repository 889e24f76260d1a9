// The achievement cache: achievement events wait in a pending list, kept in a file named after
// the achievement service's player, and a pump hands them one at a time to the service. A
// failure sends the entry to the back of the list and pauses the pump for 600 steps. Here the
// service is never available, so the pump sends nothing; the cache is still loaded at start and
// written at shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Mutex;

// The pump's states. The service reports success or failure by setting 2 or 3 under the lock.
enum AchievementPumpState : int32_t {
    ACHIEVEMENT_IDLE = 0,
    ACHIEVEMENT_WAITING = 1,
    ACHIEVEMENT_SUCCEEDED = 2,
    ACHIEVEMENT_FAILED = 3,
    ACHIEVEMENT_PAUSING = 4,
};

// The most entries the list takes: one more than the limit the additions test against.
constexpr int32_t kAchievementPendingMax = 2049;
constexpr int32_t kAchievementPauseSteps = 600;

// The service the pump sends to; kind 1 carries an integer, kinds 2 and 3 a float. Each answers
// whether the send was started; the outcome comes later through Pell_SetAchievementOutcome.
class AchievementService {
public:
    virtual ~AchievementService() = default;
    virtual bool SendInt(uint32_t kind, const char* name, int32_t value) = 0;
    virtual bool SendFloat(uint32_t kind, const char* name, float value) = 0;
};
// Null: none (this platform).
void Pell_SetAchievementService(AchievementService* service);

// The player id the file is named after ("player" here) followed by "achievementcache.dat".
std::string Pell_AchievementCacheName();

// Empties the list and puts the pump at rest (the registrar, at start).
void Pell_ResetAchievements();
// Loads the file into an empty list. A record cut short ends the load. Always false.
bool Pell_LoadAchievementCache();
// Writes the list when it holds an entry; an empty list leaves the file as it is.
void Pell_SaveAchievementCache();
// Appends an entry (dropped once the list is full) and saves the cache. The value is the 32
// bits of an int32 (kind 1) or a float (kinds 2, 3).
void Pell_AddPending(uint32_t kind, const char* name, uint32_t value);
void Pell_SetAchievementsAvailable(bool available);
bool Pell_AchievementsAvailable();
// One turn of the pump.
void Pell_ProcessPending();
// What the service calls, from any thread, with ACHIEVEMENT_SUCCEEDED or ACHIEVEMENT_FAILED.
void Pell_SetAchievementOutcome(AchievementPumpState state);

// The list as it stands (tests, diagnostics).
struct AchievementEntry {
    uint32_t kind;
    std::string name;
    uint32_t value;
};
std::vector<AchievementEntry> Pell_PendingEntries();
AchievementPumpState Pell_AchievementPumpState();
