// SIGINT and SIGTERM end the runner as closing its window does. Between frames the event pump
// reports them as a quit; during a modal wait that the frame loop cannot break (a message box,
// a helper program's dialog) they end the process at once, its child processes first, so no
// dialog outlives the runner.
#pragma once

// Installs the handlers and keeps the window system from taking the signals for itself. Call
// once at start, before the window system starts.
void QuitSignals_Install();

// True once for each quit signal that arrived since the last call.
bool QuitSignals_Take();

// Marks a modal wait for as long as it lives.
class QuitSignals_ModalWait {
public:
    QuitSignals_ModalWait();
    ~QuitSignals_ModalWait();
    QuitSignals_ModalWait(const QuitSignals_ModalWait&) = delete;
    QuitSignals_ModalWait& operator=(const QuitSignals_ModalWait&) = delete;
};
