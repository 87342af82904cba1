#include "cli/password_input.h"

#include "cli/command.h"
#include "platform/codepage.h"

#include <cstdio>
#include <iostream>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace tk::cli {
namespace {

constexpr int kMaxPasswordBytes = 255;

// Turns the terminal's echo off while it lives.
class HiddenTyping final {
  public:
    HiddenTyping() {
        if (::tcgetattr(STDIN_FILENO, &old_) != 0) {
            return;
        }
        termios quiet = old_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~HiddenTyping() {
        if (active_) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old_);
            std::fputs("\n", stderr);
        }
    }
    HiddenTyping(const HiddenTyping&) = delete;
    HiddenTyping& operator=(const HiddenTyping&) = delete;

  private:
    termios old_{};
    bool active_ = false;
};

// The next line without its line end; false at the end of the input.
bool readLine(const QString& prompt, QString* line) {
    std::string text;
    bool ok = false;
    if (::isatty(STDIN_FILENO)) {
        std::fputs(prompt.toUtf8().constData(), stderr);
        std::fflush(stderr);
        const HiddenTyping hidden;
        ok = static_cast<bool>(std::getline(std::cin, text));
    } else {
        ok = static_cast<bool>(std::getline(std::cin, text));
    }
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    *line = QString::fromStdString(text);
    return ok;
}

QString lineName(int line) {
    return line == 1 ? QStringLiteral("첫 줄") : QStringLiteral("둘째 줄");
}

}  // namespace

bool readPasswords(const char* command, PasswordRequest request, Passwords* out) {
    int line = 0;
    if (request.current) {
        ++line;
        if (!readLine(QStringLiteral("글의 암호: "), &out->current) || out->current.isEmpty()) {
            complain(command, QStringLiteral("암호가 비어 있습니다. 글의 암호를 표준 입력의 첫 줄로 주고 다시 "
                                             "실행하세요."));
            return false;
        }
    }
    if (request.fresh) {
        ++line;
        if (!readLine(QStringLiteral("새 암호: "), &out->fresh) || out->fresh.isEmpty()) {
            complain(command, QStringLiteral("새 암호가 비어 있습니다. 새 암호를 표준 입력의 %1로 주고 다시 "
                                             "실행하세요.")
                                  .arg(lineName(line)));
            return false;
        }
        if (codepage::toAnsiBestEffort(out->fresh).size() > kMaxPasswordBytes) {
            complain(command, QStringLiteral("새 암호가 너무 깁니다. 255바이트(한글은 한 자에 2바이트)까지 쓸 수 "
                                             "있으니 더 짧은 암호를 주세요."));
            return false;
        }
    }
    return true;
}

}  // namespace tk::cli
