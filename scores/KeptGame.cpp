#include "scores/KeptGame.h"

#include <QList>
#include <cstring>

#include "game/Moves.h"
#include "scores/Statistics.h"

namespace orbelix {
namespace {

constexpr char Heading[] = "Orbelix kept game";
constexpr char CellDigits[] = "0123456789abcd";

QByteArray BoardText(const BoardGrid& board) {
    QByteArray text;
    text.reserve(CellCount);
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = 1; l <= Layers; ++l) text += CellDigits[board(c, r, l)];
    return text;
}

// Reads the lines in order, each "key value" with the key it must have.
class LineReader {
  public:
    explicit LineReader(const QByteArray& bytes) : Lines(bytes.split('\n')) {}

    // The value of the next line, when that line has this key; else records the problem.
    std::optional<QByteArray> value(const char* key) {
        if (Next >= Lines.size()) return fail(QStringLiteral("ends before '%1'").arg(key));
        const QByteArray& line = Lines[Next++];
        const QByteArray prefix = QByteArray(key) + ' ';
        if (!line.startsWith(prefix))
            return fail(QStringLiteral("has no '%1' on line %2").arg(key).arg(Next));
        return line.mid(prefix.size());
    }
    // A whole number in min..max, written in plain digits.
    std::optional<int64_t> number(const char* key, int64_t min, int64_t max) {
        const std::optional<QByteArray> text = value(key);
        if (!text) return std::nullopt;
        // Plain digits as WriteKeptGame writes them: no sign, blank or leading zero.
        bool digitsOnly = !text->isEmpty() && text->size() <= 10;
        for (char ch : *text) digitsOnly = digitsOnly && ch >= '0' && ch <= '9';
        const int64_t n = digitsOnly ? text->toLongLong() : -1;
        if (QByteArray::number(n) != *text || n < min || n > max)
            return fail(QStringLiteral("has a '%1' that is not a number from %2 to %3")
                            .arg(key)
                            .arg(min)
                            .arg(max));
        return n;
    }
    std::optional<BoardGrid> board(const char* key, int colours) {
        const std::optional<QByteArray> text = value(key);
        if (!text) return std::nullopt;
        if (text->size() != CellCount)
            return fail(QStringLiteral("has a '%1' that is not %2 cells").arg(key).arg(CellCount));
        BoardGrid board;
        int at = 0;
        for (int r = 1; r <= Rows; ++r)
            for (int c = 1; c <= Columns; ++c)
                for (int l = 1; l <= Layers; ++l) {
                    const char ch = (*text)[at++];
                    const char* digit = ch == '\0' ? nullptr : std::strchr(CellDigits, ch);
                    if (digit == nullptr || digit - CellDigits > colours)
                        return fail(QStringLiteral("has a '%1' with a cell that is no colour of %2")
                                        .arg(key)
                                        .arg(colours));
                    board(c, r, l) = static_cast<int16_t>(digit - CellDigits);
                }
        return board;
    }
    // Whatever follows the last line: nothing but the final line break.
    bool atEnd() {
        if (Next == Lines.size() - 1 && Lines.constLast().isEmpty()) return true;
        fail(QStringLiteral("goes on past its last line"));
        return false;
    }

    QString problem;

  private:
    std::nullopt_t fail(const QString& why) {
        if (problem.isEmpty()) problem = why;
        return std::nullopt;
    }

    QList<QByteArray> Lines;
    qsizetype Next = 0;
};

}  // namespace

QByteArray WriteKeptGame(const KeptGame& kept) {
    const GameState& g = kept.game;
    const Cell& at = kept.cursor.at;
    QByteArray text;
    text += QByteArray(Heading) + ' ' + QByteArray::number(KeptGameVersion) + '\n';
    text += "number " + QByteArray::number(g.boardNumber) + '\n';
    text += "colours " + QByteArray::number(g.colorCount) + '\n';
    text += "score " + QByteArray::number(g.score) + '\n';
    text += "columns " + QByteArray::number(g.columnsInUse) + '\n';
    text += "board " + BoardText(g.board) + '\n';
    text += "undo " + QByteArray(g.undoAvailable ? "1" : "0") + '\n';
    text += "undo-score " + QByteArray::number(g.undoScore) + '\n';
    text += "undo-columns " + QByteArray::number(g.undoColumnsInUse) + '\n';
    text += "undo-board " + BoardText(g.undoBoard) + '\n';
    text += "cursor " + QByteArray::number(at.column) + ' ' + QByteArray::number(at.row) + ' ' +
            QByteArray::number(at.layer) + ' ' + (kept.cursor.visible ? "shown" : "hidden") +
            '\n';
    text += "record " + kept.recordId + ' ' + QByteArray::number(kept.hints) + '\n';
    return text;
}

