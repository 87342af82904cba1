#pragma once

#include <functional>

namespace tk {

class TForm1;

// The program entry after the application object exists: creates the windows in their order,
// shows the main window and runs until it closes. onShown, when given, runs once the main
// window has been shown and has filled its list.
int runProgram(const std::function<void(TForm1&)>& onShown = {});

}  // namespace tk
