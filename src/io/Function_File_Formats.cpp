// The archive, JSON and CSV built-ins.
#include <string>

#include "core/MemoryManager.h"
#include "core/Value_Convert.h"
#include "io/Function_File_Internal.h"
#include "io/LoadSave.h"
#include "io/Support_Json.h"
#include "io/Support_Zip.h"

namespace {

HV_FILE_BUILTIN(F_ZipUnzip) {
    const char* archive = Arg_GetString(args, 0);
    const char* folder = Arg_GetString(args, 1);
    std::string path;
    if (LoadSave_SaveFileExists(archive))
        path = LoadSave_GetSavePath(archive);
    else if (LoadSave_BundleFileExists(archive))
        path = LoadSave_GetBundlePath(archive);
    else
        path = LoadSave_GetSavePath(archive);
    File_SetReal(result, Command_Unzip(path.c_str(), LoadSave_GetSavePath(folder).c_str()));
}

HV_FILE_BUILTIN(F_JsonEncode) {
    char* text = JSON_EncodeMapText(Arg_GetInt32(args, 0));
    File_SetString(result, text != nullptr ? text : "");
    MEM_FREE(text);
}

HV_FILE_BUILTIN(F_JsonDecode) {
    File_SetReal(result, JSON_Decode(&args[0]));
}

}  // namespace

void InitFileFormatFunctions() {
    Code_Function_Add("json_encode", F_JsonEncode, 1);
    Code_Function_Add("json_decode", F_JsonDecode, 1);
    Code_Function_Add("zip_unzip", F_ZipUnzip, 2);
}
