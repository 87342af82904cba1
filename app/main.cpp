// The program entry.
#include "app/program.h"
#include "platform/core_dumps.h"
#include "platform/translations.h"
#include "richedit/korean_fonts.h"

#include <QApplication>

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
    return tk::runProgram();
}
