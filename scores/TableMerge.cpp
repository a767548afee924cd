#include "scores/TableMerge.h"

#include <algorithm>
#include <vector>

#include "scores/StoredText.h"

namespace orbelix {
namespace {

// For each row of `a`, the row of `b` it is matched to (or -1): the longest common
// subsequence of equal entries, so entries in the same order are the same entries.
QList<int> Match(const ScoreTable& a, const ScoreTable& b) {
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    std::vector<std::vector<int>> length(static_cast<size_t>(n + 1),
                                         std::vector<int>(static_cast<size_t>(m + 1), 0));
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            length[i][j] = a[i] == b[j] ? length[i + 1][j + 1] + 1
                                        : std::max(length[i + 1][j], length[i][j + 1]);
    QList<int> matched(n, -1);
    for (qsizetype i = 0, j = 0; i < n && j < m;) {
        if (a[i] == b[j]) {
            matched[i] = static_cast<int>(j);
            ++i;
            ++j;
        } else if (length[i + 1][j] >= length[i][j + 1]) {
            ++i;
        } else {
            ++j;
        }
    }
    return matched;
}

struct Row {
    TableEntry entry;
    int ourRow = 0;  // 1-based row in `ours` this entry comes from, 0 for others
};

}  // namespace

ScoreTable TableFromKeys(const QHash<QString, QString>& keys, const QString& prefix) {
    ScoreTable table;
    for (int n = 1; n <= TableRows; ++n)
        table.append({keys.value(prefix + QStringLiteral("HighScoreName%1").arg(n)),
                      ReadStoredScore(keys.value(prefix + QStringLiteral("HighScore%1").arg(n),
                                                 QStringLiteral("0")))});
    return table;
}

QList<std::pair<QString, QString>> TableKeys(const ScoreTable& table, const QString& prefix) {
    QList<std::pair<QString, QString>> keys;
    for (int n = 1; n <= TableRows; ++n) {
        const TableEntry entry = table.value(n - 1);
        keys.append({prefix + QStringLiteral("HighScoreName%1").arg(n), entry.name});
        keys.append({prefix + QStringLiteral("HighScore%1").arg(n), WriteStoredScore(entry.score)});
    }
    return keys;
}

MergedTable MergeTables(const ScoreTable& base, const ScoreTable& ours, const ScoreTable& disk,
                        bool reset, int16_t ourNewEntryRow) {
    const ScoreTable empty(TableRows);
    const QList<int> baseOnDisk = Match(base, disk);
    // What this copy's table grew from: the base, or an empty table after a reset.
    const ScoreTable& origin = reset ? empty : base;
    const QList<int> originInOurs = Match(origin, ours);
    QList<bool> oursKept(ours.size(), false);
    for (int j : originInOurs)
        if (j >= 0) oursKept[j] = true;

    QList<Row> rows;
    for (const TableEntry& entry : disk) rows.append({entry, 0});
    QList<bool> removed(rows.size(), false);

    // Entries this copy no longer holds: all of the base after a reset, else those pushed
    // out or renamed. A renamed entry (same score, new name) keeps its place on disk.
    QList<int> placeLater;
    QList<bool> renameUsed(ours.size(), false);
    for (qsizetype i = 0; i < base.size(); ++i) {
        if (!reset && originInOurs[i] >= 0) {
            if (baseOnDisk[i] >= 0) rows[baseOnDisk[i]].ourRow = originInOurs[i] + 1;
            continue;
        }
        const int onDisk = baseOnDisk[i];
        int renamedTo = -1;
        if (!reset)
            for (qsizetype j = 0; j < ours.size() && renamedTo < 0; ++j)
                if (!oursKept[j] && !renameUsed[j] && ours[j].score == base[i].score)
                    renamedTo = static_cast<int>(j);
        if (renamedTo >= 0 && onDisk >= 0) {
            renameUsed[renamedTo] = true;
            rows[onDisk] = {ours[renamedTo], renamedTo + 1};
        } else if (onDisk >= 0) {
            removed[onDisk] = true;
        }
    }
    QList<Row> kept;
    for (qsizetype k = 0; k < rows.size(); ++k)
        if (!removed[k]) kept.append(rows[k]);
    while (kept.size() < TableRows) kept.append({TableEntry{}, 0});

    // New entries, placed from the lowest up so that among equal scores the one higher
    // in this copy's table stays higher.
    for (qsizetype j = ours.size() - 1; j >= 0; --j) {
        if (oursKept[j] || renameUsed[j]) continue;
        qsizetype at = 0;
        while (at < kept.size() && ours[j].score < kept[at].entry.score) ++at;
        kept.insert(at, {ours[j], static_cast<int>(j + 1)});
    }

    MergedTable merged;
    for (qsizetype k = 0; k < TableRows; ++k) {
        merged.table.append(kept[k].entry);
        if (ourNewEntryRow != 0 && kept[k].ourRow == ourNewEntryRow)
            merged.newEntryRow = static_cast<int16_t>(k + 1);
    }
    return merged;
}

}  // namespace orbelix
