// The report-style list: a table model fed by the ListView operations and a
// QTableView that shows it with the list's styles and colours.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStaticText>
#include <QStyledItemDelegate>
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
    QColor TextColor() const;
    QColor TextBackground() const;
    // The text of a cell laid out for painting in `width` pixels, cut with
    // an ellipsis when it does not fit; null for an empty cell. Kept with
    // the cell until its text or the width changes, so that a repaint lays
    // out no text again. The list's font is set once, before any row.
    const QStaticText* PaintedText(int row, int column, int width, const QFont& font) const;

private:
    struct Cell {
        std::string ansi;
        QString shown;
        mutable QStaticText painted;
        mutable int paintedWidth = -1;
    };
    std::vector<Column> columns_;
    std::vector<std::vector<Cell>> rows_;
    ColorRef text_ = 0;
    ColorRef textBk_ = 0xFFFFFF;
};

// Paints a cell the way the styled delegate paints plain text (background
// or selection, the text cut with an ellipsis, the focus frame) from the
// model's prepared texts, because laying text out anew for every cell of
// every repaint costs more than the rest of the window's work.
class ListCellDelegate : public QStyledItemDelegate {
public:
    ListCellDelegate(const DeviceListModel* model, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const DeviceListModel* model_;
};

class QtListView : public ListView {
public:
    // While rows stream in, the view is painted at most this often.
    static constexpr int kPaintIntervalMs = 50;

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

    void SetCopyAction(std::function<void()> copy) override;
    void SetRowMenu(std::vector<ListAction> actions) override;

    QTableView* View() const { return view_; }
    DeviceListModel* Model() const { return model_; }
    // The row menu for a right click at `pos` (viewport coordinates): the
    // row there is selected first. False when no row is there.
    bool ShowRowMenu(const QPoint& pos, const QPoint& globalPos);

private:
    void ApplyPalette();
    void ScheduleChanged();
    // Holds the view's painting back for a moment after rows are inserted.
    void PacePainting();

    QPointer<QTableView> view_;
    DeviceListModel* model_;
    std::function<void()> changed_;
    std::function<void()> copy_;
    std::vector<ListAction> rowMenu_;
    bool changePending_ = false;
    bool pacing_ = false;
    std::uint32_t exStyle_ = 0;
    ColorRef bk_;
    ColorRef text_;
    ColorRef textBk_;
};

}  // namespace platform::qt
