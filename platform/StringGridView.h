#pragma once

#include "StringGrid.h"
#include "StringGridModel.h"

#include <QTableView>

#include <functional>
#include <memory>

class QLineEdit;

// A window's table: owns its StringGrid and shows it. Row 0 is the header; a click or the
// arrow keys select a whole data row (the grid's selectCell, so its select listener runs, also
// for the row that is selected already);
// only one row is selected; nothing is edited; rows are 20 pixels high. In the editable mode
// a cell is selected and edited in place instead: a double click, F2 or typing start the
// editor, a single click never does; a tick box changes by the mouse only. A press of any but
// the left button leaves the selection alone: with mousePressed a window opens its context
// menu there. The view's selection follows the grid's, whoever moves it.
//
//     auto* Grid_vantrel = new StringGridView(11, 2, page);
//     Grid_vantrel->grid().setSelectListener([this](int c, int r) { Grid_vantrelSelectCell(c, r); });
//     connect(Grid_vantrel, &StringGridView::mousePressed, this, &TForm11::Grid_vantrelMouseDown);
class StringGridView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 20;

    explicit StringGridView(int colCount = 5, int rowCount = 2, QWidget* parent = nullptr);
    ~StringGridView() override;

    StringGrid& grid() { return grid_; }
    const StringGrid& grid() const { return grid_; }
    // The grid row at a viewport position, or -1 (the header and empty space give -1).
    int gridRowAt(const QPoint& viewportPos) const;

    StringGridModel& gridModel() { return *model_; }
    void setEditable(bool editable);
    bool editable() const { return model_->editable(); }
    // Called with each cell editor as it opens (the cell's column and grid row), so that the
    // owner can judge what the user inserts.
    using EditorSetup = std::function<void(QLineEdit* editor, int col, int gridRow)>;
    void setEditorSetup(EditorSetup setup) { editorSetup_ = std::move(setup); }

signals:
    // Any press or release of a mouse button over the cells; pos in viewport coordinates.
    void mousePressed(Qt::MouseButton button, const QPoint& pos, const QPoint& globalPos);
    void mouseReleased(Qt::MouseButton button, const QPoint& pos, const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    class CellDelegate;
    void showGridSelection();
    // Runs the grid's select event for a cell the user picked when the move did not.
    void selectPicked(const QModelIndex& index);

    StringGrid grid_;
    std::unique_ptr<StringGridModel> model_;
    EditorSetup editorSetup_;
    bool userMove_ = false;    // the current index changes by the user's click or key
    bool showing_ = false;     // the current index changes to show the grid's selection
    bool userSelected_ = false; // the user's click or key has run the select event
};
