// Run-time errors raised by built-ins, argument getters and value operators.
#pragma once

// Formats the message (at most 1023 bytes) and hands it to the reporter. The default
// reporter prints it on the error console and ends the process with exit code 1; the
// interpreter's error report replaces it, and tests install one that records and returns.
void Runtime_Error(const char* format, ...) __attribute__((format(printf, 1, 2)));

using RuntimeErrorReporter = void (*)(const char* message);
// Returns the previous reporter; null restores the default.
RuntimeErrorReporter Runtime_SetErrorReporter(RuntimeErrorReporter reporter);
