#include "journal/ui/journaltexts.h"

#include <gtest/gtest.h>

using namespace zorvane;

TEST(JournalTexts, TheQuestionCountsThePointsAndTheWarningSaysWhyAndWhatToDo)
{
    EXPECT_EQ(restoreQuestionText(3), "3 points non enregistrés de cette vidéo ont été retrouvés. Les restaurer ?");
    const QString full = journalWarningText({JournalFailureKind::DiskFull, 28, "/x/j.journal"});
    EXPECT_TRUE(full.contains("(le disque est plein)")) << full.toStdString();
    EXPECT_TRUE(full.contains("pensez à enregistrer la séquence")) << full.toStdString();
    const QString folder = journalWarningText({JournalFailureKind::FolderUnavailable, 13, "/état/zorvane"});
    EXPECT_TRUE(folder.contains("le dossier /état/zorvane n'est pas accessible")) << folder.toStdString();
}
