// tomekeep-cli show ENTRY.zip [--password-stdin]: an entry's body as UTF-8 text on standard output.
#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/entry_session.h"
#include "cli/list_labels.h"
#include "cli/password_input.h"
#include "richedit/rich_text_document.h"
#include "store/web_page_refs.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace tk::cli {
namespace {

constexpr const char* kCommand = "show";

// Lines end in "\n", the last one too, as text on a terminal or in a pipe does.
QString asLines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!text.isEmpty() && !text.endsWith(u'\n')) {
        text += u'\n';
    }
    return text;
}

// A rich-text body as plain text, as "convert" writes a .txt.
bool richText(const QString& bodyFile, QString* text) {
    TRichTextDocument document;
    if (!document.Lines().LoadFile(bodyFile)) {
        return false;
    }
    writeListLabels(document.document());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    document.SetCompress(false);
    document.Lines().SetStreamFormat(TRichStreamFormat::sfPlainText);
    document.Lines().SetTextEncoding(TTextEncoding::teUtf8);
    if (!document.Lines().SaveStream(buffer)) {
        return false;
    }
    *text = QString::fromUtf8(buffer.data());
    return true;
}

// A saved web page's text, read in the encoding a browser would use; pictures and other objects
// leave nothing behind.
bool pageText(const QString& pageFile, QString* text) {
    QFile file(pageFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QStringList readings = webpage::htmlReadings(file.readAll());
    QTextDocument document;
    document.setHtml(readings.value(0));
    *text = document.toPlainText().remove(QChar::ObjectReplacementCharacter);
    return true;
}

int runShow(const QStringList& list) {
    Arguments args;
    if (const int usage = parseArguments(kCommand, list, {}, {"--password-stdin"}, &args); usage != kExitOk) {
        return usage;
    }
    if (args.positional.size() != 1) {
        return usageError(kCommand, QStringLiteral("보여 줄 글의 보관 파일(.zip)을 하나 주세요."));
    }
    const QString path = args.positional.at(0);
    EntryComment comment;
    if (!readEntry(kCommand, path, &comment)) {
        return kExitFailure;
    }
    if (comment.isProtected && !args.has("--password-stdin")) {
        return passwordNeeded(kCommand);
    }
    Passwords passwords;
    if (!readPasswords(kCommand, {args.has("--password-stdin"), false}, &passwords)) {
        return kExitFailure;
    }
    QString text;
    {
        EntrySession session(kCommand);
        if (!session.start()) {
            return kExitFailure;
        }
        EntryRef opened;
        QString body;
        if (!session.store().open(QFileInfo(path).absoluteFilePath(), comment, passwords.current, &opened, &body)) {
            return storeFailure(kCommand, session.store(), path);
        }
        if (!(opened.isWeb() ? pageText(body, &text) : richText(body, &text))) {
            complain(kCommand, QStringLiteral("%1: 글의 문서를 읽을 수 없습니다. 보관 파일이 손상되지 않았는지 "
                                              "'tomekeep-cli info'로 확인하세요.")
                                   .arg(path));
            return kExitFailure;
        }
        // The decrypted files are gone before anything is printed, so a reader that stops early
        // cannot leave them behind.
        if (!session.finish()) {
            return kExitFailure;
        }
    }
    return printText(kCommand, asLines(text)) ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar{
    Command{kCommand,
            "글.zip [--password-stdin]  (글의 본문을 UTF-8 텍스트로 출력; 웹 문서는 그 페이지의 텍스트; "
            "--password-stdin: 표준 입력 첫 줄의 암호)",
            runShow, true}};

}  // namespace
}  // namespace tk::cli
