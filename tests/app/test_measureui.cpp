#include "app/form1testing.h"
#include "app/ui/form1.h"
#include "measure/measureexport.h"
#include "measure/sidecar.h"
#include "measure/ui/calibrationdialog.h"
#include "measure/ui/measurecontroller.h"
#include "measure/ui/measureoverlay.h"
#include "measure/ui/measurewindow.h"
#include "measure/ui/picturecommands.h"
#include "measure/ui/plotpanel.h"
#include "measure/ui/plotview.h"
#include "measure/ui/sidecarmessages.h"
#include "measure/ui/vectoroverlay.h"
#include "player/ui/videodisplay.h"
#include "support/media.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

using namespace zorvane;
using zorvane::testing::blackVideo;
using zorvane::testing::generateMedia;
using zorvane::testing::ScriptedDialog;

namespace {

namespace fs = std::filesystem;

// A 100-pixel scale of half a metre, the origin below its left end.
constexpr PicturePoint kScaleStart{20, 100};
constexpr PicturePoint kScaleEnd{120, 100};
constexpr PicturePoint kOrigin{20, 110};
const Calibration kCalibration(kScaleStart, kScaleEnd, 0.5, kOrigin, YAxis::Up);

class MeasureUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        form.setCommonDialog(fileDialog);
        form.setMessageDisplay([this](const QString &text) { messages << text; });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        picture = form.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
        controller = form.findChild<MeasureController *>(QStringLiteral("measureController"));
        ASSERT_NE(picture, nullptr);
        ASSERT_NE(controller, nullptr);
        dialog = controller->calibrationDialog();
    }

    void TearDown() override { controller->measureWindow()->close(); }

    QAction *action(const char *name)
    {
        QAction *found = form.findChild<QAction *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void openVideo(const QString &path)
    {
        form.openVideo(path);
        form.player().stop();
    }

    template <typename Widget>
    Widget *inDialog(const char *name)
    {
        auto *found = dialog->findChild<Widget *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QPoint at(PicturePoint point) const { return picture->contentsRect().topLeft() + QPoint(point.x, point.y); }
    void leftClick(PicturePoint point) { QTest::mouseClick(picture, Qt::LeftButton, {}, at(point)); }

    // Picks the three points and types the distance, as a user would; over
    // a calibration in force, the dialog waits for "Recommencer les clics".
    void calibrate(PicturePoint start, PicturePoint end, PicturePoint origin, const QString &distance)
    {
        const bool calibrated = controller->calibration().has_value();
        action("etalonnage")->trigger();
        ASSERT_TRUE(dialog->isVisible());
        ASSERT_EQ(dialog->isPicking(), !calibrated);
        if (calibrated)
            QTest::mouseClick(inDialog<QPushButton>("restart"), Qt::LeftButton);
        leftClick(start);
        leftClick(end);
        leftClick(origin);
        inDialog<QLineEdit>("distance")->setText(distance);
        QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);
    }

    void recordAt(int frame, PicturePoint point)
    {
        ASSERT_TRUE(form.player().seek(frame));
        leftClick(point);
    }

    std::vector<QPoint> pixelsOf(const QColor &colour) { return zorvane::testing::pixelsOf(*picture, colour); }

    static int countNear(const std::vector<QPoint> &pixels, PicturePoint centre, int reach)
    {
        int count = 0;
        for (const QPoint &pixel : pixels)
            if (std::abs(pixel.x() - centre.x) <= reach && std::abs(pixel.y() - centre.y) <= reach)
                ++count;
        return count;
    }

    QTableWidget *table() { return controller->measureWindow()->findChild<QTableWidget *>(QStringLiteral("table")); }

    QTemporaryDir folder;
    ScriptedDialog *fileDialog = new ScriptedDialog;
    Form1 form{&openFrameSource};
    VideoDisplay *picture = nullptr;
    MeasureController *controller = nullptr;
    CalibrationDialog *dialog = nullptr;
    QStringList messages;
};

TEST_F(MeasureUi, MenuOffersTheMeasureCommands)
{
    for (const char *name : {"etalonnage", "tableau", "exporterMesures", "copierTableau"})
        EXPECT_FALSE(action(name)->isCheckable()) << name;
    for (const char *name : {"afficherEtalonnage", "trajectoire"}) {
        EXPECT_TRUE(action(name)->isCheckable()) << name;
        EXPECT_FALSE(action(name)->isChecked()) << name;
    }
    EXPECT_EQ(action("etalonnage")->text(), QStringLiteral("Étalonnage..."));
    EXPECT_EQ(action("exporterMesures")->text(), QStringLiteral("Exporter les mesures..."));
}

TEST_F(MeasureUi, ClicksOnThePictureCalibrateInsteadOfRecording)
{
    openVideo(blackVideo(10));
    calibrate(kScaleStart, kScaleEnd, kOrigin, QStringLiteral("0,5"));

    EXPECT_TRUE(messages.isEmpty()) << messages.join(QStringLiteral("\n")).toStdString();
    ASSERT_TRUE(controller->calibration());
    EXPECT_EQ(*controller->calibration(), kCalibration);
    EXPECT_DOUBLE_EQ(controller->calibration()->metresPerPixel(), 0.005);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(form.pointTrack().at(0), TrackPoint{});

    // Once calibrated, a click records the followed object again.
    leftClick({70, 40});
    EXPECT_EQ(form.pointTrack().at(0), (TrackPoint{70, 40}));
}

