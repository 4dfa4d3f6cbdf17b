#pragma once

#include "InsertionLimit.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

// The main window's controls are made here, each with its name as objectName, so that the
// tests and the language routine find it; a caption given later by the language routine may
// be left empty.

inline QPushButton* button(QWidget* parent, const char* name, const char* text = "")
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

inline QLabel* label(QWidget* parent, const char* name, const char* text = "")
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

inline QCheckBox* checkBox(QWidget* parent, const char* name, const char* text = "")
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    return c;
}

// A line edit that takes at most maxLength characters, only those of `allowed` when given.
inline QLineEdit* lineEdit(QWidget* parent, const char* name, int maxLength, const QString& allowed = {})
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    InsertionLimit::attach(e, maxLength, allowed);
    return e;
}

// An up-down of the given width. Its edit takes typed digits only, or nothing typed when it is
// read-only (the arrows still move it). A new spin box holds 0: with a range above 0 it starts
// at its lower bound.
inline UpDownEdit* upDown(QWidget* parent, const char* udName, const char* editName, int minimum, int maximum,
                          bool readOnly, int width)
{
    auto* ud = new UpDownEdit(parent, udName, editName, minimum, maximum, readOnly);
    ud->setFixedWidth(width);
    if (!readOnly)
        InsertionLimit::attach(ud->edit(), 0, QStringLiteral("0123456789"));
    return ud;
}
