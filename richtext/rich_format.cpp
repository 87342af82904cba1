#include "richtext/rich_format.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QVariant>

#include <algorithm>
#include <utility>

namespace tk::richformat {

namespace {

constexpr int kPictureProperties[] = {
    QTextFormat::ObjectType,
    QTextFormat::ImageName,
    QTextFormat::ImageTitle,
    QTextFormat::ImageAltText,
    QTextFormat::ImageWidth,
    QTextFormat::ImageHeight,
    QTextFormat::ImageQuality,
    PictureKind,
    PictureData,
    PictureHeader,
    ObjectRtf,
    ObjectClass,
    ObjectData,
    ObjectFlags,
    ObjectAspect,
    ObjectUser,
    ObjectKey,
    ObjectLinkSource,
};

}  // namespace

QTextCharFormat withoutPicture(QTextCharFormat format) {
    for (const int property : kPictureProperties) {
        format.clearProperty(property);
    }
    return format;
}

bool hasPicture(const QTextCharFormat& format) {
    for (const int property : kPictureProperties) {
        if (format.hasProperty(property)) {
            return true;
        }
    }
    return false;
}
namespace {

// Kept on the document, not the window, so that a re-created window finds it again.
constexpr char kDefaultFormatProperty[] = "tkDefaultCharFormat";

}  // namespace

int numberingStart(const QTextListFormat& format) {
    return format.hasProperty(NumberingStart) ? format.intProperty(NumberingStart) : 1;
}

QString numberPrefix(const QTextListFormat& format) {
    return format.hasProperty(QTextFormat::ListNumberPrefix) ? format.numberPrefix() : QString();
}

QString numberSuffix(const QTextListFormat& format) {
    return format.hasProperty(QTextFormat::ListNumberSuffix) ? format.numberSuffix() : QStringLiteral(".");
}

QString numberText(int n, QTextListFormat::Style style) {
    switch (style) {
        case QTextListFormat::ListLowerAlpha:
        case QTextListFormat::ListUpperAlpha: {
            QString letters;
            for (int k = std::max(1, n); k > 0; k = (k - 1) / 26) {
                letters.prepend(QChar(u'a' + (k - 1) % 26));
            }
            return style == QTextListFormat::ListUpperAlpha ? letters.toUpper() : letters;
        }
        case QTextListFormat::ListLowerRoman:
        case QTextListFormat::ListUpperRoman: {
            if (n < 1 || n > 3999) {
                return QString::number(n);
            }
            static const std::pair<int, const char*> numerals[] = {
                {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
                {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
            QString roman;
            for (const auto& [value, text] : numerals) {
                for (; n >= value; n -= value) {
                    roman += QLatin1String(text);
                }
            }
            return style == QTextListFormat::ListUpperRoman ? roman.toUpper() : roman;
        }
        default:
            return QString::number(n);
    }
}

bool isNumbered(QTextListFormat::Style style) {
    switch (style) {
        case QTextListFormat::ListDecimal:
        case QTextListFormat::ListLowerAlpha:
        case QTextListFormat::ListUpperAlpha:
        case QTextListFormat::ListLowerRoman:
        case QTextListFormat::ListUpperRoman:
            return true;
        default:
            return false;
    }
}

QString numberLabel(const QTextBlock& block) {
    const QTextList* list = block.textList();
    if (list == nullptr || !isNumbered(list->format().style())) {
        return {};
    }
    const QTextListFormat format = list->format();
    return numberPrefix(format) + numberText(list->itemNumber(block) + numberingStart(format), format.style()) +
           numberSuffix(format);
}

QTextCharFormat defaultCharFormat(const QTextDocument& document) {
    const QVariant value = document.property(kDefaultFormatProperty);
    return value.isValid() ? value.value<QTextFormat>().toCharFormat() : QTextCharFormat();
}

void setDefaultCharFormat(QTextDocument& document, const QTextCharFormat& format) {
    QTextCharFormat kept = format;
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        if (it.key() >= QTextFormat::FirstFontProperty && it.key() <= QTextFormat::LastFontProperty) {
            kept.clearProperty(it.key());
        }
    }
    document.setProperty(kDefaultFormatProperty, QVariant::fromValue(QTextFormat(kept)));
}

QTextCharFormat withDefaults(const QTextCharFormat& defaults, const QTextCharFormat& format) {
    if (defaults.propertyCount() == 0) {
        return format;
    }
    QTextCharFormat merged = defaults;
    merged.merge(format);
    return merged;
}

}  // namespace tk::richformat
