#include "ui/frmMain.h"

#include <QIcon>
#include <QShortcut>
#include <chrono>
#include <utility>

#include "ui/Pictures.h"
#include "ui/Zoom.h"

namespace orbelix {
namespace {

// The button-face grey that the playing surface is cleared to.
const QColor ButtonFace(240, 240, 240);

}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orbelix"));
    // Sizes for title bars and task switchers; menus and docks take the installed theme
    // icons. The large ones would cost start-up time for nothing.
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/assets/icons/orbelix-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    // A fixed window with a close box only: no minimise, no maximise, no resizing.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Zoom::ToWindow(QSize(ClientWidth, ClientHeight)));
    // Light grey until start-up paints the window black.
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);

    CreateControls();
    // Before any accessible name is set: that makes the controls' interfaces.
    SetUpKeyboard();
    SetUpGuide();
    ConnectControls();
    saveRetry_ = new QTimer(this);
    saveRetry_->setInterval(250);
    // Not while the high-score window is up: a save can move rows, and the window shows
    // the rows as they were when it opened. Its closing saves anyway.
    connect(saveRetry_, &QTimer::timeout, this, [this] {
        if (screens_.current() != Screen::HighScores) SaveSettings();
    });
    Form_Load();
    SaveAtExit(true);
}

frmMain::~frmMain() {
    SaveAtExit(false);
    // The guide watches the board, which outlives this object's own members: it goes
    // first, so that the board's last events (hidden, left by the pointer) reach nothing
    // of a window that is already gone.
    delete std::exchange(Guide, nullptr);
}

void frmMain::CreateControls() {
    const auto add = [this](const QString& name, QRect place, bool visible, bool autoSize,
                            const QString& picture = QString()) {
        auto* box = new PictureBox(this, name, place, visible, autoSize);
        if (!picture.isEmpty()) box->setStorePicture(picture);
        return box;
    };
    const auto indexed = [](const char* name, int index) {
        return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
    };

    // Image controls lie below every picture control, so they are made first.
    const int scoreLefts[6] = {626, 604, 584, 562, 540, 518};
    for (int i = 0; i < 6; ++i)
        imgScore[i] = add(indexed("imgScore", i), {scoreLefts[i], 4, 22, 28}, true, true);
    for (int i = 0; i <= 10; ++i)
        imgDigit[i] = add(indexed("imgDigit", i), {20 + 22 * i, 202, 22, 28}, false, true,
                          indexed("imgDigit", i));

    pctBoard = add(QStringLiteral("pctBoard"), {20, 234, 245, 41}, true, false);
    pctBoard->makeSurface(ButtonFace);
    for (int i = 0; i <= MaxColors; ++i)
        pctBall[i] =
            add(indexed("pctBall", i), {-60, 25 * i, 50, 25}, false, true, indexed("pctBall", i));

    pctColors[0] = add(indexed("pctColors", 0), {546, 150, 111, 25}, true, true);
    const int colorLefts[3] = {24, 140, 254};
    const int colorTops[3] = {282, 306, 330};
    for (int i = 1; i <= 8; ++i)
        pctColors[i] =
            add(indexed("pctColors", i), {colorLefts[(i - 1) / 3], colorTops[(i - 1) % 3], 111, 25},
                false, true, indexed("pctColors", i));

    pctOrbelix = add(QStringLiteral("pctOrbelix"), {272, 190, 241, 90}, false, true,
                     QStringLiteral("pctOrbelix"));
    pctHelpText = add(QStringLiteral("pctHelpText"), {274, 132, 172, 46}, false, false,
                      QStringLiteral("pctHelpText"));
    pctAboutText = add(QStringLiteral("pctAboutText"), {240, 4, 201, 69}, false, false,
                       QStringLiteral("pctAboutText"));
    const int versionLefts[3] = {232, 256, 280};
    for (int i = 0; i < 3; ++i)
        pctVersion[i] = add(indexed("pctVersion", i), {versionLefts[i], 104, 21, 23}, false, true);
    pctBlank = add(QStringLiteral("pctBlank"), {182, 100, 32, 32}, false, true,
                   QStringLiteral("pctBlank"));
    pctSoundOn = add(QStringLiteral("pctSoundOn"), {332, 104, 111, 25}, false, true,
                     QStringLiteral("pctSoundOn"));
    pctSoundOff = add(QStringLiteral("pctSoundOff"), {332, 80, 111, 25}, false, true,
                      QStringLiteral("pctSoundOff"));
    // The sound button's own picture looks like "No Sound" but is a picture of its own.
    pctSound = add(QStringLiteral("pctSound"), {542, 176, 111, 25}, true, true,
                   QStringLiteral("pctSoundOff"));
    pctGameOver = add(QStringLiteral("pctGameOver"), {500, 34, 151, 36}, false, true,
                      QStringLiteral("pctGameOver"));
    pctGameOver->setBorder(true);
    pctNew = add(QStringLiteral("pctNew"), {598, 72, 48, 24}, true, true, QStringLiteral("pctNew"));
    pctHighScores = add(QStringLiteral("pctHighScores"), {580, 100, 68, 49}, true, false,
                        QStringLiteral("pctHighScores"));
    pctHelp =
        add(QStringLiteral("pctHelp"), {604, 228, 44, 26}, true, true, QStringLiteral("pctHelp"));
    pctUndo =
        add(QStringLiteral("pctUndo"), {586, 204, 66, 20}, true, true, QStringLiteral("pctUndo"));
    pctAbout =
        add(QStringLiteral("pctAbout"), {586, 256, 66, 20}, true, true, QStringLiteral("pctAbout"));
    pctExit =
        add(QStringLiteral("pctExit"), {604, 278, 48, 25}, true, false, QStringLiteral("pctExit"));
}

