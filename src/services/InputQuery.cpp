#include "services/InputQuery.h"

#include <locale.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "data/Function_Data_Structures.h"
#include "graphics/Graphics_DisplayM.h"
#include "platform/DialogLayer.h"

namespace {

DIALOG_REQ_CONTEXT* g_pendingHead = nullptr;
// The request whose dialog is up; -1 while none is.
int32_t g_shownId = -1;
// A dialog opened while an answer was being delivered waits for the next frame before it is
// asked for its own answer, as a player could not have answered it any sooner.
bool g_shownThisDelivery = false;
bool g_delivering = false;

char* CopyText(const char* text, int32_t length) {
    auto* copy = static_cast<char*>(MEM_ALLOC_RAW(length + 1));
    if (length > 0) std::memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = '\0';
    return copy;
}

char* CopyText(const std::string& text) {
    return CopyText(text.data(), static_cast<int32_t>(text.size()));
}

char* CopyTextOrNull(const char* text) {
    return text ? CopyText(text, static_cast<int32_t>(std::strlen(text))) : nullptr;
}

// What fits the answer buffer: 8193 bytes, cut on a character boundary.
std::string FitBuffer(const char* text, int32_t maxUnits = -1) {
    if (text == nullptr) return {};
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    return std::string(text, static_cast<size_t>(Dialog_CutUtf8(text, length, kDialogTextLimit, maxUnits)));
}

std::string FitBuffer(const std::string& text, int32_t maxUnits = -1) {
    return std::string(text.data(),
                       static_cast<size_t>(Dialog_CutUtf8(text.data(), static_cast<int32_t>(text.size()),
                                                          kDialogTextLimit, maxUnits)));
}

// The edit control hands over at most this many UTF-16 units.
constexpr int32_t kEditUnits = 4096;

DIALOG_REQ_CONTEXT* FindPending(int32_t id) {
    for (DIALOG_REQ_CONTEXT* request = g_pendingHead; request != nullptr; request = request->nextPending)
        if (request->id == id) return request;
    return nullptr;
}

void RemovePending(HTTP_REQ_CONTEXT* request) {
    for (DIALOG_REQ_CONTEXT** link = &g_pendingHead; *link != nullptr; link = &(*link)->nextPending) {
        if (*link == request) {
            *link = (*link)->nextPending;
            return;
        }
    }
}

void SetResult(HTTP_REQ_CONTEXT* request, int32_t status, char* text, int32_t length) {
    MEM_FREE(request->result);
    request->result = reinterpret_cast<uint8_t*>(text);
    request->resultCapacity = length + 1;
    request->received = length + 1;
    request->httpStatus = status;
    request->state = HTTP_STATE_FINISHED;
}

// What the dialog's buttons do once the player has answered the dialog that is up.
void AnswerShown(DIALOG_REQ_CONTEXT* request, const PlatformDialogAnswer& answer) {
    const int32_t id = request->id;
    switch (request->kind) {
        case DIALOG_INPUT:
            if (answer.accepted)
                Dialog_Complete(id, 1, CopyText(FitBuffer(answer.text, kEditUnits)));
            else
                Dialog_Complete(id, 0, CopyText("", 0));
            break;
        case DIALOG_QUESTION:
            DebugConsole.Output(answer.accepted ? "Finished dialog - IDOK\n"
                                                : "Finished dialog - IDCANCEL\n");
            Dialog_Complete(id, answer.accepted ? 1 : 0,
                            CopyText(answer.accepted ? "1" : "", answer.accepted));
            break;
        case DIALOG_MESSAGE:
            // OK is the message's only button: however it closed, it was read.
            Dialog_Complete(id, 1, CopyText("OK", 2));
            break;
        case DIALOG_LOGIN: {
            if (!answer.accepted) {
                Dialog_CompleteLogin(id, 0, CopyText("", 0));
                break;
            }
            const std::string both = FitBuffer(answer.text + "#" + answer.password);
            const int32_t userLength = static_cast<int32_t>(std::min(answer.text.size(), both.size()));
            Dialog_CompleteLogin(id, userLength, CopyText(both));
            break;
        }
    }
}

// The request list asks every frame; only the dialog that is up has anything to tell.
void PollShown(HTTP_REQ_CONTEXT* record) {
    if (record->id != g_shownId || record->state.load() == HTTP_STATE_FINISHED) return;
    if (g_shownThisDelivery) {
        g_shownThisDelivery = false;
        return;
    }
    PlatformDialogAnswer answer;
    if (!PlatformDialog_Backend().Poll(answer)) return;
    g_shownId = -1;
    AnswerShown(static_cast<DIALOG_REQ_CONTEXT*>(record), answer);
}

const char* ResultText(const HTTP_REQ_CONTEXT* record) {
    return record->result ? reinterpret_cast<const char*>(record->result) : "";
}

int32_t ResultLength(const HTTP_REQ_CONTEXT* record) {
    return record->result ? record->resultCapacity - 1 : 0;
}

constexpr const char* kNoText = nullptr;

int32_t FinishDelivery(HTTP_REQ_CONTEXT* record, int32_t map, int32_t* mapOut) {
    *mapOut = map;
    g_delivering = true;
    Dialog_Finished(record);
    g_delivering = false;
    return kAsyncEventDialog;
}

int32_t CompleteAnswer(HTTP_REQ_CONTEXT* record, void*, int32_t* map) {
    const char* text = ResultText(record);
    const int32_t made = DsMap_CreateFromPairs(4, "id", static_cast<double>(record->id), kNoText, "result",
                                               0.0, text, "value", Dialog_AnswerValue(text), kNoText,
                                               "status", static_cast<double>(record->httpStatus), kNoText);
    return FinishDelivery(record, made, map);
}

int32_t CompleteMessage(HTTP_REQ_CONTEXT* record, void*, int32_t* map) {
    const int32_t made = DsMap_CreateFromPairs(2, "id", static_cast<double>(record->id), kNoText, "status",
                                               static_cast<double>(record->httpStatus), kNoText);
    return FinishDelivery(record, made, map);
}

// The status tells where the user name ends (status - 1 bytes); 0 means no user name, and then
// whatever follows the "#" is the password.
int32_t CompleteLoginAnswer(HTTP_REQ_CONTEXT* record, void*, int32_t* map) {
    const std::string text(ResultText(record), static_cast<size_t>(ResultLength(record)));
    const int32_t status = record->httpStatus;
    std::string user, password;
    if (status > 0) {
        const size_t userLength = static_cast<size_t>(status - 1);
        user = text.substr(0, std::min(userLength, text.size()));
        if (userLength + 1 < text.size()) password = text.substr(userLength + 1);
    } else if (!text.empty() && text[0] == '#') {
        password = text.substr(1);
    }
    const int32_t made = DsMap_CreateFromPairs(4, "id", static_cast<double>(record->id), kNoText, "username",
                                               0.0, user.c_str(), "password", 0.0, password.c_str(), "status",
                                               static_cast<double>(status), kNoText);
    return FinishDelivery(record, made, map);
}

HttpCompletionFn CompletionFor(DialogKind kind) {
    switch (kind) {
        case DIALOG_MESSAGE:
            return CompleteMessage;
        case DIALOG_LOGIN:
            return CompleteLoginAnswer;
        default:
            return CompleteAnswer;
    }
}

int32_t Request(DialogKind kind, const char* first, const char* second, const char* third) {
    GR_D3D_Prepare_For_Dialog();
    auto* request = new DIALOG_REQ_CONTEXT(kind, first, second, third);
    request->nextPending = g_pendingHead;
    g_pendingHead = request;
    if (request->nextPending == nullptr) Dialog_ShowNext();
    return request->id;
}

PlatformDialogRequest PlatformRequestFor(const DIALOG_REQ_CONTEXT* request) {
    PlatformDialogRequest shown;
    switch (request->kind) {
        case DIALOG_INPUT:
            shown.kind = PlatformDialogKind::Input;
            break;
        case DIALOG_QUESTION:
            shown.kind = PlatformDialogKind::Question;
            break;
        case DIALOG_MESSAGE:
            shown.kind = PlatformDialogKind::Message;
            break;
        case DIALOG_LOGIN:
            shown.kind = PlatformDialogKind::Login;
            shown.caption = "Login";
            shown.answer = FitBuffer(request->firstText);
            shown.password = FitBuffer(request->secondText);
            return shown;
    }
    shown.caption = request->firstText ? request->firstText : "";
    shown.text = request->secondText ? request->secondText : "";
    if (request->kind == DIALOG_INPUT) shown.answer = FitBuffer(request->thirdText);
    return shown;
}

// Numbers read the same whatever locale the process runs in.
locale_t CLocale() {
    static locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

size_t SkipDigits(const char* text, size_t at) {
    while (IsDigit(text[at])) ++at;
    return at;
}

}  // namespace

DIALOG_REQ_CONTEXT::DIALOG_REQ_CONTEXT(DialogKind kind_, const char* first, const char* second,
                                       const char* third)
    : HTTP_REQ_CONTEXT(nullptr, 0, CompletionFor(kind_), nullptr, nullptr, false),
      firstText(CopyTextOrNull(first)),
      secondText(CopyTextOrNull(second)),
      thirdText(CopyTextOrNull(third)),
      kind(kind_) {
    poll = PollShown;
}

DIALOG_REQ_CONTEXT::~DIALOG_REQ_CONTEXT() {
    // A request dropped with the request list (a restart) leaves the pending list with it.
    RemovePending(this);
    if (g_shownId == id) g_shownId = -1;
    MEM_FREE(firstText);
    MEM_FREE(secondText);
    MEM_FREE(thirdText);
}

int32_t Dialog_RequestInput(const char* caption, const char* prompt, const char* defaultText) {
    return Request(DIALOG_INPUT, caption, prompt, defaultText);
}

int32_t Dialog_RequestQuestion(const char* caption, const char* text) {
    return Request(DIALOG_QUESTION, caption, text, nullptr);
}

int32_t Dialog_RequestMessage(const char* caption, const char* text) {
    return Request(DIALOG_MESSAGE, caption, text, nullptr);
}

int32_t Dialog_RequestLogin(const char* userName, const char* password) {
    return Request(DIALOG_LOGIN, userName, password, nullptr);
}

void Dialog_ShowNext() {
    DIALOG_REQ_CONTEXT* oldest = g_pendingHead;
    if (oldest == nullptr) return;
    while (oldest->nextPending != nullptr) oldest = oldest->nextPending;
    g_shownId = oldest->id;
    g_shownThisDelivery = g_delivering;
    PlatformDialog_Backend().Open(PlatformRequestFor(oldest));
}

void Dialog_Finished(HTTP_REQ_CONTEXT* request) {
    const DIALOG_REQ_CONTEXT* pending = FindPending(request->id);
    if (pending != nullptr) RemovePending(request);
    Dialog_ShowNext();
}

void Dialog_Complete(int32_t id, int32_t status, char* text) {
    DIALOG_REQ_CONTEXT* request = FindPending(id);
    if (request == nullptr) {
        MEM_FREE(text);
        return;
    }
    SetResult(request, status, text, static_cast<int32_t>(std::strlen(text)));
}

void Dialog_CompleteLogin(int32_t id, int32_t userLength, char* text) {
    DIALOG_REQ_CONTEXT* request = FindPending(id);
    if (request == nullptr) {
        MEM_FREE(text);
        return;
    }
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    int32_t status = 0;
    if (userLength > 0) {
        if (userLength < length) text[userLength] = '\0';
        status = userLength + 1;
    }
    SetResult(request, status, text, length);
}

int32_t Dialog_PendingCount() {
    int32_t count = 0;
    for (const DIALOG_REQ_CONTEXT* request = g_pendingHead; request != nullptr;
         request = request->nextPending)
        ++count;
    return count;
}

bool Dialog_ShowQuestion(const char* caption, const char* text) {
    GR_D3D_Prepare_For_Dialog();
    PlatformDialogRequest request;
    request.kind = PlatformDialogKind::Question;
    request.caption = caption ? caption : "";
    request.text = text ? text : "";
    const bool yes = PlatformDialog_Backend().Ask(request).accepted;
    DebugConsole.Output(yes ? "Finished dialog - IDOK\n" : "Finished dialog - IDCANCEL\n");
    return yes;
}

bool Dialog_GetString(const char* caption, const char* prompt, const char* defaultText, char** answer) {
    GR_D3D_Prepare_For_Dialog();
    PlatformDialogRequest request;
    request.kind = PlatformDialogKind::Input;
    request.caption = caption ? caption : "";
    request.text = prompt ? prompt : "";
    request.answer = FitBuffer(defaultText);
    const PlatformDialogAnswer given = PlatformDialog_Backend().Ask(request);
    if (!given.accepted) return false;
    MEM_FREE(*answer);
    *answer = CopyText(FitBuffer(given.text, kEditUnits));
    return true;
}

double Dialog_AnswerValue(const char* text) {
    if (text == nullptr) return 0.0;
    size_t start = 0;
    while (IsSpace(text[start])) ++start;
    size_t at = start;
    if (text[at] == '+' || text[at] == '-') ++at;
    const size_t whole = at;
    at = SkipDigits(text, at);
    bool digits = at > whole;
    if (text[at] == '.') {
        const size_t fraction = at + 1;
        const size_t end = SkipDigits(text, fraction);
        if (end > fraction) digits = true;
        if (digits) at = end;
    }
    if (!digits) return 0.0;
    if (text[at] == 'e' || text[at] == 'E') {
        size_t exponent = at + 1;
        if (text[exponent] == '+' || text[exponent] == '-') ++exponent;
        const size_t end = SkipDigits(text, exponent);
        if (end > exponent) at = end;
    }
    const std::string number(text + start, at - start);
    return strtod_l(number.c_str(), nullptr, CLocale());
}

int32_t Dialog_CutUtf8(const char* text, int32_t length, int32_t maxBytes, int32_t maxUnits) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    int32_t at = 0;
    int32_t units = 0;
    while (at < length) {
        const unsigned char lead = bytes[at];
        int32_t size = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        size = std::min(size, length - at);
        const int32_t unitsHere = size == 4 ? 2 : 1;
        if (at + size > maxBytes) break;
        if (maxUnits >= 0 && units + unitsHere > maxUnits) break;
        at += size;
        units += unitsHere;
    }
    return at;
}
