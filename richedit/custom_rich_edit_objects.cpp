// The control's embedded objects: insertion, the object dialogs and the selected object.
#include "richedit/custom_rich_edit.h"

#include "platform/message_box.h"
#include "richedit/insert_object_dialog.h"
#include "richedit/object_properties_dialog.h"
#include "richedit/paste_special_dialog.h"
#include "richedit/rich_edit_ole_callback.h"
#include "richtext/rich_edit_window.h"

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QMainWindow>
#include <QMimeData>
#include <QScreen>

namespace tk {

using namespace tk::ole;
using richedit::RichEditObjects;

namespace {

QString objectFailureText() {
    return QStringLiteral("개체를 실행하지 못했습니다. 개체를 만든 프로그램이 설치되어 있는지 확인하십시오.");
}

}  // namespace

RichEditObjects* TCustomRichEdit2::OleInterface() const {
    return allowObjects_ && window_ != nullptr ? &window_->objects() : nullptr;
}

// The record goes to OnInsertObject, which may change it, and then into the window.
bool TCustomRichEdit2::insertRecord(TReObject& record, std::unique_ptr<OleObject> object) {
    record.poleobj = object.get();
    if (OnInsertObject) {
        OnInsertObject(this, record);
    }
    return succeeded(window_->objects().insertObject(record, std::move(object)));
}

void TCustomRichEdit2::InsertObjectByClassName(const QString& className, unsigned flags) {
    if (!allowObjects_) {
        return;
    }
    HandleNeeded();
    TReObject record;
    record.cp = SelectionStart();
    std::unique_ptr<QByteArray> storage;
    if (!succeeded(oleCallback_->GetNewStorage(&storage))) {
        return;
    }
    std::unique_ptr<OleObject> object = ObjectServers::instance().create(className);
    if (!object) {
        return;
    }
    record.dvaspect = DVASPECT_CONTENT;
    record.dwFlags = flags;
    (void)insertRecord(record, std::move(object));
}

void TCustomRichEdit2::CreateAndInsertObject(bool fromFile, const QString& classOrFile) {
    if (!allowObjects_) {
        return;
    }
    HandleNeeded();
    TReObject record;
    record.cp = SelectionStart();
    std::unique_ptr<OleObject> object = fromFile ? ObjectServers::instance().createFromFile(classOrFile)
                                                 : ObjectServers::instance().create(classOrFile);
    if (!object) {
        return;
    }
    // A new object of a class is opened first, so that one the user leaves empty (a picture
    // object whose file choice was cancelled) never enters the document.
    if (!fromFile && object->doVerb(OLEIVERB_SHOW, window_) != S_OK) {
        return;
    }
    record.dvaspect = DVASPECT_CONTENT;
    record.dwFlags = REO_RESIZABLE | REO_BELOWBASELINE | REO_DYNAMICSIZE;
    (void)insertRecord(record, std::move(object));
}

// The main form is the program's main window; the parent form is the window holding the control.
QWidget* TCustomRichEdit2::referenceWindow() const {
    switch (objectDialog_->Position) {
        case TObjectDialogPosition::dpMainFormCenter:
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (qobject_cast<QMainWindow*>(w) != nullptr && w->isVisible()) {
                    return w;
                }
            }
            return window();
        case TObjectDialogPosition::dpParentFormCenter:
            return window();
        case TObjectDialogPosition::dpScreenCenter:
            break;
    }
    return nullptr;
}

void TCustomRichEdit2::ShowInsertObjectDialog() {
    if (!allowObjects_) {
        return;
    }
    TInsertObjectDialog dialog(*objectDialog_, this);
    QWidget* reference = referenceWindow();
    dialog.setPlacement([this, reference](const QSize& size) {
        const QScreen* screen = reference != nullptr ? reference->screen() : this->screen();
        const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
        const QRect frame = reference != nullptr ? reference->frameGeometry() : QRect();
        return objectDialogPosition(size, area, reference != nullptr ? &frame : nullptr);
    });
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (dialog.createNew()) {
        CreateAndInsertObject(false, dialog.classId());
    } else {
        CreateAndInsertObject(true, dialog.fileName());
    }
}

