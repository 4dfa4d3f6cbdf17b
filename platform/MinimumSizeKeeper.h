#pragma once

class QWidget;

// Keeps a resizable window at its minimum size or larger. A window manager takes the minimum
// from the window's size hints; without one, or with one that ignores them, the window system
// can still make the window smaller, and its layout would squeeze the controls below what
// their texts need. Such a size is undone at once.
void keepMinimumSize(QWidget& window);
