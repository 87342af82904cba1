#include "editor/archive_progress.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace tk {
namespace {

constexpr qint64 kShowAfterMs = 500;
constexpr int kScale = 1000;  // the dialog counts in thousandths of the work

}  // namespace

ArchiveProgress::ArchiveProgress(TArchiver& archiver, QWidget* parent, const QString& label)
    : archiver_(archiver), parent_(parent), label_(label), previous_(archiver.OnProgress) {
    timer_.start();
    archiver_.OnProgress = [this](TArchiver* sender, ProgressType type, const QString& file, int size) {
        onProgress(sender, type, file, size);
    };
}

ArchiveProgress::~ArchiveProgress() {
    archiver_.OnProgress = previous_;
    delete dialog_.data();
}

void ArchiveProgress::onProgress(TArchiver* sender, ProgressType type, const QString& file, int size) {
    if (previous_) {
        previous_(sender, type, file, size);
    }
    switch (type) {
        case ProgressType::TotalSize2Process:
            total_ = size;
            break;
        case ProgressType::ProgressUpdate:
            done_ += size;
            break;
        case ProgressType::NewFile:
            if (dialog_) {
                dialog_->setLabelText(label_ + u'\n' + QFileInfo(file).fileName());
            }
            break;
        default:
            break;
    }
    if (!dialog_ && timer_.elapsed() >= kShowAfterMs) {
        dialog_ = new QProgressDialog(label_, QString(), 0, kScale, parent_);
        dialog_->setWindowTitle(QStringLiteral("TOMEKEEP"));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->show();
        shown_ = true;
    }
    if (dialog_ && total_ > 0) {
        dialog_->setValue(static_cast<int>(std::min<qint64>(kScale, done_ * kScale / total_)));
    }
}

}  // namespace tk
