#include "dialogs/ui/desktopservices.h"
#include "dialogs/ui/frmabout.h"
#include "dialogs/ui/helpwindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zorvane;

namespace {

void showActive(QWidget &window)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// Runs action once the modal loop that follows has started.
void whenModal(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

class EmptyRegistry : public RegistryLayer {
public:
    RegistryAnswer readValue(std::uint32_t, const std::string &, const std::string &, std::uint32_t) const override
    {
        return {};
    }
};

class NoLauncher : public ProgramLauncher {
public:
    bool startProgram(const std::string &) override { return false; }
};

class CountingMessages : public MessageDisplay {
public:
    void showMessage(const std::string &text, const std::string &caption) override
    {
        shown.push_back(caption + ": " + text);
    }
    std::vector<std::string> shown;
};

struct AboutFixture : ::testing::Test {
    std::shared_ptr<CountingMessages> messages = std::make_shared<CountingMessages>();
    std::vector<QUrl> opened;
    bool browserStarts = false;
    frmAbout about{
        {std::make_shared<EmptyRegistry>(), std::make_shared<NoLauncher>(), messages, [this](const QUrl &url) {
             opened.push_back(url);
             return browserStarts;
         }}};

    template <typename T>
    T *control(const char *name)
    {
        return about.findChild<T *>(name);
    }
};

} // namespace

TEST(HelpDialog, TextIsThreeSentencesJoinedByTwoCrLf)
{
    Dialog dialog;
    const QString text = dialog.findChild<QLabel *>("Label1")->text();
    EXPECT_EQ(text, Dialog::helpText());
    EXPECT_EQ(text.count("\r\n"), 2);
    EXPECT_EQ(text.count('\r'), 2);
    EXPECT_EQ(text.count('\n'), 2);
    EXPECT_EQ(text.split("\r\n"),
              QStringList({"Clique gauche pour rajouter un point.", "Clique droit pour avancer d'une image.",
                           "Clique milieu pour reculer d'une image."}));
}

TEST(HelpDialog, FixedWindowAndControlsAtTheirPlaces)
{
    Dialog dialog;
    EXPECT_EQ(dialog.objectName(), "Dialog");
    EXPECT_EQ(dialog.windowTitle(), "Aide");
    EXPECT_EQ(dialog.geometry(), QRect(184, 250, 242, 149));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowIcon().isNull());
    auto *ok = dialog.findChild<QPushButton *>("OKButton");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->geometry(), QRect(64, 120, 81, 25));
    EXPECT_FALSE(ok->isDefault());
    auto *label = dialog.findChild<QLabel *>("Label1");
    EXPECT_EQ(label->geometry(), QRect(8, 8, 225, 97));
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
}

TEST(HelpDialog, EscapeDoesNothingWhileEnterAndSpacePressOk)
{
    Dialog dialog;
    showActive(dialog);
    auto *ok = dialog.findChild<QPushButton *>("OKButton");
    EXPECT_EQ(QApplication::focusWidget(), ok);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.closedByUser());

    showActive(dialog);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(HelpWindow, OkHidesAndKeepsTheWindowCloseBoxDestroysIt)
{
    HelpWindow help;
    EXPECT_FALSE(help.exists());
    QPointer<Dialog> first;
    whenModal([&] {
        first = &help.window();
        EXPECT_TRUE(first->isVisible());
        first->findChild<QPushButton *>("OKButton")->click();
    });
    help.showModal();
    ASSERT_TRUE(help.exists());
    EXPECT_EQ(&help.window(), first.data());
    EXPECT_FALSE(first->isVisible());

    whenModal([&] { help.window().findChild<QPushButton *>("OKButton")->click(); });
    help.showModal();
    EXPECT_EQ(&help.window(), first.data()) << "shown again, not made anew";
    EXPECT_EQ(first->findChild<QLabel *>("Label1")->text(), Dialog::helpText());

    whenModal([&] { help.window().close(); });
    help.showModal();
    EXPECT_FALSE(help.exists());
    EXPECT_TRUE(first.isNull());

    // The next opening makes a new window with its text set again.
    whenModal([&] { help.window().findChild<QPushButton *>("OKButton")->click(); });
    help.showModal();
    ASSERT_TRUE(help.exists());
    EXPECT_EQ(help.window().findChild<QLabel *>("Label1")->text(), Dialog::helpText());
}

