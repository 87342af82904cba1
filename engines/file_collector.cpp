#include "engines/file_collector.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

namespace tk::engine {
namespace {

bool hasWildcard(const std::string& s) {
    return s.find_first_of("*?[") != std::string::npos;
}

void addFile(const std::string& path, const std::string& relative, const struct stat& st, const CollectOptions& o,
             size_t specIndex, std::vector<FileToAdd>& out) {
    const size_t slash = relative.rfind('/');
    const std::string name = o.keepFolderNames || slash == std::string::npos ? relative : relative.substr(slash + 1);
    out.push_back({path, cleanMemberName(name), static_cast<long long>(st.st_size), st.st_mtime, specIndex});
}

void walk(const std::string& folder, const std::string& relative, const std::string& pattern, const CollectOptions& o,
          size_t specIndex, std::vector<FileToAdd>& out) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (!o.hiddenFiles && name[0] == '.') {
            continue;
        }
        const std::string path = folder + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            continue;
        }
        if (S_ISREG(st.st_mode) && ::fnmatch(pattern.c_str(), name.c_str(), 0) == 0) {
            addFile(path, relative + name, st, o, specIndex, out);
        } else if (S_ISDIR(st.st_mode) && o.recurse) {
            walk(path + "/", relative + name + "/", pattern, o, specIndex, out);
        }
    }
}

}  // namespace

std::string cleanMemberName(const std::string& path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..") {
            out += out.empty() ? part : "/" + part;
        }
        start = end + 1;
    }
    return out;
}

void collectFiles(const std::string& root, const std::string& spec, const CollectOptions& o, size_t specIndex,
                  std::vector<FileToAdd>& out) {
    const std::string base = (!spec.empty() && spec[0] == '/') ? std::string() : root;
    const size_t slash = spec.rfind('/');
    const std::string dirPart = slash == std::string::npos ? std::string() : spec.substr(0, slash + 1);
    std::string pattern = slash == std::string::npos ? spec : spec.substr(slash + 1);
    if (pattern == "*.*") {
        pattern = "*";  // every file, with or without a dot
    }
    const std::string folder = base + dirPart;
    if (!hasWildcard(pattern)) {
        struct stat st {};
        const std::string path = folder + pattern;
        if (::lstat(path.c_str(), &st) != 0) {
            return;
        }
        if (S_ISREG(st.st_mode)) {
            addFile(path, dirPart + pattern, st, o, specIndex, out);
        } else if (S_ISDIR(st.st_mode) && o.recurse) {
            walk(path + "/", dirPart + pattern + "/", "*", o, specIndex, out);
        }
        return;
    }
    walk(folder, dirPart, pattern, o, specIndex, out);
}

}  // namespace tk::engine
