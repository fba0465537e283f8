#pragma once

// Qt side of the template dialogs; for the platform layer's own sources and
// for tests that look at a dialog as it is laid out.

#include <QDialog>
#include <memory>
#include <vector>

#include "platform/dialog.h"

namespace etalon::platform {

// A template turned into a dialog: controls made and placed, buttons wired to
// the procedure, which has been started (Init) already.
class TemplateDialog final : public QDialog {
  public:
    TemplateDialog(const DialogTemplate& dialogTemplate, const DialogProcedure& procedure);
    ~TemplateDialog() override;

    // The widgets in the order of the template's controls.
    const std::vector<QWidget*>& controls() const { return controls_; }
    // Whether the procedure ended the dialog while starting, and with what.
    bool endedAtStart() const;
    int endResult() const;

  private:
    class Context;
    std::unique_ptr<Context> context_;
    std::vector<QWidget*> controls_;
};

}  // namespace etalon::platform
