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

// An archive component set up as the program sets it up, talking to the terminal.
struct CliArchiver {
    TArchiver archiver;
    bool engineTrouble = false;  // an engine reported a problem
    bool wrongPassword = false;

    CliArchiver() {
        archiver.SetUnattended(true);  // no message boxes: messages go to standard error
        archiver.SetAddCompLevel(9);
        archiver.SetAddStoreSuffixes({AddStoreSuffixEnum::assZIP});
        archiver.OnMessage = [this](TArchiver*, int code, const QString& message) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
            if (code != 0) {
                engineTrouble = true;
            }
            if (message == QLatin1String(engine::kWarningsGiven)) {
                wrongPassword = true;
            }
        };
        archiver.OnPasswordError = [](TArchiver*, bool, QString&, const QString&, unsigned& repeat, TPasswordButton&) {
            repeat = 0;
        };
        archiver.LoadZipEngine();
        archiver.LoadUnzipEngine();
    }
    ~CliArchiver() {
        archiver.UnloadZipEngine();
        archiver.UnloadUnzipEngine();
    }
    CliArchiver(const CliArchiver&) = delete;
    CliArchiver& operator=(const CliArchiver&) = delete;

    // Selects the archive; false when it exists but cannot be read.
    bool open(const QString& path) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        archiver.SetZipFileName(absolute);
        return !archiver.ZipFileName().isEmpty();
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
        if (a == QLatin1String("--root") && i + 1 < args.size()) {
            root = args.at(++i);
        } else if (a == QLatin1String("--recurse")) {
            options.insert(AddOptsEnum::AddRecurseDirs);
        } else if (a == QLatin1String("--dir-names")) {
            options.insert(AddOptsEnum::AddDirNames);
        } else if (a == QLatin1String("--password-stdin")) {
            passwordFromStdin = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usageError("add", QStringLiteral("unknown option ") + a);
        } else if (archive.isEmpty()) {
            archive = a;
        } else {
            specs.append(a);
        }
    }
    if (archive.isEmpty() || specs.isEmpty()) {
        return usageError("add", QStringLiteral("an archive and at least one file are needed"));
    }
    CliArchiver cli;
    if (!cli.open(archive)) {
        return kExitFailure;
    }
    if (passwordFromStdin) {
        cli.archiver.SetPassword(readPasswordLine());
        if (cli.archiver.Password().isEmpty()) {
            std::fprintf(stderr, "tomekeep-cli add: empty password\n");
            return kExitFailure;
        }
        options.insert(AddOptsEnum::AddEncrypt);
    }
    cli.archiver.SetAddOptions(options);
    cli.archiver.SetRootDir(root.isEmpty() ? QString() : QFileInfo(root).absoluteFilePath());
    cli.archiver.SetFSpecArgs(specs);
    cli.archiver.Add();
    cli.archiver.SetRootDir(QString());
    std::printf("%d file(s) added\n", cli.archiver.HandledCount());
    return cli.archiver.HandledCount() > 0 && !cli.engineTrouble ? kExitOk : kExitFailure;
}

int runExtract(const QStringList& args) {
    QStringList positional;
    bool passwordFromStdin = false;
    for (const QString& a : args) {
        if (a == QLatin1String("--password-stdin")) {
            passwordFromStdin = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return usageError("extract", QStringLiteral("unknown option ") + a);
        } else {
            positional.append(a);
        }
    }
    if (positional.size() != 2) {
        return usageError("extract", QStringLiteral("an archive and a folder are needed"));
    }
    CliArchiver cli;
    if (!cli.open(positional.at(0))) {
        return kExitFailure;
    }
    const QString folder = QFileInfo(positional.at(1)).absoluteFilePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "tomekeep-cli extract: cannot make %s\n", qPrintable(folder));
        return kExitFailure;
    }
    if (passwordFromStdin) {
        cli.archiver.SetPassword(readPasswordLine());
    }
    cli.archiver.SetExtrBaseDir(folder);
    cli.archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
    const int members = cli.archiver.EntryCount();
    cli.archiver.Extract();
    std::printf("%d file(s) extracted\n", cli.archiver.HandledCount());
    const bool complete = cli.archiver.HandledCount() >= members;
    return complete && !cli.wrongPassword && !cli.engineTrouble ? kExitOk : kExitFailure;
}

int runComment(const QStringList& args) {
    QString archive, text;
    bool set = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--set") && i + 1 < args.size()) {
            set = true;
            text = args.at(++i);
        } else if (archive.isEmpty() && !args.at(i).startsWith(QLatin1String("--"))) {
            archive = args.at(i);
        } else {
            return usageError("comment", QStringLiteral("unexpected argument ") + args.at(i));
        }
    }
    if (archive.isEmpty()) {
        return usageError("comment");
    }
    CliArchiver cli;
    if (!cli.open(archive) || !QFileInfo(cli.archiver.ZipFileName()).isFile()) {
        std::fprintf(stderr, "tomekeep-cli comment: %s is not a readable archive\n", qPrintable(archive));
        return kExitFailure;
    }
    if (!set) {
        std::printf("%s\n", cli.archiver.ZipComment().toUtf8().constData());
        return kExitOk;
    }
    const int before = cli.archiver.LastErrorCode();
    cli.archiver.SetZipComment(text);
    return cli.archiver.LastErrorCode() == before && cli.archiver.ZipComment() == text ? kExitOk : kExitFailure;
}

int runInfo(const QStringList& args) {
    if (args.size() != 1) {
        return usageError("info");
    }
    CliArchiver cli;
    if (!cli.open(args.at(0)) || !QFileInfo(cli.archiver.ZipFileName()).isFile()) {
        std::fprintf(stderr, "tomekeep-cli info: %s is not a readable archive\n", qPrintable(args.at(0)));
        return kExitFailure;
    }
    QTextStream out(stdout);
    out << "comment\t" << cli.archiver.ZipComment() << "\n";
    out << "entries\t" << cli.archiver.EntryCount() << "\n";
    for (int i = 0; i < cli.archiver.EntryCount(); ++i) {
        const ArchiveDirEntry& e = cli.archiver.DirEntry(i);
        out << e.MemberName << '\t' << e.fixed.OriginalSize << '\t' << e.fixed.PackedSize << '\t' << e.fixed.Method
            << '\t' << (e.IsEncrypted ? "encrypted" : "plain") << '\t'
            << QStringLiteral("%1").arg(e.fixed.Crc, 8, 16, QLatin1Char('0')) << "\n";
    }
    return kExitOk;
}

const CommandRegistrar addCommand({"add", "ARCHIVE [--root DIR] [--recurse] [--dir-names] [--password-stdin] SPEC...",
                                   runAdd});
const CommandRegistrar extractCommand({"extract", "ARCHIVE DIR [--password-stdin]", runExtract});
const CommandRegistrar commentCommand({"comment", "ARCHIVE [--set TEXT]", runComment});
const CommandRegistrar infoCommand({"info", "ARCHIVE", runInfo});

}  // namespace
}  // namespace tk::cli
