// The note editor's resize arithmetic: the worked example, the converging second resize, the
// limits.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/EditorLayout.h"

#include <QTest>

using master::EditorLayout;

class tst_EditorLayout : public QObject
{
    Q_OBJECT
private slots:
    void laysOutTheWorkedExample()
    {
        const auto l = EditorLayout::compute(6000, 1500, 360);
        QVERIFY(l);
        // T = 900, G = 270
        QCOMPARE(l->Text1.left, 100.0f);
        QCOMPARE(l->Text1.top, 220.0f);
        QCOMPARE(l->Text1.width, 5800.0f);
        QCOMPARE(l->Text1.height, 530.0f);
        for (const auto &b : {l->Command1, l->Command2, l->Command3}) {
            QCOMPARE(b.width, 1960.0f);
            QCOMPARE(b.height, 450.0f);
            QCOMPARE(b.top, 950.0f);
            // The bottom of the buttons is 100 twips above the outer bottom edge.
            QCOMPARE(b.top + b.height, 1500.0f - 100.0f);
        }
        QCOMPARE(l->Command1.left, 0.0f);
        QCOMPARE(l->Command2.left, 1970.0f);
        QCOMPARE(l->Command3.left, 3930.0f);
        // The third button starts right where the second ends.
        QCOMPARE(l->Command3.left, l->Command2.left + l->Command2.width);
        QCOMPARE(l->Line1.x1, 0.0f);
        QCOMPARE(l->Line1.x2, 6000.0f);
        QCOMPARE(l->Line1.y1, 900.0f);
        QCOMPARE(l->Line1.y2, 900.0f);
        QCOMPARE(l->Line2.x1, 0.0f);
        QCOMPARE(l->Line2.x2, 6000.0f);
        QCOMPARE(l->Line2.y1, 915.0f);
        QCOMPARE(l->Line2.y2, 915.0f);
    }

    void secondResizeOfTheSameSizeMovesTheTextBoxAgain()
    {
        const auto first = EditorLayout::compute(6000, 1500, 360);
        const auto second = EditorLayout::compute(6000, 1500, first->Text1.height);
        QVERIFY(second);
        QCOMPARE(second->Text1.top, 135.0f); // G = 185
        QCOMPARE(second->Text1.height, 615.0f);
        QCOMPARE(second->Command2.left, first->Command2.left);

        // Repeated resizes approach top 50 and height T - 200 and stay there.
        float height = second->Text1.height;
        std::optional<EditorLayout> l;
        for (int i = 0; i < 60; ++i) {
            l = EditorLayout::compute(6000, 1500, height);
            height = l->Text1.height;
        }
        QVERIFY(qAbs(l->Text1.top - 50.0f) < 0.01f);
        QVERIFY(qAbs(l->Text1.height - 700.0f) < 0.01f);
        const auto fixedPoint = EditorLayout::compute(6000, 1500, 700);
        QCOMPARE(fixedPoint->Text1.top, 50.0f);
        QCOMPARE(fixedPoint->Text1.height, 700.0f);
    }

    void leavesSizesUpToTheLimitsAlone_data()
    {
        QTest::addColumn<float>("W");
        QTest::addColumn<float>("H");
        QTest::addColumn<bool>("laidOut");
        QTest::newRow("1000 wide") << 1000.0f << 1500.0f << false;
        QTest::newRow("500 high") << 6000.0f << 500.0f << false;
        QTest::newRow("narrower") << 999.0f << 1500.0f << false;
        QTest::newRow("lower") << 6000.0f << 120.0f << false;
        QTest::newRow("1001 by 501") << 1001.0f << 501.0f << true;
        QTest::newRow("1000.5 wide") << 1000.5f << 1500.0f << true;
    }
    void leavesSizesUpToTheLimitsAlone()
    {
        QFETCH(float, W);
        QFETCH(float, H);
        QFETCH(bool, laidOut);
        QCOMPARE(EditorLayout::compute(W, H, 360).has_value(), laidOut);
    }

    void buttonWidthsKeepSinglePrecisionThirds()
    {
        // 5550 / 3 is not a whole number; the widths and lefts carry the single-precision value.
        const auto l = EditorLayout::compute(5550, 1245, 360);
        QVERIFY(l);
        const float third = 5550.0f / 3.0f - 40.0f;
        QCOMPARE(l->Command1.width, third);
        QCOMPARE(l->Command2.left, third + 10.0f);
        QCOMPARE(l->Command3.left, third + third + 10.0f);
        QCOMPARE(l->Text1.top, (1245.0f / 5.0f * 3.0f - 360.0f) / 2.0f - 50.0f);
        QCOMPARE(l->Line1.y1, 645.0f);
        QCOMPARE(l->Line2.y1, 660.0f);
    }
};

QTEST_APPLESS_MAIN(tst_EditorLayout)
#include "tst_EditorLayout.moc"
