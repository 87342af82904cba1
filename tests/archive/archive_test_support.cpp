#include "archive_test_support.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <zip.h>
#include <zlib.h>

namespace tk::test {
namespace {

void put16(QByteArray& b, uint16_t v) {
    char x[2];
    qToLittleEndian<quint16>(v, x);
    b.append(x, 2);
}
void put32(QByteArray& b, uint32_t v) {
    char x[4];
    qToLittleEndian<quint32>(v, x);
    b.append(x, 4);
}

}  // namespace

QString binDir() {
    return QStringLiteral(TK_BIN_DIR);
}

QByteArray buildStoredZip(const std::vector<RawMember>& members, const QByteArray& comment) {
    QByteArray out, central;
    for (const RawMember& m : members) {
        const uint32_t crc = m.crcOverride >= 0
                                 ? static_cast<uint32_t>(m.crcOverride)
                                 : static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(m.data.constData()),
                                                               static_cast<uInt>(m.data.size())));
        const uint32_t size = m.sizeOverride >= 0 ? static_cast<uint32_t>(m.sizeOverride) : m.data.size();
        const uint32_t offset = m.offsetOverride >= 0 ? static_cast<uint32_t>(m.offsetOverride) : out.size();
        QByteArray local("PK\x03\x04", 4);
        put16(local, 10);
        put16(local, m.flags);
        put16(local, m.method);
        put16(local, 0);       // time
        put16(local, 0x5A21);  // date
        put32(local, crc);
        put32(local, m.data.size());
        put32(local, size);
        put16(local, m.name.size());
        put16(local, 0);
        out += local + m.name + m.data;
        QByteArray c("PK\x01\x02", 4);
        put16(c, m.madeBy);
        put16(c, 10);
        put16(c, m.flags);
        put16(c, m.method);
        put16(c, 0);
        put16(c, 0x5A21);
        put32(c, crc);
        put32(c, m.data.size());
        put32(c, size);
        put16(c, m.name.size());
        put16(c, 0);
        put16(c, 0);
        put16(c, 0);
        put16(c, 0);
        put32(c, m.externalAttributes);
        put32(c, offset);
        central += c + m.name;
    }
    QByteArray end("PK\x05\x06", 4);
    put16(end, 0);
    put16(end, 0);
    put16(end, members.size());
    put16(end, members.size());
    put32(end, central.size());
    put32(end, out.size());
    put16(end, comment.size());
    return out + central + end + comment;
}

RawMember deflatedZeros(const QByteArray& name, int mebibytes) {
    const QByteArray zeros(1 << 20, '\0');
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray block(static_cast<qsizetype>(deflateBound(&z, zeros.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = static_cast<uInt>(block.size());
    deflate(&z, Z_FULL_FLUSH);
    block.truncate(block.size() - z.avail_out);
    char end[16];
    z.next_out = reinterpret_cast<Bytef*>(end);
    z.avail_out = sizeof end;
    deflate(&z, Z_FINISH);
    const QByteArray last(end, static_cast<qsizetype>(sizeof end - z.avail_out));
    deflateEnd(&z);
    const uLong one = crc32(0, reinterpret_cast<const Bytef*>(zeros.constData()), static_cast<uInt>(zeros.size()));
    uLong crc = one;
    for (int i = 1; i < mebibytes; ++i) {
        crc = crc32_combine(crc, one, zeros.size());
    }
    RawMember m{name, block.repeated(mebibytes) + last};
    m.method = 8;
    m.sizeOverride = int64_t{mebibytes} << 20;
    m.crcOverride = crc;
    return m;
}

void writeLibzipArchive(const QString& path, const std::vector<std::pair<QByteArray, QByteArray>>& members,
                        const char* password, uint16_t method, const QByteArray& comment) {
    int error = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(za, nullptr);
    for (const auto& [name, data] : members) {
        zip_source_t* src = zip_source_buffer(za, data.constData(), data.size(), 0);
        const zip_int64_t index = zip_file_add(za, name.constData(), src, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0);
        if (password) {
            ASSERT_EQ(zip_file_set_encryption(za, index, method, password), 0);
        }
    }
    if (!comment.isEmpty()) {
        zip_set_archive_comment(za, comment.constData(), comment.size());
    }
    ASSERT_EQ(zip_close(za), 0) << zip_strerror(za);
}

bool haveProgram(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

int runProgram(const QString& program, const QStringList& args, const QString& workDir, QByteArray* output,
               const QByteArray& stdinData, const QStringList& extraEnv) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!workDir.isEmpty()) {
        p.setWorkingDirectory(workDir);
    }
    if (!extraEnv.isEmpty()) {
        QStringList env = QProcess::systemEnvironment();
        env.append(extraEnv);
        p.setEnvironment(env);
    }
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        return -1;
    }
    if (!stdinData.isEmpty()) {
        p.write(stdinData);
    }
    p.closeWriteChannel();
    p.waitForFinished(120000);
    if (output) {
        *output = p.readAll();
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void ArchiverTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    archiver.SetEngineDirectory(binDir());
    archiver.SetAddStoreSuffixes({AddStoreSuffixEnum::assZIP});
    archiver.OnMessage = [this](TArchiver*, int code, const QString& text) {
        messages.append(text);
        codes.append(code);
    };
    archiver.OnPasswordError = [this](TArchiver*, bool, QString&, const QString&, unsigned& repeat, TPasswordButton&) {
        ++passwordRequests;
        repeat = 0;
    };
}

int ArchiverTest::add(const QString& archive, const QString& root, const QStringList& specs, const QString& password) {
    archiver.SetZipFileName(archive);
    archiver.SetPassword(password);
    archiver.SetAddOptions(password.isEmpty() ? AddOpts{} : AddOpts{AddOptsEnum::AddEncrypt});
    archiver.SetRootDir(root);
    archiver.SetFSpecArgs(specs);
    archiver.Add();
    archiver.SetRootDir(QString());
    return archiver.HandledCount();
}

int ArchiverTest::extract(const QString& archive, const QString& folder, const QString& password) {
    QDir().mkpath(folder);
    archiver.SetZipFileName(archive);
    archiver.SetPassword(password);
    archiver.SetExtrBaseDir(folder);
    archiver.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
    archiver.Extract();
    return archiver.HandledCount();
}

}  // namespace tk::test
