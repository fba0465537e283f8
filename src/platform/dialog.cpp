#include "platform/dialog.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <map>

#include "platform/qt_dialog.h"
#include "platform/qt_fonts.h"
#include "platform/window.h"

namespace etalon::platform {
namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// The live dialog as its procedure sees it.
class TemplateDialog::Context final : public DialogContext {
  public:
    explicit Context(QDialog& dialog) : dialog_(dialog) {}

    std::string text(int id) const override {
        QWidget* w = find(id);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
        return {};
    }
    void setText(int id, std::string_view text) override {
        QWidget* w = find(id);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(toQString(text));
        if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(toQString(text));
        if (auto* label = qobject_cast<QLabel*>(w)) label->setText(toQString(text));
    }
    bool isChecked(int id) const override {
        auto* button = qobject_cast<QAbstractButton*>(find(id));
        return button && button->isChecked();
    }
    void setChecked(int id, bool checked) override {
        if (auto* button = qobject_cast<QAbstractButton*>(find(id))) button->setChecked(checked);
    }
    void showMessage(std::string_view text, std::string_view caption) override {
        QMessageBox box(&dialog_);
        box.setText(toQString(text));
        box.setWindowTitle(toQString(caption));
        box.setStandardButtons(QMessageBox::Ok);
        box.setIcon(QMessageBox::Warning);
        box.exec();
    }
    void end(int result) override {
        ended_ = true;
        result_ = result;
        dialog_.done(result);
    }
    // Whether the procedure ended the dialog already, and with what.
    bool ended() const { return ended_; }
    int result() const { return result_; }

    void add(int id, QWidget* widget) { controls_[id] = widget; }

  private:
    QWidget* find(int id) const {
        const auto it = controls_.find(id);
        return it == controls_.end() ? nullptr : it->second;
    }

    QDialog& dialog_;
    std::map<int, QWidget*> controls_;
    bool ended_ = false;
    int result_ = 0;
};

namespace {

QWidget* makeControl(const DialogControl& control, QDialog& dialog) {
    const QString text = toQString(control.text);
    switch (control.kind) {
        case ControlKind::Edit:
            return new QLineEdit(text, &dialog);
        case ControlKind::CheckBox:
            return new QCheckBox(text, &dialog);
        case ControlKind::RadioButton: {
            // Procedures set radio groups themselves, as they do on the classic system.
            auto* radio = new QRadioButton(text, &dialog);
            radio->setAutoExclusive(false);
            return radio;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(text, &dialog);
        case ControlKind::Button:
        case ControlKind::DefaultButton: {
            auto* button = new QPushButton(text, &dialog);
            button->setDefault(control.kind == ControlKind::DefaultButton);
            button->setAutoDefault(false);
            return button;
        }
        case ControlKind::RightLabel: {
            auto* label = new QLabel(text, &dialog);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return label;
        }
        default:
            return new QLabel(text, &dialog);
    }
}

}  // namespace

namespace {

// The window system's horizontal dialog base unit: the mean width of the 52
// Latin letters, rounded. The font's own average width is that of 'x' and
// narrower, so labels would be cut.
int32_t dialogBaseWidth(const QFontMetrics& metrics) {
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (width / 26 + 1) / 2;
}

}  // namespace

Rect dialogUnitsToPixels(const Rect& units, int32_t aveCharWidth, int32_t charHeight,
                         int32_t widthPercent) {
    const int32_t perFourUnits = aveCharWidth * widthPercent;
    return {units.left * perFourUnits / 400, units.top * charHeight / 8,
            units.right * perFourUnits / 400, units.bottom * charHeight / 8};
}

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate,
                               const DialogProcedure& procedure)
    : context_(std::make_unique<Context>(*this)) {
    setWindowTitle(toQString(dialogTemplate.caption));
    // Controls and sizes both follow the text font.
    const QFont& font = qtFont(FontKind::Text);
    setFont(font);
    const QFontMetrics metrics(font);
    const int32_t baseWidth = dialogBaseWidth(metrics);
    const auto toPixels = [&](const Rect& units) {
        return dialogUnitsToPixels(units, baseWidth, metrics.height(), kDialogWidthPercent);
    };
    const Rect size = toPixels(dialogTemplate.units);
    setFixedSize(size.right, size.bottom);

    for (const DialogControl& control : dialogTemplate.controls) {
        QWidget* widget = makeControl(control, *this);
        const Rect r = toPixels(control.units);
        widget->setGeometry(r.left, r.top, r.right, r.bottom);
        widget->setEnabled(!control.disabled);
        context_->add(control.id, widget);
        controls_.push_back(widget);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            const int id = control.id;
            QObject::connect(button, &QAbstractButton::clicked, this, [this, procedure, id] {
                if (!procedure(*context_, DialogEvent::Command, id) &&
                    (id == kIdOk || id == kIdCancel)) {
                    done(id);
                }
            });
        }
    }
    // Group boxes are drawn behind the controls they frame.
    for (QGroupBox* box : findChildren<QGroupBox*>())
        box->lower();
    procedure(*context_, DialogEvent::Init, 0);
}

TemplateDialog::~TemplateDialog() = default;

bool TemplateDialog::endedAtStart() const {
    return context_->ended();
}
int TemplateDialog::endResult() const {
    return context_->result();
}

int runModalDialog(Window* owner, const DialogTemplate& dialogTemplate,
                   const DialogProcedure& procedure) {
    if (owner && owner->isClosing()) return kIdCancel;
    TemplateDialog dialog(dialogTemplate, procedure);
    // A dialog its procedure ends while starting up is never shown.
    if (dialog.endedAtStart()) return dialog.endResult();
    const int result = dialog.exec();
    return result == QDialog::Rejected ? kIdCancel : result;
}

std::optional<std::string> saveAsDialog(Window*, std::string_view caption,
                                        std::string_view filter) {
    const QString path =
        QFileDialog::getSaveFileName(nullptr, toQString(caption), QString(), toQString(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<SaveAsChoice> saveAsDialog(Window*, std::string_view caption,
                                         const std::vector<std::string>& filters) {
    QStringList list;
    for (const std::string& f : filters)
        list << QString::fromStdString(f);
    QString selected = list.isEmpty() ? QString() : list.first();
    const QString path = QFileDialog::getSaveFileName(nullptr, toQString(caption), QString(),
                                                      list.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty()) return std::nullopt;
    const qsizetype index = list.indexOf(selected);
    return SaveAsChoice{path.toStdString(), index < 0 ? 0 : static_cast<std::size_t>(index)};
}

std::optional<std::string> openFileDialog(Window*, std::string_view caption,
                                          const std::vector<std::string>& filters) {
    QStringList list;
    for (const std::string& f : filters)
        list << QString::fromStdString(f);
    const QString path = QFileDialog::getOpenFileName(nullptr, toQString(caption), QString(),
                                                      list.join(QStringLiteral(";;")));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

}  // namespace etalon::platform
