#include "platform/translations.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

bool hasHangul(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3; });
}

}  // namespace

// The test main installs them as the program does; installing again changes nothing.
TEST(KoreanTranslations, InstallAtStartAndOnlyOnce) {
    EXPECT_TRUE(tk::installKoreanTranslations());
    EXPECT_TRUE(tk::installKoreanTranslations());
    const QString ok = QCoreApplication::translate("QPlatformTheme", "OK");
    EXPECT_NE(ok, QStringLiteral("OK"));
    EXPECT_TRUE(hasHangul(ok)) << ok.toStdString();
}

TEST(KoreanTranslations, StockButtonsSpeakKorean) {
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes |
                         QDialogButtonBox::No);
    const std::pair<QDialogButtonBox::StandardButton, const char*> buttons[] = {{QDialogButtonBox::Ok, "OK"},
                                                                                {QDialogButtonBox::Cancel, "Cancel"},
                                                                                {QDialogButtonBox::Yes, "&Yes"},
                                                                                {QDialogButtonBox::No, "&No"}};
    for (const auto& [which, english] : buttons) {
        const QString text = box.button(which)->text();
        EXPECT_NE(text, QLatin1String(english));
        EXPECT_NE(text, QString(QLatin1String(english)).remove(u'&'));
        EXPECT_TRUE(hasHangul(text)) << text.toStdString();
    }

    QMessageBox message;
    message.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    for (const QMessageBox::StandardButton which :
         {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::No}) {
        const QString text = message.button(which)->text();
        EXPECT_TRUE(hasHangul(text)) << text.toStdString();
    }
}

TEST(KoreanTranslations, EditFieldMenusSpeakKorean) {
    QLineEdit edit(QStringLiteral("text"));
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            texts << action->text().section(u'\t', 0, 0);  // without the shortcut
        }
    }
    ASSERT_FALSE(texts.isEmpty());
    for (const QString& text : texts) {
        EXPECT_TRUE(hasHangul(text)) << text.toStdString();
    }
    EXPECT_TRUE(texts.contains(QCoreApplication::translate("QLineEdit", "Select All")))
        << texts.join(u'|').toStdString();
    EXPECT_FALSE(texts.contains(QStringLiteral("Select All")));
    EXPECT_FALSE(texts.contains(QStringLiteral("&Copy")));
}
