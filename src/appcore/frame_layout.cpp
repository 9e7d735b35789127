#include "appcore/frame_layout.h"

#include <algorithm>

namespace appcore {

int PreviewHeightFromSetting(uint32_t stored, int clientHeight) {
    // A DWORD above 2^31 is a negative number written by someone: below 1.
    if (stored < 1 || stored > 0x7FFFFFFFu) return std::max(0, clientHeight) * 30 / 100;
    return static_cast<int>(stored);
}

void RecalculateRows(SplitterState& state, int clientHeight, uint32_t storedPreviewHeight, bool leftButtonDown) {
    if (leftButtonDown) {
        state.resizing = true;
        return;
    }
    state.resizing = false;
    if (state.reloadPreview) {
        state.previewHeight = PreviewHeightFromSetting(storedPreviewHeight, clientHeight);
        state.reloadPreview = false;
    }
    if (clientHeight <= state.previewHeight + SplitterState::kKeepMargin) return;
    state.listHeight =
        std::max(SplitterState::kMinListHeight, clientHeight - state.previewHeight - SplitterState::kRowGap);
}

PaneLayout PlacePanes(const SplitterState& state, const LayoutRect& area) {
    PaneLayout p;
    const int width = std::max(0, area.Width());
    const int height = std::max(0, area.Height());
    const int task = std::clamp(state.taskWidth, 0, width);
    p.taskPane = {area.left, area.top, area.left + task, area.top + height};
    const int barRight = std::min(area.left + width, p.taskPane.right + SplitterState::kBar);
    p.columnBar = {p.taskPane.right, area.top, barRight, area.top + height};
    const int columnLeft = barRight;
    const int columnRight = area.left + width;
    const int list = std::clamp(state.listHeight, 0, height);
    p.list = {columnLeft, area.top, columnRight, area.top + list};
    const int rowBarBottom = std::min(area.top + height, p.list.bottom + SplitterState::kBar);
    p.rowBar = {columnLeft, p.list.bottom, columnRight, rowBarBottom};
    p.preview = {columnLeft, rowBarBottom, columnRight, area.top + height};
    return p;
}

void DropRowBar(SplitterState& state, int columnHeight, int barTop) {
    const int maxList = std::max(SplitterState::kMinListHeight, columnHeight - SplitterState::kRowGap);
    state.listHeight = std::clamp(barTop, SplitterState::kMinListHeight, maxList);
    state.previewHeight = std::max(0, columnHeight - state.listHeight - SplitterState::kRowGap);
    state.reloadPreview = false;
}

void DropColumnBar(SplitterState& state, int areaWidth, int barLeft) {
    const int maxTask =
        std::max(SplitterState::kMinColumnWidth, areaWidth - SplitterState::kBar - SplitterState::kMinColumnWidth);
    state.taskWidth = std::clamp(barLeft, SplitterState::kMinColumnWidth, maxTask);
}

}  // namespace appcore
