#include "scores/Statistics.h"

#include <QSet>
#include <algorithm>

namespace orbelix {
namespace {

const QByteArray Heading = QByteArrayLiteral("Orbelix statistics ");
constexpr qsizetype MaxIdLength = 64;
constexpr int MaxDigits = 13;  // every count fits, 2^40 included

// Tenths of sum / count, rounded half up.
int64_t TenthsOf(int64_t sum, int64_t count) {
    return count == 0 ? -1 : (sum * 20 + count) / (count * 2);
}

// A plain decimal of at most MaxDigits digits in [low, high], or nothing.
std::optional<int64_t> Number(const QByteArray& text, int64_t low, int64_t high) {
    if (text.isEmpty() || text.size() > MaxDigits) return std::nullopt;
    int64_t value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + (ch - '0');
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

// "counted COLORS PLAYED FINISHED HINTS JUDGED SEARCHLEFT PLAYERLEFT SCORE:GAMES...".
bool ReadCounted(const QList<QByteArray>& words, ColourFigures& figures, int& colors) {
    if (words.size() < 8) return false;
    const auto max = Statistics::MaxCount;
    const auto c = Number(words[1], MinColors, MaxColors);
    const auto played = Number(words[2], 1, max);
    const auto finished = Number(words[3], 0, max);
    const auto hints = Number(words[4], 0, max);
    const auto judged = Number(words[5], 0, max);
    const auto searchLeft = Number(words[6], 0, max * CellCount);
    const auto playerLeft = Number(words[7], 0, max * CellCount);
    if (!c || !played || !finished || !hints || !judged || !searchLeft || !playerLeft) return false;
    colors = static_cast<int>(*c);
    figures = {*played, *finished, *hints, *judged, *searchLeft, *playerLeft, {}};
    int64_t games = 0;
    int64_t lastSlot = -1;
    for (qsizetype i = 8; i < words.size(); ++i) {
        const qsizetype colon = words[i].indexOf(':');
        if (colon < 0) return false;
        const auto score = Number(words[i].left(colon), 0, MaxScore);
        const auto count = Number(words[i].mid(colon + 1), 1, max);
        // Each score once, in increasing order.
        if (!score || !count || *score % 2 != 0 || *score / 2 <= lastSlot) return false;
        lastSlot = *score / 2;
        figures.scores[static_cast<size_t>(lastSlot)] = *count;
        games += *count;
    }
    return games == figures.played && figures.finished <= figures.played &&
           figures.cleared() <= figures.finished && figures.judged <= figures.played &&
           figures.searchLeft <= figures.judged * CellCount &&
           figures.playerLeft <= figures.judged * CellCount;
}

// "game ID COLORS SCORE FINISHED HINTS VERDICT", the verdict "-" while unknown.
bool ReadGame(const QList<QByteArray>& words, GameRecord& game) {
    if (words.size() != 7 || !RecordIdIsValid(words[1])) return false;
    const auto colors = Number(words[2], MinColors, MaxColors);
    const auto score = Number(words[3], 0, MaxScore);
    const auto finished = Number(words[4], 0, 1);
    const auto hints = Number(words[5], 0, INT32_MAX);
    const bool noVerdict = words[6] == "-";
    const auto verdict = noVerdict ? std::optional<int64_t>(-1) : Number(words[6], 0, CellCount);
    if (!colors || !score || !finished || !hints || !verdict || *score % 2 != 0) return false;
    game = {QString::fromLatin1(words[1]), static_cast<int16_t>(*colors),
            static_cast<int32_t>(*score),  *finished == 1,
            static_cast<int32_t>(*hints),  static_cast<int16_t>(*verdict)};
    return !game.cleared() || game.finished;  // a cleared board has no move left
}

}  // namespace

int32_t ColourFigures::best() const {
    for (int slot = ScoreSlots - 1; slot >= 0; --slot)
        if (scores[static_cast<size_t>(slot)] > 0) return 2 * slot;
    return -1;
}

int64_t ColourFigures::meanTenths() const {
    int64_t sum = 0;
    for (int slot = 0; slot < ScoreSlots; ++slot)
        sum += 2 * slot * scores[static_cast<size_t>(slot)];
    return TenthsOf(sum, played);
}

int64_t ColourFigures::medianTenths() const {
    if (played == 0) return -1;
    // The scores at places (played - 1) / 2 and played / 2, counted from 0 upwards.
    const int64_t lowPlace = (played - 1) / 2;
    const int64_t highPlace = played / 2;
    int64_t below = 0;
    int64_t low = -1;
    for (int slot = 0; slot < ScoreSlots; ++slot) {
        below += scores[static_cast<size_t>(slot)];
        if (low < 0 && below > lowPlace) low = 2 * slot;
        if (below > highPlace) return (low + 2 * slot) * 5;
    }
    return -1;  // the counts do not add up to `played`; FromText refuses such figures
}

int64_t ColourFigures::searchLeftTenths() const {
    return TenthsOf(searchLeft, judged);
}

int64_t ColourFigures::playerLeftTenths() const {
    return TenthsOf(playerLeft, judged);
}

void ColourFigures::add(const GameRecord& game) {
    ++played;
    if (game.finished) ++finished;
    hints += game.hints;
    ++scores[static_cast<size_t>(game.score / 2)];
    if (game.verdict >= 0) {
        ++judged;
        searchLeft += game.verdict;
        playerLeft += game.ballsLeft();
    }
}

bool RecordIdIsValid(const QByteArray& id) {
    if (id.isEmpty() || id.size() > MaxIdLength) return false;
    return std::all_of(id.begin(), id.end(), [](char ch) {
        return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
               ch == '-' || ch == '.' || ch == '_';
    });
}

QString TenthsText(int64_t tenths) {
    if (tenths < 0) return QStringLiteral("-");
    if (tenths % 10 == 0) return QString::number(tenths / 10);
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

void Statistics::Record(const GameRecord& game) {
    if (game.colors < MinColors || game.colors > MaxColors || game.score < 0 ||
        game.score > MaxScore || game.score % 2 != 0)
        return;
    for (GameRecord& known : kept_) {
        if (known.id != game.id) continue;
        const int16_t verdict = game.verdict >= 0 ? game.verdict : known.verdict;
        known = game;
        known.verdict = verdict;
        return;
    }
    kept_.append(game);
    while (kept_.size() > KeptGames) {
        const GameRecord oldest = kept_.takeFirst();
        counted_[static_cast<size_t>(oldest.colors - MinColors)].add(oldest);
    }
}

ColourFigures Statistics::figures(int colors) const {
    if (colors < MinColors || colors > MaxColors) return {};
    ColourFigures figures = counted_[static_cast<size_t>(colors - MinColors)];
    for (const GameRecord& game : kept_)
        if (game.colors == colors) figures.add(game);
    return figures;
}

QByteArray Statistics::ToText() const {
    QByteArray text = Heading + QByteArray::number(Version) + '\n';
    for (int colors = MinColors; colors <= MaxColors; ++colors) {
        const ColourFigures& f = counted_[static_cast<size_t>(colors - MinColors)];
        if (f.played == 0) continue;
        text += "counted " + QByteArray::number(colors);
        for (int64_t value : {f.played, f.finished, f.hints, f.judged, f.searchLeft, f.playerLeft})
            text += ' ' + QByteArray::number(value);
        for (int slot = 0; slot < ScoreSlots; ++slot)
            if (f.scores[static_cast<size_t>(slot)] > 0)
                text += ' ' + QByteArray::number(2 * slot) + ':' +
                        QByteArray::number(f.scores[static_cast<size_t>(slot)]);
        text += '\n';
    }
    for (const GameRecord& g : kept_) {
        text += "game " + g.id.toLatin1() + ' ' + QByteArray::number(g.colors) + ' ' +
                QByteArray::number(g.score) + ' ' + (g.finished ? '1' : '0') + ' ' +
                QByteArray::number(g.hints) + ' ' +
                (g.verdict >= 0 ? QByteArray::number(g.verdict) : QByteArrayLiteral("-")) + '\n';
    }
    return text;
}

std::optional<Statistics> Statistics::FromText(const QByteArray& text, QString* problem) {
    const auto fail = [problem](const QString& why) {
        if (problem != nullptr) *problem = why;
        return std::nullopt;
    };
    const qsizetype firstEnd = text.indexOf('\n');
    const QByteArray first = text.left(firstEnd < 0 ? text.size() : firstEnd);
    if (!first.startsWith(Heading)) return fail(QStringLiteral("not a statistics file"));
    const QByteArray version = first.mid(Heading.size());
    if (version != QByteArray::number(Version))
        return fail(QStringLiteral("written in another format (version %1, this game reads %2)")
                        .arg(QString::fromLatin1(version.left(20)))
                        .arg(Version));
    if (firstEnd < 0 || !text.endsWith('\n')) return fail(QStringLiteral("cut short"));

    Statistics statistics;
    std::array<bool, MaxColors - MinColors + 1> seen{};
    QSet<QString> ids;
    int lineNumber = 1;
    for (qsizetype at = firstEnd + 1; at < text.size();) {
        const qsizetype end = text.indexOf('\n', at);
        const QList<QByteArray> words = text.mid(at, end - at).split(' ');
        at = end + 1;
        ++lineNumber;
        const auto bad = [&fail, lineNumber] {
            return fail(QStringLiteral("line %1 is damaged").arg(lineNumber));
        };
        if (words[0] == "counted") {
            ColourFigures figures;
            int colors = 0;
            if (!ReadCounted(words, figures, colors) || seen[colors - MinColors]) return bad();
            seen[colors - MinColors] = true;
            statistics.counted_[static_cast<size_t>(colors - MinColors)] = figures;
        } else if (words[0] == "game") {
            GameRecord game;
            if (!ReadGame(words, game) || ids.contains(game.id) ||
                statistics.kept_.size() == KeptGames)
                return bad();
            ids.insert(game.id);
            statistics.kept_.append(game);
        } else {
            return bad();
        }
    }
    return statistics;
}

}  // namespace orbelix
