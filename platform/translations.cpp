#include "platform/translations.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace tk {

bool installKoreanTranslations() {
    static QPointer<QTranslator> installed;
    if (installed) {
        return true;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return false;
    }
    // Owned by the application, so it lives exactly as long as the texts it translates.
    auto* translator = new QTranslator(app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_ko"), folder) || !QCoreApplication::installTranslator(translator)) {
        qWarning("%s", qUtf8Printable(QStringLiteral("Qt의 한국어 번역(qtbase_ko.qm)이 %1에 없어 Qt의 단추와 "
                                                     "메뉴가 영어로 나옵니다. qt6-translations-l10n 꾸러미를 "
                                                     "설치하세요.")
                                          .arg(folder)));
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

}  // namespace tk
