// Host SDK stand-in: the editor's result buffers, selection sets and user
// input. The user is scripted: tests queue the answers (editor_control.h)
// and every prompt is recorded.
#pragma once

#include <cstdint>
#include <string>

#include "oddbobject.h"

// Results of the editor functions.
#define RTNONE 5000
#define RTNORM 5100
#define RTERROR (-5001)
#define RTCAN (-5002)
#define RTREJ (-5003)
#define RTKWORD (-5005)

// Result-buffer types.
#define RTREAL 5001
#define RTPOINT 5002
#define RTSHORT 5003
#define RTSTR 5005
#define RTENAME 5006
#define RT3DPOINT 5009
#define RTLONG 5010

// gcedInitGet flags.
#define RSG_NONULL 0x0001

typedef double ads_real;
typedef ads_real ads_point[3];
typedef int64_t ads_name[2];

struct resbuf {
    resbuf* rbnext;
    short restype;
    union {
        ads_real rreal;
        ads_point rpoint;
        short rint;
        wchar_t* rstring;
        int32_t rlong;
        ads_name rlname;
    } resval;
};

// A zeroed item of that type.
resbuf* gcutNewRb(int type);
// Frees a whole chain, the strings of text items included.
int gcutRelRb(resbuf* rb);
// A chain from (type, value) pairs ended by 0: text for RTSTR and group
// codes 0..9 and 1000..1009 (copied), int for RTSHORT and codes 60..79,
// double for RTREAL and codes 38..59, int32_t for RTLONG and codes 90..99,
// const double* for RTPOINT, RT3DPOINT and codes 10..18. Null for any
// other type.
resbuf* gcutBuildList(int type, ...);

// Entity names of the editor and the database ids they stand for.
OdResult oddbGetObjectId(OdDbObjectId& id, const ads_name name);
OdResult oddbGetAdsName(ads_name name, OdDbObjectId id);

// Selection. Mode null: the user selects (scripted), or with a point p1
// (user coordinates) picks what lies there; "I": the pick-first
// set (RTERROR when it is empty); "X": every entity of the working
// database's model space. Blanks around the mode are ignored. The filter
// may hold group code 8 (layer names, with * and ? wildcards and commas
// between alternatives); any other code is refused with RTERROR. What the
// user selects or picks passes the current document's selection filters
// (gcedreactor.h). A set holds each object once, in the order it was first
// named (a user who picks an object twice has it once).
int gcedSSGet(const wchar_t* mode, const void* p1, const void* p2, const resbuf* filter, ads_name ss);
// The last entity added to model space of the working drawing that is not
// erased; RTERROR when there is none.
int gcdbEntLast(ads_name entity);
int gcedSSLength(const ads_name ss, int32_t* length);
int gcedSSName(const ads_name ss, int32_t i, ads_name entity);
// RTERROR (and a recorded violation) for a name that is no live set.
int gcedSSFree(const ads_name ss);
// Null clears the pick-first set; otherwise the set's members become it.
int gcedSSSetFirst(const ads_name pickSet, const ads_name unused);

// Input. Points are in the user coordinate system. The flags and keywords
// of gcedInitGet hold for the next input call only. An empty answer is
// refused (asked again) under RSG_NONULL.
int gcedInitGet(int flags, const wchar_t* keywords);
int gcedEntSel(const wchar_t* prompt, ads_name entity, ads_point pickPoint);
int gcedGetPoint(const ads_point basePoint, const wchar_t* prompt, ads_point result);
// The chosen keyword, written whole as listed (abbreviations expanded);
// without keywords the typed text. RTERROR when it does not fit.
int gcedGetKword(const wchar_t* prompt, wchar_t* result, size_t capacity);
// RTNONE leaves the value as it was.
int gcedGetReal(const wchar_t* prompt, ads_real* result);
// The typed text (empty for Enter, RTNORM both); RTERROR when it does not
// fit. The whole answer is taken, spaces included.
int gcedGetString(int cronly, const wchar_t* prompt, wchar_t* result, size_t capacity);

// LISP functions of an application: defined per drawing under a function
// code, and called by that code.
typedef int (*GcRxLispFunction)();
int gcedDefun(const wchar_t* name, int code);
int gcedUndef(const wchar_t* name, int code);
int gcedRegFunc(GcRxLispFunction function, int code);
// The code of the LISP function being called, -1 outside a call.
int gcedGetFunCode();

namespace standin {
// The defined LISP functions: name -> code.
bool LispFunctionCode(const std::wstring& name, int& code);
// Calls the defined function of that name as the host would; false when
// none is defined.
bool InvokeLispFunction(const std::wstring& name, int (*dispatch)());
}  // namespace standin
