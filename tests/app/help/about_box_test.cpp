// The About box as the operator meets it: Help > About opens it modally over
// the main window with the title, the version and OK in their places, OK and
// Escape close it, and the picture panel draws its raised frame and the
// picture pixel for pixel, whatever its focus or pressed state.

#include "app/help/ferry_about_dlg.h"
#include "app/help/t_drawable_button.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "help_test_support.h"
#include "widgets/dialog_panel.h"
#include "widgets/dialog_units.h"
#include "widgets/glyph_button.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kPictureLeft = 0xFF0000FF;
constexpr QRgb kPictureRight = 0xFFFFFF00;

// A picture whose left half is blue and right half yellow, so a stretch can
// be told from a crop.
QImage TwoColourPicture()
{
    QImage picture(255, 266, QImage::Format_RGB32);
    picture.fill(kPictureRight);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width() / 2; ++x)
            picture.setPixel(x, y, kPictureLeft);
    }
    return picture;
}

QImage Render(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Chooses About from the Help menu and lets `act` play the operator in the
// box; returns the class names of the modal dialogs that opened.
QStringList ChooseAbout(SDIDecFrame* frame, const std::function<void(QWidget*)>& act)
{
    ModalWatcher watcher(act);
    frame->action(command::kAbout)->trigger();
    return watcher.seen;
}

} // namespace

class AboutBoxTest : public QObject
{
    Q_OBJECT

public:
    explicit AboutBoxTest(ferryApp& application)
        : app(application)
    {
    }

private:
    ferryApp& app;

private slots:

    void initTestCase() { QVERIFY(OpenMainWindow(app) != nullptr); }

    void aboutShowsTitleVersionAndOkInTheirPlaces()
    {
        SDIDecFrame* frame = app.mainWindow();
        QString caption, title, version;
        QPoint offset;
        QRect okRect, panelRect, titleRect;
        QWidget* parent = nullptr;
        bool modal = false;
        int result = -1;
        const QStringList seen = ChooseAbout(frame, [&](QWidget* box) {
            auto* about = qobject_cast<ferryAboutDlg*>(box);
            QVERIFY(about != nullptr);
            caption = about->windowTitle();
            parent = about->parentWidget();
            modal = about->isModal();
            offset = about->pos() - frame->mapToGlobal(QPoint(0, 0));
            title = about->findChild<QLabel*>(QStringLiteral("titleText"))->text();
            titleRect = about->findChild<QLabel*>(QStringLiteral("titleText"))->geometry();
            version = about->findChild<QLabel*>(QStringLiteral("versionText"))->text();
            auto* ok = about->findChild<GlyphButton*>(QStringLiteral("okButton"));
            okRect = ok->geometry();
            panelRect = about->bitmapPanel()->geometry();
            QObject::connect(about, &QDialog::finished, [&](int r) { result = r; });
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        QCOMPARE(seen, QStringList{QStringLiteral("ferryAboutDlg")});
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(caption, QStringLiteral("About ferry"));
        QCOMPARE(parent, frame);
        QVERIFY(modal);
        QCOMPARE(title, QStringLiteral("TFTP Daemon"));
        QCOMPARE(version, QStringLiteral("Version 1.6"));

        const DialogUnits units(DialogFont());
        QCOMPARE(offset,
                 QPoint(units.ToPixelsX(82), frame->menuBar()->height() + units.ToPixelsY(21)));
        QCOMPARE(titleRect, units.ToPixels(145, 11, 88, 9));
        QCOMPARE(okRect, units.ToPixels(174, 97, 29, 21));
        QCOMPARE(panelRect, units.ToPixels(15, 4, 110, 134));
    }

    void escapeAndEnterCloseTheBox_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::newRow("Enter presses OK") << int(Qt::Key_Return) << int(QDialog::Accepted);
    }

    void escapeAndEnterCloseTheBox()
    {
        QFETCH(int, key);
        QFETCH(int, expected);
        int result = -1;
        const QStringList seen = ChooseAbout(app.mainWindow(), [&](QWidget* box) {
            QObject::connect(qobject_cast<QDialog*>(box), &QDialog::finished,
                             [&](int r) { result = r; });
            // Clicking the picture does nothing and leaves Enter to OK.
            auto* about = qobject_cast<ferryAboutDlg*>(box);
            QTest::mouseClick(about->bitmapPanel(), Qt::LeftButton);
            QVERIFY(about->isVisible());
            QTest::keyClick(box, Qt::Key(key));
        });
        QCOMPARE(seen.size(), 1);
        QCOMPARE(result, expected);
    }

    void theBoxShowsTheSixteenColourPicture()
    {
        QImage shown;
        QSize bitmapSize;
        int colours = 0;
        ChooseAbout(app.mainWindow(), [&](QWidget* box) {
            TDrawableButton* panel = qobject_cast<ferryAboutDlg*>(box)->bitmapPanel();
            bitmapSize = panel->bitmap().size();
            colours = panel->bitmap().colorCount();
            shown = Render(panel);
            RejectLater(box);
        });
        QCOMPARE(bitmapSize, QSize(255, 266));
        QVERIFY(colours > 0 && colours <= 16);
        // The inside holds the picture, not the empty grey face.
        const int w = shown.width();
        const int h = shown.height();
        int notGrey = 0;
        for (int y = 2; y < h - 4; ++y) {
            for (int x = 2; x < w - 4; ++x)
                notGrey += shown.pixel(x, y) != kFaceGrey ? 1 : 0;
        }
        QVERIFY2(notGrey > (w - 6) * (h - 6) / 2, "the picture is missing");
        QCOMPARE(shown.pixel(0, 0), kBlack);
    }

    void panelFrameBandsGapAndStretchedPicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small") << QSize(40, 50);
        QTest::newRow("About box size") << QSize(165, 218);
    }

