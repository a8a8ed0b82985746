#include "browser/commands/PageZoom.h"

#include <QString>

#include <algorithm>

const QList<int> &zoomSteps()
{
    static const QList<int> steps{25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500};
    return steps;
}

int boundedZoomPercent(int percent)
{
    if (percent <= 0)
        return 100;
    return std::clamp(percent, zoomSteps().constFirst(), zoomSteps().constLast());
}

int nextZoomPercent(int percent, int direction)
{
    if (direction == 0)
        return 100;
    const int current = boundedZoomPercent(percent);
    const QList<int> &steps = zoomSteps();
    if (direction > 0) {
        const auto next = std::upper_bound(steps.cbegin(), steps.cend(), current);
        return next == steps.cend() ? steps.constLast() : *next;
    }
    const auto next = std::lower_bound(steps.cbegin(), steps.cend(), current);
    return next == steps.cbegin() ? steps.constFirst() : *std::prev(next);
}

QString zoomLevelText(int percent)
{
    return QString::number(percent) + QLatin1Char('%');
}
