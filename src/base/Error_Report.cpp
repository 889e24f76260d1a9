#include "base/Error_Report.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Console.h"
#include "core/DebugInfo_Lines.h"
#include "core/ErrorDialog.h"
#include "core/MemoryManager.h"
#include "core/RunSwitches.h"
#include "core/RuntimeError.h"
#include "core/StackTrace.h"
#include "core/Value.h"
#include "base/GameOptions.h"
#include "base/RunState.h"
#include "base/Runner.h"

namespace {

constexpr char kHashRule[] =
    "############################################################################################\n";
constexpr char kDashRule[] =
    "--------------------------------------------------------------------------------------------\n";
constexpr int32_t kTimeLineEvent = 100000;
constexpr int32_t kShaderEvent = -1;
constexpr char kUnnamed[] = "<undefined>";  // an object or time line nobody named

ErrorReportSources g_sources;
SharedString* g_lastError = nullptr;
bool g_occurred = false;
bool g_fatalShown = false;
char* g_formText = nullptr;  // the dialog's copy of the text (the error form)

// Appends printf-style text to a growable string.
void Append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Append(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(length) + 1);
        std::vsnprintf(&out[at], static_cast<size_t>(length) + 1, format, again);
        out.resize(at + static_cast<size_t>(length));
    }
    va_end(again);
}

const char* TimeLineName(int32_t index) {
    return g_sources.timeLineName ? g_sources.timeLineName(index) : kUnnamed;
}

const ErrorEventContext* g_shaderContext = nullptr;  // set around a shader compilation report

ErrorEventContext RunningEvent() {
    ErrorEventContext context;
    if (g_shaderContext) return *g_shaderContext;
    if (g_sources.currentEvent) g_sources.currentEvent(&context);
    return context;
}

// The trailing digits of a code entry's name, as compiled event handlers carry their action.
int32_t TrailingNumber(const char* name) {
    const char* end = name + std::strlen(name);
    const char* digits = end;
    while (digits > name && digits[-1] >= '0' && digits[-1] <= '9') --digits;
    return static_cast<int32_t>(std::strtol(digits, nullptr, 10));
}

std::string CallStackText() {
    std::string text = kDashRule;
    for (const StackTraceNode* node = *StackTrace_HeadSlot(); node; node = node->prev) {
        const char* name = node->name ? node->name : "";
        if (node->line >= 0)
            Append(text, "called from - %s (line %d)\n", name, node->line);
        else
            Append(text, "called from - %s\n", name);
    }
    return text;
}

std::string MainText(const ErrorEventContext& event, int32_t actionNumber, const char* prefix,
                     const char* message) {
    std::string text;
    if (event.type == kShaderEvent) {
        text = event.fragmentShader ? "FATAL ERROR in Fragment Shader compilation\n\nShaderName: "
                                    : "FATAL ERROR in Vertex Shader compilation\n\nShaderName: ";
        Append(text, "%s\n\n\n%s\n", event.shaderName ? event.shaderName : "", message);
    } else if (event.type == kTimeLineEvent) {
        Append(text, "%sERROR in\naction number %d\nat time step%d\nof time line %s:\n\n\n%s", prefix,
               actionNumber, event.number, TimeLineName(event.object), message);
    } else {
        // EventName and the name lookups may share buffers: take the event's name first.
        const std::string eventName = EventName(event.type, event.number);
        Append(text, "%sERROR in\naction number %d\nof %s\nfor object %s:\n\n\n%s", prefix, actionNumber,
               eventName.c_str(), Error_ObjectName(event.object), message);
    }
    return text;
}

void ReplaceLastError(const char* text) {
    SharedString_ReleaseSafe(g_lastError);
    g_lastError = new SharedString(text);
}

}  // namespace

const char* Error_ObjectName(int32_t index) {
    return g_sources.objectName ? g_sources.objectName(index) : kUnnamed;
}

void Error_SetSources(const ErrorReportSources* sources) {
    g_sources = sources ? *sources : ErrorReportSources();
}

void Error_ReportShader(const char* shaderName, bool fragmentShader, const char* message) {
    ErrorEventContext context;
    context.type = kShaderEvent;
    context.shaderName = shaderName;
    context.fragmentShader = fragmentShader;
    g_shaderContext = &context;
    Error_Report(message, true);
    g_shaderContext = nullptr;
}

