#include "core/RuntimeError.h"

#include <cstdarg>
#include <cstdio>

#include "core/Console.h"
#include "core/Process.h"

namespace {

void ReportFatal(const char* message) {
    ErrorConsole.Output("%s\n", message);
    Process_Exit(1);
}

void ReportNonFatal(const char* message) {
    ErrorConsole.Output("%s\n", message);
}

RuntimeErrorReporter g_reporter = ReportFatal;
RuntimeErrorReporter g_nonFatalReporter = ReportNonFatal;

}  // namespace

RuntimeErrorReporter Runtime_SetErrorReporter(RuntimeErrorReporter reporter) {
    RuntimeErrorReporter previous = g_reporter;
    g_reporter = reporter ? reporter : ReportFatal;
    return previous;
}

void Runtime_Error(const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    g_reporter(message);
}

RuntimeErrorReporter Runtime_SetNonFatalReporter(RuntimeErrorReporter reporter) {
    RuntimeErrorReporter previous = g_nonFatalReporter;
    g_nonFatalReporter = reporter ? reporter : ReportNonFatal;
    return previous;
}

void Runtime_ErrorNonFatal(const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    g_nonFatalReporter(message);
}
