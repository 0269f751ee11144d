#include "platform/qt/qt_list_view.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QKeyEvent>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "platform/qt/qt_text.h"
#include "platform/text_buffer.h"

namespace platform::qt {
namespace {

QColor ToQColor(ColorRef c) { return QColor(int(RedOf(c)), int(GreenOf(c)), int(BlueOf(c))); }

ColorRef FromQColor(const QColor& c) {
    return Rgb(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()),
               static_cast<unsigned>(c.blue()));
}


}  // namespace

DeviceListModel::DeviceListModel(QObject* parent) : QAbstractTableModel(parent) {}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const auto& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const auto col = static_cast<std::size_t>(index.column());
        return col < row.size() ? QVariant(row[col].shown) : QVariant(QString());
    }
    case Qt::ForegroundRole:
        return ToQColor(text_);
    case Qt::BackgroundRole:
        return ToQColor(textBk_);
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return columns_[static_cast<std::size_t>(section)].shownHeading;
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

int DeviceListModel::AddColumn(int index, std::string_view heading, int format) {
    index = std::clamp(index, 0, columnCount());
    beginInsertColumns(QModelIndex(), index, index);
    columns_.insert(columns_.begin() + index, Column{std::string(heading), ToQString(heading), format});
    // Sub-item texts stay with their columns.
    for (auto& row : rows_)
        if (static_cast<std::size_t>(index) < row.size()) row.insert(row.begin() + index, Cell{});
    endInsertColumns();
    return index;
}

int DeviceListModel::AddRow(int index, std::string_view text) {
    index = std::clamp(index, 0, rowCount());
    beginInsertRows(QModelIndex(), index, index);
    std::vector<Cell> row(1);
    row[0] = Cell{std::string(text), ToQString(text), {}, -1};
    rows_.insert(rows_.begin() + index, std::move(row));
    endInsertRows();
    return index;
}

bool DeviceListModel::SetText(int rowIndex, int column, std::string_view text) {
    if (rowIndex < 0 || rowIndex >= rowCount() || column < 0) return false;
    auto& row = rows_[static_cast<std::size_t>(rowIndex)];
    if (static_cast<std::size_t>(column) >= row.size()) row.resize(static_cast<std::size_t>(column) + 1);
    row[static_cast<std::size_t>(column)] = Cell{std::string(text), ToQString(text), {}, -1};
    if (column < columnCount()) emit dataChanged(index(rowIndex, column), index(rowIndex, column));
    return true;
}

const std::string* DeviceListModel::Text(int rowIndex, int column) const {
    if (rowIndex < 0 || rowIndex >= rowCount() || column < 0) return nullptr;
    const auto& row = rows_[static_cast<std::size_t>(rowIndex)];
    static const std::string empty;
    return static_cast<std::size_t>(column) < row.size() ? &row[static_cast<std::size_t>(column)].ansi
                                                          : &empty;
}

void DeviceListModel::Clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

QColor DeviceListModel::TextColor() const { return ToQColor(text_); }

QColor DeviceListModel::TextBackground() const { return ToQColor(textBk_); }

const QStaticText* DeviceListModel::PaintedText(int rowIndex, int column, int width, const QFont& font) const {
    if (rowIndex < 0 || rowIndex >= rowCount() || column < 0) return nullptr;
    const auto& row = rows_[static_cast<std::size_t>(rowIndex)];
    if (static_cast<std::size_t>(column) >= row.size()) return nullptr;
    const Cell& cell = row[static_cast<std::size_t>(column)];
    if (cell.shown.isEmpty()) return nullptr;
    if (cell.paintedWidth != width) {
        cell.painted.setTextFormat(Qt::PlainText);
        cell.painted.setPerformanceHint(QStaticText::AggressiveCaching);
        cell.painted.setText(QFontMetrics(font).elidedText(cell.shown, Qt::ElideRight, width));
        cell.painted.prepare(QTransform(), font);
        cell.paintedWidth = width;
    }
    return &cell.painted;
}

void DeviceListModel::SetColors(ColorRef text, ColorRef textBk) {
    text_ = text;
    textBk_ = textBk;
    if (!rows_.empty() && !columns_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ForegroundRole, Qt::BackgroundRole});
}

