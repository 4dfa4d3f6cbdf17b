#include "TForm11.h"

#include "AtomicFile.h"
#include "BlockingWait.h"
#include "IniFile.h"
#include "LogView.h"
#include "MainWindowControls.h"
#include "MinimumSizeKeeper.h"
#include "Prompts.h"
#include "SioOsCalls.h"
#include "SioPortName.h"
#include "StringGridView.h"
#include "TLogin.h"
#include "TSettings.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>

namespace {

constexpr int DefaultTimeout = 500;
constexpr std::size_t TitleLength = 15;

// The language a stored language number names: 2 Italian, 3 Polish, any other English.
UiLanguage languageOf(int number)
{
    switch (number) {
    case 2:
        return UiLanguage::Italian;
    case 3:
        return UiLanguage::Polish;
    default:
        return UiLanguage::English;
    }
}

// The system's English text for an error code, whatever the locale.
std::string englishErrorText(int code)
{
    const char* text = ::strerrordesc_np(code);
    return text ? text : "Error " + std::to_string(code);
}

// Why the port cannot be had, empty when it can: opened as the serial component opens it,
// locked and closed at once. A program that opens the port without a lock is not seen: Linux
// has no exclusive open.
std::string portRefusal(SioOsCalls& os, const std::string& path)
{
    const int fd = os.open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return englishErrorText(errno);
    std::string refusal;
    if (os.flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        refusal = error == EWOULDBLOCK ? "locked by another program" : englishErrorText(error);
    }
    os.close(fd);
    return refusal;
}

// The device path as the log names it: a link with where it leads ("ports/COM1 -> /dev/ttyUSB0").
std::string devicePathText(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    return ec ? path : path + " -> " + target.string();
}

struct Speed {
    TSioBaudrate rate;
    const char* text;
};

// 2400 unless the text is a decimal number naming one of the five line speeds.
Speed speedOf(const std::string& text)
{
    static constexpr struct {
        int value;
        Speed speed;
    } speeds[] = {{300, {br300, "300"}},
                  {2400, {br2400, "2400"}},
                  {4800, {br4800, "4800"}},
                  {9600, {br9600, "9600"}},
                  {19200, {br19200, "19200"}}};
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec == std::errc() && ptr == end && !text.empty()) {
        for (const auto& s : speeds)
            if (s.value == value)
                return s.speed;
    }
    return {br2400, "2400"};
}

struct Parity {
    TSioParity parity;
    const char* text;
};

// Even unless the text is exactly one of the five parity names.
Parity parityOf(const std::string& text)
{
    static constexpr Parity parities[] = {
        {paNone, "None"}, {paEven, "Even"}, {paOdd, "Odd"}, {paMark, "Mark"}, {paSpace, "Space"}};
    for (const auto& p : parities)
        if (text == p.text)
            return p;
    return {paEven, "Even"};
}

} // namespace

bool TForm11::Options::Check_5B() const
{
    return form_.Settings && form_.Settings->Check_5B->isChecked();
}

bool TForm11::Options::Check_value_wendix() const
{
    return form_.Check_value_wendix->isChecked();
}

TForm11::TForm11(const ProgramPaths& paths, Prompts& prompts, Clock& clock, SioOsCalls* serialOs)
    : QMainWindow(nullptr),
      CommOwner(this),
      Comm1(CommOwner, serialOs),
      paths_(paths),
      options_(*this),
      sendPath_(*this, Link, Comm1, Log, *this),
      lastFrame_(sendPath_),
      peerTap_(lastFrame_, *this),
      Frames(peerTap_, options_),
      meterOwner_(*this),
      prompts_(prompts),
      clock_(clock),
      serialOs_(serialOs ? *serialOs : SioOsCalls::real())
{
    setObjectName("Form11");
    setWindowTitle("Ferolt");
    resize(1180, 720);

    // Writes go straight out, no flow control, no handlers; the device is set before each
    // open from the settings window's port name.
    Comm1.SetPortNum(10);
    Comm1.SetDeviceName("COM%d");
    Comm1.SetWritePriority(tpNormal);
    Comm1.SetDirectWrite(true);
    TSioFlowControl& flow = Comm1.FlowControl();
    flow.SetOutCtsFlow(false);
    flow.SetOutDsrFlow(false);
    flow.SetControlDtr(dtrDisabled);
    flow.SetControlRts(rtsDisabled);
    flow.SetXonXoffOut(false);
    flow.SetXonXoffIn(false);
    flow.SetDsrSensitivity(false);
    flow.SetTxContinueOnXoff(false);
    Comm1.SetPortsFolder(paths_.portsDir());

    buildMenu();
    buildFileAndHelpMenus();
    buildPages();
    buildTimers();
    buildLinks();
    connectCustomCommand();
    connectLogAndFiles();
    buildGatewayPage();
    buildAccentLabels();
    buildDisplayPage();
    buildReadingsPage();
    keepMinimumSize(*this);
    FormCreate();
}

