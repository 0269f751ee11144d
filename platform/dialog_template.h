// Dialog templates as data: the window and its controls in dialog units.
#pragma once

#include <cstdint>
#include <span>

namespace platform {

enum class ControlKind { ListView, PushButton, GroupBox, Label, Edit, CheckBox, Icon };

// Control id of controls that no code refers to.
inline constexpr int kStaticId = -1;

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* caption;  // for an icon: unused
    int x, y, width, height;  // dialog units, top-left corner
    std::uint32_t style;
    int iconResource = 0;  // for ControlKind::Icon
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;  // client area in dialog units
    std::uint32_t style;
    std::uint32_t exStyle;
    const char* fontFace;
    int fontPointSize;
    std::span<const ControlTemplate> controls;  // template order is tab order
};

}  // namespace platform
