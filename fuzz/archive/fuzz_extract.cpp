// Extracts arbitrary bytes as an archive through the component and the real unzip engine, then
// checks that nothing appeared outside the base folder and no link was made.
#include "archive/archiver.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir* work = nullptr;
tk::TArchiver* archiver = nullptr;

void checkTree(const QString& root, const QString& base) {
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.isSymLink()) {
            std::abort();  // a link was created
        }
        const QString path = info.absoluteFilePath();
        if (path != root + QStringLiteral("/in.zip") && !path.startsWith(base + QLatin1Char('/')) && path != base) {
            std::abort();  // something landed outside the base folder
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    work = new QTemporaryDir;
    archiver = new tk::TArchiver;
    archiver->SetUnattended(true);
    archiver->SetEngineDirectory(QStringLiteral(TK_ENGINE_DIR));
    archiver->LoadUnzipEngine();
    archiver->OnPasswordError = [](tk::TArchiver*, bool, QString&, const QString&, unsigned& repeat,
                                   tk::TPasswordButton&) { repeat = 0; };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString root = work->path();
    const QString archive = root + QStringLiteral("/in.zip");
    const QString base = root + QStringLiteral("/base");
    QDir(base).removeRecursively();
    QDir().mkpath(base);
    QFile f(archive);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    f.close();
    archiver->SetZipFileName(archive);
    archiver->SetPassword(QStringLiteral("pw"));
    archiver->SetExtrBaseDir(base);
    archiver->SetExtrOptions({tk::ExtrOptsEnum::ExtrDirNames, tk::ExtrOptsEnum::ExtrOverWrite});
    archiver->Extract();
    checkTree(root, base);
    return 0;
}
