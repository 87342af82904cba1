#include "search_test_support.h"

#include "platform/codepage.h"
#include "store/entry_comment.h"

#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <zip.h>

namespace tk::test {

QByteArray rtfOf(const QString& text) {
    QByteArray rtf("{\\rtf1\\ansi\\uc0 ");
    for (const QChar c : text) {
        if (c == u'\n') {
            rtf += "\\par\n";
        } else if (c.unicode() < 0x80 && c != u'\\' && c != u'{' && c != u'}') {
            rtf += static_cast<char>(c.unicode());
        } else {
            rtf += "\\u" + QByteArray::number(static_cast<qint16>(c.unicode())) + ' ';
        }
    }
    return rtf + '}';
}

bool writeEntry(const QString& path, const EntrySpec& spec) {
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) {
        return false;
    }
    zip_source_t* source = zip_source_buffer(za, spec.body.constData(), static_cast<zip_uint64_t>(spec.body.size()), 0);
    const zip_int64_t index = zip_file_add(za, spec.documentFile.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        zip_discard(za);
        return false;
    }
    if (!spec.password.isEmpty()) {
        zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256,
                                spec.password.toUtf8().constData());
    }
    // Stored, so a test can damage the body's bytes where it finds them.
    zip_set_file_compression(za, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    if (zip_close(za) != 0) {
        zip_discard(za);
        return false;
    }
    // The comment goes after the end record by hand: libzip takes only UTF-8 comments, and entry
    // comments are CP949.
    const QByteArray comment = codepage::encodeComment(
        MakeEntryComment(spec.title, spec.category, !spec.password.isEmpty(), spec.documentFile));
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.size() < 22 || !file.seek(file.size() - 2)) {
        return false;
    }
    const char length[2] = {static_cast<char>(comment.size() & 0xff), static_cast<char>(comment.size() >> 8)};
    return file.write(length, 2) == 2 && file.write(comment) == comment.size();
}

QStringList filesHolding(const QString& folder, const QByteArray& needle) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle)) {
            found.append(file.fileName());
        }
    }
    return found;
}

}  // namespace tk::test
