// Consoles: every log and error line of the runner goes through one of these.
#pragma once

#include <cstdarg>
#include <cstdint>

struct tagIConsole {
    virtual ~tagIConsole() = default;
    virtual bool Ready(int, int) { return true; }
    virtual void Output(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
};

// Prints to standard output (not with "-headless"), a connected debugger and the file of
// "-debugoutput" (debug console) or "-output" (error console). The debugger and the file get at
// most 4095 bytes of a line. Safe to call from any thread: lines never interleave.
class TConsole final : public tagIConsole {
public:
    explicit TConsole(bool debugFile) : m_debugFile(debugFile) {}
    void Output(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void OutputV(const char* format, va_list args);

private:
    bool m_debugFile;
};

// Collects text in memory; the run-time error report composes its message in one. Each Output
// adds at most 16383 bytes; the collected text grows without limit.
class TErrStreamConsole final : public tagIConsole {
public:
    TErrStreamConsole();
    ~TErrStreamConsole() override;
    TErrStreamConsole(const TErrStreamConsole&) = delete;
    TErrStreamConsole& operator=(const TErrStreamConsole&) = delete;
    void Output(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    const char* Text() const { return m_text; }

private:
    int32_t m_capacity;
    char* m_text;
};

extern TConsole DebugConsole;
extern TConsole ErrorConsole;

// A reason the run cannot start, for the person who started it: the error console, and under
// -headless (whose consoles print nothing) standard error as well.
void Console_ReportStartFailure(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Lets the remote debugger receive console text while it is connected (null: none).
using ConsoleDebuggerSink = void (*)(const char* text);
void Console_SetDebuggerSink(ConsoleDebuggerSink sink);
// Called at exit so no buffered line is lost.
void Console_Flush();
