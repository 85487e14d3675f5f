// Controls at their designed places and sizes, as far as the system font allows: a control whose content
// needs more room than designed is widened, and the controls after it in the same row move right by as much.
#pragma once

#include <initializer_list>

class QPushButton;
class QWidget;

// The width a button needs for its caption in its font: the text with the style's margin and frame.
int CaptionWidth(const QPushButton* Button);

// A control's designed place and size within its owner. A height of 0 takes the control's own; a control is
// never made lower than its minimum height.
struct TPlace {
  QWidget* Control;
  int Left, Top, Width, Height;
};

// Fixes a row of controls at their places, left to right. A control gets its designed width or, when it needs
// more, the width it needs: a button its caption's, a label its text's, any other control its minimum width.
// Returns how much wider the row became.
int PlaceControls(std::initializer_list<TPlace> Row);
