// Where CenterWindow puts a window, apart from the window system: rectangles in one coordinate
// space, left/top inclusive and right/bottom exclusive.
#pragma once

struct PlacementRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct PlacementPoint {
    int x;
    int y;
};

// The top-left corner that centres a window of `window`'s size over `over`, then moved as little
// as needed to keep it inside `workArea` (its top-left corner wins when the window is larger), so
// that a window centred over something near the screen's edge stays reachable.
PlacementPoint CentredPosition(PlacementRect window, PlacementRect over, PlacementRect workArea);
