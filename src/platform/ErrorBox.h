// The modal box through which a run-time error asks the player to abort or ignore.
#pragma once

enum class ErrorBoxChoice {
    Ignore = 0,
    Abort = 1,
    Copy = 2,         // the player wants the text on the clipboard
    Clear = 3,        // the player wants the text cleared
    Closed = -1,      // closed without a button (close box, Escape)
    Unavailable = -2  // no box could be shown (no display)
};

class IErrorBox {
public:
    virtual ~IErrorBox() = default;
    // Shows the box until the player presses a button: "Abort", "Ignore" (only when allowed),
    // "Copy" and "Clear".
    virtual ErrorBoxChoice Show(const char* title, const char* text, bool ignoreAllowed) = 0;
    // Puts UTF-8 text on the system clipboard; false when there is no clipboard.
    virtual bool CopyToClipboard(const char* text) = 0;
    // Why the last Show answered Unavailable.
    virtual const char* LastFailure() = 0;
};

// The system's box (SDL message box and clipboard).
IErrorBox& ErrorBox_System();
