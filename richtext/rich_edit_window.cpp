#include "richtext/rich_edit_window.h"

#include "richtext/list_marker.h"
#include "richtext/rich_edit_units.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <utility>

namespace tk::richedit {

// The model's cursor is the view's cursor, so that a selection made by the user and one made
// through the model are the same.
class RichEditWindow::ViewModel final : public RichEditModel {
  public:
    explicit ViewModel(RichEditWindow* view) : RichEditModel(view->document()), view_(view) {}
    QTextCursor textCursor() const override { return largeChange_ ? cursor_ : view_->textCursor(); }
    // During a large change the view is told where the caret went only at the end: every move
    // would otherwise make it work out what to repaint.
    void setTextCursor(const QTextCursor& cursor) override {
        if (largeChange_) {
            cursor_ = cursor;
        } else {
            view_->setTextCursor(cursor);
        }
        cursorMoved();
    }
    void setReadOnly(bool readOnly) override {
        RichEditModel::setReadOnly(readOnly);
        view_->QTextEdit::setReadOnly(readOnly);
    }
    void selectionMoved() { cursorMoved(); }
    void defaultFormatChanged() override { view_->applyTextPalette(); }

  protected:
    // Without a page size the document's layout only forgets what it had laid out. Given back, it
    // starts again from the top and goes on a screen at a time while the program is idle, as after
    // loading; the view returns to where it was once the layout has reached that far.
    void beginLargeChange() override {
        cursor_ = view_->textCursor();
        largeChange_ = true;
        QTextDocument* doc = view_->document();
        pageSize_ = doc->pageSize();
        if (pageSize_.isNull()) {
            return;
        }
        scroll_ = QPoint(view_->horizontalScrollBar()->value(), view_->verticalScrollBar()->value());
        // A new layout drops every paragraph's old one at once, instead of each being invalidated
        // as the change passes it; the view takes up the new layout straight away.
        doc->setDocumentLayout(nullptr);
        view_->connectLayout();
        doc->setPageSize(QSizeF(0, 0));
    }
    void endLargeChange() override {
        largeChange_ = false;
        view_->setTextCursor(cursor_);  // cheap while the layout is off
        if (pageSize_.isNull()) {
            return;
        }
        view_->document()->setPageSize(pageSize_);
        view_->horizontalScrollBar()->setValue(scroll_.x());
        view_->scrollWhenLaidOut(scroll_.y());
        view_->viewport()->update();
    }

  protected:
    // The view shows an empty placeholder meanwhile, and the document drops its layout, which
    // would otherwise lay the growing paragraph out again after every insertion. Showing the
    // document again gives it a fresh layout that works lazily, a screen at a time.
    void beginBulkLoad() override {
        shared_ = view_->document();
        view_->setDocument(&placeholder_);
        shared_->setDocumentLayout(nullptr);
    }
    void endBulkLoad() override {
        view_->setDocument(shared_);
        view_->connectLayout();
        view_->scheduleLinkUpdate();
    }

  private:
    RichEditWindow* view_;
    QSizeF pageSize_;
    QPoint scroll_;
    bool largeChange_ = false;
    QTextCursor cursor_;
    QTextDocument* shared_ = nullptr;
    QTextDocument placeholder_;
};

RichEditWindow::RichEditWindow(QWidget* parent, QTextDocument* shared) : QTextEdit(parent), linkColor_(0, 0, 255) {
    if (shared != nullptr) {
        setDocument(shared);
    }
    setAcceptRichText(true);
    document()->setDocumentMargin(2);
    auto* viewModel = new ViewModel(this);
    model_.reset(viewModel);
    objects_ = std::make_unique<RichEditObjects>(*model_, this);
    connect(this, &QTextEdit::cursorPositionChanged, this, [this, viewModel] {
        viewModel->selectionMoved();
        dropPictureFormatAtCaret();
    });
    connect(this, &QTextEdit::selectionChanged, this, [viewModel] { viewModel->selectionMoved(); });
    connect(document(), &QTextDocument::contentsChanged, this, &RichEditWindow::scheduleLinkUpdate);
    connectLayout();
    connectScrollBars();
    applyTextPalette();
    // A scroll position waiting for the layout is taken as soon as the layout reaches it, and
    // given up when the user scrolls meanwhile.
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int max) {
        if (pendingScroll_ >= 0 && max >= pendingScroll_) {
            verticalScrollBar()->setValue(std::exchange(pendingScroll_, -1));
        }
    });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        pendingScroll_ = -1;
        pendingCaretWork_ = nullptr;
    });
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &RichEditWindow::runPendingCaretWork);
}

