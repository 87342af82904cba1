#pragma once

#include "platform/ole_objects.h"
#include "servers/image_data.h"

// A picture embedded as an object of the class "ZIZazidi.QEImage": it keeps the picture file as it
// was chosen and shows its decoded image.
namespace tk::imageserver {

inline const QUuid kImageClassId{QStringLiteral("{5E3C2A71-8F4B-4C1D-9A26-3B7D0E5F8C41}")};

class ImageObject final : public ole::OleObject, public ole::IQEImage {
  public:
    explicit ImageObject(const ole::ObjectServers& servers) : servers_(servers) {}

    QString className() const override { return QLatin1String(ole::kImageClassName); }
    QUuid classId() const override { return kImageClassId; }
    QString fullTypeName() const override;
    QString shortTypeName() const override;
    QList<ole::OleVerb> verbs() const override;
    ole::HRESULT doVerb(int verb, QWidget* window) override;
    QByteArray save() const override;
    // Stored data that no longer decodes (a damaged or hostile document) is kept as it is and
    // shown as a framed box; it is not an error.
    ole::HRESULT load(const QByteArray& data) override;
    QImage picture() const override;
    QSize extentTwips() const override;
    QByteArray encodedPicture(QByteArray* kind) const override;
    void* queryInterface(const QUuid& iid) override;

    ole::HRESULT LoadFromFile(const QString& fileName) override;
    ole::HRESULT SetUpdating(bool updating) override;
    ole::HRESULT SetAutoSize(bool autoSize) override;

  private:
    void notifyChanged();
    ole::HRESULT chooseAndLoad(QWidget* window);

    const ole::ObjectServers& servers_;
    StoredImage stored_;
    // Decoded when first shown: a document's pictures are already shown from the document's own
    // copy, so objects read with it need not decode theirs a second time.
    mutable QImage image_;
    mutable bool decoded_ = false;
    // The stored data as loaded, given back unchanged until the object changes.
    QByteArray loaded_;
    bool keepLoaded_ = false;
    bool updating_ = false;
    bool changePending_ = false;
};

}  // namespace tk::imageserver
