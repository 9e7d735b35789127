// The main window's splitter sizes, without a window.
#include <gtest/gtest.h>

#include "appcore/frame_layout.h"

namespace {

using appcore::SplitterState;

TEST(FrameLayout, PreviewKeepsItsHeightAndTheListTakesTheRest) {
    SplitterState state;
    // Not stored (or stored below 1): 30% of the client height.
    appcore::RecalculateRows(state, 500, 0, false);
    EXPECT_EQ(state.previewHeight, 150);
    EXPECT_EQ(state.listHeight, 500 - 150 - 11);
    // Read once: a later resize keeps the height even when the setting changes.
    appcore::RecalculateRows(state, 700, 222, false);
    EXPECT_EQ(state.previewHeight, 150);
    EXPECT_EQ(state.listHeight, 700 - 150 - 11);
    // Not taller than preview + 21: nothing changes.
    appcore::RecalculateRows(state, 171, 0, false);
    EXPECT_EQ(state.listHeight, 700 - 150 - 11);
    // One pixel more: the list row gets at least 10.
    appcore::RecalculateRows(state, 172, 0, false);
    EXPECT_EQ(state.listHeight, 11);
    state.previewHeight = 160;
    appcore::RecalculateRows(state, 182, 0, false);
    EXPECT_EQ(state.listHeight, 11);
    // While the left button is down nothing is recalculated.
    appcore::RecalculateRows(state, 900, 0, true);
    EXPECT_TRUE(state.resizing);
    EXPECT_EQ(state.listHeight, 11);
    appcore::RecalculateRows(state, 900, 0, false);
    EXPECT_FALSE(state.resizing);
    EXPECT_EQ(state.listHeight, 900 - 160 - 11);

    SplitterState stored;
    appcore::RecalculateRows(stored, 500, 120, false);
    EXPECT_EQ(stored.previewHeight, 120);
    EXPECT_EQ(appcore::PreviewHeightFromSetting(0xFFFFFFFFu, 1000), 300) << "a negative number counts as below 1";
}

TEST(FrameLayout, PanesTileTheAreaAndDroppedBarsStayInside) {
    SplitterState state;
    appcore::RecalculateRows(state, 600, 200, false);
    const appcore::LayoutRect area{0, 30, 1000, 630};
    const appcore::PaneLayout p = appcore::PlacePanes(state, area);
    EXPECT_EQ(p.taskPane, (appcore::LayoutRect{0, 30, 204, 630}));
    EXPECT_EQ(p.columnBar, (appcore::LayoutRect{204, 30, 211, 630}));
    EXPECT_EQ(p.list, (appcore::LayoutRect{211, 30, 1000, 30 + 389}));
    EXPECT_EQ(p.rowBar, (appcore::LayoutRect{211, 419, 1000, 426}));
    EXPECT_EQ(p.preview, (appcore::LayoutRect{211, 426, 1000, 630}));
    EXPECT_EQ(p.preview.Height(), 200 + 4) << "the inside of the preview's borders is its height";

    appcore::DropRowBar(state, 600, 100);
    EXPECT_EQ(state.listHeight, 100);
    EXPECT_EQ(state.previewHeight, 600 - 100 - 11);
    appcore::DropRowBar(state, 600, 5000);
    EXPECT_EQ(state.listHeight, 589);
    EXPECT_EQ(state.previewHeight, 0);
    appcore::DropRowBar(state, 600, -40);
    EXPECT_EQ(state.listHeight, 10);
    appcore::DropColumnBar(state, 1000, 300);
    EXPECT_EQ(state.taskWidth, 300);
    appcore::DropColumnBar(state, 1000, 2000);
    EXPECT_EQ(state.taskWidth, 1000 - 7 - 10);
    // A window smaller than the panes: nothing leaves the area.
    const appcore::PaneLayout small = appcore::PlacePanes(state, appcore::LayoutRect{0, 0, 100, 5});
    EXPECT_LE(small.preview.right, 100);
    EXPECT_LE(small.list.bottom, 5);
    EXPECT_GE(small.preview.Height(), 0);
}

}  // namespace
