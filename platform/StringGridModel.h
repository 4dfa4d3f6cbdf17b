#pragma once

#include "StringGrid.h"

#include <QAbstractTableModel>

// Shows a StringGrid to a Qt view: row 0 of the grid is the horizontal header, grid rows
// 1.. are the model's rows 0..; cells are shown through Text8 and cannot be edited. The
// model follows every change of the grid (it takes the grid's change listener) and says
// when the grid's selection may need showing again.
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

signals:
    // The grid's selection moved, or the rows changed under it.
    void gridSelectionChanged();

private:
    void onGridChange(StringGrid::Change change, int col, int row);
    void followSize();

    StringGrid& grid_;
    int rows_ = 0;   // the data rows and columns last reported to the views
    int cols_ = 0;
};
