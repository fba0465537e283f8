#include "platform/window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>

#include <vector>

#include "platform/dialog.h"
#include "support/pixels.h"

namespace etalon::platform {
namespace {

// Paints a filled square where asked and records every message.
class RecordingProcedure : public WindowProcedure {
  public:
    bool acceptCreate = true;
    int creates = 0, destroys = 0, paints = 0;
    std::vector<uint16_t> commands;
    std::vector<int> keys;
    Color ink = kBlack;
    Rect square{0, 0, 0, 0};
    std::vector<Rect> lastClip;
    Window* nestedTarget = nullptr;

    bool onCreate(Window&) override {
        ++creates;
        return acceptCreate;
    }
    void onDestroy(Window&) override { ++destroys; }
    void onPaint(Window&, DeviceContext& dc) override {
        ++paints;
        lastClip = dc.clip();
        PenGuard pen(dc, ink);
        BrushGuard brush(dc, ink);
        dc.rectangle(square.left, square.top, square.right, square.bottom);
    }
    void onKeyDown(Window&, int key) override { keys.push_back(key); }
    void onCommand(Window& window, uint16_t id) override {
        commands.push_back(id);
        // Nested commands run before the outer one returns.
        if (id == 1) window.sendCommand(2);
    }
    void onMouseMove(Window&, int16_t x, int16_t y, unsigned k) override {
        mouse.push_back({'m', x, y, k});
    }
    void onMouseDown(Window&, int16_t x, int16_t y, unsigned k) override {
        mouse.push_back({'d', x, y, k});
    }
    void onMouseUp(Window&, int16_t x, int16_t y, unsigned k) override {
        mouse.push_back({'u', x, y, k});
    }

    struct MouseEvent {
        char kind;
        int16_t x, y;
        unsigned keys;
        bool operator==(const MouseEvent&) const = default;
    };
    std::vector<MouseEvent> mouse;
};

// The client area of the window with that title, as Qt knows it.
QWidget* clientOf(std::string_view title) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* main = qobject_cast<QMainWindow*>(w);
        if (main && main->windowTitle() == QString::fromUtf8(title.data(), title.size())) {
            return main->centralWidget();
        }
    }
    return nullptr;
}

void sendMouse(QWidget* widget, QEvent::Type type, int x, int y, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(x, y), widget->mapToGlobal(QPointF(x, y)), button, buttons,
                      Qt::ShiftModifier);
    QCoreApplication::sendEvent(widget, &event);
}

std::vector<MenuEntry> smallMenu() {
    return {MenuEntry::popup(" File", {MenuEntry::item(10, " Open "), MenuEntry::separator(),
                                       MenuEntry::item(11, " Exit")})};
}

TEST(Window, CreationCanBeRefused) {
    RecordingProcedure procedure;
    procedure.acceptCreate = false;
    EXPECT_EQ(Window::create(procedure, "T", smallMenu()), nullptr);
    EXPECT_EQ(procedure.creates, 1);
    EXPECT_EQ(procedure.destroys, 0);
}

TEST(Window, MenuKeepsTextsIdsSeparatorsAndCheckMarks) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "Title", smallMenu());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), "Title");
    const auto menu = window->menu();
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].text, " File");
    ASSERT_EQ(menu[0].entries.size(), 3u);
    EXPECT_EQ(menu[0].entries[0].id, 10);
    EXPECT_EQ(menu[0].entries[0].text, " Open ");
    EXPECT_EQ(menu[0].entries[1].kind, MenuEntry::Kind::Separator);

    EXPECT_FALSE(window->isMenuItemChecked(10));
    window->checkMenuItem(10, true);
    EXPECT_TRUE(window->isMenuItemChecked(10));
    window->checkMenuItem(10, false);
    EXPECT_FALSE(window->isMenuItemChecked(10));
}

TEST(Window, CommandsRunSynchronouslyAndNested) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "T", smallMenu());
    window->sendCommand(1);
    EXPECT_EQ(procedure.commands, (std::vector<uint16_t>{1, 2}));
}

