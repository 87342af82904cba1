#pragma once

#include "app/category_editor.h"
#include "app/entry_dialog.h"
#include "app/find_window.h"
#include "app/main_window.h"
#include "app/settings_dialog.h"
#include "editor/char_palette.h"
#include "editor/editor_window.h"
#include "platform/codepage.h"
#include "platform/registry_store.h"
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"
#include "test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QInputMethodEvent>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

namespace tk::test {

// A program folder of its own and an empty settings file for every test, with the windows built
// the way the program entry builds them.
class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        // Tests run in parallel processes: each gets a settings folder of its own.
        ASSERT_TRUE(config_.isValid());
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        ASSERT_TRUE(home_.isValid());
        qputenv("TOMEKEEP_HOME", home_.path().toUtf8());
        // The program's search index goes to a cache folder of the test's own.
        ASSERT_TRUE(cache_.isValid());
        qputenv("XDG_CACHE_HOME", cache_.path().toUtf8());
        // The scratch folder is then TOMEKEEP_HOME/TEMP/, unless a test gives a runtime folder.
        runtimeDir_ = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
    }

    void TearDown() override {
        destroyWindows();
        qunsetenv("TOMEKEEP_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CACHE_HOME");
        if (!runtimeDir_.isEmpty()) {
            qputenv("XDG_RUNTIME_DIR", runtimeDir_);
        }
    }

    // Destroys the windows, children before the main window that owns them, as a program end does.
    void destroyWindows() {
        dialogWatch_.reset();
        form7.reset();
        form6.reset();
        form5.reset();
        form4.reset();
        form3.reset();
        form2.reset();
        form1.reset();
    }

    // Creates the main window and the category editor; false when the start failed.
    bool start() {
        form1 = std::make_unique<TForm1>();
        if (!form1->FormCreate()) {
            return false;
        }
        form2 = std::make_unique<TForm2>(form1.get());
        form1->setCategoryEditor(form2.get());
        form2->FormCreate();
        form3 = std::make_unique<TForm3>(form1.get());
        form1->setEditor(form3.get());
        form4 = std::make_unique<TForm4>(form1.get());
        form1->setEntryDialog(form4.get());
        form5 = std::make_unique<TForm5>(form1.get());
        form1->setSettingsDialog(form5.get());
        form6 = std::make_unique<TForm6>(form1.get());
        form1->setFindWindow(form6.get());
        form7 = std::make_unique<TForm7>(form3.get(), form3.get());
        form3->setCharPalette(form7.get());
        dialogWatch_ = std::make_unique<ShowWatch>(this);
        form4->installEventFilter(dialogWatch_.get());
        return true;
    }

    QString home() const { return home_.path() + u'/'; }
    QString cacheDir() const { return cache_.path() + u'/'; }
    QString library() const { return home() + QStringLiteral("LIST/"); }

    void makeCategory(const QString& path) { ASSERT_TRUE(QDir().mkpath(library() + path)); }
    // The entry archives of a category, by name.
    QStringList archivesIn(const QString& category) const {
        return QDir(library() + category).entryList({"*.zip"}, QDir::Files, QDir::Name);
    }

    void addEntry(const QString& category, const QString& archive, const QString& comment) {
        writeFile(library() + category + u'/' + archive + QStringLiteral(".zip"),
                  emptyZipWithComment(codepage::encodeComment(comment)));
    }

    // Makes an entry archive through the archive component: a TKFile.rtf body, encrypted when a
    // password is given, and the entry comment.
    void makeEntry(const QString& category, const QString& archive, const QString& comment, const QByteArray& body,
                   const QString& password = {}) {
        QTemporaryDir source;
        writeFile(source.filePath("TKFile.rtf"), body);
        TArchiver archiver;
        archiver.SetUnattended(true);
        archiver.SetZipFileName(library() + category + u'/' + archive + QStringLiteral(".zip"));
        archiver.SetRootDir(source.path() + u'/');
        archiver.SetFSpecArgs({QStringLiteral("TKFile.rtf")});
        archiver.SetAddCompLevel(9);
        if (!password.isEmpty()) {
            archiver.SetPassword(password);
            archiver.SetAddOptions(AddOpts{AddOptsEnum::AddEncrypt});
        }
        archiver.Add();
        ASSERT_EQ(archiver.HandledCount(), 1) << archiver.LastErrorMessage().toStdString();
        archiver.SetZipComment(comment);
    }

    // Answers the next showings of the entry dialog, one action each, from inside its modal loop.
    // The body 7-Zip extracts from an entry archive with the password, or empty.
    static QByteArray sevenZipBody(const QString& archive, const QString& password) {
        QTemporaryDir out;
        QProcess p;
        p.start("7z", {"x", "-y", "-p" + password, "-o" + out.path(), archive});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            return {};
        }
        QFile body(out.filePath("TKFile.rtf"));
        return body.open(QIODevice::ReadOnly) ? body.readAll() : QByteArray();
    }
    // The comment at the end of an archive.
    static QString commentOf(const QString& archive) {
        QString comment;
        EXPECT_EQ(ReadEntryComment(archive, &comment), ReadCommentResult::Ok);
        return comment;
    }

    // A showing with no answer queued is a test fault: it is reported and cancelled, so no test waits.
    void answerEntryDialog(std::function<void(TForm4&)> action) { dialogActions_.push_back(std::move(action)); }
    size_t pendingDialogAnswers() const { return dialogActions_.size(); }

    // What a user does, through the widgets.
    // Picks a category from the toolbar's menu.
    void pickCategory(const QString& path) {
        QAction* item = menuItem(path);
        ASSERT_NE(item, nullptr) << path.toStdString();
        item->trigger();
    }
    // Clicks a row of the main list.
    void clickRow(int row) {
        EntryListView* list = form1->ListView1;
        QApplication::setActiveWindow(form1.get());
        list->setFocus();
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Selects a row and presses Enter on it: the entry opens.
    void openRow(int row) {
        clickRow(row);
        QTest::keyClick(form1->ListView1, Qt::Key_Return);
    }
    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Types text: ASCII as key presses, everything else as the input method commits it.
    static void typeText(QWidget* w, const QString& text) {
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClicks(w, QString(c));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QApplication::sendEvent(w, &commit);
            }
        }
    }
    // Puts the keyboard focus into the editor's text.
    QWidget* editorText() {
        QApplication::setActiveWindow(form3.get());
        QWidget* text = &form3->RichEdit1->richWindow();
        text->setFocus();
        return text;
    }
    // Types at the end of the editor's text.
    void typeInEditor(const QString& text) {
        QWidget* w = editorText();
        QTest::keyClick(w, Qt::Key_End, Qt::ControlModifier);
        typeText(w, text);
    }
    void pressInEditor(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(editorText(), key, modifiers);
    }
    void saveWithCtrlS() { pressInEditor(Qt::Key_S, Qt::ControlModifier); }
    // How often the entry dialog has been shown.
    int dialogShowings() const { return dialogShowings_; }

    // The menu item of a category path, or null.
    QAction* menuItem(const QString& path) const { return findItem(form1->item_PM, path); }

    static QAction* findItem(QMenu* menu, const QString& path);
    static QStringList menuPaths(QMenu* menu);

    class ShowWatch final : public QObject {
      public:
        explicit ShowWatch(AppFixture* fixture) : fixture_(fixture) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                ++fixture_->dialogShowings_;
                std::function<void(TForm4&)> action = [](TForm4&) { ADD_FAILURE() << "unexpected entry dialog"; };
                if (!fixture_->dialogActions_.empty()) {
                    action = std::move(fixture_->dialogActions_.front());
                    fixture_->dialogActions_.pop_front();
                }
                QTimer::singleShot(0, fixture_->form4.get(), [this, action] {
                    action(*fixture_->form4);
                    if (fixture_->form4->isVisible()) {
                        fixture_->form4->reject();
                    }
                });
            }
            return false;
        }

      private:
        AppFixture* fixture_;
    };

    QByteArray runtimeDir_;
    int dialogShowings_ = 0;
    std::deque<std::function<void(TForm4&)>> dialogActions_;
    std::unique_ptr<ShowWatch> dialogWatch_;
    QTemporaryDir config_;
    QTemporaryDir home_;
    QTemporaryDir cache_;
    ScriptedMessages messages;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    std::unique_ptr<TForm6> form6;
    std::unique_ptr<TForm7> form7;
};

inline QAction* AppFixture::findItem(QMenu* menu, const QString& path) {
    for (QAction* action : menu->actions()) {
        if (action->data().toString() == path) {
            return action;
        }
        if (action->menu()) {
            if (QAction* inner = findItem(action->menu(), path)) {
                return inner;
            }
        }
    }
    return nullptr;
}

// Every item's path; items with sub-items are marked with a trailing ">".
inline QStringList AppFixture::menuPaths(QMenu* menu) {
    QStringList out;
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            out.append(action->data().toString() + u'>');
            out += menuPaths(action->menu());
        } else {
            out.append(action->data().toString());
        }
    }
    return out;
}

}  // namespace tk::test
