#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace tk {

// What keeps the web engine from starting in this process. The engine does not fail on these: it
// ends the whole process, so they are decided before anything of it is created.
enum class WebEngineBlock {
    None,
    SandboxAsRoot,     // root with the sandbox on: the engine refuses and exits
    HelperMissing,     // the engine's helper program is not installed
    ResourcesMissing,  // the engine's resource pack is not installed
};

struct WebEngineVerdict {
    WebEngineBlock block = WebEngineBlock::None;
    // What is wrong and what to do, in Korean; empty when the engine can start.
    QString reason;

    bool canStart() const { return block == WebEngineBlock::None; }
};

// Everything the decision looks at, so that it can be made for any user, environment and install.
struct WebEngineStart {
    uid_t uid = 0;  // 0 when the process runs as root
    QProcessEnvironment environment;
    QStringList arguments;  // the application's, its program first
    // Where the engine looks for its helper program and its resource pack when the environment
    // does not say, in the engine's own order.
    QStringList helperFolders;
    QStringList resourceFolders;

    // This process with the installed engine.
    static WebEngineStart current();
};

[[nodiscard]] WebEngineVerdict decideWebEngine(const WebEngineStart& start);

// True when the user turned the engine's sandbox off: by QTWEBENGINE_DISABLE_SANDBOX, or by
// --no-sandbox among the switches the engine reads (QTWEBENGINE_CHROMIUM_FLAGS when it is set,
// otherwise the application's arguments after --webEngineArgs).
[[nodiscard]] bool sandboxTurnedOff(const QProcessEnvironment& environment, const QStringList& arguments);

}  // namespace tk
