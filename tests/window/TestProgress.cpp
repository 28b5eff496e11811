// The progress strip: the percentages an upload shows step by step, totals of
// zero and beyond 16 bits, the animation, and the completion dialog.

#include "TransferHelpers.h"
#include "app/PutThread.h"
#include "app/TransferDoneDlg.h"

#include <QLabel>

using namespace TransferHelpers;

class TestProgress : public WindowTest {
    Q_OBJECT

private slots:
    void PercentRoundsHalfAwayFromZero_data();
    void PercentRoundsHalfAwayFromZero();
    void UploadCountsUpFileByFile_data();
    void UploadCountsUpFileByFile();
    void ZeroAndLargeTotals();
    void AnimationLoopsAndReturnsToItsFirstFrame();
    void CompletionDialogIsCentredWithOkFocused();
};

void TestProgress::PercentRoundsHalfAwayFromZero_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 of 8") << 1 << 8 << QStringLiteral("13%");
    QTest::newRow("3 of 8") << 3 << 8 << QStringLiteral("38%");
    QTest::newRow("5 of 8") << 5 << 8 << QStringLiteral("63%");
    QTest::newRow("7 of 8") << 7 << 8 << QStringLiteral("88%");
    QTest::newRow("1 of 3") << 1 << 3 << QStringLiteral("33%");
    QTest::newRow("2 of 3") << 2 << 3 << QStringLiteral("67%");
    QTest::newRow("1 of 200") << 1 << 200 << QStringLiteral("1%");
    QTest::newRow("23 of 40") << 23 << 40 << QStringLiteral("58%");
    QTest::newRow("29 of 200") << 29 << 200 << QStringLiteral("15%");
    QTest::newRow("all of many") << 100000 << 100000 << QStringLiteral("100%");
    QTest::newRow("none of none") << 0 << 0 << QStringLiteral("0%");
    QTest::newRow("one of none") << 1 << 0 << QStringLiteral("0%");
}

void TestProgress::PercentRoundsHalfAwayFromZero()
{
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(QString, text);
    QCOMPARE(PutThread::PercentText(done, total), text);
}

void TestProgress::UploadCountsUpFileByFile_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("8 files") << 8 << Percents({13, 25, 38, 50, 63, 75, 88, 100, 0});
    QTest::newRow("3 files") << 3 << Percents({33, 67, 100, 0});
}

void TestProgress::UploadCountsUpFileByFile()
{
    QFETCH(int, files);
    QFETCH(QStringList, texts);
    FtpTestServer server;
    QVERIFY(server.Start());
    QTemporaryDir local;
    // Spread over two levels, so counting and sending must walk alike.
    for (int i = 0; i < files; ++i)
        QVERIFY(WriteFile(
            local.filePath(QStringLiteral("F/%1/f%2.txt").arg(QLatin1String(i % 2 ? "odd" : "even")).arg(i)), "f"));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    FieldRecorder percent(View(dlg).m_editPercent);
    QList<int> bar;
    connect(View(dlg).m_progress, &QProgressBar::valueChanged, this, [&bar](int nValue) { bar.append(nValue); });
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "F")}));
    QVERIFY(WaitDone(m_fixture));
    // Sized by the upload's worker before its first step (a step beyond the
    // bar's maximum would show as a full bar at once).
    QCOMPARE(dlg.TotalFiles(), files);
    QCOMPARE(View(dlg).m_progress->maximum(), files);

    // Every percentage shown is one of the file-by-file steps, in order, up
    // to the full bar, then cleared.
    QVERIFY2(ShownInOrder(percent.m_texts, texts), qPrintable(percent.m_texts.join(QLatin1Char(' '))));
    QList<int> expectedBar;
    for (int i = 1; i <= files; ++i)
        expectedBar.append(i);
    expectedBar.append(0);
    QVERIFY(ShownInOrder(bar, expectedBar));
    QVERIFY(IdleAndCleared(dlg));
}

