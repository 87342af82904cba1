#pragma once

namespace tk {

// Keeps this process from leaving a core file or being read by a debugger of the same user: the
// memory of a program that shows decrypted entries must not end up on disk after a crash. True
// when both took effect.
bool disableCoreDumps();

}  // namespace tk