// A paragraph that the layout has not reached yet has no lines.
bool RichEditWindow::caretLaidOut() const {
    const QTextBlock block = textCursor().block();
    return !block.isValid() || (block.layout() != nullptr && block.layout()->lineCount() > 0);
}

void RichEditWindow::whenCaretLaidOut(std::function<void()> f) {
    pendingCaretWork_ = std::move(f);
    runPendingCaretWork();
}

void RichEditWindow::runPendingCaretWork() {
    if (pendingCaretWork_ && caretLaidOut()) {
        std::exchange(pendingCaretWork_, nullptr)();
    }
}

void RichEditWindow::scrollWhenLaidOut(int y) {
    pendingScroll_ = -1;
    if (y <= verticalScrollBar()->maximum()) {
        verticalScrollBar()->setValue(y);
    } else {
        pendingScroll_ = y;
    }
}

// A caret just after a picture or object would have the next text typed (by keys or the input
// method) take on the picture's format: it gets the plain character format instead.
void RichEditWindow::dropPictureFormatAtCaret() {
    const QTextCursor c = textCursor();
    if (c.hasSelection() || c.atStart()) {
        return;
    }
    const QTextCharFormat f = c.charFormat();
    if (richformat::hasPicture(f)) {
        setCurrentCharFormat(richformat::withoutPicture(f));
    }
}

RichEditWindow::~RichEditWindow() {
    releaseClipboard();
    objects_->detach();
}

void RichEditWindow::detachDocument() {
    QTextDocument* shared = document();
    model_->notifications() = {};
    hooks_ = {};
    objects_->setCallback(nullptr);
    objects_->detach();
    disconnect(shared, nullptr, model_.get(), nullptr);
    disconnect(shared, nullptr, this, nullptr);
    disconnect(shared->documentLayout(), nullptr, this, nullptr);
    setDocument(new QTextDocument(this));
}

void RichEditWindow::connectLayout() {
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &RichEditWindow::checkRequestResize, Qt::UniqueConnection);
}

void RichEditWindow::connectScrollBars() {
    auto report = [this](int type, QScrollBar* bar) {
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, type, bar](int action) {
            int code = SB_THUMBTRACK;
            switch (action) {
                case QAbstractSlider::SliderSingleStepAdd:
                    code = SB_LINEDOWN;
                    break;
                case QAbstractSlider::SliderSingleStepSub:
                    code = SB_LINEUP;
                    break;
                case QAbstractSlider::SliderPageStepAdd:
                    code = SB_PAGEDOWN;
                    break;
                case QAbstractSlider::SliderPageStepSub:
                    code = SB_PAGEUP;
                    break;
                case QAbstractSlider::SliderToMinimum:
                    code = SB_TOP;
                    break;
                case QAbstractSlider::SliderToMaximum:
                    code = SB_BOTTOM;
                    break;
                default:
                    break;
            }
            // The action is reported before the bar moves; the owner hears of it afterwards.
            QTimer::singleShot(0, this, [this, type, code, bar] {
                if (hooks_.afterScroll) {
                    hooks_.afterScroll(type, code, bar->sliderPosition());
                }
            });
        });
        connect(bar, &QAbstractSlider::sliderReleased, this, [this, type, bar] {
            if (hooks_.afterScroll) {
                hooks_.afterScroll(type, SB_THUMBPOSITION, bar->sliderPosition());
            }
        });
        connect(bar, &QAbstractSlider::valueChanged, this, &RichEditWindow::scheduleLinkUpdate);
    };
    report(SB_HORZ, horizontalScrollBar());
    report(SB_VERT, verticalScrollBar());
}

// ---- geometry ----

QPoint RichEditWindow::posFromChar(int cp) const {
    QTextCursor c(document());
    c.setPosition(std::clamp(cp, 0, model_->textLength()));
    const QRect r = cursorRect(c);
    return viewport()->mapTo(this, r.topLeft());
}

