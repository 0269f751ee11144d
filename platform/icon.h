// A loaded icon image. The backend that loaded it owns its native form.
#pragma once

#include <memory>

namespace platform {

class Icon {
public:
    Icon() = default;
    Icon(std::shared_ptr<const void> native, int width, int height)
        : native_(std::move(native)), width_(width), height_(height) {}

    bool IsNull() const { return native_ == nullptr; }
    explicit operator bool() const { return !IsNull(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    const void* Native() const { return native_.get(); }

private:
    std::shared_ptr<const void> native_;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace platform
