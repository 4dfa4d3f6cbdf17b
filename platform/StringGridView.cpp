#include "StringGridView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Sets a flag for the life of a scope, restoring it after (also when nested).
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace

// The default editor, handed to the owner's setup as it opens.
class StringGridView::CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(StringGridView& view) : QStyledItemDelegate(&view), view_(view) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && view_.editorSetup_)
            view_.editorSetup_(line, index.column(), index.row() + 1);
        return editor;
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        // Only the mouse ticks a box: a blank or Select typed on it goes to the cell instead.
        if (event->type() == QEvent::KeyPress)
            return false;
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

private:
    StringGridView& view_;
};

StringGridView::StringGridView(int colCount, int rowCount, QWidget* parent)
    : QTableView(parent), grid_(colCount, rowCount), model_(std::make_unique<StringGridModel>(grid_))
{
    setModel(model_.get());
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    connect(model_.get(), &StringGridModel::gridSelectionChanged, this, &StringGridView::showGridSelection);
    setItemDelegate(new CellDelegate(*this));
    showGridSelection();
}

void StringGridView::setEditable(bool editable)
{
    model_->setEditable(editable);
    setSelectionBehavior(editable ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    setEditTriggers(editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                   | QAbstractItemView::AnyKeyPressed
                             : QAbstractItemView::NoEditTriggers);
    showGridSelection();
}

StringGridView::~StringGridView()
{
    // The model and the grid are members and go first; the view must not keep them.
    setModel(nullptr);
}

int StringGridView::gridRowAt(const QPoint& viewportPos) const
{
    const int row = rowAt(viewportPos.y());
    return row < 0 ? -1 : row + 1;
}

void StringGridView::showGridSelection()
{
    const FlagScope showing(showing_);
    const int row = grid_.selectedRow();
    if (row < 1) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex index = model_->index(row - 1, grid_.selectedCol());
    const auto flags = model_->editable() ? QItemSelectionModel::ClearAndSelect
                                          : QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(index, flags);
}

void StringGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (showing_ || !userMove_ || !current.isValid())
        return;
    userSelected_ = true;
    grid_.selectCell(current.column(), current.row() + 1);
}

void StringGridView::selectPicked(const QModelIndex& index)
{
    // The view does not move to the cell that is current already; the grid's select event
    // runs for it all the same, as for any cell the user picks.
    if (userSelected_ || !index.isValid())
        return;
    userSelected_ = true;
    grid_.selectCell(index.column(), index.row() + 1);
}

void StringGridView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const FlagScope user(userMove_);
        userSelected_ = false;
        QTableView::mousePressEvent(event);
        selectPicked(indexAt(pos));
    } else {
        event->accept();   // Qt's views would move the current row to the pressed one
    }
    emit mousePressed(event->button(), pos, event->globalPosition().toPoint());
}

void StringGridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click selects like the first.
    if (event->button() != Qt::LeftButton) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    const FlagScope user(userMove_);
    userSelected_ = false;
    QTableView::mouseDoubleClickEvent(event);
    selectPicked(indexAt(event->position().toPoint()));
}

void StringGridView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        QTableView::mouseReleaseEvent(event);
    else
        event->accept();
    emit mouseReleased(event->button(), pos, event->globalPosition().toPoint());
}

void StringGridView::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging with the left button held moves the selected row, as a click does.
    const FlagScope user(userMove_);
    QTableView::mouseMoveEvent(event);
}

void StringGridView::keyPressEvent(QKeyEvent* event)
{
    // A move to another cell, in the selected row too, runs the select event (currentChanged).
    const FlagScope user(userMove_);
    QTableView::keyPressEvent(event);
}
