// The recorder control on its own, in a window the test makes.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "HotKeyRecorderView.h"

namespace dusk::test {
namespace {

constexpr std::uint64_t capsLock = 0x10000;

struct RecorderInWindow {
    std::shared_ptr<platform::Window> window;
    std::shared_ptr<HotKeyRecorderView> recorder;
    std::vector<HotKey> recorded;
    int cancels = 0;

    RecorderInWindow() {
        window = std::make_shared<platform::Window>(platform::Rect{0, 0, 300, 100}, 3,
                                                    platform::BackingStoreType::Buffered, false);
        recorder = std::make_shared<HotKeyRecorderView>(platform::Rect{});
        recorder->onRecord = [this](HotKey hotKey) { recorded.push_back(hotKey); };
        recorder->onCancel = [this] { ++cancels; };
        window->setContentView(recorder);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(recorder.get());
    }

    std::string label() const { return recorder->impl().subviews.at(0)->impl().text; }
};

TEST(RecorderView, IsARoundedLayerWithOneCentredLabel) {
    const auto recorder = std::make_shared<HotKeyRecorderView>(platform::Rect{});
    ASSERT_TRUE(recorder->layer());
    EXPECT_EQ(recorder->layer()->impl().cornerRadius, 8);
    EXPECT_EQ(recorder->layer()->impl().borderWidth, 1);
    ASSERT_EQ(recorder->impl().subviews.size(), 1u);
    const auto* label = recorder->impl().subviews[0].get();
    EXPECT_EQ(label->impl().kind, platform::ViewKind::Label);
    EXPECT_EQ(label->impl().text, "Click to record");
    EXPECT_EQ(label->impl().alignment, platform::TextAlignment::Center);
    EXPECT_EQ(label->impl().font, platform::Font::systemFontOfSize(15, platform::FontWeight::Medium));
    EXPECT_FALSE(label->impl().translatesAutoresizingMaskIntoConstraints);
    std::vector<platform::LayoutAttribute> centred;
    for (const auto& [constraint, active] : fake::constraintsOf(label)) {
        EXPECT_TRUE(active);
        ASSERT_TRUE(constraint.second);
        EXPECT_EQ(constraint.second->view, recorder.get());
        EXPECT_EQ(constraint.first.attribute, constraint.second->attribute);
        centred.push_back(constraint.first.attribute);
    }
    EXPECT_EQ(centred, (std::vector{platform::LayoutAttribute::CenterX, platform::LayoutAttribute::CenterY}));
    EXPECT_TRUE(recorder->acceptsFirstResponder());
}

TEST(RecorderView, LabelFollowsFocusAndHeldModifiers) {
    RecorderInWindow r;
    EXPECT_EQ(r.label(), "Press a shortcut");
    r.window->makeFirstResponder(nullptr);
    EXPECT_EQ(r.label(), "Click to record");
    fake::click(*r.recorder);
    EXPECT_EQ(r.window->firstResponder(), r.recorder.get());
    EXPECT_EQ(r.label(), "Press a shortcut");
    fake::changeModifiers(0x20000);
    EXPECT_EQ(r.label(), "⇧…");
    // Symbols in their fixed order, whatever the order of pressing; Caps Lock dropped.
    fake::changeModifiers(0x20000 | 0x40000 | capsLock);
    EXPECT_EQ(r.label(), "⌃⇧…");
    fake::changeModifiers(capsLock);
    EXPECT_EQ(r.label(), "Press a shortcut");
}

TEST(RecorderView, RecordsShortcutsWithControlOptionOrCommand) {
    RecorderInWindow r;
    fake::typeKey(2, 0x1C0000);
    fake::typeKey(40, 0x120000);
    fake::typeKey(40, 0x100000 | capsLock | 0x800000);
    fake::typeKey(0, 0x80000);
    EXPECT_EQ(r.recorded, (std::vector<HotKey>{{2, 0x1C0000}, {40, 0x120000}, {40, 0x100000}, {0, 0x80000}}));
    EXPECT_EQ(fake::beeps(), 0);
}

TEST(RecorderView, RecordsFunctionKeysAlone) {
    RecorderInWindow r;
    fake::typeKey(96);
    fake::typeKey(96, 0x20000);
    fake::typeKey(90, capsLock);
    EXPECT_EQ(r.recorded, (std::vector<HotKey>{{96, 0}, {96, 0x20000}, {90, 0}}));
}

TEST(RecorderView, RefusesPlainKeysWithABeepAndAHint) {
    RecorderInWindow r;
    fake::changeModifiers(0x20000);
    fake::typeKey(40, 0x20000);
    EXPECT_EQ(r.label(), "Add ⌘, ⌥, or ⌃");
    fake::typeKey(40);
    fake::typeKey(48);  // Tab moves no focus either
    EXPECT_EQ(fake::beeps(), 3);
    EXPECT_TRUE(r.recorded.empty());
    EXPECT_EQ(r.window->firstResponder(), r.recorder.get());
    // The hint stays until the next modifier or focus change.
    fake::changeModifiers(0x100000);
    EXPECT_EQ(r.label(), "⌘…");
}

TEST(RecorderView, EscapeCancelsWhateverIsHeld) {
    RecorderInWindow r;
    fake::changeModifiers(0x100000);
    fake::typeKey(53, 0x100000);
    fake::typeKey(53);
    EXPECT_EQ(r.cancels, 2);
    EXPECT_TRUE(r.recorded.empty());
    EXPECT_EQ(r.label(), "⌘…");
    EXPECT_EQ(fake::beeps(), 0);
}

TEST(RecorderView, AnAcceptedPressForgetsHeldModifiersButKeepsTheLabel) {
    RecorderInWindow r;
    fake::changeModifiers(0x140000);
    fake::typeKey(40, 0x140000);
    EXPECT_EQ(r.label(), "⌃⌘…");
    fake::typeKey(53);  // a no-op on the label, and the modifiers are already gone
    fake::changeModifiers(0x20000);
    EXPECT_EQ(r.label(), "⇧…");
}

TEST(RecorderView, WithoutCallbacksEveryPressIsQuietlyConsumed) {
    RecorderInWindow r;
    r.recorder->onRecord = nullptr;
    r.recorder->onCancel = nullptr;
    fake::changeModifiers(0x100000);
    fake::typeKey(40, 0x100000);
    fake::typeKey(53);
    EXPECT_EQ(fake::beeps(), 0);
    fake::changeModifiers(0);
    EXPECT_EQ(r.label(), "Press a shortcut");
}

TEST(RecorderView, RedrawTakesColoursFromFocusAndTheCurrentAppearance) {
    RecorderInWindow r;
    fake::redraw();
    const auto& layer = r.recorder->layer()->impl();
    using platform::ResolvedColor;
    using platform::SystemColor;
    EXPECT_EQ(layer.backgroundColor, (ResolvedColor{SystemColor::ControlBackground, false}));
    EXPECT_EQ(layer.borderColor, (ResolvedColor{SystemColor::ControlAccent, false}));
    r.window->makeFirstResponder(nullptr);
    fake::setDarkMode(true);
    fake::redraw();
    EXPECT_EQ(layer.backgroundColor, (ResolvedColor{SystemColor::ControlBackground, true}));
    EXPECT_EQ(layer.borderColor, (ResolvedColor{SystemColor::Separator, true}));
}

}  // namespace
}  // namespace dusk::test
