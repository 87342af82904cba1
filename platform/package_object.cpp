#include "platform/package_object.h"

#include "platform/byte_order.h"
#include "platform/codepage.h"
#include "platform/object_files.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

namespace tk::ole {

namespace {

constexpr int kIconPixels = 48;
constexpr QSize kPictureSize(128, 80);
constexpr qsizetype kMaxNameBytes = 4096;

// A NUL-terminated string of at most kMaxNameBytes bytes, without its NUL.
QByteArrayView cString(ByteReader& in) {
    const QByteArrayView all = in.rest();
    const QByteArrayView rest = all.first(std::min(all.size(), kMaxNameBytes + 1));
    const qsizetype nul = rest.indexOf('\0');
    if (nul < 0) {
        in.fail();
        return {};
    }
    const QByteArrayView out = in.bytes(nul);
    in.bytes(1);
    return out;
}

// UTF-16 text after its length in characters.
QString utf16(ByteReader& in) {
    const quint32 count = in.u32();
    const QByteArrayView raw = in.bytes(qint64(count) * 2);
    if (!in.ok() || count > kMaxNameBytes) {
        in.fail();
        return {};
    }
    QString text(qsizetype(count), Qt::Uninitialized);
    for (quint32 i = 0; i < count; ++i) {
        text[qsizetype(i)] = QChar(le16(raw.data() + 2 * i));
    }
    return text;
}

void appendUtf16(QByteArray& out, const QString& text) {
    appendLe(out, quint32(text.size()));
    for (const QChar c : text) {
        appendLe(out, c.unicode());
    }
}

QString fileNameOf(const PackageContents& contents) {
    return sanitizedFileName(contents.label.isEmpty() ? contents.sourcePath : contents.label, QStringLiteral("패키지"));
}

// A sheet of paper with a folded corner, for file types the icon theme does not know.
void drawFallbackIcon(QPainter& painter, const QRect& box) {
    const qreal fold = box.width() * 0.3;
    QPainterPath sheet;
    sheet.moveTo(box.left(), box.top());
    sheet.lineTo(box.right() - fold, box.top());
    sheet.lineTo(box.right(), box.top() + fold);
    sheet.lineTo(box.right(), box.bottom());
    sheet.lineTo(box.left(), box.bottom());
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(90, 90, 90), 1.5));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawPath(sheet);
    painter.drawLine(QPointF(box.right() - fold, box.top()), QPointF(box.right() - fold, box.top() + fold));
    painter.drawLine(QPointF(box.right() - fold, box.top() + fold), QPointF(box.right(), box.top() + fold));
}

QImage drawPicture(const PackageContents& contents) {
    QImage image(kPictureSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect iconBox((kPictureSize.width() - kIconPixels) / 2, 4, kIconPixels, kIconPixels);
    const QString name = fileNameOf(contents);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull() || icon.pixmap(kIconPixels).isNull()) {
        drawFallbackIcon(painter, iconBox.adjusted(6, 0, -6, 0));
    } else {
        painter.drawPixmap(iconBox, icon.pixmap(kIconPixels));
    }
    painter.setPen(Qt::black);
    const QRect textBox(2, iconBox.bottom() + 4, kPictureSize.width() - 4,
                        kPictureSize.height() - iconBox.bottom() - 6);
    const QString shown = painter.fontMetrics().elidedText(name, Qt::ElideMiddle, textBox.width());
    painter.drawText(textBox, Qt::AlignHCenter | Qt::AlignTop, shown);
    return image;
}

}  // namespace

QByteArray encodePackage(const PackageContents& contents) {
    const QString tempName = fileNameOf(contents);
    const QByteArray label = codepage::toAnsiBestEffort(contents.label);
    const QByteArray source = codepage::toAnsiBestEffort(contents.sourcePath);
    const QByteArray temp = codepage::toAnsiBestEffort(tempName);
    QByteArray out;
    out.reserve(contents.data.size() + 64 + (label.size() + source.size() + temp.size()) * 3);
    appendLe(out, quint16(2));
    out.append(label).append('\0');
    out.append(source).append('\0');
    appendLe(out, quint16(0));
    appendLe(out, quint16(3));
    appendLe(out, quint32(temp.size() + 1));
    out.append(temp).append('\0');
    appendLe(out, quint32(contents.data.size()));
    out.append(contents.data);
    appendUtf16(out, tempName);
    appendUtf16(out, contents.label);
    appendUtf16(out, contents.sourcePath);
    return out;
}

