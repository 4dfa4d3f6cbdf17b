#pragma once

#include "StringGrid.h"

#include <QAbstractTableModel>

#include <functional>

// Shows a StringGrid to a Qt view: row 0 of the grid is the horizontal header, grid rows
// 1.. are the model's rows 0..; cells are shown through Text8 and cannot be edited unless the
// editable mode is on, in which an edit writes the cell's bytes through Text8. One column may
// carry a tick per row, kept by the owner. The model follows every change of the grid (it
// takes the grid's change listener) and says when the grid's selection may need showing again.
class StringGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StringGridModel(StringGrid& grid, QObject* parent = nullptr);

    StringGrid& grid() { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    void setEditable(bool editable) { editable_ = editable; }
    bool editable() const { return editable_; }

    // The tick of each data row in column, read and set by grid row number.
    using TickGetter = std::function<bool(int gridRow)>;
    using TickSetter = std::function<void(int gridRow, bool ticked)>;
    void setTickColumn(int column, TickGetter ticked, TickSetter setTicked);
    // The owner changed the tick of a grid row (or of every row): the views draw it anew.
    void tickChanged(int gridRow);
    void ticksChanged();

signals:
    // The grid's selection moved, or the rows changed under it.
    void gridSelectionChanged();

private:
    void onGridChange(StringGrid::Change change, int col, int row);
    void followSize();

    StringGrid& grid_;
    int rows_ = 0;   // the data rows and columns last reported to the views
    int cols_ = 0;
    bool editable_ = false;
    int tickColumn_ = -1;
    TickGetter ticked_;
    TickSetter setTicked_;
};
