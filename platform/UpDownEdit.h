#pragma once

#include <QSpinBox>

class QLineEdit;

// An up-down control with its edit field: one spin box whose line edit is reachable, so
// that both carry their names (UD_... on the box, Edit_... on its edit). A value set outside
// the range takes the nearer end.
class UpDownEdit : public QSpinBox {
    Q_OBJECT
public:
    // The spin box gets udName, its line edit editName. A read-only edit still lets the
    // arrows (buttons and keys) move the position; only typing is refused.
    UpDownEdit(QWidget* parent, const char* udName, const char* editName, int minimum,
               int maximum, bool readOnlyEdit);

    QLineEdit* edit() const { return lineEdit(); }
};
