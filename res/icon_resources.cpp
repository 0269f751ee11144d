// Built-in icon images. The program has one picture: the 128 x 128 icon,
// which also fills the About box's icon area.
#include "res/resources.h"
#include "res/tarnwick_128_png.h"

std::span<const std::uint8_t> FindIconResource(int id) {
    switch (id) {
    case IDI_PROGRAM:
    case IDR_MAINFRAME:
        return {kTarnwick128Png, sizeof kTarnwick128Png};
    default:
        return {};
    }
}
