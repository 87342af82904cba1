// The rich text control's search, find and replace dialogs and printing.
#include "richedit/custom_rich_edit.h"

#include "richtext/rich_edit_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPrinter>
#include <QScreen>
#include <QTextCursor>

#include <algorithm>

namespace tk {

using namespace tk::richedit;

namespace {

QPrinter* thePrinter = nullptr;

// The program's printer, as the print dialog left it; gone before the application is.
QPrinter& programPrinter() {
    if (thePrinter == nullptr) {
        thePrinter = new QPrinter(QPrinter::HighResolution);
        // Margins a reader expects; a printer that needs more keeps its own.
        thePrinter->setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        qAddPostRoutine([] {
            delete thePrinter;
            thePrinter = nullptr;
        });
    }
    return *thePrinter;
}

// The window's search flags for a search with these options.
quint32 findFlags(TSearchTypes options) {
    quint32 flags = options.testFlag(TSearchType::stBackward) ? 0 : FR_DOWN;
    if (options.testFlag(TSearchType::stWholeWord)) {
        flags |= FR_WHOLEWORD;
    }
    if (options.testFlag(TSearchType::stMatchCase)) {
        flags |= FR_MATCHCASE;
    }
    return flags;
}

// The search a find dialog's settings ask for.
TSearchTypes searchTypes(TFindOptions settings) {
    TSearchTypes options;
    if (!settings.testFlag(TFindOption::frDown)) {
        options |= TSearchType::stBackward;
    }
    if (settings.testFlag(TFindOption::frMatchCase)) {
        options |= TSearchType::stMatchCase;
    }
    if (settings.testFlag(TFindOption::frWholeWord)) {
        options |= TSearchType::stWholeWord;
    }
    return options;
}

}  // namespace

int TCustomRichEdit2::SearchText(const QString& searchStr, int startPos, int length, TSearchTypes options) {
    RichEditModel& model = editModel();
    const quint32 flags = findFlags(options);
    const int span = std::abs(length);
    const int from = (flags & FR_DOWN) ? startPos : std::max(0, startPos - span + 1);
    const int to = (flags & FR_DOWN) ? startPos + span : startPos;
    int matchEnd = 0;
    const int found = model.findText(searchStr, from, std::max(from, to), flags, &matchEnd);
    if (found >= 0 && options.testFlag(TSearchType::stSelectFound)) {
        model.setSelection(found, matchEnd);
        window_->ensureCursorVisible();
    }
    focusAfterSearch();
    return found;
}

void TCustomRichEdit2::focusAfterSearch() {
    if (window_->isVisible() && window_->isEnabled()) {
        window_->activateWindow();
        window_->setFocus(Qt::OtherFocusReason);
    }
}

bool TCustomRichEdit2::FindWithDialog(TFindDialog* dialog, bool placeDialog, bool reportFailure) {
    const TSearchTypes options = searchTypes(dialog->Options()) | TSearchType::stSelectFound;
    const int selStart = SelectionStart();
    const int selEnd = selStart + SelectionLength();
    int start = 0;
    int length = 0;
    if (!options.testFlag(TSearchType::stBackward)) {
        start = std::max(selStart, selEnd);
        length = editModel().textLength() + 1 - start;
    } else {
        start = std::min(selStart, selEnd);
        length = start + 1;
    }
    const bool found = SearchText(dialog->FindText(), start, length, options) >= 0;
    if (!dialog->FindText().isEmpty()) {
        lastFindDialog_ = dialog;
    }
    if (found && placeDialog) {
        PlaceFindDialog(dialog);
    } else if (!found && reportFailure) {
        DoTextNotFound(dialog);
    }
    return found;
}

// A new dialog starts from the other dialog's text, searches on Enter and reports its closing.
void TCustomRichEdit2::wireFindDialog(TFindDialog* dialog, const TFindDialog* other) {
    if (other != nullptr) {
        dialog->SetFindText(other->FindText());
    }
    dialog->OnFind = [this, dialog](QObject*) { FindWithDialog(dialog, true, true); };
    dialog->OnClose = [this, dialog](QObject*) { DoCloseFindDialog(dialog); };
}

TFindDialog* TCustomRichEdit2::ShowFindDialog(const QString& searchStr) {
    if (!findDialog_) {
        findDialog_ = new TFindDialog(this);
        wireFindDialog(findDialog_, replaceDialog_);
    }
    if (!searchStr.isEmpty()) {
        findDialog_->SetFindText(searchStr);
    }
    findDialog_->Execute();
    return findDialog_;
}

TReplaceDialog* TCustomRichEdit2::ShowReplaceDialog(const QString& searchStr, const QString& replaceStr) {
    if (!replaceDialog_) {
        replaceDialog_ = new TReplaceDialog(this);
        wireFindDialog(replaceDialog_, findDialog_);
        TReplaceDialog* dialog = replaceDialog_;
        replaceDialog_->OnReplace = [this, dialog](QObject*) { ReplaceDialogReplace(dialog); };
    }
    if (!searchStr.isEmpty()) {
        replaceDialog_->SetFindText(searchStr);
    }
    if (!replaceStr.isEmpty()) {
        replaceDialog_->SetReplaceText(replaceStr);
    }
    replaceDialog_->Execute();
    return replaceDialog_;
}

void TCustomRichEdit2::ReplaceDialogReplace(TReplaceDialog* dialog) {
    const TFindOptions settings = dialog->Options();
    if (settings.testFlag(TFindOption::frReplaceAll)) {
        replaceAll(dialog);
    } else if (settings.testFlag(TFindOption::frReplace) && FindWithDialog(dialog, true, true)) {
        SetSelectedText(dialog->ReplaceText());
    }
}

// Replaces every match after the selection, as repeated downward searches with the dialog's
// options, each replacing what it found and leaving it selected. The window's change
// notification and the selection event are held back meanwhile and raised once at the end, and
// only when something was replaced. Every search starts after the text inserted last, so a
// replace text that holds the find text cannot make it run forever.
int TCustomRichEdit2::replaceAll(TReplaceDialog* dialog) {
    RichEditModel& model = editModel();
    const QString what = dialog->FindText();
    if (!what.isEmpty()) {
        lastFindDialog_ = dialog;
    }
    // Always downward: the replace dialog offers no direction.
    const quint32 flags = findFlags(searchTypes(dialog->Options()) & ~TSearchTypes(TSearchType::stBackward));
    auto selectionEvent = std::move(OnSelectionChange);
    OnSelectionChange = nullptr;
    const quint32 mask = model.setEventMask(model.eventMask() & ~ENM_CHANGE);
    // One edit block, which one undo takes back, and no layout until it is over.
    model.beginLargeEdit();
    QTextCursor edit(document_);
    edit.beginEditBlock();
    const int count = model.replaceAll(what, dialog->ReplaceText(), model.selectionEnd(), flags, undoLimit_ > 1);
    edit.endEditBlock();
    model.endLargeEdit();
    focusAfterSearch();
    model.setEventMask(mask);
    OnSelectionChange = std::move(selectionEvent);
    if (count == 0) {
        DoTextNotFound(dialog);
        return 0;
    }
    // The view follows the last replacement once the layout, started afresh, has got there.
    window_->whenCaretLaidOut([this, placed = QPointer<TFindDialog>(dialog)] {
        window_->ensureCursorVisible();
        PlaceFindDialog(placed);
    });
    if (OnChange) {
        OnChange(this);
    }
    if (OnSelectionChange) {
        OnSelectionChange(this);
    }
    return count;
}

bool TCustomRichEdit2::CanFindNextMatch() const {
    return window_ != nullptr && lastFindDialog_ && !lastFindDialog_->FindText().isEmpty();
}

bool TCustomRichEdit2::FindNextMatch() {
    return CanFindNextMatch() && FindWithDialog(lastFindDialog_, false, true);
}

// Moves the dialog above the found text when there is room there, else below it.
void TCustomRichEdit2::PlaceFindDialog(TFindDialog* dialog) {
    if (dialog == nullptr || !dialog->isVisible() || window_ == nullptr) {
        return;
    }
    const int selStart = SelectionStart();
    const QPoint p1 = window_->viewport()->mapToGlobal(CharPosition(selStart));
    QPoint p2 = window_->viewport()->mapToGlobal(CharPosition(selStart + SelectionLength()));
    p2.ry() += 20;
    QRect r = dialog->frameGeometry();
    if (!r.contains(p1) && !r.contains(p2)) {
        return;
    }
    const int h = r.height();
    const QScreen* screen = dialog->screen() != nullptr ? dialog->screen() : QGuiApplication::primaryScreen();
    const int screenHeight = screen != nullptr ? screen->geometry().height() : 0;
    if (h + 20 < p1.y()) {
        r.translate(0, p1.y() - r.bottom() - 20);
    } else if (p1.y() + h < screenHeight) {
        r.moveTop(p1.y() + 40);
    }
    if (r.topLeft() != dialog->frameGeometry().topLeft()) {
        dialog->move(r.topLeft());
    }
}

void TCustomRichEdit2::DoTextNotFound(TFindDialog* dialog) {
    if (OnTextNotFound) {
        OnTextNotFound(this, dialog->FindText());
    }
}

void TCustomRichEdit2::DoCloseFindDialog(TFindDialog* dialog) {
    if (OnCloseFindDialog) {
        OnCloseFindDialog(this, dialog);
    }
}

QPrinter& TCustomRichEdit2::Printer() {
    return printer_ != nullptr ? *printer_ : programPrinter();
}

bool TCustomRichEdit2::PrintDocument(const QString& title) {
    return printRichText(editModel(), Printer(), title, &printOutcome_);
}

}  // namespace tk
