#pragma once

#include "richtext/rich_format.h"

#include <QByteArray>
#include <QImage>
#include <QSet>
#include <QTextImageFormat>

#include <vector>

class QTextDocument;

namespace tk::rtf {

// A picture as RTF describes it: its bytes and the control words around them.
struct RtfPicture {
    richformat::PictureType kind = richformat::PictureType::None;
    QByteArray data;
    QByteArray header;  // control words kept for writing back (\wmetafile8\picw..\pich..)
    int picW = 0;       // pixels for bitmaps, hundredths of a millimetre for metafiles
    int picH = 0;
    int goalW = 0;  // twips
    int goalH = 0;
    int scaleX = 100;
    int scaleY = 100;
    int bitmapBpp = 1;
    int bitmapRowBytes = 0;
};

// What one document's pictures may take, so that hostile input cannot exhaust memory: decoded
// pixels in all, and framed boxes of distinct sizes (further boxes share one scaled image).
struct PictureBudget {
    qint64 pixelsLeft = 64 * 1024 * 1024;
    int boxesLeft = 256;
};

// Largest picture decoded, in pixels; larger ones are shown as framed boxes.
inline constexpr qint64 kMaxPicturePixels = 6000 * 6000;

// Decodes PNG, JPEG, DIB and bitmap data and draws metafiles (at their displayed size) within the
// budget; a null image for anything not decodable and pictures beyond the budget.
QImage decodePicture(const RtfPicture& picture, PictureBudget& budget);

// A device-independent bitmap (a BMP file's contents after its file header), within the budget.
QImage decodeDib(const QByteArray& dib, PictureBudget& budget);

// Displayed size in twips, from the goal size, the scale and the picture's own size.
QSize pictureSizeTwips(const RtfPicture& picture, const QImage& image);
QSize pictureSizeTwips(const RtfPicture& picture, QSize imagePixels);

// PNG and JPEG pictures of a document being read, decoded once the whole document has been read,
// side by side on the processor's cores: documents with photographs spend most of their reading
// there.
class PendingPictures final {
  public:
    // Queues the picture under the resource name (once per name); boxPixels: the size of the
    // framed box shown should it not decode.
    void add(const QString& name, const RtfPicture& picture, QSize boxPixels);
    // Decodes what is queued and adds each picture to the document as its resource.
    void decodeInto(QTextDocument* document);

  private:
    struct Job {
        QString name;
        QByteArray data;
        richformat::PictureType kind;
        QSize boxPixels;
        QImage image;
    };
    std::vector<Job> jobs_;
    QSet<QString> names_;
};

// An image character showing the picture: decoded when it can be, otherwise a framed box of its
// size. The picture's bytes and header are kept on the format so that the writer puts them back.
// With pending, a PNG or JPEG is sized from its header and its decoding queued there.
QTextImageFormat pictureFormat(QTextDocument* document, const RtfPicture& picture, PictureBudget& budget,
                               PendingPictures* pending = nullptr);

// A framed box image of the size (in pixels, each side at most 2048), shown for a picture that
// cannot be drawn.
QImage framedBox(QSize pixels);

// A framed box image of the size (in pixels), registered as a resource; returns its name.
QString placeholderResource(QTextDocument* document, QSize pixels, PictureBudget& budget);

// The control words that go with kept PNG or JPEG bytes of a picture so many pixels in size:
// \pngblip\picwN\pichN (or \jpegblip ...).
QByteArray blipHeader(richformat::PictureType kind, QSize pixels);

// Twips limit for any picture dimension: 22 inches.
inline constexpr int kMaxPictureTwips = 31680;

}  // namespace tk::rtf
