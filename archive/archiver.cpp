#include "archive/archiver.h"

#include "archive/archive_lock.h"
#include "archive/directory_reader.h"
#include "platform/codepage.h"
#include "platform/message_box.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <new>

namespace tk {

TArchiver::TArchiver() = default;

TArchiver::~TArchiver() = default;

void TArchiver::SetZipFileName(const QString& name) {
    zipFileName_ = name;
    ReadDirectory();
}

void TArchiver::SetPassword(const QString& v) {
    QString cut = v;
    while (codepage::toAnsiBestEffort(cut).size() > 255) {
        cut.chop(cut.size() >= 2 && cut.at(cut.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    password_ = cut;
}

void TArchiver::SetEngineDirectory(const QString& v) {
    if (v == engineDirectory_) {
        return;
    }
    engineDirectory_ = v.endsWith(QLatin1Char('/')) ? v.chopped(1) : v;
}

void TArchiver::SetRootDir(const QString& v) {
    if (v == rootDir_) {
        return;
    }
    rootDir_ = (v.isEmpty() || v.endsWith(QLatin1Char('/'))) ? v : v + QLatin1Char('/');
}

void TArchiver::ReportMessage(int id, const QString& detail) {
    const QString text = archiverMessageText(id, detail);
    lastErrorMessage_ = text;
    lastErrorCode_ = id;
    if (!unattended_) {
        Messages::show(nullptr, text, MsgKind::Warning);
    }
    if (OnMessage) {
        OnMessage(this, 0, text);
    }
}

void TArchiver::ReportException(const EArchiver& e) {
    if (e.DisplayMessage() && !unattended_) {
        Messages::show(nullptr, e.Message(), MsgKind::Warning);
    }
    lastErrorCode_ = e.MessageId();
    lastErrorMessage_ = e.Message();
    if (OnMessage) {
        OnMessage(this, 0, e.Message());
    }
}

void TArchiver::busyOn() {
    if (busyCount_++ == 0 && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
}

void TArchiver::busyOff() {
    if (busyCount_ > 0 && --busyCount_ == 0 && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void TArchiver::clearDirectory() {
    directory_.clear();
}

void TArchiver::ReadDirectory() {
    clearDirectory();
    // A position left from another archive must never guide the comment writer.
    endRecordPos_ = 0;
    endOfArchive_ = 0;
    centralDirOffset_ = 0;
    zipComment_.clear();
    zipCommentBytes_.clear();
    multiVolume_ = false;
    if (!QFileInfo(zipFileName_).isFile()) {
        if (OnDirUpdate) {
            OnDirUpdate(this);
        }
        return;
    }
    busyOn();
    bool failed = false;
    try {
        readDirectoryOrThrow();
    } catch (const EArchiver& e) {
        ReportException(e);
        failed = true;
    } catch (const std::bad_alloc&) {
        ReportMessage(10103);
        failed = true;
    } catch (const std::exception& e) {
        ReportMessage(10202, QString::fromLocal8Bit(e.what()));
        failed = true;
    }
    busyOff();
    if (failed) {
        // Nothing half-read stays visible as valid.
        clearDirectory();
        zipComment_.clear();
        zipCommentBytes_.clear();
        zipFileName_.clear();
    }
    if (OnDirUpdate) {
        OnDirUpdate(this);
    }
}

void TArchiver::readDirectoryOrThrow() {
    QFile file(zipFileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        throw EArchiver(11001);
    }
    DirectoryReader reader(file, useDirOnlyEntries_);
    reader.onWarning = [this](int id) { ReportMessage(id); };
    reader.onEntry = [this](int seqNo, std::unique_ptr<ArchiveDirEntry> entry) {
        directory_.push_back(std::move(entry));
        if (OnNewName) {
            OnNewName(this, seqNo, *directory_.back());
        }
    };
    try {
        reader.read();
    } catch (...) {
        endRecordPos_ = reader.endRecordPosition();
        throw;
    }
    endRecordPos_ = reader.endRecordPosition();
    endOfArchive_ = reader.endOfArchive();
    centralDirOffset_ = reader.centralDirOffset();
    multiVolume_ = reader.multiVolume();
    lastHostSystem_ = reader.lastHostSystem();
    lastSpecVersion_ = reader.lastSpecVersion();
    zipCommentBytes_ = reader.commentBytes();
    zipComment_ = codepage::decodeComment(zipCommentBytes_);
}

void TArchiver::Add() {
    handledCount_ = 0;
    if (fSpecArgs_.isEmpty()) {
        ReportMessage(10301);
        return;
    }
    if (zipFileName_.isEmpty()) {
        ReportMessage(10102);
        return;
    }
    if (unattended_ && addOptions_.contains(AddOptsEnum::AddEncrypt) && password_.isEmpty()) {
        ReportMessage(10302);
        return;
    }
    if (addOptions_.contains(AddOptsEnum::AddDiskSpan) || addOptions_.contains(AddOptsEnum::AddDiskSpanErase)) {
        if (addOptions_.contains(AddOptsEnum::AddFreshen) || addOptions_.contains(AddOptsEnum::AddUpdate)) {
            ReportMessage(10303);
        } else if (zipFileName_.toUpper().endsWith(QLatin1String(".EXE"))) {
            ReportMessage(11041);
        }
        // Writing across removable volumes is not built.
        return;
    }
    if (addRunning_) {
        return;
    }
    const bool loadedHere = !ZipEngineLoaded();
    if (loadedHere) {
        LoadZipEngine();
    }
    if (!zipEngine_.exec || !zipEngine_.version) {
        if (loadedHere) {
            UnloadZipEngine();
        }
        return;
    }
    addRunning_ = true;
    cancelRequested_ = false;
    ArchiveLock lock(zipFileName_);
    if (takeWriteLock(lock)) {
        lock.removeLeftovers();
        try {
            // The comment as it now stands: one read before the lock may since have been replaced.
            handledCount_ = runZipEngine(zipEngine_.version(), currentCommentBytes());
        } catch (...) {
            ReportMessage(10101);
        }
        lock.release();
    }
    fSpecArgs_.clear();
    fSpecArgsExcl_.clear();
    if (loadedHere) {
        UnloadZipEngine();
    }
    cancelRequested_ = false;
    addRunning_ = false;
    if (handledCount_ > 0) {
        ReadDirectory();
    }
}

bool TArchiver::takeWriteLock(ArchiveLock& lock) {
    switch (lock.acquire(lockWaitMs_)) {
        case ArchiveLock::Result::Locked:
            return true;
        case ArchiveLock::Result::Busy:
            ReportMessage(11050, QString::number((lockWaitMs_ + 999) / 1000));
            return false;
        case ArchiveLock::Result::Failed:
            ReportMessage(11051, lock.errorString());
            return false;
    }
    return false;
}

QByteArray TArchiver::currentCommentBytes() const {
    QFile file(zipFileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    DirectoryReader reader(file, useDirOnlyEntries_);
    try {
        reader.readEndRecord();
    } catch (...) {
        return {};  // the engine keeps what it finds, or refuses what is no archive
    }
    return reader.commentBytes();
}

void TArchiver::Extract() {
    handledCount_ = 0;
    const unsigned savedReqCount = passwordReqCount_;
    if (!QFileInfo(zipFileName_).isFile()) {
        ReportMessage(10102);
        return;
    }
    if (extractRunning_) {
        return;
    }
    bool reqCountChanged = false;
    if (unattended_ && password_.isEmpty() && !OnPasswordError) {
        passwordReqCount_ = 0;
        reqCountChanged = true;
        ReportMessage(10502);
    }
    extractRunning_ = true;
    cancelRequested_ = false;
    const bool loadedHere = !UnzipEngineLoaded();
    if (loadedHere) {
        LoadUnzipEngine();
    }
    if (unzipEngine_.exec && unzipEngine_.version) {
        try {
            handledCount_ = runUnzipEngine(unzipEngine_.version());
        } catch (...) {
            ReportMessage(10501);
        }
    }
    fSpecArgs_.clear();
    if (reqCountChanged) {
        passwordReqCount_ = savedReqCount;
    }
    if (loadedHere) {
        UnloadUnzipEngine();
    }
    cancelRequested_ = false;
    extractRunning_ = false;
}

}  // namespace tk
