// tomekeep-cli delete ENTRY.zip [--trash]: deletes an entry archive, or moves it to the trash.
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/entry_session.h"

#include <QFileInfo>

namespace tk::cli {
namespace {

constexpr const char* kCommand = "delete";

int runDelete(const QStringList& list) {
    Arguments args;
    if (const int usage = parseArguments(kCommand, list, {}, {"--trash"}, &args); usage != kExitOk) {
        return usage;
    }
    if (args.positional.size() != 1) {
        return usageError(kCommand, QStringLiteral("지울 글의 보관 파일(.zip)을 하나 주세요."));
    }
    const QString path = args.positional.at(0);
    // Entries are .zip files; anything else given here is a slip of the hand.
    if (!path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
        return usageError(kCommand, QStringLiteral("%1: .zip으로 끝나는 글 보관 파일만 지울 수 있습니다.").arg(path));
    }
    // Deleting needs no scratch folder: the store is not started.
    EntryStore store;
    if (!store.remove(QFileInfo(path).absoluteFilePath(), args.has("--trash"))) {
        if (store.error() == EntryError::Delete && QFileInfo(path).isDir()) {
            complain(kCommand, store.errorString());
            return kExitFailure;
        }
        return storeFailure(kCommand, store, path);
    }
    return kExitOk;
}

const CommandRegistrar registrar{
    Command{kCommand, "글.zip [--trash]  (--trash: 지우지 않고 휴지통으로 옮김)", runDelete}};

}  // namespace
}  // namespace tk::cli
