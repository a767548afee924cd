// The monkey player: drives the real windows in-process with a seeded stream of random
// events (clicks anywhere and on every picture, keys of every kind, the screens, New,
// Undo, the options, quitting and starting again) and checks the game's invariants
// after every event.
//
//   soak [--events N] [--seed S]
//
// Exits 0 when every invariant held, 1 at the first one broken.
#include <QApplication>
#include <QCommandLineParser>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <memory>

#include "platform/Pause.h"
#include "platform/SettingsFile.h"
#include "scores/StoredText.h"
#include "ui/frmHighScore.h"
#include "ui/frmMain.h"

using namespace orbelix;

namespace {

PictureBox* Control(const QWidget& window, const char* name) {
    return window.findChild<PictureBox*>(QLatin1String(name));
}

class Monkey : public QObject {
  public:
    Monkey(qint64 events, quint32 seed) : events_(events), random_(seed) {}

    void run() {
        restart();
        QTimer::singleShot(0, this, [this] { step(); });
        QApplication::exec();
    }
    bool failed() const { return !failure_.isEmpty(); }
    QString failure() const { return failure_; }
    qint64 done() const { return done_; }
    int games() const { return games_; }
    int restarts() const { return restarts_; }
    int ended() const { return ended_; }
    int closings() const { return closings_; }

  private:
    // Makes the main window again, as a new start of the program does.
    void restart() {
        if (window_) {
            // What the last run saved is what the next one must find.
            expectTable_ = TableNow();
            window_.reset();
            ++restarts_;
        }
        window_ = std::make_unique<frmMain>();
        window_->show();
        colorsAtNew_ = 0;
        wasInProgress_ = false;
        lastBoard_ = window_->game().board();
        if (restarts_ > 0 && TableNow() != expectTable_)
            fail(QStringLiteral("table lost across a restart"));
    }

    QStringList TableNow() const {
        QStringList rows;
        for (int r = 1; r <= TableRows; ++r)
            rows << window_->table().name(r) + QLatin1Char('=') +
                        QString::number(window_->table().score(r));
        return rows;
    }

    void step() {
        if (failed() || done_ >= events_) {
            finish();
            return;
        }
        // The next step is queued first, so that it also runs inside a modal window's loop.
        QTimer::singleShot(0, this, [this] { step(); });
        // Real input waits until the end-of-game pause is over; so does the monkey.
        if (Pause::Pausing()) return;
        ++done_;
        closingModal_ = false;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            onHighScoreWindow(qobject_cast<frmHighScore*>(modal));
            // A closed high-score window hands the screen back once its caller goes on.
            closingModal_ = QApplication::activeModalWidget() == nullptr;
        } else if (!window_->isVisible()) {
            restart();
        } else {
            onMainWindow();
        }
        check();
    }

