#pragma once

namespace tk {

// Removes everything inside the open folder folderFd, keeping the folder itself. The walk goes
// from handle to handle (openat, unlinkat, O_NOFOLLOW), never through whole paths, so a tree of
// any depth is removed, even one whose paths pass PATH_MAX; it keeps one open folder at a time
// and no recursion, so neither the descriptors nor the stack run out on a deep tree. Links are
// removed, never followed, and another file system mounted inside is not entered. The way back up
// is checked against the folder it came from: a tree moved during the walk is left alone. False
// when anything stays.
[[nodiscard]] bool emptyFolderAt(int folderFd);

}  // namespace tk
