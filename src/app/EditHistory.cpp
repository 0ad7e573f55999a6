// SPDX-License-Identifier: MIT
#include "app/EditHistory.h"

#include <QUndoCommand>

namespace q2 {

// One step: the cells one stroke changed, with their tiles before and after.
// Pushed after the stroke has put them into the grid; the history tells its
// listeners once the stack has moved.
class EditHistory::MapStep : public QUndoCommand {
public:
    MapStep(MapGrid& grid, std::vector<CellChange> cells) : m_grid(grid), m_cells(std::move(cells)) {}

    const std::vector<CellChange>& Cells() const { return m_cells; }
    void undo() override { Put(true); }
    void redo() override {
        if (m_done) {  // pushed: the stroke has put it in already
            m_done = false;
            return;
        }
        Put(false);
    }

private:
    void Put(bool before) {
        for (const CellChange& cell : m_cells) {
            if (!m_grid.Contains(cell.x, cell.y)) continue;
            m_grid(cell.x, cell.y, 0) = before ? cell.before[0] : cell.after[0];
            m_grid(cell.x, cell.y, 1) = before ? cell.before[1] : cell.after[1];
        }
    }

    MapGrid& m_grid;
    std::vector<CellChange> m_cells;
    bool m_done = true;
};

EditHistory::EditHistory(MapGrid& grid) : m_grid(grid) { m_stack.setUndoLimit(kHistoryLimit); }

void EditHistory::BeginStroke() {
    EndStroke();  // a release that never came
    m_stroke = Stroke{m_grid, false};
}

void EditHistory::Placed() {
    if (m_stroke) m_stroke->placed = true;
}

void EditHistory::EndStroke() {
    if (!m_stroke) return;
    const Stroke stroke = std::move(*m_stroke);
    m_stroke.reset();
    if (!stroke.placed) return;
    // A placement that changed no cell (the same tile again, a left press
    // during a map pick) still marks the map modified: it is a step, with no cells.
    std::vector<CellChange> cells;
    if (stroke.before.Columns() == m_grid.Columns() && stroke.before.Rows() == m_grid.Rows()) {
        for (int y = 0; y < m_grid.Rows(); ++y)
            for (int x = 0; x < m_grid.Columns(); ++x) {
                const uint8_t was[2] = {stroke.before(x, y, 0), stroke.before(x, y, 1)};
                const uint8_t now[2] = {m_grid(x, y, 0), m_grid(x, y, 1)};
                if (was[0] != now[0] || was[1] != now[1])
                    cells.push_back({uint8_t(x), uint8_t(y), {was[0], was[1]}, {now[0], now[1]}});
            }
    }
    cells.shrink_to_fit();
    auto* step = new MapStep(m_grid, std::move(cells));
    m_stack.push(step);  // at the limit the stack drops its oldest step, never this one
    Steps.Tell({StepEvent::Kind::Done, step->Cells()});
}

bool EditHistory::Undo() {
    if (m_stroke || !m_stack.canUndo()) return false;
    m_stack.undo();
    const auto* undone = static_cast<const MapStep*>(m_stack.command(m_stack.index()));
    Steps.Tell({StepEvent::Kind::Undone, undone->Cells()});
    return true;
}

bool EditHistory::Redo() {
    if (m_stroke || !m_stack.canRedo()) return false;
    m_stack.redo();
    const auto* redone = static_cast<const MapStep*>(m_stack.command(m_stack.index() - 1));
    Steps.Tell({StepEvent::Kind::Redone, redone->Cells()});
    return true;
}

void EditHistory::Clear() { m_stack.clear(); }

} // namespace q2
