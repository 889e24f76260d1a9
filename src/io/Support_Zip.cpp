#include "io/Support_Zip.h"

#include <zip.h>

#include <string>
#include <string_view>

#include "core/Console.h"
#include "core/MemoryManager.h"
#include "io/LoadSave.h"
#include "io/Support_File.h"

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// An entry name that stays inside the target folder: relative, no drive, no ".." part.
bool IsSafeEntryName(std::string_view name) {
    if (name.empty() || IsSeparator(name[0])) return false;
    size_t start = 0;
    bool first = true;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") return false;
        // "C:" or "C:name" as the first part names a drive; a colon elsewhere is a plain
        // character of the name.
        if (first && part.find(':') != std::string_view::npos) return false;
        first = false;
        start = end + 1;
    }
    return true;
}

// The entry's bytes in a new memory-manager block, or null when they cannot all be read.
void* ReadEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t size) {
    zip_file_t* entry = zip_fopen_index(archive, index, 0);
    if (entry == nullptr) return nullptr;
    void* bytes = MEM_ALLOC(size);
    zip_uint64_t done = 0;
    while (done < size) {
        const zip_int64_t n = zip_fread(entry, static_cast<uint8_t*>(bytes) + done, size - done);
        if (n <= 0) break;
        done += static_cast<zip_uint64_t>(n);
    }
    const bool complete = zip_fclose(entry) == 0 && done == size;
    if (!complete) {
        MEM_FREE(bytes);
        return nullptr;
    }
    return bytes;
}

}  // namespace

int32_t Command_Unzip(const char* archivePath, const char* folderPath, int64_t maxTotalBytes) {
    int error = 0;
    zip_t* archive = nullptr;
    if (archivePath != nullptr && *archivePath != '\0')
        archive = zip_open(File_ToSystemPath(archivePath).c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr) {
        DebugConsole.Output("Unable to open %s for decompression", archivePath ? archivePath : "");
        return 0;
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    const std::string folder = folderPath != nullptr ? folderPath : "";
    int64_t written = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0) continue;
        if ((stat.valid & ZIP_STAT_NAME) == 0 || (stat.valid & ZIP_STAT_SIZE) == 0 || stat.size == 0)
            continue;
        if (!IsSafeEntryName(stat.name)) {
            DebugConsole.Output("UNZIP: Skipping entry outside the target folder: %s\n", stat.name);
            continue;
        }
        if (stat.size > static_cast<zip_uint64_t>(maxTotalBytes - written) || stat.size > 0x7FFFFFFFu) {
            DebugConsole.Output("UNZIP: Skipping entry past the size limit: %s\n", stat.name);
            continue;
        }
        void* bytes = ReadEntry(archive, static_cast<zip_uint64_t>(i), stat.size);
        const std::string target = folder + "/" + stat.name;
        // A refused folder resolves to nothing: its entries must not land at the root.
        const bool stored = bytes != nullptr && !folder.empty() &&
                            LoadSave_WriteFile(target.c_str(), bytes, static_cast<int64_t>(stat.size));
        if (!stored)
            DebugConsole.Output("UNZIP: Failed to write compressed file entry :o");
        else
            written += static_cast<int64_t>(stat.size);
        MEM_FREE(bytes);
    }
    zip_discard(archive);
    return static_cast<int32_t>(count < 0 ? 0 : count);
}
