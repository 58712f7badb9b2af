// Windows and the views inside them: labels, buttons, stack views, layout
// constraints, fonts, named colours, layers and input events.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Foundation.h"

namespace platform {

class View;
class Window;

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
};

struct EdgeInsets {
    double top = 0, left = 0, bottom = 0, right = 0;
};

// Device-independent modifier bits, as the macOS event system numbers them on
// every platform.
using EventModifierFlags = std::uint64_t;

struct Event {
    std::uint16_t keyCode = 0;
    EventModifierFlags modifierFlags = 0;
};

enum class SystemColor {
    ControlBackground,
    ControlAccent,
    Separator,
    SecondaryLabel,
    TertiaryLabel,
};

// A named colour that follows the appearance: it is resolved when it is
// applied, not when it is made.
class Color final {
public:
    static Color controlBackgroundColor() { return Color(SystemColor::ControlBackground); }
    static Color controlAccentColor() { return Color(SystemColor::ControlAccent); }
    static Color separatorColor() { return Color(SystemColor::Separator); }
    static Color secondaryLabelColor() { return Color(SystemColor::SecondaryLabel); }
    static Color tertiaryLabelColor() { return Color(SystemColor::TertiaryLabel); }
    SystemColor name() const { return name_; }
    bool operator==(const Color&) const = default;

private:
    explicit Color(SystemColor name) : name_(name) {}
    SystemColor name_;
};

enum class FontWeight { Regular, Medium };

struct Font {
    double pointSize = 0;
    FontWeight weight = FontWeight::Regular;
    static Font systemFontOfSize(double size, FontWeight weight = FontWeight::Regular) { return {size, weight}; }
    bool operator==(const Font&) const = default;
};

// Values as AppKit numbers them.
enum class LayoutAttribute : int {
    Top = 3,
    Bottom = 4,
    Leading = 5,
    Trailing = 6,
    Width = 7,
    Height = 8,
    CenterX = 9,
    CenterY = 10,
};

struct LayoutConstraint;

// Anchors point at views the view tree owns; they keep nothing alive.
struct LayoutAnchor {
    View* view = nullptr;
    LayoutAttribute attribute = LayoutAttribute::Top;
    LayoutConstraint constraintEqualToAnchor(const LayoutAnchor& other) const;
    LayoutConstraint constraintEqualToConstant(double constant) const;
};

// first = second + constant, or first = constant when there is no second.
struct LayoutConstraint {
    LayoutAnchor first;
    std::optional<LayoutAnchor> second;
    double constant = 0;

    void setActive(bool active) const;
    static void activateConstraints(const std::vector<LayoutConstraint>& constraints);
};

inline LayoutConstraint LayoutAnchor::constraintEqualToAnchor(const LayoutAnchor& other) const {
    return {*this, other, 0};
}
inline LayoutConstraint LayoutAnchor::constraintEqualToConstant(double constant) const {
    return {*this, std::nullopt, constant};
}

class Layer final {
public:
    ~Layer();
    void setCornerRadius(double radius);
    void setBorderWidth(double width);
    void setBackgroundColor(Color color);
    void setBorderColor(Color color);

    struct Impl;
    explicit Layer(std::unique_ptr<Impl> impl);
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

// A view that subclasses may extend: each backend forwards its native events
// to the virtual hooks below.
class View : public std::enable_shared_from_this<View> {
public:
    View();
    explicit View(Rect frame);
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    void setWantsLayer(bool wantsLayer);
    // None unless the view is layer-backed.
    std::shared_ptr<Layer> layer() const;
    void addSubview(std::shared_ptr<View> view);
    void setNeedsDisplay(bool flag);
    // None while the view is in no window.
    std::shared_ptr<Window> window() const;
    void setTranslatesAutoresizingMaskIntoConstraints(bool flag);

    LayoutAnchor topAnchor() { return {this, LayoutAttribute::Top}; }
    LayoutAnchor bottomAnchor() { return {this, LayoutAttribute::Bottom}; }
    LayoutAnchor leadingAnchor() { return {this, LayoutAttribute::Leading}; }
    LayoutAnchor trailingAnchor() { return {this, LayoutAttribute::Trailing}; }
    LayoutAnchor widthAnchor() { return {this, LayoutAttribute::Width}; }
    LayoutAnchor heightAnchor() { return {this, LayoutAttribute::Height}; }
    LayoutAnchor centerXAnchor() { return {this, LayoutAttribute::CenterX}; }
    LayoutAnchor centerYAnchor() { return {this, LayoutAttribute::CenterY}; }

    virtual bool acceptsFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }
    virtual void mouseDown(const Event&) {}
    virtual void flagsChanged(const Event&) {}
    virtual void keyDown(const Event&) {}
    virtual void updateLayer() {}

    struct Impl;
    // For backends, which make each kind of view with its own state.
    explicit View(std::unique_ptr<Impl> impl);
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

enum class TextAlignment { Natural, Left, Center, Right };

class TextField final : public View {
public:
    static std::shared_ptr<TextField> labelWithString(std::string_view text);
    void setStringValue(std::string_view text);
    void setAlignment(TextAlignment alignment);
    void setMaximumNumberOfLines(int lines);
    void setPreferredMaxLayoutWidth(double width);
    void setFont(Font font);
    void setTextColor(Color color);

    using View::View;
};

enum class BezelStyle : int { Rounded = 1 };

class Button final : public View {
public:
    static std::shared_ptr<Button> buttonWithTitle(std::string_view title, std::weak_ptr<Responder> target,
                                                   std::string action);
    void setBezelStyle(BezelStyle style);
    // "\x1b" makes Escape press the button.
    void setKeyEquivalent(std::string_view key);

    using View::View;
};

enum class UserInterfaceLayoutOrientation : int { Horizontal = 0, Vertical = 1 };

class StackView final : public View {
public:
    static std::shared_ptr<StackView> stackViewWithViews(std::vector<std::shared_ptr<View>> views);
    void setOrientation(UserInterfaceLayoutOrientation orientation);
    void setAlignment(LayoutAttribute alignment);
    void setSpacing(double spacing);
    void setEdgeInsets(EdgeInsets insets);

    using View::View;
};

class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    virtual void windowWillClose() = 0;
};

namespace WindowStyleMask {
inline constexpr std::uint64_t titled = 1 << 0;
inline constexpr std::uint64_t closable = 1 << 1;
inline constexpr std::uint64_t miniaturizable = 1 << 2;
inline constexpr std::uint64_t resizable = 1 << 3;
}  // namespace WindowStyleMask

enum class BackingStoreType : int { Buffered = 2 };

enum class WindowLevel : int { Normal = 0, Floating = 3 };

class Window final : public std::enable_shared_from_this<Window> {
public:
    // Make windows with std::make_shared: their views point back at them.
    Window(Rect contentRect, std::uint64_t styleMask, BackingStoreType backing, bool defer);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void setTitle(std::string_view title);
    void setReleasedWhenClosed(bool flag);
    void setLevel(WindowLevel level);
    void center();
    void setDelegate(std::weak_ptr<WindowDelegate> delegate);
    void setContentView(std::shared_ptr<View> view);
    void makeKeyAndOrderFront();
    // Asks the old first responder to resign and the new one to become it.
    bool makeFirstResponder(View* view);
    View* firstResponder() const;
    // Tells the delegate windowWillClose first.
    void close();

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
