// tomekeep-cli list [--json] FOLDER: the entries of a category folder in the list's title order.
#include "cli/command.h"
#include "store/entry_list.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace tk::cli {
namespace {

QString flag(const EntryRow& row) {
    return row.isProtected ? QStringLiteral("Y") : QStringLiteral("N");
}

void printTabs(const std::vector<EntryRow>& rows) {
    for (const EntryRow& row : rows) {
        const QString line = row.archiveName + u'\t' + flag(row) + u'\t' + row.documentFile + u'\t' + row.category +
                             u'\t' + row.title + u'\n';
        std::fputs(line.toUtf8().constData(), stdout);
    }
}

void printJson(const std::vector<EntryRow>& rows) {
    QJsonArray array;
    for (const EntryRow& row : rows) {
        array.append(QJsonObject{{QStringLiteral("archive"), row.archiveName},
                                 {QStringLiteral("protected"), flag(row)},
                                 {QStringLiteral("document"), row.documentFile},
                                 {QStringLiteral("category"), row.category},
                                 {QStringLiteral("title"), row.title}});
    }
    std::fputs(QJsonDocument(array).toJson(QJsonDocument::Indented).constData(), stdout);
}

int runList(const QStringList& args) {
    bool json = false;
    QString folder;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--json")) {
            json = true;
        } else if (arg.startsWith(u'-') || !folder.isEmpty()) {
            return usageError("list", QStringLiteral("unexpected argument '%1'").arg(arg));
        } else {
            folder = arg;
        }
    }
    if (folder.isEmpty()) {
        return usageError("list", QStringLiteral("no folder given"));
    }
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "tomekeep-cli list: %s is not a folder\n", qPrintable(folder));
        return kExitFailure;
    }
    EntryListing listing = LoadEntries(folder);
    sortByTitle(listing.rows);
    json ? printJson(listing.rows) : printTabs(listing.rows);
    for (const QString& path : listing.unreadable) {
        std::fprintf(stderr, "Cannot open file %s\n", qPrintable(path));
    }
    return listing.unreadable.isEmpty() ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar{Command{"list", "[--json] FOLDER", runList}};

}  // namespace
}  // namespace tk::cli
