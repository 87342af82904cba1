#include "platform/ole_objects.h"

#include <algorithm>

namespace tk::ole {

ObjectServers& ObjectServers::instance() {
    static ObjectServers servers;
    return servers;
}

void ObjectServers::registerClass(ServerClass serverClass) {
    unregisterClass(serverClass.name);
    classes_.push_back(std::move(serverClass));
}

void ObjectServers::unregisterClass(const QString& name) {
    std::erase_if(classes_, [&](const ServerClass& c) { return c.name.compare(name, Qt::CaseInsensitive) == 0; });
}

const ServerClass* ObjectServers::find(const QString& nameOrClassId) const {
    const QUuid id(nameOrClassId);
    const bool braced = nameOrClassId.startsWith(u'{') && !id.isNull();
    for (const ServerClass& c : classes_) {
        if (braced ? c.classId == id : c.name.compare(nameOrClassId, Qt::CaseInsensitive) == 0) {
            return &c;
        }
    }
    return nullptr;
}

std::vector<const ServerClass*> ObjectServers::classes() const {
    std::vector<const ServerClass*> out;
    out.reserve(classes_.size());
    for (const ServerClass& c : classes_) {
        out.push_back(&c);
    }
    return out;
}

std::unique_ptr<OleObject> ObjectServers::create(const QString& nameOrClassId, HRESULT* result) const {
    HRESULT ignored = S_OK;
    HRESULT& hr = result ? *result : ignored;
    const ServerClass* c = find(nameOrClassId);
    if (c == nullptr || !c->create) {
        hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    std::unique_ptr<OleObject> object = c->create();
    hr = object ? S_OK : E_FAIL;
    return object;
}

std::unique_ptr<OleObject> ObjectServers::createFromFile(const QString& path, HRESULT* result) const {
    HRESULT ignored = S_OK;
    HRESULT& hr = result ? *result : ignored;
    const ServerClass* c = find(QLatin1String(kPackageClassName));
    if (c == nullptr || !c->createFromFile) {
        hr = REGDB_E_CLASSNOTREG;
        return nullptr;
    }
    hr = S_OK;
    std::unique_ptr<OleObject> object = c->createFromFile(path, &hr);
    if (!object && succeeded(hr)) {
        hr = E_FAIL;
    }
    return object;
}

}  // namespace tk::ole
