#include "editor/archive_progress.h"

#include <QApplication>
#include <QProgressDialog>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

using namespace tk;

TEST(ArchiveProgress, ShowsOnlyForLongWorkAndHandsEventsOn) {
    TArchiver archiver;
    QWidget window;
    int seen = 0;
    archiver.OnProgress = [&](TArchiver*, ProgressType, const QString&, int) { ++seen; };
    {
        ArchiveProgress quick(archiver, &window, "work");
        archiver.OnProgress(&archiver, ProgressType::TotalSize2Process, QString(), 100);
        EXPECT_FALSE(quick.wasShown());
    }
    {
        ArchiveProgress slow(archiver, &window, "work");
        archiver.OnProgress(&archiver, ProgressType::TotalSize2Process, QString(), 1000);
        QThread::msleep(600);
        archiver.OnProgress(&archiver, ProgressType::ProgressUpdate, QString(), 250);
        ASSERT_TRUE(slow.wasShown());
        auto* dialog = window.findChild<QProgressDialog*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->value(), 250);
        archiver.OnProgress(&archiver, ProgressType::NewFile, "dir/TKFile.rtf", 10);
        EXPECT_TRUE(dialog->labelText().endsWith("TKFile.rtf"));
    }
    // The dialog is gone and the previous handler is back, having seen every event.
    EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
    EXPECT_EQ(seen, 4);
    archiver.OnProgress(&archiver, ProgressType::EndOfBatch, QString(), 0);
    EXPECT_EQ(seen, 5);
}
