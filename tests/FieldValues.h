// A drive record whose every field holds a value of its own, to follow a record through the uses of
// the field table: a number is its row's place (from 1) in every byte of its width, a text the
// field's name, a page its row's place in every byte, a date in the year 2000 + place.
#pragma once

#include "device/DriveFields.h"

DriveRecord RecordOfDistinctValues(bool isNVMe);

// Whether field `f` holds the same value in both records.
bool SameValue(const DriveField& f, const DriveRecord& a, const DriveRecord& b);
