// The report-style list: a table model fed by the ListView operations and a
// QTableView that shows it with the list's styles and colours.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

#include "platform/list_view.h"

namespace platform::qt {

class DeviceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        std::string heading;
        QString shownHeading;
        int format;
    };

    explicit DeviceListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int AddColumn(int index, std::string_view heading, int format);
    const Column& ColumnAt(int column) const { return columns_[static_cast<std::size_t>(column)]; }
    int AddRow(int index, std::string_view text);
    bool SetText(int row, int column, std::string_view text);
    const std::string* Text(int row, int column) const;
    void Clear();
    void SetColors(ColorRef text, ColorRef textBk);

private:
    struct Cell {
        std::string ansi;
        QString shown;
    };
    std::vector<Column> columns_;
    std::vector<std::vector<Cell>> rows_;
    ColorRef text_ = 0;
    ColorRef textBk_ = 0xFFFFFF;
};

class QtListView : public ListView {
public:
    // `changed` is raised, at most once per turn of the event loop, after the
    // items or their selection changed.
    QtListView(QTableView* view, std::uint32_t style, std::function<void()> changed);

    int InsertColumn(int index, std::string_view heading, int width, int format) override;
    int ColumnCount() const override;
    int GetColumnHeading(int column, char* buffer, int size) const override;
    int ColumnWidth(int column) const override;
    int InsertItem(int index, std::string_view text) override;
    bool SetItemText(int item, int subItem, std::string_view text) override;
    bool DeleteAllItems() override;
    int GetItemCount() const override;
    int GetItemText(int item, int subItem, char* buffer, int size) const override;
    int GetNextSelectedItem(int start) const override;
    void SetItemSelected(int item, bool selected) override;
    void SetExtendedStyle(std::uint32_t mask, std::uint32_t style) override;
    std::uint32_t ExtendedStyle() const override;
    void SetBkColor(ColorRef color) override;
    void SetTextColor(ColorRef color) override;
    void SetTextBkColor(ColorRef color) override;
    ColorRef BkColor() const override { return bk_; }
    ColorRef TextColor() const override { return text_; }
    ColorRef TextBkColor() const override { return textBk_; }

    QTableView* View() const { return view_; }
    DeviceListModel* Model() const { return model_; }

private:
    void ApplyPalette();
    void ScheduleChanged();

    QPointer<QTableView> view_;
    DeviceListModel* model_;
    std::function<void()> changed_;
    bool changePending_ = false;
    std::uint32_t exStyle_ = 0;
    ColorRef bk_;
    ColorRef text_;
    ColorRef textBk_;
};

}  // namespace platform::qt
