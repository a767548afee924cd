#include "ui/StatisticsPage.h"

#include <QCoreApplication>

#include "ui/Accessibility.h"
#include "ui/Pictures.h"

namespace orbelix {
namespace {

// The page's layout, as tools/make_art.py letters it (STATS_*), in logical pixels.
constexpr int FirstColumn = 134;  // left edge of the 6-colour column
constexpr int ColumnWidth = 61;
constexpr int FigureRightInset = 4;  // a figure ends this far left of its column's edge
constexpr int FirstRow = 76;
constexpr int RowPitch = 29;
constexpr int FigureDrop = 5;  // a figure's top below the top of its row
constexpr int RowCount = 9;
constexpr QPoint BoardLabelAt(441, 14);  // "Board", before the number of the board in play
constexpr QPoint BoardNumberAt(506, 20);

QString Tr(const char* text) {
    return QCoreApplication::translate("StatisticsPage", text);
}

}  // namespace

StatisticsPage::StatisticsPage(QWidget* window) {
    page_ =
        new PictureBox(window, QStringLiteral("pctStatsText"), {0, 0, Width, Height}, false, false);
    page_->setPressable(true);
    Accessibility::SetKind(page_, Accessibility::Kind::Button);
    page_->setAccessibleName(Tr("Statistics"));
    for (int i = 0; i < static_cast<int>(figures_.size()); ++i)
        figures_[static_cast<size_t>(i)] = LoadPicture(QStringLiteral("imgFigure_%1").arg(i));
}

QString StatisticsPage::Figure(const ColourFigures& f, int row) {
    if (f.played == 0) return QStringLiteral("-");
    switch (row) {
        case 0:
            return QString::number(f.played);
        case 1:
            return QString::number(f.finished);
        case 2:
            return QString::number(f.cleared());
        case 3:
            return QString::number(f.best());
        case 4:
            return TenthsText(f.meanTenths());
        case 5:
            return TenthsText(f.medianTenths());
        case 6:
            return QString::number(f.hints);
        case 7:
            return TenthsText(f.playerLeftTenths());
        default:
            return TenthsText(f.searchLeftTenths());
    }
}

const QPixmap* StatisticsPage::FigureFor(QChar ch) const {
    if (ch == QLatin1Char('.')) return &figures_[10];
    if (ch == QLatin1Char('-')) return &figures_[11];
    const int digit = ch.unicode() - '0';
    return digit >= 0 && digit <= 9 ? &figures_[static_cast<size_t>(digit)] : nullptr;
}

int StatisticsPage::FiguresWidth(const QString& text) const {
    int width = 0;
    for (QChar ch : text)
        if (const QPixmap* figure = FigureFor(ch)) width += figure->width();
    return width;
}

void StatisticsPage::SetFigures(const QString& text, int left, int top) {
    for (QChar ch : text) {
        const QPixmap* figure = FigureFor(ch);
        if (figure == nullptr) continue;
        page_->copyPicture({left, top}, *figure);
        left += figure->width();
    }
}

void StatisticsPage::Show(const Statistics& statistics, uint32_t board) {
    page_->makeSurface(Qt::black);
    page_->copyPicture({0, 0}, LoadPicture(QStringLiteral("pctStatsText")));
    if (board != 0) {
        page_->copyPicture(BoardLabelAt, LoadPicture(QStringLiteral("pctStatsBoard")));
        SetFigures(QString::number(board), BoardNumberAt.x(), BoardNumberAt.y());
    }
    for (int colors = MinColors; colors <= MaxColors; ++colors) {
        const ColourFigures figures = statistics.figures(colors);
        const int right = FirstColumn + (colors - MinColors + 1) * ColumnWidth - FigureRightInset;
        for (int row = 0; row < RowCount; ++row) {
            const QString text = Figure(figures, row);
            SetFigures(text, right - FiguresWidth(text), FirstRow + row * RowPitch + FigureDrop);
        }
    }
    page_->setAccessibleDescription(Describe(statistics, board));
    page_->setVisible(true);
}

QString StatisticsPage::Describe(const Statistics& statistics, uint32_t board) {
    QStringList parts;
    if (board != 0) parts << Tr("Board %1").arg(board);
    for (int colors = MinColors; colors <= MaxColors; ++colors) {
        const ColourFigures f = statistics.figures(colors);
        if (f.played == 0) {
            parts << Tr("%1 colours: no game yet").arg(colors);
            continue;
        }
        QString text = Tr("%1 colours: %2 played, %3 finished, %4 cleared, best %5, mean %6, "
                          "median %7, %8 hints")
                           .arg(colors)
                           .arg(f.played)
                           .arg(f.finished)
                           .arg(f.cleared())
                           .arg(f.best())
                           .arg(Figure(f, 4), Figure(f, 5))
                           .arg(f.hints);
        if (f.judged > 0)
            text += Tr("; on %1 judged games you left %2 balls on average, the search %3")
                        .arg(f.judged)
                        .arg(Figure(f, 7), Figure(f, 8));
        parts << text;
    }
    parts << Tr("Click to go back");
    return parts.join(QStringLiteral(". ")) + QLatin1Char('.');
}

}  // namespace orbelix