TEST(Window, PaintIsClippedToTheInvalidRectangle) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "T", smallMenu());
    window->resizeClient(100, 80);
    window->paint();
    EXPECT_EQ(procedure.paints, 1);
    EXPECT_TRUE(test::inkOf(window->surface()).empty());

    procedure.square = {0, 0, 100, 80};
    const Rect part{10, 20, 30, 25};
    window->invalidate(&part, false);
    window->paint();
    EXPECT_EQ(procedure.lastClip, std::vector<Rect>{part});
    EXPECT_EQ(test::inkOf(window->surface()).size(), 20u * 5);
    window->paint();  // nothing invalid: no paint
    EXPECT_EQ(procedure.paints, 2);

    const Rect inner{12, 21, 20, 24}, other{50, 50, 60, 60}, outer{5, 15, 35, 30};
    window->invalidate(&inner, false);
    window->invalidate(&other, false);
    window->invalidate(&outer, false);
    window->invalidate(&part, false);
    window->paint();
    EXPECT_EQ(procedure.lastClip, (std::vector<Rect>{other, outer}));
}

TEST(Window, PaintWithoutEraseDrawsOverTheOldPicture) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "T", smallMenu());
    window->resizeClient(50, 50);
    procedure.square = {0, 0, 10, 10};
    window->paint();
    procedure.square = {20, 20, 30, 30};
    window->invalidateAll(false);
    window->paint();
    EXPECT_EQ(window->surface().pixel(5, 5), kBlack);  // old picture kept
    EXPECT_EQ(window->surface().pixel(25, 25), kBlack);

    window->invalidateAll(true);
    window->paint();
    EXPECT_EQ(window->surface().pixel(5, 5), kWhite);  // erased first
    EXPECT_EQ(window->surface().pixel(25, 25), kBlack);
}

TEST(Window, CloseDestroysOnce) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "T", smallMenu());
    window->close();
    window->close();
    EXPECT_TRUE(window->isDestroyed());
    EXPECT_EQ(procedure.destroys, 1);
    window->sendCommand(5);  // a destroyed window handles nothing
    EXPECT_TRUE(procedure.commands.empty());
}

TEST(Window, EditControlCursorAndCapture) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "T", smallMenu());
    window->createEditControl(225, "Tmin Text", 0, 0, 0, 0);
    ASSERT_TRUE(window->hasEditControl(225));
    EXPECT_EQ(window->editText(225), "Tmin Text");
    EXPECT_EQ(window->editControlRect(225), (Rect{0, 0, 0, 0}));
    window->moveEditControl(225, 5, 6, 40, 20, true);
    EXPECT_EQ(window->editControlRect(225), (Rect{5, 6, 45, 26}));
    window->setEditText(225, "42");
    EXPECT_EQ(window->editText(225), "42");

    EXPECT_EQ(window->setCursor(CursorShape::SizeNS), CursorShape::Arrow);
    EXPECT_EQ(window->setCursor(CursorShape::Arrow), CursorShape::SizeNS);
}

TEST(Window, DeliversMouseAndKeys) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "Mouse", smallMenu());
    window->resizeClient(200, 100);
    QWidget* client = clientOf("Mouse");
    ASSERT_NE(client, nullptr);
    sendMouse(client, QEvent::MouseButtonPress, 12, 34, Qt::LeftButton, Qt::LeftButton);
    sendMouse(client, QEvent::MouseMove, 15, 36, Qt::NoButton, Qt::LeftButton);
    sendMouse(client, QEvent::MouseButtonRelease, 16, 37, Qt::LeftButton, Qt::NoButton);
    sendMouse(client, QEvent::MouseButtonPress, 1, 1, Qt::RightButton, Qt::RightButton);
    using E = RecordingProcedure::MouseEvent;
    EXPECT_EQ(procedure.mouse, (std::vector<E>{{'d', 12, 34, kMouseLeft | kMouseShift},
                                               {'m', 15, 36, kMouseLeft | kMouseShift},
                                               {'u', 16, 37, kMouseShift}}));

    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QCoreApplication::sendEvent(client, &key);
    QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    QCoreApplication::sendEvent(client, &shift);
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QCoreApplication::sendEvent(client, &f5);
    EXPECT_EQ(procedure.keys, (std::vector<int>{'A', 0xff, 0x74}));
}

