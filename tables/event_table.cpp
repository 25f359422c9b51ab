// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tables/event_table.h"
#include "ui/colour.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace quorvik {

QColor acknowledgedColour() {
    return QColor(Qt::gray);
}

const QImage &acknowledgedTick() {
    static const QImage tick = [] {
        QImage image(12, 12, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 128, 0), 2));
        const QPointF points[] = {{2, 6}, {5, 9}, {10, 3}};
        painter.drawPolyline(points, 3);
        return image;
    }();
    return tick;
}

EventTable::EventTable(Kind kind, QObject *parent) : QAbstractTableModel(parent), m_kind(kind) {
    m_headers = {QStringLiteral("Date"), QStringLiteral("Processor"), QStringLiteral("Application"),
                 QStringLiteral("Object"), QStringLiteral("Message")};
    if (kind == Kind::FullList)
        m_headers.prepend(QStringLiteral("Level"));
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &EventTable::flushChanges);
    setRows(2);
}

EventTable::~EventTable() {
    dropSlots(0);
}

// Drops the rows from `from` on, which no longer count as held here.
void EventTable::dropSlots(std::size_t from) {
    for (std::size_t k = from; k < m_slots.size(); ++k) {
        m_events -= m_slots[k].isNull() ? 0 : 1;
        m_slots[k].held(-1);
    }
    m_slots.resize(std::min(from, m_slots.size()));
}

void EventTable::setRows(int rows) {
    const int wanted = std::max(rows, 2) - 1;
    const int current = static_cast<int>(m_slots.size());
    if (wanted < current) {
        // Dropping the oldest rows keeps a pending batch of top inserts valid.
        dropSlots(std::size_t(wanted));
        ++m_removals;
        m_pendingTop = std::min(m_pendingTop, wanted);
        scheduleFlush();
    } else if (wanted > current) {
        flushChanges();
        beginInsertRows({}, current, wanted - 1);
        m_slots.resize(std::size_t(wanted));
        m_shownRows = wanted;
        endInsertRows();
    }
}

void EventTable::insertTop(const EventRow &row) {
    m_slots.push_front(row);
    m_slots.front().held(1);
    m_events += row.isNull() ? 0 : 1;
    ++m_pendingTop;
    ++m_inserts;
    scheduleFlush();
}

void EventTable::insertTopBulk(const std::vector<EventRow> &rows, int rowLimit,
                               std::size_t before) {
    if (rows.empty() && before == 0)
        return;
    // The row count, trims and pending inserts as one insertTop after another
    // with the trim before each would leave them.
    const std::size_t inserted = before + rows.size();
    int count = this->rows();
    int pending = m_pendingTop;
    quint64 trims = 0;
    for (std::size_t k = 0; k < inserted; ++k) {
        if (count > rowLimit) {
            count = std::max(rowLimit - 1, 2);
            pending = std::min(pending, count - 1);
            ++trims;
        }
        ++count;
        ++pending;
    }
    const std::size_t filled = std::size_t(count - 1);
    const std::size_t added = std::min(rows.size(), filled);
    Q_ASSERT(before == 0 || added == filled);
    dropSlots(filled - added);
    for (std::size_t k = rows.size() - added; k < rows.size(); ++k) {
        m_slots.push_front(rows[k]);
        m_slots.front().held(1);
        m_events += rows[k].isNull() ? 0 : 1;
    }
    m_pendingTop = pending;
    m_inserts += inserted;
    m_removals += trims;
    scheduleFlush();
}

void EventTable::removeRow(int row) {
    if (row < 1 || row >= rows())
        return;
    flushChanges();
    ++m_removals;
    m_events -= m_slots[std::size_t(row - 1)].isNull() ? 0 : 1;
    m_slots[std::size_t(row - 1)].held(-1);
    if (m_slots.size() == 1) {
        // The table always keeps one data row under its header.
        m_slots.front() = Slot{};
        emit dataChanged(index(0, 0), index(0, columnCount() - 1));
        return;
    }
    beginRemoveRows({}, row - 1, row - 1);
    m_slots.erase(m_slots.begin() + (row - 1));
    m_shownRows = static_cast<int>(m_slots.size());
    endRemoveRows();
}

