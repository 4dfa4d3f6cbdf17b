#include "SioPrst.h"

void TSioFlowControl::Assign(const TSioFlowControl& source)
{
    // The setters cannot raise inside the bracket: their reports wait for EndUpdate.
    BeginUpdate();
    SetOutCtsFlow(source.OutCtsFlow());
    SetOutDsrFlow(source.OutDsrFlow());
    SetControlDtr(source.ControlDtr());
    SetControlRts(source.ControlRts());
    SetXonXoffOut(source.XonXoffOut());
    SetXonXoffIn(source.XonXoffIn());
    SetDsrSensitivity(source.DsrSensitivity());
    SetTxContinueOnXoff(source.TxContinueOnXoff());
    EndUpdate();
}

void TSioEventChars::SetChar(int index, char value)
{
    if (index < XonIndex || index > EofIndex)
        return;
    chars_[index - 1] = value;
    Changed();
}

void TSioEventChars::Assign(const TSioEventChars& source)
{
    const char copy[5] = {source.XonChar(), source.XoffChar(), source.ErrorChar(),
                          source.EventChar(), source.EofChar()};
    BeginUpdate();
    for (int i = XonIndex; i <= EofIndex; ++i)
        SetChar(i, copy[i - 1]);
    EndUpdate();
}

void TSioBuffers::Assign(const TSioBuffers& source)
{
    BeginUpdate();
    readSize_ = source.readSize_;
    writeSize_ = source.writeSize_;
    readTimeout_ = source.readTimeout_;
    writeTimeout_ = source.writeTimeout_;
    xonLimit_ = source.xonLimit_;
    xoffLimit_ = source.xoffLimit_;
    EndUpdate();
}
