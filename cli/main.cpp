// tomekeep-cli: the command-line companion. Same code as the program, no windows.
#include "cli/command.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace tk::cli {
namespace {

std::map<std::string, Command>& commands() {
    static std::map<std::string, Command> all;
    return all;
}

void printHelp(FILE* out) {
    std::fprintf(out, "usage: tomekeep-cli COMMAND [ARGS]\n\ncommands:\n");
    for (const auto& [name, command] : commands()) {
        std::fprintf(out, "  %s %s\n", name.c_str(), command.usage);
    }
}

}  // namespace

void registerCommand(Command command) {
    commands()[command.name] = std::move(command);
}

int usageError(const char* commandName, const QString& why) {
    if (!why.isEmpty()) {
        std::fprintf(stderr, "tomekeep-cli %s: %s\n", commandName, qPrintable(why));
    }
    const auto it = commands().find(commandName);
    if (it != commands().end()) {
        std::fprintf(stderr, "usage: tomekeep-cli %s %s\n", commandName, it->second.usage);
    }
    return kExitUsage;
}

}  // namespace tk::cli

int main(int argc, char** argv) {
    using namespace tk::cli;
    // Documents need fonts and text layout, which only a GUI application provides; the offscreen
    // platform keeps the companion usable without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        printHelp(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    const std::string name = args.takeFirst().toStdString();
    const auto it = commands().find(name);
    if (it == commands().end()) {
        std::fprintf(stderr, "tomekeep-cli: unknown command '%s'\n", name.c_str());
        printHelp(stderr);
        return kExitUsage;
    }
    return it->second.run(args);
}
