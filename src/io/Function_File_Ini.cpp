// The ini_* built-ins: one current ini at a time, reaching its file only when flushed.
#include <cstring>

#include "core/CRuntimeCompat.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "io/Function_File_Internal.h"
#include "io/IniFile.h"

namespace {

IniFile* g_currentIni = nullptr;

constexpr const char* kUndefinedRead = "Trying to read from undefined INI file";
constexpr const char* kUndefinedChange = "Trying to change undefined INI file";

IniFile* CurrentOrReport(const char* message) {
    if (g_currentIni == nullptr) Runtime_ErrorNonFatal("%s", message);
    return g_currentIni;
}

void Replace(IniFile* next) {
    Ini_FreeCurrent();
    g_currentIni = next;
}

HV_FILE_BUILTIN(F_IniOpen) {
    const char* name = Arg_GetString(args, 0);
    if (name == nullptr) return;
    Replace(IniFile::Open(name, false));
}

HV_FILE_BUILTIN(F_IniOpenFromString) {
    Replace(IniFile::OpenFromString(Arg_GetString(args, 0)));
}

HV_FILE_BUILTIN(F_IniClose) {
    if (g_currentIni == nullptr) {
        RValue_SetString(&result, "");
        return;
    }
    char* text = g_currentIni->Write();
    RValue_SetString(&result, text);
    MEM_FREE(text);
    delete g_currentIni;
    g_currentIni = nullptr;
}

HV_FILE_BUILTIN(F_IniReadString) {
    IniFile* ini = CurrentOrReport(kUndefinedRead);
    if (ini == nullptr) return;
    const char* value = ini->FindKey(Arg_GetString(args, 0), Arg_GetString(args, 1));
    if (value != nullptr) {
        RValue_SetString(&result, value);
    } else if (RValue_IsString(args[2])) {
        RValue_Assign(&result, &args[2]);
    } else {
        char* text = nullptr;
        char* cursor = nullptr;
        int32_t capacity = 0;
        RValue_AppendText(cursor, text, capacity, &args[2]);
        RValue_SetString(&result, text != nullptr ? text : "");
        MEM_FREE(text);
    }
}

HV_FILE_BUILTIN(F_IniReadReal) {
    const double fallback = Arg_GetReal(args, 2);
    IniFile* ini = CurrentOrReport(kUndefinedRead);
    const char* value =
        ini != nullptr ? ini->FindKey(Arg_GetString(args, 0), Arg_GetString(args, 1)) : nullptr;
    RValue_SetReal(&result, value != nullptr ? CRT_atof(value) : fallback);
}

HV_FILE_BUILTIN(F_IniWriteString) {
    IniFile* ini = CurrentOrReport(kUndefinedRead);
    if (ini == nullptr) return;
    const bool done =
        ini->WriteString(Arg_GetString(args, 0), Arg_GetString(args, 1), Arg_GetString(args, 2));
    RValue_SetReal(&result, done ? 1 : 0);
}

HV_FILE_BUILTIN(F_IniWriteReal) {
    IniFile* ini = CurrentOrReport(kUndefinedRead);
    if (ini == nullptr) return;
    const std::string text = File_FormatNumber("%f", Arg_GetReal(args, 2));
    const bool done = ini->WriteString(Arg_GetString(args, 0), Arg_GetString(args, 1), text.c_str());
    RValue_SetReal(&result, done ? 1 : 0);
}

HV_FILE_BUILTIN(F_IniKeyExists) {
    if (IniFile* ini = CurrentOrReport(kUndefinedRead))
        RValue_SetReal(&result,
                       ini->FindKey(Arg_GetString(args, 0), Arg_GetString(args, 1)) != nullptr ? 1 : 0);
}

HV_FILE_BUILTIN(F_IniSectionExists) {
    if (IniFile* ini = CurrentOrReport(kUndefinedRead))
        RValue_SetReal(&result, ini->FindSection(Arg_GetString(args, 0)) != nullptr ? 1 : 0);
}

HV_FILE_BUILTIN(F_IniKeyDelete) {
    if (IniFile* ini = CurrentOrReport(kUndefinedChange))
        RValue_SetReal(&result, ini->DeleteKey(Arg_GetString(args, 0), Arg_GetString(args, 1)) ? 1 : 0);
}

HV_FILE_BUILTIN(F_IniSectionDelete) {
    if (IniFile* ini = CurrentOrReport(kUndefinedChange))
        RValue_SetReal(&result, ini->DeleteSection(Arg_GetString(args, 0)) ? 1 : 0);
}

}  // namespace

void Ini_FreeCurrent() {
    if (g_currentIni == nullptr) return;
    MEM_FREE(g_currentIni->Write());  // flushes a changed ini
    delete g_currentIni;
    g_currentIni = nullptr;
}

void InitIniFunctions() {
    Code_Function_Add("ini_open", F_IniOpen, 1);
    Code_Function_Add("ini_open_from_string", F_IniOpenFromString, 1);
    Code_Function_Add("ini_close", F_IniClose, 0);
    Code_Function_Add("ini_read_string", F_IniReadString, 3);
    Code_Function_Add("ini_read_real", F_IniReadReal, 3);
    Code_Function_Add("ini_write_string", F_IniWriteString, 3);
    Code_Function_Add("ini_write_real", F_IniWriteReal, 3);
    Code_Function_Add("ini_key_exists", F_IniKeyExists, 2);
    Code_Function_Add("ini_section_exists", F_IniSectionExists, 1);
    Code_Function_Add("ini_key_delete", F_IniKeyDelete, 2);
    Code_Function_Add("ini_section_delete", F_IniSectionDelete, 1);
}
