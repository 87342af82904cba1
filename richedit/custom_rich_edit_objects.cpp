// The control's embedded objects: insertion, the object dialogs and the selected object.
#include "richedit/custom_rich_edit.h"

namespace tk {

void TCustomRichEdit2::InsertObjectByClassName(const QString& className, unsigned flags) {}

void TCustomRichEdit2::ShowInsertObjectDialog() {}

bool TCustomRichEdit2::ShowPasteSpecialDialog() {
    return false;
}

bool TCustomRichEdit2::ShowObjectPropertiesDialog() {
    return false;
}

bool TCustomRichEdit2::SelectedObjectPresent() const {
    return false;
}

ole::HRESULT TCustomRichEdit2::GetSelectedObject(ole::TReObject& reObject) const {
    return ole::E_FAIL;
}

void TCustomRichEdit2::CloseAllObjects() {}

}  // namespace tk