TEST_F(MeasureUi, YAxisDownAndTypedStepAreKept)
{
    openVideo(blackVideo(10));
    action("etalonnage")->trigger();
    leftClick(kScaleStart);
    leftClick(kScaleEnd);
    leftClick(kOrigin);
    inDialog<QLineEdit>("distance")->setText(QStringLiteral("2"));
    inDialog<QComboBox>("yAxis")->setCurrentIndex(1);
    inDialog<QRadioButton>("typedStep")->setChecked(true);
    inDialog<QLineEdit>("step")->setText(QStringLiteral("12,5"));
    QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);

    ASSERT_TRUE(controller->calibration());
    EXPECT_EQ(controller->calibration()->yAxis(), YAxis::Down);
    EXPECT_EQ(controller->timeChoice().source, TimeSource::TypedStep);
    EXPECT_DOUBLE_EQ(controller->timeChoice().stepMs, 12.5);
    EXPECT_NE(controller->timeDescription().indexOf(QStringLiteral("pas saisi de 12.5 ms")), -1)
        << controller->timeDescription().toStdString();
}

TEST_F(MeasureUi, BadInputSaysWhyInFrenchAndChangesNothing)
{
    openVideo(blackVideo(10));
    calibrate(kScaleStart, kScaleEnd, kOrigin, QStringLiteral("0.5"));
    ASSERT_TRUE(messages.isEmpty());

    const struct {
        PicturePoint start, end;
        QString distance;
        QString said;
    } cases[] = {
        {{10, 10}, {90, 10}, QStringLiteral("0"), QStringLiteral("plus grande que zéro")},
        {{10, 10}, {90, 10}, QStringLiteral("deux"), QStringLiteral("n'est pas un nombre")},
        {{10, 10}, {90, 10}, QStringLiteral("nan"), QStringLiteral("n'est pas un nombre")},
        {{40, 40}, {40, 40}, QStringLiteral("1"), QStringLiteral("confondus")},
    };
    for (const auto &bad : cases) {
        messages.clear();
        dialog->reject();
        calibrate(bad.start, bad.end, {5, 5}, bad.distance);
        ASSERT_EQ(messages.size(), 1) << bad.distance.toStdString();
        EXPECT_NE(messages[0].indexOf(bad.said), -1) << messages[0].toStdString();
        EXPECT_EQ(*controller->calibration(), kCalibration) << bad.distance.toStdString();
        EXPECT_TRUE(dialog->isVisible());
    }

    // Validating before the three points are clicked is refused too.
    messages.clear();
    QTest::mouseClick(inDialog<QPushButton>("restart"), Qt::LeftButton);
    leftClick({30, 30});
    QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(*controller->calibration(), kCalibration);
    EXPECT_EQ(form.pointTrack().at(0), TrackPoint{});
}

TEST_F(MeasureUi, ScaleAndAxesAreDrawnWhileCalibratingAndOnDemand)
{
    openVideo(blackVideo(10));
    action("etalonnage")->trigger();
    leftClick(kScaleStart);
    leftClick(kScaleEnd);
    const std::vector<QPoint> scale = pixelsOf(kScaleColour);
    int onBar = 0;
    for (const QPoint &pixel : scale)
        onBar += pixel.y() == kScaleStart.y && pixel.x() >= kScaleStart.x && pixel.x() <= kScaleEnd.x;
    EXPECT_GE(onBar, 100);
    EXPECT_TRUE(pixelsOf(kAxesColour).empty());

    leftClick(kOrigin);
    const std::vector<QPoint> axes = pixelsOf(kAxesColour);
    int xAxis = 0;
    int yAxisUp = 0;
    for (const QPoint &pixel : axes) {
        xAxis += pixel.y() == kOrigin.y && pixel.x() > kOrigin.x + 10 && pixel.x() < kOrigin.x + kAxisLength - 8;
        yAxisUp += pixel.x() == kOrigin.x && pixel.y() < kOrigin.y - 10 && pixel.y() > kOrigin.y - kAxisLength + 8;
    }
    EXPECT_GE(xAxis, 25);
    EXPECT_GE(yAxisUp, 25);

    inDialog<QLineEdit>("distance")->setText(QStringLiteral("0.5"));
    QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);
    EXPECT_TRUE(pixelsOf(kScaleColour).empty());
    EXPECT_TRUE(pixelsOf(kAxesColour).empty());
    action("afficherEtalonnage")->setChecked(true);
    EXPECT_GE(pixelsOf(kScaleColour).size(), 100U);
    EXPECT_GE(pixelsOf(kAxesColour).size(), 50U);
}

