#pragma once

class QProgressBar;

// The main window's progress bar as the runs step it. QProgressBar ignores a value outside its
// range and turns into a busy animation when minimum and maximum are equal; here the position
// may run past either end (it is shown clamped) and the range is at least one step wide.
class ProgressSteps {
public:
    explicit ProgressSteps(QProgressBar& bar) : bar_(bar) {}

    // Sets the range and the position; the bar's visibility is not changed.
    void setup(int minimum, int maximum, int position);
    void setPosition(int position);
    void advance() { setPosition(position_ + 1); }
    int position() const { return position_; }
    void show(bool visible);

private:
    QProgressBar& bar_;
    int position_ = 0;
};
