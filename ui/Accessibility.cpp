#include "ui/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QPointer>
#include <utility>

#include "ui/PictureBox.h"
#include "ui/Zoom.h"

namespace orbelix::Accessibility {
namespace {

const char* const KindProperty = "orbelixAccessibleKind";
const char* const ValueProperty = "orbelixAccessibleValue";
const char* const TableProperty = "orbelixAccessibleTable";

const HighScoreTable* TableOf(const QWidget* control) {
    return reinterpret_cast<const HighScoreTable*>(
        control->property(TableProperty).value<quintptr>());
}

// A picture that acts when clicked.
class ButtonInterface : public QAccessibleWidget {
  public:
    explicit ButtonInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::Button) {}

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        // Only a button the player could click: one that is on screen.
        if (widget()->isVisible()) static_cast<PictureBox*>(widget())->click();
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == pressAction()) return {QStringLiteral("Space"), QStringLiteral("Return")};
        return QAccessibleWidget::keyBindingsForAction(name);
    }
};

// A picture of words.
class LabelInterface : public QAccessibleWidget {
  public:
    explicit LabelInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}
};

// The score: static text whose value is a number.
class ScoreInterface : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit ScoreInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(currentValue().toInt());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return widget()->property(ValueProperty).toInt(); }
    void setCurrentValue(const QVariant&) override {}  // read only
    QVariant maximumValue() const override { return 2 * 300; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 2; }
};

// A control whose meaning another control already gives (the score's other digits).
class HiddenInterface : public QAccessibleWidget {
  public:
    explicit HiddenInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

// The playing surface: one focusable element; its name tells the cursor's cell.
// A part of a control that says one fixed thing: the cell under the cursor, a row of
// the table, a message. Screen readers read an object's name a moment after they hear
// of it and say nothing when the object they already have in focus gets a new name, so
// every announcement is a part of its own, made anew with its words fixed.
class Utterance : public QAccessibleInterface {
  public:
    Utterance(QWidget* owner, QAccessible::Role role, QString words, QRect place)
        : owner_(owner), role_(role), words_(std::move(words)), place_(place) {}

    bool isValid() const override { return !owner_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return owner_ ? owner_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(owner_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? words_ : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (owner_.isNull()) return {};
        const QRect shown = Zoom::ToWindow(place_);
        return {owner_->mapToGlobal(shown.topLeft()), shown.size()};
    }
    QAccessible::Role role() const override { return role_; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.readOnly = true;
        if (owner_.isNull() || !owner_->isVisible()) s.invisible = true;
        if (role_ != QAccessible::Notification) {
            s.focusable = true;
            const QAccessibleInterface* owner = parent();
            s.focused = owner != nullptr && owner->focusChild() == this;
        }
        return s;
    }

  private:
    QPointer<QWidget> owner_;
    QAccessible::Role role_;
    QString words_;
    QRect place_;
};

// A control whose parts are utterances in fixed slots (the board: its cell and its
// message; the table: its ten rows and a message). A replaced utterance lives on for a
// few more announcements, because a screen reader that comes to read it after it is gone
// says nothing.
class SpokenControl : public QAccessibleWidget {
  public:
    // `parts` slots; with `messageSlot` >= 0, that one holds the control's messages.
    SpokenControl(QWidget* w, QAccessible::Role role, int parts, int messageSlot)
        : QAccessibleWidget(w, role), slots_(parts, 0), messageSlot_(messageSlot) {}
    int messageSlot() const { return messageSlot_; }
    int said() const { return said_; }
    ~SpokenControl() override {
        for (QAccessible::Id id : slots_ + retired_)
            if (id != 0) QAccessible::deleteAccessibleInterface(id);
    }

    // Puts a new utterance in `slot` and tells assistive tools: as the control's focused
    // part, or shown as a notification.
    void say(int slot, QAccessible::Role role, const QString& words, QRect place) {
        // Orca takes a newly focused part with the role, words and place of the part it
        // already has for that part itself, and says nothing: a key that changes nothing,
        // or the same news twice, would go unheard. Parts said one after another differ
        // in width by a pixel, so no two in a row are ever the same to it.
        if (++said_ % 2 == 1 && !place.isEmpty()) place.setWidth(place.width() - 1);
        put(slot, role, words, place);
        if (role == QAccessible::Notification) {
            QAccessibleEvent event(widget(), QAccessible::ObjectShow);
            event.setChild(slot);
            QAccessible::updateAccessibility(&event);
            return;
        }
        focusSlot_ = slot;
        QAccessibleEvent event(widget(), QAccessible::Focus);
        event.setChild(slot);
        QAccessible::updateAccessibility(&event);
    }
    void put(int slot, QAccessible::Role role, const QString& words, QRect place) {
        const QAccessible::Id old = std::exchange(
            slots_[slot],
            QAccessible::registerAccessibleInterface(new Utterance(widget(), role, words, place)));
        if (old == 0) return;
        retired_.append(old);
        while (retired_.size() > 8) QAccessible::deleteAccessibleInterface(retired_.takeFirst());
    }

