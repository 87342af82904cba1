// Printing the rich text control: pages as the format-range method lays them out, on the
// printer's printable area, checked in the PDF that comes out.
#include "richedit/qe_rich_edit.h"
#include "richtext/rich_edit_window.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace tk;
using namespace tk::richedit;

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed";
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& pdf) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

class PrintDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        control = std::make_unique<TQE_RichEdit>();
        control->resize(400, 300);
        control->HandleNeeded();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf());
        control->SetPrinter(&printer);
    }
    QString pdf() const { return dir.filePath("out.pdf"); }
    // The pages the format-range method lays the text out on for this printer, without drawing.
    int measuredPages() {
        RichEditModel& model = control->richWindow().model();
        const QRectF page = printer.pageRect(QPrinter::DevicePixel);
        FormatRange range;
        range.hdcTarget = &printer;
        range.rc = QRect(0, 0, static_cast<int>(page.width() * 1440 / printer.logicalDpiX()),
                         static_cast<int>(page.height() * 1440 / printer.logicalDpiY()));
        int pages = 0;
        for (int last = 0;;) {
            range.cpMin = last;
            last = model.formatRange(&range, false);
            ++pages;
            if (last >= model.textLength() || last <= range.cpMin) {
                break;
            }
        }
        model.formatRange(nullptr, false);
        return pages;
    }

    QTemporaryDir dir;
    QPrinter printer{QPrinter::HighResolution};
    std::unique_ptr<TQE_RichEdit> control;
};

TEST_F(PrintDocumentTest, AnEmptyDocumentPrintsOnePage) {
    ASSERT_TRUE(control->PrintDocument(QStringLiteral("빈 문서")));
    EXPECT_EQ(control->PrintedPages(), 1);
    EXPECT_EQ(pdfPages(pdf()), 1);
    EXPECT_TRUE(run("pdfinfo", {pdf()}).contains(QStringLiteral("빈 문서")));  // the job title
}

TEST_F(PrintDocumentTest, EveryKoreanLineIsPrintedInOrderOnThePagesMeasured) {
    QStringList lines;
    for (int i = 1; i <= 150; ++i) {
        lines << QStringLiteral("%1번째 줄: 다람쥐 헌 쳇바퀴에 타고파").arg(i);
    }
    control->SetText(lines.join(u'\r'));
    ASSERT_TRUE(control->PrintDocument(QStringLiteral("한국어 문서")));
    const int measured = measuredPages();
    EXPECT_GT(measured, 1);
    EXPECT_EQ(control->PrintedPages(), measured);
    EXPECT_EQ(pdfPages(pdf()), measured);
    // The PDF's text, spaces aside, holds every line once and in order. (Qt's PDF writer maps the
    // space of some Korean fonts to U+0001, so that is a space too.)
    QString text = run("pdftotext", {"-layout", pdf(), "-"});
    text.remove(QRegularExpression(QStringLiteral("[\\s\\x01]")));
    qsizetype at = 0;
    for (QString line : lines) {
        line.remove(u' ');
        const qsizetype found = text.indexOf(line, at);
        ASSERT_GE(found, at) << line.toStdString();
        at = found + line.size();
    }
}

// This was: the page was the whole paper, so a printer that cannot print near the edge lost
// the text there.
TEST_F(PrintDocumentTest, TextStaysInsideThePrintableArea) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Portrait, QMarginsF(30, 40, 30, 40),
                                      QPageLayout::Millimeter));
    QString longLine;
    for (int i = 0; i < 40; ++i) {
        longLine += QStringLiteral("가나다라마바사 ");
    }
    QStringList lines(60, longLine);
    control->SetText(lines.join(u'\r'));
    ASSERT_TRUE(control->PrintDocument(QStringLiteral("여백")));
    // The ink of the first page, drawn at 72 dots per inch, lies within the margins of 30 and
    // 40 mm, and reaches near them: the text fills the printable area, not less.
    run("pdftoppm", {"-r", "72", "-f", "1", "-l", "1", "-png", "-singlefile", pdf(), dir.filePath("page")});
    const QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    QRect ink;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (qGray(page.pixel(x, y)) < 128) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    const double mm = 72.0 / 25.4;
    EXPECT_GE(ink.left(), 30 * mm - 1);
    EXPECT_LE(ink.right(), page.width() - 30 * mm + 1);
    EXPECT_GE(ink.top(), 40 * mm - 1);
    EXPECT_LE(ink.bottom(), page.height() - 40 * mm + 1);
    EXPECT_GT(ink.width(), page.width() - 60 * mm - 30);
    EXPECT_GT(ink.bottom(), page.height() - 40 * mm - 30);
}

TEST_F(PrintDocumentTest, AFileThatCannotBeWrittenIsReportedInKorean) {
    printer.setOutputFileName(dir.filePath("없는 폴더/out.pdf"));
    control->SetText(QStringLiteral("내용"));
    EXPECT_FALSE(control->PrintDocument(QStringLiteral("문서")));
    EXPECT_TRUE(control->PrintError().contains(QStringLiteral("다시 인쇄하세요")))
        << control->PrintError().toStdString();
}

}  // namespace
