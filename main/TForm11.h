#pragma once

#include "FrameSettings.h"
#include "GatewayRxBlock.h"
#include "LastFrameSendPath.h"
#include "LinkControls.h"
#include "LinkSendPath.h"
#include "LinkSockets.h"
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

#include <QAbstractSocket>
#include <QMainWindow>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Clock;
struct GatewayRequest;
struct LanguageTexts;
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
class QTcpServer;
class QTcpSocket;
class QTimer;
class SearchHost;
class StringGrid;
class StringGridView;
class TFAbout;
class TFUsers;
class TFormFullMbus;
class TLogin;
class TSettings;
class UpDownEdit;

// The main window (object "Form11"). It owns the serial port Comm1, the link state, the log
// and the timers; it reads its own keys of the settings file at creation and writes them
// back when it closes. Every exchange is bracketed by PrepareLink and ReleaseLink, and every
// frame goes out through Frames on the link the settings window chooses.
class TForm11 : public QMainWindow, private LinkControls, private LinkSockets {
    Q_OBJECT
public:
    // Creates the controls and runs FormCreate. The login and settings windows are made
    // after it and set into Login and Settings before it is shown.
    // serialOs: the system calls of the serial port Comm1, the real ones when none is given.
    TForm11(const ProgramPaths& paths, Prompts& prompts, Clock& clock, SioOsCalls* serialOs = nullptr);
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
    // Shows the accounts window, not modal.
    void Users1Click();
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
    // Shows or hides a page's tab. A hidden tab is also disabled: the tab bar's wheel and arrow
    // keys and the tab widget's Ctrl+Tab skip disabled tabs, but Qt 6.4 lets them step onto
    // hidden ones. The page itself stays enabled, so the program can still show it.
    void ShowPageTab(QWidget* page, bool shown);

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

    // The language texts of the main window (TForm11Language.cpp): the meters table's
    // columns for the settings, the three tables' headers, every caption and the menus.
    void SetLanguageEnglish();
    void SetLanguageItalian();
    void SetLanguagePolish();
    // --- the TCP links (TForm11Links.cpp) ---
    // Opens the listening socket at the port text (59615 when it is not a number), or closes
    // it with its gateway when it is open.
    void ToggleListenSocket(const std::string& portText);
    // Closes the listening socket and every connection it accepted; ListenOpen goes down.
    void CloseListenSocket();
    // Connect the display's Ethernet module and the gateway-server client when they are not
    // connected, and wait for it.
    void Butt_connect_xportClick();
    void Butt_tovekClick();
    // A text command on the chosen gateway link; true when it went out.
    bool SendPexorCommand(const std::string& text);
    // The listening socket's events; the connection is connection 0, the one gateway served.
    void Socket1ClientConnect();
    void Socket1Accept();
    void Socket1ClientDisconnect(const std::string& remoteAddress);
    void Socket1ClientRead(QTcpSocket* connection);
    void Xport_socketConnect();
    void Xport_socketDisconnect();
    void Xport_socketRead();
    void Tovek_client_socketConnect();
    void Tovek_client_socketDisconnect();
    void Tovek_client_socketRead();
    // The error event of every socket: logged with its error number.
    void logSocketError(QAbstractSocket::SocketError error);
    void Timer_close_socketTimer();

    QTcpServer* Socket1 = nullptr;
    std::vector<QTcpSocket*> Socket1Connections;   // the gateway served, or none
    QTcpSocket* Xport_socket = nullptr;
    QTcpSocket* Tovek_client_socket = nullptr;
    std::string GatewayRemoteAddr;
    std::string GatewayRemoteHost;   // the address: no name lookup on the window's thread
    int GatewayRemotePort = 0;
    // One reply block per gateway link, so that neither link's bytes mix with the other's.
    GatewayRxBlock ListenRxBlock;
    GatewayRxBlock TovekRxBlock;

    // --- custom commands (TForm11Commands.cpp) ---
    // Keep "ASCII" and "Hex" exclusive, whoever changes them.
    void Check_asciiClick();
    void Check_hexClick();
    // Sends Edit_command on the active link as text or as hex bytes.
    void Butt_command_sendClick();
    // Shows the reply once and ends the exchange.
    void Timer_free_commandTimer();

