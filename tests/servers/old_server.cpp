// A plugin of an earlier interface version: the loader must not call its registration.
#include <cstdlib>

extern "C" int TkObjectServerInterface() {
    return 0;
}

extern "C" void TkRegisterObjectServers(void*) {
    std::abort();
}
