// Run-time errors raised by built-ins, argument getters and value operators, and the error
// state that code runs leave behind.
#pragma once

// Formats the message (at most 1023 bytes) and keeps it as the error text. While errors are
// suppressed only the error flag is set; otherwise the message goes to the reporter. The
// default reporter prints it on the error console and ends the process with exit code 1; the
// runner's error report replaces it, and tests install one that records and returns.
void Runtime_Error(const char* format, ...) __attribute__((format(printf, 1, 2)));

using RuntimeErrorReporter = void (*)(const char* message);
// Returns the previous reporter; null restores the default.
RuntimeErrorReporter Runtime_SetErrorReporter(RuntimeErrorReporter reporter);

// Run-time errors the game goes on after: the built-in reports and returns. The default
// reporter prints the message on the error console; the runner's error report replaces it.
void Runtime_ErrorNonFatal(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Returns the previous reporter; null restores the default.
RuntimeErrorReporter Runtime_SetNonFatalReporter(RuntimeErrorReporter reporter);

// Set by an error raised while errors are suppressed; cleared before every code run. Code
// that runs game code on behalf of the game reads it afterwards.
extern bool g_RuntimeErrorFlag;
// Set while the debugger evaluates a watch: errors only set the flag and keep their text.
extern bool g_RuntimeErrorsSuppressed;

// The text of the last error (at most 1023 bytes); "" when there was none.
const char* Runtime_ErrorText();
void Runtime_SetErrorText(const char* text);

// The run-time error report of the runner: composes a report around a message (event, object,
// call stack) and shows it; fatal or not. Until the runner installs it, the message is printed
// on the error console.
using ErrorReportFn = void (*)(const char* message, bool fatal);
void Runtime_SetReportHooks(ErrorReportFn report, ErrorReportFn show);
// Composes and shows a report around the message.
void Runtime_ReportError(const char* message, bool fatal);
// Shows an already composed text.
void Runtime_ShowError(const char* text, bool fatal);
