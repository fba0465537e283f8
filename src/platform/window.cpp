#include "platform/window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <utility>

#include "platform/virtual_keys.h"

namespace etalon::platform {
namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

unsigned mouseKeys(const QMouseEvent* event) {
    unsigned keys = 0;
    if (event->buttons() & Qt::LeftButton) keys |= kMouseLeft;
    if (event->buttons() & Qt::RightButton) keys |= kMouseRight;
    if (event->modifiers() & Qt::ShiftModifier) keys |= kMouseShift;
    if (event->modifiers() & Qt::ControlModifier) keys |= kMouseControl;
    return keys;
}

// A menu-bar title opens with Alt and its first letter, as on the classic
// system; the marker exists only in Qt's copy of the text.
QString withMnemonic(const std::string& text) {
    QString shown = toQString(text);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i].isLetter()) {
            shown.insert(i, QLatin1Char('&'));
            break;
        }
    }
    return shown;
}

std::string withoutMnemonic(const QString& shown) {
    QString text;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == QLatin1Char('&') && i + 1 < shown.size()) ++i;
        text.append(shown[i]);
    }
    return text.toStdString();
}

Qt::CursorShape toQt(CursorShape shape) {
    switch (shape) {
        case CursorShape::SizeNS:
            return Qt::SizeVerCursor;
        case CursorShape::SizeNWSE:
            return Qt::SizeFDiagCursor;
        default:
            return Qt::ArrowCursor;
    }
}

class ClientWidget;
class MainWidget;

}  // namespace

struct Window::Impl {
    Window* owner = nullptr;
    WindowProcedure& procedure;
    MainWidget* main = nullptr;  // owned through mainHolder
    std::unique_ptr<QMainWindow> mainHolder;
    ClientWidget* client = nullptr;
    Surface surface;
    std::vector<Rect> invalid;
    bool eraseInvalid = false;
    bool destroyed = false;
    bool painting = false;
    // Handlers (commands, keys, mouse) running now, nested ones included. A
    // close that comes meanwhile waits for the outermost to return, so nothing
    // is freed under a handler or the work it waits for.
    int handlersRunning = 0;
    bool closeRequested = false;
    bool inputBlocked = false;
    std::function<void()> cancelRunningWork;
    CursorShape cursor = CursorShape::Arrow;
    std::map<uint16_t, QAction*> actions;
    std::map<uint16_t, bool> checked;
    std::map<uint16_t, QLineEdit*> edits;

    explicit Impl(WindowProcedure& p) : procedure(p) {}

    void destroy() {
        if (destroyed) return;
        destroyed = true;
        procedure.onDestroy(*owner);
    }

    // Closes now when no handler runs; otherwise stops the running work,
    // closes the modal windows it waits in and leaves the rest to handle().
    // Returns whether the window is gone.
    bool requestClose() {
        if (handlersRunning == 0) {
            destroy();
            return true;
        }
        closeRequested = true;
        if (cancelRunningWork) cancelRunningWork();
        QWidget* tried = nullptr;
        while (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal == tried || !modal->close()) break;
            tried = modal;
        }
        return false;
    }

    // Brackets one handler call; a close requested meanwhile happens once
    // the outermost one has returned.
    template <typename Call>
    void handle(Call&& call) {
        ++handlersRunning;
        call();
        if (--handlersRunning > 0 || !closeRequested) return;
        destroy();
        mainHolder->hide();
    }

    void paintInvalid() {
        if (invalid.empty() || painting || destroyed) return;
        painting = true;
        // Like BeginPaint: the region is validated before the handler runs, so
        // anything it invalidates waits for the next paint.
        std::vector<Rect> region = std::move(invalid);
        invalid.clear();
        const bool erase = std::exchange(eraseInvalid, false);
        if (erase) {
            for (const Rect& r : region)
                surface.fillRect(r, kWhite);
        }
        DeviceContext dc(surface, region);
        procedure.onPaint(*owner, dc);
        painting = false;
    }

    void addMenu(QWidget* parent, QMenu* menu, const std::vector<MenuEntry>& entries);
};

