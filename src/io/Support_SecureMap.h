// Secure map files and buffers: a map's JSON text in Base64 behind an 80-character signature
// built from this computer's identifier, so only the same computer reads it back. The
// signature ties a save to a computer; it does not detect edits of the Base64 part.
#pragma once

#include <cstdint>
#include <string>

// A new memory-manager text identifying this computer (the caller frees it); "NOT SUPPORTED"
// when the system does not say.
char* MachineGuid_Get();
// Tests replace where the identifier comes from (null: the system's).
void MachineGuid_SetSource(std::string (*source)());

// The 80 lower-case hex digits in a new cleared 81-byte memory-manager block (the caller
// frees it); null when the identifier is empty.
char* SecureMap_MakeSignature();
// True when the first 80 characters of the text equal this computer's signature.
bool SecureMap_CheckSignature(const char* text);

// The four built-ins as game code sees them.
void SecureMap_Save(int32_t map, const char* name);
int32_t SecureMap_SaveBuffer(int32_t map, int32_t buffer);
int32_t SecureMap_Load(const char* name);
int32_t SecureMap_LoadBuffer(int32_t buffer);

// Puts ds_map_secure_save, ds_map_secure_load, ds_map_secure_save_buffer and
// ds_map_secure_load_buffer into the built-in table: rows already there under those names
// take these functions, otherwise rows are added. Run after the container built-ins.
void InitSecureMapFunctions();
