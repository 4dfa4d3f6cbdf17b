#pragma once

#include "InsertionLimit.h"

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

inline QCheckBox* checkBox(QWidget* parent, const char* name)
{
    auto* c = new QCheckBox(parent);
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
