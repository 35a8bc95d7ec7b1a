// The Transfers panel as the operator meets it: a row for a transfer under
// way that counts what the peer confirmed, a row for one that finished that
// says so and then goes, End transfer as the peer sees it on the wire and
// the log records it, and the panel and the window as they were at the last
// close.

#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/command_ids.h"
#include "app/main_window/sdi_dec_frame.h"
#include "app/transfers/transfers_model.h"
#include "app/transfers/transfers_panel.h"
#include "app_test_support.h"
#include "platform/clock.h"
#include "service/session_table.h"
#include "settings/settings_store.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTest>

namespace {

const QByteArray kFerrySection =
    "[FERRY]\r\nDefaultDirectory=\r\nAccessMode=ReadOnly\r\nDiagnosticMode=DiagnosticOff\r\n";

TransfersPanel* Panel(SDIDecFrame* frame)
{
    return frame->findChild<TransfersPanel*>();
}

QAction* ViewTransfers(SDIDecFrame* frame)
{
    for (QAction* top : frame->menuBar()->actions()) {
        for (QAction* entry : top->menu()->actions()) {
            if (entry->data().toInt() == command::kViewTransfers)
                return entry;
        }
    }
    return nullptr;
}

// The next datagram from the server, waiting for it through the event loop.
QByteArray Next(UdpPeer& peer)
{
    QList<QByteArray> got;
    for (int i = 0; i < 200 && got.isEmpty(); ++i) {
        QTest::qWait(10);
        got = peer.drain();
    }
    return got.value(0);
}

QByteArray Ack(int block)
{
    QByteArray ack("\x00\x04", 2);
    ack += static_cast<char>(block >> 8);
    ack += static_cast<char>(block & 0xFF);
    return ack;
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QVariant Cell(TransfersModel* model, int row, int column, int role)
{
    return model->data(model->index(row, column), role);
}

TransferEnd EndOf(TransfersModel* model, int row)
{
    return static_cast<TransferEnd>(
        Cell(model, row, TransfersModel::Status, TransfersModel::kEndRole).toInt());
}

} // namespace

class TransfersPanelTest : public QObject
{
    Q_OBJECT

    // The main window shown with its Transfers panel open.
    static TransfersPanel* ShowPanel(SDIDecFrame* frame)
    {
        frame->show();
        frame->activateWindow();
        if (!QTest::qWaitForWindowActive(frame))
            return nullptr;
        TransfersPanel* panel = Panel(frame);
        ViewTransfers(frame)->trigger();
        return panel->isVisible() ? panel : nullptr;
    }

private slots:

    // Each test starts as a first start would: the settings file holds
    // the server's section and nothing of the window.
    void init()
    {
        const QString settings = QString::fromStdString(SettingsFilePath());
        QDir().mkpath(QFileInfo(settings).path());
        WriteFile(settings, kFerrySection);
    }

    void aRowCountsWhatThePeerConfirmedWhenItStopsHalfWay()
    {
        ScratchDirectory dir;
        WriteFile(dir.file("ten.bin"), QByteArray(10 * 512 + 100, 'x'));
        StartedFrame started;
        TransfersPanel* panel = ShowPanel(started.frame());
        QVERIFY(panel != nullptr);
        UdpPeer peer;
        peer.send(ReadRequest("ten.bin"));
        for (int block = 1; block <= 4; ++block) {
            QCOMPARE(Next(peer).left(4), QByteArray("\x00\x03\x00", 3) + char(block));
            peer.send(Ack(block));
        }
        QVERIFY(!Next(peer).isEmpty()); // block 5, never acknowledged

        TransfersModel* model = panel->model();
        QTRY_COMPARE(model->rowCount(), 1);
        QTRY_COMPARE(Cell(model, 0, TransfersModel::Bytes, TransfersModel::kSortRole).toLongLong(),
                     4LL * 512);
        QCOMPARE(Cell(model, 0, TransfersModel::Total, TransfersModel::kSortRole).toLongLong(),
                 10LL * 512 + 100);
        QVERIFY(Cell(model, 0, TransfersModel::Status, TransfersModel::kLiveRole).toBool());
        QCOMPARE(panel->table()->model()->rowCount(), 1);
    }

