#include "EnableTimer.h"

#include <QTimer>

void enableTimer(QTimer& timer)
{
    if (!timer.isActive())
        timer.start();
}