int RichEditWindow::charFromPos(const QPoint& point) const {
    return cursorForPosition(viewport()->mapFrom(this, point)).position();
}

// The size comes from the layout as it grows: asking the document for its size would lay all of
// it out at once.
void RichEditWindow::checkRequestResize(const QSizeF& size) {
    if (!(model_->eventMask() & ENM_REQUESTRESIZE) || !model_->notifications().requestResize) {
        return;
    }
    const int height = static_cast<int>(std::ceil(size.height())) + 2 * frameWidth();
    if (height == lastRequestedHeight_) {
        return;
    }
    lastRequestedHeight_ = height;
    model_->notifications().requestResize(QRect(0, 0, width(), height));
}

void RichEditWindow::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    scheduleLinkUpdate();
}

// ---- appearance and options ----

quint32 RichEditWindow::setBackgroundColor(const QColor& color) {
    const QColor old = viewport()->palette().color(QPalette::Base);
    QPalette p = palette();
    p.setColor(QPalette::Base, color.isValid() ? color : QApplication::palette().color(QPalette::Base));
    setPalette(p);
    applySelectionPalette();
    return toColorRef(old);
}

// Text without a colour of its own shows the default format's colour, else the system text colour.
void RichEditWindow::applyTextPalette() {
    const QTextCharFormat defaults = richformat::defaultCharFormat(*document());
    QPalette p = palette();
    p.setColor(QPalette::Text, defaults.hasProperty(QTextFormat::ForegroundBrush)
                                   ? defaults.foreground().color()
                                   : QApplication::palette().color(QPalette::Text));
    setPalette(p);
    applySelectionPalette();
}

void RichEditWindow::applySelectionPalette() {
    QPalette p = palette();
    if (hideSelection_) {
        // An unfocused window shows no selection.
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Base));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::Text));
    } else {
        p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
        p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(p);
}

// Numbers of lists that do not start at 1 are drawn here, over the ones Qt drew, in the part of
// the viewport being painted.
void RichEditWindow::paintListNumbers(const QRect& area) {
    // A number reaches half a pixel into the paragraphs beside its own.
    QTextBlock first = cursorForPosition(area.topLeft()).block();
    first = first.previous().isValid() ? first.previous() : first;
    QTextBlock last = cursorForPosition(area.bottomRight()).block();
    last = last.next().isValid() ? last.next() : last;
    const QTextCursor selection = textCursor();
    const QPalette look = palette();
    MarkerPaint paint;
    paint.palette = &look;
    paint.active = hasFocus();
    paint.selectionStart = selection.selectionStart();
    paint.selectionEnd = selection.selectionEnd();
    const QScrollBar* bar = horizontalScrollBar();
    QPainter painter(viewport());
    painter.setClipRect(area);
    painter.translate(-(isRightToLeft() ? bar->maximum() - bar->value() : bar->value()), -verticalScrollBar()->value());
    paintListMarkers(painter, *document(), first, last, paint);
}

void RichEditWindow::setHideSelection(bool hide) {
    hideSelection_ = hide;
    if (hide) {
        options_ &= ~ECO_NOHIDESEL;
    } else {
        options_ |= ECO_NOHIDESEL;
    }
    applySelectionPalette();
}

void RichEditWindow::setSelectionBar(bool on) {
    options_ = on ? (options_ | ECO_SELECTIONBAR) : (options_ & ~ECO_SELECTIONBAR);
    setViewportMargins(on ? 8 : 0, 0, 0, 0);
}