    void panelFrameBandsGapAndStretchedPicture()
    {
        QFETCH(QSize, size);
        TDrawableButton panel(TwoColourPicture(), nullptr);
        panel.resize(size);
        const QImage image = Render(&panel);
        const int w = size.width();
        const int h = size.height();

        // Black outline on all four sides.
        for (int x = 0; x < w; ++x) {
            QCOMPARE(image.pixel(x, 0), kBlack);
            QCOMPARE(image.pixel(x, h - 1), kBlack);
        }
        for (int y = 0; y < h; ++y) {
            QCOMPARE(image.pixel(0, y), kBlack);
            QCOMPARE(image.pixel(w - 1, y), kBlack);
        }
        // Two white rows at the top and two white columns at the left; the
        // grey bands take the corners where they cross them.
        for (int x = 1; x <= w - 4; ++x)
            QCOMPARE(image.pixel(x, 1), kHighlightWhite);
        for (int y = 1; y <= h - 4; ++y)
            QCOMPARE(image.pixel(1, y), kHighlightWhite);
        QCOMPARE(image.pixel(w - 3, 1), kShadowGrey);
        QCOMPARE(image.pixel(1, h - 3), kShadowGrey);
        // Two grey rows at the bottom and two grey columns at the right.
        for (int x = 1; x <= w - 2; ++x) {
            QCOMPARE(image.pixel(x, h - 2), kShadowGrey);
            QCOMPARE(image.pixel(x, h - 3), kShadowGrey);
        }
        for (int y = 1; y <= h - 2; ++y) {
            QCOMPARE(image.pixel(w - 2, y), kShadowGrey);
            QCOMPARE(image.pixel(w - 3, y), kShadowGrey);
        }
        // The picture starts on the second white row and column...
        QCOMPARE(image.pixel(2, 1), kHighlightWhite);
        QCOMPARE(image.pixel(2, 2), kPictureLeft);
        QCOMPARE(image.pixel(w - 5, h - 5), kPictureRight);
        // ...and a one-pixel light-grey gap separates it from the grey bands.
        for (int x = 3; x <= w - 4; ++x)
            QCOMPARE(image.pixel(x, h - 4), kFaceGrey);
        for (int y = 3; y <= h - 4; ++y)
            QCOMPARE(image.pixel(w - 4, y), kFaceGrey);
        // Stretched whole into W-6 by H-6, not cropped: both halves show,
        // meeting in the middle.
        const int middle = 2 + (w - 6) / 2;
        QCOMPARE(image.pixel(middle - 2, h / 2), kPictureLeft);
        QCOMPARE(image.pixel(middle + 1, h / 2), kPictureRight);
    }

    void panelLooksTheSameFocusedPressedAndReleased()
    {
        TDrawableButton panel(TwoColourPicture(), nullptr);
        panel.resize(60, 70);
        const QImage plain = Render(&panel);
        panel.setDown(true);
        QCOMPARE(Render(&panel), plain);
        panel.setDown(false);
        panel.setAttribute(Qt::WA_KeyboardFocusChange);
        panel.setFocusPolicy(Qt::StrongFocus);
        panel.show();
        panel.activateWindow();
        panel.setFocus();
        QCOMPARE(Render(&panel), plain);
    }

    void withoutAPictureTheInsideStaysGrey()
    {
        TDrawableButton panel(QImage(), nullptr);
        panel.resize(30, 40);
        const QImage image = Render(&panel);
        QCOMPARE(image.pixel(0, 0), kBlack);
        QCOMPARE(image.pixel(2, 2), kHighlightWhite);
        for (int y = 3; y <= 40 - 4; ++y) {
            for (int x = 3; x <= 30 - 4; ++x)
                QCOMPARE(image.pixel(x, y), kFaceGrey);
        }
    }

    void cleanupTestCase() { QVERIFY(CloseMainWindow(app)); }
};

FERRY_HELP_TEST_MAIN(AboutBoxTest)

#include "about_box_test.moc"