// An object or link from the clipboard, inserted at the selection and left selected.
bool TCustomRichEdit2::pasteObject(int entry, bool asIcon) {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    std::unique_ptr<OleObject> object;
    unsigned flags = REO_RESIZABLE;
    if (entry == int(PasteEntry::EmbeddedObject)) {
        richedit::CopiedObject copied;
        if (richedit::decodeCopiedObject(data->data(QLatin1String(richedit::kObjectMimeType)), &copied)) {
            object = richedit::makeCopiedObject(copied);
        }
    } else {
        object = richedit::makeLinkedObject(TPasteSpecialDialog::linkSource(data));
        flags |= REO_LINK;
    }
    if (!object) {
        Messages::show(this,
                       QStringLiteral("클립보드의 개체를 붙여넣지 못했습니다. 개체를 만든 프로그램이 설치되어 "
                                      "있는지 확인하십시오."),
                       MsgKind::Error);
        return false;
    }
    TReObject record;
    record.cp = REO_CP_SELECTION;
    record.clsid = object->classId();
    record.dvaspect = asIcon ? DVASPECT_ICON : DVASPECT_CONTENT;
    record.dwFlags = flags;
    const int start = SelectionStart();
    if (!insertRecord(record, std::move(object))) {
        return false;
    }
    SetSelectionRange(start, start + 1, false);
    (void)window_->objects().setDvaspect(REO_IOB_SELECTION, record.dvaspect);
    return true;
}

bool TCustomRichEdit2::ShowPasteSpecialDialog() {
    if (!CanPaste() || OleInterface() == nullptr) {
        return false;
    }
    const QMimeData* data = QApplication::clipboard()->mimeData();
    TPasteSpecialDialog dialog(data, this);
    if (dialog.exec() != QDialog::Accepted || dialog.entryList()->count() == 0) {
        return false;
    }
    switch (dialog.selected()) {
        case PasteEntry::EmbeddedObject:
        case PasteEntry::LinkSource:
            (void)pasteObject(int(dialog.selected()), dialog.displayAsIcon());
            break;
        case PasteEntry::RichText:
            (void)window_->importData(QApplication::clipboard()->mimeData(), richedit::ClipFormat::RichText);
            break;
        case PasteEntry::Text:
            (void)window_->importData(QApplication::clipboard()->mimeData(), richedit::ClipFormat::Text);
            break;
        case PasteEntry::Bitmap:
            (void)window_->importData(QApplication::clipboard()->mimeData(), richedit::ClipFormat::Image);
            break;
    }
    window_->ensureCursorVisible();
    return true;
}

bool TCustomRichEdit2::ShowObjectPropertiesDialog() {
    RichEditObjects* objects = OleInterface();
    if (objects == nullptr || SelectionKinds() != TSelectionKinds(TSelectionKind::skObject)) {
        return false;
    }
    TReObject record;
    if (!succeeded(objects->getObject(REO_IOB_SELECTION, &record, true)) || record.poleobj == nullptr ||
        (record.dwFlags & REO_INPLACEACTIVE)) {
        return false;
    }
    TOleUIObjInfo objectInfo(*this, record);
    std::unique_ptr<TOleUILinkInfo> linkInfo;
    if (record.dwFlags & REO_LINK) {
        linkInfo = TOleUILinkInfo::create(*this, record);
    }
    TObjectPropertiesDialog dialog(objectInfo, linkInfo.get(),
                                   record.poleobj->fullTypeName() + QStringLiteral(" 등록정보"), this);
    return dialog.exec() == QDialog::Accepted;
}

bool TCustomRichEdit2::SelectedObjectPresent() const {
    TReObject record;
    return succeeded(GetSelectedObject(record));
}

// An object whose class is not registered (or whose data its server does not load) still shows
// its picture and has a record, but no instance: its record is filled and the result is
// REGDB_E_CLASSNOTREG, so that a caller never takes the missing instance for one.
HRESULT TCustomRichEdit2::GetSelectedObject(TReObject& reObject) const {
    RichEditObjects* objects = OleInterface();
    if (objects == nullptr) {
        return E_FAIL;
    }
    reObject = TReObject();
    const HRESULT hr = objects->getObject(REO_IOB_SELECTION, &reObject, true);
    return succeeded(hr) && reObject.poleobj == nullptr ? REGDB_E_CLASSNOTREG : hr;
}

void TCustomRichEdit2::CloseAllObjects() {
    if (RichEditObjects* objects = OleInterface()) {
        objects->closeAll();
    }
}

void TCustomRichEdit2::ExecuteVerb(int verb) {
    RichEditObjects* objects = OleInterface();
    TReObject record;
    if (objects == nullptr || !succeeded(objects->getObject(REO_IOB_SELECTION, &record, true)) ||
        record.poleobj == nullptr || (record.dwFlags & REO_INPLACEACTIVE)) {
        return;
    }
    if (!succeeded(record.poleobj->doVerb(verb, window_))) {
        Messages::show(this, objectFailureText(), MsgKind::Error);
    }
}

}  // namespace tk
