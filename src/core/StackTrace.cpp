#include "core/StackTrace.h"

StackTraceNode* StackTraceHead = nullptr;

namespace {
StackTraceNode** g_headSlot = &StackTraceHead;
}

void StackTrace_SetHeadSlot(StackTraceNode** slot) {
    g_headSlot = slot ? slot : &StackTraceHead;
}

StackTraceNode** StackTrace_HeadSlot() {
    return g_headSlot;
}
