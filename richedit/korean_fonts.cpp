#include "richedit/korean_fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace tk {
namespace {

// Installed Korean families with Latin letters of their own, best first.
const QStringList& gothicFamilies() {
    static const QStringList families{QStringLiteral("NanumGothic"), QStringLiteral("Noto Sans CJK KR"),
                                      QStringLiteral("UnDotum"), QStringLiteral("Baekmuk Gulim")};
    return families;
}

QString firstInstalled(const QStringList& families) {
    for (const QString& family : families) {
        if (QFontDatabase::hasFamily(family)) {
            return family;
        }
    }
    return {};
}

}  // namespace

// Qt's own substitution rather than a fontconfig alias: it needs no file placed where fontconfig
// looks, touches no other program, and only applies where the named face is really missing.
QString installKoreanFontSubstitutes() {
    static const QString gothic = [] {
        const QString sans = firstInstalled(gothicFamilies());
        if (sans.isEmpty()) {
            return QString();
        }
        QString fixed = firstInstalled({QStringLiteral("NanumGothicCoding")});
        QString serif = firstInstalled({QStringLiteral("NanumMyeongjo"), QStringLiteral("Noto Serif CJK KR")});
        fixed = fixed.isEmpty() ? sans : fixed;
        serif = serif.isEmpty() ? sans : serif;
        const struct {
            const char16_t* name;
            const QString& family;
        } faces[] = {{u"굴림", sans},    {u"Gulim", sans},     {u"돋움", sans},    {u"Dotum", sans},
                     {u"굴림체", fixed}, {u"GulimChe", fixed}, {u"돋움체", fixed}, {u"DotumChe", fixed},
                     {u"바탕", serif},   {u"Batang", serif},   {u"바탕체", fixed}, {u"BatangChe", fixed},
                     {u"궁서", serif},   {u"Gungsuh", serif}};
        for (const auto& face : faces) {
            const QString name = QString::fromUtf16(face.name);
            if (!QFontDatabase::hasFamily(name)) {
                QFont::insertSubstitution(name, face.family);
            }
        }
        return sans;
    }();
    return QFontDatabase::hasFamily(QStringLiteral("굴림")) ? QStringLiteral("굴림") : gothic;
}

}  // namespace tk
