#pragma once

#include "FrameSettings.h"
#include "LastFrameSendPath.h"
#include "LinkControls.h"
#include "LinkSendPath.h"
#include "LinkState.h"
#include "LogModel.h"
#include "MasterFrames.h"
#include "MeterReply.h"
#include "MeterTableOwner.h"
#include "ProgramPaths.h"
#include "ProgressSteps.h"
#include "ReadingTexts.h"
#include "SecondaryIDThread.h"
#include "SioComm.h"
#include "UiCall.h"

#include <QMainWindow>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class Clock;
class LogView;
class PrintDevice;
class Prompts;
class QAction;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class SearchHost;
class StringGrid;
class StringGridView;
class TFAbout;
class TFormFullMbus;
class TLogin;
class TSettings;
class UpDownEdit;

// The main window (object "Form11"). It owns the serial port Comm1, the link state, the log
// and the timers; it reads its own keys of the settings file at creation and writes them
// back when it closes. Every exchange is bracketed by PrepareLink and ReleaseLink, and every
// frame goes out through Frames on the link the settings window chooses.
class TForm11 : public QMainWindow, private LinkControls {
    Q_OBJECT
public:
    // Creates the controls and runs FormCreate. The login and settings windows are made
    // after it and set into Login and Settings before it is shown.
    TForm11(const ProgramPaths& paths, Prompts& prompts, Clock& clock);
    ~TForm11() override;

    // Reads the settings file and gives every field its initial value.
    void FormCreate();
    // At every activation: the language texts, and the listening socket in gateway mode.
    void FormActivate();
    // On close: writes the five keys in one save, closes the port, ends the exchange and
    // closes the login window.
    void FormClose();
    // Gives the six request timers the position of UD_timeout.
    void Edit_timeoutChange();

    // Readies the chosen link; true when frames can be sent now.
    bool PrepareLink();
    // Ends an exchange: the serial port is closed again, the client links dropped.
    void ReleaseLink();
    // Opens the serial port when PortOpen is clear, else closes it.
    void ToggleComPort();

    void Settings1Click();
    void About1Click();
    // Asks in the language of the ticked Language item; Yes closes the window, and with it
    // the login and the program.
    void Exit1Click();

    // The log: clear, save as a text file, print.
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    // Prints the log's lines on device; a printer failure shows the "Printing failed" box.
    void PrintLogTo(PrintDevice& device);

    // The pages: how a custom command is typed follows the page shown; the readings page
    // leaves it as it is.
    void TabSheet1Show();
    void TabSheet2Show();
    void TabSheet3Show();

    // CSV files of the tables. The export writes grid to a file the user picks, the
    // separator after every cell; the table never changes.
    void ExportGridCsv(const StringGrid& grid, const std::string& defaultName,
                       std::vector<std::string>& lines);
    // Replaces the meters table by the rows of a CSV file, one a line. The whole file is
    // checked first: a wrong file shows its box and leaves the table as it was.
    void ImportMetersCsv(const std::string& fileName, std::vector<std::string>& lines);
    void Butt_save_dataClick();
    void Save1Click();
    void Butt_load_dataClick();
    void Open1Click();
    void English1Click();
    void Italian1Click();
    void Polish1Click();

    // The language texts of the main window.
    void SetLanguageEnglish();
    void SetLanguageItalian();
    void SetLanguagePolish();
    // The TCP links.
    void ToggleListenSocket(const std::string& portText);
    void Butt_connect_xportClick();
    void Butt_tovekClick();

    // The text of the status bar's first panel, as bytes.
    std::string StatusText() const;
    const ProgramPaths& Paths() const { return paths_; }

    TLogin* Login = nullptr;
    TSettings* Settings = nullptr;
    TFAbout* FAbout = nullptr;
    TFormFullMbus* FormFullMbus = nullptr;

    // --- meters table and selection (TForm11MetersTable.cpp) ---
    // The columns and English headers of Grid_vantrel for TitleCount and SecMainShown.
    void LayMeterColumns();
    void Grid_vantrelSelectCell(int col, int row);
    // Shows CurId/CurAddr in the labels and selects the meter's row: the last row of that ID
    // and address, else the last of that address; without such a row the selection stays.
    void ShowCurrentDevice();
    void Grid_vantrelMouseDown(Qt::MouseButton button, const QPoint& pos, const QPoint& globalPos);
    void Grid_vantrelMouseUp(Qt::MouseButton button, const QPoint& pos, const QPoint& globalPos);
    // Before the context menu shows: each item is enabled while its button can be used.
    void ContextMenuMbusPopup();
    void ReadFull1Click();
    void Butt_clear_gridClick();
    void Deleteselectedrow1Click();

    // --- reading and the primary search (TForm11Reading.cpp) ---
    void Butt_readonceClick();
    void Butt_find_primaryClick();
    void Butt_readallClick();
    // What the active link has received: the gateway reply text, the display module's text,
    // or every byte waiting on the open serial port; empty (and logged) without a link.
    std::string takeReply();
    // Empties the reply text of the ticked network link and purges the serial port.
    void clearReplyBuffers();
    // The language of the ticked Language item: Polish, else English, else Italian.
    UiLanguage TickedLanguage() const;

