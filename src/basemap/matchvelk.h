// MATCHVELK: asks the peer for the scale of its map at the view and zooms
// the view to match it.
#pragma once

void MatchVelk();