TEST(Window, MenuTitlesOpenWithAltAndTheirFirstLetter) {
    RecordingProcedure procedure;
    const std::vector<MenuEntry> menu = {
        MenuEntry::popup(" File", {MenuEntry::item(1, " Save & go")}),
        MenuEntry::popup(" Else One", {MenuEntry::item(2, " Exit")})};
    auto window = Window::create(procedure, "Keys", menu);
    QWidget* client = clientOf("Keys");
    ASSERT_NE(client, nullptr);
    const auto* main = qobject_cast<QMainWindow*>(client->window());
    std::vector<QKeySequence> keys;
    for (QAction* action : main->menuBar()->actions())
        keys.push_back(QKeySequence::mnemonic(action->text()));
    EXPECT_EQ(keys, (std::vector<QKeySequence>{QKeySequence(Qt::ALT | Qt::Key_F),
                                               QKeySequence(Qt::ALT | Qt::Key_E)}));
    // The texts themselves stay as given.
    std::vector<std::string> titles;
    for (const MenuEntry& e : window->menu())
        titles.push_back(e.text);
    EXPECT_EQ(titles, (std::vector<std::string>{" File", " Else One"}));
    std::string item;
    ASSERT_TRUE(window->menuItemText(1, item));
    EXPECT_EQ(item, " Save & go");
}

TEST(Window, ChoosingAMenuItemLeavesItsCheckMarkToTheHandler) {
    RecordingProcedure procedure;
    auto window = Window::create(procedure, "T", smallMenu());
    window->checkMenuItem(10, true);
    window->chooseMenuItem(10);
    window->chooseMenuItem(11);
    EXPECT_EQ(procedure.commands, (std::vector<uint16_t>{10, 11}));
    EXPECT_TRUE(window->isMenuItemChecked(10));
    EXPECT_FALSE(window->isMenuItemChecked(11));
}

TEST(Dialog, UnitsConvertWithTheFontSize) {
    // x * width / 4 and y * height / 8, truncated.
    EXPECT_EQ(dialogUnitsToPixels({13, 59, 70, 10}, 6, 13), (Rect{19, 95, 105, 16}));
}

}  // namespace
}  // namespace etalon::platform

namespace etalon::platform {
namespace {

TEST(Dialog, ProcedureReadsAndWritesControlsThroughItsContext) {
    const DialogTemplate dialog{
        " Parameters ",
        {0, 0, 160, 80},
        {{ControlKind::Label, 100, "Tmin", {5, 5, 40, 10}},
         {ControlKind::Edit, 101, "40", {50, 5, 40, 12}},
         {ControlKind::CheckBox, 102, "frame graph fields", {5, 25, 90, 10}},
         {ControlKind::DefaultButton, kIdOk, "OK", {20, 60, 40, 14}},
         {ControlKind::Button, kIdCancel, "Cancel", {90, 60, 40, 14}}}};
    std::string seen;
    bool checked = false;
    const int result = runModalDialog(nullptr, dialog, [&](DialogContext& c, DialogEvent e, int) {
        if (e != DialogEvent::Init) return false;
        seen = c.text(101);
        c.setText(101, "55");
        c.setChecked(102, true);
        checked = c.isChecked(102);
        seen.append("/").append(c.text(101)).append("/").append(c.text(100));
        c.end(kIdOk);
        return true;
    });
    EXPECT_EQ(result, kIdOk);
    EXPECT_EQ(seen, "40/55/Tmin");
    EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace etalon::platform
