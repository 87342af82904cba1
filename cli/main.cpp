// tomekeep-cli: the command-line companion. Same code as the program, no windows.
#include "cli/command.h"
#include "platform/core_dumps.h"
#include "platform/translations.h"

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

void printLine(FILE* out, const QString& text) {
    std::fputs((text + u'\n').toUtf8().constData(), out);
}

void printHelp(FILE* out) {
    printLine(out, QStringLiteral("사용법: tomekeep-cli 명령 [인자...]\n\n명령:"));
    for (const auto& [name, command] : commands()) {
        printLine(out, QStringLiteral("  %1 %2").arg(QString::fromUtf8(name), QString::fromUtf8(command.usage)));
    }
    printLine(out,
              QStringLiteral("\n알림은 표준 오류로 나갑니다. 실패하면 0이 아닌 값(인자가 틀리면 2)으로 끝납니다."));
}

}  // namespace

void registerCommand(Command command) {
    commands()[command.name] = std::move(command);
}

void complain(const char* commandName, const QString& text) {
    printLine(stderr, QStringLiteral("tomekeep-cli %1: %2").arg(QString::fromUtf8(commandName), text));
}

void sayLine(const QString& text) {
    printLine(stdout, text);
}

int usageError(const char* commandName, const QString& why) {
    complain(commandName, (why.isEmpty() ? QStringLiteral("인자가 맞지 않습니다.") : why) +
                              QStringLiteral(" 아래 사용법대로 다시 실행하세요."));
    const auto it = commands().find(commandName);
    if (it != commands().end()) {
        printLine(stderr, QStringLiteral("사용법: tomekeep-cli %1 %2")
                              .arg(QString::fromUtf8(commandName), QString::fromUtf8(it->second.usage)));
    }
    return kExitUsage;
}

}  // namespace tk::cli

int main(int argc, char** argv) {
    using namespace tk::cli;
    // Decrypted entries pass through this process: a crash must not write them to disk.
    tk::disableCoreDumps();
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto it = commands().find(first.toStdString());
    QStringList rawArgs;
    for (int i = 2; i < argc; ++i) {
        rawArgs.append(QString::fromLocal8Bit(argv[i]));
    }
    const bool gui =
        it != commands().end() && (it->second.needsGuiFor ? it->second.needsGuiFor(rawArgs) : it->second.needsGui);
    // The offscreen platform keeps the companion usable without a display.
    if (gui && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    std::unique_ptr<QCoreApplication> app =
        gui ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    tk::installKoreanTranslations();
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h")) {
        if (args.isEmpty()) {
            printLine(stderr, QStringLiteral("tomekeep-cli: 할 일을 명령으로 주세요."));
        }
        printHelp(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    if (it == commands().end()) {
        printLine(stderr,
                  QStringLiteral("tomekeep-cli: '%1' 명령은 없습니다. 아래 명령 가운데 하나를 쓰세요.").arg(first));
        printHelp(stderr);
        return kExitUsage;
    }
    args.removeFirst();
    return it->second.run(args);
}