    // Controls whose commands are not built yet: they stay disabled whatever a run enables.
    std::set<const QWidget*> AwaitingHandler;

    // --- selection by ID, the wildcard search, automatic addressing (TForm11Secondary.cpp,
    // TForm11Search.cpp) ---
    void Butt_find_idClick();
    void Butt_find_allClick();
    void Button1Click();
    void BitBtn21Click();

    // --- meter configuration commands (TForm11MeterCommands.cpp) ---
    void Butt_set_baudClick();
    void Butt_resetClick();
    void Butt_set_addressClick();
    void Butt_set_idClick();
    void Butt_modify_litersClick();
    void Butt_set_mediumClick();
    void Butt_set_unitClick();
    void BitBtn19Click();
    void Check_wendixClick();

    // --- state ---
    std::string CurAddr = "256";
    std::string CurId;
    int MeterSelRow = 0;
    bool SearchActive = false;
    bool MatchById = false;
    bool SetAddrPending = false;
    bool ReadAfterWrite = false;
    int CurrentAddress = 0;
    int ReadAllRow = 0;
    int RetryCount = 0;
    bool PortOpen = false;
    std::string DataDir;
    int LanguageNo = 1;   // the integer read, so that any stored value goes back unchanged
    int TitleCount = 0;
    std::array<std::string, 10> Titles;   // Title1 .. Title9, then the second-main title
    bool SecMainShown = false;
    bool SecMainChanged = false;
    std::string EncodingName = "CP 852";
    bool LsbSearch = false;
    bool WriteTableActive = false;
    bool TimePending = false;
    bool ReadAllMemory = false;
    int PexorSelAddr = 0;
    int PexorSelRow = 0;
    int PexorSelCol = 0;
    int ReadingsSelRow = 0;
    std::array<bool, 251> RowChecked {};
    bool AutoAddressing = false;
    std::atomic<bool> StopSecondary {false};
    int AutoAddrNext = 0;   // the primary address automatic addressing gives the current meter
    int AutoAddrRow = 0;    // the meters-table row being addressed
    // The wait of the wildcard search after each frame in milliseconds; 0: the response
    // time-out. Tests shorten it.
    int SecondaryWaitMs = 0;
    LinkState Link;
    MeterReplyState ReplyState;   // the header and record table of the last valid reply

    // --- components ---
    LogModel Log;   // the lines Memo_current shows
    std::vector<std::string> Memo_export;   // the lines of the last CSV export or import
    UiCall CommOwner;
    TSioComm Comm1;

private:
    // The two frame options: the settings window's "5B" and the counter format.
    class Options : public FrameSettings {
    public:
        explicit Options(const TForm11& form) : form_(form) {}
        bool Check_5B() const override;
        bool Check_value_wendix() const override;

    private:
        const TForm11& form_;
    };

    ProgramPaths paths_;
    Options options_;
    LinkSendPath sendPath_;
    LastFrameSendPath lastFrame_;

public:
    // The eleven frame builders, sending on the active link.
    MasterFrames Frames;

    // --- controls ---
    QMenu* File1;
    QAction* Open1;
    QAction* Save1;
    QAction* Exit1;
    QMenu* Tools1;
    QAction* Users1;
    QAction* Settings1;
    QMenu* Language1;
    QAction* English1;
    QAction* Italian1;
    QAction* Polish1;
    QMenu* Help1;
    QAction* About1;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    QWidget* TabSheet3;
    QWidget* TabSheet4;
    StringGridView* Grid_vantrel;
    QPushButton* Butt_load_data;
    QPushButton* Butt_save_data;
    QCheckBox* Check_tovek2;
    QGroupBox* Group_search;
    QLabel* Label6;
    QLabel* Label8;
    UpDownEdit* UD_address_min;
    QLineEdit* Edit_address_min;
    UpDownEdit* UD_address_max;
    QLineEdit* Edit_address_max;
    UpDownEdit* UD_timeout;
    QLineEdit* Edit_timeout;
    QCheckBox* Check_hex;
    QCheckBox* Check_ascii;
    LogView* Memo_current;
    QPushButton* BitBtn7;
    QPushButton* BitBtn6;
    QPushButton* BitBtn5;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel1;   // the first panel: the serial port's state

    QTimer* Timer_respond;
    QTimer* Timer_secondary;
    QTimer* Timer_readall;
    QTimer* Timer_free_command;
    QTimer* Timer_pexor;
    QTimer* Timer_pexor_info;
    QTimer* Timer_auto_address;
    QTimer* Timer_close_socket;

    // The meters page.
    QLabel* Label_id;
    QLabel* Label_addr;
    QLineEdit* Edit_liter_rel;   // hidden: the relay value of the selected meter
    QPushButton* Butt_readonce;
    QPushButton* Butt_readall;
    QPushButton* Butt_clear_grid;
    QCheckBox* Check_broadcast;
    QCheckBox* Check_nke;
    QProgressBar* ProgressBar1;
    QPushButton* Butt_find_primary;
    QLabel* Label7;
    QPushButton* Butt_find_id;
    QPushButton* Butt_find_all;
    QPushButton* BitBtn21;
    QGroupBox* Group_ops;
    QPushButton* Butt_reset;
    QGroupBox* Group_advanced;
    QLabel* Label13;
    QPushButton* Butt_set_baud;
    QLabel* Label34;
    QPushButton* Butt_set_medium;
    QLabel* Label35;
    QPushButton* Butt_set_unit;
    QPushButton* Butt_command_send;

