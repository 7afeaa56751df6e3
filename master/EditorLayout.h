// EditorLayout: where the note editor's resize puts its controls for a window size, in twips.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>

namespace master {

struct EditorLayout
{
    struct Box
    {
        float left, top, width, height;
    };
    struct Line
    {
        float x1, y1, x2, y2;
    };

    Box Text1, Command1, Command2, Command3;
    Line Line1, Line2;

    // W and H are the editor's outer width and height (border included); text1Height is the
    // text box's height before this layout, which the new top and height depend on. Everything
    // is single precision and unrounded. Nothing when the window is too small (H <= 500 or
    // W <= 1000): the controls keep their places then.
    static std::optional<EditorLayout> compute(float W, float H, float text1Height);
};

} // namespace master
