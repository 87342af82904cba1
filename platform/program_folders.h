#pragma once

#include <QString>

namespace tk {

// The program's own folder, ending in "/": TOMEKEEP_HOME when set; else executableDir when it is
// writable and already holds a LIST folder (a portable copy); else the per-user data folder. A
// build folder is thus never taken for a library.
QString resolveProgramDir(const QString& executableDir);
// The same for the folder of the running program.
QString resolveProgramDir();

// The scratch folder for a program folder, ending in "/"; not created here. When XDG_RUNTIME_DIR
// is the user's own private folder (memory-backed), a folder below it named after a hash of
// programDir, so two libraries never share one; otherwise programDir + "TEMP/".
QString resolveScratchDir(const QString& programDir);

// Makes folder a private scratch folder: creates it with mode 0700 when missing; refuses one that is
// a symbolic link, not a folder, or owned by another user; closes one that is open to others; then
// empties it. One that cannot be emptied is renamed aside (its name + ".aside-" + six characters,
// still private) and a fresh one made; folders set aside so earlier are removed once they can be.
// Returns false with a reason in *error.
[[nodiscard]] bool preparePrivateFolder(const QString& folder, QString* error);

// Makes a new, empty private folder (mode 0700, its name namePrefix plus six random characters)
// below XDG_RUNTIME_DIR when that is the user's own private folder (memory-backed), otherwise below
// the system's temporary folder (TMPDIR, else /tmp). *folder ends in "/". Returns false with a
// reason in *error.
[[nodiscard]] bool makePrivateTempFolder(const QString& namePrefix, QString* folder, QString* error);

}  // namespace tk
