#include "platform/tree_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tk {
namespace {

// A folder on the way down: who it is (to check the way back up), its name in its parent, and
// the sub-folders it still holds.
struct Level {
    dev_t dev = 0;
    ino_t ino = 0;
    std::string name;
    std::vector<std::string> folders;
};

bool isFolder(int folderFd, const dirent* e) {
    if (e->d_type != DT_UNKNOWN) {
        return e->d_type == DT_DIR;
    }
    struct stat st;
    return ::fstatat(folderFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

bool unlinkIn(int folderFd, const std::string& name, int flags) {
    return ::unlinkat(folderFd, name.c_str(), flags) == 0 || errno == ENOENT;
}

// Removes what in folderFd is no folder and collects the names of the folders. The names are
// read first and removed after, so the listing is never read while it changes.
bool clearFiles(int folderFd, std::vector<std::string>& folders) {
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0) {
            ::close(listFd);
        }
        return false;
    }
    std::vector<std::string> files;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        (isFolder(folderFd, e) ? folders : files).push_back(name);
    }
    ::closedir(dir);
    bool ok = true;
    for (const std::string& name : files) {
        ok = unlinkIn(folderFd, name, 0) && ok;
    }
    return ok;
}

bool identify(int fd, Level& level) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    level.dev = st.st_dev;
    level.ino = st.st_ino;
    return true;
}

// Opens the sub-folder name of folderFd without following a link. A name that turned into
// something else since it was listed is removed as that.
int enter(int folderFd, const std::string& name, bool& ok) {
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && (errno == ENOTDIR || errno == ELOOP)) {
        ok = unlinkIn(folderFd, name, 0) && ok;
    } else if (fd < 0 && errno != ENOENT) {
        ok = false;
    }
    return fd;
}

}  // namespace

bool emptyFolderAt(int folderFd) {
    int fd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    std::vector<Level> stack(1);
    bool ok = identify(fd, stack.back()) && clearFiles(fd, stack.back().folders);
    // Each folder is entered once: what fails is noted and the walk goes on with the rest.
    for (;;) {
        Level& level = stack.back();
        if (!level.folders.empty()) {
            const std::string name = std::move(level.folders.back());
            level.folders.pop_back();
            const int child = enter(fd, name, ok);
            if (child < 0) {
                continue;
            }
            Level next;
            next.name = name;
            // Another file system mounted here is not emptied: it stays, and so does its parent.
            if (!identify(child, next) || next.dev != stack.front().dev) {
                ::close(child);
                ok = false;
                continue;
            }
            ::close(fd);
            fd = child;
            // A folder that cannot be listed stays; its parent then cannot be removed either.
            ok = clearFiles(fd, next.folders) && ok;
            stack.push_back(std::move(next));
            continue;
        }
        if (stack.size() == 1) {
            break;
        }
        const std::string name = std::move(level.name);
        stack.pop_back();
        const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st;
        if (up < 0 || ::fstat(up, &st) != 0 || st.st_dev != stack.back().dev || st.st_ino != stack.back().ino) {
            // The tree was moved meanwhile: ".." is no longer the folder the walk came from.
            if (up >= 0) {
                ::close(up);
            }
            ::close(fd);
            return false;
        }
        ::close(fd);
        fd = up;
        ok = unlinkIn(fd, name, AT_REMOVEDIR) && ok;
    }
    ::close(fd);
    return ok;
}

}  // namespace tk
