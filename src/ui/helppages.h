// The web pages the dialogs open in the user's browser.
#pragma once

// Video tutorials of the peer's maker (the options dialog).
extern const wchar_t kVideoTutorialPage[];
// What coordinate systems are and how to choose one (the relate-point
// dialog).
extern const wchar_t kCoordinateHelpPage[];
// The video tutorial of the cross-section mode (the cross-section dialog).
extern const wchar_t kSectionVideoPage[];