namespace {

class ClientWidget final : public QWidget {
  public:
    ClientWidget(Window::Impl& impl, QWidget* parent) : QWidget(parent), impl_(impl) {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        impl_.paintInvalid();
        const Surface& s = impl_.surface;
        if (s.width() == 0 || s.height() == 0) return;
        const QImage image(reinterpret_cast<const uchar*>(s.data()), s.width(), s.height(),
                           s.bytesPerLine(), QImage::Format_RGB32);
        QPainter painter(this);
        painter.drawImage(0, 0, image);
    }
    void resizeEvent(QResizeEvent*) override {
        impl_.surface.resize(width(), height());
        impl_.owner->invalidateAll(true);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (impl_.destroyed || impl_.closeRequested || impl_.inputBlocked) return;
        impl_.handle([&] { impl_.procedure.onKeyDown(*impl_.owner, virtualKey(event)); });
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        deliverMouse(event, &WindowProcedure::onMouseDown);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        deliverMouse(event, &WindowProcedure::onMouseMove);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        deliverMouse(event, &WindowProcedure::onMouseUp);
    }
    void wheelEvent(QWheelEvent* event) override {
        if (impl_.destroyed || impl_.closeRequested || impl_.inputBlocked) return;
        const QPoint p = event->position().toPoint();
        const bool control = event->modifiers() & Qt::ControlModifier;
        impl_.handle([&] {
            impl_.procedure.onMouseWheel(*impl_.owner, static_cast<int16_t>(p.x()),
                                         static_cast<int16_t>(p.y()), event->angleDelta().y(),
                                         control ? kMouseControl : 0u);
        });
    }

  private:
    using MouseHandler = void (WindowProcedure::*)(Window&, int16_t, int16_t, unsigned);
    void deliverMouse(QMouseEvent* event, MouseHandler handler) {
        if (impl_.destroyed || impl_.closeRequested || impl_.inputBlocked) return;
        const QPoint p = event->position().toPoint();
        impl_.handle([&] {
            (impl_.procedure.*handler)(*impl_.owner, static_cast<int16_t>(p.x()),
                                       static_cast<int16_t>(p.y()), mouseKeys(event));
        });
    }

    Window::Impl& impl_;
};

class MainWidget final : public QMainWindow {
  public:
    explicit MainWidget(Window::Impl& impl) : impl_(impl) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (impl_.requestClose()) {
            event->accept();
        } else {
            event->ignore();
        }
    }

  private:
    Window::Impl& impl_;
};

}  // namespace

void Window::Impl::addMenu(QWidget* parent, QMenu* menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
            case MenuEntry::Kind::Separator:
                if (menu) menu->addSeparator();
                break;
            case MenuEntry::Kind::Popup: {
                QMenu* popup =
                    menu ? menu->addMenu(toQString(entry.text))
                         : static_cast<QMenuBar*>(parent)->addMenu(withMnemonic(entry.text));
                addMenu(parent, popup, entry.entries);
                break;
            }
            case MenuEntry::Kind::Item: {
                QAction* action =
                    menu ? menu->addAction(toQString(entry.text))
                         : static_cast<QMenuBar*>(parent)->addAction(toQString(entry.text));
                action->setData(entry.id);
                if (!entry.shortcut.empty()) {
                    // Shown in the menu; bound only while the menu has the
                    // focus, so elsewhere the key reaches the procedure.
                    action->setShortcut(QKeySequence(toQString(entry.shortcut)));
                    action->setShortcutContext(Qt::WidgetShortcut);
                }
                const uint16_t id = entry.id;
                QObject::connect(action, &QAction::triggered, action, [this, action, id] {
                    // Qt flips a checkable action itself; the handler alone decides.
                    action->setChecked(checked[id]);
                    if (!inputBlocked) owner->sendCommand(id);
                });
                actions[id] = action;
                break;
            }
        }
    }
}

Window::Window(WindowProcedure& procedure) : impl_(std::make_unique<Impl>(procedure)) {
    impl_->owner = this;
}

Window::~Window() {
    // The widgets go before the state they call back into.
    impl_->mainHolder.reset();
}

std::unique_ptr<Window> Window::create(WindowProcedure& procedure, std::string_view title,
                                       const std::vector<MenuEntry>& menu) {
    std::unique_ptr<Window> window(new Window(procedure));
    Impl& impl = *window->impl_;
    auto* main = new MainWidget(impl);
    impl.mainHolder.reset(main);
    impl.main = main;
    main->setWindowTitle(toQString(title));
    impl.client = new ClientWidget(impl, main);
    main->setCentralWidget(impl.client);
    impl.addMenu(main->menuBar(), nullptr, menu);
    if (!procedure.onCreate(*window)) {
        impl.destroyed = true;  // a refused window gets no destroy message
        return nullptr;
    }
    return window;
}

