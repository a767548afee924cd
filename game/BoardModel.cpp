#include "game/BoardModel.h"

#include <cmath>

namespace orbelix {

int BoardGrid::ballCount() const {
    int count = 0;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l) count += cell[c][r][l] != 0;
    return count;
}

QPoint BallPlacement(int column, int row, int layer) {
    const auto x = static_cast<int16_t>((column - 1) * 49 + layer * 12);
    const auto y = static_cast<int16_t>(row * 30 - layer * 5);
    return {x, y};
}

bool HitTest(const PixelTables& tables, QPointF position, Cell& found) {
    const auto x = static_cast<float>(position.x());
    const auto y = static_cast<float>(position.y());

    int16_t row = 0;
    for (int r = 1; r <= Rows && row == 0; ++r) {
        for (int l = 1; l <= Layers; ++l) {
            const auto top = static_cast<float>(tables.BallTop[r][l]);
            if (top <= y && y <= top + 25.0f) {
                row = static_cast<int16_t>(r);
                break;
            }
        }
    }
    if (row == 0) return false;

    for (int c = 1; c <= Columns; ++c) {
        for (int l = 1; l <= Layers; ++l) {
            const auto left = static_cast<float>(tables.BallLeft[c][l]);
            const bool inside = l == 1 ? (left <= x && x <= left + 25.0f)
                                       : (left + 12.0f <= x && x <= left + 24.0f);
            if (inside) {
                found = {row, static_cast<int16_t>(c), static_cast<int16_t>(l)};
                return true;
            }
        }
    }
    return false;
}

void FillRandom(BoardGrid& board, int16_t colorCount, UniformRandom& random) {
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = 1; l <= Layers; ++l) {
                const float product = static_cast<float>(colorCount) * random.next();
                const int code = static_cast<int>(std::floor(product)) + 1;
                board(c, r, l) = static_cast<int16_t>(code > colorCount ? colorCount : code);
            }
}

uint32_t UniformRandom::nextBoardNumber() {
    // 30 bits of each draw, and draws past the last number thrown away, so that every
    // number is equally likely.
    constexpr uint32_t span = 1u << 30;
    static_assert(MaxBoardNumber < span);
    for (;;) {
        const uint32_t draw = static_cast<uint32_t>(engine_()) >> 2;
        if (draw < MaxBoardNumber) return draw + 1;
    }
}

BoardGrid DealNumbered(uint32_t number, int16_t colorCount) {
    UniformRandom random;
    random.seed(number);
    BoardGrid board;
    FillRandom(board, colorCount, random);
    return board;
}

QString FormatScore(int32_t score) {
    const QString digits = QString::number(std::abs(static_cast<int64_t>(score)));
    const QString padded = digits.rightJustified(6, QLatin1Char('0'));
    return score < 0 ? QLatin1Char('-') + padded : padded;
}

}  // namespace orbelix
