// EditorLayout: where the note editor's resize puts its controls for a window size, in twips.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "EditorLayout.h"

namespace master {

std::optional<EditorLayout> EditorLayout::compute(float W, float H, float text1Height)
{
    if (H <= 500.0f || W <= 1000.0f)
        return std::nullopt;

    // The text area is the upper three fifths; the text box is centred in it by half the
    // distance from its old height, so repeated resizes converge rather than jump.
    const float T = H / 5.0f * 3.0f;
    const float G = (T - text1Height) / 2.0f;

    EditorLayout l;
    l.Text1 = {100.0f, G - 50.0f, W - 200.0f, T - G - 100.0f};

    const float buttonWidth = W / 3.0f - 40.0f;
    const float buttonTop = H - 550.0f;
    l.Command1 = {0.0f, buttonTop, buttonWidth, 450.0f};
    // The next lefts are read from the widths just set, so the second button starts 10 twips
    // after the first and the third directly against the second.
    l.Command2 = {l.Command1.width + 10.0f, buttonTop, buttonWidth, 450.0f};
    l.Command3 = {l.Command2.width + l.Command1.width + 10.0f, buttonTop, buttonWidth, 450.0f};

    l.Line1 = {0.0f, H - 600.0f, W, H - 600.0f};
    l.Line2 = {0.0f, H - 585.0f, W, H - 585.0f};
    return l;
}

} // namespace master