void Window::showMaximized() {
    // Without a window manager the maximized state is only a flag, so the
    // window is also given the screen's whole available area.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        impl_->main->setGeometry(screen->availableGeometry());
    }
    impl_->main->showMaximized();
}

void Window::resizeClient(int32_t width, int32_t height) {
    // The frame is laid out first and sized around the client, so that a
    // later layout pass (a child drawn before the window is shown) keeps it.
    QMainWindow& main = *impl_->mainHolder;
    main.layout()->activate();
    main.resize(width + main.width() - impl_->client->width(),
                height + main.height() - impl_->client->height());
    main.layout()->activate();
    impl_->client->resize(width, height);
    if (impl_->surface.width() != width || impl_->surface.height() != height) {
        impl_->surface.resize(width, height);
        invalidateAll(true);
    }
}

std::string Window::title() const {
    return impl_->main->windowTitle().toStdString();
}
bool Window::isMaximized() const {
    return impl_->main->isMaximized();
}

Rect Window::clientRect() const {
    return {0, 0, impl_->surface.width(), impl_->surface.height()};
}
Surface& Window::surface() {
    return impl_->surface;
}

void Window::sendCommand(uint16_t id) {
    if (impl_->destroyed) return;
    impl_->handle([&] { impl_->procedure.onCommand(*this, id); });
}

void Window::close() {
    if (impl_->requestClose()) impl_->main->hide();
}

bool Window::isDestroyed() const {
    return impl_->destroyed;
}

bool Window::isClosing() const {
    return impl_->destroyed || impl_->closeRequested;
}

void Window::setRunningWorkCancel(std::function<void()> cancel) {
    impl_->cancelRunningWork = std::move(cancel);
}

void Window::blockInput(bool blocked) {
    impl_->inputBlocked = blocked;
    impl_->main->menuBar()->setEnabled(!blocked);
}

QWidget* Window::dialogParent() const {
    return impl_->main;
}

void Window::invalidate(const Rect* rect, bool erase) {
    const Rect client = clientRect();
    Rect r = rect ? *rect : client;
    r.left = std::max(r.left, client.left);
    r.top = std::max(r.top, client.top);
    r.right = std::min(r.right, client.right);
    r.bottom = std::min(r.bottom, client.bottom);
    if (erase) impl_->eraseInvalid = true;
    if (r.left >= r.right || r.top >= r.bottom) return;
    // Keep the region short: rectangles inside others add nothing.
    const auto inside = [](const Rect& a, const Rect& b) {
        return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
    };
    std::vector<Rect>& region = impl_->invalid;
    if (std::none_of(region.begin(), region.end(),
                     [&](const Rect& old) { return inside(r, old); })) {
        std::erase_if(region, [&](const Rect& old) { return inside(old, r); });
        region.push_back(r);
    }
    impl_->client->update(r.left, r.top, r.width(), r.height());
}

void Window::paint() {
    impl_->paintInvalid();
    impl_->client->update();
}

void Window::checkMenuItem(uint16_t id, bool checked) {
    const auto it = impl_->actions.find(id);
    if (it == impl_->actions.end()) return;
    impl_->checked[id] = checked;
    if (checked) it->second->setCheckable(true);
    it->second->setChecked(checked);
}

void Window::enableMenuItem(uint16_t id, bool enabled) {
    const auto it = impl_->actions.find(id);
    if (it != impl_->actions.end()) it->second->setEnabled(enabled);
}

bool Window::isMenuItemEnabled(uint16_t id) const {
    const auto it = impl_->actions.find(id);
    return it != impl_->actions.end() && it->second->isEnabled();
}

bool Window::isMenuItemChecked(uint16_t id) const {
    const auto it = impl_->actions.find(id);
    return it != impl_->actions.end() && it->second->isChecked();
}