    // The text of the status bar's first panel, as bytes.
    std::string StatusText() const;
    const ProgramPaths& Paths() const { return paths_; }

    TLogin* Login = nullptr;
    TSettings* Settings = nullptr;
    TFUsers* FUsers = nullptr;
    TFAbout* FAbout = nullptr;
    TFormFullMbus* FormFullMbus = nullptr;

    // --- meters table and selection (TForm11MetersTable.cpp) ---
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
    // Empties the reply text of the ticked network link; the other one keeps its text.
    void clearTickedReplyText();
    // Empties the reply texts of both network links, whichever link is ticked.
    void clearReplyTexts();
    // The language of the ticked Language item: Polish, else English, else Italian.
    UiLanguage TickedLanguage() const;

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
    // --- one exchange at a time (TForm11Exchange.cpp) ---
    // An exchange holds the link: a meter read, search or command, a display run, read or
    // command whose reply is awaited, a wait that lets events run. besides: a running timer of
    // the exchange asking, whose own restart is allowed.
    bool linkBusy(const QTimer* besides = nullptr) const;
    // The start of an exchange: true (and the busy line in the log) while another one runs.
    bool refuseWhileBusy();
    // The response time-out every display wait and request timer uses: UD_timeout's value,
    // or the shorter one a test has set (0 takes the spin box again).
    int responseTimeout() const;
    void setResponseTimeoutForTest(int ms);
    // Tests: a simulated peer's account of the frames and commands whose waits only wait for
    // the peer. sent is called on the window's thread as one goes out (its bytes, and the
    // moment before the write); done is asked there every few milliseconds while the program
    // waits, and holds once the peer has answered the last one (the answer has reached the
    // link) or will not answer. With it, the wildcard search's wait after each frame and a
    // blocking display read's wait for each reply end once done holds instead of at their
    // time-out, and a tick of Timer_secondary that comes before done holds is passed over (a
    // later one takes the answer); each gives up ten seconds after the last frame went out.
    // Without it (the program) the waits last their time. Every frame of the builders is
    // reported, and the search's and the display's own.
    struct PeerForTest {
        std::function<void(const std::string& frame, std::chrono::steady_clock::time_point sent)> sent;
        std::function<bool()> done;
    };
    void setPeerForTest(PeerForTest peer) { peerForTest_ = std::move(peer); }
    // The display read a gateway's first packet starts: queued, so that it never runs inside
    // the socket's read event, and at most one waits at a time.
    void queueAutoDisplayRead();

    // --- the display table (devices/TForm11Display.cpp) ---
    void Butt_pexor_cleartableClick();
    void BitBtn1Click();   // fill from the meters table
    void BitBtn8Click();   // tick every row
    void BitBtn9Click();   // untick every row
    void BitBtn3Click();   // add a row
    void BitBtn4Click();   // delete the selected row
    void BitBtn10Click();  // export
    void BitBtn2Click();   // import
    // Replaces the display table by a CSV file's rows, one a line; a wrong file leaves it as it was.
    void ImportPexorCsv(const std::string& fileName, std::vector<std::string>& lines);
    void Grid_pexorSelectCell(int col, int row);
    void CheckPexorRow(int row);
    void UncheckPexorRow(int row);
    // Ticks of rows 1 .. 250 only; every other row reads as unticked.
    bool pexorRowTicked(int row) const;

    // --- the display's single commands (devices/TForm11DisplayCommands.cpp) ---
    void BitBtn11Click();   // date, then the time
    void BitBtn12Click();   // time
    void Butt_pexor_refreshClick();
    void BitBtn14Click();   // lock, on the serial port
    void BitBtn15Click();   // create the sort table
    void BitBtn16Click();   // sort by user number
    void Check_sort_addressClick();
    void Check_sort_userClick();

    // --- write, delete and zero (devices/TForm11DisplayWrite.cpp) ---
    void Butt_pexor_setClick();
    void Butt_pexor_deleteClick();
    void Butt_pexor_delpClick();
    void AdvancePexorWriteStep();
    void Check_pexor_deleteClick();

