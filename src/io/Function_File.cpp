#include "io/Function_File.h"

#include <locale.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "core/RuntimeError.h"
#include "core/Value_Convert.h"
#include "io/Function_File_Internal.h"
#include "io/IBuffer.h"
#include "io/LoadSave.h"
#include "io/LoadSaveFOpen.h"
#include "io/Support_File.h"
#include "platform/FileFindM.h"
#include "platform/HostOS.h"

namespace {

constexpr int32_t kFileSlots = 32;  // ids 1 to 31; entry 0 is the legacy single file's
constexpr const char* kTableFull = "Cannot open another file (maximum exceeded).";

// --- binary files ------------------------------------------------------------------------

enum BinaryMode : int32_t { BIN_READ = 0, BIN_WRITE = 1, BIN_READ_WRITE = 2 };

struct BinaryFile {
    char* name;  // the resolved path
    int32_t mode;
    LoadSaveFile* file;
};

BinaryFile g_binaryFiles[kFileSlots];
bool g_binaryInUse[kFileSlots];

void CloseBinary(int32_t id) {
    BinaryFile& entry = g_binaryFiles[id];
    LoadSave_fclose(entry.file);  // written back when open for writing
    MEM_FREE(entry.name);
    entry = BinaryFile{};
    g_binaryInUse[id] = false;
}

// The open binary file of the id, or null (with the message reported).
LoadSaveFile* OpenBinary(const RValue* args, const char* message) {
    const int32_t id = Arg_GetInt32(args, 0);
    if (id < 1 || id >= kFileSlots || !g_binaryInUse[id] || g_binaryFiles[id].file == nullptr) {
        Runtime_ErrorNonFatal("%s", message);
        return nullptr;
    }
    return g_binaryFiles[id].file;
}

// Where an existing file of the name is read: the save area, else the bundle; empty when in
// neither.
std::string ExistingPath(const char* name) {
    if (LoadSave_SaveFileExists(name)) return LoadSave_GetSavePath(name);
    if (LoadSave_BundleFileExists(name)) return LoadSave_GetBundlePath(name);
    return std::string();
}

// --- text files --------------------------------------------------------------------------

enum TextState : int32_t { TEXT_CLOSED = 0, TEXT_READ = 1, TEXT_WRITE = 2 };

struct TextFile {
    char* name;
    LoadSaveFile* file;
};

TextFile g_textFiles[kFileSlots];
int32_t g_textState[kFileSlots];

int32_t FirstFreeTextId() {
    for (int32_t id = 1; id < kFileSlots; ++id)
        if (g_textState[id] == TEXT_CLOSED) return id;
    return -1;
}

void CloseText(int32_t id) {
    LoadSave_fclose(g_textFiles[id].file);
    MEM_FREE(g_textFiles[id].name);
    g_textFiles[id] = TextFile{};
    g_textState[id] = TEXT_CLOSED;
}

// The file of the id when it is open in the state, or null (with the message reported).
LoadSaveFile* OpenText(const RValue* args, int32_t state, const char* message) {
    const int32_t id = Arg_GetInt32(args, 0);
    if (id < 1 || id >= kFileSlots || g_textState[id] != state || g_textFiles[id].file == nullptr) {
        Runtime_ErrorNonFatal("%s", message);
        return nullptr;
    }
    return g_textFiles[id].file;
}

constexpr const char* kNotForReading = "File is not opened for reading.";
constexpr const char* kNotForWriting = "File not opened for writing.";

void StoreText(int32_t id, const char* name, LoadSaveFile* file, int32_t state) {
    g_textFiles[id].name = String_Duplicate(name);
    g_textFiles[id].file = file;
    g_textState[id] = state;
}

// A file open for reading over a copy of the bytes; never written back.
LoadSaveFile* FileOverBytes(const char* bytes, size_t length) {
    auto* buffer = new Buffer_Standard();
    buffer->WriteBytes(bytes, 1, static_cast<int32_t>(length));
    buffer->Seek(0, 0);
    auto* file = static_cast<LoadSaveFile*>(MEM_ALLOC(sizeof(LoadSaveFile)));
    file->buffer = buffer;
    file->text = true;
    file->name = nullptr;
    file->write = false;
    return file;
}

void LogFailedOpen(const char* what) {
    DebugConsole.Output("ERROR!!! :: Failed to open file: %s\n", what);
}

// --- the legacy single file --------------------------------------------------------------

FILE* g_legacyFile = nullptr;
char* g_legacyName = nullptr;
int32_t g_legacyState = TEXT_CLOSED;

void CloseLegacy() {
    if (g_legacyFile != nullptr) std::fclose(g_legacyFile);
    g_legacyFile = nullptr;
    MEM_FREE(g_legacyName);
    g_legacyName = nullptr;
    g_legacyState = TEXT_CLOSED;
}

void OpenLegacy(const char* name, const char* mode, int32_t state) {
    CloseLegacy();
    g_legacyFile = LoadSave_wfopen(name, mode);
    if (g_legacyFile == nullptr) return;
    g_legacyName = String_Duplicate(name);
    g_legacyState = state;
}

FILE* LegacyFile(int32_t state, const char* message) {
    if (g_legacyFile == nullptr || g_legacyState != state) {
        Runtime_ErrorNonFatal("%s", message);
        return nullptr;
    }
    return g_legacyFile;
}

// The stream's line without its end: at most 1,023 bytes, stopped by LF, CR or the end; the
// LF or CR that stopped it is consumed.
std::string LegacyReadString(FILE* file) {
    std::string text;
    while (text.size() < 1023) {
        const int c = std::fgetc(file);
        if (c == EOF || c == '\n' || c == '\r') break;
        text += static_cast<char>(c);
    }
    return text;
}

// --- search ------------------------------------------------------------------------------

std::vector<std::string> g_foundNames;
size_t g_nextFound = 0;
bool g_searchActive = false;

void EndSearch() {
    g_foundNames.clear();
    g_nextFound = 0;
    g_searchActive = false;
}

bool TakesEntry(uint32_t entryAttributes, uint32_t asked) {
    if (entryAttributes & FILE_ATTR_FOLDER) return (asked & FILE_ATTR_FOLDER) != 0;
    const uint32_t askedOther = asked & ~static_cast<uint32_t>(FILE_ATTR_FOLDER);
    if (askedOther == 0) return true;
    constexpr uint32_t kFileBits =
        FILE_ATTR_READONLY | FILE_ATTR_HIDDEN | FILE_ATTR_SYSTEM | FILE_ATTR_ARCHIVE;
    return (entryAttributes & askedOther & kFileBits) != 0;
}

void AddFound(const std::string& name) {
    if (name == "." || name == "..") return;
    for (const std::string& known : g_foundNames)
        if (known == name) return;
    g_foundNames.push_back(name);
}

void FileFind_Search(const std::string& saveMask, const std::string& bundleMask, uint32_t attributes) {
    for (const std::string* mask : {&saveMask, &bundleMask}) {
        if (mask->empty()) continue;
        for (const FileFindEntry& entry : FileFindM_List(mask->c_str()))
            if (TakesEntry(entry.attributes, attributes)) AddFound(entry.name);
    }
}

// --- built-ins: binary files -------------------------------------------------------------

HV_FILE_BUILTIN(F_FileBinOpen) {
    result = RValue_Real(-1);
    int32_t id = 1;
    while (id < kFileSlots && g_binaryInUse[id]) ++id;
    if (id >= kFileSlots) {
        Runtime_ErrorNonFatal("%s", kTableFull);
        return;
    }
    if (g_binaryFiles[id].file != nullptr || g_binaryFiles[id].name != nullptr) CloseBinary(id);

    const char* name = Arg_GetString(args, 0);
    const int32_t mode = Arg_GetInt32(args, 1);
    std::string path = ExistingPath(name);
    if (path.empty()) path = LoadSave_GetSavePath(name);

    LoadSaveFile* file = nullptr;
    if (!path.empty()) {
        if (mode != BIN_READ) File_CreateDirectoryForFile(path.c_str());
        file = LoadSave_fopen(path.c_str(), mode == BIN_READ ? "rb" : mode == BIN_WRITE ? "wb" : "rw");
    }
    if (file == nullptr) {
        DebugConsole.Output("Error opening binary file %s\n", name ? name : "");
        return;
    }
    g_binaryFiles[id] = BinaryFile{String_Duplicate(path.c_str()), mode, file};
    g_binaryInUse[id] = true;
    RValue_SetReal(&result, id);
}

HV_FILE_BUILTIN(F_FileBinRewrite) {
    if (OpenBinary(args, "Trying to rewrite unopened file.") == nullptr) return;
    BinaryFile& entry = g_binaryFiles[Arg_GetInt32(args, 0)];
    LoadSave_fclose(entry.file);
    entry.file = LoadSave_fopen(entry.name, "wb");
    entry.mode = BIN_WRITE;
}

HV_FILE_BUILTIN(F_FileBinClose) {
    if (OpenBinary(args, "Trying to close unopened file.") == nullptr) return;
    CloseBinary(Arg_GetInt32(args, 0));
}

HV_FILE_BUILTIN(F_FileBinPosition) {
    if (LoadSaveFile* file = OpenBinary(args, "File is not opened."))
        RValue_SetReal(&result, LoadSave_ftell(file));
}

HV_FILE_BUILTIN(F_FileBinSize) {
    LoadSaveFile* file = OpenBinary(args, "File is not opened.");
    if (file == nullptr) return;
    const int32_t position = LoadSave_ftell(file);
    const int32_t size = LoadSave_fseek(file, 0, 2);
    LoadSave_fseek(file, position, 0);
    RValue_SetReal(&result, size);
}

HV_FILE_BUILTIN(F_FileBinSeek) {
    if (LoadSaveFile* file = OpenBinary(args, "File is not opened."))
        LoadSave_fseek(file, Arg_GetInt32(args, 1), 0);
}

HV_FILE_BUILTIN(F_FileBinReadByte) {
    LoadSaveFile* file = OpenBinary(args, "File is not opened.");
    if (file == nullptr) return;
    const int32_t mode = g_binaryFiles[Arg_GetInt32(args, 0)].mode;
    uint8_t byte = 0;
    if (mode == BIN_WRITE || LoadSave_fread(&byte, 1, 1, file) != 1) {
        Runtime_ErrorNonFatal("Error reading byte.");
        byte = 0;
    }
    RValue_SetReal(&result, byte);
}

HV_FILE_BUILTIN(F_FileBinWriteByte) {
    LoadSaveFile* file = OpenBinary(args, "File is not opened.");
    if (file == nullptr) return;
    const uint8_t byte = static_cast<uint8_t>(Arg_GetInt32(args, 1));
    if (g_binaryFiles[Arg_GetInt32(args, 0)].mode != BIN_READ) LoadSave_fwrite(&byte, 1, 1, file);
}

// --- built-ins: text files ---------------------------------------------------------------

HV_FILE_BUILTIN(F_FileTextOpenFromString) {
    result = RValue_Real(-1);
    const int32_t id = FirstFreeTextId();
    if (id < 0) {
        Runtime_ErrorNonFatal("%s", kTableFull);
        return;
    }
    if (!RValue_IsString(args[0])) {
        DebugConsole.Output("ERROR!!! :: wrong type for filename\n");
        return;
    }
    const char* text = RValue_GetStringText(&args[0]);
    if (text == nullptr) text = "";
    const size_t length = std::strlen(text);
    if (length > static_cast<size_t>(IBuffer::kMaxSize)) return;
    StoreText(id, "FileFromString", FileOverBytes(text, length), TEXT_READ);
    RValue_SetReal(&result, id);
}

HV_FILE_BUILTIN(F_FileTextOpenRead) {
    result = RValue_Real(-1);
    const int32_t id = FirstFreeTextId();
    if (id < 0) {
        Runtime_ErrorNonFatal("%s", kTableFull);
        return;
    }
    const char* name = Arg_GetString(args, 0);
    const std::string path = ExistingPath(name);
    if (path.empty()) {
        LogFailedOpen(name ? name : "");
        return;
    }
    LoadSaveFile* file = LoadSave_fopen(path.c_str(), "rt");
    if (file == nullptr) {
        LogFailedOpen(path.c_str());
        return;
    }
    StoreText(id, path.c_str(), file, TEXT_READ);
    RValue_SetReal(&result, id);
}

void OpenTextForWriting(RValue& result, const RValue* args, bool append) {
    result = RValue_Real(-1);
    const int32_t id = FirstFreeTextId();
    if (id < 0) {
        Runtime_ErrorNonFatal("%s", kTableFull);
        return;
    }
    const char* name = Arg_GetString(args, 0);
    const std::string path = LoadSave_GetSavePath(name);
    LoadSaveFile* file = nullptr;
    if (!path.empty()) {
        if (append && !LoadSave_SaveFileExists(name) && LoadSave_BundleFileExists(name)) {
            int64_t size = 0;
            if (void* bytes = LoadSave_ReadBundleFile(name, &size)) {
                LoadSave_WriteFile(path.c_str(), bytes, size);
                MEM_FREE(bytes);
            }
        }
        // A name that can never be made fails now, not silently at the close.
        if (LoadSave_CanCreatePath(path)) file = LoadSave_fopen(path.c_str(), append ? "a+" : "w");
    }
    if (file == nullptr) {
        LogFailedOpen(path.c_str());
        return;
    }
    StoreText(id, path.c_str(), file, TEXT_WRITE);
    RValue_SetReal(&result, id);
}

HV_FILE_BUILTIN(F_FileTextOpenWrite) {
    OpenTextForWriting(result, args, false);
}

HV_FILE_BUILTIN(F_FileTextOpenAppend) {
    OpenTextForWriting(result, args, true);
}

HV_FILE_BUILTIN(F_FileTextClose) {
    const int32_t id = Arg_GetInt32(args, 0);
    if (id < 1 || id >= kFileSlots) {
        Runtime_ErrorNonFatal("Trying to close text file that has not been opened.");
        return;
    }
    if (g_textState[id] != TEXT_CLOSED) CloseText(id);
}

HV_FILE_BUILTIN(F_FileTextEof) {
    if (LoadSaveFile* file = OpenText(args, TEXT_READ, kNotForReading))
        RValue_SetBool(&result, LoadSave_feof(file));
}

HV_FILE_BUILTIN(F_FileTextEoln) {
    if (LoadSaveFile* file = OpenText(args, TEXT_READ, kNotForReading))
        RValue_SetBool(&result, LoadSave_feoln(file));
}

HV_FILE_BUILTIN(F_FileTextReadString) {
    LoadSaveFile* file = OpenText(args, TEXT_READ, kNotForReading);
    if (file == nullptr) return;
    std::string text;
    while (!LoadSave_feof(file)) {
        const int c = LoadSave_fgetc(file);
        if (c == '\r' || c == '\n') {
            LoadSave_fseek(file, -1, 1);  // the line end stays for file_text_readln
            break;
        }
        if ((c & 0xFF) == 0xFF) continue;  // the end marker's byte is never text
        text += static_cast<char>(c);
    }
    RValue_SetString(&result, text.c_str());
}

HV_FILE_BUILTIN(F_FileTextReadReal) {
    LoadSaveFile* file = OpenText(args, TEXT_READ, kNotForReading);
    if (file == nullptr) return;
    double value = 0.0;
    LoadSave_freadReal(file, &value);
    RValue_SetReal(&result, value);
}

HV_FILE_BUILTIN(F_FileTextReadln) {
    LoadSaveFile* file = OpenText(args, TEXT_READ, kNotForReading);
    if (file == nullptr) return;
    std::string text;
    while (!LoadSave_feof(file)) {
        const int c = LoadSave_fgetc(file);
        text += static_cast<char>(c);
        if (c == '\n') break;
    }
    RValue_SetString(&result, text.c_str());
}

HV_FILE_BUILTIN(F_FileTextWriteString) {
    LoadSaveFile* file = OpenText(args, TEXT_WRITE, kNotForWriting);
    if (file != nullptr) LoadSave_fputs(file, Arg_GetString(args, 1));
}

HV_FILE_BUILTIN(F_FileTextWriteReal) {
    LoadSaveFile* file = OpenText(args, TEXT_WRITE, kNotForWriting);
    if (file != nullptr) LoadSave_fputs(file, File_FormatNumber("%g ", Arg_GetReal(args, 1)).c_str());
}

HV_FILE_BUILTIN(F_FileTextWriteln) {
    if (LoadSaveFile* file = OpenText(args, TEXT_WRITE, kNotForWriting)) LoadSave_fputs(file, "\n");
}

// --- built-ins: the legacy single file ---------------------------------------------------
// Names reach the system exactly as the game gives them: no save-area rules apply.

HV_FILE_BUILTIN(F_FileOpenRead) {
    const char* name = Arg_GetString(args, 0);
    CloseLegacy();
    if (name != nullptr && File_Exists(name)) OpenLegacy(name, "rt", TEXT_READ);
}

HV_FILE_BUILTIN(F_FileOpenWrite) {
    const char* name = Arg_GetString(args, 0);
    if (name == nullptr) {
        CloseLegacy();
        Runtime_ErrorNonFatal("Error opening file for writing.");
        return;
    }
    OpenLegacy(name, "w+", TEXT_WRITE);
}

HV_FILE_BUILTIN(F_FileOpenAppend) {
    const char* name = Arg_GetString(args, 0);
    if (name == nullptr) {
        CloseLegacy();
        Runtime_ErrorNonFatal("Error opening file for appending.");
        return;
    }
    OpenLegacy(name, "a+", TEXT_WRITE);
}

HV_FILE_BUILTIN(F_FileClose) {
    CloseLegacy();
}

HV_FILE_BUILTIN(F_FileEof) {
    FILE* file = LegacyFile(TEXT_READ, "File is not opened for reading.");
    if (file == nullptr) return;
    const int c = std::fgetc(file);
    if (c != EOF) std::ungetc(c, file);
    RValue_SetBool(&result, c == EOF);
}

HV_FILE_BUILTIN(F_FileReadString) {
    if (FILE* file = LegacyFile(TEXT_READ, "File not opened for reading."))
        RValue_SetString(&result, LegacyReadString(file).c_str());
}

HV_FILE_BUILTIN(F_FileReadReal) {
    FILE* file = LegacyFile(TEXT_READ, "File not opened for reading.");
    if (file == nullptr) return;
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const locale_t previous = uselocale(cLocale);
    double value = 0.0;
    if (std::fscanf(file, "%lf", &value) != 1) value = 0.0;
    uselocale(previous);
    RValue_SetReal(&result, value);
}

HV_FILE_BUILTIN(F_FileReadln) {
    FILE* file = LegacyFile(TEXT_READ, "File not opened for reading.");
    if (file == nullptr) return;
    std::string text;
    while (text.size() < 1023) {
        const int c = std::fgetc(file);
        if (c == EOF) break;
        text += static_cast<char>(c);
        if (c == '\n') break;
    }
    RValue_SetString(&result, text.c_str());
}

HV_FILE_BUILTIN(F_FileWriteString) {
    FILE* file = LegacyFile(TEXT_WRITE, "File not opened for writing.");
    const char* text = file != nullptr ? Arg_GetString(args, 0) : nullptr;
    if (text != nullptr) std::fputs(text, file);
}

HV_FILE_BUILTIN(F_FileWriteReal) {
    if (FILE* file = LegacyFile(TEXT_WRITE, "File not opened for writing."))
        std::fputs(File_FormatNumber("%10.4f", Arg_GetReal(args, 0)).c_str(), file);
}

HV_FILE_BUILTIN(F_FileWriteln) {
    if (FILE* file = LegacyFile(TEXT_WRITE, "File not opened for writing.")) std::fputc('\n', file);
}

// --- built-ins: whole files, folders, search ---------------------------------------------

HV_FILE_BUILTIN(F_FileExists) {
    const char* name = Arg_GetString(args, 0);
    RValue_SetReal(&result, LoadSave_BundleFileExists(name) || LoadSave_SaveFileExists(name) ? 1 : 0);
}

HV_FILE_BUILTIN(F_FileDelete) {
    const char* name = Arg_GetString(args, 0);
    if (LoadSave_SaveFileExists(name)) RValue_SetReal(&result, LoadSave_DeleteFile(name) ? 1 : 0);
}

HV_FILE_BUILTIN(F_FileRename) {
    const char* from = Arg_GetString(args, 0);
    const char* to = Arg_GetString(args, 1);
    if (!LoadSave_SaveFileExists(from)) return;
    const std::string fromPath = LoadSave_GetSavePath(from);
    const std::string toPath = LoadSave_GetSavePath(to);
    // An existing file of the new name is never replaced, as the system's rename on the
    // original platform refuses it.
    const bool moved = !fromPath.empty() && !toPath.empty() && LoadSave_MovePathNoReplace(fromPath, toPath);
    RValue_SetReal(&result, moved ? 1 : 0);
}

HV_FILE_BUILTIN(F_FileCopy) {
    result = RValue_Real(-1);
    const char* source = Arg_GetString(args, 0);
    const char* destination = Arg_GetString(args, 1);
    // The source is read whole before the destination is opened, so copying a file onto
    // itself keeps its bytes.
    int64_t size = 0;
    void* bytes = LoadSave_ReadWholeFile(ExistingPath(source).c_str(), &size);
    if (bytes == nullptr) bytes = LoadSave_ReadBundleFile(source, &size);
    if (bytes == nullptr) {
        DebugConsole.Output("Unable to open source file %s\n", source ? source : "");
        return;
    }
    const std::string path = LoadSave_GetSavePath(destination);
    const bool written = !path.empty() && LoadSave_WritePath(path, bytes, size);
    MEM_FREE(bytes);
    if (!written) {
        DebugConsole.Output("Unable to open destination file %s\n", destination ? destination : "");
        return;
    }
    RValue_SetReal(&result, 0);
}

HV_FILE_BUILTIN(F_DirectoryExists) {
    const char* name = Arg_GetString(args, 0);
    const std::string save = LoadSave_GetSavePath(name);
    const std::string bundle = LoadSave_GetBundlePath(name);
    const bool exists = (!save.empty() && Directory_Exists(save.c_str())) ||
                        (!bundle.empty() && Directory_Exists(bundle.c_str()));
    RValue_SetReal(&result, exists ? 1 : 0);
}

HV_FILE_BUILTIN(F_DirectoryCreate) {
    const std::string path = LoadSave_GetSavePath(Arg_GetString(args, 0));
    RValue_SetReal(&result, !path.empty() && LoadSave_CreateFolderPath(path) ? 1 : 0);
}

HV_FILE_BUILTIN(F_DirectoryDestroy) {
    const std::string path = LoadSave_GetSavePath(Arg_GetString(args, 0));
    if (!path.empty()) LoadSave_DestroyFolderPath(path);
}

HV_FILE_BUILTIN(F_FileFindFirst) {
    const char* mask = Arg_GetString(args, 0);
    const uint32_t attributes = static_cast<uint32_t>(Arg_GetInt32(args, 1));
    EndSearch();
    FileFind_Search(LoadSave_GetSavePath(mask), LoadSave_GetBundlePath(mask), attributes);
    g_searchActive = !g_foundNames.empty();
    RValue_SetString(&result, g_searchActive ? g_foundNames[g_nextFound++].c_str() : "");
}

HV_FILE_BUILTIN(F_FileFindNext) {
    const bool more = g_searchActive && g_nextFound < g_foundNames.size();
    RValue_SetString(&result, more ? g_foundNames[g_nextFound++].c_str() : "");
}

HV_FILE_BUILTIN(F_FileFindClose) {
    if (g_searchActive) EndSearch();
}

HV_FILE_BUILTIN(F_FileAttributes) {
    const char* name = Arg_GetString(args, 0);
    std::string path = LoadSave_GetSavePath(name);
    int32_t attributes = path.empty() ? 0 : File_GetAttributes(path.c_str());
    if (attributes == 0) {
        path = LoadSave_GetBundlePath(name);
        if (!path.empty()) attributes = File_GetAttributes(path.c_str());
    }
    RValue_SetReal(&result, attributes);
}

}  // namespace

