#include "store/web_page_files.h"

#include "store/web_page_refs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <vector>

namespace tk {
namespace {

enum class Kind { Missing, File, Folder, Other };

struct PathInfo {
    Kind kind = Kind::Missing;
    qint64 size = 0;
};

// What is at path itself: a link is Other, never what it points to.
PathInfo inspect(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return {};
    }
    if (S_ISREG(st.st_mode)) {
        return {Kind::File, static_cast<qint64>(st.st_size)};
    }
    return {S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other, 0};
}

// A regular file reached from folder through real folders only: no part of the way is a link.
bool plainFileBelow(const QString& folder, const QString& relative, qint64* size) {
    const QStringList parts = relative.split(QLatin1Char('/'));
    QString path = folder;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        path += QLatin1Char('/') + parts.at(i);
        const PathInfo info = inspect(path);
        if (i + 1 < parts.size() && info.kind != Kind::Folder) {
            return false;
        }
        if (i + 1 == parts.size()) {
            *size = info.size;
            return info.kind == Kind::File;
        }
    }
    return false;
}

QString folderOf(const QString& relative) {
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

bool isStyleSheet(const QString& relative) {
    return relative.endsWith(QLatin1String(".css"), Qt::CaseInsensitive);
}

class Collector final {
  public:
    explicit Collector(const QString& folder) : folder_(folder) {}

    bool add(const QString& relative, qint64 size) {
        if (seen_.contains(relative)) {
            return true;
        }
        // A file spec line takes "<" as the start of a password of its own.
        if (relative.contains(QLatin1Char('<'))) {
            error_ = QStringLiteral(
                         "파일 이름에 '<' 문자가 있어 웹 페이지와 함께 저장할 수 없습니다: %1. "
                         "이름에서 '<'를 뺀 뒤 다시 저장하십시오.")
                         .arg(relative);
            return false;
        }
        seen_.insert(relative);
        files_.relativePaths.append(relative);
        files_.totalBytes += size;
        return true;
    }

    bool addReferences(const QString& fromDir, const QStringList& urls) {
        for (const QString& url : urls) {
            const QString relative = webpage::resolveReference(fromDir, url);
            qint64 size = 0;
            if (!relative.isEmpty() && plainFileBelow(folder_, relative, &size) && !add(relative, size)) {
                return false;
            }
        }
        return true;
    }

    bool addCompanion(const QString& name) {
        return inspect(folder_ + QLatin1Char('/') + name).kind != Kind::Folder || addFolder(name);
    }

    // Everything below a folder of the page's folder. Links are neither taken nor entered; hidden
    // files are left out (leftovers of file managers and copy tools, never written by a browser).
    // A name that cannot be passed on, or a folder that cannot be read, is reported, never
    // silently left out.
    bool addFolder(const QString& relativeDir) {
        std::vector<QByteArray> names;
        if (!listFolder(relativeDir, &names)) {
            return false;
        }
        for (const QByteArray& raw : names) {
            const QString name = QFile::decodeName(raw);
            const QString relative = relativeDir + QLatin1Char('/') + name;
            if (QFile::encodeName(name) != raw) {
                error_ = QStringLiteral(
                             "이름을 읽을 수 없는 파일이 있어 웹 페이지와 함께 저장할 수 없습니다: %1. "
                             "파일 이름을 바꾼 뒤 다시 저장하십시오.")
                             .arg(relative);
                return false;
            }
            const PathInfo info = inspect(folder_ + QLatin1Char('/') + relative);
            if ((info.kind == Kind::File && !add(relative, info.size)) ||
                (info.kind == Kind::Folder && !addFolder(relative))) {
                return false;
            }
        }
        return true;
    }

    bool listFolder(const QString& relativeDir, std::vector<QByteArray>* names) {
        DIR* dir = ::opendir(QFile::encodeName(folder_ + QLatin1Char('/') + relativeDir).constData());
        if (!dir) {
            error_ = QStringLiteral("웹 페이지의 폴더를 읽을 수 없습니다: %1. 읽기 권한이 있는지 확인하십시오.")
                         .arg(relativeDir);
            return false;
        }
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] != '.') {
                names->emplace_back(e->d_name);
            }
        }
        ::closedir(dir);
        return true;
    }

    // One level: the style sheets found so far are read, and what they refer to is added without
    // reading it in turn, so an @import of an @import is kept but not followed. That is enough:
    // browsers write a page's sheets flat into the companion folder, which is taken whole, and
    // sheets nested deeper than one import are rare on the pages people save.
    bool addStyleSheetReferences() {
        const QStringList found = files_.relativePaths;
        for (const QString& relative : found) {
            if (!isStyleSheet(relative)) {
                continue;
            }
            QFile file(folder_ + QLatin1Char('/') + relative);
            if (file.size() > kMaxWebPageBytes || !file.open(QIODevice::ReadOnly)) {
                continue;  // kept in the entry, only its references are not looked for
            }
            for (const QString& text : webpage::cssReadings(file.readAll())) {
                if (!addReferences(folderOf(relative), webpage::cssReferences(text))) {
                    return false;
                }
            }
        }
        return true;
    }

    const QString& error() const { return error_; }
    WebPageFiles take() {
        // The page first, the rest in a stable order.
        std::sort(files_.relativePaths.begin() + 1, files_.relativePaths.end());
        return std::move(files_);
    }

  private:
    QString folder_;
    QSet<QString> seen_;
    WebPageFiles files_;
    QString error_;
};