    // --- the display's memory read (devices/TForm11DisplayRead.cpp) ---
    void Butt_pexor_readClick();
    // Asks for the active addresses and puts one row per address in both tables; false when
    // the reply holds no address list.
    bool ReadPexorAddresses();
    void Butt_pexor_infoClick();

    // --- history readings (devices/TForm11History.cpp) ---
    void BitBtn13Click();   // the history read
    void Butt_get_historicalClick();
    void BitBtn18Click();   // "SET READ"
    void Butt_sort_histClick();
    void Check_sort_hist_addressClick();
    void Check_sort_hist_userClick();
    void CopySortToReadings();
    void Butt_add_histClick();
    void Butt_delete_histClick();
    void Grid_historicalSelectCell(int col, int row);
    void Butt_clear_histClick();
    void BitBtn17Click();   // export
    // The CSV text of the table, after one empty line.
    void ExportReadingsCsv(const StringGrid& grid, const std::string& defaultName,
                           std::vector<std::string>& lines);

    // --- the gateways' page (devices/TForm11GatewayPage.cpp, devices/TForm11Gateway.cpp) ---
    // "SET " + key + "=" + value for a dotted address; a part that is no number raises
    // ConversionError, with nothing sent or logged.
    void SendGatewaySet(const std::string& value, const std::string& key, const std::string& logText);
    // Sends the text itself, with no log line.
    void SendGatewayCommand(const std::string& text);
    void Butt_CMTClick();
    void Butt_METClick();
    void Butt_CETClick();
    void Butt_tovek_nnClick();
    void Butt_tovek_manipClick();
    void Butt_tovek2_conipClick();
    void Butt_tovek2_op1Click();
    void Butt_DDTClick();
    void Butt_OHAClick();
    void Butt_TXGClick();
    void Butt_RXGClick();
    void Butt_DPPClick();
    void Butt_tovek_mbus_responseClick();
    void Butt_eth_dateClick();
    void Butt_eth_timeClick();
    void Butt_apnClick();
    void Butt_phone_numberClick();
    void Butt_gprs_pinClick();
    void Butt_gprs_userClick();
    void Butt_gprs_passClick();
    void Butt_tovek2_testClick();
    void Butt_eth_mainClick();
    void Butt_eth_serviceClick();
    void Butt_eth_connClick();
    void Butt_eth_operClick();
    void Butt_gprs_infoClick();
    void Butt_gprs_statClick();
    // The rules: the model switch, and the operator boxes (number 1 to 4).
    void Check_sarnelClick();
    void Check_tovek2Click();
    void Check_opClick(int number);
    // A tick of the reply display that a gateway command started: every byte waiting on the
    // serial port into the log, then the serial port released. False (and nothing done) when
    // the display running is not a gateway command's.
    bool ShowGatewayReply();

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
    bool TableHasSecMain = false;   // the meters table is laid out with the second-main column
    bool WriteTableActive = false;
    int WriteRow = 0;
    int PexorRetryCount = 0;   // the Activate step's retries of the current row
    int InfoStep = 0;
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
    LinkState Link;
    MeterReplyState ReplyState;   // the header and record table of the last valid reply

    // --- components ---
    LogModel Log;   // the lines Memo_current shows
    LogModel Info;  // the lines Memo_info shows
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
    // In front of the send path: a test's peer hears of every frame the builders send.
    class PeerTap : public SendPath {
    public:
        PeerTap(SendPath& next, TForm11& form) : next_(next), form_(form) {}
        void send(const std::string& frame, FrameBuilder builder, const std::string& target,
                  const std::string& operation) override;

    private:
        SendPath& next_;
        TForm11& form_;
    };
    PeerTap peerTap_;

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
    QLabel* Label4;
    QLineEdit* Edit_command;
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
    // The accent labels over Label13, Label35, Label29 and Label21, shown in Italian.
    QLabel* Label36 = nullptr;
    QLabel* Label37 = nullptr;
    QLabel* Label38 = nullptr;
    QLabel* Label39 = nullptr;
    QPushButton* Butt_command_send;

