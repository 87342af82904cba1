// tomekeep-cli add, extract, comment and info: the archive component without windows.
#include "archive/archiver.h"
#include "cli/command.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <iostream>
#include <string>

namespace tk::cli {
namespace {

// The component's message number for a writer that waited in vain for another one.
constexpr int kArchiveBusy = 11050;

const QString kWrongPassword =
    QStringLiteral("암호가 틀렸습니다. 올바른 암호를 표준 입력의 첫 줄로 주고 다시 실행하세요.");

// An archive component set up as the program sets it up, talking to the terminal.
struct CliArchiver {
    TArchiver archiver;
    const char* command;
    bool engineTrouble = false;  // an engine reported a problem
    bool wrongPassword = false;

    explicit CliArchiver(const char* commandName) : command(commandName) {
        archiver.SetUnattended(true);  // no message boxes: messages go to standard error
        archiver.SetAddCompLevel(9);
        archiver.SetAddStoreSuffixes({AddStoreSuffixEnum::assZIP});
        archiver.OnMessage = [this](TArchiver*, int code, const QString& message) {
            if (code != 0) {
                engineTrouble = true;
            }
            // The engine's way of saying that a password did not open a member.
            if (message == QLatin1String(engine::kWarningsGiven)) {
                wrongPassword = true;
                complain(command, kWrongPassword);
                return;
            }
            complain(command, QStringLiteral("압축 처리 중 알림: %1").arg(message));
        };
        archiver.OnPasswordError = [](TArchiver*, bool, QString&, const QString&, unsigned& repeat, TPasswordButton&) {
            repeat = 0;
        };
    }
    ~CliArchiver() {
        archiver.UnloadZipEngine();
        archiver.UnloadUnzipEngine();
    }
    CliArchiver(const CliArchiver&) = delete;
    CliArchiver& operator=(const CliArchiver&) = delete;

    // Loads the engine a command needs. Without it nothing can be added or extracted: the
    // component has said why, and the command ends there instead of counting no files.
    bool loadEngine(bool zip) {
        if (zip) {
            archiver.LoadZipEngine();
        } else {
            archiver.LoadUnzipEngine();
        }
        if (zip ? archiver.ZipEngineReady() : archiver.UnzipEngineReady()) {
            return true;
        }
        complain(command, zip ? QStringLiteral("압축 엔진을 쓸 수 없어 아무 파일도 넣지 않았습니다.")
                              : QStringLiteral("압축 풀기 엔진을 쓸 수 없어 아무 파일도 풀지 않았습니다."));
        return false;
    }

    // Selects the archive; false, said to the user, when it exists but cannot be read.
    bool open(const QString& path) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        archiver.SetZipFileName(absolute);
        if (archiver.ZipFileName().isEmpty()) {
            complain(command,
                     QStringLiteral("%1: 보관 파일을 읽을 수 없습니다. 경로와 읽기 권한을 확인하세요.").arg(path));
            return false;
        }
        return true;
    }

    // Whether the last write gave up waiting for another writer of the archive.
    bool writerWasBusy() const { return archiver.LastErrorCode() == kArchiveBusy; }

    // Selects an archive that must already exist.
    bool openExisting(const QString& path) {
        if (!open(path)) {
            return false;
        }
        if (!QFileInfo(archiver.ZipFileName()).isFile()) {
            complain(command, QStringLiteral("%1: 보관 파일이 없습니다. 경로를 확인하세요.").arg(path));
            return false;
        }
        return true;
    }
};

QString readPasswordLine() {
    std::string line;
    std::getline(std::cin, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return QString::fromStdString(line);
}

int runAdd(const QStringList& args) {
    QString archive, root;
    QStringList specs;
    AddOpts options;
    bool passwordFromStdin = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--root")) {
            if (i + 1 >= args.size()) {
                return usageError("add", QStringLiteral("--root 다음에 기준 폴더를 주세요."));
            }
            root = args.at(++i);
        } else if (a == QLatin1String("--recurse")) {
            options.insert(AddOptsEnum::AddRecurseDirs);
        } else if (a == QLatin1String("--dir-names")) {
            options.insert(AddOptsEnum::AddDirNames);
        } else if (a == QLatin1String("--password-stdin")) {
            passwordFromStdin = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usageError("add", QStringLiteral("알 수 없는 옵션입니다: %1.").arg(a));
        } else if (archive.isEmpty()) {
            archive = a;
        } else {
            specs.append(a);
        }
    }
    if (archive.isEmpty() || specs.isEmpty()) {
        return usageError("add", QStringLiteral("보관 파일과 넣을 파일을 하나 이상 주세요."));
    }
    CliArchiver cli("add");
    if (!cli.loadEngine(true) || !cli.open(archive)) {
        return kExitFailure;
    }
    if (passwordFromStdin) {
        cli.archiver.SetPassword(readPasswordLine());
        if (cli.archiver.Password().isEmpty()) {
            complain("add", QStringLiteral("암호가 비어 있습니다. 표준 입력의 첫 줄에 암호를 주세요."));
            return kExitFailure;
        }
        options.insert(AddOptsEnum::AddEncrypt);
    }
    cli.archiver.SetAddOptions(options);
    cli.archiver.SetRootDir(root.isEmpty() ? QString() : QFileInfo(root).absoluteFilePath());
    cli.archiver.SetFSpecArgs(specs);
    cli.archiver.Add();
    cli.archiver.SetRootDir(QString());
    const int added = cli.archiver.HandledCount();
    sayLine(QStringLiteral("파일 %1개를 넣었습니다.").arg(added));
    if (added == 0) {
        complain("add", cli.writerWasBusy()
                            ? QStringLiteral("아무 파일도 넣지 못했습니다. 다른 작업이 끝난 뒤 다시 실행하세요.")
                            : QStringLiteral("아무 파일도 넣지 못했습니다. 위의 알림을 보고 파일 이름과 --root 폴더를 "
                                             "확인하세요."));
        return kExitFailure;
    }
    if (cli.engineTrouble) {
        complain("add", QStringLiteral("넣지 못한 파일이 있습니다. 위의 알림을 보고 다시 실행하세요."));
        return kExitFailure;
    }
    return kExitOk;
}

