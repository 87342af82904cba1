#include "engines/extract_limits.h"

#include "archive/archiver_types.h"
#include "archive/engine_records.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace tk::engine {
namespace {

constexpr size_t kNameInMessage = 90;
constexpr size_t kFolderInMessage = 160;

// Backs up from pos to the first byte of the UTF-8 character it is in.
size_t characterStart(const std::string& text, size_t pos) {
    while (pos > 0 && pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) {
        --pos;
    }
    return pos;
}

std::string componentText(int id, const std::string& detail) {
    return archiverMessageText(id, QString::fromStdString(detail)).toStdString();
}

}  // namespace

zip_uint64_t MemberLimits::ratioAllowance(zip_uint64_t packed) const {
    const zip_uint64_t bounded = std::min(packed, archiveSize);
    // No overflow: the bound is a file's size, far below the largest value over kMaxRatio.
    return bounded * kMaxRatio + graceLeft;
}

void MemberLimits::commit(zip_uint64_t out, zip_uint64_t packed) {
    written += out;
    const zip_uint64_t plain = std::min(packed, archiveSize) * kMaxRatio;
    if (out > plain) {
        graceLeft -= std::min(graceLeft, out - plain);
    }
}

bool isTooDeep(const std::string& name) {
    if (name.size() > kMaxMemberNameBytes) {
        return true;
    }
    int segments = 0;
    bool inSegment = false;
    for (const char c : name) {
        if (c == '/') {
            inSegment = false;
        } else if (!inSegment) {
            inSegment = true;
            ++segments;
        }
    }
    const bool isFolder = !name.empty() && name.back() == '/';
    return (isFolder ? segments : segments - 1) > kMaxMemberFolders;
}

zip_uint64_t freeBytes(int fd) {
    struct statvfs vfs {};
    if (::fstatvfs(fd, &vfs) != 0) {
        return ~zip_uint64_t{0};
    }
    return static_cast<zip_uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

std::string tooDeepMessage(const std::string& name) {
    return componentText(10504, elided(name, kNameInMessage));
}

std::string tooCompressedMessage(const std::string& name) {
    return componentText(10505, elided(name, kNameInMessage));
}

std::string noSpaceMessage(const std::string& folder, zip_uint64_t needed, zip_uint64_t free) {
    return componentText(10506, "\"" + elided(folder, kFolderInMessage) + "\" 폴더에 " + byteText(needed) +
                                    "가 필요하지만 " + byteText(free) + "만 남아 있습니다");
}

std::string byteText(zip_uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + "바이트";
    }
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string elided(const std::string& text, size_t maxBytes) {
    static const std::string kEllipsis = "…";
    if (text.size() <= maxBytes) {
        return text;
    }
    if (maxBytes <= kEllipsis.size()) {
        return {};
    }
    const size_t keep = maxBytes - kEllipsis.size();
    const size_t headEnd = characterStart(text, keep / 2);
    size_t tailStart = text.size() - (keep - headEnd);
    while (tailStart < text.size() && (static_cast<unsigned char>(text[tailStart]) & 0xC0) == 0x80) {
        ++tailStart;
    }
    return text.substr(0, headEnd) + kEllipsis + text.substr(tailStart);
}

}  // namespace tk::engine
