#pragma once

#include <QPointer>
#include <QRect>

class QPainter;
class QPaintDevice;
class QTextDocument;

namespace tk::richedit {

// EM_FORMATRANGE: a range of text laid out onto one page. Rectangles are in twips; hdc is where
// the page is drawn (none only measures), hdcTarget the device whose resolution lays text out.
struct FormatRange {
    QPainter* hdc = nullptr;
    QPaintDevice* hdcTarget = nullptr;
    QRect rc;      // where the text goes on the page
    QRect rcPage;  // the whole page
    int cpMin = 0;
    int cpMax = -1;  // -1: to the end of the text
};

// The window's formatting cache for pages: a copy of the document laid out at the page's width on
// the target device, kept while the document, the device and the width stay the same, so that
// printing page after page lays the text out once.
class PageFormatter final {
  public:
    explicit PageFormatter(QTextDocument* source);
    ~PageFormatter();
    PageFormatter(const PageFormatter&) = delete;
    PageFormatter& operator=(const PageFormatter&) = delete;

    // Lays out whole lines from range.cpMin until the next one would not fit in range.rc and
    // draws them when render is set. Returns the position of the first character that did not
    // fit, or the end of the range when everything did. At least one line goes on every page,
    // so a picture taller than the page cannot stop the printing.
    int format(const FormatRange& range, bool render, quint64 revision);
    void clear();

  private:
    void prepare(QPaintDevice* target, int width, quint64 revision);

    QTextDocument* source_;
    QPointer<QTextDocument> copy_;
    QPaintDevice* device_ = nullptr;
    int width_ = -1;
    quint64 revision_ = 0;
};

}  // namespace tk::richedit
