// The progress strip: the percentages an upload shows step by step and within
// its files, the bar moved by the bytes of the files in work, totals of zero
// and beyond 16 bits, the animation, and the completion dialog.

#include "TransferHelpers.h"
#include "app/PutThread.h"
#include "app/TransferDoneDlg.h"

#include <QLabel>

#include <algorithm>

using namespace TransferHelpers;

class TestProgress : public WindowTest {
    Q_OBJECT

private slots:
    void PercentRoundsHalfAwayFromZero_data();
    void PercentRoundsHalfAwayFromZero();
    void UploadCountsUpFileByFile_data();
    void UploadCountsUpFileByFile();
    void BarFollowsTheBytesOfTheFilesInWork_data();
    void BarFollowsTheBytesOfTheFilesInWork();
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
    QTest::addColumn<int>("size"); // of each file, in bytes
    QTest::addColumn<QStringList>("serverArgs");
    QTest::addColumn<QStringList>("texts"); // after each file, then cleared
    QTest::newRow("8 files") << 8 << 1 << QStringList() << Percents({13, 25, 38, 50, 63, 75, 88, 100, 0});
    QTest::newRow("3 files") << 3 << 1 << QStringList() << Percents({33, 67, 100, 0});
    // Each file takes about a second: the strip moves within it.
    QTest::newRow("2 large files over a slow link")
        << 2 << 8 * 1024 * 1024 << QStringList {QStringLiteral("--throttle"), QString::number(8 * 1024 * 1024)}
        << Percents({50, 100, 0});
}

void TestProgress::UploadCountsUpFileByFile()
{
    QFETCH(int, files);
    QFETCH(int, size);
    QFETCH(QStringList, serverArgs);
    QFETCH(QStringList, texts);
    FtpTestServer server;
    QVERIFY(server.Start(serverArgs));
    QTemporaryDir local;
    // Spread over two levels, so counting and sending must walk alike.
    for (int i = 0; i < files; ++i)
        QVERIFY(
            WriteFile(local.filePath(QStringLiteral("F/%1/f%2.txt").arg(QLatin1String(i % 2 ? "odd" : "even")).arg(i)),
                size == 1 ? QByteArray("f") : Content(size, i)));

    TarnlowDlg& dlg = m_fixture.OpenOn(server);
    FieldRecorder percent(View(dlg).m_editPercent);
    QList<int> bar;
    connect(View(dlg).m_progress, &QProgressBar::valueChanged, this, [&bar](int nValue) { bar.append(nValue); });
    ExpectCompletion(m_fixture, dlg);
    QVERIFY(Drop(dlg, {Path(local, "F")}));
    QVERIFY(WaitDone(m_fixture, 60000));
    // Sized by the upload's worker before its first step (a step beyond the
    // bar's maximum would show as a full bar at once).
    QCOMPARE(dlg.TotalFiles(), files);
    // Every file has an equal share of the bar.
    const int nMax = View(dlg).m_progress->maximum();
    QCOMPARE(nMax % files, 0);
    const QString strShown = percent.m_texts.join(QLatin1Char(' '));

    // Small files: every percentage shown is one of the file-by-file steps, in
    // order, up to the full bar, then cleared, and so is every bar position.
    // Large files: the percentage and the bar rise within each file too.
    QList<int> wholeBar;
    for (int i = 1; i <= files; ++i)
        wholeBar.append(i * (nMax / files));
    wholeBar.append(0);
    QList<int> anyBar;
    for (int i = 1; i <= nMax; ++i)
        anyBar.append(i);
    anyBar.append(0);
    if (size == 1) {
        QVERIFY2(ShownInOrder(percent.m_texts, texts), qPrintable(strShown));
        QVERIFY(ShownInOrder(bar, wholeBar));
    } else {
        QVERIFY2(ShownInOrder(percent.m_texts, RisingPercents()), qPrintable(strShown));
        QVERIFY(ShownInOrder(bar, anyBar));
        QVERIFY2(std::any_of(percent.m_texts.begin(), percent.m_texts.end(),
                     [&texts](const QString& strText) { return !texts.contains(strText); }),
            qPrintable(strShown));
        QVERIFY(std::any_of(bar.begin(), bar.end(), [&](int nValue) { return !wholeBar.contains(nValue); }));
    }
    QVERIFY(IdleAndCleared(dlg));
}

