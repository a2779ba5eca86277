// The adapter selection dialog: a prompt, a drop-down of the adapters (the
// first pre-selected) and one button. Opened window-modal with open(), so
// nothing waits for it.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include "network/adapter_detection.h"

namespace kestrel {

class adapter_dialog : public adapter_prompt {
  public:
    explicit adapter_dialog(QWidget* parent) : m_parent(parent) {}
    ~adapter_dialog() override;

    void ask(const adapter_prompt_texts& texts, const std::vector<std::string>& labels,
             std::function<void(int)> done) override;

    // The open dialog, for tests and tools.
    QDialog* current() const { return m_dialog; }

  private:
    QPointer<QWidget> m_parent;
    QPointer<QDialog> m_dialog;
};

}  // namespace kestrel