TEST_F(MeasureUi, TrajectoryMarksOtherFramesPointsAndLeavesTheCrossToTheCurrentOne)
{
    openVideo(blackVideo(10));
    const PicturePoint points[] = {{30, 20}, {50, 35}, {70, 55}, {90, 80}};
    for (int frame = 0; frame < 4; ++frame)
        recordAt(frame, points[frame]);
    ASSERT_TRUE(form.player().seek(1));
    form.Ref();
    EXPECT_TRUE(pixelsOf(kTrajectoryColour).empty());

    action("trajectoire")->setChecked(true);
    const std::vector<QPoint> marks = pixelsOf(kTrajectoryColour);
    for (int frame : {0, 2, 3})
        EXPECT_GE(countNear(marks, points[frame], kTrajectoryMarkRadius + 1), 6) << frame;
    EXPECT_EQ(countNear(marks, points[1], 6), 0);
    EXPECT_EQ(countNear(pixelsOf(QColor(255, 0, 0)), points[1], 5), 19);
    int nearAny = 0;
    for (const PicturePoint &point : points)
        nearAny += countNear(marks, point, kTrajectoryMarkRadius + 1);
    EXPECT_EQ(nearAny, static_cast<int>(marks.size()));

    action("trajectoire")->setChecked(false);
    EXPECT_TRUE(pixelsOf(kTrajectoryColour).empty());
}

TEST_F(MeasureUi, TableFollowsTheClicksAndSaysWhichTimeIsUsed)
{
    openVideo(blackVideo(10));
    action("tableau")->trigger();
    auto *header = controller->measureWindow()->findChild<QLabel *>(QStringLiteral("header"));
    ASSERT_NE(header, nullptr);
    EXPECT_NE(header->text().indexOf(QStringLiteral("étalonnage")), -1) << header->text().toStdString();
    EXPECT_EQ(table()->rowCount(), 0);

    calibrate(kScaleStart, kScaleEnd, kOrigin, QStringLiteral("0.5"));
    EXPECT_NE(header->text().indexOf(QStringLiteral("horodatage des images")), -1) << header->text().toStdString();
    recordAt(0, {20, 110});
    recordAt(1, {70, 60});
    EXPECT_EQ(table()->rowCount(), 2);
    recordAt(3, {120, 10});
    ASSERT_EQ(table()->rowCount(), 3);
    // To the measurement's precision: 40 ms frames, 5 mm pixels.
    EXPECT_EQ(table()->item(2, 0)->text(), QStringLiteral("3"));
    EXPECT_EQ(table()->item(2, 1)->text(), QStringLiteral("0.120"));
    EXPECT_EQ(table()->item(1, 2)->text(), QStringLiteral("0.250"));
    EXPECT_EQ(table()->item(1, 3)->text(), QStringLiteral("0.250"));
    // Frame 1's neighbours are 1 and 2 frames away: the weighted difference,
    // 5.208 m/s known to 0.0625 m/s.
    EXPECT_EQ(table()->item(1, 4)->text(), QStringLiteral("5.21"));
    EXPECT_EQ(table()->item(0, 4)->text(), QString());
}

TEST_F(MeasureUi, ChoosingARowOrAPlottedPointMovesThePlayer)
{
    openVideo(blackVideo(10));
    calibrate(kScaleStart, kScaleEnd, kOrigin, QStringLiteral("0.5"));
    for (int frame : {2, 5, 7})
        recordAt(frame, {20 + 10 * frame, 100 - 5 * frame});
    action("tableau")->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->measureWindow()));
    ASSERT_EQ(table()->rowCount(), 3);

    const QRect row = table()->visualItemRect(table()->item(1, 2));
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(form.player().position(), 5);

    // x(t), the first plot: frame 7 is at t = 0.28 s, x = 0.35 m.
    PlotView *view = controller->measureWindow()->plot(0)->view();
    const QPointF at = view->positionOf(0.28, 0.35);
    ASSERT_TRUE(view->rect().contains(at.toPoint()));
    QTest::mouseClick(view, Qt::LeftButton, {}, at.toPoint());
    EXPECT_EQ(form.player().position(), 7);
    EXPECT_EQ(table()->currentRow(), 2);
}

