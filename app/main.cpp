// The program entry.
#include "app/app_icon.h"
#include "app/program.h"
#include "platform/core_dumps.h"
#include "platform/translations.h"
#include "richedit/korean_fonts.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>

int main(int argc, char** argv) {
    // Decrypted entries are in this process's memory: a crash must not write them to disk.
    tk::disableCoreDumps();
    // The web view shares its rendering context; this must be said before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tk::installKoreanTranslations();
    tk::installKoreanFontSubstitutes();
    // No display name: the desktop would append it to every caption ("+일기+ TKEDIT — TOMEKEEP").
    QApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    // The desktop matches the windows to the installed desktop file and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tomekeep.Tomekeep"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(tk::paintAppIcon(size)));
    }
    QApplication::setWindowIcon(icon);
    return tk::runProgram();
}
