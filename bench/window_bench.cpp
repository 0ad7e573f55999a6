// SPDX-License-Identifier: MIT
// What the user does in the window: painting on the canvas, ending a map
// pick, loading maps, and starting the editor. Each iteration times one
// action by hand; the events it leaves queued (the repaint it asked for) are
// run between iterations, untimed, as the event loop would between two
// actions, unless the case times the repaint as well.

#include "BenchSupport.h"
#include "ui/frmMapView.h"

#include <QEvent>
#include <QObject>

namespace q2::bench {

namespace {

constexpr int kMainMap = 0;
constexpr int kSubMap = 4;

// Counts paint events, to check that a case really repaints what it claims to.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

enum class Stamp { SingleTile, TilesetBlock, MapBlock };

// One left-button move over the map with the selection stamping at cell (0, 0).
void PaintCase(benchmark::State& state, Stamp stamp, bool presented) {
    Editor editor;
    if (!Ready(state, editor)) return;
    frmMain& form = editor.Form();
    switch (stamp) {
    case Stamp::SingleTile:
        Press(form.pbxTileset, Qt::LeftButton, Cell(3, 0));
        Release(form.pbxTileset, Qt::LeftButton, Cell(3, 0));
        break;
    case Stamp::TilesetBlock:
        Press(form.pbxTileset, Qt::RightButton, Cell(0, 0));
        Move(form.pbxTileset, Qt::RightButton, Cell(15, 15));
        Release(form.pbxTileset, Qt::RightButton, Cell(15, 15));
        break;
    case Stamp::MapBlock:
        Press(form.pbxMap, Qt::RightButton, Cell(0, 0));
        Move(form.pbxMap, Qt::RightButton, Cell(31, 31));
        Release(form.pbxMap, Qt::RightButton, Cell(31, 31));
        break;
    }
    ProcessEvents();
    const SelectionState& s = editor.Program().Selection;
    const bool selected =
        stamp == Stamp::SingleTile     ? s.SingleTileSelected
        : stamp == Stamp::TilesetBlock ? s.IsTilesetBlock() && s.TilesetExtentColumns == 15 && s.TilesetExtentRows == 15
                                       : s.MapBlockTaken && s.MapBlock.Columns() == 32 && s.MapBlock.Rows() == 32;
    if (!selected) {
        state.SkipWithError("the selection to stamp was not made");
        return;
    }

    PaintCounter counter;
    form.pbxMap->installEventFilter(&counter);
    Press(form.pbxMap, Qt::LeftButton, Cell(0, 0));
    ProcessEvents();
    if (counter.paints == 0 || !editor.Program().MapModified) {
        state.SkipWithError("the stamp did not reach the screen");
        return;
    }
    form.pbxMap->removeEventFilter(&counter);

    for (auto _ : state) {
        Stopwatch watch;
        Move(form.pbxMap, Qt::LeftButton, Cell(0, 0));
        if (presented) ProcessEvents();
        state.SetIterationTime(watch.Seconds());
        if (!presented) ProcessEvents();
    }
    Release(form.pbxMap, Qt::LeftButton, Cell(0, 0));
    editor.Program().MapModified = false;
}

// The right-button release that turns a whole-map pick into the selection.
void PickReleaseCase(benchmark::State& state) {
    Editor editor;
    if (!Ready(state, editor)) return;
    PictureBox* map = editor.Form().pbxMap;
    for (auto _ : state) {
        Press(map, Qt::RightButton, Cell(0, 0));
        Move(map, Qt::RightButton, Cell(31, 31));
        ProcessEvents();
        Stopwatch watch;
        Release(map, Qt::RightButton, Cell(31, 31));
        state.SetIterationTime(watch.Seconds());
        ProcessEvents();
    }
    if (editor.Program().Selection.MapBlock.Columns() != 32 || editor.Program().Selection.MapBlock.Rows() != 32)
        state.SkipWithError("the pick did not take the whole map");
}

// LoadMap with both picture boxes repainted on the screen.
// Kept out of line so that a profiler can single out the timed part.
[[gnu::noinline]] bool LoadAndShow(modMain& program, int index) {
    const bool loaded = program.LoadMap(int16_t(index));
    ProcessEvents();
    return loaded;
}

void LoadCase(benchmark::State& state, int first, int second) {
    Editor editor;
    if (!Ready(state, editor)) return;
    modMain& program = editor.Program();
    PaintCounter counter;
    editor.Form().pbxMap->installEventFilter(&counter);
    editor.Form().pbxTileset->installEventFilter(&counter);
    program.LoadMap(int16_t(second));
    ProcessEvents();
    if (counter.paints < 2) {
        state.SkipWithError("a load did not repaint both boxes");
        return;
    }
    editor.Form().pbxMap->removeEventFilter(&counter);
    editor.Form().pbxTileset->removeEventFilter(&counter);

    bool even = true;
    for (auto _ : state) {
        const int index = even ? first : second;
        even = !even;
        Stopwatch watch;
        const bool loaded = LoadAndShow(program, index);
        state.SetIterationTime(watch.Seconds());
        if (!loaded) {
            state.SkipWithError("the map did not load");
            return;
        }
    }
}

// Main in a running program: the hidden window, the catalogue, the dialog
// (answered at once), the ROM read and checked, the first map loaded and the
// window shown and painted.
void StartupInProcessCase(benchmark::State& state) {
    for (auto _ : state) {
        Stopwatch watch;
        auto editor = std::make_unique<Editor>();
        state.SetIterationTime(watch.Seconds());
        if (!editor->Started()) {
            state.SkipWithError("the editor did not start");
            return;
        }
    }
}

// The map view open at 8x, in a window that shows the whole map.
frmMapView* ViewAt8x(benchmark::State& state, Editor& editor) {
    editor.Form().ShowMapView();
    frmMapView* view = editor.Form().MapView();
    view->ZoomKeepingTopLeft(8);
    view->resize(2048 + 64, 2048 + 64);
    ProcessEvents();
    if (view->Canvas()->visibleRegion().boundingRect().size() != QSize(2048, 2048)) {
        state.SkipWithError("the view does not show the whole map at 8x");
        return nullptr;
    }
    return view;
}

// Map cell (x, y) of the view at 8x, at the centre of its first screen pixel.
QPointF ViewCell(int x, int y) { return QPointF(64 * x + 4, 64 * y + 4); }

// A one-cell stamp in the view at 8x and the repaints of both windows. Each
// stamp puts another tile, so that every one changes what both show.
void ViewStampCase(benchmark::State& state) {
    Editor editor;
    if (!Ready(state, editor)) return;
    frmMapView* view = ViewAt8x(state, editor);
    if (!view) return;
    SelectionState& s = editor.Program().Selection;
    Press(editor.Form().pbxTileset, Qt::LeftButton, Cell(3, 0));
    Release(editor.Form().pbxTileset, Qt::LeftButton, Cell(3, 0));
    PaintCounter counter;
    view->Canvas()->installEventFilter(&counter);
    Press(view->Canvas(), Qt::LeftButton, ViewCell(5, 5));
    ProcessEvents();
    if (counter.paints == 0 || !editor.Program().MapModified) {
        state.SkipWithError("the stamp did not reach the view");
        return;
    }
    view->Canvas()->removeEventFilter(&counter);
    int16_t tile = 0;
    for (auto _ : state) {
        s.SingleTileColumn = tile = int16_t((tile + 1) % 16);
        Stopwatch watch;
        Move(view->Canvas(), Qt::LeftButton, ViewCell(5, 5));
        ProcessEvents();
        state.SetIterationTime(watch.Seconds());
    }
    Release(view->Canvas(), Qt::LeftButton, ViewCell(5, 5));
    editor.Program().MapModified = false;
}

// The view's whole 2048 x 2048 canvas repainted at 8x; with rezoom, after
// the zoom went from 7x to 8x, so that all of it is drawn anew from the map surface.
void ViewRepaintCase(benchmark::State& state, bool rezoom) {
    Editor editor;
    if (!Ready(state, editor)) return;
    frmMapView* view = ViewAt8x(state, editor);
    if (!view) return;
    for (auto _ : state) {
        if (rezoom) {
            view->ZoomKeepingTopLeft(7);
            ProcessEvents();
        }
        Stopwatch watch;
        view->ZoomKeepingTopLeft(8);
        view->Canvas()->repaint();
        state.SetIterationTime(watch.Seconds());
    }
}

// Shift+click in the view on a map of one tile: the fill of all 32 x 32
// cells, drawn, one step of the history. The repaints it asks for run untimed.
void ViewFillCase(benchmark::State& state) {
    Editor editor;
    if (!Ready(state, editor)) return;
    frmMapView* view = ViewAt8x(state, editor);
    if (!view) return;
    modMain& program = editor.Program();
    program.Grid = MapGrid(kMapColumns, kMainMapRows);
    program.DrawMap();
    program.MapChanged.Tell();
    SelectionState& s = program.Selection;
    Press(editor.Form().pbxTileset, Qt::LeftButton, Cell(1, 1));
    Release(editor.Form().pbxTileset, Qt::LeftButton, Cell(1, 1));
    ProcessEvents();
    for (auto _ : state) {
        s.SingleTileColumn = int16_t(s.SingleTileColumn == 1 ? 2 : 1);
        Stopwatch watch;
        Press(view->Canvas(), Qt::LeftButton, ViewCell(7, 9), Qt::ShiftModifier);
        state.SetIterationTime(watch.Seconds());
        Release(view->Canvas(), Qt::LeftButton, ViewCell(7, 9));
        ProcessEvents();
        if (program.Grid(31, 31, 0) != s.SingleTileColumn) {
            state.SkipWithError("the fill did not reach the whole map");
            return;
        }
    }
    program.MapModified = false;
}

} // namespace

void RegisterWindowBenchmarks(bool smoke) {
    using benchmark::RegisterBenchmark;
    auto manual = [smoke](benchmark::internal::Benchmark* b) { Tune(b, smoke)->UseManualTime(); };
    manual(RegisterBenchmark("PaintEvent/SingleTile", PaintCase, Stamp::SingleTile, false));
    manual(RegisterBenchmark("PaintEvent/TilesetBlock16x16", PaintCase, Stamp::TilesetBlock, false));
    manual(RegisterBenchmark("PaintEvent/MapBlock32x32", PaintCase, Stamp::MapBlock, false));
    manual(RegisterBenchmark("PaintEvent/SingleTilePresented", PaintCase, Stamp::SingleTile, true));
    manual(RegisterBenchmark("MapPickRelease/32x32", PickReleaseCase));
    manual(RegisterBenchmark("LoadMap/MainMap", LoadCase, kMainMap, kMainMap));
    manual(RegisterBenchmark("LoadMap/SubMap", LoadCase, kSubMap, kSubMap));
    manual(RegisterBenchmark("LoadMap/Alternating", LoadCase, kMainMap, kSubMap));
    manual(RegisterBenchmark("Startup/InProcess", StartupInProcessCase));
    RegisterWriteFloors("MapView8x", size_t(2048) * 2048 * 4, smoke);
    manual(RegisterBenchmark("MapView/Stamp8x", ViewStampCase));
    manual(RegisterBenchmark("MapView/WholeRepaint8x", ViewRepaintCase, false));
    manual(RegisterBenchmark("MapView/ZoomTo8x", ViewRepaintCase, true));
    manual(RegisterBenchmark("MapView/Fill32x32", ViewFillCase));
}

} // namespace q2::bench
