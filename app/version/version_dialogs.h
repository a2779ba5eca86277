// The version check's message boxes, modal on the window thread.
#pragma once

#include <functional>
#include <string>

#include "version_check.h"

class QWidget;

namespace dialdeck {

class VersionDialogs : public version_prompts {
  public:
    using opener = std::function<void(const std::string& url)>;
    // The opener shows web pages; the default hands them to the desktop.
    explicit VersionDialogs(QWidget* parent = nullptr, opener open = {});

    void error(const std::string& caption, const std::string& text) override;
    void inform(const std::string& text) override;
    bool ask(const std::string& caption, const std::string& text) override;
    void open_url(const std::string& url) override;

  private:
    QWidget* m_parent;
    opener m_open;
};

}  // namespace dialdeck
