#include "cli/row_output.h"

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

}  // namespace

void printRows(const std::vector<EntryRow>& rows, bool json) {
    json ? printJson(rows) : printTabs(rows);
}

}  // namespace tk::cli
