// Finding and loading the zip and unzip engines.
#include "archive/archiver.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace tk {
namespace {

struct EngineNames {
    const char* file;
    const char* exec;
    const char* version;
    int loadedId, execMissingId, versionMissingId, loadFailedId;
};

constexpr EngineNames kZip{"libzipeng.so", "ZipEngExec", "GetZipEngVersion", 10601, 10602, 10603, 10604};
constexpr EngineNames kUnzip{"libunzeng.so", "UnzEngExec", "GetUnzEngVersion", 10701, 10702, 10703, 10704};

}  // namespace

QString TArchiver::programFolder() const {
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

void TArchiver::loadEngine(Engine& engine, bool zip) {
    const EngineNames& names = zip ? kZip : kUnzip;
    if (engine.handle) {
        // Loading twice would leak a reference that no unload gives back.
        return;
    }
    const QString file = QString::fromLatin1(names.file);
    QString path;
    if (!engineDirectory_.isEmpty() && QFileInfo(engineDirectory_ + QLatin1Char('/') + file).isFile()) {
        path = engineDirectory_ + QLatin1Char('/') + file;
    } else if (QFileInfo(programFolder() + QLatin1Char('/') + file).isFile()) {
        path = programFolder() + QLatin1Char('/') + file;
    } else {
        path = file;  // the system's search
    }
    engine.handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!engine.handle) {
        ReportMessage(names.loadFailedId);
        return;
    }
    if (trace_) {
        ReportMessage(names.loadedId);
    }
    engine.exec = ::dlsym(engine.handle, names.exec);
    if (!engine.exec) {
        ReportMessage(names.execMissingId);
    }
    engine.version = reinterpret_cast<engine::VersionFn>(::dlsym(engine.handle, names.version));
    if (!engine.version) {
        ReportMessage(names.versionMissingId);
    }
}

void TArchiver::LoadZipEngine() {
    loadEngine(zipEngine_, true);
}

void TArchiver::LoadUnzipEngine() {
    loadEngine(unzipEngine_, false);
}

void TArchiver::UnloadZipEngine() {
    if (zipEngine_.handle) {
        ::dlclose(zipEngine_.handle);
    }
    zipEngine_ = {};
}

void TArchiver::UnloadUnzipEngine() {
    if (unzipEngine_.handle) {
        ::dlclose(unzipEngine_.handle);
    }
    unzipEngine_ = {};
}

int TArchiver::ZipEngineVersion() {
    const bool loadedHere = !ZipEngineLoaded();
    if (loadedHere) {
        LoadZipEngine();
    }
    const int version = zipEngine_.version ? zipEngine_.version() : 0;
    if (loadedHere) {
        UnloadZipEngine();
    }
    return version;
}

int TArchiver::UnzipEngineVersion() {
    const bool loadedHere = !UnzipEngineLoaded();
    if (loadedHere) {
        LoadUnzipEngine();
    }
    const int version = unzipEngine_.version ? unzipEngine_.version() : 0;
    if (loadedHere) {
        UnloadUnzipEngine();
    }
    return version;
}

}  // namespace tk
