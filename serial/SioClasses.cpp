#include "SioClasses.h"

void TSioPersistent::BeginUpdate()
{
    ++updateCount_;
}

void TSioPersistent::EndUpdate()
{
    if (updateCount_ > 0)
        --updateCount_;
    Changed();
}

void TSioPersistent::Changed()
{
    if (updateCount_ == 0 && onChange_)
        onChange_(*this);
}

