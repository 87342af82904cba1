// The rich text control's selection operations and how the window's notifications, input and
// commands become the control's events.
#include "richedit/custom_rich_edit.h"
#include "richtext/rich_edit_window.h"
#include "richtext/rich_edit_window_objects.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTextBlock>

namespace tk {

using namespace tk::richedit;

namespace {}  // namespace

// ---- selection and positions ----

int TCustomRichEdit2::SelectionStart() const {
    return window_ != nullptr ? window_->model().selectionStart() : 0;
}

void TCustomRichEdit2::SetSelectionStart(int start) {
    SetSelectionRange(start, start, false);
}

int TCustomRichEdit2::SelectionLength() const {
    if (window_ == nullptr) {
        return 0;
    }
    return window_->model().selectionEnd() - window_->model().selectionStart();
}

void TCustomRichEdit2::SetSelectionLength(int length) {
    const int start = SelectionStart();
    SetSelectionRange(start, start + length, true);
}

QString TCustomRichEdit2::SelectedText() const {
    int start = 0;
    int end = 0;
    GetSelectionRange(start, end);
    return TextRange(start, end);
}

void TCustomRichEdit2::SetSelectedText(const QString& text) {
    int start = 0;
    int end = 0;
    GetSelectionRange(start, end);
    if (!ReplaceSel(text)) {
        return;
    }
    // The inserted text ends up selected as it was inserted: a CR LF pair is one paragraph end, and
    // the text limit may have cut it short. It ends where the selection or caret now ends.
    SetSelectionRange(start, editModel().selectionEnd(), false);
}

bool TCustomRichEdit2::ReplaceSel(const QString& text) {
    RichEditModel& model = editModel();
    const bool undoable = undoLimit_ > 1 && !linesUpdating_;
    // The inserted text ends selected, counted as inserted: a CR LF pair is one paragraph end, and
    // the text limit may have cut the text short.
    if (!model.replaceSelection(text, undoable, !linesUpdating_)) {
        return false;
    }
    if (!linesUpdating_) {
        window_->ensureCursorVisible();
    }
    return true;
}

int TCustomRichEdit2::GetSelTextBuf(QChar* buffer, int size) const {
    if (size <= 0) {
        return 0;
    }
    const QString text = SelectedText();
    const int count = std::min(size - 1, static_cast<int>(text.size()));
    std::copy_n(text.constData(), count, buffer);
    buffer[count] = QChar();
    return count;
}

QPoint TCustomRichEdit2::CaretPosition() const {
    if (window_ == nullptr) {
        return {};
    }
    const RichEditModel& model = window_->model();
    const int cpMax = model.selectionEnd();
    const int line = model.lineFromChar(cpMax);
    return {cpMax - model.lineIndex(line), line};
}

void TCustomRichEdit2::SetCaretPosition(const QPoint& position) {
    RichEditModel& model = editModel();
    const int start = model.lineIndex(position.y());
    if (start < 0) {
        return;
    }
    const int cp = start + position.x();
    model.setSelection(cp, cp);
}

void TCustomRichEdit2::GetSelectionRange(int& start, int& end) const {
    start = end = 0;
    if (window_ != nullptr) {
        window_->model().getSelection(&start, &end);
    }
}

void TCustomRichEdit2::SetSelectionRange(int start, int end, bool scrollCaret) {
    editModel().setSelection(start, end);
    if (scrollCaret) {
        window_->ensureCursorVisible();
    }
}

QPoint TCustomRichEdit2::CharPosition(int position) const {
    return window_ != nullptr ? window_->posFromChar(position) : QPoint();
}

QString TCustomRichEdit2::TextRange(int start, int end) const {
    return window_ != nullptr ? window_->model().textRange(start, end) : QString();
}

int TCustomRichEdit2::LineOfChar(int position) const {
    return window_ != nullptr ? window_->model().lineFromChar(position) : 0;
}

int TCustomRichEdit2::LineStartIndex(int line) const {
    return window_ != nullptr ? window_->model().lineIndex(line) : -1;
}

int TCustomRichEdit2::LineLengthAt(int position) const {
    return window_ != nullptr ? window_->model().lineLength(position) : 0;
}

bool TCustomRichEdit2::CanPaste() const {
    return window_ != nullptr && window_->canPaste();
}

bool TCustomRichEdit2::CanUndo() const {
    return window_ != nullptr && window_->model().canUndo();
}

bool TCustomRichEdit2::CanRedo() const {
    return window_ != nullptr && window_->model().canRedo();
}

TSelectionKinds TCustomRichEdit2::SelectionKinds() const {
    if (window_ == nullptr) {
        return {};
    }
    return TSelectionKinds::fromInt(static_cast<unsigned>(window_->model().selectionType()));
}

void TCustomRichEdit2::Clear() {
    CloseAllObjects();
    editModel().setText(QString());
    document_->setModified(false);
}

// ---- commands ----

void TCustomRichEdit2::Undo() {
    richWindow().undoCommand();
}

void TCustomRichEdit2::Redo() {
    richWindow().redoCommand();
}

void TCustomRichEdit2::CutToClipboard() {
    richWindow().cutSelection();
}

void TCustomRichEdit2::CopyToClipboard() {
    richWindow().copySelection();
}

void TCustomRichEdit2::PasteFromClipboard() {
    richWindow().pasteClipboard();
}

// A selection of one object adds the object's verbs and its properties to the popup menu, or
// makes a menu of them when there is no popup menu. What is added goes with the next request.
QMenu* TCustomRichEdit2::GetPopupMenu() {
    delete verbMenu_.data();
    QMenu* result = popupMenu_;
    richedit::RichEditObjects* objects = OleInterface();
    ole::TReObject record;
    if (!autoVerbMenu_ || SelectionKinds() != TSelectionKinds(TSelectionKind::skObject) || objects == nullptr ||
        !ole::succeeded(objects->getObject(ole::REO_IOB_SELECTION, &record, true)) || record.poleobj == nullptr ||
        (record.dwFlags & ole::REO_INPLACEACTIVE)) {
        return result;
    }
    verbMenu_ = new QMenu(this);
    for (const ole::OleVerb& verb : record.poleobj->verbs()) {
        if (verb.number < 0 || !verb.onContainerMenu) {
            break;
        }
        QAction* action = verbMenu_->addAction(verb.name);
        action->setData(verb.number);
        if (verb.number == 0) {
            verbMenu_->setDefaultAction(action);
        }
        const int number = verb.number;
        connect(action, &QAction::triggered, this, [this, number] { ExecuteVerb(number); });
    }
    const QString typeName = record.poleobj->fullTypeName();
    auto* properties = new QAction(QStringLiteral("%1 %2(&R)").arg(typeName, QStringLiteral("등록정보")), verbMenu_);
    connect(properties, &QAction::triggered, this, [this] { (void)ShowObjectPropertiesDialog(); });
    const bool hasVerbs = !verbMenu_->actions().isEmpty();
    if (result != nullptr && !result->actions().isEmpty()) {
        auto* separator = new QAction(verbMenu_);
        separator->setSeparator(true);
        result->addAction(separator);
        result->addAction(properties);
        if (hasVerbs) {
            verbMenu_->setTitle(typeName);
            result->addMenu(verbMenu_);
        }
    } else if (hasVerbs) {
        verbMenu_->insertAction(verbMenu_->actions().constFirst(), properties);
        result = verbMenu_;
    }
    return result;
}

// ---- notifications ----

void TCustomRichEdit2::wireWindow() {
    Notifications& n = window_->model().notifications();
    n.change = [this] {
        if (OnChange) {
            OnChange(this);
        }
    };
    n.selectionChange = [this] { DoSelectionChange(); };
    n.protectedChange = [this](const ProtectedNotify& notify) {
        const TMessage message{static_cast<unsigned>(notify.msg), notify.wParam, notify.lParam, 0};
        return DoProtectChange(message, notify.cpMin, notify.cpMax);
    };
    n.requestResize = [this](const QRect& rect) { DoResizeRequest(rect); };
    n.link = [this](const LinkNotify& notify) { handleLink(static_cast<int>(notify.msg), notify.cpMin, notify.cpMax); };
    n.saveClipboard = [this](int objects, int chars) { return DoSaveClipboard(objects, chars); };
}

void TCustomRichEdit2::DoSelectionChange() {
    if (OnSelectionChange) {
        OnSelectionChange(this);
    }
}

bool TCustomRichEdit2::DoProtectChange(const TMessage& message, int startPos, int endPos) {
    bool allow = false;
    if (OnProtectChangeEx) {
        OnProtectChangeEx(this, message, startPos, endPos, allow);
    } else if (OnProtectChange) {
        OnProtectChange(this, startPos, endPos, allow);
    }
    return allow;
}

bool TCustomRichEdit2::DoSaveClipboard(int numObjects, int numChars) {
    bool save = true;
    if (OnSaveClipboard) {
        OnSaveClipboard(this, numObjects, numChars, save);
    }
    return save;
}

void TCustomRichEdit2::DoURLClick(const QString& urlText, TMouseButton button) {
    if (OnURLClick) {
        OnURLClick(this, urlText, button);
    }
}

void TCustomRichEdit2::DoResizeRequest(const QRect& rect) {
    if (OnResizeRequest) {
        OnResizeRequest(this, rect);
    }
}

// A click on a link is a press and a release on the same link with the same button.
void TCustomRichEdit2::handleLink(int msg, int cpMin, int cpMax) {
    const auto mouse = static_cast<LinkMouse>(msg);
    if (mouse == LinkMouse::LeftDown || mouse == LinkMouse::RightDown) {
        linkStart_ = cpMin;
        linkEnd_ = cpMax;
        linkButtonRight_ = mouse == LinkMouse::RightDown;
    } else if (mouse == LinkMouse::LeftUp || mouse == LinkMouse::RightUp) {
        const bool right = mouse == LinkMouse::RightUp;
        const bool same = linkButtonRight_ == right && linkStart_ == cpMin && linkEnd_ == cpMax;
        linkStart_ = linkEnd_ = -1;
        if (same) {
            DoURLClick(TextRange(cpMin, cpMax), right ? TMouseButton::mbRight : TMouseButton::mbLeft);
        }
    }
}

// ---- input and the messages passing through ----

void TCustomRichEdit2::wireHooks() {
    WindowHooks& h = window_->hooks();
    auto raise = [this](std::function<void(QObject*)>& event) {
        return [this, &event] {
            if (event) {
                event(this);
            }
        };
    };
    h.afterPaint = raise(OnPaint);
    h.afterCut = raise(OnCut);
    h.afterCopy = raise(OnCopy);
    h.afterPaste = raise(OnPaste);
    h.beforeUndo = raise(OnUndoBefore);
    h.afterUndo = raise(OnUndo);
    h.afterScroll = [this](int type, int code, int position) {
        if (OnScroll) {
            OnScroll(this, static_cast<TScrollType>(type), static_cast<qint16>(code), static_cast<qint16>(position));
        }
    };
    h.allowDoubleClick = [this] {
        bool allow = true;
        if (OnDblClicking) {
            OnDblClicking(this, allow);
        }
        return allow;
    };
    h.input = [this](QEvent* event) { handleInput(event); };
    h.activateObject = [this] {
        if (SelectedObjectPresent()) {
            ExecuteVerb(ole::OLEIVERB_PRIMARY);
        }
    };
    h.contextMenu = [this](const QPoint& globalPos) {
        if (QMenu* menu = GetPopupMenu()) {
            menu->popup(globalPos);
        }
    };
}

// The object under the mouse: an embedded object is one character whose box holds the point.
int TCustomRichEdit2::objectIndexAt(const QPoint& point) const {
    const int cp = window_->charFromPos(point);
    for (const int at : {cp, cp - 1}) {
        if (at < 0 || document_->characterAt(at) != QChar::ObjectReplacementCharacter) {
            continue;
        }
        const QPoint topLeft = window_->posFromChar(at);
        const QPoint next = window_->posFromChar(at + 1);
        QTextCursor c(document_);
        c.setPosition(at);
        const int height = window_->cursorRect(c).height();
        const QRect box(topLeft, QSize(std::max(1, next.x() - topLeft.x()), height));
        if (next.y() == topLeft.y() && box.contains(point)) {
            // The object index knows the position of every picture and object: no copy of the
            // text on each mouse move.
            return window_->objects().indexAt(at);
        }
    }
    return -1;
}

void TCustomRichEdit2::handleInput(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            const QPoint p = window_->viewport()->mapTo(window_, e->position().toPoint());
            if (OnMouseDown) {
                OnMouseDown(this, toButton(e->button()), e->modifiers(), p.x(), p.y());
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            const QPoint p = window_->viewport()->mapTo(window_, e->position().toPoint());
            if (OnMouseUp) {
                OnMouseUp(this, toButton(e->button()), e->modifiers(), p.x(), p.y());
            }
            if (e->button() == Qt::LeftButton && OnClick) {
                OnClick(this);
            }
            break;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            const QPoint p = window_->viewport()->mapTo(window_, e->position().toPoint());
            mouseMoveObjectIndex_ = objectIndexAt(p);
            if (OnMouseMove) {
                OnMouseMove(this, e->modifiers(), p.x(), p.y());
            }
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (OnDblClick) {
                OnDblClick(this);
            }
            break;
        default:
            break;
    }
}

// Keys reach the control's key events before the window handles them; a handler that clears
// the key keeps it from the window.
bool TCustomRichEdit2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        auto& handler = event->type() == QEvent::FocusIn ? OnEnter : OnExit;
        if (handler) {
            handler(this);
        }
    }
    if (watched != window_ || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) {
        return QWidget::eventFilter(watched, event);
    }
    auto* e = static_cast<QKeyEvent*>(event);
    int key = e->key();
    if (event->type() == QEvent::KeyRelease) {
        if (OnKeyUp) {
            OnKeyUp(this, key, e->modifiers());
        }
        return key == 0;
    }
    if (OnKeyDown) {
        OnKeyDown(this, key, e->modifiers());
        if (key == 0) {
            return true;
        }
    }
    if (OnKeyPress && !e->text().isEmpty()) {
        QChar ch = e->text().at(0);
        OnKeyPress(this, ch);
        if (ch.isNull()) {
            return true;
        }
    }
    return false;
}

}  // namespace tk
