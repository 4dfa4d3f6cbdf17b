#include "StringGridView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

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
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
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
