#include "frame/FramePlacement.h"

namespace {

constexpr int frameWidth = 1000;
constexpr int frameHeight = 600;

struct Span
{
    int start;
    int length;
};

// One side at a time: centred at the fixed length when there is room to
// spare, else the whole side.
Span placeAlong(int available, int wanted)
{
    if (available > wanted)
        return {(available - wanted) / 2, wanted};
    return {0, available};
}

} // namespace

QRect framePlacement(QSize fullScreenArea)
{
    const Span x = placeAlong(fullScreenArea.width(), frameWidth);
    const Span y = placeAlong(fullScreenArea.height(), frameHeight);
    return QRect(x.start, y.start, x.length, y.length);
}
