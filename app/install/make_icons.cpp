// Writes the program's icon as PNG files in the hicolor theme's layout: hicolor/NxN/apps/tomekeep.png
// below the folder given. Runs at build time.
#include "app/app_icon.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = root + QStringLiteral("/hicolor/%1x%1/apps").arg(size);
        if (!QDir().mkpath(folder) || !tk::paintAppIcon(size).save(folder + QStringLiteral("/tomekeep.png"), "PNG")) {
            std::fprintf(stderr, "cannot write the %dx%d icon below %s\n", size, size, argv[1]);
            return 1;
        }
    }
    return 0;
}
