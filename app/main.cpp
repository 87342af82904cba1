// The program entry: creates the windows in order and runs until the main window closes.
#include "app/category_editor.h"
#include "app/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TOMEKEEP"));
    QApplication::setApplicationDisplayName(QStringLiteral("TOMEKEEP"));

    tk::TForm1 form1;
    if (!form1.FormCreate()) {
        return 1;
    }
    tk::TForm2 form2(&form1);
    form1.setCategoryEditor(&form2);
    form2.FormCreate();

    form1.show();
    return QApplication::exec();
}
