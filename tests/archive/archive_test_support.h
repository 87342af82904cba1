#pragma once

#include "archive/archiver.h"
#include "test_support.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tk::test {

QString binDir();

// One member of an archive built byte by byte: data is written as it is, stored unless method says
// otherwise (then data is the compressed stream, and sizeOverride and crcOverride describe what
// it yields).
struct RawMember {
    QByteArray name;
    QByteArray data;
    uint16_t method = 0;
    uint16_t madeBy = 0x031E;  // Unix, 3.0
    uint32_t externalAttributes = 0100644u << 16;
    uint16_t flags = 0;
    int64_t crcOverride = -1;
    int64_t sizeOverride = -1;    // uncompressed size written in both headers
    int64_t offsetOverride = -1;  // local header offset written in the central entry
};
QByteArray buildStoredZip(const std::vector<RawMember>& members, const QByteArray& comment = {});

// A member that deflates to mebibytes MiB of zeros (about 1 KB per MiB), made without compressing
// them all: a fully flushed block of one MiB is repeated, each copy standing on its own.
RawMember deflatedZeros(const QByteArray& name, int mebibytes);

// An archive written by libzip directly: name -> data, encrypted with method when password is set.
void writeLibzipArchive(const QString& path, const std::vector<std::pair<QByteArray, QByteArray>>& members,
                        const char* password = nullptr, uint16_t method = 0, const QByteArray& comment = {});

// Runs a program, returns its exit code (-1 when it could not run). stdinData is written to it.
int runProgram(const QString& program, const QStringList& args, const QString& workDir = {},
               QByteArray* output = nullptr, const QByteArray& stdinData = {}, const QStringList& extraEnv = {});
bool haveProgram(const QString& program);

// A component using the engines beside the tests, answering message boxes by script and keeping
// every OnMessage it raises.
class ArchiverTest : public ::testing::Test {
  protected:
    void SetUp() override;
    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    // Adds files named relative to root, with an optional password; returns HandledCount.
    int add(const QString& archive, const QString& root, const QStringList& specs, const QString& password = {});
    // Extracts the whole archive into a fresh folder; returns HandledCount.
    int extract(const QString& archive, const QString& folder, const QString& password = {});
    bool sawMessage(const QString& text) const { return messages.contains(text); }

    QTemporaryDir dir;
    ScriptedMessages boxes;
    TArchiver archiver;
    QStringList messages;
    QList<int> codes;
    int passwordRequests = 0;
};

}  // namespace tk::test
