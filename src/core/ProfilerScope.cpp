#include "core/ProfilerScope.h"

bool g_ProfilerActive = false;

namespace {

void NoBegin(int32_t, int32_t) {}
void NoEnd() {}

void (*g_begin)(int32_t, int32_t) = NoBegin;
void (*g_end)() = NoEnd;

}  // namespace

void ProfilerScope_Begin(int32_t category, int32_t id) {
    g_begin(category, id);
}

void ProfilerScope_End() {
    g_end();
}

void ProfilerScope_SetHooks(void (*begin)(int32_t, int32_t), void (*end)()) {
    g_begin = begin ? begin : NoBegin;
    g_end = end ? end : NoEnd;
}
