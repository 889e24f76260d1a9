// The file-name, program, parameter and environment built-ins over the file helpers.
#include <string>

#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "io/Function_File_Internal.h"
#include "io/Support_File.h"

namespace {

HV_FILE_BUILTIN(F_FilenameName) {
    RValue_SetString(&result, Filename_Name(Arg_GetString(args, 0)).c_str());
}

HV_FILE_BUILTIN(F_FilenamePath) {
    std::string folder;
    if (!Filename_Path(Arg_GetString(args, 0), folder)) {
        Runtime_Error("null string passed to filename_path");
        return;
    }
    RValue_SetString(&result, folder.c_str());
}

HV_FILE_BUILTIN(F_FilenameDir) {
    std::string folder;
    if (!Filename_Dir(Arg_GetString(args, 0), folder)) {
        Runtime_Error("null string passed to filename_dir");
        return;
    }
    RValue_SetString(&result, folder.c_str());
}

HV_FILE_BUILTIN(F_FilenameDrive) {
    RValue_SetString(&result, Filename_Drive(Arg_GetString(args, 0)).c_str());
}

HV_FILE_BUILTIN(F_FilenameExt) {
    RValue_SetString(&result, Filename_Ext(Arg_GetString(args, 0)).c_str());
}

HV_FILE_BUILTIN(F_FilenameChangeExt) {
    RValue_SetString(&result, Filename_ChangeExt(Arg_GetString(args, 0), Arg_GetString(args, 1)).c_str());
}

HV_FILE_BUILTIN(F_ExecuteProgram) {
    const char* program = Arg_GetString(args, 0);
    const char* arguments = Arg_GetString(args, 1);
    RValue_SetReal(&result, Execute_Program(program, arguments, Arg_GetBool(args, 2)));
}

HV_FILE_BUILTIN(F_ExecuteShell) {
    RValue_SetReal(&result, Execute_Shell(Arg_GetString(args, 0), Arg_GetString(args, 1)));
}

HV_FILE_BUILTIN(F_ParameterCount) {
    RValue_SetReal(&result, Parameters_Count());
}

HV_FILE_BUILTIN(F_ParameterString) {
    RValue_SetString(&result, Parameters_String(Arg_GetInt32(args, 0)));
}

HV_FILE_BUILTIN(F_EnvironmentGetVariable) {
    RValue_SetString(&result, Environment_GetVariable(Arg_GetString(args, 0)).c_str());
}

}  // namespace

void InitFileNameFunctions() {
    Code_Function_Add("filename_name", F_FilenameName, 1);
    Code_Function_Add("filename_path", F_FilenamePath, 1);
    Code_Function_Add("filename_dir", F_FilenameDir, 1);
    Code_Function_Add("filename_drive", F_FilenameDrive, 1);
    Code_Function_Add("filename_ext", F_FilenameExt, 1);
    Code_Function_Add("filename_change_ext", F_FilenameChangeExt, 2);
    Code_Function_Add("execute_program", F_ExecuteProgram, 3);
    Code_Function_Add("execute_shell", F_ExecuteShell, 2);
    Code_Function_Add("parameter_count", F_ParameterCount, 0);
    Code_Function_Add("parameter_string", F_ParameterString, 1);
    Code_Function_Add("environment_get_variable", F_EnvironmentGetVariable, 1);
}
