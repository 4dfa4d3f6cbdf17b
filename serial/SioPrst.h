#pragma once

#include "SioClasses.h"
#include "SioTypes.h"

#include <cstdint>

// Flow control of the line. Each setter stores a changed value and reports the change.
class TSioFlowControl : public TSioPersistent {
public:
    bool OutCtsFlow() const { return outCtsFlow_; }
    bool OutDsrFlow() const { return outDsrFlow_; }
    TSioControlDtr ControlDtr() const { return controlDtr_; }
    TSioControlRts ControlRts() const { return controlRts_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DsrSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }

    void SetOutCtsFlow(bool value) { store(outCtsFlow_, value); }
    void SetOutDsrFlow(bool value) { store(outDsrFlow_, value); }
    void SetControlDtr(TSioControlDtr value) { store(controlDtr_, value); }
    void SetControlRts(TSioControlRts value) { store(controlRts_, value); }
    void SetXonXoffOut(bool value) { store(xonXoffOut_, value); }
    void SetXonXoffIn(bool value) { store(xonXoffIn_, value); }
    void SetDsrSensitivity(bool value) { store(dsrSensitivity_, value); }
    void SetTxContinueOnXoff(bool value) { store(txContinueOnXoff_, value); }

    // Copies all eight members, reporting one change.
    void Assign(const TSioFlowControl& source);

private:
    template <class T>
    void store(T& field, T value)
    {
        if (field != value) {
            field = value;
            Changed();
        }
    }

    bool outCtsFlow_ = false;
    bool outDsrFlow_ = false;
    TSioControlDtr controlDtr_ = dtrDisabled;
    TSioControlRts controlRts_ = rtsDisabled;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
};

// The five special characters. One indexed setter serves them all and reports every set,
// also of the value already held.
class TSioEventChars : public TSioPersistent {
public:
    enum Index { XonIndex = 1, XoffIndex = 2, ErrorIndex = 3, EventIndex = 4, EofIndex = 5 };

    char XonChar() const { return chars_[0]; }
    char XoffChar() const { return chars_[1]; }
    char ErrorChar() const { return chars_[2]; }
    char EventChar() const { return chars_[3]; }
    char EofChar() const { return chars_[4]; }

    // index 1 Xon, 2 Xoff, 3 Error, 4 Event, 5 Eof; other indices store nothing.
    void SetChar(int index, char value);
    void SetXonChar(char value) { SetChar(XonIndex, value); }
    void SetXoffChar(char value) { SetChar(XoffIndex, value); }
    void SetErrorChar(char value) { SetChar(ErrorIndex, value); }
    void SetEventChar(char value) { SetChar(EventIndex, value); }
    void SetEofChar(char value) { SetChar(EofIndex, value); }

    void Assign(const TSioEventChars& source);

private:
    char chars_[5] = {17, 19, 0, 0, 0};
};

// Buffer sizes and time-outs. The two time-outs are plain values: changing them reports
// nothing.
class TSioBuffers : public TSioPersistent {
public:
    std::int32_t ReadSize() const { return readSize_; }
    std::int32_t WriteSize() const { return writeSize_; }
    std::int32_t XonLimit() const { return xonLimit_; }
    std::int32_t XoffLimit() const { return xoffLimit_; }
    std::int32_t ReadTimeout() const { return readTimeout_; }
    std::int32_t WriteTimeout() const { return writeTimeout_; }

    // Values below 0 are stored as 0.
    void SetReadSize(std::int32_t value) { store(readSize_, value); }
    void SetWriteSize(std::int32_t value) { store(writeSize_, value); }
    void SetXonLimit(std::int32_t value) { store(xonLimit_, value); }
    void SetXoffLimit(std::int32_t value) { store(xoffLimit_, value); }
    void SetReadTimeout(std::int32_t value) { readTimeout_ = value < 0 ? 0 : value; }
    void SetWriteTimeout(std::int32_t value) { writeTimeout_ = value < 0 ? 0 : value; }

    // Copies all six values, reporting one change.
    void Assign(const TSioBuffers& source);

private:
    void store(std::int32_t& field, std::int32_t value)
    {
        if (value < 0)
            value = 0;
        if (field != value) {
            field = value;
            Changed();
        }
    }

    std::int32_t readSize_ = 4096;
    std::int32_t writeSize_ = 2048;
    std::int32_t readTimeout_ = 1000;
    std::int32_t writeTimeout_ = 1000;
    std::int32_t xonLimit_ = 1024;
    std::int32_t xoffLimit_ = 1024;
};