// Without a calibration the window still measures, in pixels with y up;
// with one and a mass, the energies join the table and the plots, and a
// parabola fitted to y(t) gives back its acceleration.
TEST_F(MeasureUi, PlotsShowAnyQuantityWithItsFitAndCopyAsPictures)
{
    openVideo(blackVideo(10));
    for (int frame = 0; frame < 10; ++frame)
        recordAt(frame, {20 + 10 * frame, 60 + 2 * (frame - 4) * (frame - 4)});
    action("tableau")->trigger();
    MeasureWindow *window = controller->measureWindow();
    ASSERT_EQ(table()->rowCount(), 10);
    EXPECT_EQ(table()->horizontalHeaderItem(2)->text(), QStringLiteral("x (px)"));
    auto *header = window->findChild<QLabel *>(QStringLiteral("header"));
    EXPECT_NE(header->text().indexOf(QStringLiteral("pixels")), -1) << header->text().toStdString();

    action("etalonnage")->trigger();
    leftClick(kScaleStart);
    leftClick(kScaleEnd);
    leftClick(kOrigin);
    inDialog<QLineEdit>("distance")->setText(QStringLiteral("0.5"));
    inDialog<QLineEdit>("mass")->setText(QStringLiteral("0,2"));
    QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);
    ASSERT_EQ(controller->dynamics().massKg, 0.2);
    QStringList titles;
    for (int column = 0; column < table()->columnCount(); ++column)
        titles << table()->horizontalHeaderItem(column)->text();
    EXPECT_EQ(titles.join(QLatin1Char(' ')),
              QStringLiteral("Image t (s) x (m) y (m) vx (m/s) vy (m/s) v (m/s) ax (m/s²) ay (m/s²) Ec (J) Epp (J) "
                             "Em (J)"));

    // 4 px per frame² downwards, 5 mm pixels, 40 ms frames: -12.5 m/s².
    PlotPanel *plot = window->plot(1);
    plot->setQuantities(Quantity::T, Quantity::Y);
    plot->setModel(FitModel::Quadratic);
    ASSERT_TRUE(plot->fit());
    EXPECT_NEAR(2 * plot->fit()->coefficients[0].value, -12.5, 1e-9);
    EXPECT_NE(plot->fitText().indexOf(QStringLiteral("2a = -12.5")), -1) << plot->fitText().toStdString();
    plot->view()->menu()->findChild<QAction *>(QStringLiteral("copierAjustement"))->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), plot->fitText());

    plot->view()->menu()->findChild<QAction *>(QStringLiteral("copierGraphique"))->trigger();
    const QImage picture = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(picture.isNull());
    int curve = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor colour = picture.pixelColor(x, y);
            curve += colour.red() > 180 && colour.green() < 90 && colour.blue() < 90;
        }
    EXPECT_GT(curve, 500) << "the fitted curve and its equation";
    // Filled markers over the curve: each point's centre is the markers' dark blue.
    const QImage shown = plot->view()->image(plot->view()->size());
    QString problem;
    const std::optional<MeasureTable> measures = controller->measures(&problem);
    ASSERT_TRUE(measures);
    for (const MeasureRow &row : measures->rows) {
        const QColor centre = shown.pixelColor(plot->view()->positionOf(row.t, row.y).toPoint());
        EXPECT_TRUE(centre.blue() > 110 && centre.red() < 60 && centre.green() < 100)
            << "frame " << row.frame << ": " << centre.name().toStdString();
    }

    // Pictures for a lab report; a failed save says why and keeps the file.
    const QString png = folder.filePath(QStringLiteral("y.png"));
    const QString svg = folder.filePath(QStringLiteral("y.svg"));
    ASSERT_TRUE(plot->savePlot(png));
    ASSERT_TRUE(plot->savePlot(svg));
    EXPECT_EQ(QImage(png).size(), QSize(1000, 650));
    const std::string document = zorvane::testing::readFileBytes(svg.toStdString());
    EXPECT_NE(document.find("<svg"), std::string::npos);
    EXPECT_NE(document.find("y (m) / t (s)"), std::string::npos);
    QStringList problems;
    const QMetaObject::Connection listening =
        QObject::connect(plot, &PlotPanel::problem, [&](const QString &text) { problems << text; });
    EXPECT_FALSE(plot->savePlot(folder.filePath(QStringLiteral("absent/y.png"))));
    QObject::disconnect(listening);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_NE(problems[0].indexOf(QStringLiteral("absent/y.png")), -1);

    plot->setQuantities(Quantity::T, Quantity::Em);
    plot->setModel(FitModel::Linear);
    ASSERT_TRUE(plot->fit());
    EXPECT_EQ(plot->fit()->points, 8u) << "energies where the velocity is";
}

// The calibration file's problems read as they always did.
TEST(SidecarMessagesText, SayWhatIsWrongAsBefore)
{
    SidecarProblem problem;
    problem.file = "/data/chute.etalonnage";
    problem.kind = MeasureErrorKind::SidecarDamaged;
    problem.fault = SidecarFault::NotANumber;
    problem.line = 6;
    problem.word = "deux";
    EXPECT_EQ(SidecarMessages::text(problem).toStdString(),
              "Le fichier d'étalonnage « /data/chute.etalonnage » est endommagé (ligne 6 : « deux » n'est pas un "
              "nombre valable) : l'étalonnage n'a pas été chargé.");
    problem.fault = SidecarFault::MissingKey;
    problem.line = 0;
    problem.word = "origine";
    EXPECT_EQ(SidecarMessages::text(problem).toStdString(),
              "Le fichier d'étalonnage « /data/chute.etalonnage » est endommagé (« origine » manquant) : "
              "l'étalonnage n'a pas été chargé.");
    problem.kind = MeasureErrorKind::SidecarNewer;
    EXPECT_EQ(SidecarMessages::text(problem).toStdString(),
              "Le fichier d'étalonnage « /data/chute.etalonnage » vient d'une version plus récente du programme : "
              "l'étalonnage n'a pas été chargé.");
    problem.kind = MeasureErrorKind::OtherVideo;
    problem.saved = {"chute libre.mkv", 123456789, 38};
    problem.open = {"autre%1.mkv", 99, 7};
    EXPECT_EQ(SidecarMessages::text(problem).toStdString(),
              "L'étalonnage « /data/chute.etalonnage » a été fait sur une autre vidéo (« chute libre.mkv », 38 "
              "images, 123456789 octets) que celle qui est ouverte (« autre%1.mkv », 7 images, 99 octets) : il n'a "
              "pas été chargé.");
}

