#include "platform/object_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

namespace tk::ole {

namespace {

constexpr int kMaxNameBytes = 200;

QString lastPart(const QString& name) {
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    return slash >= 0 ? name.mid(slash + 1) : name;
}

}  // namespace

QString sanitizedFileName(const QString& name, const QString& fallback) {
    QString clean;
    for (const QChar c : lastPart(name)) {
        if (c.category() == QChar::Other_Control || c == u'/' || c == u'\\' || c == QChar(0x7F)) {
            continue;
        }
        clean.append(c);
    }
    clean = clean.trimmed();
    while (clean.toUtf8().size() > kMaxNameBytes) {
        // Shortened from the front of the name so that the type suffix stays.
        clean.remove(0, clean.at(0).isHighSurrogate() ? 2 : 1);
    }
    if (clean.isEmpty() || clean == u"." || clean == u"..") {
        return fallback;
    }
    return clean;
}

HRESULT writeObjectFile(const QString& scratchDir, const QString& fileName, QByteArrayView data, QString* path) {
    if (scratchDir.isEmpty() || !QFileInfo(scratchDir).isDir()) {
        return STG_E_WRITEFAULT;
    }
    QByteArray pattern = QFile::encodeName(QDir(scratchDir).filePath(QStringLiteral("object-XXXXXX")));
    if (::mkdtemp(pattern.data()) == nullptr) {
        return STG_E_WRITEFAULT;
    }
    const QString folder = QFile::decodeName(pattern);
    const QString target = folder + u'/' + sanitizedFileName(fileName, QStringLiteral("개체"));
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(data.data(), data.size()) != data.size() || !file.flush()) {
        file.close();
        QFile::remove(target);
        QDir().rmdir(folder);
        return STG_E_WRITEFAULT;
    }
    file.close();
    *path = target;
    return S_OK;
}

}  // namespace tk::ole
