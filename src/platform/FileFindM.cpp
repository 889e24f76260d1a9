#include "platform/FileFindM.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/Support_FileM.h"

namespace {

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Wildcard match with one backtrack point: the last "*" seen takes one more character each
// time the rest fails, so the walk is linear in practice and never recursive.
bool MatchWildcards(const char* pattern, const char* name) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || (*pattern != '\0' && FoldCase(*pattern) == FoldCase(*name))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

uint32_t AttributesOf(int dirFd, const char* name) {
    struct stat st;
    if (::fstatat(dirFd, name, &st, 0) != 0 && ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTR_FOLDER;
    else
        attributes |= FILE_ATTR_ARCHIVE;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTR_READONLY;
    if (name[0] == '.') attributes |= FILE_ATTR_HIDDEN;
    return attributes;
}

}  // namespace

bool FileFindM_Match(const char* pattern, const char* name) {
    if (pattern == nullptr || name == nullptr) return false;
    if (MatchWildcards(pattern, name)) return true;
    const size_t length = std::strlen(pattern);
    if (length >= 2 && pattern[length - 2] == '.' && pattern[length - 1] == '*')
        return MatchWildcards(std::string(pattern, length - 2).c_str(), name);
    return false;
}

std::vector<FileFindEntry> FileFindM_List(const char* mask) {
    std::vector<FileFindEntry> entries;
    if (mask == nullptr || *mask == '\0') return entries;
    const std::string path = File_ToSystemPath(mask);
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (pattern.empty()) return entries;

    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (!FileFindM_Match(pattern.c_str(), name)) continue;
        entries.push_back({name, AttributesOf(::dirfd(dir), name)});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const FileFindEntry& a, const FileFindEntry& b) { return a.name < b.name; });
    return entries;
}