TEST_F(MeasureUi, ExportWritesTheTableAndCopyFillsTheClipboard)
{
    openVideo(blackVideo(10));
    const QString target = folder.filePath(QStringLiteral("mesures.csv"));
    int asked = 0;
    controller->setExportPathChooser([&] {
        ++asked;
        return target;
    });
    action("exporterMesures")->trigger();
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_NE(messages[0].indexOf(QStringLiteral("étalonnage")), -1);
    EXPECT_FALSE(fs::exists(target.toStdString()));

    calibrate(kScaleStart, kScaleEnd, kOrigin, QStringLiteral("0.5"));
    for (int frame = 0; frame < 4; ++frame)
        recordAt(frame, {20 + 10 * frame, 100});
    action("exporterMesures")->trigger();
    EXPECT_EQ(asked, 1);
    QString problem;
    const std::optional<MeasureTable> measures = controller->measures(&problem);
    ASSERT_TRUE(measures);
    ASSERT_EQ(measures->rows.size(), 4U);
    const std::string written = zorvane::testing::readFileBytes(target.toStdString());
    EXPECT_EQ(written, csvText(*measures, NumberFormat{}));
    EXPECT_EQ(written.rfind("t (s),x (m),y (m),vx (m/s),vy (m/s)\r\n", 0), 0U) << written;

    action("copierTableau")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), clipboardText(*measures, NumberFormat{}));
}

TEST_F(MeasureUi, CalibrationTravelsWithTheSavedSequence)
{
    const QString video = blackVideo(10);
    openVideo(video);
    calibrate(kScaleStart, kScaleEnd, kOrigin, QStringLiteral("0.5"));
    recordAt(2, {60, 60});
    const QString sequence = folder.filePath(QStringLiteral("chute.txt"));
    fileDialog->answers.push_back(sequence);
    action("es")->trigger();
    const fs::path sidecar = sidecarPath(sequence.toStdString());
    ASSERT_TRUE(fs::exists(sidecar));

    Form1 second{&openFrameSource};
    auto *secondDialog = new ScriptedDialog;
    second.setCommonDialog(secondDialog);
    QStringList secondMessages;
    second.setMessageDisplay([&](const QString &text) { secondMessages << text; });
    auto *secondController = second.findChild<MeasureController *>(QStringLiteral("measureController"));
    second.openVideo(video);
    second.player().stop();
    secondDialog->answers.push_back(sequence);
    second.findChild<QAction *>(QStringLiteral("os"))->trigger();
    EXPECT_TRUE(secondMessages.isEmpty()) << secondMessages.join(QStringLiteral("\n")).toStdString();
    ASSERT_TRUE(secondController->calibration());
    EXPECT_EQ(*secondController->calibration(), kCalibration);
    EXPECT_EQ(secondController->timeChoice(), controller->timeChoice());
    EXPECT_EQ(second.pointTrack().at(2), (TrackPoint{60, 60}));

    // A damaged file: said, and the calibration in force stays.
    const std::string saved = zorvane::testing::readFileBytes(sidecar);
    zorvane::testing::writeFileBytes(sidecar, "zorvane-etalonnage 1\nechelle n'importe quoi\n");
    secondDialog->answers.push_back(sequence);
    second.findChild<QAction *>(QStringLiteral("os"))->trigger();
    ASSERT_EQ(secondMessages.size(), 1);
    EXPECT_NE(secondMessages[0].indexOf(QStringLiteral("étalonnage")), -1) << secondMessages[0].toStdString();
    EXPECT_EQ(*secondController->calibration(), kCalibration);

    // Made on another video: said, and nothing taken.
    zorvane::testing::writeFileBytes(sidecar, saved);
    Form1 third{&openFrameSource};
    auto *thirdDialog = new ScriptedDialog;
    third.setCommonDialog(thirdDialog);
    QStringList thirdMessages;
    third.setMessageDisplay([&](const QString &text) { thirdMessages << text; });
    third.openVideo(blackVideo(12));
    third.player().stop();
    thirdDialog->answers.push_back(sequence);
    third.findChild<QAction *>(QStringLiteral("os"))->trigger();
    ASSERT_EQ(thirdMessages.size(), 1);
    EXPECT_NE(thirdMessages[0].indexOf(QStringLiteral("vidéo")), -1) << thirdMessages[0].toStdString();
    EXPECT_FALSE(third.findChild<MeasureController *>(QStringLiteral("measureController"))->calibration());
    EXPECT_EQ(third.pointTrack().at(2), (TrackPoint{60, 60}));
}

