// The rich edit window's user input: keys, the input method, the mouse, links and the edit commands.
#include "richtext/rich_edit_window.h"

#include "richtext/rich_format.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>

namespace tk::richedit {
namespace {

bool isUndoKey(const QKeyEvent* event) {
    const auto mods = event->modifiers();
    return event->key() == Qt::Key_Z && (mods & Qt::ControlModifier) && !(mods & (Qt::AltModifier | Qt::ShiftModifier));
}

// Ctrl+Y as the system control has it, and Ctrl+Shift+Z as desktop editors have it.
bool isRedoKey(const QKeyEvent* event) {
    const auto mods = event->modifiers();
    if (!(mods & Qt::ControlModifier) || (mods & Qt::AltModifier)) {
        return false;
    }
    return (event->key() == Qt::Key_Y && !(mods & Qt::ShiftModifier)) ||
           (event->key() == Qt::Key_Z && (mods & Qt::ShiftModifier));
}

bool insertsText(const QKeyEvent* event) {
    if (event->text().isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        return false;
    }
    const QChar ch = event->text().at(0);
    return ch.isPrint() || ch == QLatin1Char('\t') || ch == QLatin1Char('\r') || ch == QLatin1Char('\n');
}

}  // namespace

// The range a key would change, checked against protected text before the key is handled.
bool RichEditWindow::editKeyAllowed(QKeyEvent* event) {
    QTextCursor c = textCursor();
    int from = c.selectionStart();
    int to = c.selectionEnd();
    const bool backspace = event->key() == Qt::Key_Backspace;
    const bool del = event->key() == Qt::Key_Delete;
    if ((backspace || del) && from == to) {
        QTextCursor probe = c;
        const bool word = event->modifiers() & Qt::ControlModifier;
        if (backspace) {
            probe.movePosition(word ? QTextCursor::PreviousWord : QTextCursor::PreviousCharacter,
                               QTextCursor::KeepAnchor);
        } else {
            probe.movePosition(word ? QTextCursor::NextWord : QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        }
        from = probe.selectionStart();
        to = probe.selectionEnd();
        if (from == to) {
            return true;
        }
    }
    const auto key = static_cast<quintptr>(backspace ? 0x08 : 0x2E);
    return model_->allowEdit(EditMessage::KeyDown, from, to, key);
}

bool RichEditWindow::typingAllowed(const QString& text) {
    QTextCursor c = textCursor();
    const int removed = c.selectionEnd() - c.selectionStart();
    if (model_->textLength() - removed + text.size() > model_->textLimit()) {
        QApplication::beep();
        return false;
    }
    const quintptr ch = text.isEmpty() ? 0 : text.at(0).unicode();
    if (!model_->allowEdit(EditMessage::Char, c.selectionStart(), c.selectionEnd(), ch)) {
        return false;
    }
    // Typed text does not take on the protection of the text before it, nor a picture's format.
    QTextCharFormat f = c.charFormat();
    if (f.hasProperty(richformat::Protected) || f.isAnchor() || richformat::hasPicture(f)) {
        f = richformat::withoutPicture(f);
        f.clearProperty(richformat::Protected);
        f.setAnchor(false);
        f.clearProperty(QTextFormat::AnchorHref);
        setCurrentCharFormat(f);
    }
    return true;
}

void RichEditWindow::keyPressEvent(QKeyEvent* event) {
    if (isUndoKey(event)) {
        if (model_->canUndo()) {
            undoCommand();
        }
    } else if (isRedoKey(event)) {
        redoCommand();
    } else if (event->matches(QKeySequence::Cut)) {
        cutSelection();
    } else if (event->matches(QKeySequence::Copy)) {
        copySelection();
    } else if (event->matches(QKeySequence::Paste)) {
        pasteClipboard();
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !wantReturns_) {
        event->ignore();
        return;
    } else if (!isReadOnly() && (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) &&
               !editKeyAllowed(event)) {
        event->accept();
    } else if (!isReadOnly() && insertsText(event) && !typingAllowed(event->text())) {
        event->accept();
    } else {
        QTextEdit::keyPressEvent(event);
    }
    if (hooks_.input) {
        hooks_.input(event);
    }
}

void RichEditWindow::keyReleaseEvent(QKeyEvent* event) {
    QTextEdit::keyReleaseEvent(event);
    if (hooks_.input) {
        hooks_.input(event);
    }
}

void RichEditWindow::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !isReadOnly()) {
        QTextCursor c = textCursor();
        if (!model_->allowEdit(EditMessage::InputMethod, c.selectionStart(), c.selectionEnd()) ||
            model_->textLength() - (c.selectionEnd() - c.selectionStart()) + event->commitString().size() >
                model_->textLimit()) {
            // Drop the composition as well, so that nothing half-typed stays on screen.
            QInputMethodEvent cancelled;
            QTextEdit::inputMethodEvent(&cancelled);
            return;
        }
    }
    QTextEdit::inputMethodEvent(event);
}

// ---- mouse ----

// A click in the selection bar left of the text selects the display line beside it, a double
// click the whole paragraph.
bool RichEditWindow::selectionBarClick(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QRect bar(0, viewport()->y(), viewport()->x(), viewport()->height());
    if (!(options_ & ECO_SELECTIONBAR) || event->button() != Qt::LeftButton || !bar.contains(pos)) {
        return false;
    }
    QTextCursor c = cursorForPosition(QPoint(0, pos.y() - viewport()->y()));
    if (event->type() == QEvent::MouseButtonDblClick) {
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    } else {
        c.movePosition(QTextCursor::StartOfLine);
        c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
    return true;
}

bool RichEditWindow::event(QEvent* event) {
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        selectionBarClick(static_cast<QMouseEvent*>(event))) {
        return true;
    }
    return QTextEdit::event(event);
}

