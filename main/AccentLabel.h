#pragma once

class QLabel;

// A label holding one grave accent, laid over the last "a" of a base label's text (its last
// character when the text has no "a"): the interface's 8-bit letters have no accented a, so
// "Velocita" reads with an accent this way. The accent is a sibling of its base; it never
// takes a click.
namespace AccentLabel {

// A hidden accent label beside base, named name, following it.
QLabel* create(QLabel* base, const char* name);
// Puts the accent over the letter by the base's font metrics and the place where the base
// draws its text. Run it after every change of the base's text.
void place(QLabel* accent, const QLabel* base);
// Places the accent again whenever the base moves, changes size or font, or is shown.
void follow(QLabel* accent, QLabel* base);

} // namespace AccentLabel