void Error_Report(const char* message, bool fatal) {
    if (!message) message = "";
    const char* prefix = fatal ? "FATAL " : "";
    const ErrorEventContext event = RunningEvent();
    int32_t actionNumber = event.action + 1;

    ErrorRunningCode running;
    const bool codeRuns = g_sources.runningCode && g_sources.runningCode(&running);
    const DebugInfoEntry* entry = nullptr;
    int32_t line = -1;
    if (codeRuns && running.debugTable) {
        entry = DebugInfo_FindEntry(running.debugTable, running.offset);
        line = DebugInfo_GetLine(entry, running.source, nullptr);
        if (running.name && std::strncmp(running.name, "hvs_Object", 10) == 0)
            actionNumber = TrailingNumber(running.name);
    }

    std::string report = kHashRule;
    report += MainText(event, actionNumber, prefix, message);
    report += "\n";
    if (codeRuns) {
        const char* codeName = running.name ? running.name : "";
        if (running.debugTable)
            Append(report, " at %s (line %d) - %s\n", codeName, line,
                   DebugInfo_GetLineText(entry, running.source));
        else
            Append(report, "at %s\n", codeName);
    }
    report += kHashRule;
    report += CallStackText();
    if (!g_fatalShown) Error_Show(report.c_str(), fatal);
}

void Error_Show(const char* text, bool fatal) {
    if (g_fatalShown) return;
    if (!text) text = "";
    if (g_GameOptions.errorsFatal) fatal = true;
    if (!g_Switches.headless) {
        if (g_sources.prepareForDialog) g_sources.prepareForDialog();
        if (!g_Switches.noErrors && g_GameOptions.errorDialogs) {
            const bool aborted = Error_FormatDialog(text, !fatal);
            if (!fatal && aborted) fatal = true;
        }
    }
    if (g_sources.clearInput) g_sources.clearInput();
    ReplaceLastError(text);
    if (!g_RuntimeErrorsSuppressed) ErrorConsole.Output("ERROR!!! :: %s\n", text);
    g_occurred = true;
    if (fatal) {
        g_fatalShown = true;
        NewRoomCode = ROOM_ABORT_GAME;
        // A run without a window has no one to tell but its exit status.
        if (g_Switches.headless) g_RunnerExitStatus = 1;
        Runner_PostQuit();
    }
}

std::string Error_DialogText(const char* text) {
    std::string dialog = "\r\n";
    dialog.append(43, '_');
    dialog += "\r\n";
    std::string line;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '\t') {
            line.append(7, ' ');
        } else if (*p == '\r' || *p == '\n') {
            dialog += line;
            dialog += "\r\n";
            line.clear();
            if (p[1] == '\r' || p[1] == '\n') ++p;
        } else {
            line += *p;
        }
    }
    dialog += line;
    return dialog;
}

bool Error_FormatDialog(const char* text, bool continueAllowed) {
    if (g_sources.prepareForDialog) g_sources.prepareForDialog();
    const std::string dialog = Error_DialogText(text);
    MEM_FREE(g_formText);
    g_formText = String_Duplicate(dialog.c_str());
    g_ErrorDialog.text = g_formText;
    g_ErrorDialog.ignoreAllowed = continueAllowed;
    if (g_sources.debuggerConnected && g_sources.debuggerConnected()) {
        if (g_sources.debuggerPause) g_sources.debuggerPause(g_formText);
        return false;
    }
    return ErrorDialog_Show() == 1;
}

void Error_SetLastText(SharedString* record) {
    if (record != nullptr) ++record->refCount;
    SharedString_ReleaseSafe(g_lastError);
    g_lastError = record;
}

const char* Error_LastText() {
    return g_lastError && g_lastError->text ? g_lastError->text : "";
}

bool Error_Occurred() {
    return g_occurred;
}

void Error_SetOccurred(bool occurred) {
    g_occurred = occurred;
}

bool Error_FatalShown() {
    return g_fatalShown;
}

void Error_ClearFatalMark() {
    g_fatalShown = false;
}

void Error_CreateForm() {
    Error_FreeForm();
}

void Error_FreeForm() {
    MEM_FREE(g_formText);
    g_formText = nullptr;
    g_ErrorDialog = ErrorDialogRecord();
}
