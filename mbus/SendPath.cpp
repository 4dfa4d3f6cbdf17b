#include "SendPath.h"

const char* OperationWord(FrameBuilder builder)
{
    switch (builder) {
    case FrameBuilder::ReqUd2:
        return "reading device ";
    case FrameBuilder::SndNke:
        return "SND_NKE device ";
    case FrameBuilder::ApplicationReset:
        return "reset device ";
    case FrameBuilder::SetBaud:
        return "Change baud of device ";
    case FrameBuilder::SetPrimary:
        return "setting primary address, old is ";
    case FrameBuilder::SetId:
        return "changing ID ";
    case FrameBuilder::SetLiters:
    case FrameBuilder::SetValueVif:
        return "setting liters ";
    case FrameBuilder::SelectById:
        return "reading by secondary ";
    case FrameBuilder::SetMedium:
        return "setting medium to ";
    case FrameBuilder::SetUnit:
        return "setting unit to ";
    }
    return "";
}
