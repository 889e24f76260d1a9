// What the platform services ask of the operating system: its version, the user's locale, the
// network state, and the desktop's handler for URLs.
#pragma once

#include <cstdint>
#include <string>

// The kernel's version as major * 65536 + minor; -1 when the system does not say.
int32_t PlatformOS_Version();

// Language and country of the user's locale (LC_ALL, else LC_MESSAGES, else LANG), as the
// locale name gives them: "da" and "DK" for "da_DK.UTF-8". Empty when the locale names none
// ("C", "POSIX", unset).
std::string PlatformOS_LocaleLanguage();
std::string PlatformOS_LocaleRegion();

// True when a network interface other than the loopback one is up, running and addressed.
bool PlatformOS_NetworkConnected();

// Hands the text to the desktop's URL handler (xdg-open, looked up on PATH); true when the
// handler was started.
bool PlatformOS_OpenWithHandler(const std::string& url);