std::optional<KeptGame> ReadKeptGame(const QByteArray& bytes, QString* problem) {
    const auto refuse = [problem](const QString& why) {
        if (problem != nullptr) *problem = why;
        return std::nullopt;
    };
    if (bytes.isEmpty()) return refuse(QStringLiteral("is empty"));
    if (bytes.size() > MaxKeptGameBytes)
        return refuse(QStringLiteral("is larger than %1 bytes").arg(MaxKeptGameBytes));
    const qsizetype firstBreak = bytes.indexOf('\n');
    const QByteArray first = bytes.left(firstBreak < 0 ? 0 : firstBreak);
    if (!first.startsWith(QByteArray(Heading) + ' '))
        return refuse(QStringLiteral("is not a kept game of this program"));
    const bool withRecord = first == QByteArray(Heading) + ' ' + QByteArray::number(KeptGameVersion);
    if (!withRecord && first != QByteArray(Heading) + " 1")
        return refuse(QStringLiteral("is of another version of the format (%1)")
                          .arg(QString::fromLatin1(first.mid(sizeof Heading).left(20))));

    LineReader in(bytes.mid(firstBreak + 1));
    KeptGame kept;
    GameState& g = kept.game;
    const auto number = in.number("number", 0, MaxBoardNumber);
    const auto colours = in.number("colours", MinColors, MaxColors);
    const int palette = colours.value_or(MinColors);
    const auto score = in.number("score", 0, MaxScore);
    const auto columns = in.number("columns", 0, Columns);
    const auto board = in.board("board", palette);
    const auto undo = in.number("undo", 0, 1);
    const auto undoScore = in.number("undo-score", 0, MaxScore);
    const auto undoColumns = in.number("undo-columns", 0, Columns);
    const auto undoBoard = in.board("undo-board", palette);
    const auto cursor = in.value("cursor");
    const auto record = withRecord ? in.value("record") : std::optional<QByteArray>(" 0");
    if (!in.problem.isEmpty()) return refuse(in.problem);
    if (!in.atEnd()) return refuse(in.problem);

    // The cursor: column, row and layer, and whether it is shown.
    const QList<QByteArray> place = cursor->split(' ');
    const auto part = [&place](int i, int max) {
        const QByteArray& text = place[i];
        bool digits = text.size() == 1 || text.size() == 2;
        for (char ch : text) digits = digits && ch >= '0' && ch <= '9';
        const int n = digits && text[0] != '0' ? text.toInt() : 0;
        return static_cast<int16_t>(n >= 1 && n <= max ? n : 0);
    };
    if (place.size() != 4 || part(0, Columns) == 0 || part(1, Rows) == 0 ||
        part(2, Layers) == 0 || (place[3] != "shown" && place[3] != "hidden"))
        return refuse(QStringLiteral("has a 'cursor' that is no cell of the board"));
    kept.cursor.at = {part(1, Rows), part(0, Columns), part(2, Layers)};
    kept.cursor.visible = place[3] == "shown";

    // The record: the statistics' name of the game (empty when read from version 1)
    // and its hints so far.
    const qsizetype gap = record->lastIndexOf(' ');
    const QByteArray hints = record->mid(gap + 1);
    kept.recordId = record->left(gap < 0 ? 0 : gap);
    bool hintsRead = false;
    kept.hints = hints.toInt(&hintsRead);
    if (gap < 0 || !hintsRead || QByteArray::number(kept.hints) != hints || kept.hints < 0 ||
        (!kept.recordId.isEmpty() && !RecordIdIsValid(kept.recordId)))
        return refuse(QStringLiteral("has a 'record' that is not a game's name and hints"));

    g.boardNumber = static_cast<uint32_t>(*number);
    g.colorCount = static_cast<int16_t>(*colours);
    g.score = static_cast<int32_t>(*score);
    g.columnsInUse = static_cast<int16_t>(*columns);
    g.board = *board;
    g.undoAvailable = *undo == 1;
    g.undoScore = static_cast<int32_t>(*undoScore);
    g.undoColumnsInUse = static_cast<int16_t>(*undoColumns);
    g.undoBoard = *undoBoard;
    if (!AnyMovesLeft(g.board)) return refuse(QStringLiteral("holds a game that is over"));
    return kept;
}

}  // namespace orbelix
