#pragma once

#include <QList>
#include <QString>
#include <cstdint>

#include "platform/SettingsFile.h"
#include "scores/TableMerge.h"

namespace orbelix {

// What one save of a copy of the game changes: the options it changed since it last read
// or wrote the file, and its table with the table that grew into it, merged with the
// file's by the table's own rules. A copy that cannot save before it ends keeps its
// change in a side file; the next save of any copy applies it the same way.
struct SettingsChange {
    struct Option {
        QString key;
        QString text;
        bool onlyWhereMissing = false;  // unchanged: written only where the file lacks it
    };
    QList<Option> options;
    ScoreTable base;          // the table as this copy last read or wrote it
    ScoreTable ours;          // its table now
    bool reset = false;       // it emptied its table since `base`
    int16_t newEntryRow = 0;  // the row of `ours` that awaits a name

    // The keys to write over `onDisk`; `merged` gets the merged table.
    SettingsFile::Entries ApplyTo(const SettingsFile::Keys& onDisk,
                                  MergedTable* merged = nullptr) const;

    // The change as a side file keeps it, and back. What fills gaps only and the row
    // awaiting a name stay behind.
    SettingsFile::Entries ToKeys() const;
    static SettingsChange FromKeys(const SettingsFile::Keys& keys);
};

// Applies a change kept in a side file to the keys on disk (the settings file's Fold).
SettingsFile::Entries ApplyKeptChange(const SettingsFile::Keys& onDisk,
                                      const SettingsFile::Keys& kept);

}  // namespace orbelix
