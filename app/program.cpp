#include "app/program.h"

#include "app/category_editor.h"
#include "app/entry_dialog.h"
#include "app/main_window.h"
#include "editor/editor_window.h"

#include <QApplication>
#include <QTimer>

namespace tk {

int runProgram(const std::function<void(TForm1&)>& onShown) {
    TForm1 form1;
    if (!form1.FormCreate()) {
        return 1;
    }
    TForm2 form2(&form1);
    form1.setCategoryEditor(&form2);
    form2.FormCreate();
    TForm3 form3(&form1);
    form1.setEditor(&form3);
    TForm4 form4(&form1);
    form1.setEntryDialog(&form4);

    form1.show();
    if (onShown) {
        QTimer::singleShot(0, &form1, [&form1, &onShown] { onShown(form1); });
    }
    return QApplication::exec();
}

}  // namespace tk