TEST_F(AboutFixture, ControlsTextsAndPlaces)
{
    EXPECT_EQ(about.objectName(), "frmAbout");
    EXPECT_EQ(about.windowTitle(), "About Zorvane");
    EXPECT_EQ(about.geometry(), QRect(156, 129, 382, 112));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());

    auto *ok = control<QPushButton>("cmdOK");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->geometry(), QRect(208, 80, 84, 23));
    EXPECT_TRUE(ok->isDefault());

    auto *sysInfo = control<QPushButton>("cmdSysInfo");
    EXPECT_EQ(sysInfo->text(), "&System Info...");
    EXPECT_EQ(sysInfo->geometry(), QRect(96, 80, 83, 23));

    auto *icon = control<QLabel>("picIcon");
    EXPECT_EQ(icon->geometry(), QRect(16, 16, 66, 66));
    EXPECT_EQ(icon->pixmap().size(), QSize(64, 64));
    EXPECT_EQ(icon->contentsRect().size(), QSize(64, 64)) << "one-pixel border around the picture";
    EXPECT_NE(icon->focusPolicy() & Qt::TabFocus, 0);
    // Our picture is not blank: it holds the red marker cross.
    const QImage picture = icon->pixmap().toImage();
    bool hasRed = false;
    for (int y = 0; y < 64 && !hasRed; ++y)
        for (int x = 0; x < 64 && !hasRed; ++x)
            hasRed = picture.pixelColor(x, y) == QColor(255, 0, 0);
    EXPECT_TRUE(hasRed);

    auto *description = control<QLabel>("lblDescription");
    EXPECT_EQ(description->text(), QString::fromUtf8("Créé par Vesmarin (Brindel)"));
    EXPECT_EQ(description->geometry(), QRect(104, 24, 259, 22));
    EXPECT_EQ(description->palette().color(QPalette::WindowText), QColor(Qt::black));

    auto *link = control<QLabel>("Label1");
    EXPECT_EQ(link->text(), "Site Web");
    EXPECT_EQ(link->geometry(), QRect(184, 48, 51, 22));
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_TRUE(link->font().underline());
    EXPECT_FALSE(link->font().bold());
    EXPECT_DOUBLE_EQ(link->font().pointSizeF(), 8.25);
}

TEST_F(AboutFixture, TabCyclesOkIconSysInfo)
{
    showActive(about);
    EXPECT_EQ(QApplication::focusWidget(), control<QPushButton>("cmdOK"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control<QLabel>("picIcon"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control<QPushButton>("cmdSysInfo"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control<QPushButton>("cmdOK"));
}

TEST_F(AboutFixture, EscapeAndEnterCloseTheWindow)
{
    showActive(about);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());

    showActive(about);
    control<QLabel>("picIcon")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST_F(AboutFixture, AltSLooksUpTheToolAndShowsTheMessageWhenMissing)
{
    showActive(about);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    // An access key presses its button with a short click animation.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !messages->shown.empty(); }, 2000));
    EXPECT_EQ(messages->shown, std::vector<std::string>{"Zorvane: System Information Is Unavailable At This Time"});
    EXPECT_TRUE(about.isVisible());
}

TEST_F(AboutFixture, SiteWebOpensTheAddressAndAFailureChangesNothing)
{
    showActive(about);
    auto *link = control<QLabel>("Label1");
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(10, 8));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("https://zorvane.example.org"));
    EXPECT_TRUE(about.isVisible());
    EXPECT_TRUE(messages->shown.empty());
}

TEST(AboutWindow, EachOpeningMakesANewWindowDestroyedOnClose)
{
    QPointer<QWidget> seen;
    whenModal([&] {
        seen = QApplication::activeModalWidget();
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(seen->objectName(), "frmAbout");
        seen->close();
    });
    frmAbout::showModal();
    EXPECT_TRUE(seen.isNull());
}

TEST(DesktopLauncher, StartsTheProgramWithExactlyTheWordsOfItsCommandLine)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string made = folder.filePath(QStringLiteral("made by \"touch\" $HOME")).toStdString();
    DesktopLauncher launcher;
    ASSERT_TRUE(launcher.startProgram(joinCommandLine({"/usr/bin/touch", made})));
    // Started detached: wait for it to have run.
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(QString::fromStdString(made)); }, 10000));

    EXPECT_FALSE(launcher.startProgram(""));
    EXPECT_FALSE(launcher.startProgram("\"unclosed"));
    EXPECT_FALSE(launcher.startProgram(folder.filePath(QStringLiteral("absent")).toStdString()));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