namespace {

std::vector<MenuEntry> readMenu(const QList<QAction*>& actions) {
    std::vector<MenuEntry> entries;
    for (QAction* action : actions) {
        if (action->isSeparator()) {
            entries.push_back(MenuEntry::separator());
        } else if (action->menu()) {
            entries.push_back(MenuEntry::popup(withoutMnemonic(action->text()),
                                               readMenu(action->menu()->actions())));
        } else {
            entries.push_back(MenuEntry::item(static_cast<uint16_t>(action->data().toUInt()),
                                              action->text().toStdString(),
                                              action->shortcut().toString().toStdString()));
        }
    }
    return entries;
}

}  // namespace

std::vector<MenuEntry> Window::menu() const {
    return readMenu(impl_->main->menuBar()->actions());
}

bool Window::menuItemText(uint16_t id, std::string& text) const {
    const auto it = impl_->actions.find(id);
    if (it == impl_->actions.end()) return false;
    text = it->second->text().toStdString();
    return true;
}

void Window::chooseMenuItem(uint16_t id) {
    const auto it = impl_->actions.find(id);
    if (it != impl_->actions.end()) it->second->trigger();
}

void Window::setCapture() {
    impl_->client->grabMouse();
}
void Window::releaseCapture() {
    impl_->client->releaseMouse();
}
bool Window::hasCapture() const {
    return QWidget::mouseGrabber() == impl_->client;
}

CursorShape Window::setCursor(CursorShape shape) {
    impl_->client->setCursor(toQt(shape));
    return std::exchange(impl_->cursor, shape);
}

void Window::createEditControl(uint16_t id, std::string_view text, int32_t x, int32_t y,
                               int32_t width, int32_t height) {
    auto* edit = new QLineEdit(toQString(text), impl_->client);
    edit->setFrame(true);
    edit->setGeometry(x, y, width, height);
    edit->show();
    impl_->edits[id] = edit;
}

bool Window::hasEditControl(uint16_t id) const {
    return impl_->edits.count(id) != 0;
}

void Window::moveEditControl(uint16_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                             bool repaint) {
    const auto it = impl_->edits.find(id);
    if (it == impl_->edits.end()) return;
    it->second->setGeometry(x, y, width, height);
    if (repaint) it->second->update();
}

Rect Window::editControlRect(uint16_t id) const {
    const auto it = impl_->edits.find(id);
    if (it == impl_->edits.end()) return {};
    const QRect g = it->second->geometry();
    return {g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
}

std::string Window::editText(uint16_t id) const {
    const auto it = impl_->edits.find(id);
    return it == impl_->edits.end() ? std::string() : it->second->text().toStdString();
}

Surface Window::grabClientArea() {
    Surface grabbed = impl_->surface;
    // The surface's pixels are 0xffRRGGBB, as RGB32 keeps them.
    QImage image(reinterpret_cast<uchar*>(grabbed.data()), grabbed.width(), grabbed.height(),
                 grabbed.bytesPerLine(), QImage::Format_RGB32);
    QPainter painter(&image);
    // Each child that shows, drawn by the window system over the surface.
    for (const auto& [id, edit] : impl_->edits) {
        if (edit->isHidden() || edit->width() <= 0 || edit->height() <= 0) continue;
        edit->render(&painter, edit->pos());
    }
    return grabbed;
}

void Window::drawChildControls(DeviceContext& dc) const {
    // The frame colour of the window system's edit boxes.
    constexpr Color kEditFrame{122, 122, 122};
    constexpr int32_t kTextInset = 3;
    for (const auto& [id, edit] : impl_->edits) {
        const QRect g = edit->geometry();
        if (edit->isHidden() || g.width() <= 0 || g.height() <= 0) continue;
        const Rect box{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
        {
            PenGuard pen(dc, kEditFrame);
            BrushGuard brush(dc, kWhite);
            dc.rectangle(box.left, box.top, box.right, box.bottom);
        }
        FontGuard font(dc, FontKind::Text);
        ClipGuard clip(dc, {box.left + 1, box.top + 1, box.right - 1, box.bottom - 1});
        const int32_t textHeight = dc.textMetrics().height;
        dc.textOut(box.left + kTextInset, box.top + (g.height() - textHeight) / 2,
                   edit->text().toStdString());
    }
}

void Window::setEditText(uint16_t id, std::string_view text) {
    const auto it = impl_->edits.find(id);
    if (it != impl_->edits.end()) it->second->setText(toQString(text));
}

int runMessageLoop() {
    return QApplication::exec();
}

void postQuitMessage(int code) {
    QCoreApplication::exit(code);
}

}  // namespace etalon::platform
