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
        qWarning("Qt's Korean translations (qtbase_ko.qm) are missing in %s: install qt6-translations-l10n",
                 qPrintable(folder));
        delete translator;
        return false;
    }
    installed = translator;
    return true;
}

}  // namespace tk