void TestProgress::ZeroAndLargeTotals()
{
    TarnlowDlg& dlg = m_fixture.Open();
    // A total of zero: an empty bar, not a busy indicator, and no division fault.
    dlg.ResetProgress(0);
    QCOMPARE(View(dlg).m_progress->value(), 0);
    QCOMPARE(View(dlg).m_progress->maximum(), 1);
    dlg.ProgressThread().StepProgress(&dlg, 0);
    QCOMPARE(View(dlg).m_editPercent->text(), QStringLiteral("0%"));

    // Beyond 16 bits the bar and the percentage still follow every item.
    dlg.ResetProgress(70000);
    QCOMPARE(View(dlg).m_progress->maximum(), 70000);
    for (int i = 0; i < 35000; ++i)
        dlg.ProgressThread().StepProgress(&dlg, dlg.TotalFiles());
    QCOMPARE(View(dlg).m_progress->value(), 35000);
    QCOMPARE(View(dlg).m_editPercent->text(), QStringLiteral("50%"));
    dlg.ProgressThread().ShowTransferName(&dlg, QStringLiteral("/data/x.bin"));
    QCOMPARE(View(dlg).m_editTransferName->text(), QStringLiteral("/data/x.bin"));
    dlg.ProgressThread().ClearProgress(&dlg);
    QCOMPARE(View(dlg).m_progress->value(), 0);
    QCOMPARE(View(dlg).m_progress->maximum(), 70000); // the range stays until the next transfer
    QCOMPARE(View(dlg).m_editPercent->text(), QStringLiteral("0%"));
}

void TestProgress::AnimationLoopsAndReturnsToItsFirstFrame()
{
    TarnlowDlg& dlg = m_fixture.Open();
    TransferAnimation& anim = *View(dlg).m_animate;
    QVERIFY(!anim.IsPlaying());
    QCOMPARE(anim.CurrentFrame(), 0);
    QCOMPARE(anim.pixmap().size(), QSize(16, 20));

    QList<int> frames;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        if (frames.isEmpty() || frames.last() != anim.CurrentFrame())
            frames.append(anim.CurrentFrame());
    });
    tick.start(20);
    dlg.StartTransferAnimation();
    QVERIFY(anim.IsPlaying());
    // Round the whole clip and back to its start.
    QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= TransferAnimation::kFrameCount + 2, 10000);
    for (int i = 1; i < frames.size(); ++i)
        QCOMPARE(frames[i], (frames[i - 1] + 1) % TransferAnimation::kFrameCount);
    dlg.StopTransferAnimation();
    QVERIFY(!anim.IsPlaying());
    QCOMPARE(anim.CurrentFrame(), 0);
}

void TestProgress::CompletionDialogIsCentredWithOkFocused()
{
    TarnlowDlg& dlg = m_fixture.Open();
    TransferDoneDlg done(&dlg);
    QCOMPARE(done.windowTitle(), QStringLiteral("Transfer Information"));
    QVERIFY(done.windowFlags() & Qt::WindowStaysOnTopHint);
    const auto* pText = done.findChild<QLabel*>(QStringLiteral("m_staticText"));
    QVERIFY(pText);
    QCOMPARE(pText->text(), QStringLiteral("FTP File Transfer Complete"));
    QCOMPARE(done.m_btnOk->text(), QStringLiteral("OK"));
    QVERIFY(done.m_btnOk->isDefault());

    done.setModal(true);
    done.show();
    QVERIFY(QTest::qWaitForWindowExposed(&done));
    QTRY_VERIFY(done.m_btnOk->hasFocus());
    const QPoint offset = done.frameGeometry().center() - dlg.frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    QTest::keyClick(done.m_btnOk, Qt::Key_Space);
    QCOMPARE(done.result(), int(QDialog::Accepted));
    QVERIFY(!done.isVisible());
}

TARNLOW_WINDOW_TEST_MAIN(TestProgress)
#include "TestProgress.moc"
