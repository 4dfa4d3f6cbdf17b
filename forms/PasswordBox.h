#pragma once

#include <QLineEdit>
#include <QString>

// Empties a password box. setText drops the box's undo history, which clear() would keep,
// with every typed character in it.
inline void forget(QLineEdit* edit)
{
    edit->setText(QString());
}
