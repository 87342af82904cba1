// tomekeep-cli retitle ENTRY.zip --title T [--category C] [--password-stdin]
//                      [--new-password-stdin | --no-password]: a new title, category or password.
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/entry_session.h"
#include "cli/password_input.h"

#include <QFileInfo>

namespace tk::cli {
namespace {

constexpr const char* kCommand = "retitle";

struct RetitleArgs {
    QString path;
    QString title;
    QString category;
    bool categoryGiven = false;
    bool currentPassword = false;
    bool newPassword = false;
    bool noPassword = false;
};

int parseRetitle(const QStringList& list, RetitleArgs* out) {
    Arguments args;
    const int usage = parseArguments(
        kCommand, list,
        {{"--title", "--title 다음에 글의 새 제목을 주세요."}, {"--category", "--category 다음에 글의 분류를 주세요."}},
        {"--password-stdin", "--new-password-stdin", "--no-password"}, &args);
    if (usage != kExitOk) {
        return usage;
    }
    if (args.positional.size() != 1) {
        return usageError(kCommand, QStringLiteral("제목을 바꿀 글의 보관 파일(.zip)을 하나 주세요."));
    }
    if (!args.has("--title")) {
        return usageError(kCommand, QStringLiteral("--title로 글의 제목을 주세요."));
    }
    if (args.has("--new-password-stdin") && args.has("--no-password")) {
        return usageError(kCommand, QStringLiteral("--new-password-stdin과 --no-password는 함께 쓸 수 없습니다. 새 "
                                                   "암호를 주거나 보호를 풀거나 하나만 고르세요."));
    }
    *out = RetitleArgs{args.positional.at(0),    args.value("--title"),        args.value("--category"),
                       args.has("--category"),   args.has("--password-stdin"), args.has("--new-password-stdin"),
                       args.has("--no-password")};
    return checkTitle(kCommand, out->title, out->category);
}

// The password the entry has afterwards: the new one, none, or the one it had.
QString keptPassword(const RetitleArgs& args, const EntryComment& comment, const Passwords& passwords) {
    if (args.noPassword) {
        return {};
    }
    if (args.newPassword) {
        return passwords.fresh;
    }
    return comment.isProtected ? passwords.current : QString();
}

int runRetitle(const QStringList& list) {
    RetitleArgs args;
    if (const int usage = parseRetitle(list, &args); usage != kExitOk) {
        return usage;
    }
    EntryComment comment;
    if (!readEntry(kCommand, args.path, &comment)) {
        return kExitFailure;
    }
    if (comment.isProtected && !args.currentPassword) {
        return passwordNeeded(kCommand);
    }
    Passwords passwords;
    if (!readPasswords(kCommand, {args.currentPassword, args.newPassword}, &passwords)) {
        return kExitFailure;
    }
    const QString password = keptPassword(args, comment, passwords);
    const EntryComment retitled{args.title, args.categoryGiven ? args.category : comment.category, !password.isEmpty(),
                                comment.documentFile};
    EntrySession session(kCommand);
    if (!session.start()) {
        return kExitFailure;
    }
    EntryStore& store = session.store();
    EntryRef entry;
    if (!store.beginRetitle(QFileInfo(args.path).absoluteFilePath(), comment.documentFile, passwords.current) ||
        !store.finishRetitle(retitled, password, &entry)) {
        return storeFailure(kCommand, store, args.path);
    }
    return session.finish() ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar{
    Command{kCommand,
            "글.zip --title 제목 [--category 분류] [--password-stdin] [--new-password-stdin | --no-password]  "
            "(--password-stdin: 지금 암호를 표준 입력 첫 줄로; --new-password-stdin: 새 암호를 그다음 줄로(지금 암호가 "
            "없으면 첫 줄로); "
            "--no-password: 보호를 풂; 둘 다 없으면 암호는 그대로)",
            runRetitle}};

}  // namespace
}  // namespace tk::cli