int runExtract(const QStringList& args) {
    QStringList positional;
    bool passwordFromStdin = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--password-stdin")) {
            passwordFromStdin = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usageError("extract", QStringLiteral("알 수 없는 옵션입니다: %1.").arg(a));
        } else {
            positional.append(a);
        }
    }
    if (positional.size() != 2) {
        return usageError("extract", QStringLiteral("보관 파일과 풀어 놓을 폴더를 주세요."));
    }
    CliArchiver cli("extract");
    if (!cli.loadEngine(false) || !cli.openExisting(positional.at(0))) {
        return kExitFailure;
    }
    const QString folder = QFileInfo(positional.at(1)).absoluteFilePath();
    if (!QDir().mkpath(folder)) {
        complain("extract", QStringLiteral("%1: 폴더를 만들 수 없습니다. 경로와 쓰기 권한을 확인하세요.").arg(folder));
        return kExitFailure;
    }
    if (passwordFromStdin) {
        cli.archiver.SetPassword(readPasswordLine());
    }
    cli.archiver.SetExtrBaseDir(folder);
    cli.archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
    const int members = cli.archiver.EntryCount();
    cli.archiver.Extract();
    sayLine(QStringLiteral("파일 %1개를 풀었습니다.").arg(cli.archiver.HandledCount()));
    if (cli.wrongPassword) {
        return kExitFailure;  // already said
    }
    if (cli.archiver.HandledCount() < members || cli.engineTrouble) {
        complain("extract", QStringLiteral("풀지 못한 파일이 있습니다. 위의 알림을 보고 다시 실행하세요."));
        return kExitFailure;
    }
    return kExitOk;
}

int runComment(const QStringList& args) {
    QString archive, text;
    bool set = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--set")) {
            if (i + 1 >= args.size()) {
                return usageError("comment", QStringLiteral("--set 다음에 쓸 주석을 주세요."));
            }
            set = true;
            text = args.at(++i);
        } else if (archive.isEmpty() && !args.at(i).startsWith(QLatin1String("--"))) {
            archive = args.at(i);
        } else {
            return usageError("comment", QStringLiteral("알 수 없는 인자입니다: %1.").arg(args.at(i)));
        }
    }
    if (archive.isEmpty()) {
        return usageError("comment", QStringLiteral("보관 파일을 주세요."));
    }
    CliArchiver cli("comment");
    if (!cli.openExisting(archive)) {
        return kExitFailure;
    }
    if (!set) {
        std::printf("%s\n", cli.archiver.ZipComment().toUtf8().constData());
        return kExitOk;
    }
    const int before = cli.archiver.LastErrorCode();
    cli.archiver.SetZipComment(text);
    if (cli.archiver.LastErrorCode() != before || cli.archiver.ZipComment() != text) {
        complain("comment", cli.writerWasBusy()
                                ? QStringLiteral("주석을 바꾸지 못했습니다. 다른 작업이 끝난 뒤 다시 실행하세요.")
                                : QStringLiteral("주석을 바꾸지 못했습니다. 위의 알림을 보고 보관 파일에 쓰기 권한이 "
                                                 "있는지 확인하세요."));
        return kExitFailure;
    }
    return kExitOk;
}

int runInfo(const QStringList& args) {
    if (args.size() != 1) {
        return usageError("info", QStringLiteral("보관 파일 하나를 주세요."));
    }
    CliArchiver cli("info");
    if (!cli.openExisting(args.at(0))) {
        return kExitFailure;
    }
    QTextStream out(stdout);
    out << "comment\t" << cli.archiver.ZipComment() << "\n";
    out << "entries\t" << cli.archiver.EntryCount() << "\n";
    for (int i = 0; i < cli.archiver.EntryCount(); ++i) {
        const ArchiveDirEntry& e = cli.archiver.DirEntry(i);
        out << e.MemberName << '\t' << e.OriginalSize64 << '\t' << e.PackedSize64 << '\t' << e.fixed.Method << '\t'
            << (e.IsEncrypted ? "encrypted" : "plain") << '\t'
            << QStringLiteral("%1").arg(e.fixed.Crc, 8, 16, QLatin1Char('0')) << "\n";
    }
    return kExitOk;
}

const CommandRegistrar addCommand(
    {"add",
     "보관파일.zip [--root 기준폴더] [--recurse] [--dir-names] [--password-stdin] 파일...  "
     "(--password-stdin: 표준 입력 첫 줄의 암호로 AES-256 보호)",
     runAdd});
const CommandRegistrar extractCommand({"extract", "보관파일.zip 폴더 [--password-stdin]", runExtract});
const CommandRegistrar commentCommand({"comment", "보관파일.zip [--set 주석]", runComment});
const CommandRegistrar infoCommand({"info", "보관파일.zip", runInfo});

}  // namespace
}  // namespace tk::cli