bool RichEditWindow::sendLinkNotify(QMouseEvent* event, LinkMouse msg) {
    if (!(model_->eventMask() & ENM_LINK) || !model_->notifications().link) {
        return false;
    }
    TextSpan span;
    if (!linkUnderMouse(event->position().toPoint(), &span)) {
        return false;
    }
    model_->notifications().link(LinkNotify{msg, span.start, span.end});
    return true;
}

void RichEditWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        sendLinkNotify(event, LinkMouse::LeftDown);
    } else if (event->button() == Qt::RightButton) {
        sendLinkNotify(event, LinkMouse::RightDown);
    }
    // A click on a picture or object selects it whole, so that its menu and the commands act on
    // it; a click on one already selected is left to the text edit, which starts a drag from it.
    const bool plainClick = !(event->modifiers() & Qt::ShiftModifier) &&
                            (event->button() == Qt::LeftButton || event->button() == Qt::RightButton);
    if (!(plainClick && selectObjectAt(event->position().toPoint()))) {
        QTextEdit::mousePressEvent(event);
    }
    if (hooks_.input) {
        hooks_.input(event);
    }
}

int RichEditWindow::objectAt(const QPoint& point) const {
    const QPointF inDocument = point + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int hit = document()->documentLayout()->hitTest(inDocument, Qt::FuzzyHit);
    for (const int at : {hit, hit - 1}) {
        if (at < 0 || document()->characterAt(at) != QChar::ObjectReplacementCharacter) {
            continue;
        }
        QTextCursor c(document());
        c.setPosition(at);
        const QRect before = cursorRect(c);
        c.setPosition(at + 1);
        const QRect after = cursorRect(c);
        if (after.top() != before.top()) {
            continue;
        }
        const QRect box(before.topLeft(), QPoint(after.left(), std::max(before.bottom(), after.bottom())));
        if (box.contains(point)) {
            return at;
        }
    }
    return -1;
}

bool RichEditWindow::selectObjectAt(const QPoint& point) {
    const int at = objectAt(point);
    if (at < 0) {
        return false;
    }
    const QTextCursor current = textCursor();
    if (current.selectionStart() == at && current.selectionEnd() == at + 1) {
        return false;
    }
    QTextCursor c = current;
    c.setPosition(at);
    c.setPosition(at + 1, QTextCursor::KeepAnchor);
    setTextCursor(c);
    return true;
}

void RichEditWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        sendLinkNotify(event, LinkMouse::LeftUp);
    } else if (event->button() == Qt::RightButton) {
        sendLinkNotify(event, LinkMouse::RightUp);
    }
    QTextEdit::mouseReleaseEvent(event);
    if (hooks_.input) {
        hooks_.input(event);
    }
}

void RichEditWindow::mouseMoveEvent(QMouseEvent* event) {
    TextSpan span;
    const bool overLink = linkUnderMouse(event->position().toPoint(), &span);
    viewport()->setCursor(overLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    if (overLink) {
        sendLinkNotify(event, LinkMouse::Move);
    }
    QTextEdit::mouseMoveEvent(event);
    if (hooks_.input) {
        hooks_.input(event);
    }
}

void RichEditWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && hooks_.allowDoubleClick && !hooks_.allowDoubleClick()) {
        event->accept();
        return;
    }
    // A double click on a picture or object opens it with its first verb.
    if (event->button() == Qt::LeftButton && hooks_.activateObject && objectAt(event->position().toPoint()) >= 0) {
        selectObjectAt(event->position().toPoint());
        hooks_.activateObject();
        if (hooks_.input) {
            hooks_.input(event);
        }
        event->accept();
        return;
    }
    QTextEdit::mouseDoubleClickEvent(event);
    if (hooks_.input) {
        hooks_.input(event);
    }
}

void RichEditWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The window has no menu of its own; the owner shows its popup menu.
    if (hooks_.contextMenu) {
        hooks_.contextMenu(event->globalPos());
    }
    event->accept();
}

void RichEditWindow::paintEvent(QPaintEvent* event) {
    QTextEdit::paintEvent(event);
    paintListNumbers(event->rect());
    if (hooks_.afterPaint) {
        hooks_.afterPaint();
    }
}

// ---- edit commands ----

// Moving protected text by dragging it would delete it where it was: it is copied instead.
void RichEditWindow::dropEvent(QDropEvent* event) {
    const QTextCursor c = textCursor();
    if (event->source() == this && event->dropAction() == Qt::MoveAction &&
        model_->rangeTouchesProtected(c.selectionStart(), c.selectionEnd())) {
        event->setDropAction(Qt::CopyAction);
    }
    QTextEdit::dropEvent(event);
}

void RichEditWindow::cutSelection() {
    QTextCursor c = textCursor();
    if (isReadOnly() || !c.hasSelection() ||
        !model_->allowEdit(EditMessage::Cut, c.selectionStart(), c.selectionEnd())) {
        return;
    }
    cut();
    if (hooks_.afterCut) {
        hooks_.afterCut();
    }
}

void RichEditWindow::copySelection() {
    copy();
    if (hooks_.afterCopy) {
        hooks_.afterCopy();
    }
}

void RichEditWindow::pasteClipboard() {
    if (!isReadOnly()) {
        paste();
    }
    if (hooks_.afterPaste) {
        hooks_.afterPaste();
    }
}

void RichEditWindow::undoCommand() {
    if (hooks_.beforeUndo) {
        hooks_.beforeUndo();
    }
    model_->undo();
    if (hooks_.afterUndo) {
        hooks_.afterUndo();
    }
}

void RichEditWindow::redoCommand() {
    model_->redo();
}

}  // namespace tk::richedit
