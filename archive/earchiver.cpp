#include "archive/archiver_types.h"

namespace tk {

QString archiverMessageText(int id) {
    return QStringLiteral("Message texts are not linked into the program\nMissing message number: ") +
           QString::number(id);
}

EArchiver::EArchiver(int id, bool display) : id_(id), display_(display), text_(archiverMessageText(id)) {
    utf8_ = text_.toStdString();
}

EArchiver::EArchiver(int id, int detail, bool display) : EArchiver(id, QString::number(detail), display) {}

EArchiver::EArchiver(int id, const QString& detail, bool display)
    : id_(id), display_(display), text_(archiverMessageText(id) + detail) {
    utf8_ = text_.toStdString();
}

}  // namespace tk
