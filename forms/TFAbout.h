#pragma once

#include "JpegHeader.h"

#include <QByteArray>
#include <QWidget>

class QLabel;
class QPushButton;

// The About window: the program's name and version, a short disclaimer and the contact
// addresses. It is created hidden and only shown and hidden afterwards. It holds the program's
// picture, whose JPEG header is read when the window is created; the picture area stays hidden.
class TFAbout : public QWidget {
    Q_OBJECT
public:
    explicit TFAbout(QWidget* parent = nullptr);

    // The stored picture and what its header says.
    const QByteArray& pictureData() const { return pictureData_; }
    const JpegHeader& pictureHeader() const { return pictureHeader_; }

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QPushButton* BitBtn1;

public slots:
    void BitBtn1Click();

private:
    QByteArray pictureData_;
    JpegHeader pictureHeader_;
};
