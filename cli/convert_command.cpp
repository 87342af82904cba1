// tomekeep-cli convert IN OUT: plain text, RTF and the compressed container, by file extension.
#include "cli/command.h"
#include "cli/list_labels.h"
#include "richedit/print_document.h"
#include "richedit/rich_text_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QSaveFile>

#include <algorithm>

namespace tk::cli {
namespace {

const QStringList kInputs = {QStringLiteral("rtf"), QStringLiteral("txt"), QStringLiteral("crt")};
const QStringList kOutputs = {QStringLiteral("rtf"), QStringLiteral("txt"), QStringLiteral("crt"),
                              QStringLiteral("html"), QStringLiteral("pdf")};

struct ConvertArgs {
    QString in;
    QString out;
    TTextEncoding encoding = TTextEncoding::teUtf8;
    bool encodingGiven = false;
};

int fail(const QString& what) {
    complain("convert", what);
    return kExitFailure;
}

// Reads the arguments into *args; returns the exit code of a usage error, or kExitOk.
int parseArgs(const QStringList& list, ConvertArgs* args) {
    QStringList positional;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString& a = list.at(i);
        if (a != QLatin1String("--encoding")) {
            if (a.startsWith(QLatin1String("--"))) {
                return usageError("convert", QStringLiteral("알 수 없는 옵션입니다: %1.").arg(a));
            }
            positional.append(a);
            continue;
        }
        if (++i >= list.size()) {
            return usageError("convert", QStringLiteral("--encoding 다음에 utf-8 또는 cp949를 주세요."));
        }
        const QString name = list.at(i).toLower();
        if (name != QLatin1String("utf-8") && name != QLatin1String("cp949")) {
            return usageError(
                "convert", QStringLiteral("알 수 없는 인코딩입니다: %1. utf-8 또는 cp949를 쓰세요.").arg(list.at(i)));
        }
        args->encoding = name == QLatin1String("cp949") ? TTextEncoding::teAnsi : TTextEncoding::teUtf8;
        args->encodingGiven = true;
    }
    if (positional.size() != 2) {
        return usageError("convert", QStringLiteral("입력 파일과 출력 파일을 하나씩 주세요."));
    }
    args->in = positional.at(0);
    args->out = positional.at(1);
    return kExitOk;
}

int checkExtensions(const ConvertArgs& args) {
    const QString outExt = QFileInfo(args.out).suffix().toLower();
    if (!kInputs.contains(QFileInfo(args.in).suffix().toLower())) {
        return usageError("convert", QStringLiteral("입력 파일은 .rtf, .txt, .crt 가운데 하나로 끝나야 합니다."));
    }
    if (!kOutputs.contains(outExt)) {
        return usageError("convert",
                          QStringLiteral("출력 파일은 .rtf, .txt, .crt, .html, .pdf 가운데 하나로 끝나야 합니다."));
    }
    if (args.encodingGiven && outExt != QLatin1String("txt")) {
        return usageError("convert", QStringLiteral("--encoding은 .txt로 저장할 때만 씁니다."));
    }
    return kExitOk;
}

int loadFailure(const QString& in, const QString& refusal) {
    if (!refusal.isEmpty()) {
        return fail(QStringLiteral("%1: %2").arg(in, refusal));
    }
    QFile file(in);
    if (!file.exists()) {
        return fail(QStringLiteral("%1: 파일이 없습니다. 경로를 확인하세요.").arg(in));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(
            QStringLiteral("%1: 파일을 열 수 없습니다. 읽기 권한을 확인하세요. (%2)").arg(in, file.errorString()));
    }
    return fail(QStringLiteral("%1: 문서를 읽을 수 없습니다. 파일이 손상되지 않았는지, 확장자에 맞는 형식인지 "
                               "확인하세요.")
                    .arg(in));
}

int saveFailure(const QString& out, const QString& why) {
    if (!QFileInfo(QFileInfo(out).absolutePath()).isDir()) {
        return fail(QStringLiteral("%1: 저장할 폴더가 없습니다. 폴더를 먼저 만드세요.").arg(out));
    }
    return fail(QStringLiteral("%1: 저장하지 못했습니다. 쓰기 권한과 남은 공간을 확인하세요. (%2)").arg(out, why));
}

bool writeHtml(const QString& fileName, const QString& html, QString* why) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0 || !file.commit()) {
        *why = file.errorString();
        return false;
    }
    return true;
}

// The document printed into a PDF file as the editor prints it, on A4 paper with the margins a
// printer would keep.
int printPdf(TRichTextDocument& document, const QString& out) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                      QPageLayout::Millimeter));
    PrintOutcome outcome;
    if (!printRichText(document.editModel(), printer, QFileInfo(out).completeBaseName(), &outcome)) {
        return saveFailure(out, outcome.errorString);
    }
    return kExitOk;
}

int convert(const QStringList& list) {
    ConvertArgs args;
    if (const int usage = parseArgs(list, &args); usage != kExitOk) {
        return usage;
    }
    if (const int usage = checkExtensions(args); usage != kExitOk) {
        return usage;
    }
    TRichTextDocument document;
    if (!document.Lines().LoadFile(args.in)) {
        return loadFailure(args.in, document.Lines().loadRefusal());
    }
    const QString outExt = QFileInfo(args.out).suffix().toLower();
    if (outExt == QLatin1String("html")) {
        QString why;
        return writeHtml(args.out, document.document().toHtml(), &why) ? kExitOk : saveFailure(args.out, why);
    }
    if (outExt == QLatin1String("pdf")) {
        return printPdf(document, args.out);
    }
    if (outExt == QLatin1String("txt")) {
        writeListLabels(document.document());
    }
    document.SetCompress(outExt == QLatin1String("crt"));
    document.Lines().SetTextEncoding(args.encoding);
    if (!document.Lines().SaveFile(args.out)) {
        return saveFailure(args.out, document.Lines().errorString());
    }
    return kExitOk;
}

const CommandRegistrar registrar(Command{
    "convert",
    "입력 출력 [--encoding utf-8|cp949]  (입력: .rtf .txt .crt, 출력: .rtf .txt .crt .html .pdf; .txt는 UTF-8로, "
    "--encoding cp949이면 프로그램의 CP949로 저장; .pdf는 편집기의 인쇄와 같이 A4 쪽으로 인쇄)",
    convert, false,
    // Printing needs fonts and a printer; the other conversions do without a GUI application.
    [](const QStringList& args) {
        return std::any_of(args.begin(), args.end(),
                           [](const QString& a) { return a.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive); });
    }});

}  // namespace
}  // namespace tk::cli