TEST_F(MeasureUi, CalibrationWaitsForTheVideoAndCancelKeepsIt)
{
    openVideo(blackVideo(10));
    calibrate(kScaleStart, kScaleEnd, kOrigin, QStringLiteral("0.5"));
    recordAt(1, {33, 44});
    const QString sequence = folder.filePath(QStringLiteral("sans-video.txt"));
    fileDialog->answers.push_back(sequence);
    action("es")->trigger();

    // New points picked, then cancelled: the calibration in force stays.
    action("etalonnage")->trigger();
    QTest::mouseClick(inDialog<QPushButton>("restart"), Qt::LeftButton);
    leftClick({1, 1});
    leftClick({2, 2});
    QTest::mouseClick(inDialog<QPushButton>("cancel"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(*controller->calibration(), kCalibration);

    Form1 second{&openFrameSource};
    auto *secondDialog = new ScriptedDialog;
    second.setCommonDialog(secondDialog);
    QStringList secondMessages;
    second.setMessageDisplay([&](const QString &text) { secondMessages << text; });
    secondDialog->answers.push_back(sequence);
    second.findChild<QAction *>(QStringLiteral("os"))->trigger();
    ASSERT_EQ(secondMessages.size(), 1);
    EXPECT_NE(secondMessages[0].indexOf(QStringLiteral("Ouvrez d'abord la vidéo")), -1);
    EXPECT_FALSE(second.findChild<MeasureController *>(QStringLiteral("measureController"))->calibration());
    EXPECT_EQ(second.pointTrack().at(1), (TrackPoint{33, 44}));
}

TEST_F(MeasureUi, SequenceWithoutCalibrationLoadsAsBefore)
{
    openVideo(blackVideo(10));
    recordAt(1, {33, 44});
    const QString sequence = folder.filePath(QStringLiteral("seule.txt"));
    fileDialog->answers.push_back(sequence);
    action("es")->trigger();
    EXPECT_FALSE(fs::exists(sidecarPath(sequence.toStdString())));
    fileDialog->answers.push_back(sequence);
    action("os")->trigger();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(controller->calibration());
    EXPECT_EQ(form.pointTrack().at(1), (TrackPoint{33, 44}));
}

// A red 9-pixel square thrown on white, 25 frames a second: its centre
// moves 8 pixels right a frame and falls 0.8 k² pixels by frame k.
constexpr int kThrowFrames = 12;

QString throwVideo()
{
    return QString::fromStdString(
        generateMedia("measureui-throw.avi", {"-f", "lavfi", "-i",
                                              "color=c=white:size=320x240:rate=25[bg];color=c=red:size=9x9:rate=25[b];"
                                              "[bg][b]overlay=x='36+200*t':y='26+500*t*t':eval=frame:shortest=1",
                                              "-frames:v", std::to_string(kThrowFrames), "-c:v", "mpeg4", "-q:v", "2"})
            .string());
}

PicturePoint throwCentre(int frame) { return {40 + 8 * frame, static_cast<std::int32_t>(30 + 0.8 * frame * frame)}; }

bool isThrowRed(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) < 90 && qBlue(pixel) < 90; }

TEST_F(MeasureUi, ChronophotographMarksEveryRecordedPointOnTheFrameAtTheVideoSize)
{
    openVideo(throwVideo());
    const int skipped = 7;
    for (int frame = 0; frame < kThrowFrames; ++frame)
        if (frame != skipped)
            recordAt(frame, throwCentre(frame));
    ASSERT_TRUE(form.player().seek(5));
    PictureCommands *pictures = controller->pictureCommands();
    const QString path = folder.filePath(QStringLiteral("Chrono"));
    pictures->setExportPathChooser([&] { return path; });
    action("exporterChronophotographie")->trigger();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();

    QImage shot(path + QStringLiteral(".png"));
    ASSERT_EQ(shot.size(), QSize(320, 240));
    for (int frame = 0; frame < kThrowFrames; ++frame) {
        const PicturePoint point = throwCentre(frame);
        const bool marked = shot.pixelColor(point.x, point.y) == kPositionColour;
        EXPECT_EQ(marked, frame != skipped) << frame;
        if (frame == skipped)
            continue;
        for (const QPoint ring : {QPoint(3, 0), QPoint(-3, 0), QPoint(0, 3), QPoint(0, -3)})
            EXPECT_EQ(shot.pixelColor(QPoint(point.x, point.y) + ring), kPositionColour) << frame;
    }
    // The current frame's picture is underneath: its square and no other.
    int red = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            red += isThrowRed(shot.pixel(x, y));
    EXPECT_GT(red, 40);
    EXPECT_LT(red, 81);
    EXPECT_GT(qRed(shot.pixel(300, 200)), 220) << "the white background";

    // With the vectors: the current frame's stands out, the legend is in the corner.
    action("vecteursVitesse")->trigger();
    action("copierImage")->trigger();
    shot = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(320, 240));
    EXPECT_EQ(shot.pixelColor(throwCentre(3).x, throwCentre(3).y), kPositionColour) << "over the arrows";
    EXPECT_EQ(shot.pixelColor(throwCentre(3).x + 1, throwCentre(3).y), kVelocityColour);
    EXPECT_EQ(shot.pixelColor(throwCentre(5).x + 1, throwCentre(5).y), currentVectorColour(kVelocityColour));
    EXPECT_LT(qRed(shot.pixel(8, 8)), 100) << "the legend's dark box";

    // A failed save says so and leaves what was there.
    const fs::path plain = fs::path(folder.path().toStdString()) / "plain.txt";
    zorvane::testing::writeFileBytes(plain, "previous");
    pictures->setExportPathChooser([&] { return QString::fromStdString((plain / "Chrono.png").string()); });
    action("exporterChronophotographie")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_NE(messages[0].indexOf(QStringLiteral("chronophotographie")), -1) << messages[0].toStdString();
    EXPECT_EQ(zorvane::testing::readFileBytes(plain), "previous");
}

