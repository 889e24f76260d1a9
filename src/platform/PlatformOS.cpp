#include "platform/PlatformOS.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/Support_FileM.h"

namespace {

std::string LocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

// "ll_CC.codeset@modifier": the part before the codeset and modifier.
std::string LocaleStem() {
    std::string name = LocaleName();
    const size_t end = name.find_first_of(".@");
    if (end != std::string::npos) name.resize(end);
    if (name == "C" || name == "POSIX") return {};
    return name;
}

}  // namespace

int32_t PlatformOS_Version() {
    utsname info{};
    if (uname(&info) != 0) return -1;
    int major = 0, minor = 0;
    if (std::sscanf(info.release, "%d.%d", &major, &minor) != 2) return -1;
    return major * 65536 + minor;
}

std::string PlatformOS_LocaleLanguage() {
    const std::string stem = LocaleStem();
    return stem.substr(0, stem.find('_'));
}

std::string PlatformOS_LocaleRegion() {
    const std::string stem = LocaleStem();
    const size_t split = stem.find('_');
    return split == std::string::npos ? std::string() : stem.substr(split + 1);
}

bool PlatformOS_NetworkConnected() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool connected = false;
    for (const ifaddrs* entry = list; entry != nullptr && !connected; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        const bool addressed = entry->ifa_addr != nullptr && (entry->ifa_addr->sa_family == AF_INET ||
                                                              entry->ifa_addr->sa_family == AF_INET6);
        connected = addressed && (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
    }
    freeifaddrs(list);
    return connected;
}

bool PlatformOS_OpenWithHandler(const std::string& url) {
    return FileM_StartProcess({"xdg-open", url}, std::string()) > 0;
}
