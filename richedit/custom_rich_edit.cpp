#include "richedit/custom_rich_edit.h"

#include "richedit/rich_edit_ole_callback.h"
#include "richtext/rich_edit_window.h"

#include <QBuffer>
#include <QEvent>
#include <QTextDocument>

namespace tk {

using namespace tk::richedit;

namespace {

// Change, resize request, selection change, protected text and links.
constexpr quint32 kEventMask = ENM_CHANGE | ENM_REQUESTRESIZE | ENM_SELCHANGE | ENM_PROTECTED | ENM_LINK;

}  // namespace

TCustomRichEdit2::TCustomRichEdit2(QWidget* parent)
    : QWidget(parent),
      document_(new QTextDocument(this)),
      lines_(std::make_unique<TRichEditStrings>(*this)),
      selAttributes_(std::make_unique<TTextAttributes2>(*this, TAttributeType::atSelection)),
      defAttributes_(std::make_unique<TTextAttributes2>(*this, TAttributeType::atDefault)),
      wordAttributes_(std::make_unique<TTextAttributes2>(*this, TAttributeType::atWord)),
      paragraph_(std::make_unique<TParaAttributes2>(*this)),
      objectDialog_(std::make_unique<TObjectDialog>()),
      oleCallback_(std::make_unique<TRichEditOleCallback>(*this)) {
    resize(185, 89);
    font_ = QWidget::font();
    setFocusPolicy(Qt::StrongFocus);
}

TCustomRichEdit2::~TCustomRichEdit2() {
    // The dialogs call back into the control: they go first.
    lastFindDialog_ = nullptr;
    delete findDialog_.data();
    delete replaceDialog_.data();
    delete verbMenu_.data();
    if (window_ != nullptr) {
        CloseAllObjects();
        window_->releaseClipboard();
        // No event may reach a control that is going away.
        window_->detachDocument();
        delete window_;
        window_ = nullptr;
    }
}

// ---- window creation ----

void TCustomRichEdit2::HandleNeeded() {
    if (window_ == nullptr) {
        CreateWnd();
    }
}

RichEditWindow& TCustomRichEdit2::richWindow() {
    HandleNeeded();
    return *window_;
}

RichEditModel& TCustomRichEdit2::editModel() {
    return richWindow().model();
}

void TCustomRichEdit2::RecreateWnd() {
    const bool hadFocus = window_ != nullptr && window_->hasFocus();
    int start = 0;
    int end = 0;
    if (window_ != nullptr) {
        window_->model().getSelection(&start, &end);
        DestroyWnd();
    }
    CreateWnd();
    // The new window takes over where the user was; for the user the selection did not change.
    RichEditModel& model = window_->model();
    const quint32 mask = model.setEventMask(model.eventMask() & ~ENM_SELCHANGE);
    model.setSelection(start, end);
    model.setEventMask(mask);
    if (hadFocus) {
        window_->setFocus();
    }
}

void TCustomRichEdit2::DestroyHandle() {
    if (window_ != nullptr) {
        DestroyWnd();
    }
}

// The document belongs to the control, not to the window, so a new window takes over the same
// document: text, formatting, pictures, undo steps and the modified flag all survive, with
// nothing converted on the way.
void TCustomRichEdit2::CreateWnd() {
    savedModified_ = document_->isModified();
    window_ = new RichEditWindow(this, document_);
    window_->setGeometry(rect());
    window_->setFocusProxy(nullptr);
    setFocusProxy(window_);
    window_->installEventFilter(this);
    wireWindow();
    wireHooks();
    if (allowObjects_) {
        window_->objects().setCallback(oleCallback_.get());
    }
    RichEditModel& model = window_->model();
    model.setEventMask(kEventMask);
    window_->setBackgroundColor(color_);
    model.setTextLimit(maxLength_ == 0 ? kMaxTextLimit : maxLength_);
    applyWordSelection();
    window_->setAutoUrlDetect(autoUrlDetect_);
    undoLimit_ = model.setUndoLimit(undoLimit_);
    (void)model.setTextMode(
        (plainText_ ? TM_PLAINTEXT : TM_RICHTEXT) | (undoLimit_ < 2 ? TM_SINGLELEVELUNDO : TM_MULTILEVELUNDO), true);
    window_->setLangOptions(langOptions_.toInt());
    applyWindowStyle();
    applyFontToDefault();
    document_->setModified(savedModified_);
    window_->show();
}

void TCustomRichEdit2::DestroyWnd() {
    CloseAllObjects();
    savedModified_ = document_->isModified();
    window_->releaseClipboard();
    // The document stays with the control; only the view goes.
    window_->removeEventFilter(this);
    setFocusProxy(nullptr);
    RichEditWindow* old = window_;
    window_ = nullptr;
    old->detachDocument();
    old->hide();
    old->deleteLater();
}

void TCustomRichEdit2::applyWindowStyle() {
    const bool vertical = scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth;
    const bool horizontal =
        (scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth) && !wordWrap_;
    const Qt::ScrollBarPolicy shown = hideScrollBars_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOn;
    window_->setVerticalScrollBarPolicy(vertical ? shown : Qt::ScrollBarAlwaysOff);
    window_->setHorizontalScrollBarPolicy(horizontal ? shown : Qt::ScrollBarAlwaysOff);
    window_->setWordWrap(wordWrap_);
    window_->setReadOnlyMode(readOnly_);
    window_->setWantReturns(wantReturns_);
    window_->setTabChangesFocus(!wantTabs_);
    window_->setHideSelection(hideSelection_);
    window_->setSelectionBar(selectionBar_);
    window_->setAcceptDrops(options_.testFlag(TRichOption::roDragDrop));
    window_->setFont(font_);
    window_->setFrameShape(borderStyle_ == TBorderStyle::bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
    window_->setFocusPolicy(focusPolicy());
}

void TCustomRichEdit2::applyWordSelection() {
    const quint32 current = window_->options();
    window_->setOptions(ECOOP_SET,
                        wordSelection_ ? (current | ECO_AUTOWORDSELECTION) : (current & ~ECO_AUTOWORDSELECTION));
}

// The control's font is the default character format of the document. The default colour stays:
// the font carries none of its own.
void TCustomRichEdit2::applyFontToDefault() {
    defAttributes_->Assign(font_, defAttributes_->Color());
}

void TCustomRichEdit2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (window_ != nullptr) {
        window_->setGeometry(rect());
    }
}

void TCustomRichEdit2::setRedraw(bool on) {
    if (window_ == nullptr || !isVisible()) {
        return;
    }
    window_->setUpdatesEnabled(on);
    if (on) {
        window_->viewport()->update();
    }
}

std::unique_ptr<TConversion> TCustomRichEdit2::makeDefaultConversion() const {
    return std::make_unique<TConversion>();
}

// ---- memo properties ----

QString TCustomRichEdit2::Text() const {
    QString text = document_->toPlainText();
    text.replace(QChar::LineSeparator, QChar(0x0B));
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void TCustomRichEdit2::SetText(const QString& text) {
    editModel().setText(text);
}

void TCustomRichEdit2::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
}

// A change of reading direction sets the selected paragraphs to the control's alignment, with
// left and right exchanged for right-to-left text.
void TCustomRichEdit2::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::LayoutDirectionChange) {
        return;
    }
    ParaFormat2 pf;
    pf.dwMask = PFM_ALIGNMENT;
    pf.wAlignment = static_cast<quint16>(static_cast<int>(alignment_) + 1);
    if (layoutDirection() == Qt::RightToLeft && pf.wAlignment != PFA_CENTER) {
        pf.wAlignment = pf.wAlignment == PFA_LEFT ? PFA_RIGHT : PFA_LEFT;
    }
    (void)editModel().setParaFormat(pf);
}

