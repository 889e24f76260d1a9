#include "core/RuntimeError.h"

#include <cstdarg>
#include <cstdio>

#include "core/Console.h"
#include "core/Process.h"

bool g_RuntimeErrorFlag = false;
bool g_RuntimeErrorsSuppressed = false;

namespace {

constexpr size_t kErrorTextBytes = 1024;
char g_errorText[kErrorTextBytes] = {};

void ReportFatal(const char* message) {
    ErrorConsole.Output("%s\n", message);
    Process_Exit(1);
}

void PrintError(const char* message, bool) {
    ErrorConsole.Output("%s\n", message ? message : "");
}

RuntimeErrorReporter g_reporter = ReportFatal;
ErrorReportFn g_report = PrintError;
ErrorReportFn g_show = PrintError;

// Errors the game goes on after go through the runner's report, non-fatal.
void ReportNonFatal(const char* message) {
    g_report(message, false);
}

RuntimeErrorReporter g_nonFatalReporter = ReportNonFatal;

}  // namespace

RuntimeErrorReporter Runtime_SetErrorReporter(RuntimeErrorReporter reporter) {
    RuntimeErrorReporter previous = g_reporter;
    g_reporter = reporter ? reporter : ReportFatal;
    return previous;
}

void Runtime_Error(const char* format, ...) {
    char message[kErrorTextBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    Runtime_SetErrorText(message);
    if (g_RuntimeErrorsSuppressed) {
        g_RuntimeErrorFlag = true;
        return;
    }
    g_reporter(message);
}

RuntimeErrorReporter Runtime_SetNonFatalReporter(RuntimeErrorReporter reporter) {
    RuntimeErrorReporter previous = g_nonFatalReporter;
    g_nonFatalReporter = reporter ? reporter : ReportNonFatal;
    return previous;
}

void Runtime_ErrorNonFatal(const char* format, ...) {
    char message[kErrorTextBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    g_nonFatalReporter(message);
}

const char* Runtime_ErrorText() {
    return g_errorText;
}

void Runtime_SetErrorText(const char* text) {
    // The text may be the current one, or overlap it.
    char copy[kErrorTextBytes];
    std::snprintf(copy, sizeof copy, "%s", text ? text : "");
    std::snprintf(g_errorText, sizeof g_errorText, "%s", copy);
}

void Runtime_SetReportHooks(ErrorReportFn report, ErrorReportFn show) {
    g_report = report ? report : PrintError;
    g_show = show ? show : PrintError;
}

void Runtime_ReportError(const char* message, bool fatal) {
    g_report(message, fatal);
}

void Runtime_ShowError(const char* text, bool fatal) {
    g_show(text, fatal);
}
