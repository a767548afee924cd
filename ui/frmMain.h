#pragma once

#include <QKeySequence>
#include <QMargins>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "game/BoardCursor.h"
#include "game/Game.h"
#include "platform/Sound.h"
#include "scores/HighScoreTable.h"
#include "scores/KeptGameFile.h"
#include "scores/Settings.h"
#include "ui/BoardDrawing.h"
#include "ui/BoardGuide.h"
#include "ui/PictureBox.h"
#include "ui/Screens.h"

namespace orbelix {

// The main window: the playing surface, the score digits, the button pictures and the
// help and about screens. It holds the game, the high-score table and the settings
// store, turns clicks and keys into moves of the game and shows what they leave.
class frmMain : public QWidget {
    Q_OBJECT

  public:
    static constexpr int ClientWidth = 656;
    static constexpr int ClientHeight = 364;

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- Routines the game calls from several places. ----
    void DrawBoard();
    void ShowScore();
    void HideMainScreen();
    void ShowMainScreen();
    // Saves at once when the lock is free; when another copy holds it, the game goes on
    // and the save is made again in the background until it goes through.
    void SaveSettings();
    bool SoundIsOn() const;

    // ---- The window on its screen. ----
    // The window's outer size in logical pixels, frame and caption included, which the
    // game centres its pictures on. The frame keeps its size at every zoom, so the layout
    // is the same at every zoom.
    QSize OuterSize() const;
    // The frame around the window: the window system's once it has framed (or shown) the
    // window, else the frame it is expected to draw.
    QMargins FrameMargins() const;
    // Replaces the expected frame of the platform (tests); nullopt puts it back.
    static void SetAssumedFrame(std::optional<QMargins> frame);
    // Puts the window in the middle of its screen by its outer size, except under Wayland,
    // where the compositor places windows.
    void CentreOnScreen();
    // Closes the window the way the system ending the program does: after the move
    // under way, closing the high-score window first if it is up.
    void RequestClose();

    // Zoom: both windows and every picture control take the zoom at once, in the middle
    // of anything, and the windows stay centred. A zoom whose window would not fit on
    // the screen is refused (returns false, nothing changes). With `remember` the zoom
    // is also the one kept in the settings; without, it holds for this run only.
    bool SetZoom(int zoom, bool remember);
    // Whether the main window, at the given zoom, fits on its screen.
    bool ZoomFits(int zoom) const;
    // A zoom key: +1 larger, -1 smaller, 0 back to the game's own size.
    void ZoomBy(int step);

    // ---- What the window holds, for looking at (the table also for changing). ----
    const Game& game() const { return game_; }
    HighScoreTable& table() { return table_; }
    const HighScoreTable& table() const { return table_; }
    const BoardCursor& cursor() const { return Cursor; }
    bool showSymbols() const { return ShowSymbols; }
    // The guide: the preview under the pointer or the cursor, aimed clicks, the rules page.
    const BoardGuide& guide() const { return *Guide; }
    int16_t storedZoom() const { return StoredZoom; }
    int saveCount() const { return store_.saveCount(); }
    const SoundPlayer& sound() const { return Sound; }
    Screen currentScreen() const { return screens_.current(); }

    // ---- Prepared games (replays, tests, tours). ----
    // Deals the following boards from this seed.
    void Seed(uint32_t seed) { game_.Seed(seed); }
    // Starts a game on the board given, with the score given, as New starts one on a
    // dealt board.
    void NewGameOn(const BoardGrid& board, int32_t score = 0);

    // ---- Numbered boards and the kept game. ----
    // Deals board `number` at the colour count in effect, as New does.
    void NewNumberedGame(uint32_t number);
    // Goes on with a kept game, exactly as it was (Undo, the cursor included).
    void ResumeGame(const KeptGame& kept);
    // Resumes the kept game on disk, if there is a good one; a bad one is set aside with a
    // message on stderr. With `sayWhenNone`, says on stderr that there was none.
    bool ResumeKeptGame(bool sayWhenNone);
    // Whether a plain start goes on with the kept game (switched by R, kept in the settings).
    bool alwaysResume() const { return AlwaysResume; }
    // Carries out the kept game's writes asked for so far (tests).
    void FlushKeptGame() {
        if (keeper_) keeper_->flush();
    }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // ---- Event handlers and routines. ----
    void Form_Load();
    void pctNew_Click();
    void ShowNewBoard();
    void pctBoard_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);
    void pctUndo_Click();
    void DrawBallsOnBoard();
    void RemoveGroup(int16_t& row, int16_t& column, int16_t& layer);
    bool AnyMovesLeft();
    void EndGame();
    void PlayBleep(const QString& fileName, int16_t flags);
    // Reads the removal sound ahead of the first move, when sound is on.
    void PrepareBleep();
    void LoadSettings();
    Options CurrentOptions() const;
    void pctColors_Click(int16_t index);
    void pctSound_Click();
    void pctHelp_Click();
    void pctHelpText_Click();
    void pctAbout_Click();
    void pctAboutText_Click();
    void pctHighScores_Click();
    void pctExit_Click();
    // Opens the high-score window modally and waits until it has closed.
    void ShowHighScoreWindow();

