// The program entry.
#include "app/program.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    QApplication::setApplicationDisplayName(QStringLiteral("TOMEKEEP"));
    return tk::runProgram();
}
