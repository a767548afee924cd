#include "ui/frmHighScore.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>

#include "game/BoardModel.h"
#include "ui/Accessibility.h"
#include "ui/Pictures.h"
#include "ui/Zoom.h"

namespace orbelix {

frmHighScore::frmHighScore(QWidget* owner, HighScoreTable& table)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), table_(table) {
    setObjectName(QStringLiteral("frmHighScore"));
    // The window has no title bar; the title is what task switchers and screen readers give.
    setWindowTitle(tr("High Scores"));
    setAccessibleName(tr("High Scores"));
    setFixedSize(Zoom::ToWindow(QSize(ClientWidth, ClientHeight)));
    setModal(true);
    keys_.bind(KeyAction::ZoomIn, [this] { emit ZoomKey(1); });
    keys_.bind(KeyAction::ZoomOut, [this] { emit ZoomKey(-1); });
    keys_.bind(KeyAction::ZoomReset, [this] { emit ZoomKey(0); });
    // The arrows read the table to a screen reader, row by row; they draw nothing.
    keys_.bind(KeyAction::ReadRowUp, [this] { ReadRow(-1); });
    keys_.bind(KeyAction::ReadRowDown, [this] { ReadRow(1); });
    keys_.bind(KeyAction::CloseTable, [this] { pctOk_Click(); });
    keys_.bind(KeyAction::EndName, [this] { Form_KeyPress(13); });
    keys_.bind(KeyAction::EraseLetter, [this] { Form_KeyPress(8); });
    for (int i = 0; i <= 9; ++i) digits_[i] = LoadPicture(QStringLiteral("imgDigit_%1").arg(i));
    blank_ = LoadPicture(QStringLiteral("pctBlank"));

    pctHighScore =
        new PictureBox(this, QStringLiteral("pctHighScore"), {230, 202, 77, 35}, true, false);
    for (int i = 0; i <= 26; ++i) {
        const int column = i / 7;
        const int lefts[4] = {0, 26, 58, 86};
        pctAlphabet[i] = new PictureBox(this, QStringLiteral("pctAlphabet_%1").arg(i),
                                        {lefts[column], 28 * (i % 7), 22, 28}, false, false);
        pctAlphabet[i]->setStorePicture(QStringLiteral("pctAlphabet_%1").arg(i));
    }
    pctReset = new PictureBox(this, QStringLiteral("pctReset"), {522, 162, 75, 24}, false, true);
    pctReset->setPicture(LoadPicture(QStringLiteral("pctReset")));
    pctOk = new PictureBox(this, QStringLiteral("pctOk"), {522, 132, 47, 29}, true, true);
    pctOk->setPicture(LoadPicture(QStringLiteral("pctOk")));
    // What the controls are, before any name is set (which makes their interfaces).
    Accessibility::ShowTable(pctHighScore, table_);
    for (PictureBox* button : {pctOk, pctReset}) {
        button->setPressable(true);
        Accessibility::SetKind(button, Accessibility::Kind::Button);
    }
    pctOk->setAccessibleName(tr("Ok"));
    pctOk->setAccessibleDescription(tr("Closes the high-score table"));
    pctReset->setAccessibleName(tr("Reset"));
    pctReset->setAccessibleDescription(tr("Empties the high-score table"));
    pctHighScore->setAccessibleName(tr("High scores"));
    connect(pctOk, &PictureBox::Click, this, &frmHighScore::pctOk_Click);
    connect(pctReset, &PictureBox::Click, this, &frmHighScore::pctReset_Click);

    Form_Load();
    CentreOnMainWindow();
    // The list has the keyboard: a screen reader says the row that awaits a name, or the
    // best row, once Qt has told of the list's own focus.
    readingRow_ = table_.newEntryRow() != 0 ? table_.newEntryRow() : 1;
    pctHighScore->installEventFilter(this);
    pctHighScore->setFocus(Qt::OtherFocusReason);
}

bool frmHighScore::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pctHighScore && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, this, [this] {
            if (pctHighScore->hasFocus()) Accessibility::SpeakRow(pctHighScore, readingRow_);
        });
    return QDialog::eventFilter(watched, event);
}

void frmHighScore::CentreOnMainWindow() {
    // Under Wayland the compositor places the window over its parent, the main window.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
    if (parentWidget() == nullptr) return;
    const QRect outer = parentWidget()->frameGeometry();
    move(outer.x() + (outer.width() - width()) / 2, outer.y() + (outer.height() - height()) / 2);
}

void frmHighScore::FollowZoom() {
    setFixedSize(Zoom::ToWindow(QSize(ClientWidth, ClientHeight)));
    CentreOnMainWindow();
}

