#pragma once

#include <QStringList>

#include <functional>

namespace tk::cli {

// A subcommand of tomekeep-cli. Each command file registers its commands with a static
// CommandRegistrar; the files are compiled into the executable itself, so none is dropped.
struct Command {
    const char* name;
    const char* usage;                                // the arguments after the name, for the help text (UTF-8)
    std::function<int(const QStringList& args)> run;  // returns the process exit code
    bool needsGui = false;  // documents need fonts and text layout, which only a GUI application has
    // Asked instead of needsGui when set: whether these arguments need a GUI application.
    std::function<bool(const QStringList& args)> needsGuiFor;
};

void registerCommand(Command command);

struct CommandRegistrar {
    explicit CommandRegistrar(Command command) { registerCommand(std::move(command)); }
};

// Exit codes shared by all commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Prints to standard error why the arguments are wrong and the usage line of the named command,
// and returns kExitUsage.
int usageError(const char* commandName, const QString& why = {});

// Prints "tomekeep-cli COMMAND: text" on standard error.
void complain(const char* commandName, const QString& text);
// Prints a line for the user on standard output.
void sayLine(const QString& text);

}  // namespace tk::cli
