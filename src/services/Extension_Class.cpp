#include "services/Extension_Class.h"

#include <cstdio>

#include "data/Common.h"

namespace {
constexpr int32_t kTempNameRange = 999;
}  // namespace

CExtensionPackage::CExtensionPackage() {
    char temp[16];
    std::snprintf(temp, sizeof temp, "temp%u", Random_IntMod(kTempNameRange));
    name = temp;
}
