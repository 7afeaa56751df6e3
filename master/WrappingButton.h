// WrappingButton: a push button whose caption breaks into lines where it is wider than the button.
#pragma once

#include <QPushButton>

namespace master {

// The master's captions were laid out for a narrower face; where the stand-in face makes one
// wider than its button, it wraps instead of being cut off.
class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override;
};

} // namespace master
