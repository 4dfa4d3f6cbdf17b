#pragma once

#include "TForm11.h"

// Holds the exchange guard for a blocking display read, from before its PrepareLink to its
// end; nested holds (the history read at the end of a table read) leave it to the outer one.
// The window-system input that the read's waits deferred is dropped at the end, so that a
// click made during the read starts nothing afterwards.
class TForm11::ExchangeHold {
public:
    explicit ExchangeHold(TForm11& form);
    ~ExchangeHold();
    ExchangeHold(const ExchangeHold&) = delete;
    ExchangeHold& operator=(const ExchangeHold&) = delete;

private:
    TForm11& form_;
    bool outer_;
};
