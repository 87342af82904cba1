#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk::test {

ScriptedMessages::ScriptedMessages() {
    Messages::setResponder([this](const MsgRequest& request) {
        requests_.append(request);
        if (!answers_.empty()) {
            const MsgAnswer answer = answers_.front();
            answers_.pop_front();
            return answer;
        }
        return request.buttons == MsgButtons::Ok ? MsgAnswer::Ok : request.defaultAnswer;
    });
}

ScriptedMessages::~ScriptedMessages() {
    Messages::setResponder({});
}

QStringList ScriptedMessages::texts() const {
    QStringList out;
    for (const MsgRequest& r : requests_) {
        out.append(r.text);
    }
    return out;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return f.readAll();
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

QByteArray emptyZipWithComment(const QByteArray& comment) {
    QByteArray eocd("PK\x05\x06", 4);
    eocd.append(QByteArray(16, '\0'));  // disk numbers, counts, directory size and offset
    char len[2];
    qToLittleEndian<quint16>(static_cast<quint16>(comment.size()), len);
    eocd.append(len, 2);
    return eocd + comment;
}

void makeDeepTree(const QString& folder, int depth) {
    int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << folder.toStdString();
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0700), 0) << "level " << level;
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0) << "level " << level;
        fd = next;
    }
    const int file = ::openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ::close(fd);
    ASSERT_GE(file, 0);
    ::close(file);
}

}  // namespace tk::test
