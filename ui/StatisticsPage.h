#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "scores/Statistics.h"
#include "ui/PictureBox.h"

namespace orbelix {

// The statistics page: the page's lettering with every figure set into its cell in the
// game's own small figures, one column for each colour count, and the number of the
// board in play at the top. A screen reader reads the same figures from the page's
// description.
class StatisticsPage {
  public:
    static constexpr int Width = 640;
    static constexpr int Height = 348;

    // Makes the page, hidden, on `window`.
    explicit StatisticsPage(QWidget* window);

    PictureBox* control() const { return page_; }
    // Draws the figures; `board` is the number of the board in play, 0 for none.
    void Show(const Statistics& statistics, uint32_t board);

    // What the page says to a screen reader.
    static QString Describe(const Statistics& statistics, uint32_t board);
    // The figure that row `row` (0 played .. 8 search left) shows for a colour count, as
    // drawn ("312.4", "-" for none).
    static QString Figure(const ColourFigures& figures, int row);

  private:
    // Sets `text` in figures from `left`, their tops at `top`.
    void SetFigures(const QString& text, int left, int top);
    int FiguresWidth(const QString& text) const;
    // The picture of a digit, the decimal point or the dash; null for anything else.
    const QPixmap* FigureFor(QChar ch) const;

    PictureBox* page_ = nullptr;
    // 0..9, the decimal point, the dash.
    std::array<QPixmap, 12> figures_;
};

}  // namespace orbelix
