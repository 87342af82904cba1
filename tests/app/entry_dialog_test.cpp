#include "app/entry_dialog.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

using namespace tk;

namespace {

// Shows the dialog modally and runs script inside its event loop.
void runModal(TForm4& dialog, const std::function<void()>& script) {
    QTimer::singleShot(0, &dialog, [&] {
        // Focus moves only inside the active window.
        QApplication::setActiveWindow(&dialog);
        script();
        if (dialog.isVisible()) {
            dialog.reject();
        }
    });
    dialog.exec();
}

}  // namespace

class EntryDialogTest : public ::testing::Test {
  protected:
    tk::test::ScriptedMessages messages;
    TForm4 dialog;
};

TEST_F(EntryDialogTest, EnterCancelsOnTheTitlePanelAndConfirmsThePassword) {
    runModal(dialog, [&] {
        dialog.Edit1->insert(QStringLiteral("제목"));
        dialog.Edit1->setFocus();
        QTest::keyClick(dialog.Edit1, Qt::Key_Return);
    });
    EXPECT_TRUE(dialog.DialogCancelled);

    dialog.showPasswordPanel();
    runModal(dialog, [&] {
        EXPECT_TRUE(dialog.Pass_in->isVisible());
        QTest::keyClicks(dialog.Pass_in, "secret");
        QTest::keyClick(dialog.Pass_in, Qt::Key_Return);
    });
    EXPECT_FALSE(dialog.DialogCancelled);
    EXPECT_EQ(dialog.Pass_in->text(), "secret");
    EXPECT_EQ(dialog.Pass_in->echoMode(), QLineEdit::Password);
    // Closing switched back to the title panel for the next caller.
    EXPECT_FALSE(dialog.isPasswordPanelShown());
}

TEST_F(EntryDialogTest, SeparatorsAreRefusedInTitleAndCategory) {
    runModal(dialog, [&] {
        QTest::keyClicks(dialog.Edit1, "a|b");
        QTest::keyClicks(dialog.ComboBox1->lineEdit(), "x|y");
        dialog.Button1->click();
    });
    EXPECT_EQ(dialog.Edit1->text(), "ab");
    // This was "x|y" taken, and an entry whose comment read "x" as its category and "y|N" as its
    // protection, which could then not be opened.
    EXPECT_EQ(dialog.ComboBox1->currentText(), "xy");
    EXPECT_EQ(messages.texts(), QStringList(2, QStringLiteral("\"|\"는 사용하실수 없습니다.")));
}

TEST_F(EntryDialogTest, PastedSeparatorsAreTakenOutOfTheTitle) {
    // This was a title taken with its "|", which split the stored comment into wrong fields.
    dialog.Edit1->setText("left");
    dialog.Edit1->setCursorPosition(4);
    dialog.Edit1->insert("|right");
    Q_EMIT dialog.Edit1->textEdited(dialog.Edit1->text());
    EXPECT_EQ(dialog.Edit1->text(), "leftright");
    EXPECT_EQ(messages.requests().size(), 1);
}

TEST_F(EntryDialogTest, PasswordFieldPlaceholderAndCheckBox) {
    EXPECT_FALSE(dialog.Edit3->isEnabled());
    EXPECT_EQ(dialog.Edit3->text(), QStringLiteral("<암호>"));
    runModal(dialog, [&] {
        dialog.CheckBox1->setChecked(true);
        EXPECT_TRUE(dialog.Edit3->isEnabled());
        dialog.Edit1->setFocus();
        QTest::keyClick(dialog.Edit1, Qt::Key_Tab);  // the password field comes next
        EXPECT_TRUE(dialog.Edit3->hasFocus());
        EXPECT_EQ(dialog.Edit3->text(), "");
        QTest::keyClick(dialog.Edit3, Qt::Key_Tab);
        EXPECT_EQ(dialog.Edit3->text(), QStringLiteral("<암호>"));
        // Ticked with the placeholder still there: not protected.
        EXPECT_FALSE(dialog.wantsProtection());
        dialog.Edit3->setFocus();
        QTest::keyClicks(dialog.Edit3, "pw");
        EXPECT_TRUE(dialog.wantsProtection());
        dialog.CheckBox1->setChecked(false);
        EXPECT_FALSE(dialog.Edit3->isEnabled());
        EXPECT_EQ(dialog.Edit3->text(), "pw");
        EXPECT_FALSE(dialog.wantsProtection());
    });
}