    // Selection by ID and automatic addressing.
    QLineEdit* Edit_id;
    QPushButton* Button1;   // "Stop Secondary"
    UpDownEdit* UD_AutoPrimary;
    QLineEdit* Edit_auto_primary;
    // The configuration commands.
    QLabel* Label33;
    UpDownEdit* UD_new_address;
    QLineEdit* Edit_new_address;
    QPushButton* Butt_set_address;
    QLabel* Label10;
    QLineEdit* Edit_liter;
    QPushButton* Butt_modify_liters;
    QCheckBox* Check_value_wendix;
    QLabel* Label12;
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

    // The display page.
    StringGridView* Grid_pexor;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn10;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QPushButton* BitBtn8;
    QPushButton* BitBtn9;
    QPushButton* Butt_pexor_cleartable;
    QPushButton* BitBtn11;
    QPushButton* BitBtn12;
    QLabel* Label32;
    UpDownEdit* UD_pexor_refresh;
    QLineEdit* Edit_pexor_refresh;
    QPushButton* Butt_pexor_refresh;
    QPushButton* BitBtn14;
    QPushButton* BitBtn15;
    QPushButton* BitBtn16;
    QCheckBox* Check_sort_address;
    QCheckBox* Check_sort_user;
    QPushButton* Butt_pexor_set;
    QPushButton* Butt_pexor_delete;
    QPushButton* Butt_pexor_delp;
    QPushButton* Butt_pexor_read;
    QPushButton* BitBtn18;
    QGroupBox* GroupBox3;
    QPushButton* Butt_pexor_info;
    LogView* Memo_info;
    // The step boxes of the write machine, in step order.
    QCheckBox* Check_pexor_active;
    QCheckBox* Check_pexor_unit;
    QCheckBox* Check_pexor_multiplier;
    QCheckBox* Check_pexor_divider;
    QCheckBox* Check_pexor_initial;
    QCheckBox* Check_pexor_initial_P1;
    QCheckBox* Check_pexor_initial_P2;
    QCheckBox* Check_pexor_second_main;
    QCheckBox* Check_pexor_user;
    QCheckBox* Check_pexor_text;
    QCheckBox* Check_pexor_delete;
    QCheckBox* Check_pexor_delp;

    // The readings page.
    StringGridView* Grid_historical;
    QPushButton* Butt_get_historical;
    QPushButton* BitBtn13;
    QComboBox* Combo_months;
    QPushButton* BitBtn17;
    QPushButton* Butt_add_hist;
    QPushButton* Butt_delete_hist;
    QPushButton* Butt_clear_hist;
    QPushButton* Butt_sort_hist;
    QCheckBox* Check_sort_hist_address;
    QCheckBox* Check_sort_hist_user;
    StringGridView* Grid_sort;

