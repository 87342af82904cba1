#include "richedit/print_document.h"

#include "richtext/rich_edit_model.h"

#include <QPainter>
#include <QPrinter>

namespace tk {

using namespace richedit;

namespace {

// The printable area in twips, where the painter's origin is. A printer that draws on the whole
// paper puts its origin at the paper's corner, so the area starts at the margins there.
QRect printableTwips(QPrinter& printer) {
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const int dpiX = printer.logicalDpiX();
    const int dpiY = printer.logicalDpiY();
    const QPointF origin = printer.fullPage() ? page.topLeft() : QPointF();
    return {static_cast<int>(origin.x() * 1440 / dpiX), static_cast<int>(origin.y() * 1440 / dpiY),
            static_cast<int>(page.width() * 1440 / dpiX), static_cast<int>(page.height() * 1440 / dpiY)};
}

// Empties the formatting cache when printing ends, however it ends.
struct FormatCacheGuard {
    RichEditModel& model;
    ~FormatCacheGuard() { model.formatRange(nullptr, false); }
};

}  // namespace

bool printRichText(RichEditModel& model, QPrinter& printer, const QString& title, PrintOutcome* outcome) {
    outcome->pages = 0;
    outcome->errorString.clear();
    printer.setDocName(title);
    QPainter painter;
    if (!painter.begin(&printer)) {
        outcome->errorString = printer.outputFileName().isEmpty()
                                   ? QStringLiteral(
                                         "프린터를 쓸 수 없어 인쇄하지 못했습니다. 프린터가 켜져 있고 "
                                         "연결되어 있는지 확인한 뒤 다시 인쇄하세요.")
                                   : QStringLiteral(
                                         "%1 파일을 만들 수 없어 인쇄하지 못했습니다. 폴더가 있고 쓸 수 "
                                         "있는지 확인한 뒤 다시 인쇄하세요.")
                                         .arg(printer.outputFileName());
        return false;
    }
    FormatRange range;
    range.hdc = &painter;
    range.hdcTarget = &printer;
    range.rc = printableTwips(printer);
    range.rcPage = range.rc;
    const int length = model.textLength();
    FormatCacheGuard guard{model};
    model.formatRange(nullptr, false);
    int last = 0;
    for (;;) {
        range.cpMin = last;
        last = model.formatRange(&range, true);
        ++outcome->pages;
        if (last >= length || last == -1 || last <= range.cpMin) {
            break;
        }
        if (!printer.newPage()) {
            outcome->errorString = QStringLiteral(
                "인쇄하는 도중 프린터가 새 쪽을 시작하지 못했습니다. 프린터를 확인한 "
                "뒤 다시 인쇄하세요.");
            painter.end();
            return false;
        }
    }
    if (!painter.end()) {
        outcome->errorString =
            QStringLiteral("인쇄를 마치지 못했습니다. 프린터나 저장할 곳을 확인한 뒤 다시 인쇄하세요.");
        return false;
    }
    return true;
}

}  // namespace tk
