#include "app/program.h"

#include "app/category_editor.h"
#include "app/entry_dialog.h"
#include "app/find_window.h"
#include "app/main_window.h"
#include "app/settings_dialog.h"
#include "editor/char_palette.h"
#include "editor/editor_window.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace tk {
namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}

// A session that ends, or a terminal that is closed, sends a signal: the program then closes its
// main window as if the user had, so the scratch folder with its decrypted files is emptied and
// the settings are kept.
void closeOnTerminationSignals(TForm1& form1) {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &form1);
    QObject::connect(notifier, &QSocketNotifier::activated, &form1, [&form1] {
        char byte;
        while (::read(signalPipe[0], &byte, 1) > 0) {
        }
        form1.close();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(sig, &action, nullptr);
    }
}

}  // namespace

int runProgram(const std::function<void(TForm1&)>& onShown) {
    TForm1 form1;
    if (!form1.FormCreate()) {
        return 1;
    }
    TForm2 form2(&form1);
    form1.setCategoryEditor(&form2);
    form2.FormCreate();
    TForm3 form3(&form1);
    form1.setEditor(&form3);
    TForm4 form4(&form1);
    form1.setEntryDialog(&form4);
    TForm5 form5(&form1);
    form1.setSettingsDialog(&form5);
    TForm6 form6(&form1);
    form1.setFindWindow(&form6);
    // The palette is made last; it serves the editor and lives as long as it.
    TForm7 form7(&form3, &form3);
    form3.setCharPalette(&form7);

    closeOnTerminationSignals(form1);
    form1.show();
    if (onShown) {
        QTimer::singleShot(0, &form1, [&form1, &onShown] { onShown(form1); });
    }
    return QApplication::exec();
}

}  // namespace tk
