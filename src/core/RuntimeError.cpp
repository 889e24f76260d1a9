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

RuntimeErrorReporter g_reporter = ReportFatal;

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
