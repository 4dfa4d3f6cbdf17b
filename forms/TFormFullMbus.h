#pragma once

#include "LogModel.h"

#include <QWidget>

class LogView;
class Prompts;
class QPushButton;

// The detailed report window: the full decoding of a meter's reply, line by line, which the
// user can clear, save as a text file or hide. It is created hidden and only shown and hidden
// afterwards; the report accumulates until cleared. The window has no close button.
class TFormFullMbus : public QWidget {
    Q_OBJECT
public:
    explicit TFormFullMbus(Prompts& prompts, QWidget* parent = nullptr);

    // The report's lines, which Memo_fullMbus shows; one empty line at start.
    LogModel& report() { return report_; }

    LogView* Memo_fullMbus;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();

private:
    Prompts& prompts_;
    LogModel report_;
};
