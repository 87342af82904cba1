// tomekeep-cli convert IN OUT: plain text, RTF and the compressed container, by file extension.
#include "cli/command.h"
#include "richedit/rich_text_document.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace tk::cli {
namespace {

const QStringList kInputs = {QStringLiteral("rtf"), QStringLiteral("txt"), QStringLiteral("crt")};
const QStringList kOutputs = {QStringLiteral("rtf"), QStringLiteral("txt"), QStringLiteral("crt"),
                              QStringLiteral("html")};

int fail(const QString& what) {
    std::fprintf(stderr, "tomekeep-cli convert: %s\n", qPrintable(what));
    return kExitFailure;
}

bool writeHtml(const QString& fileName, const QString& html, QString* why) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0 || !file.commit()) {
        *why = file.errorString();
        return false;
    }
    return true;
}

int convert(const QStringList& args) {
    if (args.size() != 2) {
        return usageError("convert");
    }
    const QString& in = args.at(0);
    const QString& out = args.at(1);
    const QString inExt = QFileInfo(in).suffix().toLower();
    const QString outExt = QFileInfo(out).suffix().toLower();
    if (!kInputs.contains(inExt)) {
        return usageError("convert", QStringLiteral("input must end in .rtf, .txt or .crt"));
    }
    if (!kOutputs.contains(outExt)) {
        return usageError("convert", QStringLiteral("output must end in .rtf, .txt, .crt or .html"));
    }
    TRichTextDocument document;
    if (!document.Lines().LoadFile(in)) {
        return fail(in + QStringLiteral(": ") + document.Lines().errorString());
    }
    QString why;
    if (outExt == QLatin1String("html")) {
        if (!writeHtml(out, document.document().toHtml(), &why)) {
            return fail(out + QStringLiteral(": ") + why);
        }
        return kExitOk;
    }
    document.SetCompress(outExt == QLatin1String("crt"));
    if (!document.Lines().SaveFile(out)) {
        return fail(out + QStringLiteral(": ") + document.Lines().errorString());
    }
    return kExitOk;
}

const CommandRegistrar registrar(Command{"convert", "IN OUT  (IN: .rtf .txt .crt; OUT: .rtf .txt .crt .html)",
                                         convert});

}  // namespace
}  // namespace tk::cli
