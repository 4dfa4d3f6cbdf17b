// One exchange at a time: the guard every start of an exchange checks, the hold of the
// blocking display reads, the test's response time-out and peer, the global reset's wait, the
// display read's wait for a reply and the queued automatic read.
#include "ExchangeHold.h"

#include "BlockingWait.h"
#include "UpDownEdit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <exception>
#include <thread>

namespace {

using namespace std::chrono_literals;

const char* const BusyLine = "Another exchange is running, please wait...";
constexpr int GlobalNke = 255;
constexpr auto GlobalResetWait = 1300ms;
constexpr auto PeerGiveUp = 10s;

// Eats user input while it is installed.
class InputDrop : public QObject {
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

bool TForm11::linkBusy(const QTimer* besides) const
{
    for (const QTimer* t : {Timer_respond, Timer_readall, Timer_secondary, Timer_auto_address, Timer_free_command,
                            Timer_pexor, Timer_pexor_info})
        if (t != besides && t->isActive())
            return true;
    // Automatic addressing holds the link between its steps too, until it ends or is stopped.
    return exchangeHeld_ || WriteTableActive || SearchActive || searchRunning() || AutoAddressing
        || BlockingWaitBusy();
}

bool TForm11::refuseWhileBusy()
{
    if (!linkBusy())
        return false;
    Log.add(BusyLine);
    return true;
}

int TForm11::responseTimeout() const
{
    return testTimeout_ > 0 ? testTimeout_ : UD_timeout->value();
}

void TForm11::setResponseTimeoutForTest(int ms)
{
    testTimeout_ = ms > 0 ? ms : 0;
    Edit_timeoutChange();
}

void TForm11::sentForTest(const std::string& frame, std::chrono::steady_clock::time_point before)
{
    lastSentForTest_ = before;
    if (peerForTest_.sent)
        peerForTest_.sent(frame, before);
}

bool TForm11::peerStillAnswering() const
{
    return peerForTest_.done && std::chrono::steady_clock::now() < lastSentForTest_ + PeerGiveUp
        && !peerForTest_.done();
}

void TForm11::PeerTap::send(const std::string& frame, FrameBuilder builder, const std::string& target,
                            const std::string& operation)
{
    const auto before = std::chrono::steady_clock::now();
    next_.send(frame, builder, target, operation);
    form_.sentForTest(frame, before);
}

void TForm11::sendGlobalReset()
{
    Frames.SendSndNke(GlobalNke);
    // The meters need this long after a global reset; the window waits with them.
    std::this_thread::sleep_for(GlobalResetWait);
}

void TForm11::displayReplyWait()
{
    if (!peerForTest_.done) {
        BlockingWait(responseTimeout());
        return;
    }
    do
        BlockingWait(2);
    while (peerStillAnswering());
}

void TForm11::queueAutoDisplayRead()
{
    if (autoReadQueued_)
        return;
    autoReadQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        autoReadQueued_ = false;
        try {
            Butt_pexor_readClick();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    });
}

void TForm11::retryDeferredClose()
{
    if (exchangeHeld_ || BlockingWaitBusy()) {
        QTimer::singleShot(20, this, &TForm11::retryDeferredClose);
        return;
    }
    closeDeferred_ = false;
    close();
}

TForm11::ExchangeHold::ExchangeHold(TForm11& form) : form_(form), outer_(!form.exchangeHeld_)
{
    form_.exchangeHeld_ = true;
}

TForm11::ExchangeHold::~ExchangeHold()
{
    if (!outer_)
        return;
    try {
        InputDrop drop;
        QCoreApplication::instance()->installEventFilter(&drop);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::instance()->removeEventFilter(&drop);
    } catch (...) {
        // Nothing may leave a destructor; the input simply stays.
    }
    form_.exchangeHeld_ = false;
}
