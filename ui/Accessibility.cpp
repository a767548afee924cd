#include "ui/Accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QPointer>
#include <array>

#include "ui/PictureBox.h"

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
class BoardInterface : public QAccessibleWidget {
  public:
    explicit BoardInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::Canvas) {}
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.focusable = true;
        return s;
    }
};

class TableInterface;

// One row of the high-score table, read from the table itself.
class RowInterface : public QAccessibleInterface {
  public:
    RowInterface(QWidget* table, int row) : table_(table), row_(row) {}

    bool isValid() const override { return !table_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return table_ ? table_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(table_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || table_.isNull()) return {};
        const HighScoreTable* table = TableOf(table_.data());
        return table != nullptr ? TableRowText(*table, row_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (table_.isNull()) return {};
        // Rows stand 34 pixels apart from y 4, each one letter cell high.
        const QPoint topLeft = table_->mapToGlobal(QPoint(0, 4 + (row_ - 1) * 34));
        return {topLeft, QSize(table_->width(), 28)};
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.readOnly = true;
        if (table_.isNull() || !table_->isVisible()) s.invisible = true;
        return s;
    }

  private:
    QPointer<QWidget> table_;
    int row_;
};

// The high-score table: a list of its ten rows.
class TableInterface : public QAccessibleWidget {
  public:
    explicit TableInterface(QWidget* w) : QAccessibleWidget(w, QAccessible::List) {
        for (int r = 1; r <= TableRows; ++r)
            rows_[r - 1] = QAccessible::registerAccessibleInterface(new RowInterface(w, r));
    }
    ~TableInterface() override {
        for (QAccessible::Id id : rows_) QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return TableRows; }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= TableRows) return nullptr;
        return QAccessible::accessibleInterface(rows_[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < TableRows; ++i)
            if (QAccessible::accessibleInterface(rows_[i]) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < TableRows; ++i)
            if (child(i)->rect().contains(x, y)) return child(i);
        return nullptr;
    }

  private:
    std::array<QAccessible::Id, TableRows> rows_{};
};

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
            return new BoardInterface(w);
        case Kind::Table:
            return new TableInterface(w);
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

void AnnounceNameChange(QWidget* control, int child) {
    QAccessibleEvent event(control, QAccessible::NameChanged);
    if (child >= 0) event.setChild(child);
    QAccessible::updateAccessibility(&event);
}

QString TableRowText(const HighScoreTable& table, int row) {
    if (row < 1 || row > TableRows) return {};
    const QString& name = table.name(row);
    const QString shown =
        name.isEmpty() ? QCoreApplication::translate("HighScores", "(no name)") : name;
    return QStringLiteral("%1. %2 %3").arg(row).arg(shown).arg(table.score(row));
}

}  // namespace orbelix::Accessibility