ListCellDelegate::ListCellDelegate(const DeviceListModel* model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

void ListCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active)  ? QPalette::Normal
                                                                                : QPalette::Inactive;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->fillRect(option.rect, selected ? option.palette.brush(group, QPalette::Highlight)
                                            : QBrush(model_->TextBackground()));
    const QStyle* style = option.widget ? option.widget->style() : nullptr;
    const int margin = style ? style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1 : 3;
    const QRect area = option.rect.adjusted(margin, 0, -margin, 0);
    if (const QStaticText* text = model_->PaintedText(index.row(), index.column(), area.width(), option.font)) {
        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        painter->setPen(selected ? option.palette.color(group, QPalette::HighlightedText) : model_->TextColor());
        const int y = area.top() + (area.height() - static_cast<int>(text->size().height())) / 2;
        painter->drawStaticText(area.left(), y, *text);
        painter->restore();
    }
    if ((option.state & QStyle::State_HasFocus) && style) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = option.rect;
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

namespace {

// Right clicks on the list's rows open the row menu; elsewhere the event
// goes on, to the window's own menu.
class RowMenuFilter : public QObject {
public:
    RowMenuFilter(QtListView& list, QObject* parent) : QObject(parent), list_(list) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ContextMenu) return QObject::eventFilter(watched, event);
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        return list_.ShowRowMenu(menuEvent->pos(), menuEvent->globalPos());
    }

private:
    QtListView& list_;
};

// The copy key pressed in the list.
class CopyKeyFilter : public QObject {
public:
    CopyKeyFilter(std::function<void()>& copy, QObject* parent) : QObject(parent), copy_(copy) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        if (!key || !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) || !copy_) {
            return QObject::eventFilter(watched, event);
        }
        if (event->type() == QEvent::KeyPress) copy_();
        event->accept();
        return true;
    }

private:
    std::function<void()>& copy_;
};

}  // namespace

QtListView::QtListView(QTableView* view, std::uint32_t style, std::function<void()> changed)
    : view_(view), model_(new DeviceListModel(view)), changed_(std::move(changed)) {
    const QPalette palette = view->palette();
    bk_ = FromQColor(palette.color(QPalette::Base));
    text_ = FromQColor(palette.color(QPalette::Text));
    textBk_ = bk_;
    model_->SetColors(text_, textBk_);

    view->setModel(model_);
    view->setItemDelegate(new ListCellDelegate(model_, view));
    view->setShowGrid(false);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->setSelectionMode((style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                   : QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideRight);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setStretchLastSection(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->setProperty("showSelectionAlways", bool(style & LVS_SHOWSELALWAYS));
    ApplyPalette();

    QObject::connect(model_, &QAbstractItemModel::rowsInserted, view, [this] {
        PacePainting();
        ScheduleChanged();
    });
    QObject::connect(model_, &QAbstractItemModel::dataChanged, view, [this] { ScheduleChanged(); });
    QObject::connect(model_, &QAbstractItemModel::modelReset, view, [this] { ScheduleChanged(); });
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                     [this] { ScheduleChanged(); });
}

void QtListView::ScheduleChanged() {
    if (changePending_ || !view_) return;
    changePending_ = true;
    QMetaObject::invokeMethod(
        view_.data(),
        [this] {
            changePending_ = false;
            if (changed_) changed_();
        },
        Qt::QueuedConnection);
}

void QtListView::PacePainting() {
    if (pacing_ || !view_) return;
    // Every insertion repaints the whole view; rows that stream in are
    // painted together a moment later instead, so the window stays quick.
    pacing_ = true;
    view_->viewport()->setUpdatesEnabled(false);
    QTimer::singleShot(kPaintIntervalMs, view_.data(), [this] {
        pacing_ = false;
        if (view_) view_->viewport()->setUpdatesEnabled(true);
    });
}

void QtListView::ApplyPalette() {
    if (!view_) return;
    QPalette palette = view_->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, ToQColor(bk_));
        palette.setColor(group, QPalette::Window, ToQColor(bk_));
        palette.setColor(group, QPalette::Text, ToQColor(text_));
    }
    // Without "show selection always" the selection is hidden while the list
    // has no focus.
    if (!view_->property("showSelectionAlways").toBool()) {
        palette.setColor(QPalette::Inactive, QPalette::Highlight, ToQColor(textBk_));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText, ToQColor(text_));
    }
    view_->setPalette(palette);
    view_->viewport()->update();
}

int QtListView::InsertColumn(int index, std::string_view heading, int width, int format) {
    const int at = model_->AddColumn(index, heading, format);
    if (view_) view_->setColumnWidth(at, width);
    return at;
}