void frmHighScore::Form_Load() {
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    pctHighScore->setGeometry(0, 0, pctOk->x(), ClientHeight);
    pctHighScore->makeSurface(Qt::black);

    pointer_.set(MousePointer::Hourglass);
    Editing = false;
    for (int r = 1; r <= TableRows; ++r) {
        const auto top = static_cast<int16_t>(60 + (r - 1) * 510);
        int x = 2190;
        const QString& name = table_.name(r);
        for (int p = 1; p <= NameCells; ++p) {
            LetterX[r][p] = static_cast<int16_t>(x);
            LetterY[r][p] = top;
            if (name.size() >= p) {
                if (const QPixmap* picture = PictureOfCharacter(name[p - 1]))
                    DrawAt(LetterX[r][p], top, *picture);
            }
            x += 330;
        }
        x += 800;
        const QString digits = FormatScore(table_.score(r));
        for (int d = 1; d <= ScoreDigits; ++d) {
            DigitX[r][d] = static_cast<int16_t>(x);
            DigitY[r][d] = top;
            const QChar ch = digits[d - 1];
            // Only digits have pictures: the sign of a negative score stays blank.
            if (ch.isDigit()) DrawAt(DigitX[r][d], top, digits_[ch.unicode() - '0']);
            x += 330;
        }
    }
    pointer_.set(MousePointer::Default);

    // Screen readers read the rows themselves, one list item each, as they change.
    if (table_.newEntryRow() != 0) {
        BeginNameEntry();
    } else {
        pctReset->setVisible(true);
    }
}

const QPixmap* frmHighScore::PictureOfCharacter(QChar ch) const {
    if (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'))
        return &pctAlphabet[ch.unicode() - 'A' + 1]->picture();
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) return &digits_[ch.unicode() - '0'];
    return nullptr;  // a character typed into the store by hand: its cell stays blank
}

void frmHighScore::DrawAt(int16_t xTwips, int16_t yTwips, const QPixmap& picture) {
    pctHighScore->copyPicture({TwipsToPixels(xTwips), TwipsToPixels(yTwips)}, picture);
}

void frmHighScore::BeginNameEntry() {
    Editing = true;
    CursorPos = 1;
    BlankNameRow(table_.newEntryRow());
    DrawCursor();
}

void frmHighScore::BlankNameRow(int16_t row) {
    for (int p = 1; p <= NameCells; ++p) DrawAt(LetterX[row][p], LetterY[row][p], blank_);
}

void frmHighScore::DrawCursor() {
    const int16_t row = table_.newEntryRow();
    DrawAt(LetterX[row][CursorPos], LetterY[row][CursorPos], pctAlphabet[0]->picture());
}

void frmHighScore::EraseCursor() {
    const int16_t row = table_.newEntryRow();
    DrawAt(LetterX[row][CursorPos], LetterY[row][CursorPos], blank_);
}

void frmHighScore::Form_KeyPress(int16_t keyAscii) {
    if (!Editing) return;
    const int16_t row = table_.newEntryRow();
    int k = keyAscii;
    if ((k >= 'a' && k <= 'z') || (k >= 'A' && k <= 'Z')) {
        if (k >= 'a') k -= 32;
        DrawAt(LetterX[row][CursorPos], LetterY[row][CursorPos], pctAlphabet[k - 64]->picture());
        table_.AppendToName(QChar(k));
        AnnounceRow(row);
        Advance();
    } else if (k >= '0' && k <= '9') {
        DrawAt(LetterX[row][CursorPos], LetterY[row][CursorPos], digits_[k - 48]);
        table_.AppendToName(QChar(k));
        AnnounceRow(row);
        Advance();
    } else if (k == 13) {
        EraseCursor();
        NameComplete();
    } else if (k == 8 && CursorPos > 1) {
        table_.ChopName();
        AnnounceRow(row);
        EraseCursor();
        --CursorPos;
        DrawCursor();
    }
}

void frmHighScore::AnnounceRow(int16_t row) {
    readingRow_ = row;
    Accessibility::SpeakRow(pctHighScore, row);
}

void frmHighScore::Advance() {
    ++CursorPos;
    if (CursorPos == NameCells) {
        NameComplete();
        return;
    }
    DrawCursor();
}

void frmHighScore::NameComplete() {
    Editing = false;
    table_.setNewEntryRow(0);
    emit NameEntered();
}

void frmHighScore::ClearHighScores() {
    table_.ClearHighScores();
}

void frmHighScore::pctOk_Click() {
    accept();
}

void frmHighScore::pctReset_Click() {
    emit AboutToReset();
    ClearHighScores();
    accept();
}

void frmHighScore::ReadRow(int step) {
    readingRow_ = std::clamp(readingRow_ + step, 1, TableRows);
    Accessibility::SpeakRow(pctHighScore, readingRow_);
}

void frmHighScore::keyPressEvent(QKeyEvent* event) {
    // Outside name entry, Escape and Enter close the table as Ok does. While a name is
    // being typed every key goes to name entry (Enter ends the name, Escape does nothing).
    const KeyPlace place = Editing ? KeyPlace::NameEntry : KeyPlace::Table;
    if (KeyMap::Lookup(place, *event) == KeyAction::TypeLetter) {
        const int code = event->text().at(0).unicode();
        if (code <= 0x7FFF) Form_KeyPress(static_cast<int16_t>(code));
    } else {
        keys_.dispatch(place, *event);
    }
    event->accept();
}

}  // namespace orbelix
