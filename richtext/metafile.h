#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

// Windows metafiles (WMF, with or without their placeable header) and enhanced metafiles (EMF),
// as pictures in documents and picture objects keep them: their natural size and their drawing.
namespace tk::metafile {

enum class Kind { Wmf, Emf };

// Largest metafile drawn; larger data is refused before any record is read.
inline constexpr qsizetype kMaxMetafileBytes = qsizetype(64) << 20;
// Largest drawing made, per side in pixels (22 inches at 96 dots per inch).
inline constexpr int kMaxMetafilePixels = 2112;

// The kind the data says it is by its first bytes (the placeable key or the EMF header's
// signature), or false when it is neither.
bool sniff(QByteArrayView data, Kind* kind);

// The size the metafile asks to be shown at, in twips: the placeable header's box and units an
// inch, or the EMF header's frame. Empty when the data does not say (a bare WMF) or is broken.
QSize naturalSizeTwips(Kind kind, QByteArrayView data);

// The metafile drawn on a transparent image of the size in pixels (each side capped at
// kMaxMetafilePixels); a null image when the data is not a metafile that can be drawn.
QImage render(Kind kind, QByteArrayView data, QSize pixels);

}  // namespace tk::metafile