TEST_F(MeasureUi, VectorsStartOnTheClickedPixelAtEveryZoomWithAScaleTheUserTypes)
{
    openVideo(throwVideo());
    for (int frame = 0; frame < kThrowFrames; ++frame)
        recordAt(frame, throwCentre(frame));
    ASSERT_TRUE(form.player().seek(5));
    EXPECT_TRUE(pixelsOf(kVelocityColour).empty());
    action("vecteursVitesse")->trigger();
    const PicturePoint start = throwCentre(3);
    const auto has = [](const std::vector<QPoint> &pixels, QPoint pixel) {
        return std::find(pixels.begin(), pixels.end(), pixel) != pixels.end();
    };
    EXPECT_TRUE(has(pixelsOf(kVelocityColour), QPoint(start.x, start.y)));
    EXPECT_FALSE(pixelsOf(currentVectorColour(kVelocityColour)).empty()) << "the current frame's vector";

    PictureCommands *pictures = controller->pictureCommands();
    EXPECT_FALSE(pictures->setVectorScale(ArrowKind::Velocity, QStringLiteral("zéro")));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_NE(messages[0].indexOf(QStringLiteral("px/s")), -1) << "without a calibration";
    EXPECT_DOUBLE_EQ(pictures->vectorScale(ArrowKind::Velocity), 0.2);
    // At 1 pixel per px/s the arrow of frame 3 (200 px/s right) reaches x + 200.
    ASSERT_TRUE(pictures->setVectorScale(ArrowKind::Velocity, QStringLiteral("1")));
    // The middle of frame pixel x is on screen pixel floor(zoom (x + ½)).
    for (const double zoom : {2.0, 3.0}) {
        picture->zoomAt(zoom, picture->contentsRect().topLeft());
        picture->scrollTo(0, 0);
        ASSERT_DOUBLE_EQ(picture->view().scale(), zoom);
        const int at = static_cast<int>(zoom);
        EXPECT_TRUE(has(pixelsOf(kVelocityColour), QPoint(at * start.x + at / 2, at * start.y + at / 2))) << zoom;
    }
    // The largest scales draw at once, arrows still on their pixels.
    action("vecteursVariation")->trigger();
    ASSERT_TRUE(pictures->setVectorScale(ArrowKind::Velocity, QStringLiteral("1000000")));
    ASSERT_TRUE(pictures->setVectorScale(ArrowKind::VelocityChange, QStringLiteral("1000000")));
    EXPECT_TRUE(has(pixelsOf(kVelocityColour), QPoint(3 * start.x + 1, 3 * start.y + 1)));
}

// A thrown red ball (A) and a blue cart (B) going right at 100 px/s, 25 frames a second.
QString twoBallsVideo()
{
    return QString::fromStdString(
        generateMedia("measureui-twoballs.avi",
                      {"-f", "lavfi", "-i",
                       "color=c=white:size=320x240:rate=25[bg];color=c=red:size=9x9:rate=25[a];"
                       "color=c=blue:size=9x9:rate=25[b];"
                       "[bg][a]overlay=x='36+200*t':y='26+500*t*t':eval=frame:shortest=1[ba];"
                       "[ba][b]overlay=x='16+100*t':y=180:eval=frame:shortest=1",
                       "-frames:v", std::to_string(kThrowFrames), "-c:v", "mpeg4", "-q:v", "2"})
            .string());
}

// The middle of the pixels of one colour in a decoded frame, as a user clicks it.
PicturePoint centreOf(const RgbImage &picture, bool red)
{
    double sumX = 0;
    double sumY = 0;
    int count = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t *rgb = &picture.pixels[(static_cast<std::size_t>(y) * picture.width + x) * 3];
            const int strong = red ? rgb[0] : rgb[2];
            const int other = red ? rgb[2] : rgb[0];
            if (strong > 200 && rgb[1] < 90 && other < 90) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    return count == 0 ? PicturePoint{}
                      : PicturePoint{static_cast<std::int32_t>(std::lround(sumX / count)),
                                     static_cast<std::int32_t>(std::lround(sumY / count))};
}

int axesPixelsRightOf(const std::vector<QPoint> &pixels, PicturePoint origin)
{
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(), [&](QPoint p) {
        return p.y() == origin.y && p.x() > origin.x + 10 && p.x() < origin.x + kAxisLength - 8;
    }));
}

