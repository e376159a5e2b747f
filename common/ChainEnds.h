#pragma once

// What the ends of a chain (rotation) say about it. A chain is balanced
// when its last passage arrives at the terminal its first passage leaves
// from: the vehicle ends the day where it started. Its rest is the night
// between its last arrival and its first departure the next day,
// 24 - last arrival + first departure hours; it has enough rest when that
// is at least the threshold (a rest that is not a number never counts).

#include "common/Passage.h"

bool IsBalancedChain(const Passage& first, const Passage& last);
double RestHours(const Passage& first, const Passage& last);
bool HasEnoughRest(const Passage& first, const Passage& last, double threshold);