void TestProgress::BarFollowsTheBytesOfTheFilesInWork_data()
{
    // What a transfer reports, in order: "begin" (a file begins), "moved B S"
    // (the file begun last has moved B bytes of S, S -1 when unknown), "step"
    // (an item is counted done); after each, the percentage and the bar in
    // thousandths of an item.
    QTest::addColumn<int>("total");
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("bar");
    const auto reports = [](const char* pszReports) { return QString::fromLatin1(pszReports).split(QLatin1Char(',')); };
    QTest::newRow("one file in quarters") << 1 << reports("begin,moved 25 100,moved 50 100,moved 100 100,step")
                                          << Percents({0, 25, 50, 100, 100}) << QList<int> {0, 250, 500, 1000, 1000};
    // The next file's bytes go before the one before is judged.
    QTest::newRow("the next file sent before the last is counted")
        << 2 << reports("begin,moved 100 100,begin,moved 40 100,step,moved 100 100,step")
        << Percents({0, 50, 50, 70, 70, 100, 100}) << QList<int> {0, 1000, 1000, 1400, 1400, 2000, 2000};
    // At each file's end the design's value, rounded half away from zero.
    QTest::newRow("1 of 8, then half of the second")
        << 8 << reports("begin,moved 1 1,step,begin,moved 4 8") << Percents({0, 13, 13, 13, 19})
        << QList<int> {0, 1000, 1000, 1000, 1500};
    // A folder passed over, or a file refused before it began, counts as one
    // item without a file of its own.
    QTest::newRow("an item without a file between files")
        << 3 << reports("begin,moved 10 10,step,step,begin,moved 5 10,step") << Percents({0, 33, 33, 67, 67, 83, 100})
        << QList<int> {0, 1000, 1000, 2000, 2000, 2500, 3000};
    QTest::newRow("a file failed half way")
        << 2 << reports("begin,moved 50 100,step,begin,moved 100 100,step") << Percents({0, 25, 50, 50, 100, 100})
        << QList<int> {0, 500, 1000, 1000, 2000, 2000};
    // Its share is known only at the end: nothing shows until it is counted.
    QTest::newRow("a file of unknown size")
        << 2 << reports("begin,moved 10 10,step,begin,moved 500 -1,step") << Percents({0, 50, 50, 50, 50, 100})
        << QList<int> {0, 1000, 1000, 1000, 1000, 2000};
    QTest::newRow("a file that grew while it was sent")
        << 2 << reports("begin,moved 300 100,step") << Percents({0, 50, 50}) << QList<int> {0, 1000, 1000};
}

void TestProgress::BarFollowsTheBytesOfTheFilesInWork()
{
    QFETCH(int, total);
    QFETCH(QStringList, reports);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, bar);
    TarnlowDlg& dlg = m_fixture.Open();
    dlg.ResetProgress(total);
    const int nMax = View(dlg).m_progress->maximum();
    PutThread& put = dlg.ProgressThread();
    // On the window's thread every report shows at once.
    for (qsizetype i = 0; i < reports.size(); ++i) {
        const QStringList words = reports[i].split(QLatin1Char(' '));
        if (words[0] == QLatin1String("begin"))
            put.FileBegun();
        else if (words[0] == QLatin1String("moved"))
            put.FileMoved(&dlg, total, words[1].toLongLong(), words[2].toLongLong());
        else
            put.StepProgress(&dlg, total);
        QCOMPARE(View(dlg).m_editPercent->text(), texts[i]);
        QCOMPARE(qint64(View(dlg).m_progress->value()) * total * 1000, qint64(bar[i]) * nMax);
    }
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
    const int nMax = View(dlg).m_progress->maximum();
    QVERIFY(nMax >= 70000 && nMax % 70000 == 0);
    for (int i = 0; i < 35000; ++i)
        dlg.ProgressThread().StepProgress(&dlg, dlg.TotalFiles());
    QCOMPARE(View(dlg).m_progress->value(), nMax / 2);
    QCOMPARE(View(dlg).m_editPercent->text(), QStringLiteral("50%"));
    dlg.ProgressThread().ShowTransferName(&dlg, QStringLiteral("/data/x.bin"));
    QCOMPARE(View(dlg).m_editTransferName->text(), QStringLiteral("/data/x.bin"));
    dlg.ProgressThread().ClearProgress(&dlg);
    QCOMPARE(View(dlg).m_progress->value(), 0);
    QCOMPARE(View(dlg).m_progress->maximum(), nMax); // the range stays until the next transfer
    QCOMPARE(View(dlg).m_editPercent->text(), QStringLiteral("0%"));

    // So many items that a bar of whole items' units would not fit an int.
    dlg.ResetProgress(3000000);
    QVERIFY(View(dlg).m_progress->maximum() >= 3000000 && View(dlg).m_progress->maximum() % 3000000 == 0);
    dlg.ProgressThread().StepProgress(&dlg, dlg.TotalFiles());
    QCOMPARE(qint64(View(dlg).m_progress->value()) * 3000000, qint64(View(dlg).m_progress->maximum()));
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
