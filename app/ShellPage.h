// What the main window asks of every device page it hosts: preview animation and live lighting.
#pragma once

namespace nk7x {

class ShellPage {
  public:
    virtual ~ShellPage() = default;
    virtual void SetPreview(bool on) = 0;
    virtual void SetLiveLighting(bool on) = 0;
};

} // namespace nk7x
