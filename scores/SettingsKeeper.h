#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "scores/HighScoreTable.h"
#include "scores/Settings.h"

namespace orbelix {

// Keeps the settings on disk for a game that runs: loads them, saves at once when the
// lock is free and, while another copy holds it, again in the background until the save
// goes through; makes the last save when the program goes, however it goes, and keeps the
// change aside for the next copy when even that cannot be written. It knows no window:
// the options come from `options`, the table is the one given.
class SettingsKeeper : public QObject {
    Q_OBJECT

  public:
    SettingsKeeper(HighScoreTable& table, std::function<Options()> options);
    ~SettingsKeeper() override;

    // Reads the file: returns the options and fills the table.
    Options load();
    // One save now; on a held lock the game goes on and the save is retried.
    void save();
    // Holds the background retries back (while the table is shown, whose rows a save could
    // move); a save asked for meanwhile still runs.
    void holdRetries(bool held) { retriesHeld_ = held; }
    // Brings the table up to the file's (other copies' entries and resets).
    void reloadTable() { store_.ReloadTable(table_); }
    // The last save: waits a little for another copy that holds the lock (after
    // `beforeWaiting`, which may hide the window), then keeps the change aside. Once only;
    // from then on the program's end saves nothing more.
    void saveOnTheWayOut(const std::function<void()>& beforeWaiting = {});
    // How many saves were asked for, so that a caller can tell the store was written.
    int saveCount() const { return store_.saveCount(); }

  private:
    void lastSave(const std::function<void()>& beforeWaiting);

    HighScoreTable& table_;
    std::function<Options()> options_;
    SettingsStore store_;
    QTimer retry_;
    bool retriesHeld_ = false;
    bool done_ = false;
};

}  // namespace orbelix
