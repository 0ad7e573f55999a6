// SPDX-License-Identifier: MIT
#pragma once
// The map's history: its steps (the cells one stroke changed, before and
// after), the stroke that makes a step, the clean state (the step the ROM file
// holds), and the listeners told of every step done, undone or redone.

#include "app/Listeners.h"
#include "map/MapGrid.h"

#include <QUndoStack>

#include <cstdint>
#include <optional>
#include <vector>

namespace q2 {

// Steps of the map's history kept at most; a step holds only the cells it changed.
inline constexpr int kHistoryLimit = 1000;

// One cell a step changed: its tile (tileset column, row) before and after.
struct CellChange {
    uint8_t x, y;
    uint8_t before[2], after[2];
};

// What happened to the map. A Done step was already in the grid when it was
// told; an Undone or Redone one the history has just put into the grid.
struct StepEvent {
    enum class Kind { Done, Undone, Redone };
    Kind kind;
    const std::vector<CellChange>& cells;
};

class EditHistory {
public:
    // The history of grid, which must outlive it.
    explicit EditHistory(MapGrid& grid);
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // A stroke: every placement between BeginStroke and EndStroke becomes one
    // step. Begin remembers the grid; the caller changes the grid and calls
    // Placed for each placement; End records the cells that differ. A stroke
    // with no placement is no step; one whose placements changed no cell is a
    // step with no cells. A Begin while a stroke is open ends that one first
    // (its release never came). Usable from any caller, not just the mouse.
    void BeginStroke();
    void Placed();
    void EndStroke();
    bool InStroke() const { return m_stroke.has_value(); }

    // Take back the last step or put back the last one taken back. False, with
    // nothing done, while a stroke is open or when there is no such step.
    bool Undo();
    bool Redo();

    // A new map: no steps, clean. An open stroke stays open.
    void Clear();
    // The file now holds the current state.
    void SetClean() { m_stack.setClean(); }
    // No state is known to be what the file holds (after a failed save).
    void ResetClean() { m_stack.resetClean(); }
    bool IsClean() const { return m_stack.isClean(); }
    int Count() const { return m_stack.count(); }
    int Index() const { return m_stack.index(); }

    // Told of every step done, undone or redone, in the order they happen,
    // after the grid holds it (an edit journal, another view of the map).
    Listeners<const StepEvent&> Steps;

private:
    class MapStep;

    MapGrid& m_grid;
    QUndoStack m_stack;
    struct Stroke {
        MapGrid before;       // the grid at the press
        bool placed = false;  // a placement happened
    };
    std::optional<Stroke> m_stroke;
};

} // namespace q2
