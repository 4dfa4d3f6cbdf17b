#include "UpDownEdit.h"

#include <QLineEdit>

UpDownEdit::UpDownEdit(QWidget* parent, const char* udName, const char* editName, int minimum,
                       int maximum, bool readOnlyEdit)
    : QSpinBox(parent)
{
    setObjectName(udName);
    lineEdit()->setObjectName(editName);
    setRange(minimum, maximum);
    // Only the edit is read-only: QAbstractSpinBox::setReadOnly would stop the arrows too.
    lineEdit()->setReadOnly(readOnlyEdit);
}
