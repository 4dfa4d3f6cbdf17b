#include "TFAbout.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#ifndef FEROLT_VERSION
#error "FEROLT_VERSION must name the program's four-part version"
#endif

namespace {

constexpr int WindowWidth = 380;
constexpr int WindowHeight = 280;
const char* const PictureResource = ":/forms/FeroltAbout.jpg";

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& place,
                  const char* family, int pixelSize, bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(place);
    return label;
}

} // namespace

TFAbout::TFAbout(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName("FAbout");
    setWindowTitle("Ferolt -> About");
    setFixedSize(WindowWidth, WindowHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(37, 10, 305, 41);
    Image1->hide();

    Label1 = makeLabel(this, "Label1", QStringLiteral("Ferolt v" FEROLT_VERSION),
                       QRect(0, 60, WindowWidth, 38), "Verdana", 27, true);
    Label2 = makeLabel(this, "Label2",
                       "Made by us to ease the setting of M-Bus devices.",
                       QRect(8, 108, WindowWidth - 16, 18), "Arial", 11, false);
    Label3 = makeLabel(this, "Label3", "You take this software as it is, in its present state.",
                       QRect(8, 126, WindowWidth - 16, 18), "Arial", 11, false);
    Label4 = makeLabel(this, "Label4", "For updates and changes, please ask us.",
                       QRect(8, 144, WindowWidth - 16, 18), "Arial", 11, false);
    Label5 = makeLabel(this, "Label5", "www.ferolt.example", QRect(8, 178, WindowWidth - 16, 18),
                       "Arial", 11, true);
    Label6 = makeLabel(this, "Label6", "support@ferolt.example",
                       QRect(8, 198, WindowWidth - 16, 18), "Arial", 11, true);

    BitBtn1 = new QPushButton("Close", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry((WindowWidth - 80) / 2, 236, 80, 28);
    connect(BitBtn1, &QPushButton::clicked, this, &TFAbout::BitBtn1Click);

    // The picture is kept and its header read; it is never decoded for display.
    QFile picture(PictureResource);
    if (picture.open(QIODevice::ReadOnly))
        pictureData_ = picture.readAll();
    pictureHeader_ = readJpegHeader(reinterpret_cast<const unsigned char*>(pictureData_.constData()),
                                    static_cast<std::size_t>(pictureData_.size()));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        move(desktop.center() - QPoint(WindowWidth / 2, WindowHeight / 2));
    }
}

void TFAbout::BitBtn1Click()
{
    hide();
}