TEST_F(EntryDialogTest, ConfirmedCategoriesJoinTheList) {
    dialog.setCategories({"Work", QStringLiteral("일기")});
    runModal(dialog, [&] {
        dialog.ComboBox1->setEditText("work");  // differs only in letter case
        dialog.Button1->click();
    });
    EXPECT_EQ(dialog.categories(), QStringList({"Work", QStringLiteral("일기")}));
    runModal(dialog, [&] {
        dialog.ComboBox1->setEditText(QStringLiteral("여행"));
        dialog.Button1->click();
    });
    EXPECT_EQ(dialog.categories(), QStringList({"Work", QStringLiteral("일기"), QStringLiteral("여행")}));
    // A cancelled dialog adds nothing.
    runModal(dialog, [&] {
        dialog.ComboBox1->setEditText("new");
        dialog.Button2->click();
    });
    EXPECT_EQ(dialog.categories().size(), 3);
}

TEST_F(EntryDialogTest, TheCloseButtonAndEscapeCancel) {
    // This was a close with the title-bar button taken as a confirmation by every caller.
    runModal(dialog, [&] { dialog.close(); });
    EXPECT_TRUE(dialog.DialogCancelled);
    runModal(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_TRUE(dialog.DialogCancelled);
    runModal(dialog, [&] { dialog.Button1->click(); });
    EXPECT_FALSE(dialog.DialogCancelled);
}

TEST_F(EntryDialogTest, LayoutAsDesigned) {
    EXPECT_EQ(dialog.windowTitle(), "TOMEKEEP");
    EXPECT_EQ(dialog.Button2->text(), QStringLiteral("취소"));
    EXPECT_TRUE(dialog.Button2->isDefault());
    EXPECT_EQ(dialog.Edit1->nextInFocusChain(), dialog.Edit3);
    EXPECT_EQ(dialog.Label3->text(), QStringLiteral("암호를 입력하세요."));
}

TEST_F(EntryDialogTest, PasswordsAreMaskedWithAToggleToShowThem) {
    const auto toggleOf = [](QLineEdit* edit) {
        QToolButton* button = nullptr;
        for (QToolButton* b : edit->findChildren<QToolButton*>()) {
            if (b->defaultAction() && b->defaultAction()->text() == QStringLiteral("암호 보기")) {
                button = b;
            }
        }
        return button;
    };
    runModal(dialog, [&] {
        // The placeholder reads as words; a typed or filled-in password as dots. This was the
        // current password shown in plain text when a retitle filled it in.
        EXPECT_EQ(dialog.Edit3->echoMode(), QLineEdit::Normal);
        dialog.CheckBox1->setChecked(true);
        dialog.Edit3->setText("secret");
        EXPECT_EQ(dialog.Edit3->echoMode(), QLineEdit::Password);
        QToolButton* show = toggleOf(dialog.Edit3);
        ASSERT_NE(show, nullptr);
        QTest::mouseClick(show, Qt::LeftButton);
        EXPECT_EQ(dialog.Edit3->echoMode(), QLineEdit::Normal);
        QTest::mouseClick(show, Qt::LeftButton);
        EXPECT_EQ(dialog.Edit3->echoMode(), QLineEdit::Password);
        QTest::mouseClick(show, Qt::LeftButton);
        dialog.Button2->click();
    });
    // Shown once, masked again at the next showing.
    EXPECT_EQ(dialog.Edit3->echoMode(), QLineEdit::Password);

    dialog.showPasswordPanel(QStringLiteral("봄날"));
    runModal(dialog, [&] {
        EXPECT_TRUE(dialog.EntryLabel->isVisible());
        EXPECT_TRUE(dialog.EntryLabel->text().contains(QStringLiteral("봄날")));
        EXPECT_EQ(dialog.Pass_in->echoMode(), QLineEdit::Password);
        QToolButton* show = toggleOf(dialog.Pass_in);
        ASSERT_NE(show, nullptr);
        QTest::mouseClick(show, Qt::LeftButton);
        EXPECT_EQ(dialog.Pass_in->echoMode(), QLineEdit::Normal);
        dialog.Button4->click();
    });
    EXPECT_EQ(dialog.Pass_in->echoMode(), QLineEdit::Password);
}
