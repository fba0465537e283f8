#include "platform/message_box.h"

#include <QMessageBox>
#include <QString>

#include "platform/window.h"

namespace etalon::platform {

int messageBox(Window* owner, std::string_view text, std::string_view caption, BoxIcon icon) {
    if (owner && owner->isClosing()) return kBoxOk;
    QMessageBox box;
    box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
        case BoxIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case BoxIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    box.exec();
    return kBoxOk;
}

bool askYesNo(Window* owner, std::string_view text, std::string_view caption) {
    if (owner && owner->isClosing()) return false;
    QMessageBox box;
    box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace etalon::platform
