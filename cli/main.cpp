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
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto it = commands().find(first.toStdString());
    const bool gui = it != commands().end() && it->second.needsGui;
    // The offscreen platform keeps the companion usable without a display.
    if (gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::unique_ptr<QCoreApplication> app =
        gui ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h")) {
        printHelp(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    if (it == commands().end()) {
        std::fprintf(stderr, "tomekeep-cli: unknown command '%s'\n", qPrintable(first));
        printHelp(stderr);
        return kExitUsage;
    }
    args.removeFirst();
    return it->second.run(args);
}
