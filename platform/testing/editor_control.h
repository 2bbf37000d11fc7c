// Control interface of the editor stand-in, for tests and the stand-in host:
// the scripted user, the pick-first set, system variables, the coordinate
// systems and the record of display calls.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "oddbobject.h"
#include "odgegeometry.h"

namespace standin {

// Answers of the user to the next input calls, in order. When none is
// queued the user cancels (RTCAN).
void QueuePoint(const OdGePoint3d& ucsPoint);
void QueuePick(OdDbObjectId entity, const OdGePoint3d& ucsPoint);
void QueueSelection(const OdDbObjectIdArray& entities);
// Typed text: a keyword (or its abbreviation) for gcedGetKword, a number
// for gcedGetReal.
void QueueText(const std::wstring& text);
// Enter without input.
void QueueEnter();
void QueueCancel();
int PendingAnswers();

// What an input call waits for.
enum class InputKind { kPoint, kEntity, kSelection, kKeyword, kReal, kText };
struct InputRequest {
    InputKind kind = InputKind::kText;
    std::wstring prompt;
    std::wstring keywords;  // of gcedInitGet
    bool noNull = false;    // RSG_NONULL: Enter is refused
};
// Asked by an input call that finds no answer queued, as a host reading a
// script file takes its next line: the feeder queues the user's answer
// with the calls above and returns true, or returns false when the user has
// nothing more to give (the call is cancelled). It is not asked again while
// it runs (a command it starts takes queued answers only). Null (the
// default): the call is cancelled.
using InputFeeder = std::function<bool(const InputRequest&)>;
void SetInputFeeder(InputFeeder feeder);
// Told of an answer an input call does not take (a keyword where a point is
// asked, text that is no number, an unknown keyword, Enter where input is
// required): true asks again, as a user is asked again; false cancels the
// call. Null (the default): asked again.
using RefusalHandler = std::function<bool(const InputRequest&, const std::wstring& why)>;
void SetRefusalHandler(RefusalHandler handler);
// The last point entered at a point prompt (relative input starts there).
OdGePoint3d LastPoint();
// Every prompt shown, in order (a refused answer shows its prompt again).
const std::vector<std::wstring>& Prompts();
// The base point of the last gcedGetPoint; false when it had none.
bool LastRubberBandBase(OdGePoint3d& ucsBase);
// Selection sets not freed yet.
int LiveSelectionSets();

// The entities of the working drawing's model space at a point (world
// coordinates): curves within `pickBox` of their path, other entities
// within it of their extents.
OdDbObjectIdArray EntitiesAt(const OdGePoint3d& point, double pickBox = 1e-3);

// Each entity once, in the order first named, as a selection set holds it.
void SetPickFirst(const OdDbObjectIdArray& entities);
const OdDbObjectIdArray& PickFirst();

// System variables as the host keeps them, read-only ones included.
void SetSysVarReal(const std::wstring& name, double v);
void SetSysVarShort(const std::wstring& name, short v);
void SetSysVarPoint(const std::wstring& name, const OdGePoint3d& p);
void SetSysVarString(const std::wstring& name, const std::wstring& s);
double SysVarReal(const std::wstring& name);
short SysVarShort(const std::wstring& name);
OdGePoint3d SysVarPoint(const std::wstring& name);

// The user coordinate system and the display coordinate system, each an
// origin and two perpendicular unit axes in world coordinates (the third
// axis is their cross product). Both are the world system by default.
void SetUcs(const OdGePoint3d& origin, const OdGeVector3d& xAxis, const OdGeVector3d& yAxis);
void SetDcs(const OdGePoint3d& origin, const OdGeVector3d& xAxis, const OdGeVector3d& yAxis);

// The title of the host's main frame window.
void SetFrameTitle(const std::wstring& title);

// Recorded display calls.
int UpdateDisplayCount();
int RedrawCount();
int SetCurrentViewCount();
struct ProgressMeter {
    std::wstring label;
    int minPos = 0, maxPos = 0, pos = 0;
    bool shown = false;
    std::vector<int> positions;  // every position set since the meter was shown
};
const ProgressMeter& StatusBarProgress();
int RestoreStatusBarCount();
// Calls of gcedPostCommandPrompt.
int PostedCommandPrompts();
// Command strings sent for execution (sendStringToExecute), in order.
const std::vector<std::wstring>& SentCommandStrings();

}  // namespace standin