int32_t File_GetAttributes(const char* path) {
    const std::vector<FileFindEntry> entries = FileFindM_List(path);
    return entries.empty() ? 0 : static_cast<int32_t>(entries.front().attributes & 0x37);
}

std::string File_FormatNumber(const char* format, double value) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const locale_t previous = uselocale(cLocale);
    char small[64];
    const int length = std::snprintf(small, sizeof small, format, value);
    std::string text;
    if (length >= 0 && static_cast<size_t>(length) < sizeof small) {
        text.assign(small, static_cast<size_t>(length));
    } else if (length > 0) {
        text.resize(static_cast<size_t>(length));
        std::snprintf(text.data(), text.size() + 1, format, value);
    }
    uselocale(previous);
    return text;
}

void File_FreeTables() {
    for (int32_t id = 0; id < kFileSlots; ++id) {
        if (g_binaryInUse[id] || g_binaryFiles[id].file != nullptr || g_binaryFiles[id].name != nullptr)
            CloseBinary(id);
        if (g_textState[id] != TEXT_CLOSED || g_textFiles[id].file != nullptr) CloseText(id);
    }
    CloseLegacy();
    EndSearch();
    Ini_FreeCurrent();
}

void InitFileTableFunctions() {
    Code_Function_Add("file_bin_open", F_FileBinOpen, 2);
    Code_Function_Add("file_bin_rewrite", F_FileBinRewrite, 1);
    Code_Function_Add("file_bin_close", F_FileBinClose, 1);
    Code_Function_Add("file_bin_position", F_FileBinPosition, 1);
    Code_Function_Add("file_bin_size", F_FileBinSize, 1);
    Code_Function_Add("file_bin_seek", F_FileBinSeek, 2);
    Code_Function_Add("file_bin_read_byte", F_FileBinReadByte, 1);
    Code_Function_Add("file_bin_write_byte", F_FileBinWriteByte, 2);

    Code_Function_Add("file_text_open_from_string", F_FileTextOpenFromString, 1);
    Code_Function_Add("file_text_open_read", F_FileTextOpenRead, 1);
    Code_Function_Add("file_text_open_write", F_FileTextOpenWrite, 1);
    Code_Function_Add("file_text_open_append", F_FileTextOpenAppend, 1);
    Code_Function_Add("file_text_close", F_FileTextClose, 1);
    Code_Function_Add("file_text_eof", F_FileTextEof, 1);
    Code_Function_Add("file_text_eoln", F_FileTextEoln, 1);
    Code_Function_Add("file_text_read_string", F_FileTextReadString, 1);
    Code_Function_Add("file_text_read_real", F_FileTextReadReal, 1);
    Code_Function_Add("file_text_readln", F_FileTextReadln, 1);
    Code_Function_Add("file_text_write_string", F_FileTextWriteString, 2);
    Code_Function_Add("file_text_write_real", F_FileTextWriteReal, 2);
    Code_Function_Add("file_text_writeln", F_FileTextWriteln, 1);

    Code_Function_Add("file_open_read", F_FileOpenRead, 1);
    Code_Function_Add("file_open_write", F_FileOpenWrite, 1);
    Code_Function_Add("file_open_append", F_FileOpenAppend, 1);
    Code_Function_Add("file_close", F_FileClose, 0);
    Code_Function_Add("file_eof", F_FileEof, 0);
    Code_Function_Add("file_read_string", F_FileReadString, 0);
    Code_Function_Add("file_read_real", F_FileReadReal, 0);
    Code_Function_Add("file_readln", F_FileReadln, 0);
    Code_Function_Add("file_write_string", F_FileWriteString, 1);
    Code_Function_Add("file_write_real", F_FileWriteReal, 1);
    Code_Function_Add("file_writeln", F_FileWriteln, 0);

    Code_Function_Add("file_exists", F_FileExists, 1);
    Code_Function_Add("file_delete", F_FileDelete, 1);
    Code_Function_Add("file_rename", F_FileRename, 2);
    Code_Function_Add("file_copy", F_FileCopy, 2);
    Code_Function_Add("directory_exists", F_DirectoryExists, 1);
    Code_Function_Add("directory_create", F_DirectoryCreate, 1);
    Code_Function_Add("directory_destroy", F_DirectoryDestroy, 1);
    Code_Function_Add("file_find_first", F_FileFindFirst, 2);
    Code_Function_Add("file_find_next", F_FileFindNext, 0);
    Code_Function_Add("file_find_close", F_FileFindClose, 0);
    Code_Function_Add("file_attributes", F_FileAttributes, 2);
}

void InitFileFunctions() {
    File_FreeTables();
    InitFileTableFunctions();
    InitFileNameFunctions();
    InitIniFunctions();
    InitFileFormatFunctions();
}