bool decodePackage(QByteArrayView stored, PackageContents* contents) {
    ByteReader in(stored);
    if (in.u16() != 2) {
        return false;
    }
    const QByteArrayView label = cString(in);
    const QByteArrayView source = cString(in);
    in.u16();
    const quint16 type = in.u16();
    const quint32 tempLength = in.u32();
    if (!in.ok() || type != 3 || tempLength > kMaxNameBytes) {
        return false;
    }
    in.bytes(tempLength);
    const quint32 size = in.u32();
    if (!in.ok() || size > kMaxPackageBytes) {
        return false;
    }
    const QByteArrayView data = in.bytes(size);
    if (!in.ok()) {
        return false;
    }
    PackageContents read{codepage::fromAnsi(label), codepage::fromAnsi(source), data.toByteArray()};
    // The UTF-16 names are optional; when they are there and whole they hold the names exactly.
    if (in.left() > 0) {
        utf16(in);
        const QString wideLabel = utf16(in);
        const QString wideSource = utf16(in);
        if (in.ok()) {
            read.label = wideLabel;
            read.sourcePath = wideSource;
        }
    }
    *contents = std::move(read);
    return true;
}

std::unique_ptr<PackageObject> PackageObject::fromFile(const ObjectServers& servers, const QString& path,
                                                       HRESULT* result) {
    const QFileInfo info(path);
    if (!info.isFile()) {
        *result = STG_E_FILENOTFOUND;
        return nullptr;
    }
    if (info.size() > kMaxPackageBytes) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *result = STG_E_ACCESSDENIED;
        return nullptr;
    }
    // Read no more than the cap even when the file grew after it was measured.
    QByteArray data = file.read(kMaxPackageBytes + 1);
    if (data.size() > kMaxPackageBytes) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    if (file.error() != QFileDevice::NoError) {
        *result = STG_E_ACCESSDENIED;
        return nullptr;
    }
    auto object = std::make_unique<PackageObject>(servers);
    object->contents_ = {info.fileName(), info.absoluteFilePath(), std::move(data)};
    *result = S_OK;
    return object;
}

QString PackageObject::fullTypeName() const {
    return QStringLiteral("패키지");
}

QString PackageObject::shortTypeName() const {
    return QStringLiteral("패키지");
}

QList<OleVerb> PackageObject::verbs() const {
    return {OleVerb{0, QStringLiteral("열기(&O)"), true}};
}

HRESULT PackageObject::doVerb(int verb, QWidget* window) {
    if (verb == OLEIVERB_HIDE) {
        return S_OK;
    }
    if (verb != OLEIVERB_PRIMARY && verb != OLEIVERB_OPEN && verb != OLEIVERB_SHOW) {
        return E_INVALIDARG;
    }
    QString path;
    const HRESULT written = writeObjectFile(servers_.host().scratchDir, fileNameOf(contents_), contents_.data, &path);
    if (!succeeded(written)) {
        return written;
    }
    const auto& open = servers_.host().openFile;
    return open && open(window, path) ? S_OK : S_FALSE;
}

HRESULT PackageObject::load(const QByteArray& data) {
    PackageContents read;
    if (!decodePackage(data, &read)) {
        return E_INVALIDARG;
    }
    contents_ = std::move(read);
    picture_ = QImage();
    if (changed) {
        changed();
    }
    return S_OK;
}

QImage PackageObject::picture() const {
    if (picture_.isNull()) {
        picture_ = drawPicture(contents_);
    }
    return picture_;
}

QSize PackageObject::extentTwips() const {
    return kPictureSize * 15;
}

void registerPackageServer(ObjectServers& servers) {
    ServerClass c;
    c.name = QLatin1String(kPackageClassName);
    c.classId = kPackageClassId;
    c.fullTypeName = QStringLiteral("패키지");
    c.shortTypeName = QStringLiteral("패키지");
    // A package is made from a file, never new and empty.
    c.insertable = false;
    const ObjectServers* owner = &servers;
    c.create = [owner]() -> std::unique_ptr<OleObject> { return std::make_unique<PackageObject>(*owner); };
    c.createFromFile = [owner](const QString& path, HRESULT* result) -> std::unique_ptr<OleObject> {
        return PackageObject::fromFile(*owner, path, result);
    };
    servers.registerClass(std::move(c));
}

}  // namespace tk::ole
