#pragma once

#include "platform/ole_objects.h"

#include <QString>

// Object server plugins: shared libraries beside the program that register classes of objects.
// A plugin exports two C entries: its interface version, and one that registers its classes into
// the servers it is given. The interface is the C++ layout of ole_objects.h, so the version
// changes whenever that layout does.
namespace tk::ole {

inline constexpr int kObjectServerInterface = 1;
inline constexpr const char* kObjectServerInterfaceEntry = "TkObjectServerInterface";
inline constexpr const char* kRegisterObjectServersEntry = "TkRegisterObjectServers";
// The picture object server's file name.
inline constexpr const char* kImageServerLibrary = "libtkimageserver.so";

using ObjectServerInterfaceFn = int (*)();
using RegisterObjectServersFn = void (*)(ObjectServers& servers);

enum class PluginLoad {
    Registered,    // the plugin registered its classes
    Missing,       // no file there: not an error
    Unloadable,    // the file is not a library that loads, or lacks an entry
    WrongVersion,  // a plugin of another interface version: skipped
};

// Loads the plugin at path (never unloaded: its objects may live as long as the program) and lets
// it register its classes. Anything but Registered and Missing leaves a qWarning and *error.
PluginLoad loadObjectServerPlugin(const QString& path, ObjectServers& servers, QString* error = nullptr);

// The program's start-up step: gives the servers the scratch folder, registers the package server
// and loads the picture server's plugin when it lies in programFolder.
void startObjectServers(ObjectServers& servers, const QString& programFolder, const QString& scratchDir);

}  // namespace tk::ole