    // Selection by ID and automatic addressing.
    QLineEdit* Edit_id;
    QPushButton* Button1;   // "Stop Secondary"
    UpDownEdit* UD_AutoPrimary;
    QLineEdit* Edit_auto_primary;
    // The configuration commands.
    QLabel* Label_new_address;
    UpDownEdit* UD_new_address;
    QLineEdit* Edit_new_address;
    QPushButton* Butt_set_address;
    QLabel* Label_liter;
    QLineEdit* Edit_liter;
    QPushButton* Butt_modify_liters;
    QCheckBox* Check_value_wendix;
    QLabel* Label_new_id;
    QLineEdit* Edit_new_id;
    QPushButton* Butt_set_id;
    QComboBox* Combo_set_baud;
    QComboBox* Combo_medium;
    QComboBox* Combo_unit;
    QComboBox* Combo_constant;
    QCheckBox* Check_wendix;   // "Relay"
    QPushButton* BitBtn19;     // hidden: "Relay unit"

    QMenu* ContextMenuMbus;
    QAction* Readselected1;
    QAction* ReadAll1;
    QAction* ReadFull1;
    QAction* SetMedium1;
    QAction* SetUnit1;
    QAction* Setbaud1;
    QAction* Reset1;
    QAction* Cleartable1;
    QAction* SaveExport1;
    QAction* Deleteselectedrow1;

public slots:
    // The request timers' ticks; public, so that a run can be stepped tick by tick.
    void Timer_respondTimer();
    void Timer_readallTimer();
    void Timer_secondaryTimer();
    void Timer_auto_addressTimer();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildFileAndHelpMenus();
    void buildPages();
    void connectLogAndFiles();
    void PageShown(int index);
    void buildTimers();
    void showStatus(const std::string& text);

    friend class MeterTableOwner;
    void buildMetersTable(QBoxLayout* page);
    void buildMeterOperations(QBoxLayout* side);
    QPushButton* buildCommandSend(QWidget* parent);
    void buildContextMenu();
    void showSelectionLabels();
    // The button a context-menu item stands for can be used now: enabled and visible.
    bool itemAllowed(const QWidget* button) const;
    void setRunEnabled(std::initializer_list<QWidget*> controls, bool enabled);

    bool readSelected();
    void sendRequest(int address);
    void respondTick();
    void respondMoveOn();
    void stopSearch();
    void readAllTick();
    void readAllResend();
    void readAllMissed();
    void readAllNextRow();
    void endReadAll();
    bool processReply(const std::string& reply);
    int retries() const;
    bool purgeComm();
    char decimalSeparator() const;

    // What the active link has received by the rule of the request timers; nothing (and no
    // log line) for the serial link with its port closed. A failed read raises.
    std::optional<std::string> linkReply();

    // Selection by ID and the wildcard search.
    friend class SearchHost;
    void buildSecondaryControls(QGridLayout* search);
    QWidget* buildAutoPrimary(QWidget* parent);
    void startWildcardSearch();
    void selectSingleId(const std::string& id);
    void setSearchControls(bool enabled);
    void setAutoAddressControls(bool enabled);
    void endAutoAddressing();
    void secondaryTick();
    void dropSerialInput();
    // The end step of the wildcard search, and its thread's end.
    void endWildcardSearch();
    void joinSearchThread();
    // Stops a running search for the window's close: the thread is gone when this returns.
    void endSearchForClose();
    std::chrono::milliseconds searchWait() const;

    // The configuration commands.
    void buildCommandControls(QGridLayout* ops, QGridLayout* advanced);
    // 254 on broadcast, else the selected meter's address; -1: no target.
    int commandTarget() const;
    // Runs a command's send; a conversion error is logged, clears ReadAfterWrite and gives false.
    bool sendCommand(const std::function<void()>& send);
    // The steps after a command's input check: the link, the target, the read after the
    // write when asked for, the send to the target, Timer_respond.
    void runMeterCommand(bool readAfterWrite, const std::function<void(int target)>& send);

    MeterTableOwner meterOwner_;
    std::unique_ptr<ProgressSteps> progress_;
    // The host of the running (or last) wildcard search and its thread; the thread goes first.
    std::unique_ptr<SecondarySearchHost> searchHost_;

    bool EthernetTicked() const override;
    bool TovekServerTicked() const override;
    bool XportTicked() const override;
    std::string NetNumberText() const override;
    bool IsAdministrator() const override;

    Prompts& prompts_;
    Clock& clock_;
    bool firstShown_ = false;   // the current page's show handler ran with the first show

public:
    // The thread of the running (or last, not yet joined) wildcard search.
    std::unique_ptr<SecondaryIDThread> SearchThread;
};
