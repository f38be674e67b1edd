#pragma once

#include <cstdint>
#include <span>

namespace tolvane::res {

enum class ControlKind {
    Edit,         // single-line edit
    PushButton,   // push button (also picture buttons)
    Static,       // static text
    ComboList,    // drop-down list without typing
    Progress,     // progress bar
    GroupBox,     // group box, with or without text
    Picture,      // static picture (bitmap or icon)
    EtchedFrame,  // static etched frame
};

// Style bits of a control, as far as the window needs them.
enum Style : std::uint32_t {
    kLeft = 1u << 0,
    kCenter = 1u << 1,
    kRight = 1u << 2,
    kSunken = 1u << 3,  // sunken edge; text centred vertically
    kBorder = 1u << 4,
    kDefault = 1u << 5,  // the default push button
    kBitmap = 1u << 6,   // picture button
    kAutoHScroll = 1u << 7,
    kVScroll = 1u << 8,
    kSmooth = 1u << 9,     // smooth progress bar
    kNoPrefix = 1u << 10,  // "&" is an ordinary character
    kTabStop = 1u << 11,
    kTransparent = 1u << 12,
    kClientEdge = 1u << 13,
    kIcon = 1u << 14,  // picture control showing an icon
};

// One control of a dialog template. Position and size in dialog units.
struct ControlTemplate {
    int id;  // -1 for controls without a number
    ControlKind kind;
    const char* text;  // template text; for lists, the items separated by '\n'
    int x, y, cx, cy;
    std::uint32_t style;
    int imageId;  // picture resource shown by a picture control, 0 if none
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // size in dialog units
    const char* fontName;
    int fontPoints;
    bool appWindow;  // shown on the taskbar
    std::span<const ControlTemplate> controls;
};

// Templates 100 (About box), 102 (main dialog) and 130 ("What to Load").
const DialogTemplate* FindDialogTemplate(int id);

// String resources; empty text for a number without a string.
const char* LoadResString(int id);

}  // namespace tolvane::res
