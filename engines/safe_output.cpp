#include "engines/safe_output.h"

#include "archive/engine_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace tk::engine {

std::string unsafeNameReason(const std::string& name) {
    if (name.empty()) {
        return "이름이 비어 있음";
    }
    if (name[0] == '/') {
        return "절대 경로";
    }
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
        return "드라이브 문자로 시작함";
    }
    for (const unsigned char c : name) {
        if (c == '\\') {
            return "역슬래시(\\)가 들어 있음";
        }
        if (c < 0x20 || c == 0x7F) {
            return "제어 문자가 들어 있음";
        }
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        if (name.compare(start, end - start, "..") == 0) {
            return "상위 폴더(..)를 가리킴";
        }
        start = end + 1;
    }
    return {};
}

int openFolderBelow(int baseFd, const std::string& folderPath, bool create) {
    int current = ::fcntl(baseFd, F_DUPFD_CLOEXEC, 0);
    size_t start = 0;
    while (current >= 0 && start < folderPath.size()) {
        size_t end = folderPath.find('/', start);
        if (end == std::string::npos) {
            end = folderPath.size();
        }
        const std::string part = folderPath.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (create && ::mkdirat(current, part.c_str(), 0700) != 0 && errno != EEXIST) {
            ::close(current);
            return -1;
        }
        const int next = ::openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(current);
        current = next;
    }
    return current;
}

bool PendingFile::create() {
    static std::mt19937 random{std::random_device{}()};
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'x');
        for (char& c : suffix) {
            c = kChars[random() % (sizeof(kChars) - 1)];
        }
        tempName_ = "." + name_.substr(0, 200) + kTempMarker + suffix;
        fd_.reset(::openat(folderFd_, tempName_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd_.valid() || errno != EEXIST) {
            break;
        }
    }
    if (!fd_.valid()) {
        tempName_.clear();
        return false;
    }
    return true;
}

bool PendingFile::restart() {
    return ::ftruncate(fd_.get(), 0) == 0 && ::lseek(fd_.get(), 0, SEEK_SET) == 0;
}

bool PendingFile::commit(time_t mtime) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {mtime, 0}};
    ::futimens(fd_.get(), times);
    const int fd = fd_.release();
    if (::close(fd) != 0) {
        return false;
    }
    // rename replaces a link of the same name instead of writing through it.
    if (::renameat(folderFd_, tempName_.c_str(), folderFd_, name_.c_str()) != 0) {
        return false;
    }
    tempName_.clear();
    return true;
}

void PendingFile::discard() {
    fd_.reset();
    if (!tempName_.empty()) {
        ::unlinkat(folderFd_, tempName_.c_str(), 0);
        tempName_.clear();
    }
}

}  // namespace tk::engine
