// Host SDK stand-in: the editor's plane geometry helpers and the loading of
// linetypes from a linetype file.
#pragma once

#include "odgegeometry.h"

class OdDbDatabase;

// Distance between two points (all three coordinates).
double gcutDistance(const double* p1, const double* p2);
// Angle of p2 seen from p1 in the XY plane, in [0, 2pi).
double gcutAngle(const double* p1, const double* p2);
// The point at that angle and distance from p in the XY plane; z is kept.
void gcutPolar(const double* p, double angle, double dist, double* result);

// Loads the named linetype ("*" for all) from a linetype file of the host's
// support folder into the database. 0 on success.
int gcdbLoadLineTypeFile(const wchar_t* name, const wchar_t* fileName, OdDbDatabase* db);
