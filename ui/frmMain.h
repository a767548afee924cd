#pragma once

#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "game/Game.h"
#include "platform/CloseRequests.h"
#include "platform/Sound.h"
#include "scores/HighScoreTable.h"
#include "scores/KeptGameFile.h"
#include "scores/SettingsKeeper.h"
#include "scores/StatisticsStore.h"
#include "ui/BoardHints.h"
#include "ui/BoardOverlay.h"
#include "ui/KeyMap.h"
#include "ui/PictureBox.h"
#include "ui/Screens.h"
#include "ui/StatisticsPage.h"
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
    // Starts decoding the pictures of the first screen at this scale on a thread of their
    // own, so that they are ready when the window is first painted; called before the
    // application object is made, while it connects to the window system. `afterwards`
    // runs on that thread once they are decoded.
    static void PrefetchFirstScreen(int scale, std::function<void()> afterwards = {});

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
    const BoardOverlay& overlay() const { return *overlay_; }
    WindowPlacement& placement() { return placement_; }
    int16_t storedZoom() const { return placement_.storedZoom(); }
    int saveCount() const { return settings_.saveCount(); }
    const SoundPlayer& sound() const { return sound_; }
    Screen currentScreen() const { return screens_.current(); }
    // Hints shown in the game in play, and the finished game's verdict once searched.
    int hintsUsed() const { return playing_.hints; }
    std::optional<int> verdict() const { return hints_->verdict(); }
    BoardHints& hints() { return *hints_; }

    // ---- Statistics. ----
    // A hint was given in the game in play.
    void CountHint();
    // The record of the game in play, as the statistics will take it.
    const GameRecord& gameRecord() const { return playing_; }
    // A verdict that came after a game ended: `game` as gameRecord() gave it then.
    void RecordVerdict(const GameRecord& game, int16_t ballsLeft);

    // ---- Prepared games (replays, tests, tours). ----
    void Seed(uint32_t seed) { game_.Seed(seed); }
    // Starts a game on the board given, with the score given, as New does on a dealt one.
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
    bool alwaysResume() const { return alwaysResume_; }
    // Waits for the kept game's writes asked for so far (tests).
    void FlushKeptGame() {
        if (keeper_) keeper_->flush();
    }

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
    // The kept game (frmMainKept.cpp).
    QString boardName() const;
    // Asks for the game to be kept as it stands now (after a move, Undo, New), or for the
    // kept game to go when this one is over; written on a thread of its own.
    void keepGame();
    // At close: keeps the game with the cursor where it stands, and waits for the write.
    void keepGameAtClose();
    void copyBoard();
    void toggleAlwaysResume();
    uint32_t boardInPlay() const;
    void startGameRecord();
    // Records the game in play, when a move was made in it.
    void recordGame(bool finished, std::chrono::milliseconds patience = {});
    void showStatisticsPage();
    void placeStatisticsPage();
    void hideStatisticsPage();
    // The page's button on the rules page.
    void showStatisticsButton();
    // Records the game in play as the window closes, and any game still waiting.
    void recordGameAtClose();
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
    PictureBox* pctStatistics = nullptr;  // on the rules page

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
    // Hands its results to the overlay, so it goes first.
    std::unique_ptr<BoardHints> hints_;
    // The close box pressed while the high-score window blocks this one is still a close.
    std::unique_ptr<CloseRequests> closeRequests_;
    bool alwaysResume_ = false;
    // Made on the first game kept, so that a start without a game never touches the file.
    std::unique_ptr<KeptGameFile::Writer> keeper_;
    StatisticsStore statistics_;
    GameRecord playing_;
    bool playingCounts_ = false;  // a move was made in the game in play
    std::unique_ptr<StatisticsPage> statisticsPage_;
    bool inMove_ = false;
    bool closePending_ = false;
    bool painted_ = false;
    bool activated_ = false;
};

}  // namespace orbelix