    void finish() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            QTimer::singleShot(0, this, [this] { finish(); });
            return;
        }
        QApplication::quit();
    }

    int pick(int bound) { return static_cast<int>(random_.bounded(bound)); }

    void clickAt(QWidget* top, QPoint point, Qt::MouseButton button) {
        QWidget* target = top->childAt(point);
        if (target == nullptr) target = top;
        QTest::mouseClick(target, button, {}, target->mapFrom(top, point));
    }

    Qt::MouseButton anyButton() {
        const int roll = pick(10);
        return roll < 8 ? Qt::LeftButton : roll == 8 ? Qt::RightButton : Qt::MiddleButton;
    }

    void typeSomething(QWidget* target) {
        const int roll = pick(10);
        if (roll < 5) {
            const char* keys =
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,!?-_";
            QTest::keyClick(target, keys[pick(static_cast<int>(std::strlen(keys)))]);
        } else if (roll < 8) {
            const Qt::Key special[] = {
                Qt::Key_Return, Qt::Key_Enter, Qt::Key_Backspace, Qt::Key_Escape, Qt::Key_Tab,
                Qt::Key_Delete, Qt::Key_F1,    Qt::Key_Left,      Qt::Key_Space,  Qt::Key_Up};
            QTest::keyClick(target, special[pick(10)]);
        } else {
            // Shortcuts and odd characters; Ctrl+Q ends the program like Exit does.
            const Qt::Key keys[] = {Qt::Key_N, Qt::Key_Z, Qt::Key_Q, Qt::Key_A};
            const Qt::Key key = keys[pick(pick(20) == 0 ? 4 : 2)];
            if (pick(3) == 0)
                QTest::keyClick(target, key, Qt::ControlModifier);
            else
                QTest::sendKeyEvent(QTest::KeyAction::Click, target, Qt::Key_unknown,
                                    QString(QChar(0x00C0 + pick(200))), {});
        }
    }

    void onMainWindow() {
        frmMain& w = *window_;
        const int roll = pick(100);
        if (roll < 30 && Control(w, "pctBoard")->isVisible() && w.game().gameInProgress()) {
            // A ball of a removable group, so that games get played to their end.
            QTest::mouseClick(Control(w, "pctBoard"), anyButton(), {}, removablePoint(w));
        } else if (roll < 55 && Control(w, "pctBoard")->isVisible()) {
            const int x = 12 + pick(490);
            const int y = 15 + pick(306);
            QTest::mouseClick(Control(w, "pctBoard"), anyButton(), {}, QPoint(x, y));
        } else if (roll < 70) {
            clickAt(&w, QPoint(pick(w.width()), pick(w.height())), anyButton());
        } else if (roll < 92) {
            PictureBox* buttons[] = {Control(w, "pctUndo"),      Control(w, "pctHelp"),
                                     Control(w, "pctAbout"),     Control(w, "pctSound"),
                                     Control(w, "pctColors_0"),  Control(w, "pctHelpText"),
                                     Control(w, "pctAboutText"), Control(w, "pctHighScores"),
                                     Control(w, "pctNew"),       Control(w, "pctExit")};
            // New and Exit are rare, so that games last long enough to end; a finished
            // game needs New at once.
            const int count =
                !w.game().gameInProgress() || pick(20) == 0 ? (pick(30) == 0 ? 10 : 9) : 8;
            PictureBox* button = buttons[pick(count)];
            if (button->isVisible())
                QTest::mouseClick(button, Qt::LeftButton, {},
                                  QPoint(button->width() / 2, button->height() / 2));
        } else {
            typeSomething(&w);
        }
    }

    // The visible middle of a ball whose group can be removed, else of any cell.
    // Half the time it plays for an empty column: a group in the emptiest column, so that
    // columns close up (and get undone) often.
    QPoint removablePoint(const frmMain& w) {
        GroupList scratch;
        Cell cell;
        if (pick(2) == 0) {
            int fewest = CellCount + 1;
            for (int c = 1; c <= Columns; ++c) {
                int balls = 0;
                for (int r = 1; r <= Rows; ++r)
                    for (int l = 1; l <= Layers; ++l) balls += w.game().board()(c, r, l) != 0;
                if (balls == 0 || balls >= fewest) continue;
                for (int r = 1; r <= Rows; ++r)
                    for (int l = 1; l <= Layers; ++l) {
                        const Cell candidate{static_cast<int16_t>(r), static_cast<int16_t>(c),
                                             static_cast<int16_t>(l)};
                        if (w.game().board()(c, r, l) != 0 && balls < fewest &&
                            CollectGroup(w.game().board(), scratch, candidate) >= 2) {
                            fewest = balls;
                            cell = candidate;
                        }
                    }
            }
            if (fewest <= CellCount)
                return BallPlacement(cell.column, cell.row, cell.layer) +
                       QPoint(cell.layer == 1 ? 12 : 18, 12);
        }
        for (int tries = 0; tries < 40; ++tries) {
            cell = {static_cast<int16_t>(1 + pick(Rows)), static_cast<int16_t>(1 + pick(Columns)),
                    static_cast<int16_t>(1 + pick(Layers))};
            if (w.game().board()(cell.column, cell.row, cell.layer) != 0 &&
                CollectGroup(w.game().board(), scratch, cell) >= 2)
                break;
        }
        const QPoint at = BallPlacement(cell.column, cell.row, cell.layer);
        return at + QPoint(cell.layer == 1 ? 12 : 18, 12);
    }

    void onHighScoreWindow(frmHighScore* table) {
        if (table == nullptr) return;
        const int roll = pick(100);
        if (roll < 60) {
            typeSomething(table);
        } else if (roll < 80) {
            clickAt(table, QPoint(pick(table->width()), pick(table->height())), anyButton());
        } else if (roll < 95) {
            QTest::mouseClick(Control(*table, "pctOk"), Qt::LeftButton, {}, QPoint(10, 10));
        } else if (Control(*table, "pctReset")->isVisible()) {
            QTest::mouseClick(Control(*table, "pctReset"), Qt::LeftButton, {}, QPoint(10, 10));
        }
    }

    void fail(const QString& what) {
        if (failure_.isEmpty()) failure_ = QStringLiteral("event %1: %2").arg(done_).arg(what);
    }

    void check() {
        if (!window_) return;
        const frmMain& w = *window_;
        // A new game: a fresh full board that no Undo brought back.
        if (w.game().gameInProgress() && w.game().score() == 0 && !w.game().undoAvailable() &&
            w.game().board().ballCount() == CellCount && w.game().board() != lastBoard_) {
            colorsAtNew_ = w.game().colorCount();
            ++games_;
        }
        if (wasInProgress_ && !w.game().gameInProgress()) ++ended_;
        if (w.game().columnsInUse() > 0 && w.game().columnsInUse() < lastColumns_) ++closings_;
        lastColumns_ = w.game().columnsInUse();
        wasInProgress_ = w.game().gameInProgress();
        lastBoard_ = w.game().board();
        // Board codes, floating balls and columns.
        for (int c = 1; c <= Columns; ++c) {
            int balls = 0;
            for (int l = 1; l <= Layers; ++l) {
                bool seenBall = false;
                for (int r = 1; r <= Rows; ++r) {
                    const int16_t v = w.game().board()(c, r, l);
                    if (v < 0 || v > MaxColors || (colorsAtNew_ > 0 && v > colorsAtNew_))
                        return fail(
                            QStringLiteral("code %1 at %2,%3,%4").arg(v).arg(c).arg(r).arg(l));
                    if (v != 0)
                        seenBall = true, ++balls;
                    else if (seenBall)
                        return fail(
                            QStringLiteral("ball floats over %1,%2,%3").arg(c).arg(r).arg(l));
                }
            }
            if (w.game().columnsInUse() > 0 && c < w.game().columnsInUse() && balls == 0)
                return fail(QStringLiteral("empty column %1 left of %2")
                                .arg(c)
                                .arg(w.game().columnsInUse()));
            if (c > w.game().columnsInUse() && w.game().columnsInUse() > 0 && balls != 0)
                return fail(
                    QStringLiteral("balls right of column %1").arg(w.game().columnsInUse()));
        }
        // The score is 2 points for every ball gone since New.
        const int expected =
            w.game().columnsInUse() == 0 ? 0 : 2 * (CellCount - w.game().board().ballCount());
        if (w.game().score() != expected || w.game().score() % 2 != 0)
            return fail(
                QStringLiteral("score %1, expected %2").arg(w.game().score()).arg(expected));
        // The table stays ordered, with names the keyboard can make.
        for (int r = 1; r <= TableRows; ++r) {
            if (r > 1 && w.table().score(r) > w.table().score(r - 1))
                return fail(QStringLiteral("table out of order"));
            const QString& name = w.table().name(r);
            if (name.size() > MaxNameLength)
                return fail(QStringLiteral("name too long: %1").arg(name));
            for (QChar ch : name)
                if (!((ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
                      (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'))))
                    return fail(QStringLiteral("name with %1").arg(ch));
        }
        // Exactly one screen is up.
        if (w.isVisible() && !closingModal_) {
            // The rules page exists once Help has been opened with the guide on.
            const auto* rules = w.findChild<PictureBox*>(QStringLiteral("pctRulesText"));
            const int screens = int(Control(w, "pctNew")->isVisible()) +
                                int(Control(w, "pctHelpText")->isVisible()) +
                                int(rules != nullptr && rules->isVisible()) +
                                int(Control(w, "pctAboutText")->isVisible()) +
                                int(QApplication::activeModalWidget() != nullptr);
            if (screens != 1) return fail(QStringLiteral("%1 screens showing").arg(screens));
            if (Control(w, "pctNew")->isVisible() &&
                Control(w, "pctBoard")->isVisible() == Control(w, "pctGameOver")->isVisible())
                return fail(QStringLiteral("board and game over both %1")
                                .arg(Control(w, "pctBoard")->isVisible() ? "shown" : "hidden"));
        }
        if (w.isVisible() && Control(w, "pctNew")->isVisible() &&
            Control(w, "pctOrbelix")->isVisible() == w.game().gameInProgress() &&
            !Control(w, "pctGameOver")->isVisible() &&
            QApplication::activeModalWidget() == nullptr && w.game().columnsInUse() == 0)
            return fail(QStringLiteral("title wrong before the first game"));
    }

    qint64 events_;
    qint64 done_ = 0;
    QRandomGenerator random_;
    std::unique_ptr<frmMain> window_;
    int16_t colorsAtNew_ = 0;
    BoardGrid lastBoard_;
    bool closingModal_ = false;
    bool wasInProgress_ = false;
    int ended_ = 0;
    int closings_ = 0;
    int16_t lastColumns_ = 0;
    QStringList expectTable_;
    QString failure_;
    int games_ = 0;
    int restarts_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", config.filePath(QStringLiteral("state")).toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // Exit ends a run, not the soak
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("events"), QStringLiteral("How many events to send."),
                      QStringLiteral("n"), QStringLiteral("2000")});
    parser.addOption({QStringLiteral("seed"), QStringLiteral("The random stream's seed."),
                      QStringLiteral("s"), QStringLiteral("1")});
    parser.process(app);
    Pause::SetMillisecondsPerSecond(1);  // the five-second pause takes 5 ms

    Monkey monkey(parser.value(QStringLiteral("events")).toLongLong(),
                  parser.value(QStringLiteral("seed")).toUInt());
    monkey.run();
    std::printf("%lld events, %d games started, %d ended, %d column closings, %d restarts, %s\n",
                static_cast<long long>(monkey.done()), monkey.games(), monkey.ended(),
                monkey.closings(), monkey.restarts(),
                monkey.failed() ? qPrintable(monkey.failure()) : "no invariant broken");
    return monkey.failed() ? 1 : 0;
}
