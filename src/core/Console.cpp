#include "core/Console.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/Thread.h"

TConsole DebugConsole(true);
TConsole ErrorConsole(false);

namespace {
constexpr int kLineBytes = 4096;
constexpr int kStreamScratchBytes = 16384;
constexpr int32_t kStreamInitialCapacity = 102400;
constexpr int32_t kStreamGrowthSlack = 1024;

// Worker threads log too: one lock keeps every line whole and the log files in call order.
Mutex& ConsoleMutex() {
    static Mutex mutex("ConsoleMutex");
    return mutex;
}

ConsoleDebuggerSink g_debuggerSink = nullptr;

// Opened and closed for every line, so the file is complete whenever the process ends.
void AppendToFile(const std::string& path, const char* text) {
    if (path.empty()) return;
    if (FILE* file = std::fopen(path.c_str(), "a+")) {
        std::fputs(text, file);
        std::fclose(file);
    }
}
}  // namespace

void Console_SetDebuggerSink(ConsoleDebuggerSink sink) {
    std::lock_guard lock(ConsoleMutex());
    g_debuggerSink = sink;
}

void Console_Flush() {
    std::lock_guard lock(ConsoleMutex());
    std::fflush(stdout);
}

void TConsole::Output(const char* format, ...) {
    va_list args;
    va_start(args, format);
    OutputV(format, args);
    va_end(args);
}

void TConsole::OutputV(const char* format, va_list args) {
    if (format == nullptr) return;
    std::lock_guard lock(ConsoleMutex());
    va_list copy;
    if (!g_Switches.headless) {
        va_copy(copy, args);
        std::vfprintf(stdout, format, copy);
        va_end(copy);
    }
    char line[kLineBytes];
    va_copy(copy, args);
    std::vsnprintf(line, sizeof line, format, copy);
    va_end(copy);

    if (g_debuggerSink) g_debuggerSink(line);
    AppendToFile(m_debugFile ? g_Switches.debugOutputFile : g_Switches.outputFile, line);
    std::fflush(stdout);
}

void Console_ReportStartFailure(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    ErrorConsole.Output("%s", text);
    if (g_Switches.headless) std::fputs(text, stderr);
}

TErrStreamConsole::TErrStreamConsole()
    : m_capacity(kStreamInitialCapacity), m_text(static_cast<char*>(MEM_ALLOC(kStreamInitialCapacity))) {}

TErrStreamConsole::~TErrStreamConsole() {
    MEM_FREE(m_text);
}

void TErrStreamConsole::Output(const char* format, ...) {
    if (format == nullptr) return;
    char scratch[kStreamScratchBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);

    const size_t have = std::strlen(m_text);
    const size_t add = std::strlen(scratch);
    // The block grows by more than the new text needs, so collected text is never cut.
    if (have + add + 2 >= static_cast<size_t>(m_capacity)) {
        m_capacity += static_cast<int32_t>(add) + kStreamGrowthSlack;
        m_text = static_cast<char*>(MEM_REALLOC(m_text, m_capacity));
    }
    std::memcpy(m_text + have, scratch, add + 1);
}
