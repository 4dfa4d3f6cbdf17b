// The three TCP links: the listening socket a gateway calls in on, the client socket to a
// gateway server and the client socket to the display's Ethernet module. Their events run on
// the window's thread; the two gateway links assemble 300-byte reply packets, the display's
// link collects raw bytes.
#include "TForm11.h"

#include "BlockingWait.h"
#include "LinkPorts.h"
#include "LocaleTime.h"
#include "TSettings.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QHostAddress>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

constexpr std::uint16_t XportPort = 10001;
constexpr int XportWaitSteps = 101;
// What a socket may hold unread: a peer that floods gets read in bounded slices, and the
// window's other events run between them. A whole number of packets, so that a burst of
// packets is still read 300 bytes at a time.
constexpr qint64 ReadBufferSize = 64 * EthPacketSize;
// The display's replies are far shorter; a module that keeps talking unasked fills this much.
constexpr std::size_t LanxpReplyLimit = 64 * 1024;

// The error numbers the users know from the sockets of their system.
int socketErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::NetworkError: return 10050;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    default: return static_cast<int>(error);
    }
}

template <class Handler>
void guarded(LogModel& log, Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        log.add(e.what());
    }
}

} // namespace

void TForm11::buildLinks()
{
    Socket1 = new QTcpServer(this);
    Socket1->setObjectName("Socket1");
    connect(Socket1, &QTcpServer::newConnection, this, [this] { guarded(Log, [this] { Socket1NewConnection(); }); });

    Xport_socket = new QTcpSocket(this);
    Xport_socket->setObjectName("Xport_socket");
    Xport_socket->setReadBufferSize(ReadBufferSize);
    connect(Xport_socket, &QTcpSocket::connected, this, [this] { guarded(Log, [this] { Xport_socketConnect(); }); });
    connect(Xport_socket, &QTcpSocket::disconnected, this,
            [this] { guarded(Log, [this] { Xport_socketDisconnect(); }); });
    connect(Xport_socket, &QTcpSocket::readyRead, this, [this] { guarded(Log, [this] { Xport_socketRead(); }); });
    connect(Xport_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { guarded(Log, [&] { logSocketError(e); }); });

    Tovek_client_socket = new QTcpSocket(this);
    Tovek_client_socket->setObjectName("Tovek_client_socket");
    Tovek_client_socket->setReadBufferSize(ReadBufferSize);
    connect(Tovek_client_socket, &QTcpSocket::connected, this,
            [this] { guarded(Log, [this] { Tovek_client_socketConnect(); }); });
    connect(Tovek_client_socket, &QTcpSocket::disconnected, this,
            [this] { guarded(Log, [this] { Tovek_client_socketDisconnect(); }); });
    connect(Tovek_client_socket, &QTcpSocket::readyRead, this,
            [this] { guarded(Log, [this] { Tovek_client_socketRead(); }); });
    connect(Tovek_client_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { guarded(Log, [&] { logSocketError(e); }); });

    // Its interval is set when it is made and never again, so that a test can shorten it.
    connect(Timer_close_socket, &QTimer::timeout, this, [this] { guarded(Log, [this] { Timer_close_socketTimer(); }); });
}

void TForm11::dropLinkEvents()
{
    Socket1->disconnect(this);
    for (QAbstractSocket* socket : findChildren<QAbstractSocket*>())
        socket->disconnect(this);
}

std::string TForm11::timeText() const { return LongTimeText(clock_.now()); }

std::string TForm11::dateText() const { return ShortDateText(clock_.now()); }

void TForm11::restartCloseTimer()
{
    // A restart, not enableTimer: every event of the gateway gives it the whole idle time again.
    Timer_close_socket->stop();
    Timer_close_socket->start();
}

// --- the listening socket ---

