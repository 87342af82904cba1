// tomekeep-cli list [--json] FOLDER: the entries of a category folder in the list's title order.
#include "cli/command.h"
#include "cli/row_output.h"
#include "store/entry_list.h"

#include <QFileInfo>

namespace tk::cli {
namespace {

int runList(const QStringList& args) {
    bool json = false;
    QString folder;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--json")) {
            json = true;
        } else if (arg.startsWith(u'-') || !folder.isEmpty()) {
            return usageError("list", QStringLiteral("알 수 없는 인자입니다: %1.").arg(arg));
        } else {
            folder = arg;
        }
    }
    if (folder.isEmpty()) {
        return usageError("list", QStringLiteral("목록을 볼 분류 폴더를 주세요."));
    }
    if (!QFileInfo(folder).isDir()) {
        complain("list", QStringLiteral("%1: 폴더가 아닙니다. 분류 폴더의 경로를 확인하세요.").arg(folder));
        return kExitFailure;
    }
    EntryListing listing = LoadEntries(folder);
    sortByTitle(listing.rows);
    printRows(listing.rows, json);
    for (const QString& path : listing.unreadable) {
        complain("list", QStringLiteral("%1: 항목 파일을 열 수 없어 목록에서 뺐습니다. 파일이 손상되지 않았는지, "
                                        "읽기 권한이 있는지 확인하세요.")
                             .arg(path));
    }
    return listing.unreadable.isEmpty() ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar{Command{"list", "[--json] 분류폴더", runList}};

}  // namespace
}  // namespace tk::cli
