#include "richedit/rich_edit_ole_callback.h"

#include "richedit/custom_rich_edit.h"

#include <new>

namespace tk {

using namespace tk::ole;

const QUuid TRichEditOleCallback::IID_IRichEditOleCallback{QStringLiteral("{03910D60-A35A-43B9-911F-E8D9C564EBDE}")};
const QUuid TRichEditOleCallback::IID_IUnknown{QStringLiteral("{31BE33AF-B97D-41C2-BAAD-7DD4D32D4606}")};

HRESULT TRichEditOleCallback::QueryInterface(const QUuid& iid, void** object) {
    if (iid == IID_IRichEditOleCallback || iid == IID_IUnknown) {
        *object = this;
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT TRichEditOleCallback::GetNewStorage(std::unique_ptr<QByteArray>* storage) {
    try {
        *storage = std::make_unique<QByteArray>();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT TRichEditOleCallback::QueryInsertObject(const QUuid& clsid) {
    if (!owner_.Options().testFlag(TRichOption::roOLEInsert)) {
        return S_FALSE;
    }
    bool canInsert = true;
    if (owner_.OnQueryInsertObject) {
        owner_.OnQueryInsertObject(&owner_, clsid, canInsert);
    }
    return canInsert ? S_OK : S_FALSE;
}

HRESULT TRichEditOleCallback::DeleteObject(const TReObject& reObject) {
    if (owner_.OnDeleteObject) {
        owner_.OnDeleteObject(&owner_, reObject);
    }
    if (reObject.poleobj != nullptr) {
        reObject.poleobj->close();
    }
    return S_OK;
}

}  // namespace tk
