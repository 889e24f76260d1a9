// Unpacking zip archives into the save area.
#pragma once

#include <cstdint>

// The most bytes one archive may unpack; entries that would pass it are skipped.
constexpr int64_t kUnzipMaxTotalBytes = int64_t(1) << 30;

// Opens the archive at the path and writes every entry of non-zero size whole to the folder,
// "/" and the entry's name, through the save-area rules. Entries whose names hold a ".." part
// or are absolute or name a drive are skipped, and so is every entry that would take the bytes
// written past the limit. The number of entries in the archive; 0 (with "Unable to open %s for
// decompression" on the console) when it cannot be opened.
int32_t Command_Unzip(const char* archivePath, const char* folderPath,
                      int64_t maxTotalBytes = kUnzipMaxTotalBytes);
