// The archive, JSON and CSV built-ins.
#include <string>

#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "io/Function_File_Internal.h"
#include "io/LoadSave.h"
#include "io/Support_CSV.h"
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
    RValue_SetReal(&result, Command_Unzip(path.c_str(), LoadSave_GetSavePath(folder).c_str()));
}

HV_FILE_BUILTIN(F_JsonEncode) {
    char* text = JSON_EncodeMapText(Arg_GetInt32(args, 0));
    RValue_SetString(&result, text != nullptr ? text : "");
    MEM_FREE(text);
}

HV_FILE_BUILTIN(F_JsonDecode) {
    RValue_SetReal(&result, JSON_Decode(&args[0]));
}

HV_FILE_BUILTIN(F_LoadCsv) {
    if (!RValue_IsString(args[0])) {
        Runtime_ErrorNonFatal("load_csv - parameter should be a filename");
        RValue_SetReal(&result, -1);
        return;
    }
    RValue_SetReal(&result, CSV_Load(RValue_GetStringText(&args[0])));
}

}  // namespace

void InitFileFormatFunctions() {
    Code_Function_Add("json_encode", F_JsonEncode, 1);
    Code_Function_Add("json_decode", F_JsonDecode, 1);
    Code_Function_Add("zip_unzip", F_ZipUnzip, 2);
    Code_Function_Add("load_csv", F_LoadCsv, 1, 1);
}
