#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Judges only what the user inserts into a line edit (typing, pasting, dropping): an insertion
// holding a character outside allowed is refused whole (the text stays as it was), and an
// insertion is cut so that the text does not grow beyond maxLength. Text the program sets is never judged, so a loaded text longer than the
// limit is shown whole and can still be shortened. Line breaks are never inserted.
//
// QLineEdit::setMaxLength would cut loaded text as well, and a validator on the whole text
// would refuse deletions from such a text; hence this.
class InsertionLimit : public QObject {
    Q_OBJECT
public:
    // maxLength 0: no limit. allowed empty: every character but CR and LF.
    static InsertionLimit* attach(QLineEdit* edit, int maxLength, const QString& allowed = {});

    int maxLength() const { return maxLength_; }

private:
    InsertionLimit(QLineEdit* edit, int maxLength, const QString& allowed);
    void edited(const QString& now);

    QLineEdit* edit_;
    int maxLength_;
    QString allowed_;
    QString previous_;   // the text before the user's change
};