void TCustomRichEdit2::SetBorderStyle(TBorderStyle style) {
    borderStyle_ = style;
    if (window_ != nullptr) {
        window_->setFrameShape(style == TBorderStyle::bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
    }
}

void TCustomRichEdit2::SetTabStop(bool stop) {
    setFocusPolicy(stop ? Qt::StrongFocus : Qt::NoFocus);
    if (window_ != nullptr) {
        window_->setFocusPolicy(focusPolicy());
    }
}

void TCustomRichEdit2::SetScrollBars(TScrollStyle style) {
    if (scrollBars_ != style) {
        scrollBars_ = style;
        if (window_ != nullptr) {
            RecreateWnd();
        }
    }
}

void TCustomRichEdit2::SetWordWrap(bool wrap) {
    if (wordWrap_ != wrap) {
        wordWrap_ = wrap;
        if (window_ != nullptr) {
            RecreateWnd();
        }
    }
}

void TCustomRichEdit2::SetWantTabs(bool want) {
    wantTabs_ = want;
    if (window_ != nullptr) {
        window_->setTabChangesFocus(!want);
    }
}

void TCustomRichEdit2::SetWantReturns(bool want) {
    wantReturns_ = want;
    if (window_ != nullptr) {
        window_->setWantReturns(want);
    }
}

void TCustomRichEdit2::SetMaxLength(int length) {
    maxLength_ = std::max(0, length);
    if (window_ != nullptr) {
        window_->model().setTextLimit(maxLength_ == 0 ? kMaxTextLimit : maxLength_);
    }
}

void TCustomRichEdit2::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (window_ != nullptr) {
        window_->setReadOnlyMode(readOnly);
    }
}

bool TCustomRichEdit2::Modified() const {
    return document_->isModified();
}

