#pragma once

#include <QString>

namespace tk::cli {

// Passwords come on standard input, one a line, in a fixed order: the entry's current password
// first (--password-stdin), then the new one (--new-password-stdin). A command that asks for only
// one of them reads it from the first line.
struct PasswordRequest {
    bool current = false;
    bool fresh = false;
};

struct Passwords {
    QString current;
    QString fresh;
};

// Reads the passwords asked for. A missing or empty line, or a new password longer than the 255
// bytes an entry password may have, is said on standard error for the command and gives false.
// From a terminal each password is asked for on standard error and not echoed.
[[nodiscard]] bool readPasswords(const char* command, PasswordRequest request, Passwords* out);

}  // namespace tk::cli
