#include "app/ui/toolkittranslation.h"

#include <QApplication>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace zorvane;

namespace {

QString buttonText(const QMessageBox &box, QMessageBox::StandardButton which)
{
    const QAbstractButton *button = box.button(which);
    return button ? button->text() : QStringLiteral("(no button)");
}

// Installs the translator for the test's duration only.
class Installed {
public:
    explicit Installed(QTranslator &translator) : m_translator(translator)
    {
        QCoreApplication::installTranslator(&m_translator);
    }
    ~Installed() { QCoreApplication::removeTranslator(&m_translator); }

private:
    QTranslator &m_translator;
};

} // namespace

TEST(ToolkitTranslation, FrenchMakesStandardButtonsAndDialogTextsFrench)
{
    QTranslator translator;
    ASSERT_TRUE(loadToolkitTranslation(translator, QLocale(QLocale::French, QLocale::France)));
    const Installed installed(translator);

    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorvane"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(buttonText(box, QMessageBox::Yes), QStringLiteral("&Oui"));
    EXPECT_EQ(buttonText(box, QMessageBox::No), QStringLiteral("&Non"));
    EXPECT_EQ(buttonText(box, QMessageBox::Cancel), QStringLiteral("Annuler"));
    // The toolkit's own file dialog, as "Ouvir Video" shows it.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("&Nom de fichier :"));
}

TEST(ToolkitTranslation, ARegionOfTheLanguageFindsTheLanguagesTranslation)
{
    QTranslator translator;
    ASSERT_TRUE(loadToolkitTranslation(translator, QLocale(QLocale::French, QLocale::Canada)));
    EXPECT_EQ(translator.translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));
    ASSERT_TRUE(loadToolkitTranslation(translator, QLocale(QLocale::German, QLocale::Austria)));
    EXPECT_EQ(translator.translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
}

TEST(ToolkitTranslation, ALanguageWithoutTranslationLeavesTheToolkitsEnglish)
{
    QTranslator translator;
    EXPECT_FALSE(loadToolkitTranslation(translator, QLocale(QLocale::Esperanto)));
    EXPECT_TRUE(translator.isEmpty());
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorvane"), QStringLiteral("?"), QMessageBox::Yes);
    EXPECT_EQ(buttonText(box, QMessageBox::Yes), QStringLiteral("&Yes"));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
