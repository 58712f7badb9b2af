// Dusk's shortcut as passive key grabs on the X server's root window: the key
// at each of its X keycodes, with the shortcut's modifiers, once for each
// combination of Caps Lock and Num Lock, which are no part of a shortcut.
// Where Alt, Super and Num Lock sit among the eight X modifiers comes from
// the server's modifier mapping, and the grabs are made again when the
// keymap or that mapping changes.
#pragma once

#include <QPointer>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Shortcut.h"
#include "shortcuts/XDisplay.h"

namespace dusk::backend {

class KeyGrab final {
public:
    static KeyGrab& shared();
    KeyGrab(const KeyGrab&) = delete;
    KeyGrab& operator=(const KeyGrab&) = delete;

    // Whether an X display answers to grab keys on.
    static bool available();

    // Lets go of what is held and grabs `shortcut`. `done` gets the status
    // (see BindStatus.h) once the server has answered every grab, or at once
    // where there is nothing to ask; never for a grab that a later grab or
    // release has replaced meanwhile.
    using Done = std::function<void(std::int32_t status)>;
    void grab(const platform::Shortcut& shortcut, Done done);
    void release();

    // A press of the held keys; a key held down is one press, however long
    // it repeats.
    std::function<void()> onPressed;
    // What was held is gone: the server dropped the connection, or refused
    // the grabs again after the keymap changed.
    std::function<void()> onLost;

private:
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };
    struct ModifierMasks;

    KeyGrab() = default;
    void listen(XDisplay& display);
    void request(Done done);
    void send(const ModifierMasks& masks, unsigned generation, Done done);
    void ungrab(const std::vector<Grab>& grabs);
    void mappingChanged();
    void pressed(std::uint8_t keycode, std::uint16_t state);
    bool holds(std::uint8_t keycode) const;

    QPointer<XDisplay> display_;
    std::optional<platform::Shortcut> wanted_;
    // Exactly what the server granted, so that letting go releases it
    // whatever the modifier mapping has become since.
    std::vector<Grab> held_;
    // The shortcut's X modifiers, and the lock modifiers a press may carry.
    std::uint16_t modifiers_ = 0;
    std::uint16_t lockModifiers_ = 0;
    bool keyDown_ = false;
    bool regrabQueued_ = false;
    // Answers to requests of an earlier generation are stale.
    unsigned generation_ = 0;
};

}  // namespace dusk::backend
