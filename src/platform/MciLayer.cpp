#include "platform/MciLayer.h"

#include <cstdio>

namespace {

class NoMediaDevice final : public IMciLayer {
public:
    uint32_t SendString(const char*, char* answer, uint32_t answerSize) override {
        if (answer && answerSize) answer[0] = 0;
        return kMciErrorNoDevice;
    }

    bool GetErrorString(uint32_t error, char* text, uint32_t size) override {
        if (text == nullptr || size == 0) return false;
        if (error != kMciErrorNoDevice) {
            text[0] = 0;
            return false;
        }
        std::snprintf(text, size, "There is no media device on this system.");
        return true;
    }
};

NoMediaDevice g_noMediaDevice;
IMciLayer* g_installed = nullptr;

}  // namespace

IMciLayer& Mci_Current() {
    return g_installed ? *g_installed : g_noMediaDevice;
}

IMciLayer* Mci_Set(IMciLayer* layer) {
    IMciLayer* previous = g_installed;
    g_installed = layer;
    return previous;
}
