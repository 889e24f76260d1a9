// Folder searches and file attributes: what the file-search built-ins ask of the system.
// A mask is a path whose last part may hold the wildcards "*" (any run of characters) and
// "?" (one character), matched without regard to ASCII letter case; every other character
// stands for itself. Attributes are the runner's attribute bits, read from stat.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum FileAttributeBits : uint32_t {
    FILE_ATTR_READONLY = 1,  // the owner may not write it
    FILE_ATTR_HIDDEN = 2,    // its name begins with "."
    FILE_ATTR_SYSTEM = 4,    // never set here
    FILE_ATTR_FOLDER = 16,
    FILE_ATTR_ARCHIVE = 32,  // every regular file
};

struct FileFindEntry {
    std::string name;  // the entry's name alone
    uint32_t attributes;
};

// True when the name matches the wildcard pattern. A pattern ending in ".*" also matches the
// name without that ending, so "*.*" takes every name.
bool FileFindM_Match(const char* pattern, const char* name);

// The entries of the mask's folder whose names match its last part, "." and ".." left out,
// sorted by name. Links are followed to read attributes; a dangling link counts as a file.
// Nothing for a mask without a last part or a folder that cannot be read.
std::vector<FileFindEntry> FileFindM_List(const char* mask);