void frmMain::ConnectControls() {
    connect(pctNew, &PictureBox::Click, this, &frmMain::pctNew_Click);
    connect(pctUndo, &PictureBox::Click, this, &frmMain::pctUndo_Click);
    connect(pctBoard, &PictureBox::MouseDown, this, &frmMain::pctBoard_MouseDown);
    for (int i = 0; i <= 8; ++i)
        connect(pctColors[i], &PictureBox::Click, this,
                [this, i] { pctColors_Click(static_cast<int16_t>(i)); });
    connect(pctSound, &PictureBox::Click, this, &frmMain::pctSound_Click);
    connect(pctHelp, &PictureBox::Click, this, &frmMain::pctHelp_Click);
    connect(pctHelpText, &PictureBox::Click, this, &frmMain::pctHelpText_Click);
    connect(pctAbout, &PictureBox::Click, this, &frmMain::pctAbout_Click);
    connect(pctAboutText, &PictureBox::Click, this, &frmMain::pctAboutText_Click);
    connect(pctHighScores, &PictureBox::Click, this, &frmMain::pctHighScores_Click);
    connect(pctExit, &PictureBox::Click, this, &frmMain::pctExit_Click);

    // Keyboard shortcuts for the main screen's buttons. Each acts only while the main
    // screen is up, so it follows the same rules as a click on its button.
    const auto shortcut = [this](QKeySequence keys, void (frmMain::*handler)()) {
        const auto action = [this, handler] {
            if (screens_.mainIsUp()) (this->*handler)();
        };
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
        keyActions_.push_back({keys, action});
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_N), &frmMain::pctNew_Click);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), &frmMain::pctUndo_Click);
    shortcut(QKeySequence(Qt::Key_F1), &frmMain::pctHelp_Click);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), &frmMain::pctExit_Click);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_C), &frmMain::CopyBoard);
    Zoom::AddShortcuts(this, [this](int step) { ZoomBy(step); });

    // Names and descriptions for screen readers: every clickable picture says what it does.
    const auto describe = [](PictureBox* box, const QString& name, const QString& description) {
        box->setAccessibleName(name);
        box->setAccessibleDescription(description);
    };
    describe(pctNew, tr("New game"), tr("Starts a new game with a fresh board (Ctrl+N)"));
    describe(pctUndo, tr("Undo"), tr("Takes back the last move that removed balls (Ctrl+Z)"));
    describe(pctHelp, tr("Help"), tr("Shows how to play (F1)"));
    describe(pctAbout, tr("About"), tr("Shows the program's name, makers and version"));
    describe(pctExit, tr("Exit"), tr("Saves the settings and closes the game (Ctrl+Q)"));
    describe(pctHighScores, tr("High scores"), tr("Shows the ten best results"));
    describe(pctHelpText, tr("How to play"),
             tr("Click on identical adjacent pieces to score points. Click to go back."));
    describe(pctAboutText, tr("About Orbelix"),
             tr("Orbelix by Orbelix developers, version %1. Click to go back.")
                 .arg(QStringLiteral(ORBELIX_VERSION)));
    describe(pctBoard, tr("Board"), tr("Click a ball to remove its group of one colour"));
}

void frmMain::DescribeOptions() {
    pctColors[0]->setAccessibleName(tr("Colour count: %1 colours").arg(game_.colorCount()));
    pctColors[0]->setAccessibleDescription(
        tr("Steps the number of colours of the next game, 6 to 13"));
    pctSound->setAccessibleName(SoundIsOn() ? tr("Sound on") : tr("Sound off"));
    pctSound->setAccessibleDescription(tr("Switches the sound of removed balls on or off"));
}

void frmMain::Form_Load() {
    game_.Seed(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                                     std::chrono::system_clock::now().time_since_epoch().count()));
    game_.setColorCount(MinColors);
    LoadSettings();
    // The kept zoom, or the largest below it that fits on this screen.
    for (int zoom = StoredZoom; zoom > Zoom::Min && !SetZoom(zoom, false); --zoom) {
    }

    pctBoard->move(0, 0);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    pctBoard->resize(pctSound->x(), OuterSize().height());
    update();

    placedWith_ = FrameMargins();
    pctOrbelix->move(CentredOn(OuterSize(), pctOrbelix->size()));
    pctOrbelix->setVisible(true);

    pctColors[0]->setPicture(pctColors[game_.colorCount() - 5]->picture());
    DescribeOptions();
}

}  // namespace orbelix
