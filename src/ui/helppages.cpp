#include "ui/helppages.h"

const wchar_t kVideoTutorialPage[] = L"https://www.brisan.example/velk/help/video";
const wchar_t kCoordinateHelpPage[] = L"https://www.brisan.example/velk/help/coordinate-system";
const wchar_t kSectionVideoPage[] = L"https://www.brisan.example/velk/help/video/section";
