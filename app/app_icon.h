#pragma once

#include <QImage>

namespace tk {

// The program's icon at size × size pixels: a bound book with a bookmark on a navy tile. The
// installed scalable icon (app/install/tomekeep.svg) draws the same shapes.
QImage paintAppIcon(int size);

}  // namespace tk
