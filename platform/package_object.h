#pragma once

#include "platform/ole_objects.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Embedded files: the class "Package". An object keeps a copy of a file with its name and the path
// it came from, shows the file type's icon with the name under it, and opens the copy with the
// desktop's program for it.
namespace tk::ole {

// Largest file embedded, and largest stored data read back.
inline constexpr qint64 kMaxPackageBytes = qint64(256) << 20;
// The class identifier word processors know embedded files by.
inline const QUuid kPackageClassId{QStringLiteral("{0003000C-0000-0000-C000-000000000046}")};

// What an embedded file's stored data holds.
struct PackageContents {
    QString label;       // the name shown and used when the file is opened
    QString sourcePath;  // where the file was taken from
    QByteArray data;
};

// The stored data in the classic packager layout other word processors read: a signature word 2,
// the label and the source path as NUL-terminated code-page strings, two words 0 and 3, the
// temporary path with its length, the file's size and bytes, then the three names again in UTF-16
// with their lengths, so that Korean names survive.
QByteArray encodePackage(const PackageContents& contents);
// The way back, every length checked against the data left; false for data that is cut short,
// lies about a length or holds more than kMaxPackageBytes.
[[nodiscard]] bool decodePackage(QByteArrayView stored, PackageContents* contents);

class PackageObject final : public OleObject {
  public:
    explicit PackageObject(const ObjectServers& servers) : servers_(servers) {}

    // A copy of the file; null with *result STG_E_FILENOTFOUND (missing or not a file),
    // E_OUTOFMEMORY (over kMaxPackageBytes) or STG_E_ACCESSDENIED (unreadable).
    static std::unique_ptr<PackageObject> fromFile(const ObjectServers& servers, const QString& path, HRESULT* result);

    QString className() const override { return QLatin1String(kPackageClassName); }
    QUuid classId() const override { return kPackageClassId; }
    QString fullTypeName() const override;
    QString shortTypeName() const override;
    QList<OleVerb> verbs() const override;
    HRESULT doVerb(int verb, QWidget* window) override;
    QByteArray save() const override { return encodePackage(contents_); }
    HRESULT load(const QByteArray& data) override;
    QImage picture() const override;
    QSize extentTwips() const override;

    const PackageContents& contents() const { return contents_; }

  private:
    const ObjectServers& servers_;
    PackageContents contents_;
    mutable QImage picture_;
};

// Registers the class "Package" (create from file included) with the servers.
void registerPackageServer(ObjectServers& servers);

}  // namespace tk::ole
