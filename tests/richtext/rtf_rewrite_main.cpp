// Reads an RTF file and writes it again through the program's writer; used by
// tests/data/rtf/regenerate.sh to make the files that check what other programs read of ours.
//   rtf_rewrite IN.rtf OUT.rtf [TEXT.txt]
#include "richtext/rtf_writer.h"
#include "rtf_test_support.h"

#include <QApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: rtf_rewrite IN.rtf OUT.rtf [TEXT.txt]\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    QTextDocument document;
    tk::rtf::RtfError error = tk::rtf::RtfError::None;
    const QString text = tk::test::readRtfText(in.readAll(), &document, &error);
    if (error != tk::rtf::RtfError::None) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(tk::rtf::writeRtf(document)) < 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc > 3) {
        QFile textFile(QString::fromLocal8Bit(argv[3]));
        if (!textFile.open(QIODevice::WriteOnly) || textFile.write(text.toUtf8() + '\n') < 0) {
            return 1;
        }
    }
    return 0;
}
