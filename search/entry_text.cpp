#include "search/entry_text.h"

#include "platform/codepage.h"
#include "richedit/rich_text_document.h"
#include "store/web_page_files.h"
#include "store/web_page_refs.h"

#include <QBuffer>
#include <QFile>
#include <QStringDecoder>
#include <QTextDocument>

#include <zip.h>

#include <memory>

namespace tk::search {
namespace {

struct ZipCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipCloser>;
using FilePtr = std::unique_ptr<zip_file_t, FileCloser>;

// A page's text only: style sheets and pictures the markup names are never loaded, so nothing is
// read from whatever folder the process happens to be in.
class TextOnlyDocument final : public QTextDocument {
  protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

// Member names are UTF-8 when they are valid UTF-8 (the flag is set on every name written here),
// else CP949 as archives made on Windows have them.
QString decodeName(const char* raw) {
    const QByteArrayView bytes(raw);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString name = decoder(bytes);
    return decoder.hasError() ? codepage::fromAnsi(bytes) : name;
}

zip_int64_t findMember(zip_t* za, const QString& memberName) {
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (raw && decodeName(raw) == memberName) {
            return i;
        }
    }
    return -1;
}

// The byte forms a password may have been written with: UTF-8, then CP949 when that differs.
std::vector<QByteArray> passwordForms(const QString& password) {
    std::vector<QByteArray> forms{password.toUtf8()};
    QByteArray ansi;
    if (codepage::encode(codepage::kAnsi, password, &ansi) && ansi != forms.front()) {
        forms.push_back(ansi);
    }
    return forms;
}

// Reads an opened member whole, refusing more bytes than it declared or than a body may have.
BodyTextResult readOpened(zip_file_t* file, zip_uint64_t declared, QByteArray* bytes) {
    if (declared > static_cast<zip_uint64_t>(kMaxBodyBytes)) {
        return BodyTextResult::TooLarge;
    }
    bytes->resize(static_cast<qsizetype>(declared));
    zip_uint64_t done = 0;
    while (done < declared) {
        const zip_int64_t n = zip_fread(file, bytes->data() + done, declared - done);
        if (n <= 0) {
            bytes->clear();
            return BodyTextResult::Damaged;
        }
        done += static_cast<zip_uint64_t>(n);
    }
    char extra;
    // A member longer than it says, or one whose integrity check fails at its end, is damaged.
    if (zip_fread(file, &extra, 1) != 0) {
        bytes->clear();
        return BodyTextResult::Damaged;
    }
    return BodyTextResult::Ok;
}

}  // namespace

namespace {

ZipPtr openArchive(const QString& archivePath) {
    int error = 0;
    return ZipPtr(zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
}

BodyTextResult readFrom(zip_t* za, const QString& memberName, const QString& password, QByteArray* bytes) {
    const zip_int64_t index = findMember(za, memberName);
    zip_stat_t st;
    if (index < 0 || zip_stat_index(za, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
        return BodyTextResult::NoBody;
    }
    const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    if (!encrypted) {
        FilePtr file(zip_fopen_index(za, static_cast<zip_uint64_t>(index), 0));
        return file ? readOpened(file.get(), st.size, bytes) : BodyTextResult::Damaged;
    }
    if (password.isEmpty()) {
        return BodyTextResult::WrongPassword;
    }
    BodyTextResult result = BodyTextResult::WrongPassword;
    for (const QByteArray& form : passwordForms(password)) {
        FilePtr file(zip_fopen_index_encrypted(za, static_cast<zip_uint64_t>(index), 0, form.constData()));
        if (!file) {
            if (zip_error_code_zip(zip_get_error(za)) == ZIP_ER_WRONGPASSWD) {
                zip_error_clear(za);
                continue;
            }
            return BodyTextResult::Damaged;
        }
        // A traditional password check passes one wrong password in 256; the check at the end of
        // the data then fails, and the next form is tried.
        result = readOpened(file.get(), st.size, bytes);
        if (result != BodyTextResult::Damaged) {
            return result;
        }
    }
    return result;
}

BodyTextResult textFrom(zip_t* za, const EntryComment& comment, const QString& password, QString* text) {
    QByteArray bytes;
    const BodyTextResult read = readFrom(za, comment.documentFile, password, &bytes);
    if (read != BodyTextResult::Ok) {
        return read;
    }
    const bool converted = bodyToText(bytes, comment.documentFile != kDocumentFile, text);
    if (!password.isEmpty()) {
        bytes.fill('\0');  // decrypted bytes are overwritten before their memory is given back
    }
    return converted ? BodyTextResult::Ok : BodyTextResult::NotReadable;
}

}  // namespace

BodyTextResult readMemberBytes(const QString& archivePath, const QString& memberName, const QString& password,
                               QByteArray* bytes) {
    bytes->clear();
    const ZipPtr za = openArchive(archivePath);
    return za ? readFrom(za.get(), memberName, password, bytes) : BodyTextResult::NotArchive;
}

bool bodyToText(const QByteArray& bytes, bool isWeb, QString* text) {
    if (isWeb) {
        if (bytes.size() > kMaxWebPageBytes) {
            return false;
        }
        TextOnlyDocument document;
        document.setHtml(webpage::htmlReadings(bytes).value(0));
        *text = document.toPlainText().remove(QChar::ObjectReplacementCharacter);
        return true;
    }
    TRichTextDocument document;
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly) || !document.Lines().LoadStream(buffer)) {
        return false;
    }
    *text = document.document().toPlainText().remove(QChar::ObjectReplacementCharacter);
    return true;
}

BodyTextResult readEntryText(const QString& archivePath, const EntryComment& comment, const QString& password,
                             QString* text) {
    text->clear();
    const ZipPtr za = openArchive(archivePath);
    return za ? textFrom(za.get(), comment, password, text) : BodyTextResult::NotArchive;
}

QString bodyTextReason(BodyTextResult result) {
    switch (result) {
        case BodyTextResult::Ok:
            return {};
        case BodyTextResult::NotArchive:
            return QStringLiteral("보관 파일로 열 수 없습니다");
        case BodyTextResult::NoBody:
            return QStringLiteral("보관 파일에 본문 문서가 없습니다");
        case BodyTextResult::WrongPassword:
            return QStringLiteral("암호가 맞지 않습니다");
        case BodyTextResult::Damaged:
            return QStringLiteral("본문이 손상되었거나 암호가 맞지 않습니다");
        case BodyTextResult::TooLarge:
            return QStringLiteral("본문이 너무 큽니다");
        case BodyTextResult::NotReadable:
            return QStringLiteral("본문 문서를 읽을 수 없습니다");
    }
    return {};
}

}  // namespace tk::search
