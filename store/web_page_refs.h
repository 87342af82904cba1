#pragma once

// The references of a saved web page and of its style sheets, as text: decoding the page, finding
// the URLs its markup and styles name, and turning a relative URL into a path below the page's
// folder. Nothing here touches the file system.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tk::webpage {

// A page's text as a browser may read it: by its byte order mark, else by the charset its <meta>
// names, else as UTF-8 and as the program's code page (Korean pages saved without a charset);
// the last gives two readings when the bytes are valid in both.
QStringList htmlReadings(const QByteArray& bytes);
// A style sheet's text: by its byte order mark, else by its @charset, else as for a page.
QStringList cssReadings(const QByteArray& bytes);

// The URLs the markup names, entity-decoded, in document order: src, href, xlink:href,
// background, poster and data attributes, each URL of a srcset, and url(...) and @import in style
// attributes and <style> blocks. Comments and script bodies are skipped.
QStringList htmlReferences(const QString& html);
// The URLs a style sheet names with url(...) or @import.
QStringList cssReferences(const QString& css);

// The "/"-separated path below the page's folder that url names when it appears in a file of the
// folder fromDir (relative to the page's folder, "" for the page itself). Empty when it names
// nothing there: a URL with a scheme or a host, an absolute path, a climb above the page's folder,
// the folder itself or the referring file (a bare "#fragment" or "?query").
QString resolveReference(const QString& fromDir, const QString& url);

}  // namespace tk::webpage
