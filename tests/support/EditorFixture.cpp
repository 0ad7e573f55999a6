// SPDX-License-Identifier: MIT
#include "support/EditorFixture.h"

#include "tiles/Tileset.h"
#include "ui/frmMapView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

namespace q2::test {

namespace {

void Send(QWidget* box, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPointF at,
          Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, at, box->mapToGlobal(at), button, held, modifiers);
    QApplication::sendEvent(box, &event);
}

} // namespace

void Press(QWidget* box, Qt::MouseButton button, QPointF at, Qt::MouseButtons held, Qt::KeyboardModifiers modifiers) {
    Send(box, QEvent::MouseButtonPress, button, held | button, at, modifiers);
}
void Move(QWidget* box, Qt::MouseButtons held, QPointF at) { Send(box, QEvent::MouseMove, Qt::NoButton, held, at); }
void Release(QWidget* box, Qt::MouseButton button, QPointF at, Qt::MouseButtons held) {
    Send(box, QEvent::MouseButtonRelease, button, held & ~Qt::MouseButtons(button), at);
}
void Click(QWidget* box, Qt::MouseButton button, QPointF at, Qt::KeyboardModifiers modifiers) {
    Press(box, button, at, {}, modifiers);
    Release(box, button, at);
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(5);
    }
    return true;
}

void EditorTest::SetUp() {
    romPath = dir.File("game.gb");
    WriteFile(romPath, rom);
}

void EditorTest::TearDown() {
    if (program) Form().hide();
}

void EditorTest::Start(const std::string& path) {
    script.AnswerOpenFile(path);
    program = std::make_unique<modMain>();
    ASSERT_TRUE(program->Main());
    ASSERT_TRUE(Form().isVisible());
}

void EditorTest::PickTile(int column, int row) { Click(Form().pbxTileset, Qt::LeftButton, Cell(column, row)); }

void EditorTest::PickTilesetBlock(QPoint a, QPoint b) {
    PictureBox* box = Form().pbxTileset;
    Press(box, Qt::RightButton, Cell(a.x(), a.y()));
    for (int c = a.x(); c <= b.x(); ++c) Move(box, Qt::RightButton, Cell(c, a.y()));
    for (int r = a.y(); r <= b.y(); ++r) Move(box, Qt::RightButton, Cell(b.x(), r));
    Release(box, Qt::RightButton, Cell(b.x(), b.y()));
}

void EditorTest::PickMapBlock(QPoint a, QPoint b) {
    PictureBox* box = Form().pbxMap;
    Press(box, Qt::RightButton, Cell(a.x(), a.y()));
    Move(box, Qt::RightButton, Cell(b.x(), b.y()));
    Release(box, Qt::RightButton, Cell(b.x(), b.y()));
}

QImage EditorTest::Shown(QWidget* box) {
    QApplication::processEvents();
    const QPoint at = box->mapTo(box->window(), QPoint(0, 0));
    QWidget* window = box->window();
    return window->screen()
        ->grabWindow(window->winId(), at.x(), at.y(), box->width(), box->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QImage EditorTest::ViewScreen() {
    const frmMapView* view = Form().MapView();
    return view ? Shown(view->Canvas()).copy(QRect(QPoint(0, 0), view->Canvas()->visibleRegion().boundingRect().size()))
                : QImage();
}

void EditorTest::WindowSystemRepaint() {
    Form().hide();
    Form().show();
    QApplication::processEvents();
}

void EditorTest::StampOneTile() {
    PickTile(1, 1);
    Click(Form().pbxMap, Qt::LeftButton, Cell(4, 4));
    ASSERT_TRUE(program->MapModified);
}

RomImage EditorTest::WithStamp(RomImage image) {
    image[0x37000 + 4 * 32 + 4] = EncodeCell(1, 1);  // map 0's bytes start at 0x37000
    return image;
}

void EditorTest::ClickLoadMap(int index) {
    Form().cboMap->setCurrentIndex(index);
    Form().cmdLoadMap->click();
}

} // namespace q2::test

namespace q2::test {

void EditorTest::Key(const QKeySequence& keys) {
    Form().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&Form()));
    QTest::keySequence(&Form(), keys);
}

} // namespace q2::test
