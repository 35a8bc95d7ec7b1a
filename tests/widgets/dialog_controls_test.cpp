// The shared dialog controls: the dialog-unit conversion and what the grey
// panels and glyph buttons put on the screen.

#include "widgets/dialog_panel.h"
#include "widgets/dialog_units.h"
#include "widgets/glyph_button.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace {

QImage Picture(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels are close to `rgb`; antialiased edges blend, so the core
// of a stroke is what counts.
int CountNear(const QImage& image, QRgb rgb)
{
    int count = 0;
    const QColor want = QColor::fromRgb(rgb);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40 &&
                std::abs(c.blue() - want.blue()) < 40) {
                ++count;
            }
        }
    }
    return count;
}

} // namespace

class DialogControlsTest : public QObject
{
    Q_OBJECT

private slots:

    // The rounding of the dialog manager: to nearest, halves away from zero,
    // each value on its own.
    void unitsRoundLikeTheDialogManager_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<int>("pixels");
        QTest::newRow("exact") << 246 << 6 << 4 << 369;
        QTest::newRow("quarter down") << 226 << 13 << 8 << 367;
        QTest::newRow("half up") << 3 << 6 << 4 << 5;
        QTest::newRow("three quarters up") << 5 << 7 << 4 << 9;
        QTest::newRow("negative half away from zero") << -1 << 6 << 4 << -2;
        QTest::newRow("negative three quarters") << -1 << 7 << 4 << -2;
        QTest::newRow("one unit high line") << 1 << 13 << 8 << 2;
        QTest::newRow("zero") << 0 << 7 << 4 << 0;
    }

    void unitsRoundLikeTheDialogManager()
    {
        QFETCH(int, units);
        QFETCH(int, base);
        QFETCH(int, divisor);
        QFETCH(int, pixels);
        const DialogUnits du = divisor == 4 ? DialogUnits(base, 8) : DialogUnits(4, base);
        QCOMPARE(divisor == 4 ? du.ToPixelsX(units) : du.ToPixelsY(units), pixels);
    }

    // Width and height are scaled themselves, not derived from scaled edges,
    // so a control's size does not depend on where it sits.
    void rectanglesScaleSizesOnTheirOwn()
    {
        const DialogUnits du(6, 13);
        QCOMPARE(du.ToPixels(-1, 0, 248, 227), QRect(-2, 0, 372, 369));
        QCOMPARE(du.ToPixels(3, 3, 29, 21), QRect(5, 5, 44, 34));
        QCOMPARE(du.ToPixels(5, 5, 29, 21).size(), QSize(44, 34));
    }

    // The average width is that of the letters, not of the widest glyph:
    // a dialog laid out with it is as wide as its longest line of text.
    void baseUnitsComeFromTheLetters()
    {
        const QFont font = DialogFont();
        const DialogUnits du(font);
        const QFontMetrics metrics(font);
        QCOMPARE(du.CharHeight(), metrics.height());
        const int letters = metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        QVERIFY(std::abs(du.AverageCharWidth() * 52 - letters) <= 52);
        QVERIFY(du.AverageCharWidth() < metrics.maxWidth());
    }

    void buttonsShowTheirFaceAndNoCaption_data()
    {
        QTest::addColumn<int>("face");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QRgb>("glyph");
        QTest::newRow("OK") << int(GlyphButton::Face::Ok) << "OK" << QRgb(0xFF008000);
        QTest::newRow("Cancel") << int(GlyphButton::Face::Cancel) << "Cancel" << QRgb(0xFFC00000);
        QTest::newRow("Help") << int(GlyphButton::Face::Help) << "Help" << QRgb(0xFF0000C0);
    }

    void buttonsShowTheirFaceAndNoCaption()
    {
        QFETCH(int, face);
        QFETCH(QString, word);
        QFETCH(QRgb, glyph);
        QWidget host;
        GlyphButton button(GlyphButton::Face(face), &host);
        button.setFont(DialogFont());
        button.setGeometry(DialogUnits(DialogFont()).ToPixels(0, 0, 29, 21));
        QCOMPARE(button.text(), QString());
        QCOMPARE(button.word(), word);
        QCOMPARE(button.accessibleName(), word);

        const QImage face1 = Picture(button);
        QVERIFY2(CountNear(face1, glyph) >= 10, "the picture is drawn in its colour");
        const QList<QRgb> others = {0xFF008000, 0xFFC00000, 0xFF0000C0};
        for (QRgb other : others) {
            if (other != glyph) {
                QCOMPARE(CountNear(face1, other), 0);
            }
        }
        QVERIFY2(CountNear(face1, 0xFF000000) >= 10, "the word is written in black");

        // Pressed, the face sinks: the light top edge goes.
        button.setDown(true);
        const QImage pressed = Picture(button);
        QCOMPARE(face1.pixel(button.width() / 2, 0), kHighlightWhite);
        QVERIFY(pressed.pixel(button.width() / 2, 0) != kHighlightWhite);
    }

    void defaultButtonWearsABlackOutline()
    {
        QWidget host;
        GlyphButton button(GlyphButton::Face::Ok, &host);
        button.setGeometry(0, 0, 50, 34);
        QVERIFY(Picture(button).pixel(25, 0) != 0xFF000000);
        button.setDefault(true);
        QCOMPARE(Picture(button).pixel(25, 0), QRgb(0xFF000000));
        QCOMPARE(Picture(button).pixel(0, 17), QRgb(0xFF000000));
    }

    // A dark desktop theme must not put light text on the grey face.
    void faceKeepsBlackTextOnGreyWhateverTheTheme()
    {
        QWidget dialog;
        QPalette dark = dialog.palette();
        dark.setColor(QPalette::Window, Qt::black);
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::ButtonText, Qt::white);
        dialog.setPalette(dark);
        ApplyDialogFace(&dialog);
        QCOMPARE(dialog.palette().color(QPalette::Window).rgb(), kFaceGrey);
        QCOMPARE(dialog.palette().color(QPalette::WindowText).rgb(), QRgb(0xFF000000));
        QCOMPARE(dialog.palette().color(QPalette::ButtonText).rgb(), QRgb(0xFF000000));
        QVERIFY(dialog.autoFillBackground());
    }

    void panelsShadeTheirEdges()
    {
        QWidget host;
        ApplyDialogFace(&host);
        ShadePanel group(ShadePanel::Kind::RecessedGroup, &host);
        group.setGeometry(0, 0, 60, 40);
        const QImage g = Picture(group);
        QCOMPARE(g.pixel(30, 0), kShadowGrey);
        QCOMPARE(g.pixel(0, 20), kShadowGrey);
        QCOMPARE(g.pixel(30, 39), kHighlightWhite);
        QCOMPARE(g.pixel(59, 20), kHighlightWhite);

        ShadePanel dip(ShadePanel::Kind::HorizontalDip, &host);
        dip.setGeometry(0, 0, 60, 2);
        const QImage d = Picture(dip);
        QCOMPARE(d.pixel(30, 0), kShadowGrey);
        QCOMPARE(d.pixel(30, 1), kHighlightWhite);
        QVERIFY(dip.testAttribute(Qt::WA_TransparentForMouseEvents));
        QVERIFY(group.testAttribute(Qt::WA_TransparentForMouseEvents));
    }

    // A click that lands where a panel overlaps a button still presses it.
    void clicksPassThroughPanels()
    {
        QWidget host;
        host.resize(100, 60);
        GlyphButton button(GlyphButton::Face::Cancel, &host);
        button.setGeometry(10, 10, 50, 34);
        ShadePanel panel(ShadePanel::Kind::RecessedGroup, &host);
        panel.setGeometry(0, 0, 100, 60);
        panel.raise();
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
        QTest::mouseClick(host.windowHandle(), Qt::LeftButton, {}, QPoint(30, 25));
        QCOMPARE(clicks, 1);
    }
};

QTEST_MAIN(DialogControlsTest)
#include "dialog_controls_test.moc"
