#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace tk {

// Opening documents and web addresses with the desktop's programs. Every launch goes through
// shellLaunch, so that tests can record launches instead of starting programs.
using ShellLauncher = std::function<bool(const QUrl& url)>;

// Hands the address to the desktop (QDesktopServices::openUrl, or the launcher tests set); the
// desktop's answer.
bool shellLaunch(const QUrl& url);
// Replaces the desktop for tests; an empty launcher brings it back.
void setShellLauncher(ShellLauncher launcher);

// True when opening the file would run a program rather than show a document: a file with an
// execute permission, a desktop launcher (.desktop), or a script or program the desktop runs
// (.sh, .py, .exe, .bat, .jar, .AppImage ...). Folders are not.
bool opensAsProgram(const QString& path);

// Opens a local file with its default program. A file that would run a program is opened only
// after the user agreed in a question naming it; false when the user said no or the desktop
// could not open it.
bool shellOpenFile(QWidget* parent, const QString& path);

}  // namespace tk
