#include "InsertionLimit.h"

#include <QLineEdit>

#include <algorithm>

InsertionLimit* InsertionLimit::attach(QLineEdit* edit, int maxLength, const QString& allowed)
{
    return new InsertionLimit(edit, maxLength, allowed);
}

InsertionLimit::InsertionLimit(QLineEdit* edit, int maxLength, const QString& allowed)
    : QObject(edit), edit_(edit), maxLength_(maxLength), allowed_(allowed), previous_(edit->text())
{
    setObjectName("InsertionLimit");
    // textEdited comes before textChanged, so previous_ still holds the old text in edited().
    // The edit's own text is taken, not the signal's: a correction made in edited() changes it.
    connect(edit, &QLineEdit::textChanged, this, [this] { previous_ = edit_->text(); });
    connect(edit, &QLineEdit::textEdited, this, &InsertionLimit::edited);
}

void InsertionLimit::edited(const QString& now)
{
    const QString& old = previous_;
    // The changed span: what lies between the common start and the common end.
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head])
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head
           && old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const QString inserted = now.mid(head, now.size() - head - tail);

    // An insertion that holds a character the field does not take is refused whole, as a
    // refused key is: a paste of "12a4" must not become the different value "124". Line
    // breaks are only dropped, so a pasted line with its line end still goes in.
    QString kept;
    for (const QChar c : inserted) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            continue;
        if (!allowed_.isEmpty() && !allowed_.contains(c)) {
            // The text and the selection the insertion replaced come back.
            const QString before = old;
            const qsizetype replaced = before.size() - head - tail;
            edit_->setText(before);
            if (replaced > 0)
                edit_->setSelection(static_cast<int>(head), static_cast<int>(replaced));
            else
                edit_->setCursorPosition(static_cast<int>(head));
            return;
        }
        kept += c;
    }
    if (maxLength_ > 0) {
        const qsizetype rest = now.size() - inserted.size();
        kept.truncate(std::max<qsizetype>(0, maxLength_ - rest));
    }
    if (kept == inserted)
        return;
    const QString fixed = now.left(head) + kept + now.right(tail);
    edit_->setText(fixed);
    edit_->setCursorPosition(static_cast<int>(head + kept.size()));
}
