// Fields of the records the SDK fills for the phonebook and call logs. Records lie back to back
// and are only 2-byte aligned, and a field may lack its terminator: each field is copied out and
// read no further than its slot.
#pragma once

#include "framework/CString.h"

#include <cstddef>
#include <cstdint>

// The UTF-16 text in the `units`-long slot at byte `offset` of `record`, up to its terminator
// or the slot's end.
CString ReadTextField(const void* record, std::size_t offset, std::size_t units);
