#include "editor/file_links.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace tk {
namespace {

const QString kPrefix = QStringLiteral("FILE:\\\\");  // FILE:\\ .
const QString kMacro = QStringLiteral("[TK]\\");

// The written part of a link back to a path: quotes are spaces, backslashes separate parts.
QString decodePart(QString part) {
    part.replace(u'"', u' ');
    part.replace(u'\\', u'/');
    return part;
}

QString encodePart(QString part) {
    part.replace(u'/', u'\\');
    part.replace(u' ', u'"');
    return part;
}

bool carriesInLink(const QString& part) {
    for (const QChar ch : part) {
        if (ch == u'\\' || ch == u'"' || (ch.isSpace() && ch != u' ')) {
            return false;
        }
    }
    return true;
}

// The part of path below folder (which ends in "/"), or a null string when path is not below it.
QString below(const QString& path, const QString& folder) {
    if (folder.size() > 1 && path.startsWith(folder) && path.size() > folder.size()) {
        return path.mid(folder.size());
    }
    return {};
}

QString withSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool sameIgnoringCase(const QString& a, const QString& b) {
    // Upper case on both sides, as links are upper-cased: "ß" becomes "SS" there.
    return a.toUpper() == b.toUpper();
}

// Looks up parts[i..] below folder (ending in "/"), the exact name of each part first.
QString findBelow(const QString& folder, const QStringList& parts, qsizetype i) {
    const QString& name = parts[i];
    const bool last = i + 1 == parts.size();
    QStringList candidates;
    if (name == u'.' || name == QLatin1String("..") || QFileInfo::exists(folder + name)) {
        candidates.append(name);
    }
    if (name != u'.' && name != QLatin1String("..")) {
        const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        for (const QString& entry : QDir(folder).entryList(all, QDir::Name)) {
            if (entry != name && sameIgnoringCase(entry, name)) {
                candidates.append(entry);
            }
        }
    }
    for (const QString& candidate : candidates) {
        const QString path = folder + candidate;
        if (last) {
            return path;
        }
        if (QFileInfo(path).isDir()) {
            const QString found = findBelow(path + u'/', parts, i + 1);
            if (!found.isEmpty()) {
                return found;
            }
        }
    }
    return {};
}

}  // namespace

bool isFileLink(const QString& link) {
    return link.contains(kPrefix, Qt::CaseInsensitive) || link.contains(QLatin1String("FILE://"), Qt::CaseInsensitive);
}

QString fileLinkPath(const QString& link, const QString& programDir) {
    QString u = link;
    u.replace(u'/', u'\\');
    const qsizetype at = u.indexOf(kPrefix, 0, Qt::CaseInsensitive);
    if (at < 0) {
        return {};
    }
    QString rest = u.mid(at + kPrefix.size());
    qsizetype extra = 0;
    while (extra < rest.size() && rest[extra] == u'\\') {
        ++extra;
    }
    // "FILE:\\[TK]\" and "FILE:\\\[TK]\" (a link typed with three slashes) both name the program folder.
    if (extra <= 1 && QStringView(rest).mid(extra).startsWith(kMacro, Qt::CaseInsensitive)) {
        if (programDir.isEmpty()) {
            return {};
        }
        return withSlash(programDir) + decodePart(rest.mid(extra + kMacro.size()));
    }
    // A third backslash is the root; with two only, "file://server/share/x" is the relative
    // "server/share/x".
    if (extra > 0) {
        return u'/' + decodePart(rest.mid(extra));
    }
    return decodePart(rest);
}

QString fileLinkText(const QString& path, const QString& programDir) {
    const QString folder = withSlash(programDir);
    QString inside = below(path, folder);
    if (inside.isNull()) {
        // The program folder reached through another name (a symbolic link on the way).
        const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
        const QString canonicalPath = QFileInfo(path).canonicalFilePath();
        if (!canonicalFolder.isEmpty() && !canonicalPath.isEmpty()) {
            inside = below(canonicalPath, withSlash(canonicalFolder));
        }
    }
    const QString written = inside.isNull() ? path : inside;
    if (!carriesInLink(written)) {
        return {};
    }
    return kPrefix + (inside.isNull() ? QString() : kMacro) + encodePart(written);
}

QString findPathIgnoringCase(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    if (QFileInfo::exists(path)) {
        return path;
    }
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        return {};
    }
    const QString start = path.startsWith(u'/') ? QStringLiteral("/") : withSlash(QDir::currentPath());
    return findBelow(start, parts, 0);
}

}  // namespace tk