TEST_F(MeasureUi, TwoBallsClickedSavedReloadedAndMeasuredInTheCartsFrame)
{
    const QString video = twoBallsVideo();
    openVideo(video);
    action("ajouterPoint")->trigger();
    std::vector<PicturePoint> balls;
    std::vector<PicturePoint> carts;
    for (int frame = 0; frame < kThrowFrames; ++frame) {
        const RgbImage decoded = form.player().pictureOf(frame);
        balls.push_back(centreOf(decoded, true));
        carts.push_back(centreOf(decoded, false));
        ASSERT_NEAR(carts.back().x, 20 + 4 * frame, 1) << frame;
        QTest::keyClick(picture, Qt::Key_1);
        recordAt(frame, balls.back());
        QTest::keyClick(picture, Qt::Key_2);
        recordAt(frame, carts.back());
    }
    ASSERT_EQ(form.activePoint(), 1);
    action("etalonnage")->trigger();
    inDialog<QComboBox>("originChoice")->setCurrentIndex(1);
    leftClick(kScaleStart);
    leftClick(kScaleEnd);
    EXPECT_FALSE(dialog->isPicking()) << "an origin on B needs no click";
    inDialog<QLineEdit>("distance")->setText(QStringLiteral("0.5"));
    QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);
    ASSERT_EQ(controller->movingOrigin(), 1);
    const QString sequence = folder.filePath(QStringLiteral("deux.txt"));
    fileDialog->answers.push_back(sequence);
    action("es")->trigger();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    const std::string calibration = zorvane::testing::readFileBytes(sidecarPath(sequence.toStdString()));
    EXPECT_NE(calibration.find("\nreferentiel B\n"), std::string::npos) << calibration;

    Form1 second{&openFrameSource};
    second.setMessageDisplay([this](const QString &text) { messages << text; });
    second.openVideo(video);
    second.player().stop();
    second.loadSequenceFile(sequence);
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(second.otherPoints().count(), 1);
    for (int frame = 0; frame < kThrowFrames; ++frame) {
        EXPECT_EQ(second.pointTrack().at(frame), (TrackPoint{balls[frame].x, balls[frame].y})) << frame;
        EXPECT_EQ(second.otherPoints().track(1).at(frame), (TrackPoint{carts[frame].x, carts[frame].y})) << frame;
    }
    auto *measures = second.findChild<MeasureController *>(QStringLiteral("measureController"));
    ASSERT_EQ(measures->movingOrigin(), 1);
    ASSERT_EQ(second.activePoint(), 0);
    QString problem;
    const std::optional<MeasureTable> table = measures->measures(&problem);
    ASSERT_TRUE(table) << problem.toStdString();
    ASSERT_EQ(table->rows.size(), static_cast<std::size_t>(kThrowFrames));
    const double truth = (200 - 100) * 0.005; // m/s: 100 px/s at half a metre per 100 px
    for (const MeasureRow &row : table->rows) {
        EXPECT_DOUBLE_EQ(row.x, (balls[row.frame].x - carts[row.frame].x) * 0.005) << row.frame;
        if (row.vx) {
            EXPECT_NEAR(*row.vx, truth, 0.01 * truth) << row.frame;
        }
    }

    // The axes start from the cart on every frame.
    auto *secondPicture = second.findChild<VideoDisplay *>(QStringLiteral("Picture1"));
    second.findChild<QAction *>(QStringLiteral("afficherEtalonnage"))->setChecked(true);
    for (const int frame : {2, 9}) {
        ASSERT_TRUE(second.player().seek(frame));
        second.Ref();
        EXPECT_GE(axesPixelsRightOf(zorvane::testing::pixelsOf(*secondPicture, kAxesColour), carts[frame]), 25)
            << frame;
    }

    // The cart's own vectors once it is active and the origin fixed; every
    // point in its colour on the chronophotograph.
    ASSERT_TRUE(second.chooseActivePoint(1));
    measures->setSettings(*measures->calibration(), measures->timeChoice(), {}, 0);
    second.findChild<QAction *>(QStringLiteral("vecteursVitesse"))->trigger();
    ASSERT_TRUE(second.player().seek(5));
    second.findChild<QAction *>(QStringLiteral("copierImage"))->trigger();
    const QImage shot = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(320, 240));
    for (int frame = 0; frame < kThrowFrames; ++frame) {
        EXPECT_EQ(shot.pixelColor(balls[frame].x, balls[frame].y), pointColour(0)) << frame;
        EXPECT_EQ(shot.pixelColor(carts[frame].x, carts[frame].y), pointColour(1)) << frame;
    }
    int onCartsRow = 0;
    int elsewhere = 0; // where A's arrows would be, below the legend
    int ignored = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixelColor(x, y) == kVelocityColour)
                ++(y == carts[0].y ? onCartsRow : y > 25 && y < 150 ? elsewhere : ignored);
    EXPECT_GE(onCartsRow, 20) << "B's arrows, 25 px long";
    EXPECT_EQ(elsewhere, 0) << "A is not active";
}

TEST_F(MeasureUi, AnXAxisAlongTwoClickedPointsIsAskedForAndDrawn)
{
    openVideo(blackVideo(10));
    action("etalonnage")->trigger();
    inDialog<QComboBox>("xAxis")->setCurrentIndex(1);
    leftClick(kScaleStart);
    leftClick(kScaleEnd);
    leftClick(kOrigin);
    ASSERT_TRUE(dialog->isPicking()) << "the two points of x";
    EXPECT_NE(inDialog<QLabel>("instruction")->text().indexOf(QStringLiteral("axe x")), -1);
    QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1) << "refused until both are clicked";
    leftClick({20, 20});
    leftClick({80, 100}); // 3-4-5: x goes down to the right
    inDialog<QLineEdit>("distance")->setText(QStringLiteral("0.5"));
    QTest::mouseClick(inDialog<QPushButton>("ok"), Qt::LeftButton);
    ASSERT_TRUE(controller->calibration());
    EXPECT_EQ(controller->calibration()->xAxis(), (AxisPoints{{20, 20}, {80, 100}}));
    action("afficherEtalonnage")->setChecked(true);
    int alongX = 0;
    for (const QPoint &pixel : pixelsOf(kAxesColour))
        alongX += std::abs((pixel.x() - kOrigin.x) * 4 - (pixel.y() - kOrigin.y) * 3) <= 4 && pixel.y() > kOrigin.y + 8;
    EXPECT_GE(alongX, 20) << "the x arrow follows the slope";
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
