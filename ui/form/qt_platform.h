// The desktop's side of the Calculate command, on Qt.
#pragma once

#include "ui/form/calculate_command.h"

class QWidget;

namespace korvex {

class QtPulsePlatform : public PulsePlatform {
  public:
    // Dialogs and message boxes are shown over `parent` once it is set.
    void setParent(QWidget* parent) { m_parent = parent; }

    void messageBox(const std::string& text) override;
    std::optional<std::string> askSaveFileName() override;
    std::unique_ptr<OutputFile> openOutputFile(const std::string& path) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;

  private:
    QWidget* m_parent = nullptr;
};

}  // namespace korvex
