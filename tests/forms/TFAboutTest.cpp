#include "TFAbout.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <jpeglib.h>

namespace {

TEST(TFAbout, CreatedHiddenWithItsControls)
{
    TFAbout about;
    EXPECT_EQ(about.objectName(), "FAbout");
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.windowTitle(), "Ferolt -> About");
    EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(about.isWindow());

    const struct {
        QWidget* member;
        const char* name;
    } controls[] = {
        {about.Image1, "Image1"}, {about.Label1, "Label1"}, {about.Label2, "Label2"},
        {about.Label3, "Label3"}, {about.Label4, "Label4"}, {about.Label5, "Label5"},
        {about.Label6, "Label6"}, {about.BitBtn1, "BitBtn1"},
    };
    for (const auto& c : controls) {
        ASSERT_NE(c.member, nullptr) << c.name;
        EXPECT_EQ(about.findChild<QWidget*>(c.name), c.member) << c.name;
    }
    EXPECT_EQ(about.BitBtn1->text(), "Close");
    EXPECT_EQ(about.Image1->size(), QSize(305, 41));
}

TEST(TFAbout, NameAndVersion)
{
    TFAbout about;
    EXPECT_EQ(about.Label1->text(), QString("Ferolt v") + FEROLT_EXPECTED_VERSION);
    EXPECT_TRUE(QRegularExpression(R"(^Ferolt v\d+\.\d+\.\d+\.\d+$)")
                    .match(about.Label1->text())
                    .hasMatch());
    EXPECT_TRUE(about.Label1->font().bold());
    EXPECT_EQ(about.Label1->font().pixelSize(), 27);
    for (QLabel* label : {about.Label2, about.Label3, about.Label4}) {
        EXPECT_EQ(label->font().pixelSize(), 11);
        EXPECT_FALSE(label->text().isEmpty());
    }
    // Contact addresses lie in names reserved for examples, never a real maker's.
    const QRegularExpression reserved(R"(\.(example|example\.(com|org|net))$)");
    EXPECT_TRUE(reserved.match(about.Label5->text()).hasMatch()) << about.Label5->text().toStdString();
    EXPECT_TRUE(about.Label6->text().contains('@'));
    EXPECT_TRUE(reserved.match(about.Label6->text()).hasMatch()) << about.Label6->text().toStdString();
    EXPECT_TRUE(about.Label5->font().bold());
    EXPECT_TRUE(about.Label6->font().bold());
    // Every text fits its label.
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label == about.Image1)
            continue;
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->objectName().toStdString();
    }
}

TEST(TFAbout, FixedSizeCentred)
{
    TFAbout about;
    EXPECT_EQ(about.minimumSize(), QSize(380, 280));
    EXPECT_EQ(about.maximumSize(), QSize(380, 280));
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    about.resize(600, 500);
    EXPECT_EQ(about.size(), QSize(380, 280));
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint offset = about.geometry().center() - desktop.center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

TEST(TFAbout, PictureIsReadButNeverShown)
{
    TFAbout about;
    const JpegHeader& picture = about.pictureHeader();
    ASSERT_TRUE(picture.ok) << picture.error;
    EXPECT_EQ(picture.width, 283);
    EXPECT_EQ(picture.height, 40);
    EXPECT_EQ(picture.components, 3);
    EXPECT_EQ(picture.colorSpace, JCS_YCbCr);
    EXPECT_FALSE(picture.progressive);
    EXPECT_TRUE(picture.jfif);
    EXPECT_GT(about.pictureData().size(), 1000);

    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_FALSE(about.Image1->isVisible());
    EXPECT_TRUE(about.Image1->pixmap().isNull());
}

TEST(TFAbout, CloseHides)
{
    TFAbout about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    // It can be shown again: closing only hides.
    about.show();
    EXPECT_TRUE(about.isVisible());
}

} // namespace