void TCustomRichEdit2::SetModified(bool modified) {
    document_->setModified(modified);
}

void TCustomRichEdit2::SetFont(const QFont& font) {
    font_ = font;
    if (window_ != nullptr) {
        window_->setFont(font_);
        applyFontToDefault();
    }
}

void TCustomRichEdit2::SetColor(const QColor& color) {
    color_ = color;
    if (window_ != nullptr) {
        window_->setBackgroundColor(color_);
    }
}

// ---- rich edit properties ----

bool TCustomRichEdit2::AutoURLDetect() const {
    return window_ != nullptr ? window_->autoUrlDetect() : autoUrlDetect_;
}

void TCustomRichEdit2::SetAutoURLDetect(bool on) {
    if (autoUrlDetect_ != on) {
        autoUrlDetect_ = on;
        if (window_ != nullptr) {
            window_->setAutoUrlDetect(on);
        }
    }
}

void TCustomRichEdit2::SetAllowObjects(bool allow) {
    if (allowObjects_ != allow) {
        allowObjects_ = allow;
        RecreateWnd();
    }
}

void TCustomRichEdit2::SetHideSelection(bool hide) {
    if (hideSelection_ != hide) {
        hideSelection_ = hide;
        richWindow().setHideSelection(hide);
    }
}

void TCustomRichEdit2::SetHideScrollBars(bool hide) {
    if (hideScrollBars_ != hide) {
        hideScrollBars_ = hide;
        RecreateWnd();
    }
}

void TCustomRichEdit2::SetSelectionBar(bool on) {
    if (selectionBar_ != on) {
        selectionBar_ = on;
        RecreateWnd();
    }
}

void TCustomRichEdit2::SetTitle(const QString& title) {
    // Embedded objects take the title as their host name once they exist.
    title_ = title;
}

TRichLangOptions TCustomRichEdit2::LangOptions() const {
    if (window_ == nullptr) {
        return langOptions_;
    }
    return TRichLangOptions::fromInt(window_->langOptions());
}

void TCustomRichEdit2::SetLangOptions(TRichLangOptions options) {
    langOptions_ = options;
    if (window_ != nullptr) {
        window_->setLangOptions(options.toInt());
    }
}

void TCustomRichEdit2::SetLines(const QStringList& lines) {
    lines_->SetText(lines.join(QLatin1String("\r\n")) + (lines.isEmpty() ? QString() : QStringLiteral("\r\n")));
}

// Switching keeps the content: it is saved, the window emptied and switched, and loaded back.
void TCustomRichEdit2::SetPlainText(bool plain) {
    if (plainText_ == plain) {
        return;
    }
    if (window_ == nullptr) {
        plainText_ = plain;
        return;
    }
    const TRichStreamFormat format = lines_->StreamFormat();
    const TRichStreamModes modes = lines_->StreamMode();
    const bool compress = compress_;
    compress_ = false;
    lines_->SetStreamFormat(plain ? TRichStreamFormat::sfPlainText : TRichStreamFormat::sfRichText);
    lines_->SetStreamMode({});
    QBuffer saved;
    saved.open(QIODevice::ReadWrite);
    const bool ok = lines_->SaveStream(saved);
    RichEditModel& model = window_->model();
    const quint32 mask = model.eventMask();
    model.setEventMask(mask & ~ENM_CHANGE);
    model.setText(QString());
    (void)model.setTextMode((plain ? TM_PLAINTEXT : TM_RICHTEXT) |
                            (undoLimit_ < 2 ? TM_SINGLELEVELUNDO : TM_MULTILEVELUNDO));
    plainText_ = plain;
    model.setEventMask(mask);
    if (ok) {
        saved.seek(0);
        (void)lines_->LoadStream(saved);
    }
    lines_->SetStreamFormat(format);
    lines_->SetStreamMode(modes);
    compress_ = compress;
}

void TCustomRichEdit2::SetUndoLimit(int limit) {
    if (undoLimit_ == limit) {
        return;
    }
    undoLimit_ = limit;
    if (window_ != nullptr) {
        undoLimit_ = window_->model().setUndoLimit(limit);
    }
}

bool TCustomRichEdit2::WordSelection() const {
    return window_ != nullptr ? (window_->options() & ECO_AUTOWORDSELECTION) != 0 : wordSelection_;
}

void TCustomRichEdit2::SetWordSelection(bool on) {
    wordSelection_ = on;
    if (window_ != nullptr) {
        applyWordSelection();
    }
}

void TCustomRichEdit2::SetOptions(TRichOptions options) {
    const TRichOptions old = options_;
    options_ = options;
    if ((old ^ options) == TRichOptions(TRichOption::roEnterSymbol)) {
        update();
        return;
    }
    RecreateWnd();
}

}  // namespace tk