    void CreateControls();
    void ConnectControls();
    // Keeps the option buttons' accessible names in step with what they show.
    void DescribeOptions();
    // While `live`, a program ended by exit() (as Qt does when the X connection breaks)
    // or by a broken Wayland connection still saves this window's settings on its way out.
    void SaveAtExit(bool live);
    // The last save: waits a little for another copy that holds the lock (out of sight
    // when `mayHide`), then keeps the change aside for the next copy that saves.
    void SaveOnTheWayOut(bool mayHide);
    BallSprites Sprites() const;
    // When the frame turns out other than the one the places were computed with: centres
    // the title, help and about pictures again, and the window too until it was first framed.
    void FollowFrame();
    void PlaceHelpScreen();
    void PlaceAboutScreen();
    // Runs the shortcut that a key press names, when Qt's shortcuts have let it through.
    bool AnswerShortcut(const QKeyEvent& event);

    // ---- Playing from the keyboard, and symbols on the balls. ----
    void SetUpKeyboard();
    void ToggleSymbols();
    // Arrow keys: shows the cursor if hidden, else moves it by cells (stops at the edges).
    void MoveCursor(int columns, int rows);
    // The layer key: shows the cursor if hidden, else steps front, middle, back.
    void StepCursorLayer();
    // Enter or Space: the move a click on the cursor's ball would make.
    void ActAtCursor();
    void HideCursor();
    // A mouse press anywhere on the window: the cursor and any focus frame go.
    void MouseUsed();
    // Says what just happened on the board (a removal, Undo, a new game): with the cursor
    // shown and `withCell`, together with its cell; else as a message.
    void Tell(const QString& news, bool withCell = true);
    // Whether the board takes moves now: a game on the main screen.
    bool BoardTakesMoves() const;
    // The symbols' sprites while they are shown (read the first time they are), else null.
    const SymbolSprites* Symbols() const;
    void PaintCursor(QPainter& painter) const;

    // ---- The kept game. ----
    // "board 424242, 6 colours": the board in play as the player hears and copies it.
    QString BoardName() const;
    // Asks for the game to be kept as it stands now (after a move, Undo, New), or for the
    // kept game to go when this one is over. Written on a thread of its own.
    void KeepGame();
    // At close: keeps the game with the cursor where it stands, and waits for the write.
    void KeepGameAtClose();
    // Ctrl+C: "Orbelix board 424242, 6 colours" to the clipboard.
    void CopyBoard();
    void ToggleAlwaysResume();

    // ---- The guide (switched by G, kept in the settings). ----
    void SetUpGuide();
    void ToggleGuide();
    void PaintGuide(QPainter& painter) const;
    // The fuller rules page that Help shows while the guide is on, made when first needed.
    void ShowRulesPage();
    void PlaceRulesPage();
    // Shows the cursor where it stands and says its cell, after `news` when given.
    void CursorChanged(const QString& news = QString());

    // ---- The controls (their game names). Arrays are addressed by the game's index. ----
    PictureBox* pctBoard = nullptr;
    std::array<PictureBox*, MaxColors + 1> pctBall{};
    std::array<PictureBox*, 6> imgScore{};
    std::array<PictureBox*, 11> imgDigit{};
    std::array<PictureBox*, 9> pctColors{};
    PictureBox* pctOrbelix = nullptr;
    PictureBox* pctHelpText = nullptr;
    PictureBox* pctAboutText = nullptr;
    std::array<PictureBox*, 3> pctVersion{};
    PictureBox* pctBlank = nullptr;
    PictureBox* pctSoundOn = nullptr;
    PictureBox* pctSoundOff = nullptr;
    PictureBox* pctSound = nullptr;
    PictureBox* pctGameOver = nullptr;
    PictureBox* pctNew = nullptr;
    PictureBox* pctHighScores = nullptr;
    PictureBox* pctHelp = nullptr;
    PictureBox* pctUndo = nullptr;
    PictureBox* pctAbout = nullptr;
    PictureBox* pctExit = nullptr;
    PictureBox* pctRulesText = nullptr;

    // ---- State. ----
    Game game_;
    HighScoreTable table_;
    SettingsStore store_;
    ScreenKeeper screens_{*this};
    // The zoom kept in the settings (the one in use may differ for one run).
    int16_t StoredZoom = 1;
    MousePointer Pointer;
    SoundPlayer Sound;
    // The keyboard cursor, drawn over the board while it is visible.
    BoardCursor Cursor;
    // Whether each ball carries its colour's symbol (kept in the settings).
    bool ShowSymbols = false;
    mutable SymbolSprites SymbolPictures;
    BoardGuide* Guide = nullptr;
    bool AlwaysResume = false;
    // Made on the first game kept, so that a start without a game never touches the file.
    std::unique_ptr<KeptGameFile::Writer> keeper_;

    // Saves again while another copy holds the lock.
    QTimer* saveRetry_ = nullptr;
    bool inMove_ = false;
    bool closePending_ = false;
    bool closed_ = false;
    bool painted_ = false;
    mutable bool frameGiven_ = false;
    QMargins placedWith_;           // the frame the centred pictures were placed with
    bool centredOnScreen_ = false;  // placed by CentreOnScreen, not yet framed
    struct KeyAction {
        QKeySequence keys;
        std::function<void()> action;
    };
    std::vector<KeyAction> keyActions_;
};

}  // namespace orbelix