bool readPage(const QString& pagePath, QByteArray* bytes, qint64* size, QString* error) {
    const PathInfo info = inspect(pagePath);
    if (info.kind == Kind::Missing) {
        *error = QStringLiteral(
                     "웹 페이지 파일을 찾을 수 없습니다: %1. 파일이 옮겨지거나 지워지지 않았는지 "
                     "확인하십시오.")
                     .arg(pagePath);
        return false;
    }
    if (info.kind != Kind::File) {
        *error = QStringLiteral(
                     "웹 페이지가 일반 파일이 아닙니다(심볼릭 링크 등): %1. 링크가 가리키는 원래 "
                     "파일을 여십시오.")
                     .arg(pagePath);
        return false;
    }
    if (info.size > kMaxWebPageBytes) {
        *error = QStringLiteral("웹 페이지 파일이 너무 큽니다(%1MB): %2. %3MB 이하의 페이지만 저장할 수 있습니다.")
                     .arg(QString::number(info.size / (1024 * 1024)), pagePath,
                          QString::number(kMaxWebPageBytes / (1024 * 1024)));
        return false;
    }
    QFile file(pagePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("웹 페이지 파일을 읽을 수 없습니다: %1. 읽기 권한이 있는지 확인하십시오.").arg(pagePath);
        return false;
    }
    *bytes = file.readAll();
    *size = info.size;
    return true;
}

}  // namespace

bool collectWebPageFiles(const QString& pagePath, WebPageFiles* out, QString* error) {
    *out = {};
    error->clear();
    QByteArray bytes;
    qint64 size = 0;
    if (!readPage(pagePath, &bytes, &size, error)) {
        return false;
    }
    const QFileInfo page(pagePath);
    Collector collector(QDir::cleanPath(page.absolutePath()));
    const QString base = page.completeBaseName();
    bool ok = collector.add(page.fileName(), size);
    for (const QString& text : webpage::htmlReadings(bytes)) {
        ok = ok && collector.addReferences(QString(), webpage::htmlReferences(text));
    }
    ok = ok && collector.addCompanion(base + QStringLiteral("_files")) &&
         collector.addCompanion(base + QStringLiteral(".files")) && collector.addStyleSheetReferences();
    if (!ok) {
        *error = collector.error();
        return false;
    }
    *out = collector.take();
    return true;
}

QStringList fileSpecsFor(const QStringList& relativePaths) {
    QStringList specs;
    specs.reserve(relativePaths.size());
    for (const QString& relative : relativePaths) {
        // Only the last part of a spec is matched as a pattern; the folders before it are taken
        // as they are.
        const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
        QString name = relative.mid(slash + 1);
        if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')) || name.contains(QLatin1Char('['))) {
            QString escaped;
            for (QChar c : name) {
                if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') || c == QLatin1Char('\\')) {
                    escaped += QLatin1Char('\\');
                }
                escaped += c;
            }
            name = escaped;
        }
        specs.append(QLatin1Char('|') + relative.left(slash + 1) + name);
    }
    return specs;
}

}  // namespace tk
