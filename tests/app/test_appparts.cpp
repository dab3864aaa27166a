#include "app/ui/commondialog.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace zorvane;

TEST(CommonDialog, TurnsPipeFiltersIntoQtFilters)
{
    EXPECT_EQ(CommonDialog::toQtFilter(QStringLiteral("Video (*.avi)|*.avi")), QStringLiteral("Video (*.avi)"));
    EXPECT_EQ(CommonDialog::toQtFilter(QStringLiteral("Sequence|*.txt;*.dat|Tous (*.*)|*.*")),
              QStringLiteral("Sequence (*.txt *.dat);;Tous (*.*)"));
    EXPECT_EQ(CommonDialog::toQtFilter(QString()), QString());
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
