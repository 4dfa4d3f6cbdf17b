#include "ProgressSteps.h"

#include <QProgressBar>

#include <algorithm>

void ProgressSteps::setup(int minimum, int maximum, int position)
{
    bar_.setRange(minimum, std::max(maximum, minimum + 1));
    setPosition(position);
}

void ProgressSteps::setPosition(int position)
{
    position_ = position;
    bar_.setValue(std::clamp(position, bar_.minimum(), bar_.maximum()));
}

void ProgressSteps::show(bool visible)
{
    bar_.setVisible(visible);
}
