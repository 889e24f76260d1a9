// The media-control string interface through which the legacy layer plays music files and
// the CD drive. Nothing here plays media: the system form answers every command as a device
// that is not there. Tests install a form that records the commands.
#pragma once

#include <cstdint>

class IMciLayer {
public:
    virtual ~IMciLayer() = default;
    // Carries out a command; its answer text goes to `answer` (may be null). 0 on success,
    // otherwise an error code.
    virtual uint32_t SendString(const char* command, char* answer, uint32_t answerSize) = 0;
    // The text for an error code; false for a code it does not know.
    virtual bool GetErrorString(uint32_t error, char* text, uint32_t size) = 0;
};

// The error every command of the system form gives.
constexpr uint32_t kMciErrorNoDevice = 275;

IMciLayer& Mci_Current();
// Installs a layer (null: the system form). Returns the one installed before (null for the
// system form).
IMciLayer* Mci_Set(IMciLayer* layer);
