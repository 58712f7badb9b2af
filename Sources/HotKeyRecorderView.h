// The focusable box that captures a new shortcut.
#pragma once

#include <functional>
#include <memory>

#include "HotKey.h"
#include "platform/Views.h"

namespace dusk {

class HotKeyRecorderView final : public platform::View {
public:
    explicit HotKeyRecorderView(platform::Rect frame);

    std::function<void(HotKey)> onRecord;
    std::function<void()> onCancel;

    bool acceptsFirstResponder() const override { return true; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void mouseDown(const platform::Event& event) override;
    void updateLayer() override;
    void flagsChanged(const platform::Event& event) override;
    void keyDown(const platform::Event& event) override;

private:
    bool isFocused() const;
    void refresh();

    std::shared_ptr<platform::TextField> label_;
    ModifierFlags liveModifiers_ = 0;
};

}  // namespace dusk
