#include "platform/ole_objects.h"

#include "platform/message_box.h"
#include "platform/shell_open.h"

#include <QFileDialog>

#include <algorithm>

namespace tk::ole {

QString errorText(HRESULT hr) {
    switch (hr) {
        case REGDB_E_CLASSNOTREG:
            return QStringLiteral("이 개체를 만드는 프로그램이 설치되어 있지 않습니다. 프로그램을 다시 설치하십시오.");
        case STG_E_FILENOTFOUND:
            return QStringLiteral("파일을 찾을 수 없습니다. 파일이 있는지 확인하십시오.");
        case STG_E_ACCESSDENIED:
            return QStringLiteral("파일을 읽을 수 없습니다. 파일을 읽을 권한이 있는지 확인하십시오.");
        case STG_E_WRITEFAULT:
        case STG_E_MEDIUMFULL:
            return QStringLiteral("임시 폴더에 파일을 쓸 수 없습니다. 디스크 공간을 확인하십시오.");
        case E_OUTOFMEMORY:
            return QStringLiteral("파일이 너무 큽니다. 더 작은 파일을 고르십시오.");
        case CTL_E_INVALIDPICTURE:
            return QStringLiteral("그림 파일을 읽을 수 없습니다. 파일이 손상되었거나 지원하지 않는 형식입니다.");
        default:
            return QStringLiteral("개체 작업을 하지 못했습니다(오류 %1). 다시 시도하십시오.")
                .arg(QString::number(quint32(hr), 16).toUpper());
    }
}

ObjectServers::ObjectServers() {
    host_.openFile = [](QWidget* parent, const QString& path) { return shellOpenFile(parent, path); };
    host_.showWarning = [](QWidget* parent, const QString& text) { Messages::show(parent, text, MsgKind::Warning); };
    host_.chooseFile = [](QWidget* parent, const QString& caption, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    };
}

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