void EventTable::clearAll() {
    flushChanges();
    ++m_removals;
    for (Slot &slot : m_slots) {
        slot.held(-1);
        slot = Slot{};
    }
    m_events = 0;
    if (!m_slots.empty())
        emit dataChanged(index(0, 0), index(int(m_slots.size()) - 1, columnCount() - 1));
}

void EventTable::setLevelColours(const LevelColours &colours) {
    m_levelColours = colours;
    if (!m_slots.empty())
        emit dataChanged(index(0, 0), index(int(m_slots.size()) - 1, columnCount() - 1),
                         {Qt::BackgroundRole});
}

const EventTable::Slot *EventTable::slotAt(int row) const {
    if (row < 1 || row >= rows())
        return nullptr;
    return &m_slots[std::size_t(row - 1)];
}

EventRow EventTable::eventAt(int row) const {
    const Slot *slot = slotAt(row);
    return slot ? *slot : EventRow();
}

int EventTable::findRow(const EventRow &row) const {
    for (std::size_t k = 0; k < m_slots.size(); ++k)
        if (m_slots[k].sameAs(row))
            return int(k) + 1;
    return -1;
}

EventTable::RowMark EventTable::markRow(int row) const {
    return {eventAt(row), row, m_inserts, m_removals};
}

int EventTable::findRow(const RowMark &mark) const {
    if (!mark.event.isNull())
        return findRow(mark.event);
    if (mark.removals != m_removals || mark.row < 1)
        return -1;
    const quint64 row = quint64(mark.row) + (m_inserts - mark.inserts);
    return row < quint64(rows()) && eventAt(int(row)).isNull() ? int(row) : -1;
}

void EventTable::rowChanged(const EventRow &row) {
    if (row.isNull())
        return;
    m_changed.insert(row.identity());
    scheduleFlush();
}

void EventTable::acknowledge(int row, const QString &who, const QString &when,
                             const QString &note) {
    EventRow event = eventAt(row);
    if (event.isNull())
        return;
    event.acknowledge(who, when, note);
    rowChanged(event);
    flushChanges();
}

std::vector<int> EventTable::rowsOf(const Event &event) const {
    std::vector<int> found;
    for (std::size_t k = 0; k < m_slots.size(); ++k) {
        const EventRow &row = m_slots[k];
        if (row.isNull() || &row.level() != event.level)
            continue;
        const FilterFields fields = row.filterFields();
        if (fields[2] == event.host && fields[3] == event.application &&
            fields[4] == event.object && fields[5] == event.message &&
            (fields[1] == event.date || row.firstDate() == event.date))
            found.push_back(int(k) + 1);
    }
    return found;
}

QString EventTable::slotText(const Slot &slot, int column) const {
    if (slot.isNull())
        return {};
    if (m_kind == Kind::FullList) {
        if (column == 0)
            return QString::fromLatin1(slot.level().name.data(),
                                       qsizetype(slot.level().name.size()));
        --column;
    }
    return slot.cellText(column);
}

std::optional<Colour> EventTable::slotBackground(const Slot &slot) const {
    if (m_kind != Kind::FullList || slot.isNull())
        return std::nullopt;
    return m_levelColours[std::size_t(slot.level().index)];
}

QString EventTable::cellText(int row, int column) const {
    if (row == 0)
        return headerText(column);
    const Slot *slot = slotAt(row);
    return slot ? slotText(*slot, column) : QString();
}

std::optional<Colour> EventTable::background(int row) const {
    const Slot *slot = slotAt(row);
    return slot ? slotBackground(*slot) : std::nullopt;
}

void EventTable::scheduleFlush() {
    if (m_autoFlush && !m_flushTimer.isActive())
        m_flushTimer.start();
}