int QtListView::ColumnCount() const { return model_->columnCount(); }

int QtListView::GetColumnHeading(int column, char* buffer, int size) const {
    if (column < 0 || column >= ColumnCount()) return CopyToBuffer(std::string(), buffer, size);
    return CopyToBuffer(model_->ColumnAt(column).heading, buffer, size);
}

int QtListView::ColumnWidth(int column) const { return view_ ? view_->columnWidth(column) : 0; }

int QtListView::InsertItem(int index, std::string_view text) {
    if (index < 0) return -1;
    return model_->AddRow(index, text);
}

bool QtListView::SetItemText(int item, int subItem, std::string_view text) {
    return model_->SetText(item, subItem, text);
}

bool QtListView::DeleteAllItems() {
    model_->Clear();
    return true;
}

int QtListView::GetItemCount() const { return model_->rowCount(); }

int QtListView::GetItemText(int item, int subItem, char* buffer, int size) const {
    const std::string* text = model_->Text(item, subItem);
    return CopyToBuffer(text ? *text : std::string(), buffer, size);
}

int QtListView::GetNextSelectedItem(int start) const {
    if (!view_) return -1;
    const QItemSelectionModel* selection = view_->selectionModel();
    for (int row = std::max(start + 1, 0); row < model_->rowCount(); ++row) {
        if (selection->rowIntersectsSelection(row, QModelIndex())) return row;
    }
    return -1;
}

void QtListView::SetItemSelected(int item, bool selected) {
    if (!view_ || item < 0 || item >= model_->rowCount()) return;
    const QModelIndex left = model_->index(item, 0);
    const QModelIndex right = model_->index(item, std::max(model_->columnCount() - 1, 0));
    view_->selectionModel()->select(QItemSelection(left, right),
                                    (selected ? QItemSelectionModel::Select
                                              : QItemSelectionModel::Deselect));
}

void QtListView::SetExtendedStyle(std::uint32_t mask, std::uint32_t style) {
    // A zero mask changes every extended style bit.
    exStyle_ = mask == 0 ? style : ((exStyle_ & ~mask) | (style & mask));
    if (!view_) return;
    view_->setShowGrid((exStyle_ & LVS_EX_GRIDLINES) != 0);
    view_->setSelectionBehavior((exStyle_ & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                                   : QAbstractItemView::SelectItems);
}

std::uint32_t QtListView::ExtendedStyle() const { return exStyle_; }

void QtListView::SetBkColor(ColorRef color) {
    bk_ = color;
    ApplyPalette();
}

void QtListView::SetTextColor(ColorRef color) {
    text_ = color;
    model_->SetColors(text_, textBk_);
    ApplyPalette();
}

void QtListView::SetTextBkColor(ColorRef color) {
    textBk_ = color;
    model_->SetColors(text_, textBk_);
    ApplyPalette();
}

void QtListView::SetCopyAction(std::function<void()> copy) {
    const bool first = !copy_;
    copy_ = std::move(copy);
    if (first && view_) view_->installEventFilter(new CopyKeyFilter(copy_, view_));
}

void QtListView::SetRowMenu(std::vector<ListAction> actions) {
    const bool first = rowMenu_.empty();
    rowMenu_ = std::move(actions);
    if (first && view_) view_->viewport()->installEventFilter(new RowMenuFilter(*this, view_));
}

bool QtListView::ShowRowMenu(const QPoint& pos, const QPoint& globalPos) {
    if (!view_ || rowMenu_.empty()) return false;
    const int row = view_->indexAt(pos).row();
    if (row < 0) return false;
    QItemSelectionModel* selection = view_->selectionModel();
    if (!selection->isRowSelected(row, QModelIndex())) {
        selection->select(model_->index(row, 0),
                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    selection->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
    QMenu menu(view_);
    menu.setObjectName(QStringLiteral("rowMenu"));
    for (const ListAction& action : rowMenu_) {
        QAction* item = menu.addAction(ToQString(action.text));
        item->setEnabled(!action.enabled || action.enabled(row));
        const std::function<void(int)> chosen = action.chosen;
        QObject::connect(item, &QAction::triggered, &menu, [chosen, row] {
            if (chosen) chosen(row);
        });
    }
    menu.exec(globalPos);
    return true;
}

}  // namespace platform::qt