void RichEditWindow::setWordWrap(bool wrap) {
    setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void RichEditWindow::setReadOnlyMode(bool readOnly) {
    model_->setReadOnly(readOnly);
}

quint32 RichEditWindow::options() const {
    quint32 result = options_;
    result = model_->isReadOnly() ? (result | ECO_READONLY) : (result & ~ECO_READONLY);
    result = wantReturns_ ? (result | ECO_WANTRETURN) : (result & ~ECO_WANTRETURN);
    return result;
}

quint32 RichEditWindow::setOptions(int operation, quint32 value) {
    quint32 next = options();
    switch (operation) {
        case ECOOP_OR:
            next |= value;
            break;
        case ECOOP_AND:
            next &= value;
            break;
        case ECOOP_XOR:
            next ^= value;
            break;
        default:
            next = value;
            break;
    }
    options_ = next;
    setReadOnlyMode(next & ECO_READONLY);
    wantReturns_ = (next & ECO_WANTRETURN) != 0;
    setHideSelection(!(next & ECO_NOHIDESEL));
    setSelectionBar((next & ECO_SELECTIONBAR) != 0);
    return options();
}

// ---- links ----

void RichEditWindow::setAutoUrlDetect(bool on) {
    autoUrlDetect_ = on;
    scheduleLinkUpdate();
}

bool RichEditWindow::linkAt(int cp, TextSpan* span) const {
    const QTextBlock block = document()->findBlock(cp);
    if (!block.isValid() || cp >= block.position() + block.length() - 1) {
        return false;
    }
    const int inBlock = cp - block.position();
    if (autoUrlDetect_) {
        TextSpan local;
        if (urlAt(block.text(), inBlock, &local)) {
            *span = {block.position() + local.start, block.position() + local.end};
            return true;
        }
    }
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (cp >= f.position() && cp < f.position() + f.length() && f.charFormat().isAnchor()) {
            *span = {f.position(), f.position() + f.length()};
            return true;
        }
    }
    return false;
}

void RichEditWindow::scheduleLinkUpdate() {
    if (linkUpdatePending_) {
        return;
    }
    linkUpdatePending_ = true;
    QTimer::singleShot(0, this, &RichEditWindow::updateLinkSelections);
}

// Links are drawn as extra selections over the visible blocks only: the stored formatting stays
// as it is, and a long document costs nothing off screen.
void RichEditWindow::updateLinkSelections() {
    linkUpdatePending_ = false;
    QList<QTextEdit::ExtraSelection> selections;
    if (autoUrlDetect_) {
        QTextCharFormat look;
        look.setForeground(linkColor_);
        look.setFontUnderline(true);
        const int first = cursorForPosition(QPoint(0, 0)).block().blockNumber();
        const int last = cursorForPosition(QPoint(viewport()->width(), viewport()->height())).block().blockNumber();
        for (QTextBlock block = document()->findBlockByNumber(first); block.isValid() && block.blockNumber() <= last;
             block = block.next()) {
            for (const TextSpan& s : findUrls(block.text())) {
                QTextEdit::ExtraSelection selection;
                selection.cursor = QTextCursor(document());
                selection.cursor.setPosition(block.position() + s.start);
                selection.cursor.setPosition(block.position() + s.end, QTextCursor::KeepAnchor);
                selection.format = look;
                selections.append(selection);
            }
        }
    }
    setExtraSelections(selections);
}

bool RichEditWindow::linkUnderMouse(const QPoint& viewportPos, TextSpan* span) const {
    const QTextCursor c = cursorForPosition(viewportPos);
    // cursorForPosition gives the nearest gap; the character is the one whose box holds the point.
    for (const int cp : {c.position(), c.position() - 1}) {
        if (cp < 0 || !linkAt(cp, span)) {
            continue;
        }
        QTextCursor left(document());
        left.setPosition(cp);
        QTextCursor right(document());
        right.setPosition(cp + 1);
        const QRect a = cursorRect(left);
        const QRect b = cursorRect(right);
        if (a.top() == b.top() && viewportPos.x() >= std::min(a.left(), b.left()) &&
            viewportPos.x() < std::max(a.left(), b.left()) && viewportPos.y() >= a.top() &&
            viewportPos.y() <= a.bottom()) {
            return true;
        }
    }
    return false;
}

// ---- clipboard ----

bool RichEditWindow::canPaste() const {
    if (model_->isReadOnly()) {
        return false;
    }
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data != nullptr && canInsertFromMimeData(data);
}

void RichEditWindow::releaseClipboard() {
    QClipboard* clipboard = QApplication::clipboard();
    if (ownClipboardData_ == nullptr || clipboard->mimeData() != ownClipboardData_) {
        ownClipboardData_ = nullptr;
        return;
    }
    const QString text = ownClipboardData_->text();
    ownClipboardData_ = nullptr;
    const auto objects = static_cast<int>(text.count(QChar::ObjectReplacementCharacter));
    const auto chars = static_cast<int>(text.size()) - objects;
    auto& ask = model_->notifications().saveClipboard;
    if (ask && !ask(objects, chars)) {
        clipboard->clear();
    }
}

}  // namespace tk::richedit
