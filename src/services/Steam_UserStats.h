// The operations behind the stats, achievement and leaderboard built-ins, for a running Steam.
#pragma once

#include <cstdint>

double Steam_SetAchievement(const char* name);
double Steam_ClearAchievement(const char* name);
double Steam_GetAchievement(const char* name);
double Steam_SetStatInt(const char* name, int32_t value);
double Steam_SetStatFloat(const char* name, double value);
double Steam_SetStatAvgRate(const char* name, double count, double length);
double Steam_GetStatInt(const char* name);
double Steam_GetStatFloat(const char* name);
void Steam_ResetAllStats(bool achievementsToo);
bool Steam_StatsReady();

// 1, or 0 when the user is not logged on; no event follows.
double Steam_CreateLeaderboard(const char* name, int32_t sort, int32_t display);
// The post id, or -1. buffer -1: no detail data.
double Steam_UploadScore(const char* name, int32_t score, int32_t buffer, bool force);
// kind 0 a global range, 1 around the user, 2 friends. The request id, or -1.
double Steam_DownloadScores(const char* name, int32_t kind, int32_t start, int32_t end);
