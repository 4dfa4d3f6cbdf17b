#include "AccentLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QStyle>

namespace {

class Follower : public QObject {
public:
    Follower(QLabel* accent, QLabel* base) : QObject(accent), accent_(accent), base_(base) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Cast on use only: while a window is torn down, its widgets are QWidgets no more.
        auto* base = qobject_cast<QLabel*>(watched);
        auto* accent = qobject_cast<QLabel*>(accent_.data());
        if (base && watched == base_ && accent) {
            switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::FontChange:
            case QEvent::StyleChange:
            case QEvent::ContentsRectChange:
                AccentLabel::place(accent, base);
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    QPointer<QObject> accent_;
    QObject* base_;
};

} // namespace

namespace AccentLabel {

QLabel* create(QLabel* base, const char* name)
{
    auto* accent = new QLabel("`", base->parentWidget());
    accent->setObjectName(name);
    accent->setAttribute(Qt::WA_TransparentForMouseEvents);
    accent->hide();
    follow(accent, base);
    place(accent, base);
    return accent;
}

void place(QLabel* accent, const QLabel* base)
{
    const QString text = base->text();
    if (text.isEmpty() || accent->parentWidget() != base->parentWidget())
        return;
    qsizetype at = text.lastIndexOf(u'a');
    if (at < 0)
        at = text.size() - 1;

    // Where the base draws its text: the contents less margin and indent, aligned as the
    // label aligns it.
    const QFontMetrics metrics(base->font());
    int indent = base->indent();
    if (indent < 0)
        indent = base->frameWidth() > 0 ? metrics.horizontalAdvance(u'x') / 2 : 0;
    const int margin = base->margin();
    QRect contents = base->contentsRect().adjusted(margin, margin, -margin, -margin);
    const Qt::Alignment align = QStyle::visualAlignment(base->layoutDirection(), base->alignment());
    if (align & Qt::AlignLeft)
        contents.setLeft(contents.left() + indent);
    else if (align & Qt::AlignRight)
        contents.setRight(contents.right() - indent);
    const QRect textRect = base->style()->itemTextRect(metrics, contents, align, base->isEnabled(), text);
    const int letterCentre =
        textRect.left() + metrics.horizontalAdvance(text.left(at)) + metrics.horizontalAdvance(text.mid(at, 1)) / 2;
    const int baseline = textRect.top() + metrics.ascent();

    // The accent in the base's font, on the base's baseline, centred over the letter.
    accent->setFont(base->font());
    accent->adjustSize();
    const QFontMetrics own(accent->font());
    const QRect ownText = accent->style()->itemTextRect(own, accent->contentsRect(), accent->alignment(),
                                                        accent->isEnabled(), accent->text());
    const int ownCentre = ownText.left() + own.horizontalAdvance(accent->text()) / 2;
    const int ownBaseline = ownText.top() + own.ascent();
    const QPoint position = base->pos() + QPoint(letterCentre - ownCentre, baseline - ownBaseline);
    accent->move(position);
    accent->raise();
}

void follow(QLabel* accent, QLabel* base)
{
    base->installEventFilter(new Follower(accent, base));
}

} // namespace AccentLabel
