#pragma once

#include <QString>

class QPrinter;

namespace tk {

namespace richedit {
class RichEditModel;
}

// How printing a document went: the pages printed and, on a failure, what to tell the user.
struct PrintOutcome {
    int pages = 0;
    QString errorString;
};

// Prints the whole text of the window as one job named title: page after page through the
// window's format-range method, each page the printer's printable area. False when the printer
// could not start the job (errorString says so in Korean). The formatting cache is emptied
// before and after, whatever happens.
[[nodiscard]] bool printRichText(richedit::RichEditModel& model, QPrinter& printer, const QString& title,
                                 PrintOutcome* outcome);

}  // namespace tk
