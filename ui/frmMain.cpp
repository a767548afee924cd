#include "ui/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMouseEvent>
#include <chrono>

#include "platform/Pause.h"
#include "platform/SignalBridge.h"
#include "ui/Pictures.h"
#include "ui/Zoom.h"

namespace orbelix {
namespace {

// The button-face grey that the playing surface is cleared to.
const QColor ButtonFace(240, 240, 240);

}  // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent),
      placement_(*this, QSize(ClientWidth, ClientHeight), [this] { placeCentredPictures(); }),
      settings_(table_, [this] { return currentOptions(); }) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orbelix"));
    // Sizes for title bars and task switchers; menus and docks take the installed theme
    // icons. The large ones would cost start-up time for nothing.
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(LoadPicture(QStringLiteral("icons/orbelix-%1").arg(size)));
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

    createControls();
    overlay_ = std::make_unique<BoardOverlay>(
        pctBoard, game_, [this] { return sprites(); }, [this] { return boardTakesMoves(); },
        [this] { return game_.dealt() && screens_.mainIsUp(); });
    hints_ = std::make_unique<BoardHints>(
        game_, *overlay_, [this] { return boardTakesMoves(); },
        [this] { return game_.dealt() && !game_.gameInProgress() && screens_.mainIsUp(); },
        [this] { CountHint(); });
    // Before any accessible name is set: that makes the controls' interfaces.
    describeControls();
    connectControls();
    bindKeys();
    closeRequests_ = std::make_unique<CloseRequests>(
        *this, [] { return QApplication::activeModalWidget() != nullptr; },
        [this] { RequestClose(); });
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::PrefetchFirstScreen(int scale, std::function<void()> afterwards) {
    // The window's icons, then what the title screen shows, its sound and colour pictures.
    QStringList pictures;
    for (int size : {16, 32, 48, 64}) pictures << QStringLiteral("icons/orbelix-%1").arg(size);
    pictures << QStringLiteral("pctOrbelix") << QStringLiteral("pctNew")
             << QStringLiteral("pctHighScores") << QStringLiteral("pctHelp")
             << QStringLiteral("pctUndo") << QStringLiteral("pctAbout") << QStringLiteral("pctExit")
             << QStringLiteral("pctSoundOn") << QStringLiteral("pctSoundOff")
             << QStringLiteral("pctColors_1");
    PrefetchPictures(pictures, scale, std::move(afterwards));
}

void frmMain::createControls() {
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

void frmMain::connectControls() {
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
    // Any mouse press on the window hides the cursor and a button's focus frame: the mouse
    // player sees the game as before.
    for (PictureBox* control : findChildren<PictureBox*>())
        connect(control, &PictureBox::MouseDown, this, &frmMain::mouseUsed);
}

void frmMain::Form_Load() {
    game_.Seed(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                                     std::chrono::system_clock::now().time_since_epoch().count()));
    game_.setColorCount(MinColors);
    LoadSettings();
    placement_.applyStoredZoom();

    pctBoard->move(0, 0);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    pctBoard->resize(pctSound->x(), placement_.outerSize().height());
    update();

    placement_.placed();
    pctOrbelix->move(CentredOn(placement_.outerSize(), pctOrbelix->size()));
    pctOrbelix->setVisible(true);

    pctColors[0]->setPicture(pctColors[game_.colorCount() - 5]->picture());
    describeOptions();
}

void frmMain::placeCentredPictures() {
    pctOrbelix->move(CentredOn(placement_.outerSize(), pctOrbelix->size()));
    if (screens_.current() == Screen::Help) placeHelpScreen();
    if (screens_.current() == Screen::About) placeAboutScreen();
    if (screens_.current() == Screen::Statistics) placeStatisticsPage();
}

bool frmMain::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowStateChange:
            // A fixed-size window is not maximised, even where the window decoration
            // (Qt's own under Wayland) offers the button anyway.
            if (windowState() & Qt::WindowMaximized)
                QMetaObject::invokeMethod(
                    this, [this] { setWindowState(windowState() & ~Qt::WindowMaximized); },
                    Qt::QueuedConnection);
            break;
        case QEvent::WindowActivate:
            // The first time the window has the keyboard, a screen reader hears how to
            // begin, once Qt has told of the window itself.
            if (!activated_) {
                activated_ = true;
                QMetaObject::invokeMethod(this, &frmMain::sayHowToBegin, Qt::QueuedConnection);
            }
            break;
        case QEvent::Paint:
            // What the first frame does not need waits until it is painted: the removal
            // sound is read ahead of the first move once the window is up.
            if (!painted_) {
                painted_ = true;
                QMetaObject::invokeMethod(this, &frmMain::prepareBleep, Qt::QueuedConnection);
            }
            break;
        default:
            break;
    }
    placement_.follow(*event);
    return QWidget::event(event);
}

void frmMain::mousePressEvent(QMouseEvent* event) {
    mouseUsed();
    QWidget::mousePressEvent(event);
}

void frmMain::mouseUsed() {
    overlay_->clearHint();
    overlay_->hideCursor();
    // A click ends keyboard use: the button Tab reached gives up its focus and its frame.
    if (const auto* button = qobject_cast<const PictureBox*>(focusWidget());
        button != nullptr && button->keyboardFocused())
        setFocus(Qt::OtherFocusReason);
}

void frmMain::RequestClose() {
    // The system ending the program does not wait for the end-of-game pause.
    Pause::Interrupt();
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    if (inMove_) {
        // The move finishes first (its pause, its table placement), then the window closes.
        closePending_ = true;
        return;
    }
    close();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (inMove_) {
        // Closed during the end-of-game pause: let the move finish, then close.
        closePending_ = true;
        event->ignore();
        return;
    }
    // A save stuck on a file system that does not answer must not keep the program up.
    SignalBridge::EndWithinGrace();
    keepGameAtClose();
    recordGameAtClose();
    settings_.saveOnTheWayOut([this] { hide(); });
    event->accept();
}

}  // namespace orbelix
