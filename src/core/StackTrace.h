// The call stack of compiled game code: every compiled function links one node into the list
// while it runs, and the run-time error report lists the nodes as "called from" lines.
#pragma once

#include <cstdint>

struct StackTraceNode {
    StackTraceNode* prev;  // the caller's node, or null
    const char* name;      // the function's name in the code table
    int32_t line;          // the current source line; negative when not known
};

// The runtime's own head: the newest node, or null. Compiled code of a game linked into the
// program may keep its own head and hand its address over in the link record.
extern StackTraceNode* StackTraceHead;

// The head the runtime reads and links into: the game's when one was handed over, else
// StackTraceHead. Null puts StackTraceHead back.
void StackTrace_SetHeadSlot(StackTraceNode** slot);
StackTraceNode** StackTrace_HeadSlot();

// Links a node as the newest (the prologue of a compiled function) and unlinks it again.
inline void StackTrace_Push(StackTraceNode* node, const char* name, int32_t line) {
    StackTraceNode** head = StackTrace_HeadSlot();
    node->prev = *head;
    node->name = name;
    node->line = line;
    *head = node;
}
inline void StackTrace_Pop(StackTraceNode* node) {
    *StackTrace_HeadSlot() = node->prev;
}
