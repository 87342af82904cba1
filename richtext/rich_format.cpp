#include "richtext/rich_format.h"

#include <QTextDocument>
#include <QVariant>

namespace tk::richformat {
namespace {

// Kept on the document, not the window, so that a re-created window finds it again.
constexpr char kDefaultFormatProperty[] = "tkDefaultCharFormat";

}  // namespace

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