TForm11::~TForm11()
{
    // A search still running is stopped and joined before anything it uses goes.
    try {
        endSearchForClose();
    } catch (...) {
    }
    // The sockets' events must not reach a window that is half gone.
    dropLinkEvents();
}

void TForm11::buildMenu()
{
    Tools1 = menuBar()->addMenu("Tools");
    Tools1->setObjectName("Tools1");
    Settings1 = Tools1->addAction("Settings");
    Settings1->setObjectName("Settings1");
    connect(Settings1, &QAction::triggered, this, [this] { Settings1Click(); });

    Language1 = menuBar()->addMenu("Language");
    Language1->setObjectName("Language1");
    const auto item = [this](const char* name, const char* text, void (TForm11::*handler)()) {
        QAction* action = Language1->addAction(text);
        action->setObjectName(name);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    English1 = item("English1", "English", &TForm11::English1Click);
    Italian1 = item("Italian1", "Italian", &TForm11::Italian1Click);
    Polish1 = item("Polish1", "Polski", &TForm11::Polish1Click);
}

void TForm11::buildPages()
{
    auto* central = new QWidget(this);
    central->setObjectName("Panel_main");
    auto* column = new QVBoxLayout(central);
    setCentralWidget(central);

    PageControl1 = new QTabWidget(central);
    PageControl1->setObjectName("PageControl1");
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    PageControl1->addTab(TabSheet1, "   M-bus devices   ");
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    PageControl1->addTab(TabSheet2, "   Communication devices   ");
    ShowPageTab(TabSheet2, false);
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName("TabSheet3");
    PageControl1->addTab(TabSheet3, "   Local display Pexor   ");
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");
    PageControl1->addTab(TabSheet4, "   Get Readings   ");
    column->addWidget(PageControl1, 3);

    // The meters page: the table on the left (it joins with the meter operations), the
    // search and its time-out on the right.
    auto* meters = new QHBoxLayout(TabSheet1);
    buildMetersTable(meters);
    auto* side = new QVBoxLayout;
    meters->addLayout(side);
    Group_search = new QGroupBox("   Search network   ", TabSheet1);
    Group_search->setObjectName("Group_search");
    auto* search = new QGridLayout(Group_search);
    Label6 = new QLabel("By Primary address: ", Group_search);
    Label6->setObjectName("Label6");
    UD_address_min = upDown(Group_search, "UD_address_min", "Edit_address_min", 0, 255, false, 72);
    Edit_address_min = UD_address_min->edit();
    UD_address_max = upDown(Group_search, "UD_address_max", "Edit_address_max", 0, 255, false, 72);
    Edit_address_max = UD_address_max->edit();
    Label8 = new QLabel("Resp. timeout", Group_search);
    Label8->setObjectName("Label8");
    UD_timeout = upDown(Group_search, "UD_timeout", "Edit_timeout", 300, 9900, false, 72);
    UD_timeout->setSingleStep(100);
    Edit_timeout = UD_timeout->edit();
    auto* ms = new QLabel("ms", Group_search);
    ms->setObjectName("Label_timeout_unit");
    search->addWidget(Label6, 0, 0);
    search->addWidget(UD_address_min, 0, 1);
    search->addWidget(UD_address_max, 0, 2);
    search->addWidget(Label8, 1, 0);
    search->addWidget(UD_timeout, 1, 1);
    search->addWidget(ms, 1, 2);
    side->addWidget(Group_search);
    buildMeterOperations(side);
    side->addStretch(1);
    connect(UD_timeout, &QSpinBox::valueChanged, this, [this] { Edit_timeoutChange(); });

    // Below the pages: how a custom command is typed, then the log.
    auto* command = new QHBoxLayout;
    Label4 = new QLabel("Send custom command", central);
    Label4->setObjectName("Label4");
    Check_hex = new QCheckBox("Hex", central);
    Check_hex->setObjectName("Check_hex");
    command->addWidget(Label4);
    command->addWidget(buildCommandEdit(central), 1);
    command->addWidget(Check_hex);
    Check_ascii = new QCheckBox("ASCII", central);
    Check_ascii->setObjectName("Check_ascii");
    command->addWidget(Check_ascii);
    command->addWidget(buildCommandSend(central));
    column->addLayout(command);

    Log.add("");   // the log starts with one empty line
    Memo_current = new LogView(Log, central);
    Memo_current->setObjectName("Memo_current");
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(Memo_current, 1);
    auto* logButtons = new QVBoxLayout;
    BitBtn7 = button(central, "BitBtn7", "Print log");
    BitBtn6 = button(central, "BitBtn6", "Save log");
    BitBtn5 = button(central, "BitBtn5", "Clear log");
    for (QPushButton* b : {BitBtn7, BitBtn6, BitBtn5})
        logButtons->addWidget(b);
    logButtons->addStretch(1);
    logRow->addLayout(logButtons);
    column->addLayout(logRow, 2);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName("StatusBar1");
    // A permanent widget: status tips of menus and controls never hide the port's state.
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName("StatusPanel1");
    StatusBar1->addPermanentWidget(StatusPanel1, 1);
    ProgressBar1->setFixedWidth(320);
    StatusBar1->addPermanentWidget(ProgressBar1);
}

void TForm11::connectClicked(QPushButton* button, void (TForm11::*handler)())
{
    connect(button, &QPushButton::clicked, this, [this, handler] {
        try {
            (this->*handler)();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    });
}

void TForm11::buildTimers()
{
    const auto timer = [this](const char* name, int interval) {
        auto* t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(interval);
        t->setTimerType(Qt::PreciseTimer);   // one tick is one response time-out
        return t;
    };
    Timer_respond = timer("Timer_respond", DefaultTimeout);
    Timer_secondary = timer("Timer_secondary", DefaultTimeout);
    Timer_readall = timer("Timer_readall", DefaultTimeout);
    Timer_free_command = timer("Timer_free_command", DefaultTimeout);
    Timer_pexor = timer("Timer_pexor", DefaultTimeout);
    Timer_pexor_info = timer("Timer_pexor_info", DefaultTimeout);
    Timer_auto_address = timer("Timer_auto_address", 100);
    Timer_close_socket = timer("Timer_close_socket", 180000);
    connect(Timer_respond, &QTimer::timeout, this, &TForm11::Timer_respondTimer);
    connect(Timer_readall, &QTimer::timeout, this, &TForm11::Timer_readallTimer);
    connect(Timer_secondary, &QTimer::timeout, this, [this] {
        // A test's peer slowed by a busy machine: a later tick takes its answer.
        if (!peerStillAnswering())
            Timer_secondaryTimer();
    });
    connect(Timer_auto_address, &QTimer::timeout, this, &TForm11::Timer_auto_addressTimer);
}

// --- life of the window ---

void TForm11::FormCreate()
{
    TitleCount = 0;
    SecMainChanged = false;

    const IniFile ini(paths_.iniPath(), FileWriter {});
    UD_address_min->setValue(ini.readInteger("Mbus", "SearchFrom", 0));
    UD_address_max->setValue(ini.readInteger("Mbus", "SearchTo", 0));
    UD_timeout->setValue(ini.readInteger("Mbus", "Timeout", DefaultTimeout));
    const std::string& folder = paths_.folder();
    DataDir = ini.readString("Misc", "Dir", folder.ends_with('/') ? folder : folder + "/");
    LanguageNo = ini.readInteger("Misc", "Language", 1);
    // The count sizes the meters table and indexes nine title slots.
    TitleCount = std::clamp(ini.readInteger("Titles", "Count", 0), 0, 9);
    for (std::size_t i = 0; i < 9; ++i)
        Titles[i] = ini.readString("Titles", "Title" + std::to_string(i + 1), "").substr(0, TitleLength);
    Titles[9] = ini.readString("Titles", "SecMain", "").substr(0, TitleLength);
    SecMainShown = ini.readBool("Misc", "SMain", false);
    EncodingName = ini.readBool("Misc", "Encoding", false) ? "Unicode" : "CP 852";

    PageControl1->setCurrentWidget(TabSheet1);
    Check_tovek2->setChecked(true);
    Edit_timeoutChange();

    CurAddr = "256";
    CurId.clear();
    MeterSelRow = 0;
    SearchActive = MatchById = SetAddrPending = ReadAfterWrite = false;
    CurrentAddress = ReadAllRow = RetryCount = 0;
    WriteTableActive = TimePending = ReadAllMemory = false;
    PexorSelAddr = PexorSelRow = PexorSelCol = ReadingsSelRow = 0;
    AutoAddressing = false;
    AutoAddrNext = AutoAddrRow = 0;

    English1->setChecked(LanguageNo != 2 && LanguageNo != 3);
    Italian1->setChecked(LanguageNo == 2);
    Polish1->setChecked(LanguageNo == 3);
    applyLanguage(languageOf(LanguageNo));

    Check_hex->setChecked(true);

    PortOpen = false;
    Link.ClientOnListen = false;
    Link.ListenOpen = false;
    Link.LanxpConnected = false;
    Link.PacketNo = 1;
    RowChecked.fill(false);

    showSelectionLabels();
}

void TForm11::FormActivate()
{
    applyLanguage(languageOf(LanguageNo));
    if (Settings && Settings->Check_ethernet->isChecked() && !Link.ListenOpen && !Link.ClientOnListen)
        ToggleListenSocket(Text8::fromUnicode(Settings->Edit_tcp_port->text()));
}

void TForm11::FormClose()
{
    endSearchForClose();
    // The five keys are composed and saved at once: a failure leaves the file as it was.
    IniFile ini(paths_.iniPath(), atomicFileWriter());
    ini.writeInteger("Mbus", "SearchFrom", UD_address_min->value());
    ini.writeInteger("Mbus", "SearchTo", UD_address_max->value());
    ini.writeInteger("Mbus", "Timeout", UD_timeout->value());
    ini.writeString("Misc", "Dir", DataDir);
    ini.writeInteger("Misc", "Language", LanguageNo);
    if (!ini.save())
        prompts_.message(this, Prompts::Icon::Warning, "Saving settings",
                         "Settings will not be saved, no write permission", Prompts::Buttons::Ok);
    if (PortOpen)
        ToggleComPort();
    ReleaseLink();
    if (Login)
        Login->close();
}

void TForm11::Edit_timeoutChange()
{
    const int interval = responseTimeout();
    for (QTimer* t : {Timer_respond, Timer_secondary, Timer_readall, Timer_free_command, Timer_pexor,
                      Timer_pexor_info})
        t->setInterval(interval);
}

bool TForm11::event(QEvent* event)
{
    if (event->type() == QEvent::Show && !firstShown_) {
        // The page shown with the window gets its show handler too.
        firstShown_ = true;
        PageShown(PageControl1->currentIndex());
    }
    if (event->type() == QEvent::WindowActivate) {
        try {
            FormActivate();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    }
    return QMainWindow::event(event);
}

void TForm11::closeEvent(QCloseEvent* event)
{
    // A close that comes during a wait (it is not user input) takes effect once the wait and
    // its read are over.
    if (exchangeHeld_ || BlockingWaitBusy()) {
        event->ignore();
        if (!closeDeferred_) {
            closeDeferred_ = true;
            QTimer::singleShot(20, this, &TForm11::retryDeferredClose);
        }
        return;
    }
    try {
        FormClose();
    } catch (const std::exception& e) {
        Log.add(e.what());
        if (Login)
            Login->close();
    }
    event->accept();
}

// --- the active link ---

bool TForm11::PrepareLink()
{
    if (!EthernetTicked() && !XportTicked() && !TovekServerTicked()) {
        if (!PortOpen)
            ToggleComPort();
        if (!PortOpen)
            return false;
        // A line that cannot be purged (hung up) is logged; the exchange goes on and its
        // failed write is logged by the send path.
        purgeComm();
        return true;
    }
    if (XportTicked()) {
        Butt_connect_xportClick();
        return Link.LanxpConnected;
    }
    if (TovekServerTicked()) {
        Butt_tovekClick();
        return Link.TovekClientConnected;
    }
    Link.EthReplyText.clear();
    return Link.ListenOpen && Link.ClientOnListen;
}

void TForm11::ReleaseLink()
{
    if (EthernetTicked())
        Link.EthReplyText.clear();
    Link.FullReportMode = false;
    if (!EthernetTicked() && !XportTicked() && !TovekServerTicked()) {
        releaseComPort();
    } else if (XportTicked()) {
        // The flag goes at once; the socket's disconnect event logs when the link is down.
        if (Link.LanxpConnected)
            Xport_socket->disconnectFromHost();
        Link.LanxpConnected = false;
    } else if (TovekServerTicked()) {
        if (Link.TovekClientConnected)
            Tovek_client_socket->disconnectFromHost();
        Link.TovekClientConnected = false;
    }
}

void TForm11::releaseComPort()
{
    try {
        Comm1.PurgeReadWrite();
    } catch (const std::exception&) {
        // A line that cannot be purged (hung up) is closed all the same.
    }
    if (PortOpen)
        ToggleComPort();
}

void TForm11::ToggleComPort()
{
    const std::string name = Text8::fromUnicode(Settings->Combo_com_name->currentText());
    const auto enableCombos = [this](bool enable) {
        Settings->Combo_com_name->setEnabled(enable);
        Settings->Combo_com_speed->setEnabled(enable);
        Settings->Combo_com_parity->setEnabled(enable);
    };

    if (PortOpen) {
        try {
            showStatus(name + " is closed");
            PortOpen = false;
            // Close joins the port's event thread before its descriptor goes.
            Comm1.Close();
            enableCombos(true);
            Settings->Butt_open_port->setText("Connect to port");
        } catch (const std::exception&) {
            Log.add("Unknown Exception closing serial port, please restart...");
        }
        return;
    }

    const std::optional<std::string> path = ResolveSerialPortName(name, paths_.portsDir());
    const std::string refusal = path ? portRefusal(serialOs_, *path) : std::string();
    if (!path || !refusal.empty()) {
        showStatus(name + " is closed");
        PortOpen = false;
        // Fixed Windows-1250 texts, in the language of the ticked Language item.
        if (Polish1->isChecked())
            Log.add("Wybrany port jest u\xBFywany przez inny program");
        else if (Italian1->isChecked())
            Log.add("La porta selezionata (" + name + ") e utilizzata da un\"altra applicazione!");
        else
            Log.add("The selected serial port (" + name + ") is in use by another program!");
        // What the system said, for every language: the cause decides the remedy.
        if (path)
            Log.add(name + " is " + devicePathText(*path) + ": " + refusal);
        else
            Log.add(name + " is no port name: COMn or a device path");
        return;
    }

    const Speed speed = speedOf(Text8::fromUnicode(Settings->Combo_com_speed->currentText()));
    const Parity parity = parityOf(Text8::fromUnicode(Settings->Combo_com_parity->currentText()));
    try {
        Comm1.SetDeviceName(*path);
        Comm1.SetBaudrate(speed.rate);
        Comm1.SetParity(parity.parity);
        Comm1.SetStopbits(sb1);
        Comm1.SetDatabits(db8);
        Comm1.Open();
        const std::string line = name + " - " + speed.text + ",8," + parity.text;
        showStatus(line);
        Log.add(line);
        PortOpen = true;
        enableCombos(false);
        Settings->Butt_open_port->setText("Disconnect");
    } catch (const std::exception&) {
        Log.add("Unknown Exception on opening serial port...");
        showStatus(name + " is closed");
    }
}

// --- menu ---

void TForm11::Settings1Click()
{
    Settings->show();
    Settings->raise();
    Settings->activateWindow();
}

void TForm11::English1Click()
{
    English1->setChecked(true);
    Italian1->setChecked(false);
    Polish1->setChecked(false);
    LanguageNo = 1;
    SetLanguageEnglish();
}

void TForm11::Italian1Click()
{
    Italian1->setChecked(true);
    English1->setChecked(false);
    Polish1->setChecked(false);
    SetLanguageItalian();
    LanguageNo = 2;
}

void TForm11::Polish1Click()
{
    Polish1->setChecked(true);
    English1->setChecked(false);
    Italian1->setChecked(false);
    SetLanguagePolish();
    LanguageNo = 3;
}

// --- helpers ---

void TForm11::showStatus(const std::string& text) { StatusPanel1->setText(Text8::toUnicode(text)); }

std::string TForm11::StatusText() const { return Text8::fromUnicode(StatusPanel1->text()); }

bool TForm11::EthernetTicked() const { return Settings && Settings->Check_ethernet->isChecked(); }

bool TForm11::TovekServerTicked() const
{
    return Settings && Settings->Check_tovek_server->isChecked();
}

bool TForm11::XportTicked() const { return Settings && Settings->Check_xport->isChecked(); }

std::string TForm11::NetNumberText() const
{
    return Settings ? Text8::fromUnicode(Settings->Edit_net_number->text()) : std::string();
}

bool TForm11::IsAdministrator() const { return Login && Login->IsAdministrator; }
