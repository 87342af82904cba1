#pragma once

// What both engines share: calling the component back and small file helpers.
#include "archive/engine_records.h"

#include <cstdint>
#include <string>

namespace tk::engine {

class EngineContext final {
  public:
    EngineContext(Callback callback, void* caller, bool zipAction)
        : callback_(callback), caller_(caller), zipAction_(zipAction) {}

    // Makes one callback; replies land in reply when given. A -1 result cancels the run.
    int32_t call(int32_t code, int32_t arg1, int32_t arg2, const std::string& text, CallbackRecord* reply = nullptr);
    void message(const std::string& text, int32_t code = 0) { call(kCbMessage, code, 0, text); }
    bool cancelled() const { return cancelled_; }

  private:
    Callback callback_;
    void* caller_;
    bool zipAction_;
    bool cancelled_ = false;
};

// A file descriptor closed when it goes out of scope.
class UniqueFd final {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        reset(other.release());
        return *this;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);

  private:
    int fd_ = -1;
};

[[nodiscard]] bool writeAll(int fd, const void* data, size_t size);
// The text of errno, for messages.
std::string systemError(int error);

// Text conversions between UTF-8 and the ANSI code page.
std::string ansiToUtf8(const std::string& bytes);
std::string utf8ToAnsi(const std::string& text);

}  // namespace tk::engine
