// The search view: the catalogue search results, with the search box that
// starts a search. The main window is hidden in normal use, so the view
// carries its own way in: a line above the results holds the keyword box,
// a "Search" button (Enter in the box does the same) and the search's status
// text ("Searching on the server...", or why nothing is shown).
//
// The results window of the search is the view's host window: it receives
// "WM_Varnel10_SearchEnd", starts the keywords that waited meanwhile, and
// rebuilds the rows in the view's sort order.
#pragma once

#include <string>

#include "views/win/list_view_ex.h"

namespace Views {

class CSearchData;

class CSearchView : public CListViewEx {
public:
    static constexpr int kBarHeight = 32;
    static constexpr int kSearchBoxId = 1201;
    static constexpr int kSearchButtonId = 1202;

    // `list` is the search list (a CSearchData; any other list gets no search).
    explicit CSearchView(VN_ListBase& list);

    // Starts a search for the keywords as the button does; StartSearch's answer.
    int Search(const std::string& keywords);
    // The keywords in the box, and the status line as shown.
    std::string BoxText() const;
    std::string StatusText() const;
    HWND SearchBox() const { return box_; }
    HWND SearchButton() const { return button_; }
    // The search box: a user who opens the search types the keywords first.
    HWND KeyboardTarget() const override { return box_ ? box_ : List(); }

protected:
    void OnCreated() override;
    LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK BoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR data);
    void ShowStatus();
    void Layout(int width, int height);
    // The status line beside the button, on two lines when one is too short.
    void PlaceStatus();

    CSearchData* search_;  // null when the list is not a search list
    HWND box_ = nullptr;
    HWND button_ = nullptr;
    HWND status_ = nullptr;
    int statusLeft_ = 0;
    int statusWidth_ = 0;
};

}  // namespace Views
