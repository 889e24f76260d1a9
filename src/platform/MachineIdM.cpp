#include "platform/MachineIdM.h"

#include <cstdio>

namespace {

std::string FirstLine(const char* path) {
    std::string line;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return line;
    // The identifier is 32 hex digits; anything past a sane length is not one.
    for (int c; line.size() < 256 && (c = std::fgetc(file)) != EOF && c != '\n' && c != '\r';)
        line += static_cast<char>(c);
    std::fclose(file);
    return line;
}

}  // namespace

std::string MachineIdM_Read() {
    std::string id = FirstLine("/etc/machine-id");
    if (id.empty()) id = FirstLine("/var/lib/dbus/machine-id");
    return id;
}