void EventTable::flushChanges() {
    m_flushTimer.stop();
    const int kept = static_cast<int>(m_slots.size()) - m_pendingTop;
    if (m_pendingTop > 0) {
        shiftRows(m_shownRows - kept);
    } else if (kept < m_shownRows) {
        beginRemoveRows({}, kept, m_shownRows - 1);
        m_shownRows = kept;
        endRemoveRows();
    }
    tellChangedRows();
}

// New rows at the top, and `trimmed` old ones gone at the bottom: the
// views' rows move down in one layout change, and only the difference in
// the row count is inserted or removed, at the bottom. A view keeps one
// record per row (its header's sections); rows entering at the front and
// leaving at the back of a full table made those lists creep through memory.
void EventTable::shiftRows(int trimmed) {
    const int inserted = m_pendingTop;
    const int kept = m_shownRows - trimmed;
    m_shifting = true;
    if (trimmed > inserted) {
        beginRemoveRows({}, m_shownRows - (trimmed - inserted), m_shownRows - 1);
        m_shownRows -= trimmed - inserted;
        endRemoveRows();
    } else if (inserted > trimmed) {
        beginInsertRows({}, m_shownRows, m_shownRows + (inserted - trimmed) - 1);
        m_shownRows += inserted - trimmed;
        endInsertRows();
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &old : from)
        to << (old.row() < kept ? index(old.row() + inserted, old.column()) : QModelIndex());
    changePersistentIndexList(from, to);
    m_pendingTop = 0;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    m_shifting = false;
    emit rowsShifted(trimmed, inserted);
}

// Rows changed in place: each found from the top (a storm's row is near it),
// the search over once all are.
void EventTable::tellChangedRows() {
    if (m_changed.empty())
        return;
    const std::unordered_set<const void *> changed = std::exchange(m_changed, {});
    std::size_t left = changed.size();
    static const QList<int> kRoles = {Qt::DisplayRole, Qt::ToolTipRole, Qt::ForegroundRole,
                                      Qt::FontRole};
    for (int r = 0; r < m_shownRows && left > 0; ++r)
        if (changed.count(m_slots[std::size_t(r)].identity())) {
            --left;
            emit dataChanged(index(r, 0), index(r, columnCount() - 1), kRoles);
        }
}

int EventTable::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int EventTable::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant EventTable::data(const QModelIndex &index, int role) const {
    // Until the next flush the views' rows sit below the pending new ones.
    const int storage = index.row() + m_pendingTop;
    const int kept = static_cast<int>(m_slots.size()) - m_pendingTop;
    if (!index.isValid() || index.row() >= kept)
        return {};
    return eventData(m_slots[std::size_t(storage)], index.column(), role);
}

QVariant EventTable::eventData(const EventRow &slot, int column, int role) const {
    switch (role) {
    case Qt::DisplayRole:
        return slotText(slot, column);
    case Qt::BackgroundRole: {
        const std::optional<Colour> colour = slotBackground(slot);
        return colour ? QVariant(QBrush(toQColor(*colour))) : QVariant();
    }
    case Qt::ToolTipRole: {
        const QString tip = slot.toolTip();
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::ForegroundRole:
        if (const RowAlarm *alarm = slot.alarm(); alarm && alarm->cleared)
            return QBrush(QColor(Qt::darkGray));
        else if (alarm && alarm->acknowledged)
            return QBrush(acknowledgedColour());
        return {};
    case Qt::DecorationRole:
        // The tick of an acknowledged row, in its first column.
        if (const RowAlarm *alarm = slot.alarm(); column == 0 && alarm && alarm->acknowledged)
            return acknowledgedTick();
        return {};
    case Qt::FontRole:
        if (const RowAlarm *alarm = slot.alarm(); alarm && alarm->cleared) {
            QFont font;
            font.setStrikeOut(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}

QVariant EventTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return headerText(section);
    return {};
}

} // namespace quorvik
