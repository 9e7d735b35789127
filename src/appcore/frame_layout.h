// The main window's client layout: a task pane column at the left, then the
// current list view above the preview pane, with draggable splitter bars
// between them. The sizing rules live here so that they can be checked
// without a window.
//
// Sizes: the task pane column starts 204 pixels wide. The preview keeps its
// height on every resize; the height is taken from "Preview Pane cy" when
// marked for reloading (values below 1 mean 30% of the client height). When
// the client is not taller than the preview height + 21 pixels nothing
// changes; otherwise the list row gets the client height - preview height -
// 11 pixels (at least 10). The 11 pixels are the bar (7) and the borders of
// the preview pane (2 above, 2 below), so the preview's inside is exactly the
// preview height. The rows are recalculated only while the left mouse button
// is up (not while the user drags a window edge).
#pragma once

#include <cstdint>

namespace appcore {

struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const LayoutRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct SplitterState {
    static constexpr int kTaskPaneWidth = 204;
    static constexpr int kBar = 7;          // a splitter bar's thickness
    static constexpr int kRowGap = 11;      // the bar and the preview's borders
    static constexpr int kKeepMargin = 21;  // no recalculation below preview + this
    static constexpr int kMinListHeight = 10;
    static constexpr int kMinColumnWidth = 10;

    bool created = false;       // the layout exists
    bool resizing = false;      // a recalculation waits for the left button to come up
    bool reloadPreview = true;  // the preview height is read again from the setting
    int previewHeight = 0;      // the preview's inside, in pixels
    int listHeight = 400;       // the list row's height
    int taskWidth = kTaskPaneWidth;
};

// The preview height a stored "Preview Pane cy" gives in a client this high.
int PreviewHeightFromSetting(uint32_t stored, int clientHeight);

// A resize of the right-hand column to `clientHeight`: recalculates the list
// row (only while the left button is up; otherwise marks `resizing`).
void RecalculateRows(SplitterState& state, int clientHeight, uint32_t storedPreviewHeight, bool leftButtonDown);

// Where the panes and bars go in `area` (the client less the bars).
struct PaneLayout {
    LayoutRect taskPane;
    LayoutRect columnBar;
    LayoutRect list;
    LayoutRect rowBar;
    LayoutRect preview;  // outside of its borders
};
PaneLayout PlacePanes(const SplitterState& state, const LayoutRect& area);

// The user let go of a bar: the row bar's top now at `barTop` (client
// coordinates of the column's top = 0), or the column bar's left at `barLeft`.
// The preview keeps the height the drag gave it.
void DropRowBar(SplitterState& state, int columnHeight, int barTop);
void DropColumnBar(SplitterState& state, int areaWidth, int barLeft);

}  // namespace appcore