    int childCount() const override { return static_cast<int>(slots_.size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount() || slots_[index] == 0) return nullptr;
        return QAccessible::accessibleInterface(slots_[index]);
    }
    int indexOfChild(const QAccessibleInterface* part) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child(i) == part) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i)
            if (QAccessibleInterface* part = child(i);
                part != nullptr && part->rect().contains(x, y))
                return part;
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return widget()->hasFocus() ? child(focusSlot_) : nullptr;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = true;
        return s;
    }

  private:
    QList<QAccessible::Id> slots_;
    QList<QAccessible::Id> retired_;
    int messageSlot_;
    int focusSlot_ = 0;
    int said_ = 0;
};

// The board's parts: the cell under the keyboard cursor, and the last message.
constexpr int CellSlot = 0;
constexpr int BoardMessageSlot = 1;
// Where a row of the high-score table stands, in logical pixels: 34 pixels apart from
// y 4, one letter cell high.
QRect RowPlace(const QWidget* table, int row) {
    return {0, 4 + (row - 1) * 34, table->width(), 28};
}

SpokenControl* MakeBoard(QWidget* w) {
    auto* board = new SpokenControl(w, QAccessible::Canvas, 2, BoardMessageSlot);
    board->put(CellSlot, QAccessible::ListItem, w->accessibleName(), QRect());
    board->put(BoardMessageSlot, QAccessible::Notification, QString(), QRect());
    return board;
}

SpokenControl* MakeTable(QWidget* w) {
    auto* list = new SpokenControl(w, QAccessible::List, TableRows, -1);
    const HighScoreTable* table = TableOf(w);
    for (int r = 1; r <= TableRows; ++r)
        list->put(r - 1, QAccessible::ListItem,
                  table != nullptr ? TableRowText(*table, r) : QString(), RowPlace(w, r));
    return list;
}

SpokenControl* SpokenOf(QWidget* control) {
    return dynamic_cast<SpokenControl*>(QAccessible::queryAccessibleInterface(control));
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
    if (object == nullptr || !object->isWidgetType()) return nullptr;
    const QVariant kind = object->property(KindProperty);
    if (!kind.isValid()) return nullptr;
    auto* w = static_cast<QWidget*>(object);
    switch (static_cast<Kind>(kind.toInt())) {
        case Kind::Button:
            if (qobject_cast<PictureBox*>(object) != nullptr) return new ButtonInterface(w);
            return nullptr;
        case Kind::Label:
            return new LabelInterface(w);
        case Kind::Score:
            return new ScoreInterface(w);
        case Kind::Hidden:
            return new HiddenInterface(w);
        case Kind::Board:
            return MakeBoard(w);
        case Kind::Table:
            return MakeTable(w);
        case Kind::Picture:
            return nullptr;
    }
    return nullptr;
}

}  // namespace

void Install() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QAccessible::installFactory(Factory);
}

void SetKind(QWidget* control, Kind kind) {
    control->setProperty(KindProperty, static_cast<int>(kind));
}

void ShowTable(QWidget* control, const HighScoreTable& table) {
    control->setProperty(TableProperty, QVariant::fromValue(reinterpret_cast<quintptr>(&table)));
    SetKind(control, Kind::Table);
}

void SetValue(QWidget* control, int value) {
    if (control->property(ValueProperty) == QVariant(value)) return;
    control->setProperty(ValueProperty, value);
    QAccessibleValueChangeEvent event(control, value);
    QAccessible::updateAccessibility(&event);
}

void SpeakCell(QWidget* board, const QString& words, QRect place) {
    if (SpokenControl* spoken = SpokenOf(board))
        spoken->say(CellSlot, QAccessible::ListItem, words, place);
}

void SpeakMessage(QWidget* control, const QString& words) {
    SpokenControl* spoken = SpokenOf(control);
    if (spoken == nullptr || spoken->messageSlot() < 0) return;
    spoken->say(spoken->messageSlot(), QAccessible::Notification, words, QRect());
}

void SpeakRow(QWidget* list, int row) {
    SpokenControl* spoken = SpokenOf(list);
    const HighScoreTable* table = TableOf(list);
    if (spoken == nullptr || table == nullptr || row < 1 || row > TableRows) return;
    spoken->say(row - 1, QAccessible::ListItem, TableRowText(*table, row), RowPlace(list, row));
}

int Said(QWidget* control) {
    const SpokenControl* spoken = SpokenOf(control);
    return spoken != nullptr ? spoken->said() : 0;
}

QString TableRowText(const HighScoreTable& table, int row) {
    if (row < 1 || row > TableRows) return {};
    const QString& name = table.name(row);
    const QString shown =
        name.isEmpty() ? QCoreApplication::translate("HighScores", "(no name)") : name;
    return QStringLiteral("%1. %2 %3").arg(row).arg(shown).arg(table.score(row));
}

}  // namespace orbelix::Accessibility
