#include "game/BoardCursor.h"

#include <QCoreApplication>
#include <algorithm>

#include "game/Guide.h"

namespace orbelix {

bool BoardCursor::move(int columns, int rows) {
    const Cell before = at;
    at.column = static_cast<int16_t>(std::clamp(at.column + columns, 1, Columns));
    at.row = static_cast<int16_t>(std::clamp(at.row + rows, 1, Rows));
    return !(at == before);
}

void BoardCursor::nextLayer() {
    at.layer = static_cast<int16_t>(at.layer % Layers + 1);
}

QString ColourName(int code) {
    static const char* const names[MaxColors + 1] = {
        QT_TRANSLATE_NOOP("Board", "empty"),     QT_TRANSLATE_NOOP("Board", "yellow"),
        QT_TRANSLATE_NOOP("Board", "pale cyan"), QT_TRANSLATE_NOOP("Board", "blue"),
        QT_TRANSLATE_NOOP("Board", "white"),     QT_TRANSLATE_NOOP("Board", "red"),
        QT_TRANSLATE_NOOP("Board", "sky blue"),  QT_TRANSLATE_NOOP("Board", "green"),
        QT_TRANSLATE_NOOP("Board", "magenta"),   QT_TRANSLATE_NOOP("Board", "orange"),
        QT_TRANSLATE_NOOP("Board", "pale pink"), QT_TRANSLATE_NOOP("Board", "dark red"),
        QT_TRANSLATE_NOOP("Board", "purple"),    QT_TRANSLATE_NOOP("Board", "brown-gold")};
    if (code < 0 || code > MaxColors) return QString::number(code);
    return QCoreApplication::translate("Board", names[code]);
}

QString DescribeCell(const BoardGrid& board, Cell cell) {
    static const char* const layers[Layers + 1] = {"", QT_TRANSLATE_NOOP("Board", "front"),
                                                   QT_TRANSLATE_NOOP("Board", "middle"),
                                                   QT_TRANSLATE_NOOP("Board", "back")};
    const QString place = QCoreApplication::translate("Board", "Row %1, column %2, %3")
                              .arg(cell.row)
                              .arg(cell.column)
                              .arg(QCoreApplication::translate("Board", layers[cell.layer]));
    const int code = board(cell.column, cell.row, cell.layer);
    if (code == 0) return QCoreApplication::translate("Board", "%1: empty").arg(place);
    const GroupPreview group = PreviewGroup(board, cell);
    return QCoreApplication::translate("Board", "%1: %2, group of %3, %4 points")
        .arg(place, ColourName(code))
        .arg(group.size)
        .arg(group.points);
}

}  // namespace orbelix
