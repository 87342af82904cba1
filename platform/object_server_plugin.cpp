#include "platform/object_server_plugin.h"

#include "platform/package_object.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace tk::ole {

PluginLoad loadObjectServerPlugin(const QString& path, ObjectServers& servers, QString* error) {
    QString ignored;
    QString& why = error ? *error : ignored;
    if (!QFileInfo(path).isFile()) {
        return PluginLoad::Missing;
    }
    void* library = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        why = QString::fromLocal8Bit(::dlerror());
        qWarning("object servers: %s", qPrintable(why));
        return PluginLoad::Unloadable;
    }
    auto version = reinterpret_cast<ObjectServerInterfaceFn>(::dlsym(library, kObjectServerInterfaceEntry));
    auto registerClasses = reinterpret_cast<RegisterObjectServersFn>(::dlsym(library, kRegisterObjectServersEntry));
    if (version == nullptr || registerClasses == nullptr) {
        why = QStringLiteral("%1: no object server entries").arg(path);
        qWarning("object servers: %s", qPrintable(why));
        ::dlclose(library);
        return PluginLoad::Unloadable;
    }
    if (const int found = version(); found != kObjectServerInterface) {
        why = QStringLiteral("%1: interface version %2, expected %3").arg(path).arg(found).arg(kObjectServerInterface);
        qWarning("object servers: skipped %s", qPrintable(why));
        ::dlclose(library);
        return PluginLoad::WrongVersion;
    }
    registerClasses(servers);
    return PluginLoad::Registered;
}

void startObjectServers(ObjectServers& servers, const QString& programFolder, const QString& scratchDir) {
    servers.setScratchDir(scratchDir);
    registerPackageServer(servers);
    (void)loadObjectServerPlugin(QDir(programFolder).filePath(QLatin1String(kImageServerLibrary)), servers);
}

}  // namespace tk::ole
