#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "game/Game.h"
#include "platform/CloseRequests.h"
#include "platform/Sound.h"
#include "scores/HighScoreTable.h"
#include "scores/SettingsKeeper.h"
#include "ui/BoardOverlay.h"
#include "ui/KeyMap.h"
#include "ui/PictureBox.h"
#include "ui/Screens.h"
#include "ui/WindowPlacement.h"

namespace orbelix {

// The main window: the playing surface, the score digits, the button pictures and the
// help and about screens. It holds the game and the high-score table, turns clicks and
// keys into moves of the game and shows what they leave.
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
    void SaveSettings();
    bool SoundIsOn() const;

    // Closes the window the way the system ending the program does: after the move
    // under way, closing the high-score window first if it is up.
    void RequestClose();
    // Zoom for this run, or also kept with `remember`; false when it does not fit.
    bool SetZoom(int zoom, bool remember) { return placement_.setZoom(zoom, remember); }

    // ---- What the window holds, for looking at (the table also for changing). ----
    const Game& game() const { return game_; }
    HighScoreTable& table() { return table_; }
    const HighScoreTable& table() const { return table_; }
    const BoardCursor& cursor() const { return overlay_->cursor(); }
    bool showSymbols() const { return overlay_->symbolsOn(); }
    const BoardGuide& guide() const { return overlay_->guide(); }
    WindowPlacement& placement() { return placement_; }
    int16_t storedZoom() const { return placement_.storedZoom(); }
    int saveCount() const { return settings_.saveCount(); }
    const SoundPlayer& sound() const { return sound_; }
    Screen currentScreen() const { return screens_.current(); }

    // ---- Prepared games (replays, tests, tours). ----
    void Seed(uint32_t seed) { game_.Seed(seed); }
    // Starts a game on the board given, with the score given, as New does on a dealt one.
    void NewGameOn(const BoardGrid& board, int32_t score = 0);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    // ---- Event handlers and routines. ----
    void Form_Load();
    void pctNew_Click();
    void pctBoard_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);
    void pctUndo_Click();
    void DrawBallsOnBoard();
    void RemoveGroup(int16_t& row, int16_t& column, int16_t& layer);
    bool AnyMovesLeft();
    void EndGame();
    void PlayBleep(const QString& fileName, int16_t flags);
    void LoadSettings();
    void pctColors_Click(int16_t index);
    void pctSound_Click();
    void pctHelp_Click();
    void pctHelpText_Click();
    void pctAbout_Click();
    void pctAboutText_Click();
    void pctHighScores_Click();
    void pctExit_Click();

    // ---- Our own steps. ----
    void createControls();
    void connectControls();
    void bindKeys();
    void describeControls();
    void describeOptions();
    void showNewBoard();
    void prepareBleep();
    Options currentOptions() const;
    BallSprites sprites() const;
    bool boardTakesMoves() const;
    void playAtCursor();
    void toggleSymbols();
    void toggleGuide();
    void showHighScoreWindow();
    void placeCentredPictures();
    void placeHelpScreen();
    void placeAboutScreen();
    void showRulesPage();
    void mouseUsed();
    // What a screen reader says of the main screen's keys, and of how to begin.
    QString mainScreenKeys() const;
    void sayHowToBegin();

    // ---- The controls (their game names). Arrays are addressed by the game's index. ----
    PictureBox* pctBoard = nullptr;
    std::array<PictureBox*, MaxColors + 1> pctBall{};
    std::array<PictureBox*, 6> imgScore{};
    std::array<PictureBox*, 11> imgDigit{};
    std::array<PictureBox*, 9> pctColors{};
    PictureBox *pctOrbelix = nullptr, *pctHelpText = nullptr, *pctAboutText = nullptr;
    std::array<PictureBox*, 3> pctVersion{};
    PictureBox *pctBlank = nullptr, *pctSoundOn = nullptr, *pctSoundOff = nullptr;
    PictureBox *pctSound = nullptr, *pctGameOver = nullptr, *pctNew = nullptr;
    PictureBox *pctHighScores = nullptr, *pctHelp = nullptr, *pctUndo = nullptr;
    PictureBox *pctAbout = nullptr, *pctExit = nullptr, *pctRulesText = nullptr;

    // ---- State, each piece with one owner. ----
    Game game_;
    HighScoreTable table_;
    ScreenKeeper screens_{*this};
    WindowPlacement placement_;
    SettingsKeeper settings_;
    KeyMap keys_;
    MousePointer pointer_;
    SoundPlayer sound_;
    // Made with the playing surface; goes before it, so that the surface's last events
    // reach nothing of a window that is going.
    std::unique_ptr<BoardOverlay> overlay_;
    // The close box pressed while the high-score window blocks this one is still a close.
    std::unique_ptr<CloseRequests> closeRequests_;
    bool inMove_ = false;
    bool closePending_ = false;
    bool painted_ = false;
    bool activated_ = false;
};

}  // namespace orbelix
