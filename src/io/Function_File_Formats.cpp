// The archive, JSON and CSV built-ins.
#include <string>

#include "core/Value_Convert.h"
#include "io/Function_File_Internal.h"
#include "io/LoadSave.h"
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

}  // namespace

void InitFileFormatFunctions() {
    Code_Function_Add("zip_unzip", F_ZipUnzip, 2);
}