void TForm11::ToggleListenSocket(const std::string& portText)
{
    if (Link.ListenOpen) {
        CloseListenSocket();
        Log.add("Socket closed");
        return;
    }
    if (portText.empty()) {
        Log.add("Socket port is not defined in Settings...");
        return;
    }
    std::string error;
    try {
        CloseListenSocket();
        // IPv4 only: a dual-stack socket would report peers as "::ffff:127.0.0.1".
        if (const std::optional<std::uint16_t> port = ListenPortOf(portText); !port)
            error = "Port " + portText + " is outside 0..65535";
        else if (!Socket1->listen(QHostAddress::AnyIPv4, *port))
            error = Text8::fromUnicode(Socket1->errorString());
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (!error.empty()) {
        Log.add("Exception opening socket - " + error);
        Link.ListenOpen = false;
        return;
    }
    Link.ListenOpen = true;
    Link.ClientOnListen = false;
    Log.add("Socket is opened at port " + portText);
}

void TForm11::CloseListenSocket()
{
    Socket1->close();
    // The server leaves accepted connections open; each is closed here, and its disconnect
    // event takes it off the list.
    const std::vector<QTcpSocket*> connections = Socket1Connections;
    for (QTcpSocket* c : connections) {
        c->close();
        if (c->state() != QAbstractSocket::UnconnectedState)
            c->abort();   // data still waiting to go: dropped with the link
    }
    Link.ListenOpen = false;
}

void TForm11::Socket1NewConnection()
{
    // Every pending connection is taken, so that the queue never fills. One gateway is
    // served at a time: while one is connected, a newcomer is closed at once and touches
    // nothing.
    while (QTcpSocket* c = Socket1->nextPendingConnection()) {
        if (!Socket1Connections.empty()) {
            c->abort();
            c->deleteLater();
            continue;
        }
        c->setReadBufferSize(ReadBufferSize);
        const std::string address = Text8::fromUnicode(c->peerAddress().toString());
        Socket1Connections.push_back(c);
        ListenRxBlock.clear();
        connect(c, &QTcpSocket::readyRead, this, [this, c] { guarded(Log, [&] { Socket1ClientRead(c); }); });
        connect(c, &QTcpSocket::disconnected, this,
                [this, c, address] { guarded(Log, [&] { listenConnectionEnded(c, address); }); });
        connect(c, &QTcpSocket::errorOccurred, this,
                [this](QAbstractSocket::SocketError e) { guarded(Log, [&] { logSocketError(e); }); });
        Socket1ClientConnect();
        Socket1Accept();
    }
}

void TForm11::listenConnectionEnded(QTcpSocket* connection, const std::string& remoteAddress)
{
    const auto it = std::find(Socket1Connections.begin(), Socket1Connections.end(), connection);
    if (it == Socket1Connections.end())
        return;
    Socket1Connections.erase(it);
    // A packet cut off by the end of its connection never prefixes the next gateway's.
    ListenRxBlock.clear();
    connection->deleteLater();
    Socket1ClientDisconnect(remoteAddress);
}

void TForm11::Socket1ClientConnect()
{
    if (EthernetTicked())
        Log.add("Incoming request...");
    else
        Log.add("Incoming request from Tovek/Sarnel ignored at " + timeText() + ", " + dateText());
}

void TForm11::Socket1Accept()
{
    try {
        const QTcpSocket* c = Socket1Connections.front();
        GatewayRemoteAddr = Text8::fromUnicode(c->peerAddress().toString());
        GatewayRemoteHost = GatewayRemoteAddr;
        GatewayRemotePort = c->peerPort();
        Log.add("Connected to " + GatewayRemoteAddr + ", " + GatewayRemoteHost + ", port No "
                + std::to_string(GatewayRemotePort));
        Log.add(timeText() + ",  " + dateText());
        Log.add("\r");
        Link.PacketNo = 1;
        Link.ClientOnListen = true;
        raise();
        activateWindow();
        QApplication::beep();
    } catch (const std::exception& e) {
        Log.add(std::string("Unknown socket exception - ") + e.what());
    }
    restartCloseTimer();
}

void TForm11::Socket1ClientDisconnect(const std::string& remoteAddress)
{
    if (remoteAddress != GatewayRemoteAddr)
        return;
    Link.ClientOnListen = false;
    Log.add("Connection closed by client at " + dateText() + ", " + timeText());
}

void TForm11::applyRxStep(const GatewayRxBlock::Step& step)
{
    for (const std::string& line : step.reply.lines)
        Log.add(line);
    if (!step.checked)
        return;
    Link.EthReplyText = step.reply.text;
    if (step.reply.netNumber)
        Link.NetNumber = *step.reply.netNumber;
}

bool TForm11::readGatewayPackets(QTcpSocket& socket, GatewayRxBlock& block,
                                 const std::function<void(const std::string& error)>& readFailed)
{
    bool checked = false;
    // One event per arrival: everything waiting is read, 300 bytes at a time.
    while (socket.bytesAvailable() > 0) {
        char buffer[EthPacketSize];
        const qint64 n = socket.read(buffer, sizeof buffer);
        if (n < 0) {
            readFailed(Text8::fromUnicode(socket.errorString()));
            break;
        }
        if (n == 0)
            break;
        const GatewayRxBlock::Step step = block.add(std::string_view(buffer, static_cast<std::size_t>(n)));
        applyRxStep(step);
        checked = checked || step.checked;
    }
    return checked;
}

void TForm11::Socket1ClientRead(QTcpSocket* connection)
{
    if (Socket1Connections.empty() || Socket1Connections.front() != connection)
        return;
    const bool checked = readGatewayPackets(*connection, ListenRxBlock, [this](const std::string& error) {
        Log.add("Exception reading data from TCP socket - " + error);
        ListenRxBlock.clear();
    });
    restartCloseTimer();
    // A gateway's first packet (nothing sent to it yet) starts the automatic read, whatever
    // its check found. It runs last: it may send, and the connection may end meanwhile. The
    // display's read waits for its replies, so it runs after this event, never inside it.
    if (checked && Link.PacketNo == 1) {
        if (Settings && Settings->Check_autopexor->isChecked())
            queueAutoDisplayRead();
        else if (Settings && Settings->Check_autombus->isChecked())
            Butt_find_primaryClick();
    }
}

void TForm11::Timer_close_socketTimer()
{
    Link.ListenOpen = false;
    Link.ClientOnListen = false;
    ToggleListenSocket(Settings ? Text8::fromUnicode(Settings->Edit_tcp_port->text()) : std::string());
    if (Link.ListenOpen)
        Timer_close_socket->stop();
}

// --- the client links ---

bool TForm11::takeClientTarget(QTcpSocket& socket, std::string& host, std::uint16_t& port,
                               std::uint16_t emptyPort, bool& connected)
{
    const std::string newHost = Text8::fromUnicode(Settings->Edit_lanxp_ip->text());
    const std::optional<std::uint16_t> newPort =
        ClientPortOf(Text8::fromUnicode(Settings->Edit_lanxp_port->text()), emptyPort);
    // A live socket keeps its target: a change while it is not unconnected is refused.
    const bool live = socket.state() != QAbstractSocket::UnconnectedState;
    if (!newPort || (live && (newHost != host || *newPort != port))) {
        Log.add("Remote IP and Port are not properly set...");
        socket.disconnectFromHost();
        connected = false;
        return false;
    }
    host = newHost;
    port = *newPort;
    return true;
}

void TForm11::Butt_connect_xportClick()
{
    if (!Settings || !takeClientTarget(*Xport_socket, xportHost_, xportPort_, XportPort, Link.LanxpConnected))
        return;
    if (Link.LanxpConnected)
        return;
    try {
        if (Xport_socket->state() != QAbstractSocket::UnconnectedState)
            Xport_socket->abort();   // still closing from the last exchange
        Xport_socket->connectToHost(Text8::toUnicode(xportHost_), xportPort_);
        Log.add("Trying to connect to Pexor-V48 ethernet...");
        // About one second, whether or not the module answers earlier.
        for (int step = 0; step < XportWaitSteps; ++step)
            BlockingWait(10);
    } catch (const std::exception&) {
        Log.add("Unexpected exception when connecting to Pexor ethernet...");
        Xport_socket->disconnectFromHost();
        Link.LanxpConnected = false;
    }
}

void TForm11::Butt_tovekClick()
{
    if (!Settings
        || !takeClientTarget(*Tovek_client_socket, tovekHost_, tovekPort_, GatewayPort, Link.TovekClientConnected))
        return;
    if (Link.TovekClientConnected)
        return;
    try {
        if (Tovek_client_socket->state() != QAbstractSocket::UnconnectedState)
            Tovek_client_socket->abort();
        Tovek_client_socket->connectToHost(Text8::toUnicode(tovekHost_), tovekPort_);
        Log.add("Trying to connect to Tovek-2 server...");
        // Until connected, at most the settings' time-out + 1 steps of 10 ms.
        for (int step = 0; !Link.TovekClientConnected && step <= Settings->UD_eth_timeout->value(); ++step)
            BlockingWait(10);
    } catch (const std::exception&) {
        Log.add("Unexpected exception when connecting to Tovek-2 server...");
        Tovek_client_socket->disconnectFromHost();
        Link.TovekClientConnected = false;
    }
}

void TForm11::Xport_socketConnect()
{
    Log.add("Connected TCP/IP, at " + timeText());
    Link.LanxpConnected = true;
}

void TForm11::Xport_socketDisconnect()
{
    Log.add("Disconnected TCP/IP connection at " + timeText());
    Link.LanxpConnected = false;
}

void TForm11::Xport_socketRead()
{
    const QByteArray bytes = Xport_socket->readAll();
    const std::size_t room = LanxpReplyLimit - std::min(LanxpReplyLimit, Link.LanxpReplyText.size());
    Link.LanxpReplyText.append(bytes.constData(), std::min(room, static_cast<std::size_t>(bytes.size())));
}

void TForm11::Tovek_client_socketConnect()
{
    Log.add("Connected TCP/IP, at " + timeText() + ", server " + Text8::fromUnicode(Settings->Edit_lanxp_ip->text()));
    Link.TovekClientConnected = true;
    Link.PacketNo = 1;
    TovekRxBlock.clear();
}

void TForm11::Tovek_client_socketDisconnect()
{
    Log.add("Disconnected TCP/IP connection at " + timeText() + ", from server "
            + Text8::fromUnicode(Settings->Edit_lanxp_ip->text()));
    Log.add("");
    Link.TovekClientConnected = false;
    TovekRxBlock.clear();
}

void TForm11::Tovek_client_socketRead()
{
    readGatewayPackets(*Tovek_client_socket, TovekRxBlock, [this](const std::string& error) {
        // The partial block is kept.
        Log.add("Exception reading data from TCP socket (Tovek-2) - " + error);
    });
}

void TForm11::logSocketError(QAbstractSocket::SocketError error)
{
    // A peer closing the connection is its disconnect, not an error.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    Log.add("Socket error #" + std::to_string(socketErrorNumber(error)));
}

// --- sending ---

bool TForm11::SendPexorCommand(const std::string& text) { return sendPath_.sendPexorCommand(text); }

bool TForm11::sendOn(NetLink link, const std::string& bytes, std::string& error)
{
    QTcpSocket* socket = link == NetLink::Listening     ? (Socket1Connections.empty() ? nullptr : Socket1Connections.front())
                       : link == NetLink::TovekServer ? Tovek_client_socket
                                                        : Xport_socket;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
        error = "not connected";
        return false;
    }
    if (socket->write(bytes.data(), static_cast<qint64>(bytes.size())) < 0) {
        error = Text8::fromUnicode(socket->errorString());
        return false;
    }
    // Out now, not when the window's events next run: a sender may hold the window right
    // after (the pause that follows a global SND_NKE), and the peer must have it by then.
    socket->flush();
    return true;
}
