// The program entry.
#include "app/program.h"
#include "platform/translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The web view shares its rendering context; this must be said before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    tk::installKoreanTranslations();
    // No display name: the desktop would append it to every caption ("+일기+ TKEDIT — TOMEKEEP").
    QApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    return tk::runProgram();
}
