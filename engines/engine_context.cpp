#include "engines/engine_context.h"

#include "platform/codepage.h"
#include "platform/system_error.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tk::engine {

int32_t EngineContext::call(int32_t code, int32_t arg1, int32_t arg2, const std::string& text, CallbackRecord* reply) {
    if (!callback_) {
        return 0;
    }
    CallbackRecord record{};
    record.caller = caller_;
    record.zipAction = zipAction_ ? 1 : 0;
    record.actionCode = code;
    record.arg1 = arg1;
    record.arg2 = arg2;
    size_t n = std::min(text.size(), static_cast<size_t>(kCallbackTextSize - 1));
    // A cut text ends before a character it would split.
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
        --n;
    }
    std::memcpy(record.text, text.data(), n);
    const int32_t result = callback_(&record);
    if (result == -1) {
        cancelled_ = true;
    }
    if (reply) {
        *reply = record;
    }
    return result;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string systemError(int error) {
    return platform::systemErrorText(error).toStdString();
}

std::string ansiToUtf8(const std::string& bytes) {
    return codepage::fromAnsi(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))).toStdString();
}

std::string utf8ToAnsi(const std::string& text) {
    QByteArray out;
    if (!codepage::encode(codepage::kAnsi, QString::fromStdString(text), &out)) {
        return {};
    }
    return out.toStdString();
}

}  // namespace tk::engine
