// The callback routine the engines call during an Exec: every action code goes to its event.
#include "archive/archiver.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace tk {
namespace {

using namespace tk::engine;

QString callbackText(const CallbackRecord& record) {
    QString t = QString::fromUtf8(record.text, static_cast<qsizetype>(::strnlen(record.text, kCallbackTextSize)));
    while (!t.isEmpty() && t.back().unicode() <= 0x20) {
        t.chop(1);
    }
    return t;
}

// Copies text into the record's text field, cut to maxChars characters and to the field's size.
void putText(CallbackRecord& record, const QString& text, int maxChars) {
    QByteArray bytes = text.left(maxChars).toUtf8();
    if (bytes.size() > kCallbackTextSize - 1) {
        bytes.truncate(kCallbackTextSize - 1);
    }
    std::memcpy(record.text, bytes.constData(), static_cast<size_t>(bytes.size()));
    record.text[bytes.size()] = '\0';
}

}  // namespace

int32_t TArchiver::engineCallback(CallbackRecord* record) {
    if (!record || !record->caller) {
        return 0;
    }
    return static_cast<TArchiver*>(record->caller)->dispatch(*record);
}

void TArchiver::progress(ProgressType type, const QString& name, int size) {
    if (OnProgress) {
        OnProgress(this, type, name, size);
    }
}

void TArchiver::engineMessage(const CallbackRecord& r, const QString& t) {
    lastErrorMessage_ = t;
    if (r.arg1 != 0) {
        lastErrorCode_ = r.arg1 & 0xFF;
    }
    if (OnMessage) {
        OnMessage(this, r.arg1, t);
    }
}

void TArchiver::replyNewName(CallbackRecord& r, const QString& t) {
    if (!OnSetNewName) {
        return;
    }
    QString name = t;
    bool changed = false;
    OnSetNewName(this, name, changed);
    if (changed) {
        putText(r, name, kCallbackTextSize - 1);
    }
    r.arg1 = changed ? 1 : 0;
}

void TArchiver::replyCrcError(CallbackRecord& r, const QString& t) {
    if (!OnCRC32Error) {
        r.arg1 = 2;
        return;
    }
    bool doExtract = true;
    OnCRC32Error(this, t, static_cast<unsigned>(r.arg1), static_cast<unsigned>(r.arg2), doExtract);
    r.arg1 = doExtract ? 1 : 0;
}

void TArchiver::replyOverwrite(CallbackRecord& r, const QString& t) {
    if (!OnExtractOverwrite) {
        return;
    }
    bool doOverwrite = (r.arg2 & 0xFF) != 0;
    OnExtractOverwrite(this, t, (r.arg1 & 0x10000) != 0, doOverwrite, r.arg1 & 0xFFFF);
    r.arg2 = doOverwrite ? 1 : 0;
}

void TArchiver::reportSkipped(const CallbackRecord& r, const QString& t) {
    if (r.arg1 != 0) {
        lastErrorCode_ = r.arg1 & 0xFF;
    }
    if (OnExtractSkipped) {
        OnExtractSkipped(this, t, static_cast<UnZipSkipTypes>((r.arg2 & 0xFF) - 1), r.arg1);
    }
}

void TArchiver::replyFileComment(CallbackRecord& r, const QString& t) {
    if (!OnFileComment) {
        return;
    }
    QString comment;
    bool changed = false;
    OnFileComment(this, t, comment, changed);
    if (changed) {
        putText(r, comment, kCallbackTextSize - 1);
    } else {
        r.text[0] = '\0';
    }
    r.arg1 = changed ? 1 : 0;
    r.arg2 = changed ? static_cast<int32_t>(std::min<qsizetype>(comment.size(), 511)) : 0;
}

int32_t TArchiver::dispatch(CallbackRecord& r) {
    QString t = callbackText(r);
    switch (r.actionCode) {
        case kCbFileBegins:
            progress(ProgressType::NewFile, t, r.arg2);
            break;
        case kCbBytesProcessed:
            progress(ProgressType::ProgressUpdate, QString(), r.arg2);
            break;
        case kCbBatchFinished:
            progress(ProgressType::EndOfBatch, QString(), 0);
            break;
        case kCbMessage:
            engineMessage(r, t);
            break;
        case kCbFileCount:
            progress(ProgressType::TotalFiles2Process, QString(), r.arg2);
            break;
        case kCbTotalSize:
            totalSize_ = r.arg2;
            progress(ProgressType::TotalSize2Process, QString(), r.arg2);
            break;
        case kCbNewName:
            replyNewName(r, t);
            break;
        case kCbPassword:
            replyPassword(r, t);
            break;
        case kCbCrcError:
            replyCrcError(r, t);
            break;
        case kCbOverwrite:
            replyOverwrite(r, t);
            break;
        case kCbSkipped:
            reportSkipped(r, t);
            break;
        case kCbFileComment:
            replyFileComment(r, t);
            break;
        case kCbMemoryNeeded:
            // A 32-bit field cannot carry a memory address here; stream operations are not built.
            r.arg1 = 1;
            r.arg2 = 0;
            break;
        default:
            break;
    }
    if (QCoreApplication::instance()) {
        QCoreApplication::processEvents();
    }
    return cancelRequested_ ? -1 : 0;
}

void TArchiver::replyPassword(CallbackRecord& r, QString& forFile) {
    unsigned repeat = static_cast<unsigned>(r.arg2);
    TPasswordButton action = TPasswordButton::mbOK;
    QString newPassword;
    if (OnPasswordError) {
        OnPasswordError(this, r.zipAction != 0, newPassword, forFile, repeat, action);
        if (action != TPasswordButton::mbOK) {
            newPassword.clear();
        }
    } else if (unattended_) {
        ReportMessage((r.arg1 & 1) ? 10150 : 10151);
    }
    // Without a handler the built-in prompt would ask; it is not built, so no password is offered.
    if (!newPassword.isEmpty()) {
        putText(r, newPassword, 80);
        r.arg1 = 1;
    } else {
        repeat = 0;
        r.arg1 = 0;
    }
    r.arg2 = static_cast<int32_t>(std::min(repeat, 15u));
    if (action == TPasswordButton::mbCancelAll) {
        r.actionCode = 0;
    } else if (action == TPasswordButton::mbAbort) {
        cancelRequested_ = true;
    }
}

}  // namespace tk
