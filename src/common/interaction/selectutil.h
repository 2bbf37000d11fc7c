// Choosing entities: by class or window from model space, by the user's
// selection or pick, and from the pick-first selection.
#pragma once

#include <vector>

#include "common/interaction/namedidlist.h"
#include "gcedinput.h"
#include "oddbentity.h"

class CSelectUtil {
public:
    CSelectUtil() = default;
    virtual ~CSelectUtil() = default;

    // The model-space operations append to ids without clearing it. Windows
    // are given by two corners (world coordinates) that differ by more than
    // 1e-7 in x or in y; entities whose extents cannot be computed are not
    // selected by them.
    static void SelectAllOfClass(const OdRxClass* cls, OdDbObjectIdArray& ids);
    // Extents overlapping the window (touching counts), corners in any order.
    static void SelectCrossingWindow(const OdGePoint2d& firstPoint, const OdGePoint2d& secondPoint,
                                     OdDbObjectIdArray& ids);
    // Extents strictly inside the window; the corners are not reordered.
    static void SelectInsideWindow(const OdGePoint2d& pLeftBottom, const OdGePoint2d& pTopRight,
                                   OdDbObjectIdArray& ids);
    static void SelectCrossingWindowOfClass(const OdGePoint2d& firstPoint, const OdGePoint2d& secondPoint,
                                            OdDbObjectIdArray& ids, const OdRxClass* cls);

    // The user's selection through the filter (may be null); ids is cleared
    // first. False when the user selected nothing.
    static bool PromptSelect(const wchar_t* prompt, const resbuf* filter, OdDbObjectIdArray& ids);
    static bool PromptSelectOfClass(const wchar_t* prompt, const OdRxClass* cls, OdDbObjectIdArray& ids);
    // The members of a listed class; false when there is none.
    static bool PromptSelectOfClasses(const wchar_t* prompt, const std::vector<OdRxClass*>& classes,
                                      OdDbObjectIdArray& ids);

    // Asks for single picks until one is of a listed class, which is
    // returned open (for write when asked; the caller closes it) with the
    // pick point. False and a null entity when the user cancels.
    static bool PickEntityOfClass(const wchar_t* prompt, const OdRxClass* cls, OdDbEntity*& entity,
                                  OdGePoint3d& pickPoint, bool openForWrite);
    static bool PickEntityOfClasses(const wchar_t* prompt, const std::vector<OdRxClass*>& classes,
                                    OdDbEntity*& entity, OdGePoint3d& pickPoint, bool openForWrite);

    // Adds the pick-first selection to the list grouped by layer name, then
    // clears the pick-first set. Always true.
    static bool GetImpliedSelection(const wchar_t* prompt, NamedIdList& list);
};
