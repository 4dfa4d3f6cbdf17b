// The wildcard search as the main window hosts it: the search runs on its own thread and
// hands every log line, progress step, link operation and table change to the window's
// thread; the window owns the thread, joins it when it has ended, and stops it at once when
// the window closes.
#include "TForm11.h"

#include "TSettings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

// The window as the search's host. Each hand-over runs on the window's thread and the search
// thread waits for it; once the search is cancelled, a hand-over not yet started never runs
// and gives its fallback. Results travel in shared cells, never in the waiting thread's locals.
class SearchHost : public SecondarySearchHost {
public:
    SearchHost(TForm11& form, std::stop_token cancel)
        : form_(form), ui_(&form), cancel_(std::move(cancel)), peerDone_(form.peerForTest_.done)
    {
    }

    void log(const std::string& line) override
    {
        onUi([line](TForm11& f) { f.Log.add(line); });
    }
    void showProgress(int minimum, int maximum, int position) override
    {
        onUi([=](TForm11& f) {
            f.progress_->setup(minimum, maximum, position);
            f.progress_->show(true);
        });
    }
    void advanceProgress() override
    {
        onUi([](TForm11& f) { f.progress_->advance(); });
    }
    std::chrono::milliseconds sendSelect(const SearchMask& mask) override
    {
        return result<std::chrono::milliseconds>({}, [mask](TForm11& f) {
            f.Comm1.PurgeReadWrite();
            const std::string frame = SelectMaskFrame(mask);
            const auto before = std::chrono::steady_clock::now();
            f.sendPath_.sendSearchFrame(frame);
            f.sentForTest(frame, before);
            return f.searchWait();
        });
    }
    std::optional<std::string> readSelectionAnswer(bool clearReplyTexts) override
    {
        return result<std::optional<std::string>>(std::string(), [clearReplyTexts](TForm11& f) {
            std::optional<std::string> answer = f.linkReply();
            if (clearReplyTexts) {
                f.Link.EthReplyText.clear();
                f.Link.LanxpReplyText.clear();
            }
            return answer;
        });
    }
    std::chrono::milliseconds sendReadAt253() override
    {
        return result<std::chrono::milliseconds>({}, [](TForm11& f) {
            try {
                if (f.PortOpen)
                    f.Comm1.PurgeReadWrite();
                if (f.EthernetTicked() || f.TovekServerTicked())
                    f.Link.EthReplyText.clear();
                f.Frames.SendReqUd2(253);
            } catch (const std::exception&) {
                // Ignored: the meter's silence tells the rest.
            }
            return f.searchWait();
        });
    }
    Reply253 takeAndDecode253() override
    {
        return result<Reply253>(Reply253::NotFound, [](TForm11& f) {
            std::optional<std::string> reply;
            try {
                reply = f.linkReply();
            } catch (const std::exception&) {
                return Reply253::TakeFailed;
            }
            if (!reply)
                return Reply253::NoConnection;
            f.Link.EthReplyText.clear();
            f.Link.LanxpReplyText.clear();
            if (reply->empty())
                return Reply253::NotFound;
            f.MatchById = true;
            bool found = false;
            try {
                found = f.processReply(*reply);
            } catch (const std::exception&) {
                f.MatchById = false;
                return Reply253::DecodeFailed;
            }
            f.MatchById = false;
            return found ? Reply253::Found : Reply253::NotFound;
        });
    }
    void endOfSearch() override
    {
        onUi([](TForm11& f) {
            f.searchEnded_ = true;
            f.endWildcardSearch();
        });
    }
    void wait(std::chrono::milliseconds time) override
    {
        if (peerDone_) {
            waitForPeer();
            return;
        }
        pause(time);
    }

private:
    void pause(std::chrono::milliseconds time)
    {
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        never.wait_for(lock, cancel_, time, [] { return false; });
    }
    // A test's peer tells when the answer is in (or none will come), asked on the window's
    // thread; ten seconds after the frame it is given up.
    void waitForPeer()
    {
        using namespace std::chrono_literals;
        while (!cancel_.stop_requested()) {
            if (result<bool>(true, [](TForm11& f) { return !f.peerStillAnswering(); }))
                return;
            pause(2ms);
        }
    }
    void onUi(std::function<void(TForm11&)> call)
    {
        ui_.runOnOwner([call = std::move(call), form = &form_] { call(*form); }, cancel_);
    }
    template <class T>
    T result(T fallback, std::function<T(TForm11&)> call)
    {
        auto cell = std::make_shared<T>(std::move(fallback));
        ui_.runOnOwner([cell, call = std::move(call), form = &form_] { *cell = call(*form); }, cancel_);
        return *cell;
    }

    TForm11& form_;
    UiCall ui_;
    std::stop_token cancel_;
    std::function<bool()> peerDone_;   // a test's peer, or none
};

std::chrono::milliseconds TForm11::searchWait() const
{
    return std::chrono::milliseconds(responseTimeout());
}

// The last steps of "Find" with "FFFFFFFF": the thread of a new search.
void TForm11::startWildcardSearch()
{
    joinSearchThread();
    StopSecondary = false;
    LsbSearch = Settings->Check_LSB->isChecked();
    std::stop_source cancel;
    searchEnded_ = false;
    searchHost_ = std::make_unique<SearchHost>(*this, cancel.get_token());
    SearchThread = std::make_unique<SecondaryIDThread>(*searchHost_, StopSecondary, LsbSearch, cancel);
}

void TForm11::setSearchControls(bool enabled)
{
    setRunEnabled({Group_advanced, Group_ops, Butt_find_primary, Butt_find_id, Butt_find_all, Edit_id,
                   Butt_readall, Butt_readonce, BitBtn21, Butt_load_data, Butt_save_data, Check_broadcast,
                   Butt_command_send},
                  enabled);
}

void TForm11::endWildcardSearch()
{
    Timer_respond->stop();
    Timer_secondary->stop();
    SetAddrPending = false;
    setSearchControls(true);
    purgeComm();
    SearchActive = false;
    AutoAddressing = false;
    progress_->show(false);
    progress_->setPosition(0);
    Button1->hide();
    ReleaseLink();
    Log.add("Secondary search thread terminated normally.");
    // The thread returns as soon as this hand-over is done; it is joined right after, unless
    // a new search has taken its place (which joined it).
    QTimer::singleShot(0, this, [this] {
        if (searchHost_ && searchEnded_)
            joinSearchThread();
    });
}

bool TForm11::searchRunning() const
{
    return SearchThread && !(searchHost_ && searchEnded_);
}

void TForm11::joinSearchThread()
{
    if (!SearchThread)
        return;
    SearchThread->join();
    SearchThread.reset();
    searchHost_.reset();
}

void TForm11::endSearchForClose()
{
    if (!SearchThread)
        return;
    StopSecondary = true;
    Timer_secondary->stop();
    Timer_respond->stop();
    Timer_auto_address->stop();
    SearchThread->cancel();
    // Nothing the user does runs meanwhile; a queued join may run and end the loop too.
    while (SearchThread && !SearchThread->waitFinished(std::chrono::milliseconds(5)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    joinSearchThread();
}