    void aFinishedRowSaysCompletedAndThenGoes()
    {
        ScratchDirectory dir;
        WriteFile(dir.file("small.cfg"), QByteArray(100, 's'));
        StartedFrame started;
        TransfersPanel* panel = ShowPanel(started.frame());
        QVERIFY(panel != nullptr);
        UdpPeer peer;
        peer.send(ReadRequest("small.cfg"));
        QCOMPARE(Next(peer).size(), 104);
        peer.send(Ack(1));

        // Started and ended between two looks: the row comes all the same.
        TransfersModel* model = panel->model();
        QTRY_COMPARE(model->rowCount(), 1);
        QCOMPARE(EndOf(model, 0), TransferEnd::Completed);
        QVERIFY(!Cell(model, 0, TransfersModel::Status, TransfersModel::kLiveRole).toBool());
        QCOMPARE(Cell(model, 0, TransfersModel::Bytes, TransfersModel::kSortRole).toLongLong(),
                 100LL);
        model->refresh(MonotonicMilliseconds() + TransfersModel::kCompletedLingerMs - 1000);
        QCOMPARE(model->rowCount(), 1);
        model->refresh(MonotonicMilliseconds() + TransfersModel::kCompletedLingerMs + 1000);
        QCOMPARE(model->rowCount(), 0);
    }

    void endTransferTellsThePeerLogsAndLeavesNoSession()
    {
        ScratchDirectory dir;
        WriteFile(dir.file("ten.bin"), QByteArray(10 * 512, 't'));
        StartedFrame started;
        TransfersPanel* panel = ShowPanel(started.frame());
        QVERIFY(panel != nullptr);
        UdpPeer peer;
        peer.send(ReadRequest("ten.bin"));
        QVERIFY(!Next(peer).isEmpty());
        QTRY_COMPARE(panel->model()->rowCount(), 1);

        // From the log, the keyboard alone reaches the row and ends it.
        QTableView* table = panel->table();
        started.view()->setFocus();
        QTRY_VERIFY(started.view()->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(table->hasFocus());
        QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
        QVERIFY(panel->endTransferAction()->isEnabled());
        QTest::keyClick(table, Qt::Key_Delete);

        QCOMPARE(Next(peer), QByteArray("\x00\x05\x00\x00Transfer ended by the operator\x00", 35));
        QVERIFY(SessionTable == nullptr);
        QVERIFY(started.view()->logText().endsWith(
            QStringLiteral("  Transfer of file ten.bin to 127.0.0.1 port %1 ended by the "
                           "operator\r\n")
                .arg(peer.port())
                .toUtf8()));
        QCOMPARE(EndOf(panel->model(), 0), TransferEnd::EndedByOperator);
        QVERIFY(!panel->endTransferAction()->isEnabled());
    }

    void thePanelAndTheWindowComeBackAsTheyWereAndFerryIsLeftAlone()
    {
        ScratchDirectory dir;
        const QRect placed(130, 110, 720, 470);
        int panelHeight = 0;
        {
            StartedFrame started;
            SDIDecFrame* frame = started.frame();
            QVERIFY(Panel(frame)->isHidden()); // as on every first start
            QVERIFY(!ViewTransfers(frame)->isChecked());
            frame->setGeometry(placed);
            QVERIFY(ShowPanel(frame) != nullptr);
            QVERIFY(ViewTransfers(frame)->isChecked());
            QTRY_VERIFY(Panel(frame)->widget()->height() > 0);
            panelHeight = Panel(frame)->widget()->height();
            ModalAnswerer answer(ClickButton(QMessageBox::No));
            QVERIFY(started.close());
        }
        const QByteArray stored = FileContent(QString::fromStdString(SettingsFilePath()));
        QVERIFY2(stored.startsWith(kFerrySection), stored.constData());
        QVERIFY2(stored.contains("[Window]"), stored.constData());
        {
            StartedFrame started;
            SDIDecFrame* frame = started.frame();
            QCOMPARE(frame->geometry(), placed);
            QVERIFY(!Panel(frame)->isHidden());
            QVERIFY(ViewTransfers(frame)->isChecked());
            QCOMPARE(Panel(frame)->preferredHeight(), panelHeight);
            frame->show();
            QVERIFY(QTest::qWaitForWindowExposed(frame));
            QVERIFY(Panel(frame)->isVisible());
            // Closed with its own button this time.
            Panel(frame)->close();
            QVERIFY(!ViewTransfers(frame)->isChecked());
            ModalAnswerer answer(ClickButton(QMessageBox::No));
            QVERIFY(started.close());
        }
        {
            StartedFrame started;
            QVERIFY(Panel(started.frame())->isHidden());
            QCOMPARE(started.frame()->geometry(), placed);
        }
        QVERIFY(FileContent(QString::fromStdString(SettingsFilePath())).startsWith(kFerrySection));
    }
};

FERRY_APP_TEST_MAIN(TransfersPanelTest)
#include "transfers_panel_test.moc"
