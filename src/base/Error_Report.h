// The run-time error report: every script-level failure of the runner ends here. The report
// names the event and object (or time-line moment, or shader) that was running, the action,
// the message, the source line when the running code has debug information, and the call stack
// of the compiled game. The Error_*Name functions give the texts that name events, keys, mouse
// buttons and Other and asynchronous subtypes.
#pragma once

#include <cstdint>
#include <string>

struct VMBuffer;

// The event being performed, as the event dispatcher (or the shader layer) leaves it.
struct ErrorEventContext {
    int32_t type = 0;     // 0..11, 100000 a time-line moment, -1 a shader compilation
    int32_t number = 0;   // the subtype; the moment's time for a time line
    int32_t object = -1;  // the object index (the time-line index for a time line)
    int32_t action = 0;   // the action index
    const char* shaderName = nullptr;
    bool fragmentShader = false;
};
// The code the interpreter runs, when it runs any.
struct ErrorRunningCode {
    const char* name = nullptr;
    const VMBuffer* debugTable = nullptr;
    const char* source = nullptr;
    int32_t offset = 0;  // the current code offset
};
// What the report asks of the game world, filled at start-up (and by tests): unset members
// read as no event, "<undefined>" names and nothing to clear.
struct ErrorReportSources {
    void (*currentEvent)(ErrorEventContext* out) = nullptr;
    bool (*runningCode)(ErrorRunningCode* out) = nullptr;  // unset: no code runs
    bool (*debuggerConnected)() = nullptr;
    // Hands the dialog text to the attached debugger and pauses until it resumes.
    void (*debuggerPause)(const char* text) = nullptr;
    // Before a dialog: the display leaves exclusive full screen.
    void (*prepareForDialog)() = nullptr;
    // Names of objects and time lines.
    const char* (*objectName)(int32_t index) = nullptr;
    const char* (*timeLineName)(int32_t index) = nullptr;
    void (*clearInput)() = nullptr;  // the keyboard and mouse state, after an error
};
// Copied; null forgets them.
void Error_SetSources(const ErrorReportSources* sources);

// Composes the report around the message (null reads as empty) and shows it unless a fatal
// error was shown already.
void Error_Report(const char* message, bool fatal);
// The fatal report of a shader that failed to compile, naming the shader and its stage in
// place of the running event.
void Error_ReportShader(const char* shaderName, bool fragmentShader, const char* message);
// Shows a composed text: the dialog (not under "-headless" or "-noerrors"), the log line
// "ERROR!!! :: %s\n", the last error text and the error-occurred flag. A fatal error (also any
// error while the game's errors-are-fatal option is on, or one the player aborted on) ends the
// game; under "-headless" it also makes the exit status 1. After a fatal error nothing more is
// shown.
void Error_Show(const char* text, bool fatal);
// The dialog; true when the player chose to abort.
bool Error_FormatDialog(const char* text, bool continueAllowed);
// The text the dialog shows for a report: a rule of underscores, then the lines, tabs as seven
// blanks, each line break (CR, LF, or a pair of them) as CR LF.
std::string Error_DialogText(const char* text);

// The error state the built-in variables read.
const char* Error_LastText();  // "" before the first error
bool Error_Occurred();
// The last error text becomes the record (one more reference); error_last assigns it.
struct SharedString;
void Error_SetLastText(SharedString* record);
void Error_SetOccurred(bool occurred);
bool Error_FatalShown();
// A return to the game that launched this one clears the fatal mark.
void Error_ClearFatalMark();

// The error form handed to the dialog: made at start-up, freed at shutdown.
void Error_CreateForm();
void Error_FreeForm();

// The name of an object as the report gives it.
const char* Error_ObjectName(int32_t index);

// Names. The composed ones live in shared buffers that the next call overwrites.
const char* EventName(int32_t type, int32_t subtype);
const char* KeyName(int32_t key);
const char* MouseEventName(int32_t subtype);
const char* OtherEventName(int32_t subtype);
const char* AsyncEventName(int32_t subtype);
