#include "core/Console.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/MemoryManager.h"
#include "core/RunSwitches.h"

TConsole DebugConsole(true);
TConsole ErrorConsole(false);

namespace {
constexpr int kLineBytes = 4096;
constexpr int kStreamScratchBytes = 16384;
constexpr int kStreamInitialCapacity = 102400;

// Worker threads log too; one lock keeps their lines whole.
std::recursive_mutex g_consoleOutputMutex;
ConsoleDebuggerSink g_debuggerSink = nullptr;

void AppendToFile(const std::string& path, const char* text) {
    if (path.empty()) return;
    if (FILE* f = std::fopen(path.c_str(), "a+")) {
        std::fputs(text, f);
        std::fclose(f);
    }
}
}  // namespace

void Console_SetDebuggerSink(ConsoleDebuggerSink sink) {
    std::lock_guard lock(g_consoleOutputMutex);
    g_debuggerSink = sink;
}

void Console_Flush() { std::fflush(stdout); }

void TConsole::Output(const char* format, ...) {
    va_list args;
    va_start(args, format);
    OutputV(format, args);
    va_end(args);
}

void TConsole::OutputV(const char* format, va_list args) {
    if (format == nullptr) return;
    char line[kLineBytes];
    va_list copy;
    va_copy(copy, args);
    std::vsnprintf(line, sizeof line, format, copy);
    va_end(copy);

    std::lock_guard lock(g_consoleOutputMutex);
    if (!g_Switches.headless) std::fputs(line, stdout);
    if (g_debuggerSink) g_debuggerSink(line);
    AppendToFile(m_debugFile ? g_Switches.debugOutputFile : g_Switches.outputFile, line);
    std::fflush(stdout);
}

TErrStreamConsole::TErrStreamConsole()
    : m_capacity(kStreamInitialCapacity), m_text(static_cast<char*>(MEM_ALLOC(kStreamInitialCapacity))) {}

TErrStreamConsole::~TErrStreamConsole() { MEM_FREE(m_text); }

void TErrStreamConsole::Output(const char* format, ...) {
    if (format == nullptr) return;
    char scratch[kStreamScratchBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    const size_t have = std::strlen(m_text);
    const size_t add = std::strlen(scratch);
    if (have + add + 2 >= static_cast<size_t>(m_capacity)) {
        m_capacity += static_cast<int32_t>(add) + 1024;
        m_text = static_cast<char*>(MEM_REALLOC(m_text, m_capacity));
    }
    std::memcpy(m_text + have, scratch, add + 1);
}
