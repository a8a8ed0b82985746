#pragma once

#include <QList>

// The page zoom's levels, in percent, from 25 to 500, as browsers step them.
const QList<int> &zoomSteps();

// The level one step in `direction` (positive: larger, negative: smaller)
// from `percent`, which need not be a step itself; at either end it stays.
// Direction 0 is the reset to 100.
int nextZoomPercent(int percent, int direction);

// A stored or requested level brought into 25..500; 100 for nonsense.
int boundedZoomPercent(int percent);

// The short text shown while the level changes, e.g. "125%".
QString zoomLevelText(int percent);