    // The gateways' page.
    QCheckBox* Check_sarnel;
    QPushButton* Butt_eth_main;
    QPushButton* Butt_eth_service;
    QPushButton* Butt_eth_conn;
    QPushButton* Butt_eth_oper;
    QPushButton* Butt_tovek2_test;
    QGroupBox* GroupBox1;
    QLabel* Label14;
    QLineEdit* Edit_own_ip;
    QPushButton* Butt_CMT;
    QLabel* Label3;
    QLineEdit* Edit_mask_ip;
    QPushButton* Butt_CET;
    QLabel* Label19;
    QLineEdit* Edit_gw_ip;
    QPushButton* Butt_MET;
    QLabel* Label16;
    QLineEdit* Edit_network;
    QPushButton* Butt_tovek_nn;
    QLabel* Label15;
    QLineEdit* Edit_man_ip;
    QPushButton* Butt_tovek_manip;
    QLabel* Label26;
    QLineEdit* Edit_control_ip;
    QPushButton* Butt_tovek2_conip;
    QLabel* Label17;
    QLineEdit* Edit_op1_ip;
    QPushButton* Butt_tovek2_op1;
    QCheckBox* Check_op1;
    QCheckBox* Check_op2;
    QCheckBox* Check_op3;
    QCheckBox* Check_op4;
    QLabel* Label2;
    QLineEdit* Edit_gprs_pin;
    QPushButton* Butt_gprs_pin;
    QLabel* Label9;
    QLineEdit* Edit_gprs_username;
    QPushButton* Butt_gprs_user;
    QLabel* Label11;
    QLineEdit* Edit_gprs_pass;
    QPushButton* Butt_gprs_pass;
    QLabel* Label18;
    QLineEdit* Edit_apn;
    QPushButton* Butt_apn;
    QLabel* Label27;
    QLineEdit* Edit_phone_number;
    QPushButton* Butt_phone_number;
    QPushButton* Butt_saveall;
    QGroupBox* GroupBox2;
    QLabel* Label29;
    QComboBox* Combo_com2_speed;
    QLabel* Label21;
    QComboBox* Combo_com2_parity;
    QPushButton* Butt_DDT;
    QLabel* Label20;
    QLabel* Label25;
    UpDownEdit* UD_day;
    QLineEdit* Edit_day;
    QLabel* Label30;
    UpDownEdit* UD_hour;
    QLineEdit* Edit_hour;
    QLabel* Label31;
    UpDownEdit* UD_minute;
    QLineEdit* Edit_minute;
    QPushButton* Butt_OHA;
    QLabel* Label22;
    UpDownEdit* UD_retries;
    QLineEdit* Edit_retries;
    QPushButton* Butt_TXG;
    QLabel* Label24;
    UpDownEdit* UD_retry_timeout;
    QLineEdit* Edit_retry_timeout;
    QPushButton* Butt_RXG;
    QLabel* Label23;
    UpDownEdit* UD_ping;
    QLineEdit* Edit_ping;
    QPushButton* Butt_DPP;
    QLabel* Label28;
    UpDownEdit* UD_tovek_mbus;
    QLineEdit* Edit_tovek_mbus_response;
    QPushButton* Butt_tovek_mbus_response;
    QPushButton* Butt_eth_date;
    QPushButton* Butt_eth_time;
    QPushButton* Butt_gprs_info;
    QPushButton* Butt_gprs_stat;

public slots:
    // The request timers' ticks; public, so that a run can be stepped tick by tick.
    void Timer_respondTimer();
    void Timer_readallTimer();
    void Timer_secondaryTimer();
    void Timer_auto_addressTimer();
    void Timer_pexorTimer();
    void Timer_pexor_infoTimer();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildFileAndHelpMenus();
    void buildPages();
    // A click runs the handler; an exception it lets through becomes a log line.
    void connectClicked(QPushButton* button, void (TForm11::*handler)());
    void connectLogAndFiles();
    void PageShown(int index);
    void buildTimers();
    void showStatus(const std::string& text);
    void buildLinks();
    void dropLinkEvents();
    QLineEdit* buildCommandEdit(QWidget* parent);
    void connectCustomCommand();
    void Socket1NewConnection();
    void listenConnectionEnded(QTcpSocket* connection, const std::string& remoteAddress);
    // The target of a client socket from the settings; false (and the socket deactivated)
    // when the port text is wrong or the target would change under a live connection.
    bool takeClientTarget(QTcpSocket& socket, std::string& host, std::uint16_t& port,
                          std::uint16_t emptyPort, bool& connected);
    void applyRxStep(const GatewayRxBlock::Step& step);
    // Reads everything waiting on a gateway link into its block, 300 bytes at a time, and
    // gives whether a packet passed its check; a failed read ends it and goes to readFailed.
    bool readGatewayPackets(QTcpSocket& socket, GatewayRxBlock& block,
                            const std::function<void(const std::string& error)>& readFailed);
    void restartCloseTimer();
    std::string timeText() const;
    std::string dateText() const;
    // Connects the custom command's link (the gateway server, the display's module) or opens
    // the serial port; false when it is not ready. The listening link is taken as it is.
    bool readyCommandLink();
    void sendAsciiCommand(const std::string& text);
    void sendHexCommand(const std::string& text);
    bool sendOn(NetLink link, const std::string& bytes, std::string& error) override;

