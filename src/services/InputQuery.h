// Message, question, input and login dialogs. The modal ones hold the game inside the
// built-in and answer it directly; the asynchronous ones answer a request id at once and
// their answer reaches the game as an "async_load" map in the Other event 63. Only one
// asynchronous dialog is up at a time, the oldest request first.
#pragma once

#include <cstdint>

#include "io/HTTP_Main.h"

constexpr int32_t kAsyncEventDialog = 63;
// The answer buffer: 8193 bytes of text and its terminator, with one byte to spare.
constexpr int32_t kDialogAnswerBytes = 8194;
constexpr int32_t kDialogTextLimit = kDialogAnswerBytes - 1;

enum DialogKind : int32_t {
    DIALOG_INPUT = 0,
    DIALOG_QUESTION = 1,
    DIALOG_MESSAGE = 2,
    DIALOG_LOGIN = 3,
};

// A dialog request rides on the request list like an HTTP request; its completion builds the
// event's map from the answer the dialog left in the result block.
struct DIALOG_REQ_CONTEXT : HTTP_REQ_CONTEXT {
    DIALOG_REQ_CONTEXT(DialogKind kind, const char* first, const char* second, const char* third);
    ~DIALOG_REQ_CONTEXT() override;

    DIALOG_REQ_CONTEXT* nextPending = nullptr;  // the pending-dialog list, newest first
    char* firstText;                            // caption; for a login, the default user name
    char* secondText;                           // prompt or message; for a login, the default password
    char* thirdText;                            // the default answer (input only)
    DialogKind kind;
};

// --- asynchronous requests: each answers the request id ------------------------------------
int32_t Dialog_RequestInput(const char* caption, const char* prompt, const char* defaultText);
int32_t Dialog_RequestQuestion(const char* caption, const char* text);
int32_t Dialog_RequestMessage(const char* caption, const char* text);
int32_t Dialog_RequestLogin(const char* userName, const char* password);

// --- the queue -------------------------------------------------------------------------------
// Shows the oldest pending request; nothing when none is pending.
void Dialog_ShowNext();
// Takes the request off the pending list and shows the next one.
void Dialog_Finished(HTTP_REQ_CONTEXT* request);
// The answer of request `id` (text owned by the request from now on); nothing for an id no
// longer pending.
void Dialog_Complete(int32_t id, int32_t status, char* text);
// The login answer: the user name, "#", the password; userLength is the user name's bytes.
void Dialog_CompleteLogin(int32_t id, int32_t userLength, char* text);
// Requests waiting or shown (tests).
int32_t Dialog_PendingCount();

// --- modal dialogs ---------------------------------------------------------------------------
// True for Yes.
bool Dialog_ShowQuestion(const char* caption, const char* text);
// True for OK; *answer then holds a new memory-manager copy of the answer (the old one freed).
bool Dialog_GetString(const char* caption, const char* prompt, const char* defaultText, char** answer);

// --- answers ---------------------------------------------------------------------------------
// The leading decimal number of an answer after leading white space (sign, point and exponent
// allowed; no hex, infinity or NaN); 0 when there is none.
double Dialog_AnswerValue(const char* text);
// The text cut to at most `maxBytes` bytes (and, when maxUnits >= 0, to that many UTF-16 units)
// without splitting a UTF-8 sequence.
int32_t Dialog_CutUtf8(const char* text, int32_t length, int32_t maxBytes, int32_t maxUnits = -1);
