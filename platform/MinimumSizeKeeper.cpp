#include "MinimumSizeKeeper.h"

#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

namespace {

class MinimumSizeKeeper : public QObject {
public:
    explicit MinimumSizeKeeper(QWidget& window) : QObject(&window), window_(window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::Resize && !pending_ && tooSmall()) {
            // Once the window system's resize is through: a resize inside its own handling
            // would be overwritten.
            pending_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    pending_ = false;
                    if (tooSmall())
                        window_.resize(window_.size().expandedTo(window_.minimumSize()));
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool tooSmall() const
    {
        return window_.width() < window_.minimumWidth() || window_.height() < window_.minimumHeight();
    }

    QWidget& window_;
    bool pending_ = false;
};

} // namespace

void keepMinimumSize(QWidget& window)
{
    new MinimumSizeKeeper(window);
}