    // The languages.
    void applyLanguage(UiLanguage language);
    void setCaption(const std::string& control, const std::string& text);
    // The accent labels, made once their base labels are.
    void buildAccentLabels();
    void placeAccentLabels(bool shown);
    // Moves the cells once when the table's second-main column differs from the setting.
    void relayMeterTable();
    void layMeterColumns(const LanguageTexts& texts);
    int laidColumns_ = -1;   // the column count and fixed columns the widths were set for
    int laidFixed_ = 0;
    // A table's column widths as laid out (before a header widened them) and as last given
    // for the headers. Empty until the first language runs, and after the columns are re-laid.
    struct FittedColumns {
        std::vector<int> laid;
        std::vector<int> given;
    };
    FittedColumns meterColumns_, pexorColumns_, readingsColumns_;
    // Gives each column the width its header needs in this language, never less than as laid;
    // a column the user has resized keeps that width, widened when its header needs more.
    void fitHeaders(StringGridView& view, FittedColumns& fitted);

    friend class MeterTableOwner;
    void buildMetersTable(QBoxLayout* page);
    void buildDisplayPage();
    // The display's clock and refresh time on a row of their own; the sort buttons are made
    // here and placed by the caller.
    void buildDisplayCommands(QBoxLayout* rows);
    void buildDisplayWrite(QBoxLayout* rows);
    void buildReadingsPage();
    void buildMeterOperations(QBoxLayout* side);
    QPushButton* buildCommandSend(QWidget* parent);
    void buildContextMenu();
    void showSelectionLabels();
    // The button a context-menu item stands for can be used now: enabled and visible.
    bool itemAllowed(const QWidget* button) const;
    // Enables or disables the controls an exchange takes for its run, all at once.
    void setRunEnabled(std::initializer_list<QWidget*> controls, bool enabled);

    bool readSelected();
    // What Timer_respond serves: a single read (or Read Full), which a click on "Read selected"
    // may restart, or another exchange (a command, the primary search, a selection's end).
    enum class RespondUse { SingleRead, OtherExchange };
    void startRespond(RespondUse use);
    RespondUse respondUse_ = RespondUse::OtherExchange;
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
    // Automatic addressing's step for a table row: the row's meter selected, AutoAddrNext
    // set as its new address through a selection by ID.
    void addressRow(int row);
    void secondaryTick();
    void dropSerialInput();
    // The end step of the wildcard search, and its thread's end.
    void endWildcardSearch();
    void joinSearchThread();
    // A wildcard search holds the link from its thread's start until its end step has run.
    bool searchRunning() const;
    // Stops a running search for the window's close: the thread is gone when this returns.
    void endSearchForClose();
    std::chrono::milliseconds searchWait() const;

    // The configuration commands.
    void buildCommandControls(QGridLayout* ops, QGridLayout* advanced);
    // 254 on broadcast, else the selected meter's address; -1: no target.
    int commandTarget() const;
    // A command's first steps: the link readied (-1 when it cannot be), then its target.
    int readyCommandTarget();
    // Runs a command's send; a conversion error is logged, clears ReadAfterWrite and gives false.
    bool sendCommand(const std::function<void()>& send);
    // The steps after a command's input check: the link, the target, the read after the
    // write when asked for, the send to the target, Timer_respond.
    void runMeterCommand(bool readAfterWrite, const std::function<void(int target)>& send);
    // The set-address command and the relay value write without the check for another
    // exchange: automatic addressing and Set unit run them inside their own exchange.
    void setPrimaryAddress();
    void relayValueWrite();

    MeterTableOwner meterOwner_;
    std::unique_ptr<ProgressSteps> progress_;
    // The host of the running (or last) wildcard search and its thread; the thread goes first.
    std::unique_ptr<SecondarySearchHost> searchHost_;
    // Its end step has run (the window's thread only): the thread is returning.
    bool searchEnded_ = false;

