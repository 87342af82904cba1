// The picture object server's entries: the interface version and the registration of its class.
#include "platform/object_server_plugin.h"
#include "servers/image_object.h"

#define TK_EXPORT extern "C" __attribute__((visibility("default")))

TK_EXPORT int TkObjectServerInterface() {
    return tk::ole::kObjectServerInterface;
}

TK_EXPORT void TkRegisterObjectServers(tk::ole::ObjectServers& servers) {
    tk::ole::ServerClass c;
    c.name = QLatin1String(tk::ole::kImageClassName);
    c.classId = tk::imageserver::kImageClassId;
    c.fullTypeName = QStringLiteral("그림");
    c.shortTypeName = QStringLiteral("그림");
    c.insertable = true;
    const tk::ole::ObjectServers* owner = &servers;
    c.create = [owner]() -> std::unique_ptr<tk::ole::OleObject> {
        return std::make_unique<tk::imageserver::ImageObject>(*owner);
    };
    servers.registerClass(std::move(c));
}
