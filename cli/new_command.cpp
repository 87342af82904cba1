// tomekeep-cli new FOLDER --title T [--category C] [--password-stdin] FILE: a new entry from a file.
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/entry_session.h"
#include "cli/password_input.h"
#include "richedit/rich_text_document.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tk::cli {
namespace {

constexpr const char* kCommand = "new";

struct NewArgs {
    QString folder;
    QString file;
    QString title;
    QString category;
    bool protect = false;
};

int parseNew(const QStringList& list, NewArgs* out) {
    Arguments args;
    const int usage = parseArguments(
        kCommand, list,
        {{"--title", "--title 다음에 글의 제목을 주세요."}, {"--category", "--category 다음에 글의 분류를 주세요."}},
        {"--password-stdin"}, &args);
    if (usage != kExitOk) {
        return usage;
    }
    if (args.positional.size() != 2) {
        return usageError(kCommand, QStringLiteral("글을 넣을 폴더와 본문으로 쓸 파일을 하나씩 주세요."));
    }
    if (!args.has("--title")) {
        return usageError(kCommand, QStringLiteral("--title로 글의 제목을 주세요."));
    }
    *out = NewArgs{args.positional.at(0), args.positional.at(1), args.value("--title"), args.value("--category"),
                   args.has("--password-stdin")};
    const QString suffix = QFileInfo(out->file).suffix().toLower();
    if (suffix != QLatin1String("rtf") && suffix != QLatin1String("txt")) {
        return usageError(kCommand, QStringLiteral("본문으로 쓸 파일은 .rtf 또는 .txt로 끝나야 합니다."));
    }
    return checkTitle(kCommand, out->title, out->category);
}

bool checkPaths(const NewArgs& args) {
    if (!QFileInfo(args.folder).isDir()) {
        complain(kCommand,
                 QStringLiteral("%1: 폴더가 없습니다. 글을 넣을 분류 폴더의 경로를 확인하세요.").arg(args.folder));
        return false;
    }
    if (!QFileInfo(args.file).isFile()) {
        complain(kCommand, QStringLiteral("%1: 파일이 없습니다. 경로를 확인하세요.").arg(args.file));
        return false;
    }
    return true;
}

// Writes the entry's body where the store adds it from: an RTF file as it is (once it has read as
// a document), text converted to RTF.
bool writeBody(const QString& source, const QString& bodyFile, QString* why) {
    TRichTextDocument document;
    if (!document.Lines().LoadFile(source)) {
        *why = QStringLiteral(
                   "%1: 문서를 읽을 수 없습니다. 파일이 손상되지 않았는지, 확장자에 맞는 형식인지 "
                   "확인하세요.")
                   .arg(source);
        return false;
    }
    const QString written = QStringLiteral(
        "임시 폴더에 글의 본문을 쓰지 못했습니다. 남은 공간을 확인하고 다시 "
        "실행하세요. (%1)");
    if (QFileInfo(source).suffix().toLower() == QLatin1String("txt")) {
        document.SetCompress(false);
        if (!document.Lines().SaveFile(bodyFile)) {
            *why = written.arg(document.Lines().errorString());
            return false;
        }
        return true;
    }
    QFile in(source);
    QSaveFile out(bodyFile);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("%1: 파일을 열 수 없습니다. 읽기 권한을 확인하세요. (%2)").arg(source, in.errorString());
        return false;
    }
    if (!out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 || !out.commit()) {
        *why = written.arg(out.errorString());
        return false;
    }
    return true;
}

int runNew(const QStringList& list) {
    NewArgs args;
    if (const int usage = parseNew(list, &args); usage != kExitOk) {
        return usage;
    }
    if (!checkPaths(args)) {
        return kExitFailure;
    }
    Passwords passwords;
    if (!readPasswords(kCommand, {false, args.protect}, &passwords)) {
        return kExitFailure;
    }
    EntrySession session(kCommand);
    if (!session.start()) {
        return kExitFailure;
    }
    EntryStore& store = session.store();
    QString why;
    if (!writeBody(args.file, store.richBodyFile(), &why)) {
        complain(kCommand, why);
        return kExitFailure;
    }
    const EntryComment comment{args.title, args.category, args.protect, QString(kDocumentFile)};
    const QString folder = QFileInfo(args.folder).absoluteFilePath();
    EntryRef created;
    QString archiveName;
    if (!store.create(folder, comment, passwords.fresh, store.richBody(), &created, &archiveName)) {
        return storeFailure(kCommand, store, args.folder);
    }
    if (!session.finish()) {
        return kExitFailure;
    }
    sayLine(created.archivePath);
    return kExitOk;
}

const CommandRegistrar registrar{
    Command{kCommand,
            "폴더 --title 제목 [--category 분류] [--password-stdin] 파일  (파일: .rtf는 그대로, .txt는 RTF로 바꾸어 새 "
            "글로 넣고 새 글.zip의 경로를 출력; --password-stdin: 표준 입력 첫 줄의 암호로 보호)",
            runNew}};

}  // namespace
}  // namespace tk::cli