    // How a display command goes out: a single command connects or opens its link first,
    // one inside an exchange does not (the sort command still connects the module).
    enum class PexorSend { Single, InExchange, Sort };
    // True when the text went out in one write; a failed write is logged.
    bool sendPexor(const std::string& text, PexorSend mode);
    bool writePexorSerial(const std::string& text);
    bool writePexorGateway(const std::string& text);
    bool writePexorModule(const std::string& text);
    void enableReplyTimer();
    // The run's buttons: enabled again at the end of a write, delete or zero run.
    void setPexorRunEnabled(bool enabled);
    QCheckBox* currentPexorStep() const;
    void stopPexorRun();
    void pexorTick();
    void sendPexorStep(QCheckBox* step, int row);
    // The blocking read: one question, a wait of the response time-out, the reply appended
    // to the log; gives the reply and the index of its first log line.
    struct DisplayReply {
        bool sent = false;
        bool ended = false;   // the read must end here
        std::string text;
        std::size_t first = 0;
    };
    DisplayReply askTableQuestion(const std::string& address, int kind);
    void decodeTableReply(const DisplayReply& reply, const std::string& address, int kind);
    bool readPexorRow(const std::string& address);
    bool sendInfoQuestion(const char* question);
    void infoTick();
    void historyRead();
    bool allMonthsRead();
    void oneMonthRead(const std::string& month);
    DisplayReply askHistory(const std::string& question);
    void endHistoryRead();
    void exportCsv(const StringGrid& grid, const std::string& defaultName, std::vector<std::string>& lines,
                   bool leadingEmptyLine);
    // The CSV separator of the exports and the display table's import.
    std::string exportSeparator() const;
    // The gateways' page and its exchange.
    void buildGatewayPage();
    void buildGatewayAddresses(QWidget* group);
    void buildGatewayOptions(QWidget* group);
    void connectGatewayPage();
    void setModelLayout(bool sarnel);
    // SendGatewaySet with the edit's text; false when a conversion error was shown.
    bool sendAddress(const QLineEdit* edit, const std::string& key, const std::string& logText);
    bool gatewayGate();
    // The start of a gateway exchange: refused while another exchange runs, then the serial
    // port opened; false when nothing may be sent.
    bool startGatewayExchange();
    // Logs logLine (when not empty), writes text and starts the reply display (with
    // replyDisplay); a failed write is logged with logLine, or with the text without one.
    void writeGateway(const std::string& text, const std::string& logLine, bool replyDisplay);
    // The gate, then the request's refusal logged or its command written.
    void sendGatewayRequest(const GatewayRequest& request, const char* logLine, bool replyDisplay);
    // Purges the serial port and closes it; a line that cannot be purged (hung up) is closed
    // all the same.
    void releaseComPort();
    void closeGatewayPort();
    bool gatewayReply_ = false;   // the running reply display is a gateway command's
    // A reply display runs, and it is a gateway command's.
    bool gatewayReplyRunning() const;
    class ExchangeHold;
    void retryDeferredClose();
    bool exchangeHeld_ = false;    // a blocking display read runs, from before its PrepareLink
    bool closeDeferred_ = false;   // a close came during a wait
    bool autoReadQueued_ = false;
    bool customReply_ = false;     // the running reply display is a custom command's
    int testTimeout_ = 0;
    PeerForTest peerForTest_;
    std::chrono::steady_clock::time_point lastSentForTest_;
    // A frame out on the link: the test's peer hears of it.
    void sentForTest(const std::string& frame, std::chrono::steady_clock::time_point before);
    // A test's peer has not answered the last frame yet, and has had less than ten seconds.
    bool peerStillAnswering() const;
    // SND_NKE to 255, then the wait the meters need after a global reset (the window waits
    // with them).
    void sendGlobalReset();
    // The wait for a display's reply inside a blocking read: the response time-out, with the
    // window's events running (with a test's peer: until it has the answer in).
    void displayReplyWait();

    bool EthernetTicked() const override;
    bool TovekServerTicked() const override;
    bool XportTicked() const override;
    std::string NetNumberText() const override;
    bool IsAdministrator() const override;

    Prompts& prompts_;
    Clock& clock_;
    SioOsCalls& serialOs_;   // Comm1's system calls, for the probe before each open
    std::string xportHost_;
    std::uint16_t xportPort_ = 0;
    std::string tovekHost_;
    std::uint16_t tovekPort_ = 0;
    bool firstShown_ = false;   // the current page's show handler ran with the first show

public:
    // The thread of the running (or last, not yet joined) wildcard search.
    std::unique_ptr<SecondaryIDThread> SearchThread;
};
