#pragma once

#include <QKeySequence>
#include <QMargins>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "app/PictureBox.h"
#include "board/BoardCursor.h"
#include "board/BoardDrawing.h"
#include "board/BoardModel.h"
#include "moves/Moves.h"
#include "moves/Sound.h"
#include "scores/TableMerge.h"

namespace orbelix {

// The main window: the playing surface, the score digits, the button pictures and the
// help and about screens, with all of the game's state as its members.
class frmMain : public QWidget {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 656;
    static constexpr int ClientHeight = 364;

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Screens, score and settings, also used by the high-score window.
    void ShowScore();
    void HideMainScreen();
    void ShowMainScreen();

    // The window's outer size in logical pixels, frame and caption included, which the
    // game centres its pictures on. The frame keeps its size at every zoom, so the layout
    // is the same at every zoom.
    QSize OuterSize() const;
    // The frame around the window: the window system's once it has framed (or shown) the
    // window, else the frame it is expected to draw.
    QMargins FrameMargins() const;
    // Replaces the expected frame of the platform (tests).
    static std::optional<QMargins> AssumedFrame;
    // Puts the window in the middle of its screen by its outer size, except under Wayland,
    // where the compositor places windows.
    void CentreOnScreen();
    // Closes the window the way the system ending the program does: after the move
    // under way, closing the high-score window first if it is up.
    void RequestClose();
    // Opens the high-score window modally and waits until it has closed.
    void ShowHighScoreWindow();

    // Zoom: both windows and every picture control take the zoom at once, in the middle
    // of anything, and the windows stay centred. A zoom whose window would not fit on
    // the screen is refused (returns false, nothing changes). With `remember` the zoom
    // is also the one kept in the settings; without, it holds for this run only.
    bool SetZoom(int zoom, bool remember);
    // Whether the main window, at the given zoom, fits on its screen.
    bool ZoomFits(int zoom) const;
    void ZoomIn();
    void ZoomOut();
    void ZoomReset();

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

    // ---- The game's state. ----
    BoardGrid Board;
    BoardGrid UndoBoard;
    PixelTables Tables;  // BallLeft and BallTop
    GroupList Group;     // GroupRow, GroupColumn, GroupLayer and GroupCount
    int32_t Score = 0;
    int32_t UndoScore = 0;
    bool GameInProgress = false;
    int16_t ColorCount = 0;
    int16_t ColumnsInUse = 0;
    // The undo snapshot also keeps the column count, and counts only once the current
    // game has made a move that removed balls.
    int16_t UndoColumnsInUse = 0;
    bool UndoAvailable = false;
    // The zoom kept in the settings (the one in use may differ for one run).
    int16_t StoredZoom = 1;

    UniformRandom Random;
    MousePointer Pointer;
    SoundPlayer Sound;

    // ---- Event handlers and routines. ----
    void Form_Load();
    void pctNew_Click();
    void FillBoard();
    void pctBoard_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);
    void pctUndo_Click();
    void DrawBoard();
    void DrawBallsOnBoard();
    void RemoveGroup(int16_t& row, int16_t& column, int16_t& layer);
    bool InGroup(int16_t layer, int16_t row, int16_t column) const;
    bool AnyMovesLeft();
    void EndGame();
    void PlayBleep(const QString& fileName, int16_t flags);
    // Reads the removal sound ahead of the first move, when sound is on.
    void PrepareBleep();
    bool SoundIsOn() const;
    void LoadSettings();
    void SaveSettings();
    void pctColors_Click(int16_t index);
    void pctSound_Click();
    void pctHelp_Click();
    void pctHelpText_Click();
    void pctAbout_Click();
    void pctAboutText_Click();
    void pctHighScores_Click();
    void pctExit_Click();

    // Counts the saves, so that a caller can tell the store was written.
    int SaveCount = 0;
    // What this copy last read from or wrote to the shared settings file: a save writes
    // an option only when this copy changed it, and merges the table with the file's.
    struct StoredState {
        QHash<QString, QString> options;
        ScoreTable table;
        int tableResets = 0;
    } Stored;

    // ---- Playing from the keyboard, and symbols on the balls. ----
    // The keyboard cursor, drawn over the board while it is visible.
    BoardCursor Cursor;
    // Whether each ball carries its colour's symbol (kept in the settings).
    bool ShowSymbols = false;
    SymbolSprites SymbolPictures;
    void ToggleSymbols();
    // Arrow keys: shows the cursor if hidden, else moves it by cells (stops at the edges).
    void MoveCursor(int columns, int rows);
    // The layer key: shows the cursor if hidden, else steps front, middle, back.
    void StepCursorLayer();
    // Enter or Space: the move a click on the cursor's ball would make.
    void ActAtCursor();
    void HideCursor();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();
    // Keeps the option buttons' accessible names in step with what they show.
    void DescribeOptions();
    // While `live`, a program ended by exit() (as Qt does when the X connection breaks)
    // still saves this window's settings on its way out.
    void SaveAtExit(bool live);
    BallSprites Sprites() const;
    // When the frame turns out other than the one the places were computed with: centres
    // the title, help and about pictures again, and the window too until it was first framed.
    void FollowFrame();
    void PlaceHelpScreen();
    void PlaceAboutScreen();
    // Runs the shortcut that a key press names, when Qt's shortcuts have let it through.
    bool AnswerShortcut(const QKeyEvent& event);
    const SymbolSprites* Symbols() const { return ShowSymbols ? &SymbolPictures : nullptr; }
    void SetUpKeyboard();
    void PaintCursor(QPainter& painter) const;
    // Shows the cursor where it stands and tells assistive tools its cell.
    void CursorChanged();

    bool inMove_ = false;
    bool closePending_ = false;
    bool closed_ = false;
    mutable bool frameGiven_ = false;
    QMargins placedWith_;         // the frame the centred pictures were placed with
    bool centredOnScreen_ = false;  // placed by CentreOnScreen, not yet framed
    struct KeyAction {
        QKeySequence keys;
        std::function<void()> action;
    };
    std::vector<KeyAction> keyActions_;
};

// Ctrl+Plus, Ctrl+Minus and Ctrl+0 on a window of the game, zooming both windows.
void AddZoomShortcuts(QWidget* window, frmMain* main);

}  // namespace orbelix
