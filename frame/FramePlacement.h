#pragma once

#include <QRect>
#include <QSize>

// Where the main frame goes inside the full-screen area: 1000 x 600 centred,
// or the whole extent along a side that is not larger than that. The result
// is relative to the area's top-left corner.
QRect framePlacement(QSize fullScreenArea);
